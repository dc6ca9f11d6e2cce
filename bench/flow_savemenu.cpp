// The save menu's costs beside zlib in the same run: the records of one page (twelve full
// slots read and turned into titles and thumbnails, what an open does before its first frame)
// beside zlib inflating the same twelve plain blocks; and one slot save (encode, write, fsync,
// rename) beside zlib -6 with the same write. Goal: a page's records within one 33 ms frame.
// Also the resident size after 100 set-ups and releases of the title's three menus beside the
// size after the first (goal: within 1 MB).
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/save_fixture.h"
#include "flow/pconfigmenu.h"
#include "flow/psavemenu.h"
#include "flow/ptitlemenu.h"
#include "foundation/zrfileman.h"
#include "foundation/zrmemman.h"
#include "foundation/zrstream.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "media/zrpng.h"
#include "platform/atomicfile.h"
#include "platform/hostfs.h"

namespace {

// Beside the shared slots: the plain block deflated by zlib -6, for the peers.
struct Fixture : SaveFixture {
    Fixture() {
        uLongf n = compressBound(plain.size());
        deflated.resize(n);
        compress2(deflated.data(), &n, plain.data(), plain.size(), 6);
        deflated.resize(n);
    }
    std::vector<uint8_t> deflated;
};

Fixture& F() {
    static Fixture f;
    return f;
}

// As the menu reads a page: the twelve files, then their records two decoded side by side.
void BM_MenuPageRecords(benchmark::State& state) {
    F();
    std::vector<SlotRecord> records(12);
    bool read[12];
    for (auto _ : state) {
        std::string files[12];
        for (int slot = 1; slot <= 12; ++slot)
            plat::ReadWholeFile(plat::ToHost(SlotSavePath(slot).c_str()), files[slot - 1]);
        ReadSlotRecords(files, 12, records.data(), read);
        for (bool r : read)
            if (!r) state.SkipWithError("a slot did not read");
    }
}
BENCHMARK(BM_MenuPageRecords)->Unit(benchmark::kMillisecond);

void BM_PeerZlibInflateTwelve(benchmark::State& state) {
    std::vector<uint8_t> out(kSlotPlainSize);
    for (auto _ : state) {
        for (int slot = 1; slot <= 12; ++slot) {
            uLongf n = out.size();
            benchmark::DoNotOptimize(
                uncompress(out.data(), &n, F().deflated.data(), F().deflated.size()));
        }
    }
}
BENCHMARK(BM_PeerZlibInflateTwelve)->Unit(benchmark::kMillisecond);

void BM_SlotSave(benchmark::State& state) {
    F();
    CurrentState = F().cur;
    SceneSnapshot = F().snap;
    for (auto _ : state)
        benchmark::DoNotOptimize(SaveGameSlotThumb(20, F().thumb.data(), kThumbnailMaxSize));
}
BENCHMARK(BM_SlotSave)->Unit(benchmark::kMillisecond);

void BM_PeerZlib6WriteFsyncRename(benchmark::State& state) {
    const std::string tmp = F().dir + "/peer.tmp", path = F().dir + "/peer.bin";
    std::vector<uint8_t> out(compressBound(kSlotPlainSize));
    for (auto _ : state) {
        uLongf n = out.size();
        compress2(out.data(), &n, F().plain.data(), F().plain.size(), 6);
        FILE* f = std::fopen(tmp.c_str(), "wb");
        std::fwrite(out.data(), 1, n, f);
        std::fflush(f);
        fsync(fileno(f));
        std::fclose(f);
        std::rename(tmp.c_str(), path.c_str());
    }
}
BENCHMARK(BM_PeerZlib6WriteFsyncRename)->Unit(benchmark::kMillisecond);

long ResidentKb() {
    long pages = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void WritePng(const std::string& path, int w, int h) {
    std::vector<unsigned char> colour(size_t(w) * h * 3, 0x60);
    ZRFileStream out(path.c_str(), zrfmCreate);
    SavePng(&out, colour.data(), w, h, pf24_888);
}

// One cycle: the three menus the title makes for each visit, set up and released.
void MenuCycle(ZRFileMan* files) {
    auto* title = new TTitleMenu();
    auto* config = new TConfigMenu();
    auto* save = new TSaveMenu();
    const bool t = title->Setup(files), c = config->Setup(files), s = save->Setup(files);
    if (!t || !c || !s)
        std::fprintf(stderr, "set-up failed: title %d config %d save %d\n", t, c, s);
    save->Open(1);
    save->Close();
    title->Release(), config->Release(), save->Release();
    delete title, delete config, delete save;
}

void BM_TitleMenusHundredCycles(benchmark::State& state) {
    if (!MemMan) MemMan = new ZRMemMan();
    WorkBitDepth = bd32;
    const std::string data = F().dir + "/data";
    mkdir(data.c_str(), 0755);
    const struct {
        const char* name;
        int w, h;
    } pics[] = {{"TitleBack.png", 1280, 720}, {"TitleStart.png", 300, 96},
                {"CfgBack.png", 1280, 720},   {"CfgBar.png", 18, 76},
                {"SaveBG_L.png", 1280, 720},  {"CmTNLight.png", 189, 690}};
    for (const auto& p : pics) WritePng(data + "/" + p.name, p.w, p.h);
    ZRFileMan files;
    files.InitDir(ZRString(data.c_str()));
    long first = 0, last = 0;
    for (auto _ : state) {
        MenuCycle(&files);
        first = ResidentKb();
        for (int i = 1; i < 100; ++i) MenuCycle(&files);
        last = ResidentKb();
    }
    state.counters["rss_first_kb"] = double(first);
    state.counters["rss_after_100_kb"] = double(last);
}
BENCHMARK(BM_TitleMenusHundredCycles)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
