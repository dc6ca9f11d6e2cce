// Presents through SDL into a real window (run under a virtual X server) and reads back
// what the window shows; and the game's own window under a window manager.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "devices/nyddraw.h"
#include "game/form_harness.h"
#include "platform/sdldisplay.h"
#include "platform/windowcomponent.h"

namespace {

class WindowDisplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_TRUE(plat::SdlDisplay::Instance().Start());
        native = SDL_CreateWindow("display test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                  1280, 720, 0);
        ASSERT_NE(native, nullptr) << SDL_GetError();
        window = std::make_unique<plat::WindowComponent>(nullptr, native);
        device = new DirectX::TDDraw(window.get());
        device->SetScreenSize(ss1280x720);
        device->SetBitDepth(bd32);
        device->SetBackType(DirectX::btSystem);
    }
    void TearDown() override {
        window.reset();
        plat::SdlDisplay::Instance().Presenter().Shutdown();
        if (native) SDL_DestroyWindow(native);
        SDL_Quit();
    }

    bool Read(std::vector<uint32_t>& px, int32_t& w, int32_t& h) {
        SDL_PumpEvents();
        return device->Connection()->ReadScreen(px, w, h);
    }

    SDL_Window* native = nullptr;
    std::unique_ptr<plat::WindowComponent> window;
    DirectX::TDDraw* device = nullptr;
};

