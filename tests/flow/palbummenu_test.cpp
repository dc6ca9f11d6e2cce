// The album driven through its steps with a scripted window: pages, locked entries, pictures
// one after another through the transitions, the music it brings back, and what a missing
// picture or movie shows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "flow/palbummenu.h"
#include "flow/menucommon.h"
#include "flow/pmenuservices.h"
#include "flow_harness.h"
#include "foundation/zrmemman.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "widgets/nyrgbanime.h"
#include "widgets/nyrgbbits.h"

namespace {

class FakeWindow : public MenuServices {
  public:
    bool PlayBGM(int32_t track, bool, bool) override {
        played.push_back(track);
        current = track;
        return true;
    }
    void StopBGM(bool) override { current = 0; }
    bool IsBGMPlaying() override { return current != 0; }
    int32_t GetBGMTrack() override { return current; }
    void PlaySysSE(int32_t n) override { sounds.push_back(n); }
    void EndWait(int32_t r) override { ended = r; }
    void SetCursorType(int32_t row) override { pointer.push_back(row); }
    bool StartPanelTransition() override {
        ++starts;
        left = frames;
        return frames > 0;
    }
    bool AdvancePanelTransition(int32_t ticks) override {
        left -= ticks;
        return left > 0;
    }
    void EndPanelTransition() override { ++ends; }

    std::vector<int> played, sounds, pointer;
    int current = 0, ended = -99, frames = 3, left = 0, starts = 0, ends = 0;
};

class Album : public ::testing::Test {
  protected:
    void SetUp() override {
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        oldCwd_ = cwd;
        ASSERT_EQ(chdir(dir.Host().c_str()), 0);
        MemMan = new ZRMemMan();
        oldDepth_ = WorkBitDepth;
        WorkBitDepth = bd32;
        SysData = SystemData();
        AlbumShowAll = false;
        // Entries 0-38: entry e shows picture 500 + e; entry 1 has two pictures, entry 3
        // is a movie, entry 4 is locked, entry 5 names a picture that does not exist.
        std::string table = "name,#e,#a,#b,!\r\n";
        for (int e = 0; e < 39; ++e) {
            std::string nums = std::to_string(500 + e);
            if (e == 1) nums += ",540";
            if (e == 3) nums = "680";
            if (e == 5) nums = "560";
            table += "#r," + std::to_string(e) + "," + nums + "\r\n";
        }
        flowtest::WriteFile(dir.Host("AlbumTbl.csv"), table);
        for (int e = 0; e < 39; ++e) {
            if (e != 4) SysData.SetAlbumBit(e);
            char name[32];
            std::snprintf(name, sizeof name, "album_ev%02d.png", e);
            flowtest::WritePicture(dir.Host(name), 167, 93, 0x102000 + e);
        }
        SysData.SetAlbumBit(40);
        SysData.SetAlbumBit(60);
        SysData.SetAlbumBit(180);
        flowtest::WritePicture(dir.Host("EvBG_Pak/bg500.png"), 1280, 720, 0x0000F0);
        flowtest::WritePicture(dir.Host("EvBG_Pak/bg501.png"), 1280, 720, 0x00F000);
        flowtest::WritePicture(dir.Host("EvBG_Pak/bg540.png"), 1280, 720, 0xF00000);
        ASSERT_TRUE(files.InitDir(dir.Host().c_str()));
        album = new TAlbumMenu(&window);
        ASSERT_TRUE(album->Setup(&files));
        album->LoadTable();
        album->Prepare();
    }
    void TearDown() override {
        delete album;
        delete MemMan;
        MemMan = nullptr;
        WorkBitDepth = oldDepth_;
        SysData = SystemData();
        ASSERT_EQ(chdir(oldCwd_.c_str()), 0);
    }
    uint32_t PictureAt(int x, int y) { return album->PicturePanel->GetImage()->PGet(x, y) & 0xFFFFFF; }
    void RunView(int frames) {
        for (int i = 0; i < frames; ++i) album->ViewFrame(1, false);
    }

