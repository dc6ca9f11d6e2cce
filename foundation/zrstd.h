// Small value utilities shared across the library: explicit little- and big-endian access to
// byte buffers (no alignment needed), a bounded modular counter, the engine's deterministic
// pseudo-random generator, and (through zrrect.h) rectangles and dirty-rectangle sets.
#pragma once
#include <cstdint>

#include "foundation/zrrect.h"

inline void ZRPutLE16(unsigned char* p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

inline void ZRPutBE16(unsigned char* p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v >> 8);
    p[1] = static_cast<unsigned char>(v);
}

inline void ZRPutLE32(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

inline void ZRPutBE32(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

inline uint16_t ZRGetLE16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint16_t ZRGetBE16(const unsigned char* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

inline uint32_t ZRGetLE32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint32_t ZRGetBE32(const unsigned char* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// A counter running from 0 up to max - 1 in steps; adding past the top wraps (and says so),
// taking below zero stops at zero (and says so).
class ZRCounter {
  public:
    ZRCounter() : max_(9999), step_(1), count_(0) {}
    explicit ZRCounter(int max);
    ZRCounter(int max, int step);

    void SetMaxVal(int max);
    void SetAddVal(int step);
    void SetCount(int count);
    int GetMaxVal() const { return max_; }
    int GetAddVal() const { return step_; }
    int GetCount() const { return count_; }

    bool AddVal(int value);
    bool SubVal(int value);
    bool IncVal() { return AddVal(step_); }
    bool DecVal() { return SubVal(step_); }
    bool IsZero() const { return count_ == 0; }

  private:
    int32_t max_;
    int32_t step_;
    int32_t count_;
};

// Additive lagged Fibonacci generator over 32 words of 16 bits. Every object starts from the
// same table, so a fresh generator always gives the same sequence; callers wanting variety
// draw and discard values first.
class ZRRandom {
  public:
    ZRRandom();

    uint16_t Rnd();
    // Uniform in 0..n-1; -1 when n < 1.
    int Random(int n);
    // Bell-shaped in -n..n; 0 when n is outside 1..65536.
    int NormalDistribution(int n);

  private:
    uint16_t state_[32];
    int32_t j_;
    int32_t k_;
};
