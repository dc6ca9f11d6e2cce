#include "media/zrmem.h"

#include <cstddef>
#include <cstring>

void* ZRMemcpy(void* dst, const void* src, unsigned int n) {
    // memmove gives the forward copy its defined result for dst at or below src.
    if (n) std::memmove(dst, src, n);
    return dst;
}

void* ZRMemcpyS(void* dst, const void* src, unsigned int n) {
    return ZRMemcpy(dst, src, n);
}

void* ZRMemcpyB(void* dst, const void* src, unsigned int n) {
    // memmove gives the backward copy its defined result for dst at or above src.
    if (n) std::memmove(dst, src, n);
    return dst;
}

namespace {

template <unsigned N>
struct Pix;
template <>
struct Pix<1> {
    using T = uint8_t;
};
template <>
struct Pix<2> {
    using T = uint16_t;
};
template <>
struct Pix<4> {
    using T = uint32_t;
};

// Reads a pixel of N bytes as a little-endian value; N = 3 touches exactly three bytes.
template <unsigned N>
inline uint32_t Load(const uint8_t* p) {
    if constexpr (N == 3) {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    } else {
        typename Pix<N>::T v;
        std::memcpy(&v, p, N);
        return v;
    }
}

template <unsigned N>
inline uint32_t KeyAtWidth(uint32_t key) {
    if constexpr (N == 1) return key & 0xFF;
    if constexpr (N == 2) return key & 0xFFFF;
    return key;  // 3 bytes: a key with a non-zero top byte never matches a 24-bit pixel
}

template <unsigned N>
void* Reverse(void* dst, const void* src, unsigned int count) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src) + std::size_t(count) * N;
    for (unsigned int i = 0; i < count; ++i) {
        s -= N;
        std::memcpy(d, s, N);
        d += N;
    }
    return dst;
}

// step is +N for forward and -N for mirrored destinations.
template <unsigned N, bool Mirror>
void* KeyCopy(void* dst, const void* src, unsigned int count, uint32_t key) {
    const uint32_t k = KeyAtWidth<N>(key);
    uint8_t* d = static_cast<uint8_t*>(dst);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    if constexpr (Mirror) s += std::size_t(count) * N;
    for (unsigned int i = 0; i < count; ++i) {
        if constexpr (Mirror) s -= N;
        if (Load<N>(s) != k) std::memcpy(d, s, N);
        d += N;
        if constexpr (!Mirror) s += N;
    }
    return dst;
}

// Pixel i of the source goes to destination pixel i (or count - 1 - i when mirrored) when the
// mask bit i mod maskBits is set; whole mask bytes decide eight pixels at once.
template <unsigned N, bool Mirror>
void* MaskCopy(void* dst, const void* src, unsigned int count, const void* mask,
               unsigned int maskBits) {
    if (count == 0 || maskBits == 0) return dst;
    const uint8_t* m = static_cast<const uint8_t*>(mask);
    const uint8_t* s = static_cast<const uint8_t*>(src);
    uint8_t* d = static_cast<uint8_t*>(dst);
    auto put = [&](unsigned int i) {
        std::size_t di = Mirror ? std::size_t(count - 1 - i) : i;
        std::memcpy(d + di * N, s + std::size_t(i) * N, N);
    };
    unsigned int bit = 0;  // position in the mask
    unsigned int i = 0;
    while (i < count) {
        if ((bit & 7) == 0 && count - i >= 8 && maskBits - bit >= 8) {
            const uint8_t byte = m[bit >> 3];
            if (byte == 0xFF && !Mirror) {
                std::memcpy(d + std::size_t(i) * N, s + std::size_t(i) * N, 8 * N);
            } else if (byte) {
                for (unsigned int j = 0; j < 8; ++j)
                    if (byte & (0x80 >> j)) put(i + j);
            }
            i += 8;
            bit += 8;
        } else {
            if (m[bit >> 3] & (0x80 >> (bit & 7))) put(i);
            ++i;
            ++bit;
        }
        if (bit == maskBits) bit = 0;
    }
    return dst;
}

}  // namespace

void* ZRMemcpyR(void* dst, const void* src, unsigned int count) {
    return Reverse<1>(dst, src, count);
}
void* ZRMemcpy2R(void* dst, const void* src, unsigned int count) {
    return Reverse<2>(dst, src, count);
}
void* ZRMemcpy3R(void* dst, const void* src, unsigned int count) {
    return Reverse<3>(dst, src, count);
}
void* ZRMemcpy4R(void* dst, const void* src, unsigned int count) {
    return Reverse<4>(dst, src, count);
}

