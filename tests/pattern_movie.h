// A two-picture movie in which every pixel differs from its neighbours, so that any misplaced
// row or column shows; with alpha, the alpha rises from left to right.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/moviewrite.h"

inline std::vector<uint8_t> PatternMovie(int32_t width, int32_t height, bool alpha = false,
                                         bool chroma422 = false) {
    plat::MovieWriteOptions o;
    o.width = width;
    o.height = height;
    o.frames = 2;
    o.alpha = alpha;
    o.chroma422 = chroma422;
    return plat::WriteMovie(
        o,
        [&](int32_t, uint8_t* bgra, int32_t pitch) {
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    uint8_t* p = bgra + y * pitch + x * 4;
                    p[0] = static_cast<uint8_t>(x * 3);
                    p[1] = static_cast<uint8_t>(y * 5);
                    p[2] = static_cast<uint8_t>((x ^ y) * 7);
                    p[3] = static_cast<uint8_t>(x * 255 / width);
                }
        },
        nullptr);
}
