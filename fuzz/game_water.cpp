// Fuzzes the water tables and the ripple. Input: amplitude (1 byte, signed), phase (2 bytes),
// the lengths of the wave and amplitude files (2 bytes each), the clip (first column and
// first row, 2 bytes each, signed, and a row count of 1 to 64), then the wave file, the
// amplitude file and the distance file, each cut to what is left. One ripple runs on the
// tables as the loader made them, and one on a distance table tiled from the input, since
// a fuzzer's inputs are rarely as long as a whole distance file. The clip keeps each run to
// a band of rows, so many inputs run a second.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/zrstream.h"
#include "game/gameeffect_kinds.h"
#include "game/gameeffect_res.h"

namespace {

struct Pictures {
    TNyRGBBits src{nullptr}, dst{nullptr};
    Pictures() {
        for (TNyRGBBits* b : {&src, &dst}) {
            b->SetBitDepth(bd32);
            b->SetPixFormat(pf32_888);
            b->Resize(1280, 720);
            b->Create();
        }
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 1280; ++x) src.PSet(x, y, uint32_t(y * 1280 + x));
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 12 || size > (1 << 20)) return 0;
    static Pictures pics;
    const int a = int8_t(data[0]);
    const int phase = int16_t(data[1] | data[2] << 8);
    size_t sineLen = data[3] | data[4] << 8, ampLen = data[5] | data[6] << 8;
    const int x0 = int16_t(data[7] | data[8] << 8), y0 = int16_t(data[9] | data[10] << 8);
    const effect::Clip clip{x0, y0, 1280, y0 + 1 + data[11] % 64};
    const uint8_t* p = data + 12;
    size_t left = size - 12;
    sineLen = std::min(sineLen, left);
    ampLen = std::min(ampLen, left - sineLen);
    const size_t distLen = left - sineLen - ampLen;

    ZRMemoryStream sine(p, int(sineLen));
    ZRMemoryStream amp(p + sineLen, int(ampLen));
    ZRMemoryStream dist(p + sineLen + ampLen, int(distLen));
    TNYWaterTable water;
    LoadWaterStreams(water, distLen ? &dist : nullptr, sineLen ? &sine : nullptr,
                     ampLen ? &amp : nullptr);
    const effect::PixelRect s = effect::RectOf(&pics.src, 0, 0, 1280, 720);
    const effect::PixelRect d = effect::RectOf(&pics.dst, 0, 0, 1280, 720);
    effect::WaterRipple(d, clip, s, water, a, phase);

    if (left > 0) {
        for (int i = 0; i < kWaterQuadW * kWaterQuadH; ++i)
            water.distance[i] = uint16_t(p[(2 * i) % left] | p[(2 * i + 1) % left] << 8);
        effect::WaterRipple(d, clip, s, water, a, phase);
    }
    return 0;
}
