// The title, the dialog, the configuration menu and the save menu driven as the player does:
// keys and clicks through the whole game in lock step, the system sounds recorded.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "flow/menucommon.h"
#include "flow_harness.h"
#include "game/gamefunc.h"
#include "platform/atomicfile.h"
#include "platform/hostfs.h"
#include "scenes/subwinu.h"
#include "widgets/nyrgbtext.h"

namespace flowtest {
namespace {

class Menus : public FlowHarness {
  protected:
    void SetUp() override {
        FlowHarness::SetUp();
        menu::SoundTrace = &sounds;
        WriteGame({Scene(0, "GameStart", "TextShow\nText \"Hi\"\nKeyWait\nEXIT")});
    }
    void TearDown() override {
        FlowHarness::TearDown();
        menu::SoundTrace = nullptr;
    }
    // Starts the game and skips the title call; true once the title waits.
    bool ToTitle() {
        Start();
        if (!InTitleCall()) return false;
        Tap(kOk);
        return RunUntil([this] { return OnTitle(); }, 400);
    }
    // Runs until the title call waits for the player.
    bool InTitleCall() {
        const bool in = RunUntil([] { return TitleMenu && TitleMenu->CallStep >= 0; }, 100);
        RunFrames(2);
        return in;
    }
    // The sounds played since the last call.
    std::vector<int32_t> Sounds() {
        std::vector<int32_t> s;
        s.swap(sounds);
        return s;
    }
    // Moves the title cursor down from start, n times.
    void TitleDowns(int n) {
        for (int i = 0; i < n; ++i) Tap(kDown);
    }
    std::vector<int32_t> sounds;
};

TEST_F(Menus, TitleCallIsSkippedAndOnlyTheFirstVisitHasOne) {
    Start();
    ASSERT_TRUE(InTitleCall());
    Tap(kOk);
    // The title follows at once, far sooner than the call's three pauses of two seconds.
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }, 120));
    EXPECT_LT(TitleMenu->CallStep, 0);
}

TEST_F(Menus, TitleCursorSkipsTheHiddenMusicRoomAndWraps) {
    ASSERT_TRUE(ToTitle());
    // The build-time texts are made with the title, with their buffers, and never shown.
    for (TNyRGBText* t : {TitleMenu->ExeTimeText, TitleMenu->ScrTimeText}) {
        EXPECT_TRUE(t->HasBuffer() && !t->GetVisible() && !t->GetMouseControl());
        EXPECT_EQ(t->GetParent(), TitleMenu->TitleBack);
    }
    EXPECT_STREQ(TitleMenu->ScrTimeText->GetText().c_str(), "SCR 2003/01/01 00:00");
    EXPECT_FALSE(TitleMenu->BtnSound->GetVisible());
    EXPECT_EQ(TitleMenu->Cursor, 0);
    struct Step {
        Key key;
        int32_t cursor;
    };
    // Up from start wraps to exit; down from album skips the music room.
    const Step steps[] = {{kUp, 5},   {kDown, 0}, {kDown, 1}, {kDown, 2},
                          {kDown, 4}, {kUp, 2},   {kLeft, 2}};
    for (const Step& s : steps) {
        Tap(s.key);
        EXPECT_EQ(TitleMenu->Cursor, s.cursor);
    }
    const std::vector<int32_t> cursorSounds(6, menu::seCursor);
    EXPECT_EQ(Sounds(), cursorSounds);  // left on the title moves nothing and is silent
}

TEST_F(Menus, TitleAsksForTheOpeningAfter900IdleTicksDespiteMoves) {
    ASSERT_TRUE(ToTitle());
    TTitleMenu* first = TitleMenu;
    const int64_t start = gate.Frames();
    for (int i = 0; i < 1000 && TitleMenu == first && OnTitle(); ++i) {
        if (i % 100 == 50)
            Tap(kDown);
        else
            RunFrames(1);
    }
    const int64_t frames = gate.Frames() - start;
    EXPECT_GE(frames, 895);
    EXPECT_LE(frames, 905);
}

