// The save menu's costs beside zlib in the same run: the records of one page (twelve full
// slots read and turned into titles and thumbnails, what an open does before its first frame)
// beside zlib inflating the same twelve plain blocks; and one slot save (encode, write, fsync,
// rename) beside zlib -6 with the same write. Goal: a page's records within one 33 ms frame.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "flow/psavemenu.h"
#include "game/gamedata.h"
#include "platform/atomicfile.h"
#include "platform/hostfs.h"
#include "tests/game/savefixture.h"

namespace {

struct Fixture {
    Fixture() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/zrbench_XXXXXX";
        dir = mkdtemp(pattern.data());
        SetSaveDirectory((dir + "/").c_str());
        cur = savefixture::FullState(1);
        snap = savefixture::FullState(2);
        thumb = savefixture::Thumbnail();
        plain.assign(kSlotPlainSize, 0);
        cur.Encode(plain.data());
        snap.Encode(plain.data() + kGameStateSize);
        for (size_t i = 0; i < thumb.size(); ++i) plain[2 * kGameStateSize + 4 + i] = thumb[i];
        uLongf n = compressBound(plain.size());
        deflated.resize(n);
        compress2(deflated.data(), &n, plain.data(), plain.size(), 6);
        deflated.resize(n);
        for (int slot = 1; slot <= 12; ++slot)
            SaveGameData(slot, cur, snap, kThumbnailMaxSize, thumb.data());
    }
    ~Fixture() {
        std::string cmd = "rm -rf " + dir;
        if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", dir.c_str());
    }
    std::string dir;
    GameState cur, snap;
    std::vector<uint8_t> thumb, plain, deflated;
};

Fixture& F() {
    static Fixture f;
    return f;
}

void BM_MenuPageRecords(benchmark::State& state) {
    F();
    SlotRecord record;
    for (auto _ : state) {
        for (int slot = 1; slot <= 12; ++slot) {
            std::string bytes;
            plat::ReadWholeFile(plat::ToHost(SlotSavePath(slot).c_str()), bytes);
            benchmark::DoNotOptimize(ReadSlotRecord(
                reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), record));
        }
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

}  // namespace

BENCHMARK_MAIN();
