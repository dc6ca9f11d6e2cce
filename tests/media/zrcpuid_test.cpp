#include "media/zrcpuid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// A processor described by its answers to each leaf.
struct FakeProcessor {
    std::map<uint32_t, CpuidRegs> leaves;
    std::vector<uint32_t> asked;
    explicit FakeProcessor(const std::string& vendor) {
        CpuidRegs r;
        std::memcpy(&r.ebx, vendor.data(), 4);
        std::memcpy(&r.edx, vendor.data() + 4, 4);
        std::memcpy(&r.ecx, vendor.data() + 8, 4);
        leaves[0] = r;
    }
    CpuidQuery Query() {
        return [this](uint32_t leaf) {
            asked.push_back(leaf);
            auto it = leaves.find(leaf);
            return it == leaves.end() ? CpuidRegs{} : it->second;
        };
    }
};

TEST(CPUID, DecodesSignatureAndVendorGatedFeatures) {
    FakeProcessor intel("GenuineIntel");
    intel.leaves[1] = CpuidRegs{0x00000673, 0, 0, (1u << 25) | (1u << 23) | (1u << 31)};
    CPUID c(intel.Query());
    EXPECT_EQ(c.Vendor(), "GenuineIntel");
    EXPECT_EQ(c.Type(), 0u);
    EXPECT_EQ(c.Family(), 6);
    EXPECT_EQ(c.Model(), 7);
    EXPECT_EQ(c.Stepping(), 3);
    EXPECT_TRUE(c.IsSseSupport());
    EXPECT_TRUE(c.IsMmxSupport());
    EXPECT_FALSE(c.Is3dnowSupport());  // not an AMD or Centaur feature bit here
    EXPECT_FALSE(c.IsPsnEnable());

    FakeProcessor amd("AuthenticAMD");
    amd.leaves[0x80000000] = CpuidRegs{0x80000008, 0, 0, 0};
    amd.leaves[0x80000001] = CpuidRegs{0x00002F51, 0, 0, (1u << 25) | (1u << 31) | (1u << 30)};
    CPUID a(amd.Query());
    EXPECT_FALSE(a.IsSseSupport());
    EXPECT_TRUE(a.Is3dnowSupport());
    EXPECT_TRUE(a.IsEx3dnowSupport());
    EXPECT_EQ(a.Type(), 2u);
    EXPECT_EQ(a.Family(), 15);
}

TEST(CPUID, VendorScansReadTheirLeaves) {
    FakeProcessor amdOld("AuthenticAMD");
    amdOld.leaves[1] = CpuidRegs{0x500, 0, 0, 1u << 23};
    CPUID a(amdOld.Query());  // no extended leaves: falls back to leaf 1
    EXPECT_TRUE(a.IsMmxSupport());
    EXPECT_EQ(a.Family(), 5);

    FakeProcessor cyrix("CyrixInstead");
    cyrix.leaves[0x80000000] = CpuidRegs{0x7FFFFFFF, 0, 0, 0};
    cyrix.leaves[1] = CpuidRegs{0x520, 0, 0, 1u << 23};
    cyrix.leaves[0x80000001] = CpuidRegs{0x600, 0, 0, 0};
    CPUID c(cyrix.Query());
    EXPECT_EQ(c.Family(), 5);  // below 0x80000000 the extended leaf does not exist
    EXPECT_EQ(std::count(cyrix.asked.begin(), cyrix.asked.end(), 0x80000001u), 0);

    FakeProcessor centaur("CentaurHauls");
    centaur.leaves[1] = CpuidRegs{0x600, 0, 0, 1u << 31};
    EXPECT_TRUE(CPUID(centaur.Query()).Is3dnowSupport());
    EXPECT_FALSE(CPUID(centaur.Query()).IsEx3dnowSupport());

    FakeProcessor serial("GenuineIntel");
    serial.leaves[1] = CpuidRegs{0x00000673, 0, 0, (1u << 18) | (1u << 24)};
    serial.leaves[3] = CpuidRegs{0, 0, 0x11111111, 0x22222222};
    CPUID s(serial.Query());
    EXPECT_TRUE(s.IsPsnEnable());
    EXPECT_TRUE(s.IsFxsaveSupport());
    EXPECT_EQ(s.Serial(0), 0x11111111u);
    EXPECT_EQ(s.Serial(1), 0x22222222u);
    EXPECT_EQ(s.Serial(2), 0x00000673u);
}

// A maker this code does not know still has leaf 1, so its MMX is seen; the vendor-gated
// tests stay false.
TEST(CPUID, UnknownVendorIsDescribedByTheStandardLeaf) {
    FakeProcessor other("SomeNewMaker");
    other.leaves[1] = CpuidRegs{0x00A20F12, 0, 0, (1u << 23) | (1u << 25) | (1u << 31)};
    CPUID c(other.Query());
    EXPECT_TRUE(c.IsMmxSupport());
    EXPECT_FALSE(c.IsSseSupport());
    EXPECT_FALSE(c.Is3dnowSupport());
    EXPECT_EQ(c.Family(), 15);

    FakeProcessor silent("SomeNewMaker");
    CPUID none(silent.Query());
    EXPECT_FALSE(none.IsMmxSupport());
    EXPECT_FALSE(none.IsFPUSupport());
}

TEST(CPUID, ThisProcessorHasWhatTheFastKernelsNeed) {
    CPUID c;
    EXPECT_EQ(c.Valid(), 1u);
    EXPECT_TRUE(c.IsMmxSupport());
    EXPECT_TRUE(c.IsFPUSupport());
    EXPECT_TRUE(UseMmxKernels(c));
    SetMmxKernels(false);
    EXPECT_FALSE(UseMmxKernels(c));
    SetMmxKernels(true);
    EXPECT_TRUE(MmxKernelsEnabled());
}

}  // namespace