TEST_F(Menus, ExitQuestionOpensOnNoIsDeafWhileOpeningAndQuitsOnlyAfterClosing) {
    ASSERT_TRUE(ToTitle());
    Tap(kUp);  // exit
    Sounds();
    Tap(kOk);
    ASSERT_NE(DlgUnit, nullptr);
    EXPECT_EQ(Sounds(), std::vector<int32_t>{menu::seOpen});
    EXPECT_EQ(DlgUnit->State, 2);
    EXPECT_LT(TitleMenu->IdleCounter, 0);
    // Deaf while it opens: a decision now would answer nothing.
    Tap(kOk);
    EXPECT_TRUE(Sounds().empty());
    ASSERT_TRUE(RunUntil([] { return DlgUnit->State == 1; }, 10));
    EXPECT_EQ(DlgUnit->Selection, 1);
    // The title's own handlers are paused: down does not move its cursor.
    Tap(kDown);
    EXPECT_EQ(TitleMenu->Cursor, 5);
    // No: the dialog closes, the title waits again with its idle count restarted.
    Tap(kOk);
    EXPECT_EQ(Sounds(), std::vector<int32_t>{menu::seOK});
    ASSERT_TRUE(RunUntil([] { return !DlgUnit->IsVisible() && !DlgUnit->IsBusy(); }, 10));
    EXPECT_EQ(DlgUnit->RootPanel->GetParent(), nullptr);
    EXPECT_GE(TitleMenu->IdleCounter, 0);
    EXPECT_LT(TitleMenu->IdleCounter, 20);
    EXPECT_FALSE(Finished());
    // Yes: the game ends only once the dialog has closed.
    Tap(kOk);
    ASSERT_TRUE(RunUntil([] { return DlgUnit->State == 1; }, 10));
    Tap(kRight);
    EXPECT_EQ(DlgUnit->Selection, 0);
    Tap(kOk);
    EXPECT_TRUE(DlgUnit->GetAnswer());
    EXPECT_EQ(DlgUnit->State, 3);
    EXPECT_FALSE(Finished());
    EXPECT_TRUE(RunUntil([this] { return Finished(); }, 40));
}

TEST_F(Menus, ConfigurationSlidesKeysStopAtTheEndsAndTheSettingsAreWritten) {
    ASSERT_TRUE(ToTitle());
    TitleDowns(3);  // the hidden music room is skipped
    EXPECT_EQ(TitleMenu->Cursor, 4);
    Tap(kOk);
    ASSERT_TRUE(RunUntil([this] {
        return ConfigMenu && ConfigMenu->RootPanel->GetParent() == form->RootPanel &&
               Mode() == smMenu;
    }));
    struct Slide {
        int row;
        int x;
        int32_t value;
    };
    // Presses at the far ends of each slide area, which starts at x 642, 7 below its row.
    const Slide slides[] = {{0, 642 + 9, 0},     {0, 642 + 192, 100}, {1, 642, 0},
                            {2, 642 + 200, 100}, {3, 642 + 195, 200}, {3, 642 + 100, 99}};
    for (const Slide& s : slides) {
        Click(s.x, 202 + 70 * s.row + 7 + 10);
        RunFrames(1);
        EXPECT_EQ(ConfigMenu->GetValue(s.row), s.value) << s.row << " at " << s.x;
        EXPECT_EQ(ConfigMenu->Item, s.row);
    }
    EXPECT_EQ(form->VolumeRear, 100);  // the effects slider carries the rear volume
    // Keys stop at the ends: music at 0 does not go lower.
    Tap(kUp), Tap(kUp), Tap(kUp);
    ASSERT_EQ(ConfigMenu->Item, 0);
    Click(642, 209 + 10);
    RunFrames(1);
    Sounds();
    Tap(kLeft);
    EXPECT_EQ(ConfigMenu->GetValue(0), 0);
    EXPECT_TRUE(Sounds().empty());
    Tap(kRight);
    EXPECT_EQ(ConfigMenu->GetValue(0), 1);
    // Text speed at its right end means the fastest text.
    Click(642 + 195, 412 + 17);
    RunFrames(1);
    EXPECT_EQ(UserSettings.UserTextSpeed, 0);
    // Down stops at the reset item; deciding there restores the defaults.
    for (int i = 0; i < 7; ++i) Tap(kDown);
    EXPECT_EQ(ConfigMenu->Item, 5);
    Tap(kOk);
    EXPECT_EQ(ConfigMenu->GetValue(0), 50);
    EXPECT_EQ(ConfigMenu->GetValue(2), 80);
    EXPECT_EQ(UserSettings.UserTextSpeed, 100);
    Click(642 + 195, 412 + 17);
    RunFrames(1);
    // Closing writes the user settings; the title comes back.
    Tap(kCancel);
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    UserConfig read;
    read.Load();
    EXPECT_EQ(read.UserTextSpeed, 0);
}

