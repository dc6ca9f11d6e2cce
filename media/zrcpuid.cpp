#include "media/zrcpuid.h"

#include <atomic>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#endif

CpuidRegs QueryProcessor(uint32_t leaf) {
    CpuidRegs r;
#if defined(__x86_64__) || defined(__i386__)
    __cpuid(leaf, r.eax, r.ebx, r.ecx, r.edx);
#else
    (void)leaf;
#endif
    return r;
}

uint32_t CPUID::ValidCPUID() {
#if defined(__x86_64__)
    const uint64_t before = __readeflags();
    __writeeflags(before ^ (uint64_t(1) << 21));
    const uint64_t after = __readeflags();
    __writeeflags(before);
    return static_cast<uint32_t>((before ^ after) >> 21) & 1;
#elif defined(__i386__)
    const uint32_t before = __readeflags();
    __writeeflags(before ^ (1u << 21));
    const uint32_t after = __readeflags();
    __writeeflags(before);
    return ((before ^ after) >> 21) & 1;
#else
    return 0;
#endif
}

CPUID::CPUID() {
    valid_ = ValidCPUID();
    // The identification instruction cannot fault once the ID flag says it exists.
    if (valid_) ScanCPUID(QueryProcessor);
}

CPUID::CPUID(const CpuidQuery& query) {
    valid_ = 1;
    ScanCPUID(query);
}

bool CPUID::IsVendor(const char (&name)[13]) const {
    return std::memcmp(vendor_, name, sizeof vendor_) == 0;
}

void CPUID::SetFamily(uint32_t signature, uint32_t features) {
    features_ = features;
    type_ = (signature >> 12) & 3;
    family_ = static_cast<int32_t>((signature >> 8) & 15);
    model_ = static_cast<int32_t>((signature >> 4) & 15);
    stepping_ = static_cast<int32_t>(signature & 15);
}

void CPUID::ScanCPUID(const CpuidQuery& query) {
    const CpuidRegs leaf0 = query(0);
    std::memcpy(vendor_, &leaf0.ebx, 4);
    std::memcpy(vendor_ + 4, &leaf0.edx, 4);
    std::memcpy(vendor_ + 8, &leaf0.ecx, 4);
    if (IsVendor(kAmd)) {
        ScanCPUID_AMD(query);
    } else if (IsVendor(kCyrix)) {
        ScanCPUID_CYRIX(query);
    } else if (IsVendor(kCentaur) || IsVendor(kRise)) {
        ScanCPUID_OTHER(query);
    } else if (IsVendor(kIntel)) {
        ScanCPUID_INTEL(query);
    } else {
        // Leaf 1 has the same layout for every maker, so a processor whose vendor string is not
        // known here is still described by it (and x86-64 processors always report MMX there).
        ScanCPUID_OTHER(query);
    }
}

void CPUID::ScanCPUID_AMD(const CpuidQuery& query) {
    if (query(0x80000000).eax != 0) {
        const CpuidRegs ext = query(0x80000001);
        SetFamily(ext.eax, ext.edx);
    } else {
        ScanCPUID_OTHER(query);
    }
}

void CPUID::ScanCPUID_CYRIX(const CpuidQuery& query) {
    if (query(0x80000000).eax >= 0x80000000) {
        const CpuidRegs ext = query(0x80000001);
        SetFamily(ext.eax, ext.edx);
    } else {
        ScanCPUID_OTHER(query);
    }
}

void CPUID::ScanCPUID_INTEL(const CpuidQuery& query) {
    const CpuidRegs leaf1 = query(1);
    SetFamily(leaf1.eax, leaf1.edx);
    if (IsPsnEnable()) {
        const CpuidRegs leaf3 = query(3);
        serial_[0] = leaf3.ecx;
        serial_[1] = leaf3.edx;
        serial_[2] = leaf1.eax;
    }
}

void CPUID::ScanCPUID_OTHER(const CpuidQuery& query) {
    const CpuidRegs leaf1 = query(1);
    SetFamily(leaf1.eax, leaf1.edx);
}

namespace {
std::atomic<bool> g_mmxKernels{true};
}

void SetMmxKernels(bool enabled) {
    g_mmxKernels.store(enabled, std::memory_order_relaxed);
}
bool MmxKernelsEnabled() {
    return g_mmxKernels.load(std::memory_order_relaxed);
}
bool UseMmxKernels(const CPUID& cpu) {
    return MmxKernelsEnabled() && cpu.IsMmxSupport();
}

bool ProcessorHasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
    // Also checks that the operating system saves the wide registers.
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}
