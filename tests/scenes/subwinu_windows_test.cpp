// The backlog, the choices, the date and time plates, the place card and the menu bar: their
// edge cases and the two mended faults (the knob with an empty range, a menu cursor past the
// open menu's items).
#include "subwin_fixture.h"

using subwin_test::SubWinFixture;

namespace {

class Windows : public SubWinFixture {
  protected:
    void Backlog(int lines) {
        state.ClearBacklog();
        for (int i = 0; i < lines; ++i) {
            if (i) state.NewBacklogLine();
            state.AppendBacklogLine(Gbk("往事"));
        }
    }
};

TEST_F(Windows, BacklogRangeKnobAndScrolling) {
    const struct {
        int lines, range, knob;
        bool bar;
    } cases[] = {
        {1, 0, 484, false},
        {16, 0, 484, false},
        {17, 1, 484, true},
        {40, 24, 484, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        Backlog(c.lines);
        win->LogOpenView();
        win->LogShow(true);
        EXPECT_EQ(win->LogGetRange(), c.range);
        EXPECT_EQ(win->LogKnobY(), c.knob);
        EXPECT_EQ(win->LogBar->GetVisible(), c.bar);
        EXPECT_EQ(win->LogUp->GetVisible(), c.bar);
        EXPECT_FALSE(win->LogScroll(1));  // already at the newest page
        EXPECT_EQ(win->LogScroll(-1), c.range > 0);
        win->LogHide(true);
    }
    // Range 24: one line up puts the knob at 484 * 23 / 24; past the top nothing moves.
    Backlog(40);
    win->LogOpenView();
    win->LogShow(true);
    ASSERT_TRUE(win->LogScroll(-1));
    EXPECT_EQ(win->LogKnobY(), 484 * 23 / 24);
    EXPECT_TRUE(win->LogScroll(-100));
    EXPECT_EQ(win->LogGetPosition(), 0);
    EXPECT_FALSE(win->LogScroll(-1));
    // Range 0 computes nothing: the knob sits at the bottom whatever the position asked.
    win->LogSetRange(0);
    win->LogSetPosition(5);
    EXPECT_EQ(win->LogKnobY(), 484);
    EXPECT_EQ(win->LogPos->GetOffsetY(), 484);
}

TEST_F(Windows, BacklogBarClicksSendTheMovedPosition) {
    std::vector<int> codes;
    struct Sink {
        std::vector<int>* codes;
        void Code(int c) { codes->push_back(c); }
    } sink{&codes};
    win->SetLogCallback(ZRBaseCallback1<void, int>(&sink, &Sink::Code));
    Backlog(40);
    win->LogOpenView();
    win->LogShow(true);
    root->MouseDown(mbLeft, 0, 1036 + 10, 102 + 242);
    root->MouseUp(mbLeft, 0, 1036 + 10, 102 + 242);
    EXPECT_EQ(win->LogGetPosition(), 242 * 24 / 484);
    root->MouseDown(mbRight, 0, 1036 + 10, 102 + 10);
    root->MouseDown(mbRight, 0, 600, 300);
    EXPECT_EQ(codes, (std::vector<int>{4, 6, 6}));
    // With nothing to scroll the bar does nothing: neither a click nor a drag on it moves the
    // position or sends a code, and the knob stays at the bottom.
    codes.clear();
    Backlog(3);
    win->LogOpenView();
    win->LogShow(true);
    ASSERT_EQ(win->LogGetRange(), 0);
    win->LogBar->SetVisible(true);  // hidden with nothing to scroll; shown, it must still rest
    root->MouseDown(mbLeft, 0, 1036 + 10, 102 + 10);
    root->MouseMove(kLeftHeld, 1036 + 10, 102 + 300);
    root->MouseUp(mbLeft, 0, 1036 + 10, 102 + 300);
    EXPECT_TRUE(codes.empty()) << ::testing::PrintToString(codes);
    EXPECT_EQ(win->LogGetPosition(), 0);
    EXPECT_EQ(win->LogKnobY(), 484);
    // The right button still closes the backlog from there.
    root->MouseDown(mbRight, 0, 1036 + 10, 102 + 10);
    EXPECT_EQ(codes, std::vector<int>{6});
}

TEST_F(Windows, ChoicesTakeTheirBaseAndPlace) {
    const std::string sixteen = plat::GbkText("一二三四五六七八");
    const struct {
        std::vector<std::string> texts;
        std::vector<int> ys;
        int baseX;
    } cases[] = {
        {{sixteen, sixteen}, {140, 240}, 401},
        {{sixteen, "A" + sixteen}, {140, 240}, 250},  // 17 bytes
        {{"x", "y", "z", "w"}, {40, 140, 240, 340}, 401},
        {{"x", "", "z"}, {140, 240}, 401},  // an empty choice is not present
    };
    for (const auto& c : cases) {
        win->SelClear();
        for (size_t i = 0; i < c.texts.size(); ++i)
            win->SelSetText(int(i), ZRString(c.texts[i].c_str()));
        std::vector<int> ys;
        for (int i = 0; i < 4; ++i)
            if (win->SelBase[i]->GetVisible()) {
                ys.push_back(win->SelBase[i]->GetOffsetY());
                EXPECT_EQ(win->SelBase[i]->GetOffsetX(), c.baseX);
            }
        EXPECT_EQ(ys, c.ys);
    }
    // A 16-character field centred on its base, the shadow two pixels right.
    EXPECT_EQ(win->SelText[0]->GetOffsetX(), (478 - 304) / 2);
    EXPECT_EQ(win->SelShadow[0]->GetOffsetX(), (478 - 304) / 2 + 2);
    // 53 bytes: cut to 52, or to 51 when byte 52 leads a character.
    const std::string fiftyOne(51, 'a');
    EXPECT_EQ(TSubWinUnit::CutChoiceText(ZRString((fiftyOne + "bc").c_str())).Length(), 52);
    EXPECT_EQ(
        TSubWinUnit::CutChoiceText(ZRString((fiftyOne + plat::GbkText("字")).c_str())).Length(),
        51);
}

TEST_F(Windows, ChoiceCursorSkipsAbsentChoicesAndClicksSendFive) {
    win->SelClear();
    win->SelSetText(0, Gbk("是"));
    win->SelSetText(2, Gbk("否"));
    win->SelShow(true);
    std::vector<int> seen;
    for (int i = 0; i < 3; ++i) win->SelCursorDown(), seen.push_back(win->SelGetFocused());
    win->SelShow(true);
    for (int i = 0; i < 3; ++i) win->SelCursorUp(), seen.push_back(win->SelGetFocused());
    EXPECT_EQ(seen, (std::vector<int>{0, 2, 0, 2, 0, 2}));
    std::vector<int> codes;
    struct Sink {
        std::vector<int>* codes;
        void Code(int c) { codes->push_back(c); }
    } sink{&codes};
    win->SetSelCallback(ZRBaseCallback1<void, int>(&sink, &Sink::Code));
    const int y = win->SelBase[2]->GetOffsetY() + 10;
    root->MouseMove(0, 500, y);
    root->MouseDown(mbLeft, 0, 500, y);
    root->MouseUp(mbLeft, 0, 500, y);
    EXPECT_EQ(codes, (std::vector<int>{5}));
    EXPECT_EQ(win->SelGetFocused(), 2);
    EXPECT_EQ(sound.sounds, (std::vector<int>{3, 0}));
    // Appearing takes all 15 frames even when skipping; disappearing ends at once.
    win->SelHide(true);
    win->SelShow(false);
    int frames = 0;
    while (win->SelFrame(1, true)) ++frames;
    EXPECT_EQ(frames, 14);
    win->SelHide(false);
    EXPECT_FALSE(win->SelFrame(1, true));
    EXPECT_FALSE(win->SelWin->GetVisible());
}

TEST_F(Windows, PlatesSlideHoldAndLeaveOnTheirOwn) {
    win->DatePlateShow(false);
    EXPECT_EQ(win->DateWin->GetOffsetX(), -83);
    std::vector<int> xs;
    for (int i = 0; i < 4; ++i)
        win->PlatesFrame(1, false), xs.push_back(win->DateWin->GetOffsetX());
    EXPECT_EQ(xs, (std::vector<int>{-62, -41, -20, 0}));
    EXPECT_EQ(win->DateState(), swBusy);
    win->DatePlateShow(false);  // held: not restarted
    win->DatePlateHide(false);  // held: ignored
    int frames = 0;
    while (win->DateIsVisible() && frames < 1000) win->PlatesFrame(1, false), ++frames;
    EXPECT_EQ(frames, 150 + 4);
    // A show while sliding out turns it round.
    win->TimePlateShow(true);
    for (int i = 0; i < 151; ++i) win->PlatesFrame(1, false);
    EXPECT_EQ(win->TimeState(), swDisappear);
    win->TimePlateShow(false);
    EXPECT_EQ(win->TimeState(), swAppear);
    win->PlatesFrame(1, true);
    EXPECT_EQ(win->TimeWin->GetOffsetX(), 1280 - 81);
}

TEST_F(Windows, ClockRunsTowardTheGameTimeAndRollsOverTheYear) {
    state.Month = 12, state.Day = 31, state.Hour = 23, state.Minute = 59, state.Millis = 0;
    win->PlatesClockRefresh();
    state.Month = 1, state.Day = 1, state.Hour = 0, state.Minute = 0;
    win->PlatesFrame(1799, false);
    EXPECT_EQ(win->ShownMinute(), 59);
    win->PlatesFrame(1, false);
    EXPECT_EQ((std::vector<int>{win->ShownMonth(), win->ShownDay(), win->ShownHour(),
                                win->ShownMinute()}),
              (std::vector<int>{1, 1, 0, 0}));
    EXPECT_EQ(win->DateDigit[1]->GetBlockIndex(), 1);
    EXPECT_EQ(win->TimeDigit[3]->GetBlockIndex(), 0);
    // February has 28 days; an hour of ticks passes 60 minutes.
    state.Month = 2, state.Day = 28, state.Hour = 23, state.Minute = 30;
    win->PlatesClockRefresh();
    state.Month = 3, state.Day = 1, state.Hour = 0, state.Minute = 29;
    win->PlatesFrame(1800 * 59, false);
    EXPECT_EQ((std::vector<int>{win->ShownMonth(), win->ShownDay(), win->ShownHour(),
                                win->ShownMinute()}),
              (std::vector<int>{3, 1, 0, 29}));
}

TEST_F(Windows, PlaceCardSlidesAndAMissingPictureHidesIt) {
    win->PlaceCardShow(1);
    ASSERT_TRUE(win->PlaceIsVisible());
    EXPECT_EQ(win->PlaceWin->GetOffsetX(), -300);
    for (int i = 0; i < 8; ++i) win->PlaceFrame(1, false);
    EXPECT_EQ(win->PlaceWin->GetOffsetX(), 65);
    win->PlaceCardShow(2);  // no "AvgPlace02.png"
    EXPECT_FALSE(win->PlaceIsVisible());
    EXPECT_EQ(win->PlaceWin->GetImage(), nullptr);
    win->PlaceCardShow(1);
    int frames = 0;
    while (win->PlaceIsVisible() && frames < 1000) win->PlaceFrame(1, false), ++frames;
    EXPECT_EQ(frames, 8 + 60 + 8);
}

TEST_F(Windows, MenuBarCursorSubMenuAndResults) {
    int calls = 0;
    struct Sink {
        int* calls;
        void Called() { ++*calls; }
    } sink{&calls};
    win->SetMenuCallback(ZRBaseCallback0<void>(&sink, &Sink::Called));
    win->MenuOpenSystem(true);
    EXPECT_EQ(win->MenuCursor(), 7);  // none requested: Cancel
    win->MenuEnable(1, false);
    win->MenuCursorDown();
    EXPECT_EQ(win->MenuCursor(), 0);
    win->MenuCursorDown();
    EXPECT_EQ(win->MenuCursor(), 2);  // 1 is disabled
    win->MenuCursorUp(), win->MenuCursorUp();
    EXPECT_EQ(win->MenuCursor(), 7);
    // Item 0 switches to the sub-menu over eight frames; its cursor starts on item 0.
    win->MenuCursorDown();
    win->MenuSelect();
    EXPECT_TRUE(win->MenuIsSub());
    for (int i = 0; i < 8; ++i) win->MenuFrame(1, false);
    EXPECT_FALSE(win->MenuBase->GetVisible());
    EXPECT_EQ(win->MenuCursor(), 0);
    win->MenuCursorDown();
    win->MenuSelect();
    EXPECT_EQ(win->MenuGetResult(), 101);
    EXPECT_EQ(calls, 1);
    win->MenuCancel();  // back to the system menu
    for (int i = 0; i < 8; ++i) win->MenuFrame(1, false);
    EXPECT_FALSE(win->MenuIsSub());
    win->MenuCancel();
    EXPECT_EQ(win->MenuGetResult(), -1);
    EXPECT_EQ(calls, 2);
    // A requested cursor past the sub-menu's three items means none of them.
    for (int requested : {5, 7}) {
        win->MenuSetRequested(requested);
        win->MenuOpenSub(true);
        EXPECT_EQ(win->MenuCursor(), 0);
        win->MenuOpenSub(false);
        for (int i = 0; i < 8; ++i) win->MenuFrame(1, false);
        EXPECT_EQ(win->MenuCursor(), 0);
    }
    win->MenuSetRequested(2);
    win->MenuOpenSub(true);
    EXPECT_EQ(win->MenuCursor(), 2);
    win->MenuSetRequested(9);
    win->MenuOpenSystem(true);
    EXPECT_EQ(win->MenuCursor(), 7);
    // The buttons fade in with their base: half way through the opening the save/load button
    // is drawn at half strength over the half-drawn base, at the end at full strength.
    win->MenuClose(true);
    win->MenuOpenSystem(false);
    for (int i = 0; i < 4; ++i) win->MenuFrame(1, false);
    const uint32_t half = Probe(640, 87 + 62 + 20);
    EXPECT_GT(half & 0xFF0000, 0x080000u);
    EXPECT_LT(half & 0xFF0000, 0x400000u) << std::hex << half;
    for (int i = 0; i < 4; ++i) win->MenuFrame(1, false);
    EXPECT_EQ(Probe(640, 87 + 62 + 20), 0x505050u);
}

}  // namespace