TEST_F(WindowDisplayTest, AWindowShowsTheFrameExactly) {
    device->SetFullScreen(false);
    device->SetEnabled(true);
    ASSERT_TRUE(device->Enabled());
    EXPECT_EQ(device->DesktopBitDepth(), bd32);
    DirectX::TDSurface* s = device->DrawSurface();
    for (int i = 0; i < 16; ++i)
        s->BoxFill(i * 80, 0, i * 80 + 79, 719, uint32_t(i * 0x0F0F0F) ^ 0x40);
    s->BoxFill(300, 300, 363, 363, 0xFF8000);
    device->Flip();
    std::vector<uint32_t> px;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(Read(px, w, h));
    ASSERT_EQ(w, 1280);
    ASSERT_EQ(h, 720);
    for (int y = 0; y < 720; y += 7)
        for (int x = 0; x < 1280; x += 5)
            ASSERT_EQ(px[size_t(y) * 1280 + size_t(x)] & 0xFFFFFF, s->PGet(x, y) & 0xFFFFFF)
                << x << "," << y;
    // A small change reaches the window.
    s->BoxFill(10, 10, 73, 73, 0x00FF00);
    ZRRectSet one;
    one.UnionRect(ZRRect{10, 10, 74, 74});
    device->FlipModifyRect(one);
    ASSERT_TRUE(Read(px, w, h));
    EXPECT_EQ(px[20 * 1280 + 20] & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(px[320 * 1280 + 320] & 0xFFFFFF, 0xFF8000u);
}

TEST_F(WindowDisplayTest, FullScreenShowsTheFrameScaledIntoTheDesktop) {
    device->SetFullScreen(true);
    device->SetEnabled(true);
    ASSERT_TRUE(device->Enabled());
    EXPECT_EQ(device->BufferCount(), 3);
    device->DrawSurface()->BoxFill(0, 0, 1279, 719, 0x3366CC);
    for (int i = 0; i < 3; ++i) device->Flip();
    // The X server resizes the window in its own time.
    std::vector<uint32_t> px;
    int32_t w = 0, h = 0;
    auto centre = [&] { return px[size_t(h / 2) * size_t(w) + size_t(w / 2)] & 0xFFFFFF; };
    for (int tries = 0; tries < 100; ++tries) {
        ASSERT_TRUE(Read(px, w, h));
        ASSERT_GT(w, 0);
        if (centre() == 0x3366CCu) break;
        SDL_Delay(10);
    }
    EXPECT_EQ(centre(), 0x3366CCu);
    device->SetEnabled(false);
    // Back to a window of the screen's size.
    device->SetFullScreen(false);
    device->SetEnabled(true);
    ASSERT_TRUE(device->Enabled());
    ASSERT_TRUE(Read(px, w, h));
    EXPECT_EQ(w, 1280);
}

// Columns of flat colours and a block: away from their edges a scaled picture shows the same
// colours whatever the filter.
void DrawPattern(DirectX::TDSurface* s) {
    for (int i = 0; i < 16; ++i)
        s->BoxFill(i * 80, 0, i * 80 + 79, 719, uint32_t(i * 0x0F0F0F) ^ 0x40);
    s->BoxFill(320, 320, 383, 383, 0xFF8000);
}

// The window's read-back compared with the frame: every sampled pixel at the window's own
// size, and the pixels well inside flat areas when scaled into a letterboxed viewport.
void ExpectShows(const std::vector<uint32_t>& px, int32_t w, int32_t h, DirectX::TDSurface* s,
                 const char* what) {
    int64_t vw = w, vh = int64_t(720) * w / 1280;
    if (vh > h) vh = h, vw = int64_t(1280) * h / 720;
    const int64_t vx = (w - vw) / 2, vy = (h - vh) / 2;
    auto flat = [&](int x, int y) {
        const uint32_t c = s->PGet(x, y) & 0xFFFFFF;
        for (int dy = -3; dy <= 3; ++dy)
            for (int dx = -3; dx <= 3; ++dx) {
                const int xx = std::clamp(x + dx, 0, 1279), yy = std::clamp(y + dy, 0, 719);
                if ((s->PGet(xx, yy) & 0xFFFFFF) != c) return false;
            }
        return true;
    };
    int compared = 0;
    for (int64_t y = vy; y < vy + vh; y += 7)
        for (int64_t x = vx; x < vx + vw; x += 5) {
            const int lx = int((x - vx) * 1280 / vw), ly = int((y - vy) * 720 / vh);
            if (vw != 1280 && !flat(lx, ly)) continue;
            ++compared;
            ASSERT_EQ(px[size_t(y) * size_t(w) + size_t(x)] & 0xFFFFFF, s->PGet(lx, ly) & 0xFFFFFF)
                << what << " at " << x << "," << y;
        }
    EXPECT_GT(compared, 1000) << what;
    if (vx > 0) {
        EXPECT_EQ(px[size_t(h / 2) * size_t(w)] & 0xFFFFFF, 0u) << what << ": bar";
    }
}

// The renderer and the window surface show the same picture, at the window's size and in a
// window the user made larger, after a whole present and after a small change.
TEST_F(WindowDisplayTest, RendererAndWindowSurfaceShowTheSamePicture) {
    using Path = plat::SdlPresenter::Path;
    plat::SdlPresenter& presenter = plat::SdlDisplay::Instance().Presenter();
    for (Path path : {Path::Renderer, Path::Surface, Path::Automatic}) {
        for (int32_t wantW : {1280, 1920}) {
            const std::string what = std::string(path == Path::Renderer  ? "renderer"
                                                 : path == Path::Surface ? "surface"
                                                                         : "automatic") +
                                     " at width " + std::to_string(wantW);
            device->SetEnabled(false);
            presenter.Shutdown();
            presenter.SetPath(path);
            device->SetFullScreen(false);
            device->SetEnabled(true);
            ASSERT_TRUE(device->Enabled()) << what;
            // A virtual X server has no graphics processor: the automatic choice is the surface.
            EXPECT_EQ(presenter.PresentsThroughSurface(), path != Path::Renderer) << what;
            SDL_SetWindowSize(native, wantW, wantW * 9 / 16);
            DirectX::TDSurface* s = device->DrawSurface();
            DrawPattern(s);
            std::vector<uint32_t> px;
            int32_t w = 0, h = 0;
            // The X server resizes the window in its own time; the resize reaches the presenter
            // as the window host would hand it on.
            for (int tries = 0; tries < 100; ++tries) {
                SDL_Event e;
                while (SDL_PollEvent(&e)) presenter.HandleEvent(e);
                device->Flip();
                ASSERT_TRUE(Read(px, w, h)) << what;
                if (w == wantW && (px[size_t(h / 2) * size_t(w) + size_t(w * 600 / 1280)] &
                                   0xFFFFFF) == (s->PGet(600, 360) & 0xFFFFFF))
                    break;
                SDL_Delay(10);
            }
            ASSERT_EQ(w, wantW) << what;
            ExpectShows(px, w, h, s, what.c_str());
            // One small change, presented alone.
            s->BoxFill(640, 64, 703, 127, 0x00FF00);
            ZRRectSet one;
            one.UnionRect(ZRRect{640, 64, 704, 128});
            device->FlipModifyRect(one);
            ASSERT_TRUE(Read(px, w, h)) << what;
            ExpectShows(px, w, h, s, (what + " after a change").c_str());
        }
    }
    device->SetEnabled(false);
    presenter.Shutdown();
    presenter.SetPath(Path::Automatic);
}

// Through the window surface at the picture's own size the presents are written straight into
// the window: after whole and changed-rectangle frames every pixel is the frame's. A window
// made larger shows the whole picture scaled once the display presents again, even a still
// one, and at its own size again every pixel once more.
TEST_F(WindowDisplayTest, TheWindowSurfaceShowsEveryPixelAtThePicturesSize) {
    using Path = plat::SdlPresenter::Path;
    plat::SdlPresenter& presenter = plat::SdlDisplay::Instance().Presenter();
    presenter.Shutdown();
    presenter.SetPath(Path::Surface);
    device->SetFullScreen(false);
    device->SetEnabled(true);
    ASSERT_TRUE(device->Enabled());
    DirectX::TDSurface* s = device->DrawSurface();
    std::vector<uint32_t> px;
    int32_t w = 0, h = 0;
    auto exact = [&](const char* what) {
        ASSERT_TRUE(Read(px, w, h)) << what;
        ASSERT_EQ(w, 1280) << what;
        ASSERT_EQ(h, 720) << what;
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 1280; ++x)
                ASSERT_EQ(px[size_t(y) * 1280 + size_t(x)] & 0xFFFFFF, s->PGet(x, y) & 0xFFFFFF)
                    << what << " at " << x << "," << y;
    };
    auto resize = [&](int32_t wantW) {
        SDL_SetWindowSize(native, wantW, wantW * 9 / 16);
        for (int tries = 0; tries < 100; ++tries) {
            SDL_Event e;
            while (SDL_PollEvent(&e)) presenter.HandleEvent(e);
            int cw = 0, ch = 0;
            SDL_GetWindowSize(native, &cw, &ch);
            if (cw == wantW) {
                // The resize has reached the presenter once a read shows the new size.
                ASSERT_TRUE(Read(px, w, h));
                if (w == wantW) return;
            }
            SDL_Delay(10);
        }
        FAIL() << "the window never became " << wantW << " wide";
    };
    DrawPattern(s);
    device->Flip();
    exact("whole frame");
    std::mt19937 rng(4);
    for (int frame = 0; frame < 6; ++frame) {
        ZRRectSet changed;
        for (int i = 0; i < 3; ++i) {
            const int x = int(rng() % 1200), y = int(rng() % 680);
            const int bw = 1 + int(rng() % 300), bh = 1 + int(rng() % 200);
            s->BoxFill(x, y, x + bw - 1, y + bh - 1, rng() & 0xFFFFFF);
            changed.UnionRect(ZRRect{x, y, std::min(x + bw, 1280), std::min(y + bh, 720)});
        }
        device->FlipModifyRect(changed);
    }
    exact("changed rectangles");
    // Drawn but not yet presented when the window grows.
    DrawPattern(s);
    s->BoxFill(640, 360, 1279, 719, 0x8040C0);
    resize(1920);
    device->FlipModifyRect(ZRRectSet{});
    ASSERT_TRUE(Read(px, w, h));
    ExpectShows(px, w, h, s, "larger window");
    resize(1280);
    exact("own size again");
    s->BoxFill(100, 100, 163, 163, 0x00FF00);
    ZRRectSet one;
    one.UnionRect(ZRRect{100, 100, 164, 164});
    device->FlipModifyRect(one);
    exact("a change at its own size again");
    device->SetEnabled(false);
    presenter.Shutdown();
    presenter.SetPath(Path::Automatic);
}