TEST_F(Menus, ScreenSwitchRequestsReachTheWindow) {
    for (const char* b : {"CfgBtnOnD.png", "CfgBtnOnL.png", "CfgBtnOffD.png", "CfgBtnOffL.png"})
        WritePicture(Data(b), 100, 40, 0x808080);
    ASSERT_TRUE(ToTitle());
    TitleDowns(3);  // the hidden music room is skipped
    EXPECT_EQ(TitleMenu->Cursor, 4);
    Tap(kOk);
    ASSERT_TRUE(RunUntil([this] { return ConfigMenu && Mode() == smMenu; }));
    if (!Has720Mode && !HasTallMode) {
        for (int i = 0; i < 4; ++i) Tap(kDown);
        ASSERT_EQ(ConfigMenu->Item, 4);
        Sounds();
        Tap(kLeft);
        RunFrames(2);
        EXPECT_EQ(Sounds(), std::vector<int32_t>{menu::seOK});
        EXPECT_EQ(DisplayKind, kDisplayWindow);
        EXPECT_FALSE(ConfigMenu->FullOnD->GetEnabled());
        return;
    }
    // A click on On asks for full screen without a sound; the keys play the cursor sound.
    Sounds();
    Click(641 + 10, 488 + 10);
    RunFrames(1);
    EXPECT_TRUE(Sounds().empty());
    EXPECT_TRUE(RunUntil([] { return DisplayKind == (HasTallMode ? 1 : 0); }, 30));
    for (int i = 0; i < 4; ++i) Tap(kDown);
    ASSERT_EQ(ConfigMenu->Item, 4);
    Sounds();
    Tap(kLeft);  // already full screen: nothing
    EXPECT_TRUE(Sounds().empty());
    Tap(kRight);
    EXPECT_EQ(Sounds(), std::vector<int32_t>{menu::seCursor});
    EXPECT_TRUE(RunUntil([] { return DisplayKind == kDisplayWindow; }, 30));
}

// A slot file with the stage and a thumbnail whose bytes count up.
void WriteSlot(int32_t slot, int32_t stage, uint32_t thumbSize) {
    CurrentState.Reset();
    CurrentState.SetStage(stage);
    std::vector<uint8_t> thumb(kThumbnailMaxSize);
    for (size_t i = 0; i < thumb.size(); ++i) thumb[i] = uint8_t(i * 7 + slot);
    ASSERT_TRUE(thumbSize ? SaveGameSlotThumb(slot, thumb.data(), thumbSize) : SaveGameSlot(slot));
}

