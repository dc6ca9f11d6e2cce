#include "media/zrrgbcopy.h"

#include <cstddef>
#include <cstring>

#include "media/zrmem.h"
#include "media/zrpixelio.h"

using namespace zr_pix;

// The 16-bit packers other than 4444 carry the colour's alpha byte through in bits 16-23, so
// only the low 16 bits of their result are the pixel.
uint32_t RGBto16_565(uint32_t c) {
    const uint32_t a = c >> 24, r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    return a << 16 | (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
}

uint32_t RGBto16_555(uint32_t c) {
    const uint32_t a = c >> 24, r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    return a << 16 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
}

uint32_t RGBto16_5551(uint32_t c) {
    return RGBto16_555(c);
}

uint32_t RGBto16_4444(uint32_t c) {
    const uint32_t a = c >> 24, r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    return (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4;
}

uint32_t RGBto24_888(uint32_t c) {
    return c;
}
uint32_t RGBto32_888(uint32_t c) {
    return c;
}
uint32_t RGBto32_8888(uint32_t c) {
    return c;
}

namespace {

inline uint32_t Widen5(uint32_t v) {
    return v << 3 | v >> 2;
}
inline uint32_t Widen6(uint32_t v) {
    return v << 2 | v >> 4;
}
inline uint32_t Widen4(uint32_t v) {
    return v * 17;
}

}  // namespace

uint32_t RGBfrom16_565(uint32_t p) {
    return Widen5((p >> 11) & 31) << 16 | Widen6((p >> 5) & 63) << 8 | Widen5(p & 31);
}

uint32_t RGBfrom16_555(uint32_t p) {
    return ((p >> 15) & 1) << 24 | Widen5((p >> 10) & 31) << 16 | Widen5((p >> 5) & 31) << 8 |
           Widen5(p & 31);
}

uint32_t RGBfrom16_5551(uint32_t p) {
    return RGBfrom16_555(p);
}

uint32_t RGBfrom16_4444(uint32_t p) {
    return Widen4((p >> 12) & 15) << 24 | Widen4((p >> 8) & 15) << 16 | Widen4((p >> 4) & 15) << 8 |
           Widen4(p & 15);
}

uint32_t RGBfrom24_888(uint32_t p) {
    return p;
}
uint32_t RGBfrom32_888(uint32_t p) {
    return p;
}
uint32_t RGBfrom32_8888(uint32_t p) {
    return p & 0x00FFFFFF;
}

namespace {

// One loop shape for every converter: In and Out are the byte sizes of a source and a
// destination pixel, Fn maps the source pixel value to the destination pixel value.
template <unsigned In, unsigned Out, typename Fn>
void* ConvertRow(void* dst, const void* src, unsigned int count, Fn fn) {
    const uint8_t* s = static_cast<const uint8_t*>(src);
    uint8_t* d = static_cast<uint8_t*>(dst);
    for (unsigned int i = 0; i < count; ++i, s += In, d += Out) {
        uint32_t v;
        if constexpr (In == 2) v = Load16(s);
        if constexpr (In == 3) v = Load24(s);
        if constexpr (In == 4) v = Load32(s);
        const uint32_t r = fn(v);
        if constexpr (Out == 2) Store16(d, r);
        if constexpr (Out == 3) Store24(d, r);
        if constexpr (Out == 4) Store32(d, r);
    }
    return dst;
}

inline uint32_t Rgb(uint32_t v) {
    return v & 0x00FFFFFF;
}

// Triples to quads with byte 3 zero, four pixels (12 bytes in, 16 out) at a time; every
// load stays inside the source row. Image decoding runs every pixel through here.
void* TriplesToQuads(void* dst, const void* src, unsigned int count) {
    const uint8_t* s = static_cast<const uint8_t*>(src);
    uint8_t* d = static_cast<uint8_t*>(dst);
    unsigned int i = 0;
    for (; i + 4 <= count; i += 4, s += 12, d += 16) {
        uint64_t a;
        uint32_t b;
        std::memcpy(&a, s, 8);
        std::memcpy(&b, s + 8, 4);
        const uint32_t q[4] = {static_cast<uint32_t>(a) & 0x00FFFFFF,
                               static_cast<uint32_t>(a >> 24) & 0x00FFFFFF,
                               (static_cast<uint32_t>(a >> 48) | (b << 16)) & 0x00FFFFFF, b >> 8};
        std::memcpy(d, q, 16);
    }
    ConvertRow<3, 4>(d, s, count - i, Rgb);
    return dst;
}

}  // namespace

void* RGBQUADcpyTo16_565(void* dst, const void* src, unsigned int count) {
    return ConvertRow<4, 2>(dst, src, count, RGBto16_565);
}
void* RGBQUADcpyTo16_555(void* dst, const void* src, unsigned int count) {
    return ConvertRow<4, 2>(dst, src, count, RGBto16_555);
}
void* RGBQUADcpyTo16_5551(void* dst, const void* src, unsigned int count) {
    return ConvertRow<4, 2>(dst, src, count, RGBto16_5551);
}
void* RGBQUADcpyTo16_4444(void* dst, const void* src, unsigned int count) {
    return ConvertRow<4, 2>(dst, src, count, RGBto16_4444);
}
void* RGBQUADcpyTo24_888(void* dst, const void* src, unsigned int count) {
    return ConvertRow<4, 3>(dst, src, count, Rgb);
}
void* RGBQUADcpyTo32_888(void* dst, const void* src, unsigned int count) {
    return ZRMemcpy(dst, src, count * 4);
}
void* RGBQUADcpyTo32_8888(void* dst, const void* src, unsigned int count) {
    return ZRMemcpy(dst, src, count * 4);
}

void* RGBQUADcpyFrom16_565(void* dst, const void* src, unsigned int count) {
    return ConvertRow<2, 4>(dst, src, count, RGBfrom16_565);
}
void* RGBQUADcpyFrom16_555(void* dst, const void* src, unsigned int count) {
    return ConvertRow<2, 4>(dst, src, count, [](uint32_t v) { return Rgb(RGBfrom16_555(v)); });
}
void* RGBQUADcpyFrom16_5551(void* dst, const void* src, unsigned int count) {
    return ConvertRow<2, 4>(dst, src, count, [](uint32_t v) { return Rgb(RGBfrom16_5551(v)); });
}
void* RGBQUADcpyFrom16_4444(void* dst, const void* src, unsigned int count) {
    return ConvertRow<2, 4>(dst, src, count, RGBfrom16_4444);
}
void* RGBQUADcpyFrom24_888(void* dst, const void* src, unsigned int count) {
    return ConvertRow<3, 4>(dst, src, count, Rgb);
}
void* RGBQUADcpyFrom32_888(void* dst, const void* src, unsigned int count) {
    return ZRMemcpy(dst, src, count * 4);
}
void* RGBQUADcpyFrom32_8888(void* dst, const void* src, unsigned int count) {
    return ZRMemcpy(dst, src, count * 4);
}

void* RGBTRIPLEcpyTo16_565(void* dst, const void* src, unsigned int count) {
    return ConvertRow<3, 2>(dst, src, count, RGBto16_565);
}
void* RGBTRIPLEcpyTo16_555(void* dst, const void* src, unsigned int count) {
    return ConvertRow<3, 2>(dst, src, count, RGBto16_555);
}
void* RGBTRIPLEcpyTo16_5551(void* dst, const void* src, unsigned int count) {
    return ConvertRow<3, 2>(dst, src, count, RGBto16_5551);
}
void* RGBTRIPLEcpyTo16_4444(void* dst, const void* src, unsigned int count) {
    return ConvertRow<3, 2>(dst, src, count, RGBto16_4444);
}
void* RGBTRIPLEcpyTo24_888(void* dst, const void* src, unsigned int count) {
    return ZRMemcpy(dst, src, count * 3);
}
void* RGBTRIPLEcpyTo32_888(void* dst, const void* src, unsigned int count) {
    return TriplesToQuads(dst, src, count);
}
void* RGBTRIPLEcpyTo32_8888(void* dst, const void* src, unsigned int count) {
    return TriplesToQuads(dst, src, count);
}

void* RGBTRIPLEcpyFrom16_565(void* dst, const void* src, unsigned int count) {
    return ConvertRow<2, 3>(dst, src, count, RGBfrom16_565);
}
void* RGBTRIPLEcpyFrom16_555(void* dst, const void* src, unsigned int count) {
    return ConvertRow<2, 3>(dst, src, count, RGBfrom16_555);
}
void* RGBTRIPLEcpyFrom16_5551(void* dst, const void* src, unsigned int count) {
    return ConvertRow<2, 3>(dst, src, count, RGBfrom16_5551);
}
void* RGBTRIPLEcpyFrom16_4444(void* dst, const void* src, unsigned int count) {
    return ConvertRow<2, 3>(dst, src, count, RGBfrom16_4444);
}
void* RGBTRIPLEcpyFrom24_888(void* dst, const void* src, unsigned int count) {
    return ZRMemcpy(dst, src, count * 3);
}
void* RGBTRIPLEcpyFrom32_888(void* dst, const void* src, unsigned int count) {
    return ConvertRow<4, 3>(dst, src, count, Rgb);
}
void* RGBTRIPLEcpyFrom32_8888(void* dst, const void* src, unsigned int count) {
    return ConvertRow<4, 3>(dst, src, count, Rgb);
}

void* RGBQUADcpyFrom8(void* dst, const void* src, const void* palette, unsigned int count) {
    const uint8_t* s = static_cast<const uint8_t*>(src);
    const uint8_t* pal = static_cast<const uint8_t*>(palette);
    uint8_t* d = static_cast<uint8_t*>(dst);
    for (unsigned int i = 0; i < count; ++i) std::memcpy(d + std::size_t(i) * 4, pal + s[i] * 4, 4);
    return dst;
}

void* RGBTRIPLEcpyFrom8(void* dst, const void* src, const void* palette, unsigned int count) {
    const uint8_t* s = static_cast<const uint8_t*>(src);
    const uint8_t* pal = static_cast<const uint8_t*>(palette);
    uint8_t* d = static_cast<uint8_t*>(dst);
    for (unsigned int i = 0; i < count; ++i) std::memcpy(d + std::size_t(i) * 3, pal + s[i] * 4, 3);
    return dst;
}

const ZRConvertProc ConvertRGBtoProcTable[8] = {nullptr,      RGBto16_565,  RGBto16_555,
                                                RGBto16_5551, RGBto16_4444, RGBto24_888,
                                                RGBto32_888,  RGBto32_8888};
const ZRConvertProc ConvertRGBfromProcTable[8] = {nullptr,        RGBfrom16_565,  RGBfrom16_555,
                                                  RGBfrom16_5551, RGBfrom16_4444, RGBfrom24_888,
                                                  RGBfrom32_888,  RGBfrom32_8888};
const ZRRowConvertProc RGBQUADcpyToProcTable[8] = {nullptr,
                                                   RGBQUADcpyTo16_565,
                                                   RGBQUADcpyTo16_555,
                                                   RGBQUADcpyTo16_5551,
                                                   RGBQUADcpyTo16_4444,
                                                   RGBQUADcpyTo24_888,
                                                   RGBQUADcpyTo32_888,
                                                   RGBQUADcpyTo32_8888};
const ZRRowConvertProc RGBQUADcpyFromProcTable[8] = {nullptr,
                                                     RGBQUADcpyFrom16_565,
                                                     RGBQUADcpyFrom16_555,
                                                     RGBQUADcpyFrom16_5551,
                                                     RGBQUADcpyFrom16_4444,
                                                     RGBQUADcpyFrom24_888,
                                                     RGBQUADcpyFrom32_888,
                                                     RGBQUADcpyFrom32_8888};
const ZRRowConvertProc RGBTRIPLEcpyToProcTable[8] = {nullptr,
                                                     RGBTRIPLEcpyTo16_565,
                                                     RGBTRIPLEcpyTo16_555,
                                                     RGBTRIPLEcpyTo16_5551,
                                                     RGBTRIPLEcpyTo16_4444,
                                                     RGBTRIPLEcpyTo24_888,
                                                     RGBTRIPLEcpyTo32_888,
                                                     RGBTRIPLEcpyTo32_8888};
const ZRRowConvertProc RGBTRIPLEcpyFromProcTable[8] = {nullptr,
                                                       RGBTRIPLEcpyFrom16_565,
                                                       RGBTRIPLEcpyFrom16_555,
                                                       RGBTRIPLEcpyFrom16_5551,
                                                       RGBTRIPLEcpyFrom16_4444,
                                                       RGBTRIPLEcpyFrom24_888,
                                                       RGBTRIPLEcpyFrom32_888,
                                                       RGBTRIPLEcpyFrom32_8888};
