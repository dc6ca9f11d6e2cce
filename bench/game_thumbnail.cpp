// The save thumbnail of a 1280x720 picture (167x93, area-averaged) beside libswscale's area
// scaler doing the same shrink of the same 32-bit pixels (goal: at most twice its time).
#include <benchmark/benchmark.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/gamefunc.h"

namespace {

TNyRGBBits* Picture() {
    auto* b = new TNyRGBBits(nullptr);
    b->SetBitDepth(bd32);
    b->SetPixFormat(pf32_888);
    b->Resize(1280, 720);
    b->Create();
    for (int y = 0; y < 720; ++y) b->BoxFill(0, y, 1279, y, uint32_t(y * 0x010305) & 0xFFFFFF);
    return b;
}

void BM_MakeThumbnail(benchmark::State& state) {
    MemMan = new ZRMemMan();
    TNyRGBBits* src = Picture();
    for (auto _ : state) {
        TNyRGBBits* t = MakeThumbnail(src);
        benchmark::DoNotOptimize(t);
        MemMan->Delete(t);
    }
    delete src;
    delete MemMan;
    MemMan = nullptr;
}
BENCHMARK(BM_MakeThumbnail)->Unit(benchmark::kMicrosecond);

void BM_PeerSwscaleArea(benchmark::State& state) {
    TNyRGBBits* src = Picture();
    std::vector<uint8_t> dst(size_t(167) * 93 * 4);
    SwsContext* ctx = sws_getContext(1280, 720, AV_PIX_FMT_BGRA, 167, 93, AV_PIX_FMT_BGRA,
                                     SWS_AREA, nullptr, nullptr, nullptr);
    const uint8_t* in[1] = {src->Bits()};
    const int inPitch[1] = {src->Pitch()};
    uint8_t* out[1] = {dst.data()};
    const int outPitch[1] = {167 * 4};
    for (auto _ : state) {
        sws_scale(ctx, in, inPitch, 0, 720, out, outPitch);
        benchmark::ClobberMemory();
    }
    sws_freeContext(ctx);
    delete src;
}
BENCHMARK(BM_PeerSwscaleArea)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
