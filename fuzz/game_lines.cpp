// Fuzzes the clipped line drawer against the plain walk of every pixel of the line filtered by
// the clip: any pixel that differs aborts. Input: four end-point coordinates (32-bit), a clip
// (four 16-bit values) and the bitmap depth (one byte).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "game/gamefunc.h"

namespace {

int32_t I32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}

int16_t I16(const uint8_t* p) {
    return int16_t(uint16_t(p[0] | p[1] << 8));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 25) return 0;
    constexpr int W = 61, H = 47;
    int x1 = I32(data), y1 = I32(data + 4), x2 = I32(data + 8), y2 = I32(data + 12);
    ZRRect clip{I16(data + 16), I16(data + 18), I16(data + 20), I16(data + 22)};
    const ZRBitDepth depth = data[24] & 1 ? bd24 : bd32;
    const int bpp = depth == bd32 ? 4 : 3;

    TNyRGBBits bits(nullptr);
    bits.SetBitDepth(depth);
    bits.SetPixFormat(depth == bd32 ? pf32_888 : pf24_888);
    bits.Resize(W, H);
    if (!bits.Create()) return 0;
    for (int y = 0; y < H; ++y) std::memset(bits.Bits() + int64_t(y) * bits.Pitch(), 0x40, W * bpp);
    std::vector<unsigned char> want(size_t(W) * H * bpp, 0x40);

    if (!DrawLineAddClip(&bits, x1, y1, x2, y2, 0x010203, clip)) std::abort();

    auto c16 = [](int v) { return std::clamp(v, -32768, 32768); };
    x1 = c16(x1), y1 = c16(y1), x2 = c16(x2), y2 = c16(y2);
    if (y2 < y1) std::swap(x1, x2), std::swap(y1, y2);
    const int left = std::max<int>(clip.left, 0), top = std::max<int>(clip.top, 0);
    const int right = std::min<int>(clip.right, W), bottom = std::min<int>(clip.bottom, H);
    const int64_t nx = std::abs(int64_t(x2) - x1) + 1, ny = int64_t(y2) - y1 + 1;
    const int dir = x1 < x2 ? 1 : -1;
    const bool xMajor = ny < nx;
    int64_t x = x1, y = y1, e = 0;
    for (int64_t i = 0; i < (xMajor ? nx : ny); ++i) {
        if (x >= left && x < right && y >= top && y < bottom) {
            unsigned char* p = &want[(size_t(y) * W + size_t(x)) * bpp];
            p[0] += 3, p[1] += 2, p[2] += 1;
        }
        if (xMajor) {
            x += dir, e += ny;
            if (e >= nx) e -= nx, ++y;
        } else {
            ++y, e += nx;
            if (e >= ny) e -= ny, x += dir;
        }
    }
    for (int row = 0; row < H; ++row)
        if (std::memcmp(bits.Bits() + int64_t(row) * bits.Pitch(), &want[size_t(row) * W * bpp],
                        size_t(W) * bpp) != 0)
            std::abort();
    return 0;
}
