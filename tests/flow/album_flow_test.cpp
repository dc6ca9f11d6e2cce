// In lock step from the title: the album with its grid on the presented frame and an entry
// whose movie is missing shown as black through the window's transitions; and a slot saved
// while the story waits for the extra selection, loaded and played on.
#include "flow/menucommon.h"
#include "flow/palbummenu.h"
#include "flow/psavemenu.h"
#include "media/zradx.h"
#include "scenes/exselu.h"
#include "flow_harness.h"

namespace flowtest {
namespace {

class AlbumFlow : public FlowHarness {
  protected:
    bool ToTitle() {
        Start();
        if (!RunUntil([] { return TitleMenu && TitleMenu->CallStep >= 0; }, 100)) return false;
        RunFrames(2);
        Tap(kOk);
        return RunUntil([this] { return OnTitle(); }, 400);
    }
    uint32_t ScreenAt(int x, int y) {
        std::vector<uint32_t> px;
        int32_t w = 0, h = 0;
        if (!display.Screen().ReadScreen(px, w, h) || x >= w || y >= h) return 0xDEADBEEF;
        return px[size_t(y) * w + x] & 0xFFFFFF;
    }
};

TEST_F(AlbumFlow, OpensFromTheTitleShowsAnEntryAndReturns) {
    WriteGame({Scene(0, "GameStart", "EXIT")});
    // The opening movie is unlocked at every start: entries that hold it are the ones the album
    // offers, at positions 0 and 5 of the first page and 5 of the second.
    WriteFile(Data("AlbumTbl.csv"), "name,#e,#a,!\r\n#opening,0,680\r\n#locked,1,500\r\n"
                                    "#five,5,680\r\n#page2,21,680\r\n");
    WritePicture(Data("AlbumBG.png"), 1280, 720, 0x203040);
    WritePicture(Data("album_ev00.png"), 167, 93, 0xE0C020);
    WritePicture(Data("album_ev05.png"), 167, 93, 0xF00000);
    WritePicture(Data("album_ev21.png"), 167, 93, 0x0000F0);
    ASSERT_TRUE(ToTitle());
    Tap(kDown);
    Tap(kDown);
    Tap(kOk);
    ASSERT_TRUE(RunUntil([] { return AlbumMenu && AlbumMenu->SetUp && GameForm &&
                                      GameForm->GetScreenMode() == smMenu; }, 400));
    RunFrames(20);
    EXPECT_TRUE(AlbumMenu->Shown[0]);
    EXPECT_FALSE(AlbumMenu->Shown[1]);
    // The entry under the cursor is opaque on the presented frame (its light adds to it), the
    // background around it, and the locked entry beside it is not drawn.
    const uint32_t thumb = ScreenAt(444 + 80, 168 + 40);
    EXPECT_GE(thumb >> 16, 0xE0u);
    EXPECT_GE((thumb >> 8) & 0xFF, 0xC0u);
    EXPECT_EQ(ScreenAt(1200, 400), 0x203040u);
    EXPECT_EQ(ScreenAt(444 + 192 + 80, 168 + 40), 0x203040u);

    // Position 5 away from the cursor: half strength on the grid, and half strength through
    // the cross-fade to the next page (the old picture at (128 - l) * 128 / (256 - l), the
    // new one at l / 2, with l = (fade - 2) * 16 for its row and column), never stronger.
    const int x5 = 444 + 192 + 80, y5 = 168 + 118 + 40;
    auto near = [](uint32_t got, uint32_t want) {
        for (int shift : {0, 8, 16}) {
            const int d = int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF);
            if (d < -3 || d > 3) return false;
        }
        return true;
    };
    // The background 0x203040 with red 0xF00000 at 64.
    EXPECT_PRED2(near, ScreenAt(x5, y5), 0x881820u) << std::hex << ScreenAt(x5, y5);
    Tap(kPageNext);
    ASSERT_EQ(AlbumMenu->Page, 1);
    ASSERT_TRUE(RunUntil([] { return AlbumMenu->FadeCounter == 6; }, 20));
    // Level 64: red at 42 then blue at 32 over the background.
    EXPECT_PRED2(near, ScreenAt(x5, y5), 0x4B185Cu) << std::hex << ScreenAt(x5, y5);
    // Back to the first page while that fade runs: its pictures fade in afresh from the
    // background, nothing of the page left behind fades out over them.
    Tap(kPagePrev);
    ASSERT_EQ(AlbumMenu->Page, 0);
    ASSERT_GE(AlbumMenu->FadeCounter, 0);
    ASSERT_LE(AlbumMenu->FadeCounter, 2);
    EXPECT_EQ(ScreenAt(x5, y5), 0x203040u);
    ASSERT_TRUE(RunUntil([] { return AlbumMenu->FadeCounter < 0; }, 40));
    EXPECT_PRED2(near, ScreenAt(x5, y5), 0x881820u) << std::hex << ScreenAt(x5, y5);