// The game in its own window over the SDL display, under a window manager.
class GameWindowTest : public FormHarness {
  protected:
    void SetUp() override {
        FormHarness::SetUp();
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        plat::SetDisplayBackend(nullptr);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_TRUE(plat::SdlDisplay::Instance().Start());
    }
    void TearDown() override {
        FormHarness::TearDown();
        plat::SdlDisplay::Instance().Presenter().Shutdown();
        if (native) SDL_DestroyWindow(native);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    // The game started afresh in display `kind` in a new window, as the program starts it.
    void StartAfresh(uint8_t kind) {
        Stop();
        plat::SdlDisplay::Instance().Presenter().Shutdown();
        if (native) SDL_DestroyWindow(native);
        native = SDL_CreateWindow("frame test", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                  1280, 720, 0);
        ASSERT_NE(native, nullptr) << SDL_GetError();
        DisplayKind = kind;
        Start(false, native);
    }

    // Waits up to 10 s for display `kind`: a framed 1280 x 720 window, or full screen without a
    // frame. SDL learns the frame the manager gives only from the window's events.
    ::testing::AssertionResult Shows(uint8_t kind) {
        uint32_t flags = 0;
        int top = 0, w = 0, h = 0;
        for (int tries = 0; tries < 1000; ++tries, SDL_Delay(10)) {
            for (SDL_Event e; SDL_PollEvent(&e);)
                plat::SdlDisplay::Instance().Presenter().HandleEvent(e);
            flags = SDL_GetWindowFlags(native);
            SDL_GetWindowBordersSize(native, &top, nullptr, nullptr, nullptr);
            SDL_GetWindowSize(native, &w, &h);
            const bool full = flags & SDL_WINDOW_FULLSCREEN;
            if (DisplayKind == kind &&
                (kind == kDisplayWindow
                     ? !full && !(flags & SDL_WINDOW_BORDERLESS) && top > 0 && w == 1280 && h == 720
                     : full && top == 0))
                return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "display kind " << int(DisplayKind) << ", "
               << (flags & SDL_WINDOW_FULLSCREEN ? "full screen" : "a window")
               << (flags & SDL_WINDOW_BORDERLESS ? ", borderless" : "") << ", " << w << " x " << h
               << ", frame top " << top;
    }

    SDL_Window* native = nullptr;
};

// Out of full screen by Alt+Enter and by a display request, round after round and after a
// start in full screen: the window gets back the frame that full screen took off.
TEST_F(GameWindowTest, EveryWayBackFromFullScreenKeepsTheFrame) {
    enum Way { kAltEnter, kRequest, kStart };
    const uint8_t kWindow = kDisplayWindow;
    const std::pair<Way, uint8_t> steps[] = {
        {kAltEnter, 1}, {kAltEnter, kWindow}, {kRequest, 0}, {kRequest, kWindow},
        {kRequest, 1},  {kAltEnter, kWindow}, {kStart, 1},   {kRequest, kWindow}};
    StartAfresh(kWindow);
    ASSERT_TRUE(Has720Mode && HasTallMode);
    ASSERT_TRUE(Shows(kWindow)) << "at the start: is a window manager running?";
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Way way = steps[i].first;
        const uint8_t kind = steps[i].second;
        if (way == kStart) {
            StartAfresh(kind);
        } else if (way == kAltEnter) {
            form->HandleHotKey(TGameForm::hkToggleDisplay);
        } else {
            form->PostDisplayModeRequest(kind);
            ServiceUntil([&] { return DisplayKind == kind; });
        }
        ASSERT_TRUE(Shows(kind)) << "step " << i;
    }
}

}  // namespace