TEST_F(Menus, SlotRecordsCopyOnlyWholeThumbnailsAndRefuseBrokenFiles) {
    WriteSlot(1, 0, kThumbnailMaxSize);
    WriteSlot(2, 0, 0);
    WriteSlot(3, 0, 100);
    struct Case {
        int32_t slot;
        bool whole;
    };
    for (const Case& c : {Case{1, true}, Case{2, false}, Case{3, false}}) {
        std::string bytes;
        ASSERT_TRUE(plat::ReadWholeFile(plat::ToHost(SlotSavePath(c.slot).c_str()), bytes));
        SlotRecord r;
        r.thumb.fill(0xEE);
        ASSERT_TRUE(
            ReadSlotRecord(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), r));
        EXPECT_EQ(r.title.Length() > 0, true);
        EXPECT_EQ(r.thumb[5], c.whole ? uint8_t(5 * 7 + c.slot) : 0) << c.slot;
        EXPECT_EQ(r.thumb[kThumbnailMaxSize - 1],
                  c.whole ? uint8_t((kThumbnailMaxSize - 1) * 7 + c.slot) : 0);
        // A cut file is refused and leaves the record alone.
        r.title = "kept";
        EXPECT_FALSE(
            ReadSlotRecord(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size() / 2, r));
        EXPECT_EQ(r.title, ZRString("kept"));
    }
}

// A page's records read two at a time match those read one by one, for an odd count with a
// broken file among them.
TEST_F(Menus, PageRecordsReadAsOneByOne) {
    WriteSlot(1, 0, kThumbnailMaxSize);
    WriteSlot(2, 0, 0);
    WriteSlot(3, 0, 100);
    std::string files[5];
    for (int32_t slot = 1; slot <= 3; ++slot)
        ASSERT_TRUE(plat::ReadWholeFile(plat::ToHost(SlotSavePath(slot).c_str()), files[slot - 1]));
    files[3] = files[0].substr(0, files[0].size() - 1);
    files[4] = files[2];
    SlotRecord got[5];
    bool read[5];
    ReadSlotRecords(files, 5, got, read);
    for (int i = 0; i < 5; ++i) {
        SlotRecord want;
        const bool ok = ReadSlotRecord(reinterpret_cast<const uint8_t*>(files[i].data()),
                                       files[i].size(), want);
        ASSERT_EQ(read[i], ok) << i;
        EXPECT_EQ(got[i].title, want.title) << i;
        EXPECT_EQ(got[i].thumb, want.thumb) << i;
    }
}

TEST_F(Menus, LoadMenuWrapsPagesWaitsForACursorAndLoadsOnlyWhatExists) {
    WriteSlot(2, 0, kThumbnailMaxSize);
    WriteSlot(5, 0, kThumbnailMaxSize);
    // Equal file times: the higher slot is the newest.
    struct timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
    for (int s : {2, 5})
        ASSERT_EQ(utimensat(AT_FDCWD, dir.Host(s == 2 ? "SV02.sav" : "SV05.sav").c_str(), times, 0),
                  0);
    CurrentState.Reset();
    UsePacing(Pacing::Full);
    ASSERT_TRUE(ToTitle());
    TitleDowns(1);
    Tap(kOk);
    ASSERT_TRUE(RunUntil(
        [this] { return SaveMenu && SaveMenu->RootPanel->GetParent() && Mode() == smMenu; }));
    EXPECT_EQ(SaveMenu->Newest, 4);
    EXPECT_TRUE(SaveMenu->NewIcon->GetVisible());
    // No cursor after the open: deciding does nothing until a direction sets one.
    EXPECT_EQ(SaveMenu->Cursor, -1);
    Sounds();
    Tap(kOk);
    EXPECT_TRUE(Sounds().empty());
    struct Step {
        Key key;
        int32_t cursor;
        int32_t page;
    };
    const Step steps[] = {{kDown, 0, 0},     {kUp, 8, 0},       {kDown, 0, 0},
                          {kLeft, 3, 0},     {kRight, 0, 0},    {kPagePrev, 0, 0},
                          {kPageNext, 0, 1}, {kRight, 1, 1},    {kPageNext, 0, 2},
                          {kPageNext, 0, 2}, {kPagePrev, 0, 1}, {kPagePrev, 0, 0}};
    for (const Step& s : steps) {
        Tap(s.key);
        EXPECT_EQ(SaveMenu->Cursor, s.cursor);
        EXPECT_EQ(SaveMenu->Page, s.page);
    }
    // Page buttons at the ends are silent: ten cursor sounds for twelve presses.
    EXPECT_EQ(Sounds(), std::vector<int32_t>(10, menu::seCursor));
    // An empty slot does not load; the menu stays.
    Tap(kOk);
    EXPECT_EQ(Sounds(), std::vector<int32_t>{menu::seError});
    EXPECT_NE(SaveMenu, nullptr);
    // Slot 2 (cursor 1) loads and the game leaves the title.
    Tap(kRight);
    Sounds();
    Tap(kOk);
    EXPECT_EQ(Sounds(), std::vector<int32_t>{menu::seOK});
    EXPECT_TRUE(RunUntil([] { return TitleMenu == nullptr; }, 200));
}

}  // namespace
}  // namespace flowtest

