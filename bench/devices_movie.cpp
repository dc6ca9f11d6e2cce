// Movies at 1280x720: decode plus conversion per picture beside libavcodec's own decode loop
// of the same file (goal: at most 1.3 times), and the draw's copy of a picture beside memcpy of
// one (goal: at most 1.5 times). The CPU of playing is measured in game_movie.cpp.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "bench/movie_fixture.h"
#include "platform/clock.h"
#include "platform/moviedecode.h"

namespace {

// The peer, timed by the process's CPU like the decoder below; the movie is made before the
// first timing.
void BM_PlainDecode720p(benchmark::State& state) {
    Movie();
    int pictures = 0;
    for (auto _ : state) {
        const double c0 = CpuSeconds();
        pictures += PlainDecode(*Movie());
        state.SetIterationTime(CpuSeconds() - c0);
    }
    state.SetItemsProcessed(pictures);
}
BENCHMARK(BM_PlainDecode720p)->Unit(benchmark::kMillisecond)->UseManualTime();

// The least any decode plus conversion can cost: the same loop converting each picture into
// 32-bit rows as it comes out, on one thread, with no queue between the two.
void BM_PlainDecodeThenConvert720p(benchmark::State& state) {
    Movie();
    std::vector<uint8_t> rows(size_t{kW} * kH * 4);
    int pictures = 0;
    const auto convert = [&](const AVFrame* f) {
        for (int y = 0; y < kH; ++y)
            plat::YuvRowToBgr(
                f->data[0] + f->linesize[0] * y, f->data[1] + f->linesize[1] * (y / 2),
                f->data[2] + f->linesize[2] * (y / 2), 0, kW, &rows[size_t{kW} * 4 * y], 4);
    };
    for (auto _ : state) {
        const double c0 = CpuSeconds();
        pictures += PlainDecode(*Movie(), convert);
        state.SetIterationTime(CpuSeconds() - c0);
    }
    state.SetItemsProcessed(pictures);
}
BENCHMARK(BM_PlainDecodeThenConvert720p)->Unit(benchmark::kMillisecond)->UseManualTime();

std::unique_ptr<plat::MovieDecoder> OpenFast() {
    plat::MovieOptions o;
    o.speed = 1000000;  // every picture due at once
    return plat::MovieDecoder::OpenMemory(Movie(), o, nullptr);
}

// Timed by the CPU of the whole process (decoding is on the decode thread, conversion in the
// draw), like the peer, which runs on one thread. The movie runs by a hand-moved clock that
// makes the next picture due as soon as the last one is drawn, so every picture is drawn whole
// into 32-bit rows and none is passed over.
void BM_DecodeAndConvert720p(benchmark::State& state) {
    std::vector<uint8_t> rows(size_t{kW} * kH * 4);
    plat::ManualTicks clock(1000);
    plat::SetTickSource(&clock);
    uint64_t pictures = 0;
    for (auto _ : state) {
        const double c0 = CpuSeconds();
        plat::MovieOptions o;
        auto m = plat::MovieDecoder::OpenMemory(Movie(), o, nullptr);
        if (!m || !m->WaitStarted(std::chrono::seconds(5))) {
            state.SkipWithError("the movie did not start");
            break;
        }
        const uint32_t start = clock.Ticks();
        uint64_t drawn = 0;
        while (!m->Ended()) {
            if (m->Draw(rows.data(), kW * 4, 32, 0, 0, kW, kH)) {
                ++drawn;
                clock.Set(start + static_cast<uint32_t>((drawn * 1000 + 29) / 30));
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        if (drawn != m->PicturesDecoded()) {
            state.SkipWithError("a picture was passed over");
            break;
        }
        pictures += drawn;
        m.reset();
        state.SetIterationTime(CpuSeconds() - c0);
    }
    plat::SetTickSource(nullptr);
    state.SetItemsProcessed(static_cast<int64_t>(pictures));
}
BENCHMARK(BM_DecodeAndConvert720p)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_DrawCopy720p(benchmark::State& state) {
    std::vector<uint8_t> rows(size_t{kW} * kH * 4);
    auto m = OpenFast();
    for (auto _ : state) {
        for (;;) {
            if (m->Ended()) m = OpenFast();
            const auto t0 = std::chrono::steady_clock::now();
            const bool drawn = m->Draw(rows.data(), kW * 4, 32, 0, 0, kW, kH);
            const auto t1 = std::chrono::steady_clock::now();
            if (drawn) {
                state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
                break;
            }
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kW * kH * 4);
}
BENCHMARK(BM_DrawCopy720p)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The conversion alone: a 4:2:0 picture's rows into 32-bit rows, beside the memcpy below.
void BM_ConvertPicture720p(benchmark::State& state) {
    std::vector<uint8_t> luma(size_t{kW} * kH), cb(luma.size() / 4), cr(luma.size() / 4);
    for (size_t i = 0; i < luma.size(); ++i) luma[i] = static_cast<uint8_t>(i * 7 + i / kW);
    for (size_t i = 0; i < cb.size(); ++i) {
        cb[i] = static_cast<uint8_t>(i * 3);
        cr[i] = static_cast<uint8_t>(i * 5 + 17);
    }
    std::vector<uint8_t> rows(size_t{kW} * kH * 4);
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y)
            plat::YuvRowToBgr(&luma[size_t{kW} * y], &cb[size_t{kW} / 2 * (y / 2)],
                              &cr[size_t{kW} / 2 * (y / 2)], 0, kW, &rows[size_t{kW} * 4 * y], 4);
        benchmark::DoNotOptimize(rows.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(rows.size()));
}
BENCHMARK(BM_ConvertPicture720p)->Unit(benchmark::kMicrosecond);

void BM_MemcpyOf720pPicture(benchmark::State& state) {
    std::vector<uint8_t> a(size_t{kW} * kH * 4, 1), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(a.size()));
}
BENCHMARK(BM_MemcpyOf720pPicture)->Unit(benchmark::kMicrosecond);

// The same copy from pictures that are not in the cache, as a freshly decoded one is not.
void BM_MemcpyOfColdPicture(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> pictures(8, std::vector<uint8_t>(size_t{kW} * kH * 4, 1));
    std::vector<uint8_t> b(pictures[0].size());
    size_t i = 0;
    for (auto _ : state) {
        std::memcpy(b.data(), pictures[i++ % pictures.size()].data(), b.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(b.size()));
}
BENCHMARK(BM_MemcpyOfColdPicture)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
