// The album driven through its steps with a scripted window: pages, locked entries, pictures
// one after another through the transitions, the music it brings back, and what a missing
// picture or movie shows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
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

// Half way through the cross-fade to the next page each position has its own level, from its
// row plus its column: at the cursor the old picture fades into the new one, elsewhere the old
// one fades out and the new one in over the background so that the pair stays at half
// strength.
TEST_F(Album, ThumbnailsCrossFadeByRowPlusColumnAndAtTheCursor) {
    constexpr uint32_t kGround = 0x203040, kOld = 0xF00000, kNew = 0x0000F0;
    album->ShowPage(0);  // the same page: the fade of the first showing ends
    ASSERT_EQ(album->FadeCounter, -1);
    album->ShowPage(1);
    ASSERT_EQ(album->FadeCounter, 0);
    for (int i : {0, 3, 5, 7}) ASSERT_TRUE(album->Shown[i] && album->Fading[i]) << i;
    for (int i = 0; i < 16; ++i) {
        album->Previous[i]->BoxFill(0, 0, 166, 92, kOld);
        album->Current[i]->BoxFill(0, 0, 166, 92, kNew);
    }
    // rate / 128 of the way from a to b, channel by channel.
    auto blend = [](uint32_t a, uint32_t b, int rate) {
        uint32_t out = 0;
        for (int shift : {0, 8, 16}) {
            const int ca = int((a >> shift) & 0xFF), cb = int((b >> shift) & 0xFF);
            out |= uint32_t(ca + (cb - ca) * rate / 128) << shift;
        }
        return out;
    };
    auto near = [](uint32_t got, uint32_t want) {
        for (int shift : {0, 8, 16}) {
            const int d = int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF);
            if (d < -2 || d > 2) return false;
        }
        return true;
    };
    const struct {
        int counter, cursor, position;
    } cases[] = {
        {6, 0, 0}, {6, 0, 3}, {6, 0, 7}, {6, 0, 5}, {6, 7, 7}, {6, 7, 0}, {4, 0, 7}, {9, 0, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "fade " << c.counter << ", cursor " << c.cursor
                                        << ", position " << c.position);
        album->FadeCounter = c.counter;
        album->SetCursor(c.cursor);
        const int delay = c.position / 4 + c.position % 4;
        const int level = std::clamp(c.counter - delay, 0, 8) * 16;
        uint32_t want;
        if (c.position == c.cursor) {
            want = blend(kOld, kNew, level);
        } else {
            want = blend(kGround, kOld, (128 - level) * 128 / (256 - level));
            want = blend(want, kNew, level / 2);
        }
        TNyRGBBits shot(nullptr);
        shot.SetBitDepth(bd32);
        shot.SetPixFormat(pf32_888);
        shot.SetWidth(167);
        shot.SetHeight(93);
        ASSERT_TRUE(shot.Create());
        shot.BoxFill(0, 0, 166, 92, kGround);
        album->ThumbNail[c.position]->Draw(&shot, 0, 0);
        const uint32_t got = shot.PGet(80, 40) & 0xFFFFFF;
        EXPECT_PRED2(near, got, want) << std::hex << got << " " << want;
    }
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