void* ZRMemcpyK(void* dst, const void* src, unsigned int count, uint32_t key) {
    return KeyCopy<1, false>(dst, src, count, key);
}
void* ZRMemcpy2K(void* dst, const void* src, unsigned int count, uint32_t key) {
    return KeyCopy<2, false>(dst, src, count, key);
}
void* ZRMemcpy3K(void* dst, const void* src, unsigned int count, uint32_t key) {
    return KeyCopy<3, false>(dst, src, count, key);
}
void* ZRMemcpy4K(void* dst, const void* src, unsigned int count, uint32_t key) {
    return KeyCopy<4, false>(dst, src, count, key);
}
void* ZRMemcpyRK(void* dst, const void* src, unsigned int count, uint32_t key) {
    return KeyCopy<1, true>(dst, src, count, key);
}
void* ZRMemcpy2RK(void* dst, const void* src, unsigned int count, uint32_t key) {
    return KeyCopy<2, true>(dst, src, count, key);
}
void* ZRMemcpy3RK(void* dst, const void* src, unsigned int count, uint32_t key) {
    return KeyCopy<3, true>(dst, src, count, key);
}
void* ZRMemcpy4RK(void* dst, const void* src, unsigned int count, uint32_t key) {
    return KeyCopy<4, true>(dst, src, count, key);
}

void* ZRMemcpyM(void* dst, const void* src, unsigned int count, const void* mask,
                unsigned int maskBits) {
    return MaskCopy<1, false>(dst, src, count, mask, maskBits);
}
void* ZRMemcpy2M(void* dst, const void* src, unsigned int count, const void* mask,
                 unsigned int maskBits) {
    return MaskCopy<2, false>(dst, src, count, mask, maskBits);
}
void* ZRMemcpy3M(void* dst, const void* src, unsigned int count, const void* mask,
                 unsigned int maskBits) {
    return MaskCopy<3, false>(dst, src, count, mask, maskBits);
}
void* ZRMemcpy4M(void* dst, const void* src, unsigned int count, const void* mask,
                 unsigned int maskBits) {
    return MaskCopy<4, false>(dst, src, count, mask, maskBits);
}
void* ZRMemcpyRM(void* dst, const void* src, unsigned int count, const void* mask,
                 unsigned int maskBits) {
    return MaskCopy<1, true>(dst, src, count, mask, maskBits);
}
void* ZRMemcpy2RM(void* dst, const void* src, unsigned int count, const void* mask,
                  unsigned int maskBits) {
    return MaskCopy<2, true>(dst, src, count, mask, maskBits);
}
void* ZRMemcpy3RM(void* dst, const void* src, unsigned int count, const void* mask,
                  unsigned int maskBits) {
    return MaskCopy<3, true>(dst, src, count, mask, maskBits);
}
void* ZRMemcpy4RM(void* dst, const void* src, unsigned int count, const void* mask,
                  unsigned int maskBits) {
    return MaskCopy<4, true>(dst, src, count, mask, maskBits);
}

void* ZRMemset(void* dst, uint32_t value, unsigned int count) {
    if (count) std::memset(dst, static_cast<uint8_t>(value), count);
    return dst;
}

void* ZRMemset2(void* dst, uint32_t value, unsigned int count) {
    const uint16_t v = static_cast<uint16_t>(value);
    uint8_t* d = static_cast<uint8_t*>(dst);
    for (unsigned int i = 0; i < count; ++i) std::memcpy(d + std::size_t(i) * 2, &v, 2);
    return dst;
}

void* ZRMemset3(void* dst, uint32_t value, unsigned int count) {
    // Four pixels make twelve bytes, stored as one pattern per step.
    uint8_t pattern[12];
    for (int i = 0; i < 12; i += 3) {
        pattern[i] = static_cast<uint8_t>(value);
        pattern[i + 1] = static_cast<uint8_t>(value >> 8);
        pattern[i + 2] = static_cast<uint8_t>(value >> 16);
    }
    uint8_t* d = static_cast<uint8_t*>(dst);
    unsigned int i = 0;
    for (; i + 4 <= count; i += 4, d += 12) std::memcpy(d, pattern, 12);
    for (; i < count; ++i, d += 3) std::memcpy(d, pattern, 3);
    return dst;
}

void* ZRMemset4(void* dst, uint32_t value, unsigned int count) {
    uint8_t* d = static_cast<uint8_t*>(dst);
    for (unsigned int i = 0; i < count; ++i) std::memcpy(d + std::size_t(i) * 4, &value, 4);
    return dst;
}

const ZRReverseProc RGBReverseProcTable[5] = {nullptr, ZRMemcpyR, ZRMemcpy2R, ZRMemcpy3R,
                                              ZRMemcpy4R};
const ZRKeyColorProc RGBKeyColorProcTable[5] = {nullptr, ZRMemcpyK, ZRMemcpy2K, ZRMemcpy3K,
                                                ZRMemcpy4K};
const ZRKeyColorProc RGBRevKeyColorProcTable[5] = {nullptr, ZRMemcpyRK, ZRMemcpy2RK, ZRMemcpy3RK,
                                                   ZRMemcpy4RK};
const ZRMaskColorProc RGBMaskColorProcTable[5] = {nullptr, ZRMemcpyM, ZRMemcpy2M, ZRMemcpy3M,
                                                  ZRMemcpy4M};
const ZRMaskColorProc RGBRevMaskColorProcTable[5] = {nullptr, ZRMemcpyRM, ZRMemcpy2RM, ZRMemcpy3RM,
                                                     ZRMemcpy4RM};
const ZRFillProc RGBFillProcTable[5] = {nullptr, ZRMemset, ZRMemset2, ZRMemset3, ZRMemset4};
