// A full slot save (a long play's state and snapshot: page, backlog, string variables and
// choices full of GBK text, and a thumbnail) beside its peers in the same run: the range coder
// alone on the same 182,280-byte plain block, and fwrite + fsync / fread of that block. What
// the save code adds to the coder (building, checking and copying the states, the file
// handling) should stay under a tenth of the coder's time; twelve slots, a page of the save
// menu, should read in under two frames (66 ms).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/save_fixture.h"
#include "foundation/zrrangecoder.h"
#include "game/gamedata.h"

namespace {

// Beside the shared slots: room for the coder's output and one slot's file bytes.
struct Fixture : SaveFixture {
    Fixture() {
        coded.resize(4 * kSlotPlainSize);
        EncodeSlotSave(cur, snap, kThumbnailMaxSize, thumb.data(), file);
    }
    std::vector<uint8_t> coded;
    std::string file;
};

Fixture& F() {
    static Fixture f;
    return f;
}

void BM_SlotEncode(benchmark::State& state) {
    std::string out;
    for (auto _ : state) {
        out.clear();
        benchmark::DoNotOptimize(
            EncodeSlotSave(F().cur, F().snap, kThumbnailMaxSize, F().thumb.data(), out));
    }
    state.counters["coded_bytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_SlotEncode)->Unit(benchmark::kMillisecond);

void BM_PeerRangeEncode(benchmark::State& state) {
    for (auto _ : state) {
        ZRRangeEncode enc;
        enc.Create();
        benchmark::DoNotOptimize(enc.Encode(F().plain.data(), F().coded.data(),
                                            static_cast<int>(kSlotPlainSize),
                                            static_cast<int>(F().coded.size())));
    }
}
BENCHMARK(BM_PeerRangeEncode)->Unit(benchmark::kMillisecond);

void BM_SlotDecode(benchmark::State& state) {
    GameState a, b;
    uint32_t size = 0;
    std::vector<uint8_t> thumb(kThumbnailMaxSize);
    for (auto _ : state)
        benchmark::DoNotOptimize(DecodeSlotSave(reinterpret_cast<const uint8_t*>(F().file.data()),
                                                F().file.size(), &a, &b, size, thumb.data()));
}
BENCHMARK(BM_SlotDecode)->Unit(benchmark::kMillisecond);

void BM_PeerRangeDecode(benchmark::State& state) {
    std::vector<uint8_t> in(F().file.begin() + 8, F().file.end()), out(kSlotPlainSize);
    in.resize(in.size() + 4, 0);
    for (auto _ : state) {
        ZRRangeDecode dec;
        dec.Create();
        benchmark::DoNotOptimize(dec.Decode(in.data(), out.data(), static_cast<int>(in.size()),
                                            static_cast<int>(kSlotPlainSize)));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kSlotPlainSize);
}
BENCHMARK(BM_PeerRangeDecode)->Unit(benchmark::kMillisecond);

// Slots' blocks decoded side by side, as a page of the save menu reads them: beside as many
// runs of BM_PeerRangeDecode.
void BM_RangeDecodeSideBySide(benchmark::State& state) {
    const int n = ZRRangeDecode::kSideBySide;
    std::vector<uint8_t> in(F().file.begin() + 8, F().file.end());
    in.resize(in.size() + 4, 0);
    std::vector<std::vector<uint8_t>> out(n, std::vector<uint8_t>(kSlotPlainSize));
    for (auto _ : state) {
        ZRRangeDecode dec[ZRRangeDecode::kSideBySide];
        ZRRangeDecode* decoders[ZRRangeDecode::kSideBySide];
        ZRRangeDecode::Job jobs[ZRRangeDecode::kSideBySide];
        for (int i = 0; i < n; ++i) {
            dec[i].Create();
            decoders[i] = &dec[i];
            jobs[i] = {in.data(), out[i].data(), static_cast<int>(in.size()),
                       static_cast<int>(kSlotPlainSize), false};
        }
        ZRRangeDecode::DecodeSideBySide(decoders, jobs, n);
        benchmark::DoNotOptimize(jobs[0].ok);
    }
    state.counters["streams"] = n;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * n * kSlotPlainSize);
}
BENCHMARK(BM_RangeDecodeSideBySide)->Unit(benchmark::kMillisecond);

// The whole save, file included: encoding, temporary file, fsync, rename, directory fsync.
void BM_SaveGameData(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(
            SaveGameData(20, F().cur, F().snap, kThumbnailMaxSize, F().thumb.data()));
}
BENCHMARK(BM_SaveGameData)->Unit(benchmark::kMillisecond);

void BM_PeerFwriteFsync(benchmark::State& state) {
    const std::string path = F().dir + "/peer.bin";
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(F().plain.data(), 1, F().plain.size(), f);
        std::fflush(f);
        fsync(fileno(f));
        std::fclose(f);
    }
}
BENCHMARK(BM_PeerFwriteFsync)->Unit(benchmark::kMillisecond);

void BM_LoadGameSlotData(benchmark::State& state) {
    GameState a, b;
    uint32_t size = 0;
    std::vector<uint8_t> thumb(kThumbnailMaxSize);
    for (auto _ : state) benchmark::DoNotOptimize(LoadGameSlotData(1, &a, &b, size, thumb.data()));
}
BENCHMARK(BM_LoadGameSlotData)->Unit(benchmark::kMillisecond);

void BM_PeerFread(benchmark::State& state) {
    const std::string path = F().dir + "/peer.bin";
    FILE* w = std::fopen(path.c_str(), "wb");
    std::fwrite(F().plain.data(), 1, F().plain.size(), w);
    std::fclose(w);
    std::vector<uint8_t> buf(kSlotPlainSize);
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "rb");
        benchmark::DoNotOptimize(std::fread(buf.data(), 1, buf.size(), f));
        std::fclose(f);
    }
}
BENCHMARK(BM_PeerFread)->Unit(benchmark::kMillisecond);

// A page of the save menu: twelve full slots with their thumbnails.
void BM_TwelveSlots(benchmark::State& state) {
    uint32_t size = 0;
    std::vector<uint8_t> thumb(kThumbnailMaxSize);
    for (auto _ : state)
        for (int slot = 1; slot <= 12; ++slot)
            benchmark::DoNotOptimize(LoadGameSlotData(slot, nullptr, nullptr, size, thumb.data()));
}
BENCHMARK(BM_TwelveSlots)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
