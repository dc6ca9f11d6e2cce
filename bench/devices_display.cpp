// Presenting a 1280x720 32-bit frame through the display device: a whole frame, and a frame
// in which one 64x64 rectangle changed, beside memcpy of one frame (the limit of the copy
// the whole frame needs). The memory display measures the drawing thread's side (the copy
// into the display buffer plus the hand-off and the copy the presenter makes); the SDL
// display, on its dummy video driver, adds the texture upload and the render of the
// presenting main thread.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "devices/nyddraw.h"
#include "platform/memorydisplay.h"
#include "platform/sdldisplay.h"
#include "platform/windowcomponent.h"

namespace {

constexpr size_t kFrame = 1280 * 720 * 4;

void BM_MemcpyFrame(benchmark::State& state) {
    std::vector<uint8_t> a(kFrame, 1), b(kFrame);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), kFrame);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrame));
}
BENCHMARK(BM_MemcpyFrame);

struct Rig {
    Rig(bool sdl, plat::SdlPresenter::Path path, bool fullScreen) {
        if (sdl) {
            setenv("SDL_VIDEODRIVER", "dummy", 0);
            SDL_Init(SDL_INIT_VIDEO);
            plat::SdlDisplay::Instance().Start();
            plat::SdlDisplay::Instance().Presenter().SetPath(path);
            native = SDL_CreateWindow("bench", 0, 0, 1280, 720, 0);
            plat::SetDisplayBackend(nullptr);
        } else {
            plat::SetDisplayBackend(&memory);
        }
        window = std::make_unique<plat::WindowComponent>(nullptr, native);
        window->SetClientSize(1280, 720);
        device = new DirectX::TDDraw(window.get());
        device->SetScreenSize(ss1280x720);
        device->SetBitDepth(bd32);
        device->SetBackType(DirectX::btSystem);
        device->SetFullScreen(fullScreen);
        device->NoVSync = true;
        device->SetEnabled(true);
        device->DrawSurface()->BoxFill(0, 0, 1279, 719, 0x336699);
    }
    ~Rig() {
        window.reset();
        plat::SetDisplayBackend(nullptr);
        if (native) {
            plat::SdlDisplay::Instance().Presenter().Shutdown();
            SDL_DestroyWindow(native);
        }
    }
    plat::MemoryDisplay memory;
    SDL_Window* native = nullptr;
    std::unique_ptr<plat::WindowComponent> window;
    DirectX::TDDraw* device = nullptr;
};

using Path = plat::SdlPresenter::Path;

// Argument 1: full screen with its chain of three display buffers; 0: a window.
void PresentFull(benchmark::State& state, bool sdl, Path path = Path::Automatic) {
    Rig rig(sdl, path, state.range(0) != 0);
    if (!rig.device->Enabled()) {
        state.SkipWithError("display did not open");
        return;
    }
    for (auto _ : state) rig.device->Flip();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFrame));
}

void PresentRect(benchmark::State& state, bool sdl, Path path = Path::Automatic) {
    Rig rig(sdl, path, state.range(0) != 0);
    if (!rig.device->Enabled()) {
        state.SkipWithError("display did not open");
        return;
    }
    for (int i = 0; i < 3; ++i) rig.device->Flip();
    int n = 0;
    for (auto _ : state) {
        const int x = (n * 64) % 1216, y = (n * 37) % 656;
        ++n;
        rig.device->DrawSurface()->BoxFill(x, y, x + 63, y + 63, uint32_t(n) * 0x010203);
        ZRRectSet changed;
        changed.UnionRect(ZRRect{x, y, x + 64, y + 64});
        rig.device->FlipModifyRect(changed);
    }
}

void BM_PresentFullMemory(benchmark::State& s) {
    PresentFull(s, false);
}
void BM_PresentRect64Memory(benchmark::State& s) {
    PresentRect(s, false);
}
// SDL's dummy driver has only the software renderer, so the automatic choice is the window
// surface; the renderer path is measured beside it.
void BM_PresentFullSdl(benchmark::State& s) {
    PresentFull(s, true);
}
void BM_PresentRect64Sdl(benchmark::State& s) {
    PresentRect(s, true);
}
void BM_PresentFullSdlRenderer(benchmark::State& s) {
    PresentFull(s, true, Path::Renderer);
}
void BM_PresentRect64SdlRenderer(benchmark::State& s) {
    PresentRect(s, true, Path::Renderer);
}
BENCHMARK(BM_PresentFullMemory)->ArgName("fullscreen")->Arg(1)->Arg(0);
BENCHMARK(BM_PresentRect64Memory)->ArgName("fullscreen")->Arg(1)->Arg(0);
BENCHMARK(BM_PresentFullSdl)->ArgName("fullscreen")->Arg(1)->Arg(0);
BENCHMARK(BM_PresentRect64Sdl)->ArgName("fullscreen")->Arg(1)->Arg(0);
BENCHMARK(BM_PresentFullSdlRenderer)->ArgName("fullscreen")->Arg(1)->Arg(0);
BENCHMARK(BM_PresentRect64SdlRenderer)->ArgName("fullscreen")->Arg(1)->Arg(0);

}  // namespace

BENCHMARK_MAIN();
