// The scene's input against the real windows: the logical buttons level by level, the right
// click for each RightClickType, the click in each state, hold skip, the wheel and the
// message window's button codes.
#include <functional>

#include "scenes/avgu.h"
#include "subwin_fixture.h"

using subwin_test::SubWinFixture;

namespace {

class SceneInput : public SubWinFixture {
  protected:
    void SetUp() override {
        SubWinFixture::SetUp();
        savedRightClick_ = UserSettings.RightClickType;
        host.BindState(&state);
        host.SetWindows(win.get());
        host.SetAudio(&sound);
        host.Running = true;
        host.TakeStageSnapshot();
        state.TextWindowShown = 1;
        state.NovelMode = 0;
        win->MesShow(true);
    }
    void TearDown() override {
        UserSettings.RightClickType = savedRightClick_;
        host.SetWindows(nullptr);
        SetSaveDirectory(ZRString());
        SubWinFixture::TearDown();
    }
    // The scene in a state with nothing over it.
    void Enter(uint8_t s) {
        host.SetSceneState(s);
        host.HideState = host.BacklogState = host.MenuBarState = 0;
        host.SkipMode = host.AutoMode = host.HoldSkip = false;
        host.ClickPending = 0;
        host.Running = true;
        host.RecomputeOverlay();
        host.RefreshModeLooks();
        sound.sounds.clear();
    }
    void Push(std::initializer_list<int> buttons, int32_t direction = -1) {
        TAvgUnit::InputFrame f;
        for (int b : buttons) f.push[b] = f.press[b] = true;
        f.direction = direction;
        host.InputOperation(1, f);
    }
    // The windows' frames until nothing moves, and the host's overlay states with them.
    void Settle() {
        for (int i = 0; i < 30; ++i) win->StepAll(1, false);
        for (uint8_t* s : {&host.HideState, &host.BacklogState}) {
            if (*s == 1) *s = 2;
            if (*s == 3) *s = 0;
        }
        if (host.MenuBarState == 1) host.MenuBarState = 2;
        if (host.MenuBarState == 3) host.MenuBarState = 0;
        host.RecomputeOverlay();
    }
    void Backlog(int lines) {
        for (int i = 0; i < lines; ++i) {
            if (i) state.NewBacklogLine();
            state.AppendBacklogLine(Gbk("行"));
        }
    }

    TAvgUnit host;
    int32_t savedRightClick_ = 0;
};

TEST_F(SceneInput, LevelZeroButtonsFirstMatchWins) {
    const struct {
        uint8_t state;
        std::vector<int> buttons;
        uint8_t sceneAfter, pending, hide, backlog, menu;
        bool skip, autoMode;
    } cases[] = {
        {asClickWait, {1}, asRun, 0, 0, 0, 0, false, false},
        {asClickWait, {0}, asRun, 0, 0, 0, 0, false, false},
        {asTimedWait, {1}, asTimedWait, 1, 0, 0, 0, false, false},
        {asStageMoving, {4}, asStageMoving, 1, 0, 0, 0, false, false},
        {asWindowMoving, {1}, asWindowMoving, 1, 0, 0, 0, false, false},
        {asExSelChosen, {1}, asExSelChosen, 1, 0, 0, 0, false, false},
        {asRun, {1}, asRun, 0, 0, 0, 0, false, false},
        {asClickWait, {2}, asClickWait, 0, 1, 0, 0, false, false},
        {asTimedWait, {2}, asTimedWait, 0, 0, 0, 0, false, false},  // may not hide
        {asClickWait, {3}, asClickWait, 0, 0, 1, 0, false, false},
        {asClickWait, {5}, asClickWait, 0, 0, 0, 0, true, false},
        {asClickWait, {9}, asClickWait, 0, 0, 0, 0, false, true},
        {asClickWait, {8}, asClickWait, 0, 0, 0, 1, false, false},
        {asTimedWait, {8}, asTimedWait, 2, 0, 0, 0, false, false},  // bar may not open
        {asClickWait, {1, 2, 3}, asRun, 0, 0, 0, 0, false, false},
        {asClickWait, {6, 8}, asClickWait, 0, 0, 0, 0, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.state) << " button " << c.buttons[0]);
        Enter(c.state);
        TAvgUnit::InputFrame f;
        for (int b : c.buttons) f.push[b] = f.press[b] = true;
        host.InputOperation(1, f);
        EXPECT_EQ(host.SceneState, c.sceneAfter);
        EXPECT_EQ(host.ClickPending, c.pending);
        EXPECT_EQ(host.HideState, c.hide);
        EXPECT_EQ(host.BacklogState, c.backlog);
        EXPECT_EQ(host.MenuBarState, c.menu);
        EXPECT_EQ(host.SkipMode, c.skip);
        EXPECT_EQ(host.AutoMode, c.autoMode);
        win->MenuClose(true), win->LogHide(true), win->MesShow(true);
    }
}