namespace flowtest {
namespace {

class InGame : public Menus {
  protected:
    void RightClick(int x = 640, int y = 620) {  // on the message window
        InputRecord down;
        down.kind = InputRecord::MouseDown;
        down.x = x, down.y = y, down.button = mbRight;
        InputRecord up = down;
        up.kind = InputRecord::MouseUp;
        form->PushInput(down);
        form->PushInput(up);
        RunFrames(1);
    }
    bool InScene() {
        if (!ToTitle()) return false;
        Click();  // the start button
        const bool in = RunUntil(
            [this] { return AvgUnit && Mode() == smAdventure && SceneState() == asClickWait; });
        if (!in)
            ADD_FAILURE() << "screen mode " << int(Mode()) << ", scene state " << int(SceneState());
        return in;
    }
};

TEST_F(InGame, ConfigurationOpensAndClosesThroughTheStarAndTheBarComesBack) {
    UserSettings.RightClickType = 2;
    ASSERT_TRUE(InScene());
    UserSettings.RightClickType = 2;
    RightClick();
    EXPECT_EQ(AvgUnit->ConfigState, 1);
    EXPECT_EQ(AvgUnit->OverlayLevel, 3);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->ConfigState == 2; }, 100));
    EXPECT_EQ(ConfigMenu->RootPanel->GetParent(), form->RootPanel);
    EXPECT_EQ(AvgUnit->RootPanel->GetParent(), nullptr);
    Tap(kRight);  // live: the music volume moves
    EXPECT_EQ(form->GetVolumeBGM(), 51);
    Tap(kCancel);
    EXPECT_EQ(AvgUnit->ConfigState, 3);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->ConfigState == 0; }, 100));
    EXPECT_EQ(AvgUnit->RootPanel->GetParent(), form->RootPanel);
    EXPECT_NE(AvgUnit->MenuBarState, 0);
}

