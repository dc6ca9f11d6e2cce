// A battle frame with three reels spinning (the battle's step, the reels redrawn from the
// strip and the changed area drawn into the frame) beside a memcpy of the whole 1280x720
// frame. Goal: under a tenth of the 33 ms frame. And a frame of the fading flash at its tick
// beside one of the frames without a tick that share it at the full frame rate: the second
// must draw nothing.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/zrfileman.h"
#include "foundation/zrmemman.h"
#include "foundation/zrstream.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "media/zrpng.h"
#include "scenes/battleu.h"
#include "widgets/nyrgbbits.h"

namespace {

namespace fs = std::filesystem;

// Scratch game data: both tables and the reel strip.
struct Data {
    fs::path dir = fs::temp_directory_path() / ("zrbench_battle_" + std::to_string(getpid()));
    ZRFileMan files;
    Data() {
        fs::create_directories(dir);
        std::string reels = "reel";
        for (int c = 0; c < 21; ++c) reels += ",#";
        reels += ",!\n";
        for (int r = 0; r < 12; ++r) {
            reels += "#";
            for (int c = 0; c < 21; ++c) reels += "," + std::to_string((r + c) % 9);
            reels += "\n";
        }
        std::ofstream(dir / "BtlReel.csv") << reels;
        std::ofstream(dir / "BtlData.csv")
            << "no,#n,#ch,#eg,#ed,#miss,#mv,#pg,#set,#r1,#r2,#r3,#rg,#re,#b1,#b2,#b3,#bg,#be,!\n"
               "#,0,4,100,10,0,-1,100,0,60,60,60,0,0,50,50,50,0,0\n";
        std::vector<unsigned char> bgr(size_t(212) * 1378 * 3);
        for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = static_cast<unsigned char>(i * 7 / 3);
        ZRFileStream out((dir / "BtlSlotReel.png").string().c_str(), zrfmCreate);
        SavePng(&out, bgr.data(), 212, 1378, pf24_888);
        files.InitDir(ZRString((dir.string() + "/").c_str()));
    }
    ~Data() {
        files.Finish();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

// A battle ready to run over the scratch data, and the whole frame it is drawn into. The game's
// memory manager lives exactly as long as the battle.
struct Battle {
    struct Manager {
        Manager() { WorkBitDepth = bd32; MemMan = new ZRMemMan(); }
        ~Manager() { delete MemMan; MemMan = nullptr; }
    } manager;
    Data data;
    TBattleUnit unit;
    TNyRGBBits frame{nullptr};
    bool ready = false;
    Battle() {
        ready = unit.Setup(&data.files) && unit.PrepareBattle(0);
        frame.SetBitDepth(bd32);
        frame.SetPixFormat(pf32_888);
        frame.SetWidth(1280);
        frame.SetHeight(720);
        frame.Create();
    }
    ~Battle() {
        if (ready) unit.FreeBattle();
        unit.Release();
    }
};

void BM_SpinningReelsFrame(benchmark::State& state) {
    Battle b;
    if (!b.ready) {
        state.SkipWithError("battle set-up failed");
        return;
    }
    b.unit.Core().StartSpin();
    for (int f = 0; f < 40; ++f) b.unit.FrameInput(1, {});
    b.unit.RootPanel->Draw(&b.frame, 0, 0);
    for (auto _ : state) {
        b.unit.FrameInput(1, {});
        b.unit.RootPanel->Update(&b.frame);
        benchmark::DoNotOptimize(b.frame.Bits());
    }
}
BENCHMARK(BM_SpinningReelsFrame)->Unit(benchmark::kMicrosecond);

// Argument 1: the flash moves on a step each frame; 0: frames without a tick, the flash
// standing where it was drawn.
void BM_FlashFrame(benchmark::State& state) {
    Battle b;
    if (!b.ready) {
        state.SkipWithError("battle set-up failed");
        return;
    }
    const int ticks = int(state.range(0));
    b.unit.Core().flashCounter = 17;
    b.unit.FrameInput(1, {});
    b.unit.RootPanel->Draw(&b.frame, 0, 0);
    int64_t n = 0;
    for (auto _ : state) {
        // Through the fade's strengths, over and over.
        if (ticks) b.unit.Core().flashCounter = 17 + int32_t(++n % 30);
        b.unit.FrameInput(ticks, {});
        b.unit.RootPanel->Update(&b.frame);
        benchmark::DoNotOptimize(b.frame.Bits());
    }
}
BENCHMARK(BM_FlashFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void BM_MemcpyOfFrame(benchmark::State& state) {
    std::vector<uint8_t> a(size_t(1280) * 720 * 4, 1), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
    }
}
BENCHMARK(BM_MemcpyOfFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
