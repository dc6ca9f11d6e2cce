// Unaligned little-endian access to pixels inside byte rows, touching exactly the bytes of the
// pixel, and unaligned 16-byte register access, shared by the row kernels.
#pragma once
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace zr_pix {

inline uint32_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void Store16(uint8_t* p, uint32_t v) {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
}
inline uint32_t Load24(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
}
inline void Store24(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
}
inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

inline __m128i Load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

}  // namespace zr_pix