TEST_F(InGame, SaveMenuWithoutItsMaskOpensAtOnceAndSavesAfterTheQuestion) {
    ASSERT_TRUE(InScene());
    UserSettings.RightClickType = 3;
    RightClick();
    // No swirl mask in this game's data: the menu opens with no fade.
    EXPECT_EQ(AvgUnit->SaveMenuState, 2);
    ASSERT_EQ(SaveMenu->Mode, 0);
    Tap(kDown);
    Sounds();
    Tap(kOk);
    ASSERT_TRUE(DlgUnit->IsVisible());
    EXPECT_EQ(DlgUnit->Kind, 1);
    Tap(kLeft);
    Tap(kOk);
    EXPECT_TRUE(std::filesystem::exists(dir.Host("SV01.sav")));
    // The slot holds the game state and the thumbnail of the stage's picture.
    {
        GameState back;
        uint32_t size = 0;
        std::vector<uint8_t> thumb(kThumbnailMaxSize);
        ASSERT_TRUE(LoadGameSlotData(1, &back, nullptr, size, thumb.data()));
        EXPECT_EQ(back.Pc, CurrentState.Pc);
        TNyRGBBits* source = AvgUnit->ThumbnailSource();
        ASSERT_NE(source, nullptr);
        ASSERT_EQ(size, kThumbnailMaxSize);
        TNyRGBBits* expected = MakeThumbnail(source);
        ASSERT_NE(expected, nullptr);
        bool same = true;
        for (int y = 0; y < kThumbnailHeight; ++y)
            same = same && std::memcmp(thumb.data() + size_t(y) * kThumbnailWidth * 4,
                                       expected->Bits() + size_t(y) * expected->Pitch(),
                                       size_t(kThumbnailWidth) * 4) == 0;
        MemMan->Delete(expected);
        EXPECT_TRUE(same);
    }
    EXPECT_EQ(Sounds(),
              (std::vector<int32_t>{menu::seOpen, menu::seCursor, menu::seOK, menu::seOK}));
    ASSERT_TRUE(RunUntil([] { return !DlgUnit->IsVisible() && !DlgUnit->IsBusy(); }, 20));
    // The menu stays open on its page, the new record read back from the disk.
    EXPECT_EQ(AvgUnit->SaveMenuState, 2);
    EXPECT_TRUE(SaveMenu->Records[0].exists);
    EXPECT_EQ(SaveMenu->Newest, 0);
    Tap(kCancel);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->SaveMenuState == 0; }, 20));
    EXPECT_NE(AvgUnit->MenuBarState, 0);
    // The bar comes back at the save/load choice with the cursor on save.
    ASSERT_TRUE(RunUntil([] { return AvgUnit->MenuBarState == 2; }, 60));
    EXPECT_TRUE(AvgUnit->Windows->MenuIsSub());
    EXPECT_EQ(AvgUnit->Windows->MenuCursor(), 0);
}

// A save that fails changes nothing: the error sound, the slot file as it was, no report to
// the scene, the menu open on its page and cursor with the newest mark where it stood. The
// next save over the same slot goes through.
TEST_F(InGame, AFailedSaveLeavesTheSlotTheMenuAndTheNewestMarkAsTheyWere) {
    WriteSlot(13, 0, kThumbnailMaxSize);
    WriteSlot(14, 0, kThumbnailMaxSize);
    // Slot 13 is the newest.
    const struct timespec older[2] = {{1700000000, 0}, {1700000000, 0}},
                          newer[2] = {{1700000100, 0}, {1700000100, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir.Host("SV13.sav").c_str(), newer, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, dir.Host("SV14.sav").c_str(), older, 0), 0);
    auto slot14 = [this] {
        std::string bytes;
        EXPECT_TRUE(plat::ReadWholeFile(dir.Host("SV14.sav"), bytes));
        return bytes;
    };
    const std::string before = slot14();
    ASSERT_TRUE(InScene());
    UserSettings.SaveConfirm = false;
    UserSettings.RightClickType = 3;
    RightClick();
    ASSERT_EQ(AvgUnit->SaveMenuState, 2);
    ASSERT_EQ(SaveMenu->Mode, 0);
    EXPECT_EQ(SaveMenu->Newest, 12);
    Tap(kPageNext);  // slots 13-24
    Tap(kRight);     // slot 14
    ASSERT_EQ(SaveMenu->Page, 1);
    ASSERT_EQ(SaveMenu->Cursor, 1);
    struct Codes {
        ZRBaseCallback1<void, int> next;
        std::vector<int> seen;
        void Code(int c) {
            seen.push_back(c);
            if (next.IsSet()) next.Call(c);
        }
    } codes{SaveMenu->Callback, {}};
    SaveMenu->SetCallback(ZRBaseCallback1<void, int>(&codes, &Codes::Code));
    // The writer loses its finished temporary file before the rename.
    plat::SetAtomicWriteHook([](const std::string& temp) { std::remove(temp.c_str()); });
    Sounds();
    Tap(kOk);
    plat::SetAtomicWriteHook({});
    EXPECT_EQ(Sounds(), std::vector<int32_t>{menu::seError});
    EXPECT_EQ(slot14(), before);
    EXPECT_TRUE(codes.seen.empty());
    EXPECT_EQ(AvgUnit->SaveMenuState, 2);
    EXPECT_EQ(SaveMenu->Page, 1);
    EXPECT_EQ(SaveMenu->Cursor, 1);
    EXPECT_EQ(SaveMenu->Newest, 12);
    EXPECT_TRUE(SaveMenu->NewIcon->GetVisible());
    EXPECT_EQ(SaveMenu->NewIcon->GetOffsetX(), SaveMenu->ThumbNail[0]->GetOffsetX());
    EXPECT_TRUE(SaveMenu->Records[13].exists);

    Tap(kOk);
    EXPECT_EQ(Sounds(), std::vector<int32_t>{menu::seOK});
    EXPECT_NE(slot14(), before);
    EXPECT_EQ(codes.seen, std::vector<int>{5});
    EXPECT_EQ(AvgUnit->SaveMenuState, 2);
    EXPECT_EQ(SaveMenu->Page, 1);
    EXPECT_EQ(SaveMenu->Cursor, 1);
    EXPECT_EQ(SaveMenu->Newest, 13);
    EXPECT_EQ(SaveMenu->NewIcon->GetOffsetX(), SaveMenu->ThumbNail[1]->GetOffsetX());
}