    TempDir dir;
    std::string oldCwd_;
    ZRBitDepth oldDepth_ = bd24;
    ZRFileMan files;
    FakeWindow window;
    TAlbumMenu* album = nullptr;
};

TEST_F(Album, PagesShowTheirEntriesAndTheLastPageEndsAtThirtyEight) {
    const struct {
        int page, shown;
    } cases[] = {{0, 15}, {1, 16}, {2, 7}};  // page 0 lacks the locked entry 4
    for (const auto& c : cases) {
        album->ShowPage(c.page);
        int shown = 0;
        for (int i = 0; i < 16; ++i) shown += album->Shown[i];
        EXPECT_EQ(shown, c.shown) << c.page;
    }
    // Entry 38 at position 6 of page 2 carries its own thumbnail; 39 and after are blank.
    EXPECT_EQ(album->Current[6]->PGet(10, 10) & 0xFFFFFF, 0x102000u + 38);
    EXPECT_FALSE(album->Shown[7]);
    EXPECT_FALSE(album->MovIcon[7]->GetVisible());
    album->ShowPage(0);
    EXPECT_TRUE(album->MovIcon[3]->GetVisible());
    EXPECT_FALSE(album->MovIcon[2]->GetVisible());
    EXPECT_EQ(album->FadeCounter, 0);  // a page change starts the cross-fade
    // The same page again while that fade runs: no fade, and nothing left fading.
    album->ShowPage(0);
    EXPECT_EQ(album->FadeCounter, -1);
    for (int i = 0; i < 16; ++i) EXPECT_FALSE(album->Fading[i]) << i;
}

TEST_F(Album, LockedEntrySoundsOkAndOpensNothing) {
    album->SetCursor(4);
    album->Decide();
    EXPECT_EQ(album->ViewState, TAlbumMenu::vsBrowsing);
    EXPECT_EQ(window.sounds, (std::vector<int>{menu::seOK}));
    EXPECT_EQ(window.starts, 0);
    // Positions past entry 38 open nothing either.
    album->ShowPage(2);
    album->SetCursor(9);
    album->Decide();
    EXPECT_EQ(album->ViewState, TAlbumMenu::vsBrowsing);
}

TEST_F(Album, TwoPicturesRunThroughTransitionsAndBackToTheGrid) {
    album->SetCursor(1);
    album->Decide();
    EXPECT_EQ(album->ViewState, TAlbumMenu::vsIntoPicture);
    EXPECT_EQ(PictureAt(640, 360), 0x00F000u);  // bg501
    EXPECT_EQ(window.current, 13);
    // While a picture is shown the right button and leaving do nothing.
    album->RootPanel->OnMouseDown(album->RootPanel, mbRight, 0, 0, 0);
    RunView(3);
    EXPECT_EQ(album->ViewState, TAlbumMenu::vsShowing);
    EXPECT_EQ(window.ends, 1);
    album->RootPanel->OnMouseDown(album->RootPanel, mbRight, 0, 0, 0);
    EXPECT_EQ(window.ended, -99);
    album->ViewFrame(1, true);  // next picture
    EXPECT_EQ(PictureAt(0, 0), 0xF00000u);  // bg540
    RunView(3);
    album->PicturePanel->OnMouseDown(album->PicturePanel, mbLeft, 0, 10, 10);
    EXPECT_EQ(album->ViewState, TAlbumMenu::vsBack);
    RunView(3);
    EXPECT_EQ(album->ViewState, TAlbumMenu::vsBrowsing);
    EXPECT_FALSE(album->PicturePanel->GetVisible());
    // The mouse pointer was hidden over each picture and is back on the grid, where the
    // highlight still stands on the entry just viewed.
    EXPECT_EQ(window.pointer, (std::vector<int>{-1, -1, 0}));
    EXPECT_EQ(album->Cursor, 1);
    EXPECT_TRUE(album->LightPanel->GetVisible());
    EXPECT_EQ(window.starts, 3);
    EXPECT_EQ(window.ends, 3);
    EXPECT_EQ(window.ended, -99);
    album->RootPanel->OnMouseDown(album->RootPanel, mbRight, 0, 0, 0);
    EXPECT_EQ(window.ended, 0);
}

TEST_F(Album, MissingPictureOrMovieShowsBlackAndTrackThirteenReturns) {
    window.frames = 0;  // transitions that cannot start switch at once
    for (int entry : {5, 3}) {
        SCOPED_TRACE(entry);
        window.current = 7;  // another track plays, as after a movie
        album->PicturePanel->GetImage()->PSet(100, 100, 0xFFFFFF);
        album->SetCursor(entry);
        album->Decide();
        EXPECT_EQ(album->ViewState, TAlbumMenu::vsShowing);
        EXPECT_EQ(album->ShownKind, 0);
        EXPECT_EQ(PictureAt(100, 100), 0u);
        EXPECT_EQ(window.current, 13);
        album->ViewFrame(1, true);
        EXPECT_EQ(album->ViewState, TAlbumMenu::vsBrowsing);
    }
}

TEST_F(Album, CursorWrapsAroundTheGrid) {
    const struct {
        int from, direction, to;
    } cases[] = {{0, 0, 12}, {5, 0, 1}, {3, 2, 0}, {2, 2, 3}, {13, 4, 1}, {4, 4, 8},
                 {4, 6, 7},  {5, 6, 4}};
    for (const auto& c : cases) {
        album->SetCursor(c.from);
        album->MoveCursor(c.direction);
        EXPECT_EQ(album->Cursor, c.to) << c.from << " " << c.direction;
        EXPECT_EQ(album->LightPanel->GetOffsetX(), (c.to % 4) * 192 + 433);
    }
}

}  // namespace
