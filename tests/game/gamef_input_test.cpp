// Window input: recording, feeding in order, stopping at the end of a wait, cursor rules.
#include <SDL.h>

#include <cstring>
#include <thread>

#include "form_harness.h"
#include "platform/sdldisplay.h"
#include "platform/windowcomponent.h"

namespace {

// A full-size panel that records what reaches it and may end the wait on a click.
struct Target {
    explicit Target(TGameForm* form) : panel(nullptr) {
        panel.SetSizeX(1280);
        panel.SetSizeY(720);
        panel.SetParent(form->RootPanel);
        panel.SetCreated(true);
        panel.SetVisible(true);
        panel.SetKeyControl(true);
        panel.SetActive();
        panel.OnMouseDown = [this](TNyRGBPanel*, TMouseButton b, TShiftState, int x, int y) {
            log.push_back("down" + std::to_string(b) + "@" + std::to_string(x) + "," +
                          std::to_string(y));
            if (endOnClick) EndWait(7);
        };
        panel.OnKeyDown = [this](TNyRGBPanel*, uint16_t& key, TShiftState) {
            log.push_back("key" + std::to_string(key));
            key = 0;
        };
        panel.OnMouseWheel = [this](TNyRGBPanel*, TShiftState, int delta, const TPoint& p, bool&) {
            log.push_back("wheel" + std::to_string(delta) + "@" + std::to_string(p.x) + "," +
                          std::to_string(p.y));
        };
    }
    ~Target() { panel.SetParent(nullptr); }
    TNyRGBPanel panel;
    std::vector<std::string> log;
    bool endOnClick = false;
};

// A logic thread that never runs, so EndWait has a thread to end.
class IdleThread : public TMainThread {
  public:
    using TMainThread::TMainThread;
    ~IdleThread() override { Shutdown(); }