TEST_F(InGame, LoadMenuChosenFromTheBarClosesBackToTheSubMenuOnLoad) {
    ASSERT_TRUE(InScene());
    UserSettings.RightClickType = 0;
    RightClick();
    ASSERT_TRUE(RunUntil([] { return AvgUnit->MenuBarState == 2; }, 60));
    Tap(kDown);  // from cancel round to save/load
    Tap(kOk);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->Windows->MenuIsSub() && !AvgUnit->Windows->MenuIsMoving(); }, 60));
    Tap(kDown);  // load
    Tap(kOk);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->SaveMenuState == 2; }, 100));
    EXPECT_EQ(SaveMenu->Mode, 1);
    Tap(kCancel);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->SaveMenuState == 0; }, 100));
    ASSERT_TRUE(RunUntil([] { return AvgUnit->MenuBarState == 2; }, 60));
    EXPECT_TRUE(AvgUnit->Windows->MenuIsSub());
    EXPECT_EQ(AvgUnit->Windows->MenuCursor(), 1);
    // Cancel there goes up to the first level, not out of the bar.
    Tap(kCancel);
    ASSERT_TRUE(RunUntil([] { return !AvgUnit->Windows->MenuIsMoving(); }, 60));
    EXPECT_FALSE(AvgUnit->Windows->MenuIsSub());
}

TEST_F(InGame, TitleQuestionNoBringsTheBarBackOnCancelAndYesEndsTheGame) {
    ASSERT_TRUE(InScene());
    UserSettings.RightClickType = 0;
    RightClick();
    ASSERT_TRUE(RunUntil([] { return AvgUnit->MenuBarState == 2; }, 60));
    Tap(kUp);  // from cancel to the title item
    Tap(kOk);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->TitleConfirmState == 2; }, 60));
    EXPECT_EQ(DlgUnit->Kind, 2);
    Tap(kOk);  // no
    ASSERT_TRUE(RunUntil([] { return AvgUnit->TitleConfirmState == 0; }, 20));
    ASSERT_TRUE(RunUntil([] { return AvgUnit->MenuBarState == 2; }, 60));
    Tap(kUp);
    Tap(kOk);
    ASSERT_TRUE(RunUntil([] { return AvgUnit->TitleConfirmState == 2; }, 60));
    Tap(kRight);  // yes
    Tap(kOk);
    EXPECT_TRUE(RunUntil([this] { return OnTitle(); }, 200));
}

}  // namespace
}  // namespace flowtest

namespace flowtest {
namespace {

// A save menu whose set-up failed (or never ran) has no pictures to show records in: opening
// it is refused instead of writing through missing bitmaps.
TEST_F(Menus, SaveMenuWithoutItsSetUpRefusesToOpen) {
    WriteSlot(1, 0, kThumbnailMaxSize);
    TSaveMenu menu;
    EXPECT_FALSE(menu.Open(1));
    EXPECT_FALSE(menu.Open(0));
}

}  // namespace
}  // namespace flowtest