TEST_F(SceneInput, AClickInTheChoiceStateLeavesEverythingAsItIs) {
    win->SelClear();
    win->SelSetText(0, Gbk("甲"));
    win->SelSetText(1, Gbk("乙"));
    win->SelShow(true);
    Enter(asChoiceWaiting);
    host.SkipMode = true, host.AutoMode = true;
    host.MesCode(1);
    Push({1});
    Push({0});  // nothing focused: nothing taken
    EXPECT_EQ(host.SceneState, asChoiceWaiting);
    EXPECT_TRUE(host.SkipMode && host.AutoMode);
    EXPECT_EQ(host.ClickPending, 0);
    // The direction moves the choice cursor with the cursor sound; a newly pushed skip
    // button takes the frame.
    Push({}, 4);
    EXPECT_EQ(win->SelGetFocused(), 0);
    Push({6}, 4);
    EXPECT_EQ(win->SelGetFocused(), 0);
    Push({}, 4);
    EXPECT_EQ(win->SelGetFocused(), 1);
    EXPECT_EQ(sound.sounds, (std::vector<int>{3, 3}));
}

// The cursor sound goes with the step, not with the move: every step the bar or the choice
// window takes at rest sounds, also one that leaves the cursor where it was, and so does the
// mouse entering an enabled bar item, also the one under the cursor. A bar that is switching
// takes no step and stays silent; opening the bar is silent as well.
TEST_F(SceneInput, EveryCursorStepAtRestSoundsAndTheBarOpensSilently) {
    auto bar = [this] {
        Enter(asClickWait);
        ASSERT_TRUE(host.OpenMenuBar(-1));
        Settle();
        ASSERT_EQ(host.MenuBarState, 2);
        ASSERT_EQ(win->MenuCursor(), 7);
    };
    auto choices = [this](int count) {
        win->SelClear();
        for (int i = 0; i < count; ++i) win->SelSetText(i, Gbk("选项"));
        win->SelShow(true);
        Enter(asChoiceWaiting);
    };
    auto enter = [this](int item) { win->MenuBtn[item]->OnMouseEnter(win->MenuBtn[item]); };
    const std::function<int32_t()> barCursor = [this] { return win->MenuCursor(); };
    const std::function<int32_t()> choiceCursor = [this] { return win->SelGetFocused(); };
    const struct Case {
        const char* name;
        std::function<void()> prepare, act;
        std::function<int32_t()> cursor;
        int32_t cursorAfter;
        std::vector<int> sounds;
    } cases[] = {
        {"bar up", bar, [&] { Push({}, 0); }, barCursor, 6, {3}},
        {"bar down from the last item wraps", bar, [&] { Push({}, 4); }, barCursor, 0, {3}},
        {"bar with Cancel its only item",
         [&] {
             bar();
             for (int k = 0; k < 7; ++k) win->MenuEnable(k, false);
         },
         [&] { Push({}, 0); },
         barCursor,
         7,
         {3}},
        {"bar switching to the sub-menu",
         [&] {
             bar();
             win->MenuEnable(0, true);
             Push({}, 4);
             Push({0});
             ASSERT_TRUE(win->MenuIsMoving());
             sound.sounds.clear();
         },
         [&] { Push({}, 4); },
         barCursor,
         -1,
         {}},
        {"mouse onto the item under the cursor", bar, [&] { enter(7); }, barCursor, 7, {3}},
        {"mouse onto another item", bar, [&] { enter(3); }, barCursor, 3, {3}},
        {"mouse onto a disabled item",
         [&] {
             bar();
             win->MenuEnable(2, false);
         },
         [&] { enter(2); },
         barCursor,
         7,
         {}},
        {"one choice, down twice",
         [&] { choices(1); },
         [&] { Push({}, 4), Push({}, 4); },
         choiceCursor,
         0,
         {3, 3}},
        {"two choices, up from none",
         [&] { choices(2); },
         [&] { Push({}, 0); },
         choiceCursor,
         1,
         {3}},
        {"opening the bar",
         [&] { Enter(asClickWait); },
         [&] { host.OpenMenuBar(-1); },
         barCursor,
         -1,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        sound.sounds.clear();
        c.act();
        EXPECT_EQ(c.cursor(), c.cursorAfter);
        EXPECT_EQ(sound.sounds, c.sounds);
        win->MenuClose(true), win->SelHide(true);
        for (int k = 0; k < 8; ++k) win->MenuEnable(k, true);
        host.MenuBarState = 0;
    }
}

TEST_F(SceneInput, RightClickFollowsRightClickType) {
    const struct {
        int32_t type;
        uint8_t state;
        uint8_t sceneAfter, hide, menu, pending;
    } cases[] = {
        {0, asClickWait, asClickWait, 0, 1, 0}, {1, asClickWait, asClickWait, 1, 0, 0},
        // The menus are not built: the action does not happen, so it is a click.
        {2, asClickWait, asRun, 0, 0, 0},       {3, asClickWait, asRun, 0, 0, 0},
        {4, asClickWait, asRun, 0, 0, 0},       {7, asClickWait, asClickWait, 0, 1, 0},
        {0, asRun, asRun, 0, 0, 0},             {0, asTimedWait, asTimedWait, 0, 0, 2},
        {1, asTimedWait, asTimedWait, 0, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << " in " << int(c.state));
        UserSettings.RightClickType = c.type;
        Enter(c.state);
        host.MesCode(2);
        EXPECT_EQ(host.SceneState, c.sceneAfter);
        EXPECT_EQ(host.HideState, c.hide);
        EXPECT_EQ(host.MenuBarState, c.menu);
        EXPECT_EQ(host.ClickPending, c.pending);
        win->MenuClose(true), win->MesShow(true);
    }
}

TEST_F(SceneInput, HiddenWindowsComeBackWithoutAdvancingTheText) {
    Enter(asClickWait);
    host.MesCode(3);  // middle click hides
    EXPECT_EQ(host.HideState, 1);
    EXPECT_EQ(host.OverlayLevel, 1);
    Settle();
    EXPECT_FALSE(win->MesWin->GetVisible());
    host.StageCode(1);
    EXPECT_EQ(host.HideState, 3);
    EXPECT_EQ(host.SceneState, asClickWait);
    Settle();
    EXPECT_TRUE(win->MesIsVisible());
    EXPECT_EQ(host.OverlayLevel, 0);
    // Logical buttons 1, 2 or 8 restore as well.
    for (int b : {1, 2, 8}) {
        host.HideWindows();
        Settle();
        Push({b});
        EXPECT_EQ(host.HideState, 3) << b;
        Settle();
    }
    EXPECT_EQ(host.SceneState, asClickWait);
}

TEST_F(SceneInput, WheelOpensTheBacklogAndScrollsItOnlyWhenItMoves) {
    Backlog(30);  // range 14
    Enter(asClickWait);
    host.Wheel(-120);
    EXPECT_EQ(host.BacklogState, 1);
    EXPECT_EQ(sound.sounds, (std::vector<int>{4}));
    Settle();
    ASSERT_EQ(host.BacklogState, 2);
    sound.sounds.clear();
    host.Wheel(-120);  // down at the newest page: nothing moves
    host.Wheel(120);
    EXPECT_EQ(win->LogGetPosition(), 13);
    EXPECT_EQ(sound.sounds, (std::vector<int>{3}));
    Push({4});  // ten up
    EXPECT_EQ(win->LogGetPosition(), 3);
    Push({4});
    EXPECT_EQ(win->LogGetPosition(), 0);
    Push({4});
    EXPECT_EQ(sound.sounds, (std::vector<int>{3, 3, 3}));
    Push({5});
    Push({}, 4);
    EXPECT_EQ(win->LogGetPosition(), 11);
    Push({3});  // closes
    EXPECT_EQ(host.BacklogState, 3);
    Settle();
    EXPECT_TRUE(win->MesIsVisible());
    EXPECT_FALSE(win->LogIsVisible());
}

TEST_F(SceneInput, HoldSkipOnlyWhileBothButtonsOrCtrlAreHeld) {
    Enter(asClickWait);
    const struct {
        bool six, seven, ctrl, hold;
    } frames[] = {{true, false, false, false}, {true, true, false, true},
                  {false, true, false, false}, {false, false, true, true},
                  {false, false, false, false}};
    for (const auto& f : frames) {
        TAvgUnit::InputFrame in;
        in.press[6] = f.six, in.press[7] = f.seven, in.ctrl = f.ctrl;
        host.InputOperation(1, in);
        EXPECT_EQ(host.HoldSkip, f.hold);
        // A held skip is no skip mode: the Skip button and the fast-forward icon stay off.
        EXPECT_FALSE(win->MesSkip->GetSelected());
        EXPECT_FALSE(win->MesFF->GetVisible());
    }
    // Not at level 1.
    host.HideWindows();
    TAvgUnit::InputFrame in;
    in.ctrl = true;
    host.InputOperation(1, in);
    EXPECT_FALSE(host.HoldSkip);
}

TEST_F(SceneInput, MessageButtonsAndMenuBarResults) {
    // Quick save (20) and quick load (21) act, so they are no clicks; the saves stay here.
    SetSaveDirectory((dir.Game() + "\\").c_str());
    const struct {
        int code;
        uint8_t state;
        uint8_t sceneAfter, hide, backlog;
        bool autoMode;
    } cases[] = {
        {18, asClickWait, asClickWait, 0, 0, false}, {16, asClickWait, asClickWait, 1, 0, false},
        {17, asClickWait, asClickWait, 0, 0, true},  {17, asRun, asRun, 0, 0, false},
        {19, asClickWait, asClickWait, 0, 1, false}, {19, asTimedWait, asTimedWait, 0, 0, false},
        {20, asClickWait, asClickWait, 0, 0, false}, {21, asClickWait, asClickWait, 0, 0, false},
        {22, asClickWait, asRun, 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        Enter(c.state);
        EXPECT_TRUE(host.MesCode(c.code));
        EXPECT_EQ(host.SceneState, c.sceneAfter);
        EXPECT_EQ(host.HideState, c.hide);
        EXPECT_EQ(host.BacklogState, c.backlog);
        EXPECT_EQ(host.AutoMode, c.autoMode);
        // Auto mode and skip mode each light their button and show the fast-forward icon.
        EXPECT_EQ(win->MesAuto->GetSelected(), c.autoMode);
        EXPECT_EQ(win->MesSkip->GetSelected(), host.SkipMode);
        EXPECT_EQ(win->MesFF->GetVisible(), host.AutoMode || host.SkipMode);
        EXPECT_EQ(host.SkipMode, c.code == 18);
        Settle();
        host.CloseBacklog(), host.RestoreWindows();
        Settle();
    }
    EXPECT_FALSE(host.MesCode(4));
    EXPECT_FALSE(host.NovelCode(16));
    // The bar: open, then Cancel's callback closes it; its results 1-4 are carried out.
    Enter(asClickWait);
    ASSERT_TRUE(host.OpenMenuBar(-1));
    Settle();
    ASSERT_EQ(host.MenuBarState, 2);
    EXPECT_EQ(win->MenuCursor(), 7);
    win->SetMenuCallback(ZRBaseCallback0<void>(&host, &TAvgUnit::MenuBarCalled));
    Push({}, 0);
    EXPECT_EQ(win->MenuCursor(), 6);
    Push({1});
    EXPECT_EQ(host.MenuBarState, 3);
    EXPECT_EQ(win->MenuGetResult(), -1);
    const struct {
        int result;
        bool skip, autoMode;
        uint8_t hide, backlog;
    } results[] = {{1, true, false, 0, 0}, {2, false, true, 0, 0}, {3, false, false, 1, 0},
                   {4, false, false, 0, 1}, {-1, false, false, 0, 0}};
    for (const auto& r : results) {
        Enter(asClickWait);
        host.CarryOutMenuResult(r.result);
        EXPECT_EQ(host.SkipMode, r.skip) << r.result;
        EXPECT_EQ(host.AutoMode, r.autoMode) << r.result;
        EXPECT_EQ(host.HideState, r.hide) << r.result;
        EXPECT_EQ(host.BacklogState, r.backlog) << r.result;
        Settle();
        host.CloseBacklog(), host.RestoreWindows();
        Settle();
    }
    // The configuration menu hands the bar back with its cursor on item 5. A right click
    // pending from the typing opens it at the next click wait with no item chosen: the
    // cursor is on Cancel.
    Enter(asClickWait);
    ASSERT_TRUE(host.OpenMenuBar(5));
    Settle();
    EXPECT_EQ(win->MenuCursor(), 5);
    win->MenuClose(true);
    Enter(asRun);
    host.ClickPending = 2;
    host.WaitClick();
    EXPECT_EQ(host.MenuBarState, 1);
    Settle();
    EXPECT_EQ(win->MenuCursor(), 7);
}

}  // namespace
