// A 1280x720 movie played through the movie scene in its panel, and shown as the game's
// window mode shows a screen: every frame the widget tree is painted into the conversion
// bitmap where it changed and the changed rectangles are copied to the display's draw
// surface. Beside it libavcodec's own decode loop over the same file, both by the process's
// CPU time.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "bench/movie_fixture.h"
#include "devices/crisofdec.h"
#include "foundation/zrrect.h"
#include "scenes/movieu.h"
#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbpanel.h"

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
    auto screen = [](TNyRGBBits& b) {
        b.SetBitDepth(bd32);
        b.SetPixFormat(pf32_888);
        b.SetWidth(1280);
        b.SetHeight(720);
        b.Create();
    };
    TNyRGBBits work(nullptr), surface(nullptr);
    screen(work);
    screen(surface);
    uint64_t painted = 0;
    for (auto _ : state) {
        TNyRGBPanel root(nullptr);
        root.SetAutoSize(false);
        root.SetSizeX(1280);
        root.SetSizeY(720);
        root.Create();
        TMovieUnit unit;
        unit.Setup(nullptr, true, 0);
        unit.RootPanel->SetParent(&root);
        int ended = 0;
        unit.PostResult = [&](int32_t) { ++ended; };
        const double c0 = CpuSeconds();
        unit.Open("Bench.sfd");
        unit.Start();
        while (!ended) {
            unit.Frame(1);
            ZRRectSet changed;
            root.GetModifiedRectSet(&changed);
            if (!changed.IsRectEmpty()) {
                root.Update(&work, 0, 0);
                for (const ZRRect& r : changed)
                    surface.ConvertCopy(r.left, r.top, &work, r.left, r.top, r.right - r.left,
                                        r.bottom - r.top);
                ++painted;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(4));
        }
        unit.Close();
        state.SetIterationTime(CpuSeconds() - c0);
        unit.Release();
    }
    if (painted == 0) state.SkipWithError("no picture reached the screen");
    state.counters["paints"] =
        static_cast<double>(painted) / static_cast<double>(state.iterations());
    CriMwSystemFinish();
    std::error_code ec;
    fs::remove_all(dir, ec);
}
BENCHMARK(BM_MovieUnit720p)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
