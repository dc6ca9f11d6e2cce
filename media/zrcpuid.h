// Processor feature probe: who made the processor and which instruction-set features it has.
// The decoding is a pure function of the answers to the identification instruction, so any
// processor can be described to it; the default constructor asks the processor it runs on.
// Also holds the process-wide switch that picks the plain kernel tables over the fast ones.
#pragma once
#include <cstdint>
#include <functional>
#include <string_view>

struct CpuidRegs {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};
// Answers one identification leaf.
using CpuidQuery = std::function<CpuidRegs(uint32_t leaf)>;

class CPUID {
  public:
    // Probes the processor this program runs on.
    CPUID();
    // Decodes the answers of query as if they came from the processor.
    explicit CPUID(const CpuidQuery& query);

    // Nonzero when the identification instruction exists (the ID flag can be flipped).
    static uint32_t ValidCPUID();
    // Reads leaf 0, stores the vendor string and runs the scan for that vendor.
    void ScanCPUID(const CpuidQuery& query);
    void SetFamily(uint32_t signature, uint32_t features);

    bool IsFPUSupport() const { return Bit(0); }
    bool IsTimeStampCounterSupport() const { return Bit(4); }
    bool IsCmpxchg8bSupport() const { return Bit(8); }
    bool IsCmovSupport() const { return Bit(15); }
    bool IsMmxSupport() const { return Bit(23); }
    bool IsPsnEnable() const { return IsVendor(kIntel) && Bit(18); }
    bool IsFxsaveSupport() const { return IsVendor(kIntel) && Bit(24); }
    bool IsSseSupport() const { return IsVendor(kIntel) && Bit(25); }
    bool Is3dnowSupport() const { return (IsVendor(kAmd) || IsVendor(kCentaur)) && Bit(31); }
    bool IsEx3dnowSupport() const { return IsVendor(kAmd) && Bit(30); }

    uint32_t Valid() const { return valid_; }
    uint32_t Type() const { return type_; }
    int32_t Family() const { return family_; }
    int32_t Model() const { return model_; }
    int32_t Stepping() const { return stepping_; }
    uint32_t Features() const { return features_; }
    std::string_view Vendor() const { return std::string_view(vendor_, sizeof vendor_); }
    // Leaf 3 ECX, leaf 3 EDX and the signature; set only for a serial-numbered processor.
    uint32_t Serial(int i) const { return serial_[i]; }

  private:
    static constexpr char kIntel[] = "GenuineIntel";
    static constexpr char kAmd[] = "AuthenticAMD";
    static constexpr char kCyrix[] = "CyrixInstead";
    static constexpr char kCentaur[] = "CentaurHauls";
    static constexpr char kRise[] = "RiseRiseRise";

    bool Bit(int n) const { return (features_ >> n) & 1; }
    bool IsVendor(const char (&name)[13]) const;
    void ScanCPUID_AMD(const CpuidQuery& query);
    void ScanCPUID_CYRIX(const CpuidQuery& query);
    void ScanCPUID_INTEL(const CpuidQuery& query);
    void ScanCPUID_OTHER(const CpuidQuery& query);

    uint32_t valid_ = 0;
    uint32_t type_ = 0;
    int32_t family_ = -1;
    int32_t model_ = -1;
    int32_t stepping_ = -1;
    uint32_t features_ = 0;
    char vendor_[12] = {};
    uint32_t serial_[3] = {};
};

// The processor's own answer to one leaf.
CpuidRegs QueryProcessor(uint32_t leaf);

// Process-wide switch between the kernel sets: on (the default) lets callers take the fast
// tables where the processor has them; off makes them take the plain tables, for tests and for
// comparing the two sets.
void SetMmxKernels(bool enabled);
bool MmxKernelsEnabled();
// What a bitmap or an alpha plane keeps as its choice of kernel set.
bool UseMmxKernels(const CPUID& cpu);

// Whether this processor and its operating system support the 32-byte AVX2 registers.
bool ProcessorHasAvx2();
