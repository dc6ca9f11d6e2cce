// Every screen's keys at the game's default frame rate ("Full"): about ten frames share each
// tick, so the frame in which a key is first seen carries no tick nine times in ten. Every
// press below lands in such a frame, and each must act there: the title call, the opening
// movie, the title, the load menu, the album, the music room, the configuration, the exit
// question, the story (click waits, the menu bar, the backlog, hidden windows, the save menu
// over the scene, the choice) and the battle (reels and selections).
#include "demo_monkey.h"
#include "flow/palbummenu.h"

namespace flowtest {
namespace {

constexpr Key kButton2{0x1F, 0x53};  // S: hide the windows
constexpr Key kButton3{0x1E, 0x41};  // A: the backlog, or play in silence in the music room

class KeysBetweenTicks : public DemoHarness {
  protected:
    void SetUp() override {
        DemoHarness::SetUp();
        UsePacing(Pacing::Full);
        // A player who has seen the ending: the title offers the music room too.
        SystemData sys;
        sys.SetFlag(63, true);
        for (int bit = 0; bit < 6; ++bit) sys.SetAlbumBit(bit);  // the album's pictures seen
        std::string bytes;
        ASSERT_TRUE(EncodeSystemSave(sys, ReadHistory(), bytes));
        WriteFile(dir.Host("SVSys.sav"), bytes);
    }

    // A press first seen in a frame without a tick, then a frame with the key released.
    void Hit(Key k) {
        PressAtZeroTicks(k);
        RunFrames(1);
    }

    // From the first start through the title call and the opening, skipped with OK.
    bool ToTitleByKeys() {
        Start(7);
        if (!RunUntil([] { return TitleMenu && TitleMenu->CallStep >= 0; }, 200)) return false;
        RunTicks(10);
        Hit(kOk);
        EXPECT_TRUE(RunUntil([] { return !TitleMenu || TitleMenu->CallStep < 0; }, 3))
            << "OK skips the title call";
        if (!RunUntil([this] { return MovieOpen() || OnTitle(); }, 300)) return false;
        if (MovieOpen()) {
            // Past the opening's guard against an early skip.
            for (int i = 0; i < 45 && MovieOpen(); ++i) {
                GiveMovieTime();
                RunTicks(1);
            }
            Hit(kOk);
            EXPECT_TRUE(RunUntil([this] { return !MovieOpen(); }, 3)) << "OK skips the opening";
        }
        // The title's first frames, in which the released OK is read as up.
        const bool title = RunUntil([this] { return OnTitle(); }, 600);
        RunTicks(2);
        return title;
    }

    // Walks the title cursor to an item with the cursor keys.
    bool TitleTo(int item) {
        for (int i = 0; i < 8 && TitleMenu->Cursor != item; ++i) {
            const int32_t before = TitleMenu->Cursor;
            Hit(item < before ? kUp : kDown);
            if (TitleMenu->Cursor == before) ADD_FAILURE() << "the title cursor did not move";
        }
        return TitleMenu->Cursor == item;
    }

