// One second of a 1280x720 movie played through the main window's movie render on the
// in-memory display, as the movie scene will: 30 frame ticks, each drawing the due picture
// straight into the display's draw surface and presenting it, and the same at the full frame
// rate. Reported as CPU seconds per second of movie beside the plain decode of that second
// (goal: at most 2 times); a stopped movie should take none. The benchmark fails when the
// playing movie shows no picture: timing a render that draws nothing would flatter it.
//
// Three peers: libavcodec's loop decoding back to back; the same loop at a player's pace, one
// picture each 1/30 s (woken thirty times a second, the decode costs more CPU a picture than
// back to back, and the movie render, which decodes at that pace, pays the same); and the paced
// loop converting and copying each picture once, the floor of any render at that pace.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "bench/frame_fixture.h"
#include "bench/movie_fixture.h"
#include "devices/crisofdec.h"
#include "platform/moviedecode.h"

namespace {

struct Player {
    CriMovie movie;
    int pictures = 0;
    bool Draw(TNyRGBBits* bits, int yoff) {
        if (!movie.DrawTo(bits, 0, yoff)) return false;
        ++pictures;
        return true;
    }
};

void PlayOneSecond(benchmark::State& state, bool stopped, int steps = 30) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zrbench_movie";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "m.sfd", std::ios::binary)
        .write(reinterpret_cast<const char*>(Movie()->data()),
               static_cast<std::streamsize>(Movie()->size()));
    // The window starts the stream service at the current directory when it is made, and a
    // later start only counts; so the service starts here first, at the movie's directory,
    // and the window's start is the one that only counts.
    if (CriMwSystemCount() != 0 || !CriMwSystemInitAt(dir.string(), nullptr, bd32)) {
        state.SkipWithError("the stream service could not start at the movie's directory");
        return;
    }
    FrameWindow w;
    Player player;
    w.form->SetOnMovieDraw(ZRBaseCallback2<bool, TNyRGBBits*, int>(&player, &Player::Draw));
    double cpu = 0;
    int pictures = 0;
    for (auto _ : state) {
        if (!player.movie.Open(nullptr, true, "m.sfd") || !player.movie.WaitStart()) {
            state.SkipWithError("the movie did not open or start");
            break;
        }
        player.pictures = 0;
        if (stopped) {
            player.movie.Stop();
            // Let the decode thread finish the picture it was on.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const double c0 = CpuSeconds();
        auto next = std::chrono::steady_clock::now();
        for (int step = 0; step < steps; ++step) {
            w.form->RenderMovie();
            next += std::chrono::microseconds(1000000 / steps);
            std::this_thread::sleep_until(next);
        }
        cpu += CpuSeconds() - c0;
        player.movie.Close();
        if (stopped ? player.pictures != 0 : player.pictures == 0) {
            state.SkipWithError(stopped ? "a stopped movie still drew pictures"
                                        : "no picture of the movie arrived");
            break;
        }
        pictures += player.pictures;
    }
    state.counters["cpu_per_movie_s"] = cpu / static_cast<double>(state.iterations());
    state.counters["pictures_per_s"] =
        static_cast<double>(pictures) / static_cast<double>(state.iterations());
    w.form->SetOnMovieDraw(ZRBaseCallback2<bool, TNyRGBBits*, int>());
    CriMwSystemFinish();
    std::filesystem::remove_all(dir);
}

void BM_RenderMovieOneSecondCpu(benchmark::State& state) {
    PlayOneSecond(state, false);
}
BENCHMARK(BM_RenderMovieOneSecondCpu)->Iterations(3)->Unit(benchmark::kMillisecond);

// The same second at the full frame rate, where the frame step runs about every 3 ms and most
// steps have no new picture to show.
void BM_RenderMovieFullRateOneSecondCpu(benchmark::State& state) {
    PlayOneSecond(state, false, 300);
}
BENCHMARK(BM_RenderMovieFullRateOneSecondCpu)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_StoppedMovieOneSecondCpu(benchmark::State& state) {
    PlayOneSecond(state, true);
}
BENCHMARK(BM_StoppedMovieOneSecondCpu)->Iterations(2)->Unit(benchmark::kMillisecond);

// The peer: the CPU of the plain decode of one second (30 pictures) of the same movie.
void BM_PlainDecodeOneSecondCpu(benchmark::State& state) {
    double cpu = 0;
    for (auto _ : state) {
        const double c0 = CpuSeconds();
        PlainDecode(*Movie());
        cpu += (CpuSeconds() - c0) * 30 / kFrames;
    }
    state.counters["cpu_per_movie_s"] = cpu / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PlainDecodeOneSecondCpu)->Iterations(5)->Unit(benchmark::kMillisecond);

// A second of movie at a player's pace, one picture each 1/30 s; with `show`, each picture is
// also converted into 32-bit rows and those rows copied once, as onto a screen: the least any
// movie render that decodes, converts and presents can cost at this pace.
void PacedDecodeOneSecond(benchmark::State& state, bool show) {
    std::vector<uint8_t> rows(show ? size_t{kW} * kH * 4 : 0), screen(rows.size());
    Movie();
    double cpu = 0;
    for (auto _ : state) {
        const double c0 = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        int pictures = 0;
        PlainDecode(*Movie(), [&](const AVFrame* f) {
            if (show) {
                for (int y = 0; y < kH; ++y)
                    plat::YuvRowToBgr(
                        f->data[0] + f->linesize[0] * y, f->data[1] + f->linesize[1] * (y / 2),
                        f->data[2] + f->linesize[2] * (y / 2), 0, kW, &rows[size_t{kW} * 4 * y], 4);
                std::memcpy(screen.data(), rows.data(), rows.size());
                benchmark::DoNotOptimize(screen.data());
            }
            std::this_thread::sleep_until(start +
                                          std::chrono::microseconds(1000000 / 30) * ++pictures);
        });
        cpu += (CpuSeconds() - c0) * 30 / kFrames;
    }
    state.counters["cpu_per_movie_s"] = cpu / static_cast<double>(state.iterations());
}

// The second peer: the plain loop at a player's pace.
void BM_PlainDecodePacedOneSecondCpu(benchmark::State& state) {
    PacedDecodeOneSecond(state, false);
}
BENCHMARK(BM_PlainDecodePacedOneSecondCpu)->Iterations(3)->Unit(benchmark::kMillisecond);

// The third: the paced loop converting and copying each picture, the floor of the movie render.
void BM_PacedDecodeConvertCopyOneSecondCpu(benchmark::State& state) {
    PacedDecodeOneSecond(state, true);
}
BENCHMARK(BM_PacedDecodeConvertCopyOneSecondCpu)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