  protected:
    void Execute() override {}
};

class InputTest : public FormHarness {
  protected:
    void SetUp() override {
        FormHarness::SetUp();
        WriteData();
        Start();
        form->BeginMenuMode();
        target = std::make_unique<Target>(form);
        thread = std::make_unique<IdleThread>(form);
        MainThread.store(thread.get());
        form->WaitEnded.store(false);
        form->FrameRateMode = 2;
    }
    void TearDown() override {
        MainThread.store(nullptr);
        target.reset();
        FormHarness::TearDown();
    }
    std::unique_ptr<Target> target;
    std::unique_ptr<IdleThread> thread;
};

TEST_F(InputTest, ClickThatEndsTheWaitLeavesTheNextQueued) {
    target->endOnClick = true;
    form->FormMouseDown(mbLeft, 0, 10, 20);
    form->FormMouseDown(mbRight, 0, 30, 40);
    form->FrameStep();
    EXPECT_EQ(target->log, (std::vector<std::string>{"down0@10,20"}));
    EXPECT_EQ(thread->Result.load(), 7);
    EXPECT_TRUE(thread->Done.load());
    EXPECT_EQ(form->QueuedInput(), 1u);
    // The next wait receives it.
    form->WaitEnded.store(false);
    form->FrameStep();
    EXPECT_EQ(target->log.back(), "down1@30,40");
    EXPECT_EQ(form->QueuedInput(), 0u);
}

TEST_F(InputTest, NothingIsFedWhileNoWaitRuns) {
    form->WaitEnded.store(true);
    form->FormKeyDown(0x41, 0);
    form->FrameStep();
    EXPECT_TRUE(target->log.empty());
    EXPECT_EQ(form->QueuedInput(), 1u);
}

TEST_F(InputTest, HiddenMouseDropsMouseButKeepsKeys) {
    form->SetCursorType(-2);
    form->FormMouseDown(mbLeft, 0, 1, 1);
    bool handled = false;
    form->FormMouseWheel(0, -120, handled);
    EXPECT_TRUE(handled);
    form->FormKeyDown(0x0D, 0);
    form->FrameStep();
    EXPECT_EQ(target->log, (std::vector<std::string>{"key13"}));
    EXPECT_EQ(form->QueuedInput(), 0u);
    // A cursor of -1 only hides the picture; the mouse still works.
    form->SetCursorType(-1);
    form->FormMouseDown(mbLeft, 0, 2, 3);
    form->FrameStep();
    EXPECT_EQ(target->log.back(), "down0@2,3");
}

TEST_F(InputTest, TransitionModeTakesNothingOut) {
    form->FormMouseDown(mbLeft, 0, 1, 1);
    form->ScreenMode.store(smTransition);
    form->FrameStep();
    EXPECT_TRUE(target->log.empty());
    EXPECT_EQ(form->QueuedInput(), 1u);
    form->ScreenMode.store(smMenu);
    form->FlushInput();
    EXPECT_EQ(form->QueuedInput(), 0u);
}

TEST_F(InputTest, TallFullScreenShiftsClicksAndClampsTheWheel) {
    DisplayKind = 1;
    PictureOffsetY = 152;
    form->FormMouseDown(mbLeft, 0, 5, 152);
    form->FormMouseDown(mbLeft, 0, 5, 10);  // above the picture: not clamped
    form->MouseX.store(2000);
    form->MouseY.store(5);
    bool handled = false;
    form->FormMouseWheel(0, 120, handled);
    form->FrameStep();
    DisplayKind = kDisplayWindow;
    ASSERT_EQ(target->log.size(), 2u);  // the click at y -142 misses every panel
    EXPECT_EQ(target->log[0], "down0@5,0");
    EXPECT_EQ(target->log[1], "wheel120@1279,0");
}

// Under SDL's dummy driver, which has no graphics processor, a window larger than the
// picture shows it scaled between bars, through the window surface as through the renderer:
// the pointer's positions in the window reach the game as positions in the picture. In full
// screen a pointer on a bar stands on the mode's edge, where the cursor is drawn.
TEST_F(InputTest, PointerPositionsAreThePicturesInAWindowLargerThanIt) {
    using Path = plat::SdlPresenter::Path;
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* native = SDL_CreateWindow("pointer", 0, 0, 1280, 720, 0);
    ASSERT_NE(native, nullptr) << SDL_GetError();
    plat::WindowComponent window(nullptr, native);
    plat::SdlPresenter& presenter = plat::SdlDisplay::Instance().Presenter();
    presenter.SetMainThread(std::this_thread::get_id());
    struct Case {
        uint8_t kind;
        int modeH, ww, wh;  // the display mode's height, the window's size
        int wx, wy;
        int px, py;  // the record's position
        int mx, my;  // GetMousePos, where the cursor is drawn
    };
    // 1920 x 1200 shows 1280 x 720 half as large again, with bars 60 high above and below;
    // 2560 x 1080 the same between bars 320 wide; 1280 x 800 at 1.35 between bars 416 wide.
    const Case cases[] = {
        {kDisplayWindow, 720, 1920, 1200, 0, 60, 0, 0, 0, 0},
        {kDisplayWindow, 720, 1920, 1200, 960, 600, 640, 360, 640, 360},
        {kDisplayWindow, 720, 1920, 1200, 961, 601, 640, 360, 640, 360},
        {kDisplayWindow, 720, 1920, 1200, 1919, 1139, 1279, 719, 1279, 719},
        {kDisplayWindow, 720, 1920, 1200, 100, 30, 66, -20, 66, -20},
        {0, 720, 1920, 1200, 100, 30, 66, 0, 66, 0},
        {0, 720, 1920, 1200, 1919, 1199, 1279, 719, 1279, 719},
        {0, 720, 2560, 1080, 10, 500, 0, 333, 0, 333},
        {0, 720, 2560, 1080, 2559, 0, 1279, 0, 1279, 0},
        // The bands above and below the picture belong to the mode: a click there misses it.
        {1, 800, 2560, 1080, 100, 541, 0, 360, 0, 360},
        {1, 800, 2560, 1080, 2500, 10, 1279, -33, 1279, 0},
        {1, 800, 2560, 1080, 1281, 1079, 640, 759, 640, 719},
    };
    const int32_t height = FullScreenHeight, offset = PictureOffsetY;
    for (Path path : {Path::Surface, Path::Renderer}) {
        const Case* screen = nullptr;
        for (const Case& c : cases) {
            if (!screen || screen->modeH != c.modeH || screen->ww != c.ww || screen->wh != c.wh) {
                screen = &c;
                presenter.Shutdown();
                presenter.SetPath(path);
                presenter.SetScreen(&window, 1280, c.modeH, false);
                SDL_SetWindowSize(native, c.ww, c.wh);
                SDL_Event e;
                while (SDL_PollEvent(&e)) presenter.HandleEvent(e);
                EXPECT_EQ(presenter.PresentsThroughSurface(), path == Path::Surface);
            }
            DisplayKind = c.kind;
            FullScreenHeight = c.modeH;
            PictureOffsetY = (c.modeH - 720) / 2;
            SDL_Event move{};  // then a click where it ended
            move.type = SDL_MOUSEMOTION;
            move.motion.windowID = SDL_GetWindowID(native);
            move.motion.x = c.wx;
            move.motion.y = c.wy;
            SDL_Event click{};
            click.type = SDL_MOUSEBUTTONDOWN;
            click.button.windowID = move.motion.windowID;
            click.button.button = SDL_BUTTON_LEFT;
            click.button.x = c.wx;
            click.button.y = c.wy;
            // Queued as the system queues them: SDL maps them on the way in for its renderer.
            SDL_PushEvent(&move);
            SDL_PushEvent(&click);
            form->InputQueue.clear();
            SDL_Event e;
            while (SDL_PollEvent(&e))
                if (e.type == SDL_MOUSEMOTION || e.type == SDL_MOUSEBUTTONDOWN)
                    form->HandleWindowEvent(e);
            ASSERT_EQ(form->InputQueue.size(), 2u);
            TPoint p;
            form->GetMousePos(p);
            const InputRecord& m = form->InputQueue[0];
            const InputRecord& d = form->InputQueue[1];
            EXPECT_EQ((std::vector<int>{m.x, m.y, d.x, d.y, p.x, p.y}),
                      (std::vector<int>{c.px, c.py, c.px, c.py, c.mx, c.my}))
                << "kind " << int(c.kind) << " on " << c.ww << "x" << c.wh << ", "
                << (path == Path::Surface ? "surface" : "renderer") << " at " << c.wx << ","
                << c.wy;
        }
    }
    DisplayKind = kDisplayWindow;
    FullScreenHeight = height;
    PictureOffsetY = offset;
    presenter.Shutdown();
    presenter.SetPath(Path::Automatic);
    SDL_DestroyWindow(native);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST_F(InputTest, RecordsKeepTheirFields) {
    form->FormKeyPress(static_cast<char>(0x82));
    form->FormMouseLeave();
    ASSERT_EQ(form->InputQueue.size(), 2u);
    EXPECT_EQ(form->InputQueue[0].kind, InputRecord::KeyPress);
    EXPECT_EQ(form->InputQueue[0].key, 0xFF82);  // sign-extended from its byte
    EXPECT_EQ(form->InputQueue[1].kind, InputRecord::MouseLeave);
    EXPECT_EQ(form->InputQueue[1].x, 0);
}

// No composition window: text input is off once the window is made, and characters are typed
// by the key presses themselves, once each.
TEST_F(InputTest, KeyPressesTypeTheCharacters) {
    EXPECT_FALSE(SDL_IsTextInputActive());
    struct Key {
        SDL_Scancode scancode;
        SDL_Keycode sym;
        uint16_t mod;
        int typed;  // -1: none
    };
    const Key keys[] = {
        {SDL_SCANCODE_A, SDLK_a, KMOD_NONE, 'a'},
        {SDL_SCANCODE_A, SDLK_a, KMOD_LSHIFT, 'A'},
        {SDL_SCANCODE_A, SDLK_a, KMOD_CAPS | KMOD_RSHIFT, 'a'},
        {SDL_SCANCODE_1, SDLK_1, KMOD_LSHIFT, '!'},
        {SDL_SCANCODE_SLASH, SDLK_SLASH, KMOD_NONE, '/'},
        {SDL_SCANCODE_KP_7, SDLK_KP_7, KMOD_NUM, '7'},
        {SDL_SCANCODE_KP_7, SDLK_KP_7, KMOD_NONE, -1},
        {SDL_SCANCODE_C, SDLK_c, KMOD_LCTRL, -1},
        {SDL_SCANCODE_F1, SDLK_F1, KMOD_NONE, -1},
        {SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_NONE, 13},
    };
    for (const Key& k : keys) {
        form->InputQueue.clear();
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.keysym.scancode = k.scancode;
        e.key.keysym.sym = k.sym;
        e.key.keysym.mod = k.mod;
        form->HandleWindowEvent(e);
        std::vector<int> typed;
        for (const InputRecord& r : form->InputQueue)
            if (r.kind == InputRecord::KeyPress) typed.push_back(r.key & 0xFF);
        EXPECT_EQ(typed, k.typed < 0 ? std::vector<int>{} : std::vector<int>{k.typed})
            << SDL_GetKeyName(k.sym) << " mod " << k.mod;
    }
    // Text events, should any still arrive, type nothing a second time.
    form->InputQueue.clear();
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    std::strcpy(text.text.text, "a");
    form->HandleWindowEvent(text);
    EXPECT_TRUE(form->InputQueue.empty());
}

TEST_F(InputTest, CursorStackKeepsSixteen) {
    for (int i = 0; i < 17; ++i) {
        form->SetCursorType(i % 8);
        EXPECT_EQ(form->PushCursorType(), i < 16);
    }
    form->SetCursorType(7);
    EXPECT_FALSE(form->PopCursorType());
    EXPECT_EQ(form->GetCursorType(), 7);
    for (int i = 15; i >= 0; --i) {
        EXPECT_TRUE(form->PopCursorType());
        EXPECT_EQ(form->GetCursorType(), i % 8);
    }
    EXPECT_FALSE(form->PopCursorType());
    form->SetCursorType(9);
    EXPECT_EQ(form->GetCursorType(), 0);
}

}  // namespace
