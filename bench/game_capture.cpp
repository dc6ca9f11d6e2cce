// Capturing the screen and taking screenshots, beside their peers: CaptureScreen against a
// memcpy of the 32-bit frame (goal: at most 1.5 times its time), the copy a screenshot makes
// while it holds the draw lock (goal: under 2 ms), and the screenshot's PNG encoding against
// libpng's simplified writer.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstring>
#include <vector>

#include "bench/frame_fixture.h"
#include "media/zrpng.h"

namespace {

struct Window : FrameWindow {
    Window() { form->BeginMenuMode(); }
};

TNyRGBBits* Frame(ZRBitDepth depth) {
    auto* b = new TNyRGBBits(nullptr);
    b->SetBitDepth(depth);
    b->SetPixFormat(depth == bd32 ? pf32_888 : pf24_888);
    b->Resize(1280, 720);
    b->Create();
    for (int y = 0; y < 720; ++y) b->BoxFill(0, y, 1279, y, uint32_t(y * 0x010203) & 0xFFFFFF);
    return b;
}

void BM_CaptureScreen(benchmark::State& state) {
    Window w;
    TNyRGBBits* dest = Frame(WorkBitDepth);
    for (auto _ : state) {
        w.form->CaptureScreen(dest);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 1280 * 720 * 4);
    delete dest;
}
BENCHMARK(BM_CaptureScreen)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_PeerMemcpyFrame)->Unit(benchmark::kMicrosecond);

// What a screenshot does while it holds the draw lock: lock the render target and convert the
// frame into the 24-bit picture.
void BM_ScreenshotUnderDrawLock(benchmark::State& state) {
    Window w;
    TNyRGBBits* shot = Frame(bd24);
    TNyRGBBits* source = w.form->ConvertBits;
    for (auto _ : state) {
        w.form->DrawLock->Enter();
        source->Lock();
        shot->ConvertCopy(0, 0, source, 0, 0, 1280, 720);
        source->Unlock();
        w.form->DrawLock->Leave();
        benchmark::ClobberMemory();
    }
    delete shot;
}
BENCHMARK(BM_ScreenshotUnderDrawLock)->Unit(benchmark::kMicrosecond);

std::vector<unsigned char> Rows() {
    TNyRGBBits* f = Frame(bd24);
    std::vector<unsigned char> rows(size_t(1280) * 720 * 3);
    for (int y = 0; y < 720; ++y)
        std::memcpy(&rows[size_t(y) * 3840], f->Bits() + int64_t(y) * f->Pitch(), 3840);
    delete f;
    return rows;
}

void BM_SavePngScreenshot(benchmark::State& state) {
    const std::vector<unsigned char> rows = Rows();
    for (auto _ : state) {
        ZRMemoryStream out;
        SavePng(&out, rows.data(), 1280, 720, pf24_888);
        benchmark::DoNotOptimize(out.GetMemory());
    }
}
BENCHMARK(BM_SavePngScreenshot)->Unit(benchmark::kMillisecond);

void BM_PeerLibpngSimplifiedWriter(benchmark::State& state) {
    const std::vector<unsigned char> rows = Rows();
    std::vector<unsigned char> buffer(size_t(8) << 20);
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        image.width = 1280;
        image.height = 720;
        image.format = PNG_FORMAT_BGR;
        png_alloc_size_t size = buffer.size();
        png_image_write_to_memory(&image, buffer.data(), &size, 0, rows.data(), 3840, nullptr);
        benchmark::DoNotOptimize(size);
    }
}
BENCHMARK(BM_PeerLibpngSimplifiedWriter)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
