// The demo played with a joypad alone: SDL's virtual joystick on the real SDL input backend,
// its events pumped between frames as the main thread pumps them, at the game's default frame
// rate ("Full"). Each button is tapped between two frames, down and up again before the game
// reads it. The title call and the opening are skipped with OK, the stick moves the title's
// cursor, cancel leaves the load menu, OK starts the story and reads on at its click waits.
#include <SDL.h>

#include "demo_harness.h"

namespace flowtest {
namespace {

constexpr int kPadOk = 0, kPadCancel = 1;  // the default map: logical button n is button n

class Joypad : public DemoHarness {
  protected:
    void SetUp() override {
        DemoHarness::SetUp();
        UsePacing(Pacing::Full);
        plat::SetInputBackend(nullptr);
        ASSERT_TRUE(plat::SdlInput::Instance().Start());
        index_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 12, 0);
        ASSERT_GE(index_, 0) << SDL_GetError();
        pad_ = SDL_JoystickOpen(index_);
        ASSERT_NE(pad_, nullptr) << SDL_GetError();
    }
    void TearDown() override {
        DemoHarness::TearDown();
        if (pad_) SDL_JoystickClose(pad_);
        if (index_ >= 0) SDL_JoystickDetachVirtual(index_);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }

    void Pump() {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            if (form) form->HandleWindowEvent(e);
    }
    // Down and up before the next frame, then a frame to read it and one more.
    void Button(int b) {
        SDL_JoystickSetVirtualButton(pad_, b, 1);
        Pump();
        SDL_JoystickSetVirtualButton(pad_, b, 0);
        Pump();
        RunFrames(2);
    }
    // The stick pushed up or down for a frame, then let go.
    void Stick(int16_t y) {
        SDL_JoystickSetVirtualAxis(pad_, 1, y);
        Pump();
        RunFrames(1);
        SDL_JoystickSetVirtualAxis(pad_, 1, 0);
        Pump();
        RunFrames(1);
    }
    bool Until(const std::function<bool()>& done, int ticks) {
        return RunUntil(
            [&] {
                Pump();
                return done();
            },
            ticks);
    }

    int index_ = -1;
    SDL_Joystick* pad_ = nullptr;
};

TEST_F(Joypad, TitleStoryAndAMenuPlayedWithTheJoypad) {
    Start(7);
    ASSERT_TRUE(Until([] { return TitleMenu && TitleMenu->CallStep >= 0; }, 200));
    ASSERT_TRUE(form->InputUnit->IsJoypadEnable()) << "the joystick is opened by the game";
    RunTicks(10);
    Button(kPadOk);
    ASSERT_TRUE(Until([] { return !TitleMenu || TitleMenu->CallStep < 0; }, 3))
        << "OK skips the title call";
    ASSERT_TRUE(Until([this] { return MovieOpen() || OnTitle(); }, 300));
    if (MovieOpen()) {
        for (int i = 0; i < 45 && MovieOpen(); ++i) {  // past the opening's guard
            GiveMovieTime();
            RunTicks(1);
        }
        Button(kPadOk);
        ASSERT_TRUE(Until([this] { return !MovieOpen(); }, 3)) << "OK skips the opening";
    }
    ASSERT_TRUE(Until([this] { return OnTitle(); }, 600));
    RunTicks(2);
    ASSERT_EQ(TitleMenu->Cursor, 0);

    // The stick moves the title's cursor; cancel leaves the load menu for the title.
    Stick(32767);
    EXPECT_EQ(TitleMenu->Cursor, 1);
    Button(kPadOk);
    ASSERT_TRUE(Until(
        [this] { return SaveMenu && SaveMenu->RootPanel->GetParent() && Mode() == smMenu; }, 300));
    RunTicks(20);
    Button(kPadCancel);
    ASSERT_TRUE(Until([this] { return OnTitle(); }, 600)) << "cancel goes back to the title";
    RunTicks(2);
    Stick(-32768);
    ASSERT_EQ(TitleMenu->Cursor, 0);

    // OK starts the story and reads on at its click waits.
    Button(kPadOk);
    ASSERT_TRUE(Until([this] { return SceneState() == asClickWait; }, 1800));
    int reads = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Until([this] { return SceneState() == asClickWait; }, 1800));
        RunTicks(5);
        const uint32_t pc = CurrentState.Pc;
        Button(kPadOk);
        reads += Until([&] { return SceneState() != asClickWait || CurrentState.Pc != pc; }, 2);
    }
    EXPECT_EQ(reads, 3);
}

}  // namespace
}  // namespace flowtest