    // Entry 5 (a missing movie, shown black): the mouse pointer hides over it and comes back
    // with the grid, whose highlight stays on the entry.
    Tap(kRight);
    Tap(kDown);
    ASSERT_EQ(AlbumMenu->Cursor, 5);
    EXPECT_EQ(form->GetCursorType(), 0);
    Tap(kOk);
    EXPECT_NE(AlbumMenu->ViewState, TAlbumMenu::vsBrowsing);
    ASSERT_TRUE(RunUntil([] { return AlbumMenu->ViewState == TAlbumMenu::vsShowing; }, 200));
    EXPECT_EQ(form->GetCursorType(), -1);
    RunFrames(2);
    EXPECT_EQ(ScreenAt(640, 360), 0u);  // the movie is missing: black
    Tap(kCancel);  // no leaving while a picture is shown
    EXPECT_EQ(AlbumMenu->ViewState, TAlbumMenu::vsShowing);
    Tap(kOk);
    ASSERT_TRUE(RunUntil([] { return AlbumMenu->ViewState == TAlbumMenu::vsBrowsing; }, 200));
    EXPECT_EQ(form->GetCursorType(), 0);
    EXPECT_EQ(AlbumMenu->Cursor, 5);
    RunFrames(2);
    EXPECT_EQ(ScreenAt(1200, 400), 0x203040u);
    Tap(kCancel);
    ASSERT_TRUE(RunUntil([this] { return AlbumMenu == nullptr && OnTitle(); }, 400));
    CloseWindow();
}

// A movie entry really plays: a skip in its first 30 frames is refused, one after is taken, and
// the album's own music, stopped for the movie, comes back once the view has ended.
TEST_F(AlbumFlow, MovieEntryRefusesAnEarlySkipTakesALateOneAndTheMusicReturns) {
    WriteGame({Scene(0, "GameStart", "EXIT")});
    WriteFile(Data("AlbumTbl.csv"), "name,#e,#a,!\r\n#opening,0,680\r\n");
    WritePicture(Data("AlbumBG.png"), 1280, 720, 0x203040);
    WritePicture(Data("album_ev00.png"), 167, 93, 0xE0C020);
    {
        // Half a second of a looped tone as the album's track.
        std::vector<int16_t> tone(11025);
        for (size_t i = 0; i < tone.size(); ++i) tone[i] = int16_t((i % 50) * 400 - 10000);
        AdxEncodeOptions o;
        o.channels = 1;
        o.rate = 22050;
        o.loop = true;
        o.loopStart = 5504;
        o.loopEnd = 11008;
        const std::vector<uint8_t> b = EncodeAdx(tone.data(), 11025, o);
        WriteFile(dir.Host("BGM/Track13.adx"), std::string(b.begin(), b.end()));
    }
    ASSERT_TRUE(ToTitle());
    // Written once the title is up, so that the start does not play it as the opening.
    WriteMovie("SVOP.sfd", 150);  // five seconds: long enough to outlast the grace
    Tap(kDown);
    Tap(kDown);
    Tap(kOk);
    ASSERT_TRUE(RunUntil([] { return AlbumMenu && AlbumMenu->SetUp && GameForm &&
                                      GameForm->GetScreenMode() == smMenu; }, 400));
    RunFrames(20);
    EXPECT_EQ(GameForm->GetBGMTrack(), TAlbumMenu::kAlbumTrack);
    Tap(kOk);
    ASSERT_EQ(AlbumMenu->ViewState, TAlbumMenu::vsShowing);
    ASSERT_EQ(AlbumMenu->ShownKind, 1);
    EXPECT_TRUE(AlbumMenu->Movie.IsPlay());
    EXPECT_EQ(GameForm->GetBGMTrack(), 0);  // the movie plays in silence
    RunFrames(5);
    Tap(kOk);  // inside the grace: refused
    EXPECT_EQ(AlbumMenu->ViewState, TAlbumMenu::vsShowing);
    EXPECT_TRUE(AlbumMenu->Movie.IsPlay());
    ASSERT_TRUE(RunUntil([] { return AlbumMenu->Grace == 0; }, 60));
    ASSERT_TRUE(AlbumMenu->Movie.IsPlay());  // still well inside its five seconds
    Tap(kOk);
    EXPECT_NE(AlbumMenu->ViewState, TAlbumMenu::vsShowing);
    ASSERT_TRUE(RunUntil([] { return AlbumMenu->ViewState == TAlbumMenu::vsBrowsing; }, 200));
    EXPECT_FALSE(AlbumMenu->Movie.IsOpen());
    EXPECT_EQ(GameForm->GetBGMTrack(), TAlbumMenu::kAlbumTrack);
    RunFrames(2);
    EXPECT_EQ(ScreenAt(1200, 400), 0x203040u);
    Tap(kCancel);
    ASSERT_TRUE(RunUntil([this] { return AlbumMenu == nullptr && OnTitle(); }, 400));
    CloseWindow();
}

// Nothing in the game stores the extra selection's wait: the slot is made from a story that
// waits for a choice, with the wait kind turned into 3. Loaded, the window chooses at once and
// the story goes on with 0.
TEST_F(AlbumFlow, SlotWaitingForTheExtraSelectionLoadsAndGoesOnWithZero) {
    WriteGame({Scene(0, "GameStart", R"(
    TextShow
    Select "x", "y", "", ""
    SETRES
    PUSH 5
    PUSH 1
    SETF
    Text "After"
    KeyWait
    EXIT)")});
    UsePacing(Pacing::Full);
    ASSERT_TRUE(ToTitle());
    RunFrames(2);  // the call's key released
    Tap(kOk);
    ASSERT_TRUE(RunUntil([this] { return AvgUnit && SceneState() == asChoiceWaiting; }, 600));
    CurrentState.SetWaitState(3);
    CurrentState.ExSelArg = 4;
    CurrentState.SetResult(99);
    ASSERT_TRUE(SaveGameSlot(3));
    CurrentState.SetWaitState(2);
    AvgUnit->EndScene(0);  // back to the title, as the script's end would
    ASSERT_TRUE(RunUntil([this] { return AvgUnit == nullptr && OnTitle(); }, 600));
    CurrentState.SetResult(99);
    RunFrames(2);
    // Load menu, slot 3 (third position of the first page).
    Tap(kDown);
    Tap(kOk);
    ASSERT_TRUE(RunUntil([this] { return SaveMenu && SaveMenu->RootPanel->GetParent() && Mode() == smMenu; }));
    Tap(kDown);
    Tap(kRight);
    Tap(kRight);
    Tap(kOk);
    ASSERT_TRUE(RunUntil([this] { return AvgUnit && Mode() == smAdventure; }, 600));
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }, 600));
    EXPECT_EQ(CurrentState.GetResult(), 0);
    EXPECT_TRUE(CurrentState.GetFlag(5));
    EXPECT_EQ(CurrentState.ExSelArg, 4);
    EXPECT_FALSE(AvgUnit->ExSel->ExSelWin->GetVisible());
    CloseWindow();
}

}  // namespace
}  // namespace flowtest
