// The main window's frame cost on the in-memory display: a full redraw of a screen-sized widget
// picture with the cursor and the frame-rate box, converted and presented, beside the peer that
// bounds it, copying the 1280x720 32-bit frame with memcpy. The frame budget is 33 ms at 30
// frames a second; the full render must stay under a tenth of it.
#include <benchmark/benchmark.h>

#include "bench/frame_fixture.h"
#include "game/maint.h"

namespace {

// A screen-sized widget picture on the root panel under the menu-mode cursor.
struct Window : FrameWindow {
    Window() {
        picture.SetBitDepth(bd32);
        picture.SetPixFormat(pf32_888);
        picture.Resize(1280, 720);
        picture.Create();
        for (int y = 0; y < 720; ++y)
            picture.BoxFill(0, y, 1279, y, picture.TNyRGBtoPixel(ZRRGB(y & 0xFF, 0x40, 0x80)));
        panel.SetImage(&picture);
        panel.SetSizeX(1280);
        panel.SetSizeY(720);
        panel.SetParent(form->RootPanel);
        panel.SetCreated(true);
        panel.SetVisible(true);
        ShowFps = true;
        form->MouseX.store(640);
        form->MouseY.store(360);
        form->BeginMenuMode();
    }
    ~Window() { panel.SetParent(nullptr); }
    TNyRGBBits picture;
    TNyRGBPanel panel{nullptr};
};

void BM_FullRedrawAndPresent(benchmark::State& state) {
    Window w;
    for (auto _ : state) {
        w.form->RenderFull();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 1280 * 720 * 4);
}
BENCHMARK(BM_FullRedrawAndPresent)->Unit(benchmark::kMillisecond);

// The unchanged screen at 30 frames a second under a resting cursor: with the frame-rate
// box (argument 1) only the box is drawn and presented; without it (0) nothing changed, and
// the render must find that out without comparing anything.
void BM_UnchangedFrame(benchmark::State& state) {
    Window w;
    ShowFps = state.range(0) != 0;
    w.form->RenderFull();
    for (auto _ : state) {
        w.form->RenderModified(1);
        benchmark::ClobberMemory();
    }
    ShowFps = true;
}
BENCHMARK(BM_UnchangedFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_PeerMemcpyFrame)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
