// The album reached from the title in lock step: the grid on the presented frame, an entry
// whose movie is missing shown as black through the window's transitions, and back to the
// title with the album's track left to the title.
#include "flow/menucommon.h"
#include "flow/palbummenu.h"
#include "flow_harness.h"

namespace flowtest {
namespace {

constexpr Key kDown{0xD0, 0x28};

class AlbumFlow : public FlowHarness {
  protected:
    void Tap(Key k) {
        Press(k);
        RunFrames(1);
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
    // The opening movie is unlocked at every start: its entry is the one the album offers.
    WriteFile(Data("AlbumTbl.csv"), "name,#e,#a,!\r\n#opening,0,680\r\n#locked,1,500\r\n");
    WritePicture(Data("AlbumBG.png"), 1280, 720, 0x203040);
    // The way into the album and the music room is a mask of its own.
    std::filesystem::copy_file(Data("FadeMask16_Noise.bmp"), Data("FadeMask14_Windmill.bmp"));
    WritePicture(Data("album_ev00.png"), 167, 93, 0xE0C020);
    Start();
    ASSERT_TRUE(RunUntil([] { return TitleMenu && TitleMenu->CallStep >= 0; }, 100));
    RunFrames(2);
    Tap(kOk);
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }, 400));
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
    Tap(kOk);
    EXPECT_NE(AlbumMenu->ViewState, TAlbumMenu::vsBrowsing);
    ASSERT_TRUE(RunUntil([] { return AlbumMenu->ViewState == TAlbumMenu::vsShowing; }, 200));
    RunFrames(2);
    EXPECT_EQ(ScreenAt(640, 360), 0u);  // the movie is missing: black
    Tap(kCancel);  // no leaving while a picture is shown
    EXPECT_EQ(AlbumMenu->ViewState, TAlbumMenu::vsShowing);
    Tap(kOk);
    ASSERT_TRUE(RunUntil([] { return AlbumMenu->ViewState == TAlbumMenu::vsBrowsing; }, 200));
    RunFrames(2);
    EXPECT_EQ(ScreenAt(1200, 400), 0x203040u);
    Tap(kCancel);
    ASSERT_TRUE(RunUntil([this] { return AlbumMenu == nullptr && OnTitle(); }, 400));
    CloseWindow();
}

}  // namespace
}  // namespace flowtest
