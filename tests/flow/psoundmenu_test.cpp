// The album and music tables, and the music room driven through its actions with a scripted
// music channel.
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <string>
#include <vector>

#include "flow/menucommon.h"
#include "flow/pmenuservices.h"
#include "flow/pmenutables.h"
#include "flow/psoundmenu.h"
#include "foundation/zrfileman.h"
#include "game/gamedata.h"
#include "tempdir.h"
#include "widgets/nyrgbanime.h"
#include "widgets/nyrgbtext.h"

namespace {

std::vector<int> Taken(const AlbumEntry& e) { return {e.Numbers, e.Numbers + e.Count}; }

bool ReadAlbum(const std::string& rows, SystemData& sys, bool all, AlbumEntry (&out)[39]) {
    std::string text = "name,#e,#a,#b,#c,#d,#e,#f,#g,#h,#i,#j,!\r\n" + rows;
    ZRMemoryStream s(text.data(), static_cast<int>(text.size()));
    return ReadAlbumTable(&s, sys, all, out);
}

TEST(MenuTables, AlbumRowsTakeUnlockedNumbersUpToEight) {
    const struct {
        const char* rows;
        std::vector<int> bits;
        bool all, flag63;
        int entry;
        std::vector<int> taken;
        bool movie;
    } cases[] = {
        // The 0 ends the list even with its last number unlocked.
        {"#r,5,520,0,530\r\n", {20, 30}, false, false, 5, {520}, false},
        {"#r,5,520,0,530\r\n", {}, false, false, 5, {}, false},
        {"#r,5,520,0,530\r\n", {}, true, false, 5, {520}, false},
        {"#r,1,500,501,502,503,504,505,506,507,508,509\r\n", {}, true, false, 1,
         {500, 501, 502, 503, 504, 505, 506, 507}, false},
        // Locked numbers are passed over, not counted.
        {"#r,2,500,501,502\r\n", {0, 2}, false, false, 2, {500, 502}, false},
        // Below 500 there is no unlock bit: only all-shown lists them.
        {"#r,3,12,500\r\n", {0}, false, false, 3, {500}, false},
        {"#r,3,12,500\r\n", {}, true, false, 3, {12, 500}, false},
        // The ending's flag unlocks 690 and 691 before the table is read.
        {"#r,38,690,691\r\n", {}, false, true, 38, {690, 691}, true},
        {"#r,38,690,691\r\n", {}, false, false, 38, {}, false},
        {"#r,4,680\r\n", {180}, false, false, 4, {680}, true},
        // A later row replaces the earlier one; rows outside 0-38 are ignored.
        {"#r,6,500\r\n#s,6,501\r\n#t,39,500\r\n#u,-1,500\r\n", {0, 1}, false, false, 6, {501},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rows);
        SystemData sys;
        for (int b : c.bits) sys.SetAlbumBit(b);
        sys.SetFlag(63, c.flag63);
        AlbumEntry entries[39];
        ASSERT_TRUE(ReadAlbum(c.rows, sys, c.all, entries));
        EXPECT_EQ(Taken(entries[c.entry]), c.taken);
        EXPECT_EQ(entries[c.entry].Movie, c.movie);
        int others = 0;
        for (int i = 0; i < 39; ++i)
            if (i != c.entry) others += entries[i].Count;
        EXPECT_EQ(others, 0);
    }
    // No table: every entry empty, the ending's bits still set.
    SystemData sys;
    sys.SetFlag(63, true);
    AlbumEntry entries[39];
    entries[0].Count = 3;
    EXPECT_FALSE(ReadAlbumTable(nullptr, sys, true, entries));
    EXPECT_EQ(entries[0].Count, 0);
    EXPECT_TRUE(sys.GetAlbumBit(190) && sys.GetAlbumBit(191));
    EXPECT_EQ(std::string(AlbumItemName(680).c_str()), "Movie\\SVOP.sfd");
    EXPECT_EQ(std::string(AlbumItemName(681).c_str()), "Movie\\SVED.sfd");
    EXPECT_EQ(std::string(AlbumItemName(685).c_str()), "Movie\\SV04.sfd");
    EXPECT_EQ(std::string(AlbumItemName(503).c_str()), "bg503");
}

std::string Tracks(int n, int first = 1) {
    std::string t = "name,#track,#title,!\r\n";
    for (int i = 0; i < n; ++i)
        t += "#r," + std::to_string(first + i) + ",Title " + std::to_string(first + i) + "\r\n";
    return t;
}

TEST(MenuTables, SoundRowsBelowOneAndPastFiftyAreDropped) {
    std::string text = "name,#track,#title,!\r\n#a,0,zero\r\n#b,-4,neg\r\n#c,7,seven\r\n";
    for (int i = 0; i < 60; ++i) text += "#x," + std::to_string(10 + i) + ",t\r\n";
    ZRMemoryStream s(text.data(), static_cast<int>(text.size()));
    SoundTable table;
    ASSERT_TRUE(ReadSoundTable(&s, table));
    // The 50 rows read hold two skipped ones: 48 tracks, the last from the 50th row.
    ASSERT_EQ(table.Count, 48);
    EXPECT_EQ(table.Tracks[0], 7);
    EXPECT_EQ(std::string(table.Titles[0].c_str()), "seven");
    EXPECT_EQ(table.Tracks[47], 10 + 46);
    EXPECT_FALSE(ReadSoundTable(nullptr, table));
    EXPECT_EQ(table.Count, 0);
}

// A music channel whose tracks play until the test ends them.
class FakeChannel : public MenuServices {
  public:
    bool PlayBGM(int32_t track, bool, bool) override {
        tried.push_back(track);
        if (missing.count(track)) return false;
        current = track;
        playing = true;
        return true;
    }
    void StopBGM(bool fade) override {
        playing = false;
        stops += fade ? "F" : "N";
    }
    bool IsBGMPlaying() override { return playing; }
    int32_t GetBGMTrack() override { return current; }
    void PlaySysSE(int32_t n) override { sounds.push_back(n); }
    void EndWait(int32_t r) override { ended = r; }

