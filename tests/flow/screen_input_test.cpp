// Input across screen changes, in lock step: a key tapped on the real SDL keyboard while the
// fade into the configuration menu runs, the mouse buttons during the title call, and the
// frames in which the album's movie refuses a skip.
#include <SDL.h>

#include "flow/palbummenu.h"
#include "flow_harness.h"

namespace flowtest {
namespace {

class ScreenInput : public FlowHarness {
  protected:
    void SetUp() override {
        FlowHarness::SetUp();
        WriteGame({Scene(0, "GameStart", "TextShow\nText \"Hi\"\nKeyWait\nEXIT")});
    }
    // A key event on the window, as the main thread hands it over.
    void SdlKey(SDL_Scancode sc, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.keysym.scancode = sc;
        form->HandleWindowEvent(e);
    }
    // Held for one frame, released for one.
    void SdlTap(SDL_Scancode sc) {
        SdlKey(sc, true);
        RunFrames(1);
        SdlKey(sc, false);
        RunFrames(1);
    }
    bool InTitleCall() {
        const bool in = RunUntil([] { return TitleMenu && TitleMenu->CallStep >= 0; }, 100);
        RunFrames(2);
        return in;
    }
    void Mouse(uint8_t kind, TMouseButton button) {
        InputRecord r;
        r.kind = kind;
        r.x = 640, r.y = 360, r.button = button;
        form->PushInput(r);
    }
};

TEST_F(ScreenInput, EscapeTappedDuringTheFadeIntoTheConfigurationLeavesItOpen) {
    plat::SetInputBackend(nullptr);  // the SDL keyboard, which latches a tap for the next read
    Start();
    SDL_Event focus{};
    focus.type = SDL_WINDOWEVENT;
    focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    form->HandleWindowEvent(focus);
    ASSERT_TRUE(InTitleCall());
    SdlTap(SDL_SCANCODE_RETURN);
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }, 400));
    for (int i = 0; i < 3; ++i) SdlTap(SDL_SCANCODE_DOWN);  // the hidden music room is skipped
    ASSERT_EQ(TitleMenu->Cursor, 4);
    SdlTap(SDL_SCANCODE_RETURN);
    ASSERT_TRUE(RunUntil([this] { return Mode() == smTransition; }, 100));
    RunFrames(2);
    ASSERT_EQ(Mode(), smTransition);
    SdlKey(SDL_SCANCODE_ESCAPE, true);
    SdlKey(SDL_SCANCODE_ESCAPE, false);
    auto configShown = [this] {
        return ConfigMenu && ConfigMenu->RootPanel->GetParent() == form->RootPanel &&
               Mode() == smMenu;
    };
    ASSERT_TRUE(RunUntil(configShown, 200));
    RunFrames(10);
    EXPECT_TRUE(configShown());
    // Escape pressed now closes it.
    SdlTap(SDL_SCANCODE_ESCAPE);
    EXPECT_TRUE(RunUntil([this] { return OnTitle(); }, 200));
}

TEST_F(ScreenInput, OnlyAClickSkipsTheTitleCall) {
    Start();
    ASSERT_TRUE(InTitleCall());
    Mouse(InputRecord::MouseDown, mbRight);
    Mouse(InputRecord::MouseUp, mbRight);
    Mouse(InputRecord::MouseDown, mbLeft);
    RunFrames(3);
    EXPECT_GE(TitleMenu->CallStep, 0) << "a right click or a button still held";
    Mouse(InputRecord::MouseUp, mbLeft);
    RunFrames(1);
    EXPECT_TRUE(!TitleMenu || TitleMenu->CallStep < 0);
    EXPECT_TRUE(RunUntil([this] { return OnTitle(); }, 120));
}

// The album's movie refuses a skip through its first 29 frame calls and takes one in the 30th,
// however many ticks those frames carry.
class AlbumMovieGrace : public ScreenInput, public ::testing::WithParamInterface<Pacing> {};

TEST_P(AlbumMovieGrace, ASkipIsTakenFromTheThirtiethFrame) {
    WriteFile(Data("AlbumTbl.csv"), "name,#e,#a,!\r\n#opening,0,680\r\n");
    WritePicture(Data("AlbumBG.png"), 1280, 720, 0x203040);
    WritePicture(Data("album_ev00.png"), 167, 93, 0xE0C020);
    UsePacing(GetParam());
    Start();
    ASSERT_TRUE(InTitleCall());
    Tap(kOk);
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }, 400));
    // Written once the title is up, so that the start does not play it as the opening.
    WriteMovie("SVOP.sfd", 150);
    Tap(kDown);
    Tap(kDown);
    Tap(kOk);
    ASSERT_TRUE(RunUntil([this] { return AlbumMenu && AlbumMenu->SetUp && Mode() == smMenu; }));
    RunTicks(20);
    for (int call : {29, 30}) {
        ASSERT_EQ(AlbumMenu->ViewState, TAlbumMenu::vsBrowsing);
        Press(kOk);  // opens the movie in this frame
        ASSERT_EQ(AlbumMenu->ViewState, TAlbumMenu::vsShowing);
        ASSERT_EQ(AlbumMenu->ShownKind, 1);
        RunFrames(call - 1);
        Press(kOk);
        if (call == 29) {
            EXPECT_EQ(AlbumMenu->ViewState, TAlbumMenu::vsShowing) << "refused in frame 29";
            ASSERT_TRUE(AlbumMenu->Movie.IsPlay());
            RunFrames(1);
            Tap(kOk);
        } else {
            EXPECT_NE(AlbumMenu->ViewState, TAlbumMenu::vsShowing) << "taken in frame 30";
        }
        ASSERT_TRUE(RunUntil([] { return AlbumMenu->ViewState == TAlbumMenu::vsBrowsing; }, 200));
        RunFrames(1);
    }
}

INSTANTIATE_TEST_SUITE_P(FullAndOneTick, AlbumMovieGrace,
                         ::testing::Values(Pacing::Full, Pacing::OneTick),
                         [](const ::testing::TestParamInfo<Pacing>& i) {
                             return i.param == Pacing::Full ? std::string("Full")
                                                            : std::string("OneTick");
                         });

}  // namespace
}  // namespace flowtest