    bool BackOnTitle() {
        return RunUntil([this] { return OnTitle(); }, 600);
    }
};

TEST_F(KeysBetweenTicks, TitleAndEveryMenuItOpens) {
    ASSERT_TRUE(ToTitleByKeys());
    ASSERT_EQ(TitleMenu->Cursor, 0);
    ASSERT_TRUE(TitleTo(1));
    ASSERT_TRUE(TitleTo(0));

    // The load menu: the first direction sets the cursor, the page keys turn the page.
    ASSERT_TRUE(TitleTo(1));
    Hit(kOk);
    ASSERT_TRUE(RunUntil(
        [this] { return SaveMenu && SaveMenu->RootPanel->GetParent() && Mode() == smMenu; }));
    RunTicks(20);
    EXPECT_EQ(SaveMenu->Cursor, -1);
    // Nothing saved yet: every slot of the page is empty and still shows where it is, its
    // thumbnail's place in another colour than the page beside it on the same row.
    for (int i = 0; i < TSaveMenu::kPerPage; ++i) {
        const TNyRGBPanel* t = SaveMenu->ThumbNail[i];
        const int x = t->GetOffsetX(), y = t->GetOffsetY() + t->GetSizeY() / 2;
        EXPECT_FALSE(SaveMenu->Shown[i]);
        EXPECT_NE(Seen(x + t->GetSizeX() / 2, y), Seen(x - 12, y)) << "slot " << i;
    }
    Hit(kDown);
    EXPECT_EQ(SaveMenu->Cursor, 0);
    Hit(kRight);
    EXPECT_EQ(SaveMenu->Cursor, 1);
    const int32_t page = SaveMenu->Page;
    Hit(page < 2 ? kPageNext : kPagePrev);
    EXPECT_EQ(SaveMenu->Page, page < 2 ? page + 1 : page - 1);
    Hit(kCancel);
    ASSERT_TRUE(BackOnTitle());

    // The album: the cursor moves, cancel leaves.
    ASSERT_TRUE(TitleTo(2));
    Hit(kOk);
    ASSERT_TRUE(RunUntil([this] { return AlbumMenu && AlbumMenu->SetUp && Mode() == smMenu; }));
    RunTicks(20);
    ASSERT_EQ(AlbumMenu->Cursor, 0);
    Hit(kRight);
    EXPECT_EQ(AlbumMenu->Cursor, 1);
    Hit(kLeft);
    ASSERT_EQ(AlbumMenu->Cursor, 0);
    // The first entry's one picture: OK shows it, OK again goes back to the grid.
    Hit(kOk);
    ASSERT_TRUE(RunUntil([] { return AlbumMenu->ViewState == TAlbumMenu::vsShowing; }, 200));
    RunTicks(5);
    Hit(kOk);
    EXPECT_NE(AlbumMenu->ViewState, TAlbumMenu::vsShowing);
    ASSERT_TRUE(RunUntil([] { return AlbumMenu->ViewState == TAlbumMenu::vsBrowsing; }, 200));
    Hit(kCancel);
    ASSERT_TRUE(BackOnTitle());

    // The music room: OK plays the track under the cursor and OK again stops it, button 3
    // plays it only in silence, the directions move the cursor, cancel leaves.
    ASSERT_TRUE(TitleTo(3));
    Hit(kOk);
    ASSERT_TRUE(RunUntil([this] { return SoundMenu && Mode() == smMenu; }));
    RunTicks(20);
    if (SoundMenu->Cursor < 0) Hit(kDown);
    const int32_t track = SoundMenu->Cursor;
    Hit(kDown);
    EXPECT_NE(SoundMenu->Cursor, track);
    Hit(kUp);
    ASSERT_EQ(SoundMenu->Cursor, track);
    Hit(kOk);
    EXPECT_EQ(SoundMenu->Playing, track);
    Hit(kOk);
    EXPECT_EQ(SoundMenu->Playing, -1);
    Hit(kButton3);
    EXPECT_EQ(SoundMenu->Playing, track);
    Hit(kCancel);
    ASSERT_TRUE(BackOnTitle());

    // The configuration: left and right move the music volume, down the item.
    ASSERT_TRUE(TitleTo(4));
    Hit(kOk);
    ASSERT_TRUE(RunUntil([this] {
        return ConfigMenu && ConfigMenu->RootPanel->GetParent() == form->RootPanel &&
               Mode() == smMenu;
    }));
    RunTicks(20);
    const int32_t volume = ConfigMenu->GetValue(0);
    Hit(volume > 0 ? kLeft : kRight);
    EXPECT_NE(ConfigMenu->GetValue(0), volume);
    const int32_t item = ConfigMenu->Item;
    Hit(kDown);
    EXPECT_EQ(ConfigMenu->Item, item + 1);
    Hit(kCancel);
    ASSERT_TRUE(BackOnTitle());

    // The exit question opens on no: right moves to yes, left back, OK on no closes it.
    ASSERT_TRUE(TitleTo(5));
    Hit(kOk);
    ASSERT_TRUE(RunUntil([] { return DlgUnit && DlgUnit->State == 1; }, 60));
    EXPECT_EQ(DlgUnit->Selection, 1);
    Hit(kRight);
    EXPECT_EQ(DlgUnit->Selection, 0);
    Hit(kLeft);
    EXPECT_EQ(DlgUnit->Selection, 1);
    Hit(kOk);
    EXPECT_TRUE(RunUntil([] { return !DlgUnit->IsVisible() && !DlgUnit->IsBusy(); }, 60));
    EXPECT_FALSE(Finished());
    EXPECT_TRUE(OnTitle());
}

TEST_F(KeysBetweenTicks, StoryAndBattle) {
    ASSERT_TRUE(ToTitleByKeys());
    ASSERT_EQ(TitleMenu->Cursor, 0);
    Hit(kOk);
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }))
        << "mode " << int(Mode()) << " scene state " << int(SceneState()) << " finished "
        << Finished() << " frames " << gate.Frames() << " title " << (TitleMenu != nullptr)
        << " avg " << (AvgUnit != nullptr) << " on title " << OnTitle() << " waitEnded "
        << form->WaitEnded.load();

    // OK at a click wait reads on.
    auto readOn = [this] {
        const uint32_t pc = CurrentState.Pc;
        Hit(kOk);
        return RunUntil([&] { return SceneState() != asClickWait || CurrentState.Pc != pc; }, 2);
    };
    EXPECT_TRUE(readOn());
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));

    // The menu bar: F5 opens it, down moves its cursor, cancel closes it.
    Hit(kMenuKey);
    EXPECT_NE(AvgUnit->MenuBarState, 0);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->MenuBarState == 2; }, 60));
    const int32_t barAt = AvgUnit->Windows->MenuCursor();
    Hit(kDown);
    EXPECT_NE(AvgUnit->Windows->MenuCursor(), barAt);
    Hit(kCancel);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->OverlayLevel == 0; }, 60));

    // The backlog: button 3 opens it, cancel closes it.
    Hit(kButton3);
    EXPECT_NE(AvgUnit->BacklogState, 0);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->BacklogState == 2; }, 60));
    Hit(kCancel);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->OverlayLevel == 0; }, 60));

    // Hidden windows: button 2 hides them, cancel brings them back.
    Hit(kButton2);
    EXPECT_NE(AvgUnit->HideState, 0);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->HideState == 2; }, 60));
    Hit(kCancel);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->OverlayLevel == 0; }, 60));

    // The save menu over the scene (a right click opens it) takes its keys through the scene.
    UserSettings.RightClickType = 3;
    InputRecord right;
    right.kind = InputRecord::MouseDown;
    right.x = 640, right.y = 620, right.button = mbRight;
    form->PushInput(right);
    right.kind = InputRecord::MouseUp;
    form->PushInput(right);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->SaveMenuState == 2; }, 100));
    RunTicks(5);
    Hit(kDown);
    EXPECT_EQ(SaveMenu->Cursor, 0);
    Hit(kCancel);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->SaveMenuState == 0; }, 100));
    UserSettings.RightClickType = 0;
    // The menu bar comes back once the save menu has closed; cancel takes it away.
    for (int i = 0; i < 6 && AvgUnit->OverlayLevel != 0; ++i) {
        RunUntil(
            [] {
                return AvgUnit->OverlayLevel == 0 ||
                       (AvgUnit->MenuBarState == 2 && !AvgUnit->Windows->MenuIsMoving());
            },
            100);
        if (AvgUnit->OverlayLevel != 0) Hit(kCancel);
    }
    ASSERT_EQ(AvgUnit->OverlayLevel, 0);

    // On to the first battle: every click wait read on, the choice made with the keys.
    int reads = 0, lost = 0;
    bool chose = false;
    for (int i = 0; i < 400 && !InBattle(); ++i) {
        if (!RunUntil([this] {
                return InBattle() || SceneState() == asClickWait || SceneState() == asChoiceWaiting;
            }))
            break;
        if (SceneState() == asChoiceWaiting) {
            const int32_t before = AvgUnit->Windows->SelectIndex();
            Hit(kDown);
            EXPECT_NE(AvgUnit->Windows->SelectIndex(), before);
            Hit(kOk);
            EXPECT_NE(SceneState(), asChoiceWaiting) << "OK takes the choice";
            chose = true;
        } else if (SceneState() == asClickWait && AvgUnit->OverlayLevel == 0) {
            readOn() ? ++reads : ++lost;
        }
    }
    EXPECT_TRUE(chose);
    EXPECT_EQ(lost, 0) << reads << " click waits read on";
    ASSERT_TRUE(InBattle());

    // The reels: each OK while a reel takes it stops that reel; selections take the keys.
    int stops = 0, selections = 0;
    for (int f = 0; f < 40000 && InBattle(); ++f) {
        const BattleCore& c = BattleUnit->Core();
        int spinning = -1;
        for (int r = 0; r < 3; ++r)
            if (c.reels[r].state == 3 && (r == 0 || c.reels[r - 1].state == 0)) spinning = r;
        const bool select =
            (c.state == 4 && (c.step == 2 || c.step == 7)) || (c.state == 5 && c.step == 2);
        if (c.state == 2 && c.step == 0 && spinning >= 0 && ToZeroTickFrame() &&
            c.reels[spinning].state == 3) {
            Hit(kOk);
            EXPECT_NE(c.reels[spinning].state, 3) << "reel " << spinning;
            ++stops;
        } else if (select && c.selected != 0) {
            const int32_t was = c.selected;
            Hit(kDown);
            EXPECT_NE(c.selected, was);
        } else if (select) {
            const int32_t step = c.step, state = c.state;
            Hit(kOk);
            EXPECT_TRUE(c.step != step || c.state != state) << "OK answers the selection";
            ++selections;
        } else {
            RunFrames(1);
        }
    }
    EXPECT_GE(stops, 3) << selections << " selections answered";
    EXPECT_EQ(stops % 3, 0) << "every round stops its three reels";
    EXPECT_TRUE(RunUntil([this] { return Mode() == smAdventure; }, 600));
}

}  // namespace
}  // namespace flowtest
