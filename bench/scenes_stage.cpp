// The stage's frame costs beside a memcpy of one 1280x720 32-bit frame in the same run:
// a full composition (background, three characters through their alpha planes, snow; then
// rain at level 4), the changed-rectangle refresh after a blink, and the per-frame work of an
// idle stage (three blinking characters, then with snow) beside an empty stage's frame.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/zrmemman.h"
#include "foundation/zrstream.h"
#include "game/gamedef.h"
#include "game/gameeffect.h"
#include "game/gamef.h"
#include "media/zrpng.h"
#include "scenes/stageu.h"

namespace fs = std::filesystem;

namespace {

void Png(const fs::path& p, int w, int h, uint32_t (*colour)(int, int),
         uint8_t (*alpha)(int, int)) {
    std::vector<unsigned char> bgr(size_t(w) * h * 3), a(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t c = colour(x, y);
            unsigned char* d = &bgr[(size_t(y) * w + x) * 3];
            d[0] = c & 0xFF, d[1] = (c >> 8) & 0xFF, d[2] = (c >> 16) & 0xFF;
            a[size_t(y) * w + x] = alpha(x, y);
        }
    ZRFileStream f(p.string().c_str(), zrfmCreate);
    SavePng(&f, bgr.data(), a.data(), w, h, pf24_888);
}

void Bmp(const fs::path& p, int w, int h, uint32_t rgb) {
    const int row = (w * 3 + 3) & ~3;
    std::string b(54 + row * h, '\0');
    auto put = [&b](int at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    b[0] = 'B', b[1] = 'M';
    put(2, uint32_t(b.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, w, 4);
    put(22, h, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) put(54 + y * row + x * 3, rgb, 3);
    std::ofstream(p, std::ios::binary) << b;
}

// A stage over scratch archives with three defined characters in slots 1, 3 and 5.
struct Rig {
    Rig() {
        WorkBitDepth = bd32;
        MemMan = new ZRMemMan();
        char tmpl[] = "/tmp/zrbench_stage_XXXXXX";
        root = mkdtemp(tmpl);
        fs::create_directories(root / "EvBG_Pak");
        fs::create_directories(root / "EvCG_Pak");
        fs::create_directories(root / "game");
        Png(
            root / "EvBG_Pak" / "bg010.png", 1280, 720,
            [](int x, int y) {
                return y < 400 ? 0x4080F0u + uint32_t(y / 4) : 0x306020u + uint32_t(x % 32);
            },
            [](int, int y) { return uint8_t(y < 400 ? 255 : 0); });
        Png(
            root / "EvBG_Pak" / "bg014.png", 1280, 720,
            [](int, int y) { return y < 400 ? 0x708090u : 0x404838u; },
            [](int, int y) { return uint8_t(y < 400 ? 255 : 0); });
        Png(
            root / "EvCG_Pak" / "chr001.png", 400, 640,
            [](int x, int y) { return 0xC03040u + uint32_t((x ^ y) & 0x1F); },
            [](int x, int y) {
                const double dx = (x - 160) / 150.0, dy = (y - 320) / 310.0;
                return uint8_t(x < 320 && dx * dx + dy * dy < 1 ? 255 : x >= 320 ? 255 : 0);
            });
        std::ofstream(root / "EvCG_Pak" / "chr001.ini")
            << "[BASE]\nWIDTH=320\nHEIGHT=640\n[IMG]\nID=0\nWIDTH=320\nHEIGHT=640\n[IMG]\nID=1\n"
               "POSX=320\nWIDTH=48\nHEIGHT=16\n[IMG]\nID=2\nPOSX=320\nPOSY=16\nWIDTH=48\nHEIGHT="
               "16\n"
               "[ANIM]\nID=0\nANIMATION=<1,1><2,4><1,2><END>\n[ENTRY]\nID=0\nIMG_ID=0\n[ENTRY]\n"
               "ID=1\nPOSX=112\nPOSY=116\nANIM_ID=0\n";
        Bmp(root / "game" / "Snow.bmp", 44, 14, 0x909090);
        if (chdir(root.c_str()) != 0) std::abort();
        archive.InitDir(ZRString((root / "game").c_str()));
        stage.Setup(&archive);
    }
    ~Rig() {
        stage.Release();
        archive.Finish();
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    void Scene(int chars, int weather, int rain = 4) {
        CharSlots s;
        for (int i = 0; i < chars; ++i) s.ShowId[1 + 2 * i] = 1;
        stage.SetCharSlots(s);
        stage.SetWeather(weather);
        stage.SetRainLevel(rain);
        stage.SetBackground(10);
        stage.StageTransition(0);
    }
    fs::path root;
    ZRFileMan archive;
    TStageUnit stage;
};

Rig& TheRig() {
    static Rig* r = new Rig();
    return *r;
}

void BM_MemcpyFrame(benchmark::State& state) {
    std::vector<unsigned char> a(1280 * 720 * 4, 1), b(1280 * 720 * 4);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyFrame);

// One full composition of the background tree into the stage picture.
void BM_FullFrame(benchmark::State& state) {
    Rig& r = TheRig();
    const int weather = int(state.range(0));
    r.Scene(3, weather);
    for (auto _ : state) {
        r.stage.WeatherTick(2, r.stage.BG[0], 0);
        r.stage.BGPanel()->SetModify();
        r.stage.RefreshStage();
    }
    state.SetLabel(weather == 3   ? "three characters, snow"
                   : weather == 2 ? "three characters, rain 4"
                                  : "three characters");
}
BENCHMARK(BM_FullFrame)->Arg(3)->Arg(2)->Arg(0);

// The changed-rectangle refresh after one blink frame of one character.
void BM_BlinkRefresh(benchmark::State& state) {
    Rig& r = TheRig();
    r.Scene(3, 0);
    CharRecord& c = r.stage.Chars[0][3];
    TNyRGBPanel* p = r.stage.CharPanel(0, 3);
    int64_t area = 0, n = 0;
    for (auto _ : state) {
        c.entry[1].frame ^= 1;
        p->SetModifyRect(ZRRect{112, 116, 160, 132});
        r.stage.RefreshStageChanged();
        area += r.stage.LastRefreshArea;
        ++n;
    }
    state.counters["pixels"] = n ? double(area) / double(n) : 0;
}
BENCHMARK(BM_BlinkRefresh);

// The stage's whole per-frame step while idle: at 30 frames a second, its share of a core is
// 30 times this time over one second.
void BM_IdleFrame(benchmark::State& state) {
    Rig& r = TheRig();
    const int chars = int(state.range(0)), weather = int(state.range(1));
    r.Scene(chars, weather, 4);
    // The scene's panel with the stage attached, updated into a screen where it changed, as
    // the window's render does.
    TNyRGBPanel scene(nullptr);
    scene.SetAutoSize(false);
    scene.SetSizeX(1280);
    scene.SetSizeY(720);
    scene.Create();
    r.stage.AttachStage(&scene);
    TNyRGBBits* screen = CreateScreenBits();
    scene.Draw(screen, 0, 0);
    for (auto _ : state) {
        r.stage.StageFrame(1, false);
        scene.Update(screen, 0, 0);
    }
    r.stage.DetachStage();
    MemMan->Delete(screen);
    state.SetLabel(chars ? (weather ? "three blinking, snow" : "three blinking")
                         : "empty stage (unchanged screen)");
}
BENCHMARK(BM_IdleFrame)->Args({0, 0})->Args({3, 0})->Args({3, 3});

}  // namespace

BENCHMARK_MAIN();
