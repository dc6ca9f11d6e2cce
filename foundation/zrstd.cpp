// Bounded counter and the engine's random generator.
#include "foundation/zrstd.h"

#include <algorithm>

namespace {

int32_t AtLeastOne(int v) {
    return v < 1 ? 1 : v;
}

// Counters are handed arbitrary amounts; wrap like the machine does rather than overflow.
int32_t WrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t WrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// F(33 - i) mod 65536 for i = 0..31.
constexpr uint16_t kSeed[32] = {51170, 15621, 35549, 45608, 55477, 55667, 65346, 55857,
                                9489,  46368, 28657, 17711, 10946, 6765,  4181,  2584,
                                1597,  987,   610,   377,   233,   144,   89,    55,
                                34,    21,    13,    8,     5,     3,     2,     1};

}  // namespace

ZRCounter::ZRCounter(int max) : max_(AtLeastOne(max)), step_(1), count_(0) {}

ZRCounter::ZRCounter(int max, int step)
    : max_(AtLeastOne(max)), step_(std::clamp<int32_t>(step, 0, max_)), count_(0) {}

void ZRCounter::SetMaxVal(int max) {
    max_ = AtLeastOne(max);
    step_ = std::min(step_, max_);
    count_ = std::min(count_, max_ - 1);
}

void ZRCounter::SetAddVal(int step) {
    step_ = std::clamp<int32_t>(step, 0, max_);
}

void ZRCounter::SetCount(int count) {
    count_ = std::min<int32_t>(count, max_ - 1);
}

bool ZRCounter::AddVal(int value) {
    count_ = WrapAdd(count_, value);
    if (count_ < max_) return false;
    count_ -= max_;
    return true;
}

bool ZRCounter::SubVal(int value) {
    count_ = WrapSub(count_, value);
    if (count_ >= 0) return false;
    count_ = 0;
    return true;
}

ZRRandom::ZRRandom() : j_(0), k_(7) {
    std::copy(std::begin(kSeed), std::end(kSeed), state_);
}

uint16_t ZRRandom::Rnd() {
    uint16_t r = static_cast<uint16_t>(state_[j_] + state_[k_]);
    state_[j_] = r;
    j_ = j_ == 0 ? 31 : j_ - 1;
    k_ = k_ == 0 ? 31 : k_ - 1;
    return r;
}

int ZRRandom::Random(int n) {
    if (n < 1) return -1;
    if (n == 1) return 0;
    uint32_t mask = 0;
    for (uint32_t v = static_cast<uint32_t>(n - 1); v != 0; v >>= 1) mask = mask * 2 + 1;
    uint32_t r;
    do {
        r = Rnd() & mask;
    } while (r >= static_cast<uint32_t>(n));
    return static_cast<int>(r);
}

int ZRRandom::NormalDistribution(int n) {
    if (n < 1 || n > 65536) return 0;
    int a = 2 * n / 3;
    int b = 2 * n - 2 * a;
    int v = Random(a + 1);
    v += Random(a + 1);
    v += Random(b + 1);
    return v - n;
}
