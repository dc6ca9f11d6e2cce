// A 1280x720 movie played through the movie scene (opened, started and drawn into its panel
// every frame until it ends) beside libavcodec's own decode loop over the same file, both by
// the process's CPU time. Goal: within 1.3 times.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "bench/movie_fixture.h"
#include "devices/crisofdec.h"
#include "scenes/movieu.h"

namespace {

namespace fs = std::filesystem;

void BM_PlainDecode720p(benchmark::State& state) {
    Movie();  // made before the first timing
    for (auto _ : state) {
        const double c0 = CpuSeconds();
        PlainDecode(*Movie());
        state.SetIterationTime(CpuSeconds() - c0);
    }
}
BENCHMARK(BM_PlainDecode720p)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_MovieUnit720p(benchmark::State& state) {
    const fs::path dir = fs::temp_directory_path() / ("zrbench_movie_" + std::to_string(getpid()));
    fs::create_directories(dir / "Movie");
    std::ofstream(dir / "Movie" / "Bench.sfd", std::ios::binary)
        .write(reinterpret_cast<const char*>(Movie()->data()),
               static_cast<std::streamsize>(Movie()->size()));
    CriMwSystemInitAt(dir.string(), nullptr, bd32);
    for (auto _ : state) {
        TMovieUnit unit;
        unit.Setup(nullptr, true, 0);
        int ended = 0;
        unit.PostResult = [&](int32_t) { ++ended; };
        const double c0 = CpuSeconds();
        unit.Open("Bench.sfd");
        unit.Start();
        while (!ended) {
            unit.Frame(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(4));
        }
        unit.Close();
        state.SetIterationTime(CpuSeconds() - c0);
        unit.Release();
    }
    CriMwSystemFinish();
    std::error_code ec;
    fs::remove_all(dir, ec);
}
BENCHMARK(BM_MovieUnit720p)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