    std::set<int> missing;
    std::vector<int> tried, sounds;
    std::string stops;
    int current = 0, ended = -99;
    bool playing = false;
};

class MusicRoom : public ::testing::Test {
  protected:
    void Open(int tracks) {
        dir.Write("SoundTbl.csv", Tracks(tracks));
        ASSERT_TRUE(files.InitDir(dir.Host().c_str()));
        ASSERT_TRUE(room.Setup(&files));
        room.LoadTable();
        room.Prepare();
    }
    TempDir dir;
    ZRFileMan files;
    FakeChannel channel;
    TSoundMenu room{&channel};
};

TEST_F(MusicRoom, FiftyTracksScrollToTopFortyThreeAndTheArrowGoes) {
    Open(50);
    EXPECT_FALSE(room.SoundUp->GetVisible());
    EXPECT_TRUE(room.SoundDown->GetVisible());
    // The wheel scrolls a row a notch, down for a turn towards the player; a turn of nothing
    // scrolls nothing.
    for (const auto& [delta, top] : {std::pair{-120, 1}, {0, 1}, {120, 0}}) {
        bool handled = false;
        room.RootPanel->MouseWheel(0, delta, TPoint{640, 360}, handled);
        EXPECT_TRUE(handled);
        EXPECT_EQ(room.Top, top) << delta;
    }
    EXPECT_EQ(channel.sounds, (std::vector<int>{menu::seCursor, menu::seCursor}));
    channel.sounds.clear();
    room.SetCursor(6);
    for (int i = 0; i < 60; ++i) room.MoveCursor(4);
    EXPECT_EQ(room.Top, 43);
    EXPECT_EQ(room.Cursor, 6);
    EXPECT_FALSE(room.SoundDown->GetVisible());
    EXPECT_TRUE(room.SoundUp->GetVisible());
    EXPECT_EQ(channel.sounds.size(), 43u);  // one cursor sound per scroll, none at the end
    room.Choose();
    EXPECT_EQ(channel.current, 50);  // top + row
    EXPECT_TRUE(room.SoundFlag->GetVisible());
    EXPECT_EQ(room.SoundFlag->GetOffsetY(), 148 + 6 * 65);
    room.ShowList(0);
    EXPECT_FALSE(room.SoundFlag->GetVisible());
}

TEST_F(MusicRoom, ShortAndEmptyTablesListFromTheFirstAndBlankTheRest) {
    const struct {
        int tracks;
        int lastRow;  // the lowest row the cursor reaches, -1 none
    } cases[] = {{3, 2}, {0, -1}, {7, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tracks);
        FakeChannel ch;
        TSoundMenu r{&ch};
        TempDir d;
        d.Write("SoundTbl.csv", Tracks(c.tracks));
        ZRFileMan f;
        ASSERT_TRUE(f.InitDir(d.Host().c_str()));
        ASSERT_TRUE(r.Setup(&f));
        r.LoadTable();
        EXPECT_EQ(r.Top, 0);
        EXPECT_EQ(r.Cursor, c.lastRow < 0 ? -1 : 0);
        for (int i = 0; i < 10; ++i) r.MoveCursor(4);
        EXPECT_EQ(r.Cursor, c.lastRow);
        EXPECT_FALSE(r.SoundDown->GetVisible());
        for (int row = 0; row < 7; ++row)
            EXPECT_EQ(r.SoundName[row]->GetText().IsEmpty(), row >= c.tracks) << row;
        r.SetCursor(6);
        r.Choose();
        EXPECT_EQ(ch.tried.size(), c.tracks >= 7 ? 1u : 0u);
        r.Release();
    }
}

TEST_F(MusicRoom, ChoosingPlayingStopsAndButtonThreeOnlyInSilence) {
    Open(9);
    room.SetCursor(2);
    room.Choose();
    EXPECT_EQ(room.Playing, 2);
    EXPECT_EQ(room.Mode, 2);
    room.SetCursor(4);
    room.PlayCursorInSilence();  // music plays: nothing
    EXPECT_EQ(channel.current, 3);
    room.SetCursor(2);
    room.Choose();  // the playing track again: fade out
    EXPECT_EQ(room.Playing, -1);
    EXPECT_EQ(channel.stops, "F");
    EXPECT_FALSE(room.SoundFlag->GetVisible());
    room.PlayCursorInSilence();
    EXPECT_EQ(channel.current, 3);
    EXPECT_EQ(room.Playing, 2);
    EXPECT_TRUE(channel.sounds.empty());  // choosing makes no sound
}

TEST_F(MusicRoom, ContinuousPlayWrapsAndPassesTracksThatDoNotStart) {
    Open(9);
    room.SetCursor(6);
    room.Choose();
    ASSERT_EQ(room.Playing, 6);
    room.SoundPanelAnime();  // still playing
    EXPECT_EQ(channel.tried.size(), 1u);
    channel.missing = {8, 9, 1};
    channel.playing = false;  // track 7 ends: 8 and 9 are missing, then 1 wraps and fails too
    room.SoundPanelAnime();
    EXPECT_EQ(room.Playing, 1);
    EXPECT_EQ(channel.current, 2);
    EXPECT_EQ(channel.tried, (std::vector<int>{7, 8, 9, 1, 2}));
    // None can start: the search stops once and the room falls silent.
    for (int t = 1; t <= 9; ++t) channel.missing.insert(t);
    channel.tried.clear();
    channel.playing = false;
    room.SoundPanelAnime();
    EXPECT_EQ(channel.tried.size(), 9u);
    EXPECT_EQ(room.Playing, -1);
    EXPECT_FALSE(room.SoundFlag->GetVisible());
    channel.tried.clear();
    room.SoundPanelAnime();
    EXPECT_TRUE(channel.tried.empty());
    // A missing track chosen shows nothing playing.
    room.SetCursor(0);
    room.Choose();
    EXPECT_EQ(room.Playing, -1);
    EXPECT_FALSE(room.SoundFlag->GetVisible());
}

TEST_F(MusicRoom, LeavingSoundsCancelAndEndsTheWait) {
    Open(3);
    room.Leave();
    EXPECT_EQ(channel.ended, 0);
    EXPECT_EQ(channel.sounds, (std::vector<int>{menu::seCancel}));
}

}  // namespace
