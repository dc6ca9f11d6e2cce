// The adventure scene's operations against recording parts: the states they enter, their
// counters, what reaches the windows, stage, sound and movies, and the stage lent to a battle.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../script/script_rig.h"
#include "../tempdir.h"
#include "scenes/avgu.h"
#include "scenes/exselu.h"
#include "script/scripte_text.h"

namespace {

struct Log {
    std::vector<std::string> calls;
    void operator()(const std::string& s) { calls.push_back(s); }
    std::string Joined() const {
        std::string out;
        for (const std::string& c : calls) out += (out.empty() ? "" : " ") + c;
        return out;
    }
};
std::string N(long long v) {
    return std::to_string(v);
}

struct FakeWindows : AvgWindows {
    Log& log;
    bool moving = false, selectMoving = false, placeVisible = false, attached = true;
    explicit FakeWindows(Log& l) : log(l) {}
    void AddText(bool novel, const ZRString& t, int32_t cost) override {
        log("AddText(" + N(novel) + "," + t.c_str() + "," + N(cost) + ")");
    }
    void NewLine(bool novel) override { log("NewLine(" + N(novel) + ")"); }
    void Clear(bool novel) override { log("Clear(" + N(novel) + ")"); }
    void Show(bool novel, bool show, bool instant) override {
        log("Show(" + N(novel) + "," + N(show) + "," + N(instant) + ")");
    }
    bool IsMoving(bool) const override { return moving; }
    void NamePlateJump() override { log("NamePlateJump"); }
    void WaitIcon(bool novel, bool show) override {
        log("WaitIcon(" + N(novel) + "," + N(show) + ")");
    }
    void SetModeButtons(bool a, bool s) override { log("ModeButtons(" + N(a) + "," + N(s) + ")"); }
    void SelectClear() override { log("SelectClear"); }
    void SelectAdd(int i, const ZRString& t) override {
        log("SelectAdd(" + N(i) + "," + t.c_str() + ")");
    }
    void SelectShow(bool instant) override { log("SelectShow(" + N(instant) + ")"); }
    bool IsSelectMoving() const override { return selectMoving; }
    void DateShow(bool i) override { log("DateShow(" + N(i) + ")"); }
    void DateHide(bool i) override { log("DateHide(" + N(i) + ")"); }
    void TimeShow(bool i) override { log("TimeShow(" + N(i) + ")"); }
    void TimeHide(bool i) override { log("TimeHide(" + N(i) + ")"); }
    void PlatesRefresh() override { log("PlatesRefresh"); }
    void PlaceShow(int32_t n) override { log("PlaceShow(" + N(n) + ")"); }
    void PlaceHide() override { log("PlaceHide"); }
    bool IsPlaceVisible() const override { return placeVisible; }
    void MenuBarOpenAt(int32_t item) override { log("MenuBarOpenAt(" + N(item) + ")"); }
    void DetachAll() override { attached = false; }
    void AttachAll() override { attached = true; }
};

struct FakeStage : AvgStage {
    Log& log;
    bool starts = true;
    TNyRGBPanel* parent = nullptr;
    int speaking[7] = {};
    AvgStageValues last{};
    explicit FakeStage(Log& l) : log(l) {}
    bool Exists() const override { return true; }
    void SetValues(const AvgStageValues& v) override { last = v; }
    bool StartTransition(int32_t e, int32_t speed) override {
        log("Transition(" + N(e) + "," + N(speed) + ")");
        return starts;
    }
    bool ApplyChars() override {
        log("ApplyChars");
        return starts;
    }
    bool StartEffect(int32_t n) override {
        log("Effect(" + N(n) + ")");
        return starts;
    }
    void ApplyWeather(bool animate) override { log("Weather(" + N(animate) + ")"); }
    void SetSpeaking(int slot, bool on) override { speaking[slot] = on; }
    void Attach(TNyRGBPanel* p, const ZRBaseCallback1<void, int>&) override { parent = p; }
    void Detach() override { parent = nullptr; }
};

struct FakeAudio : AvgAudio {
    Log& log;
    bool voicePlays = true;
    explicit FakeAudio(Log& l) : log(l) {}
    bool PlayVoice(uint32_t n, int32_t a, int32_t b) override {
        log("Voice(" + N(n) + "," + N(a) + "," + N(b) + ")");
        return voicePlays;
    }
    void PlaySE(const ZRString& name, int32_t a, int32_t b) override {
        log(std::string("SE(") + name.c_str() + "," + N(a) + "," + N(b) + ")");
    }
    void PlayEnv(const ZRString& name, int32_t a, int32_t b, bool fade) override {
        log(std::string("Env(") + name.c_str() + "," + N(a) + "," + N(b) + "," + N(fade) + ")");
    }
    void PlayRain(int32_t level) override { log("Rain(" + N(level) + ")"); }
    void StopRain() override { log("StopRain"); }
    void PlaySystemSound(int n) override { log("SystemSound(" + N(n) + ")"); }
    void SetBGMVol(int32_t v) override { log("BGMVol(" + N(v) + ")"); }
};

struct FakeMovies : AvgMovies {
    Log& log;
    bool opens = true;
    explicit FakeMovies(Log& l) : log(l) {}
    bool Open(const ZRString& f, bool canSkip) override {
        log(std::string("Open(") + f.c_str() + "," + N(canSkip) + ")");
        return opens;
    }
    void ShowPanel() override { log("ShowPanel"); }
    void Start() override { log("Start"); }
};

struct FakeSystem : AvgSystem {
    Log& log;
    uint8_t mode = 5;
    int32_t cursor = -1;
    int clockResets = 0;
    explicit FakeSystem(Log& l) : log(l) {}
    void ResetFrameClock() override { ++clockResets; }
    uint8_t ScreenMode() const override { return mode; }
    void EndWait(int32_t r) override { log("EndWait(" + N(r) + ")"); }
    int32_t GetCursorType() const override { return cursor; }
    void SetCursorType(int32_t t) override { cursor = t; }
    void RenderFull() override {}
};

class AvgOps : public testing::Test {
  protected:
    Log log;
    FakeWindows windows{log};
    FakeStage stage{log};
    FakeAudio audio{log};
    FakeMovies movies{log};
    FakeSystem system{log};
    std::unique_ptr<GameState> state = std::make_unique<GameState>();
    TAvgUnit unit;
    UserConfig saved = UserSettings;

    void SetUp() override {
        unit.SetWindows(&windows);
        unit.SetStage(&stage);
        unit.SetAudio(&audio);
        unit.SetMovies(&movies);
        unit.SetSystem(&system);
        unit.BindState(state.get());
        unit.SetSceneState(asRun);
        unit.TakeStageSnapshot();
        UserSettings.UserTextSpeed = 100;
        UserSettings.EffectCanSkip = true;
        UserSettings.AllTextSkip = false;
        UserSettings.ShowPlaceName = true;
        UserSettings.AutoSkipWait = 1000;
    }
    void TearDown() override { UserSettings = saved; }
};

TEST_F(AvgOps, TimedWaitsCountFramesWithoutWrapping) {
    const struct {
        int32_t ms;
        bool skip, lock;
        int32_t frames;
    } cases[] = {
        {20, false, false, 1},
        {1000, false, false, 30},
        {-5, false, false, 1},
        {100000000, false, false, 3000000},
        {INT_MAX, false, false, 64424509},
        {1000, true, false, 1},
        {1000, true, true, 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ms);
        unit.SkipMode = c.skip;
        state->SkipDisabled = c.lock;
        unit.WaitTime(c.ms);
        EXPECT_EQ(unit.WaitCounter, c.frames);
        EXPECT_EQ(unit.GetSceneState(), asTimedWait);
    }
    unit.SpeakStart(100000000);
    EXPECT_EQ(unit.SpeakFrames, 3000000);
    unit.SpeakStart(0);
    EXPECT_EQ(unit.SpeakFrames, 0);
}

TEST_F(AvgOps, TextCostsFollowTheSpeedSettingAndSkipping) {
    const struct {
        int32_t userSpeed, cost;
        bool skip, lock;
        int32_t sent;
    } cases[] = {
        {50, 1, false, false, 1},      {0, 300, false, false, 0},
        {200, 300, false, false, 600}, {100, 300, true, false, 0},
        {0, 300, true, true, 300},     {200, INT_MAX, false, false, INT_MAX},
    };
    for (const auto& c : cases) {
        log.calls.clear();
        UserSettings.UserTextSpeed = c.userSpeed;
        unit.SkipMode = c.skip;
        state->SkipDisabled = c.lock;
        state->MessageRead = 1;
        unit.MesShow("t", c.cost);
        EXPECT_EQ(log.calls.back(), "AddText(0,t," + N(c.sent) + ")")
            << c.userSpeed << " " << c.cost;
    }
}

TEST_F(AvgOps, SkippingStopsAtUnreadTextUnlessAllTextSkips) {
    unit.TakeStageSnapshot();
    unit.SkipMode = true;
    state->MessageRead = 0;
    unit.MesShow("x", 300);
    EXPECT_FALSE(unit.SkipMode);
    EXPECT_EQ(log.Joined(), "ModeButtons(0,0) AddText(0,x,300)");
    UserSettings.AllTextSkip = true;
    unit.SkipMode = true;
    unit.MesShow("y", 300);
    EXPECT_TRUE(unit.SkipMode);
    // Typing puts the scene in its window state; a changed weather makes the stage catch up.
    windows.moving = true;
    unit.SetSceneState(asRun);
    unit.MesShow("z", 300);
    EXPECT_EQ(unit.GetSceneState(), asWindowMoving);
    windows.moving = false;
    unit.SetSceneState(asRun);
    state->Weather = 2;
    unit.MesShow("w", 300);
    EXPECT_EQ(unit.GetSceneState(), asStageMoving);
    EXPECT_EQ(system.clockResets, 1);
    EXPECT_FALSE(unit.StageSnapshotDiffers());
}

TEST_F(AvgOps, ClickWaits) {
    state->NovelMode = 1;
    unit.ClickPending = 2;
    unit.WaitClick();
    EXPECT_EQ(unit.GetSceneState(), asClickWait);
    EXPECT_EQ(unit.WaitCounter, 30);
    EXPECT_EQ(unit.ClickPending, 0);
    EXPECT_EQ(unit.OverlayLevel, 2);
    EXPECT_EQ(log.Joined(), "WaitIcon(1,1) MenuBarOpenAt(-1)");
    // In skip mode a click wait is one frame and shows no icon.
    log.calls.clear();
    unit.MenuBarState = 0;
    unit.RecomputeOverlay();
    unit.SkipMode = true;
    unit.WaitClick();
    EXPECT_EQ(unit.GetSceneState(), asTimedWait);
    EXPECT_EQ(unit.WaitCounter, 1);
    EXPECT_EQ(log.Joined(), "PlatesRefresh");
}

TEST_F(AvgOps, StageStepsStartOrWaitOneFrame) {
    state->FadeSpeed = 0;
    windows.placeVisible = true;
    unit.StageTransition(5);
    EXPECT_EQ(unit.GetSceneState(), asStageMoving);
    EXPECT_EQ(system.clockResets, 1);
    EXPECT_EQ(log.Joined(), "Transition(5,1) PlaceHide");
    log.calls.clear();
    stage.starts = false;
    windows.placeVisible = false;
    unit.StageTransition(5);
    EXPECT_EQ(unit.GetSceneState(), asTimedWait);
    EXPECT_EQ(unit.WaitCounter, 1);
    EXPECT_EQ(system.clockResets, 1);
    log.calls.clear();
    unit.StageApply();
    EXPECT_EQ(log.Joined(), "ApplyChars");
    // Effect skipping turns the characters' moves into an instant transition and drops effects.
    log.calls.clear();
    stage.starts = true;
    unit.SkipMode = true;
    state->NovelMode = 1;
    unit.StageApply();
    unit.StageEffect(4);
    EXPECT_EQ(log.Joined(), "Transition(0,1) DateHide(1) TimeHide(1)");
    UserSettings.EffectCanSkip = false;
    log.calls.clear();
    unit.StageEffect(4);
    EXPECT_EQ(log.Joined(), "Effect(4)");
    EXPECT_EQ(unit.GetSceneState(), asStageMoving);
}

TEST_F(AvgOps, SoundsWhileSkipping) {
    unit.SkipMode = true;
    unit.SePlay(3, 1, 2);
    unit.EnvPlay(12, true, 3, 4);
    unit.VoicePlay(5, 0, 0);
    unit.SkipMode = false;
    unit.SePlay(3, 1, 2);
    unit.RainSoundUpdate(7);
    unit.RainSoundUpdate(-1);
    state->MusicVolume = 44;
    unit.BgmVolume();
    EXPECT_EQ(log.Joined(), "Env(se012,3,4,1) SE(se003,1,2) Rain(7) StopRain BGMVol(44)");
}

TEST_F(AvgOps, VoicesAndTypingDriveTheSpeakingAnimation) {
    state->SpeakShown[2] = 1;
    state->SpeakShown[4] = 1;
    audio.voicePlays = false;
    unit.VoicePlay(7, 0, 0);
    EXPECT_FALSE(unit.SpeakFlag);
    audio.voicePlays = true;
    unit.VoicePlay(7, 0, 0);
    EXPECT_TRUE(unit.SpeakFlag);
    EXPECT_FALSE(unit.SpeakingShown);  // the fake voice is not heard playing
    unit.SpeakStart(1000);
    EXPECT_TRUE(unit.SpeakingShown);
    EXPECT_EQ(stage.speaking[2] + stage.speaking[4], 2);
    EXPECT_EQ(stage.speaking[3], 0);
    unit.SpeakStop();
    EXPECT_EQ(stage.speaking[2], 0);
}

TEST_F(AvgOps, MoviesStartOnlyOverTheMenuBarInTheAdventureMode) {
    const struct {
        uint8_t mode, menuBar, config;
        bool opens, lock;
        const char* calls;
        uint8_t state;
    } cases[] = {
        {5, 0, 0, true, false, "Open(SV07.sfd,1) ShowPanel Start", asMovie},
        {5, 2, 0, true, true, "Open(SV07.sfd,0) ShowPanel Start", asMovie},
        {5, 0, 2, true, false, "", asRun},
        {6, 0, 0, true, false, "", asRun},
        {5, 0, 0, false, false, "Open(SV07.sfd,1)", asRun},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << int(c.mode) << int(c.menuBar) << int(c.config) << c.opens);
        log.calls.clear();
        unit.MovieState = 0;
        unit.SetSceneState(asRun);
        system.mode = c.mode;
        unit.MenuBarState = c.menuBar;
        unit.ConfigState = c.config;
        unit.RecomputeOverlay();
        movies.opens = c.opens;
        state->SkipDisabled = c.lock;
        unit.MoviePlay(7);
        EXPECT_EQ(log.Joined(), c.calls);
        EXPECT_EQ(unit.GetSceneState(), c.state);
        if (c.state == asMovie) {
            EXPECT_EQ(unit.OverlayLevel, 3);
            EXPECT_EQ(unit.MovieState, 2);
        }
    }
    log.calls.clear();
    unit.ConfigState = unit.MenuBarState = unit.MovieState = 0;
    unit.RecomputeOverlay();
    movies.opens = true;
    unit.OpeningPlay();
    unit.MovieState = 0;
    unit.RecomputeOverlay();
    unit.EndingPlay();
    EXPECT_EQ(log.Joined(), "Open(SVOP.sfd,1) ShowPanel Start Open(SVED.sfd,1) ShowPanel Start");
}

TEST_F(AvgOps, CursorFollowsOverlaysMoviesStatesAndTheScript) {
    const struct {
        uint8_t cursorFlag, menuBar, movie, sceneState;
        int32_t type;
    } cases[] = {
        {1, 0, 0, asRun, 0},  {0, 0, 0, asRun, -1},          {0, 2, 2, asRun, 0},
        {1, 0, 2, asRun, -1}, {0, 0, 0, asChoiceWaiting, 0}, {0, 1, 0, asExSelWaiting, 0},
    };
    for (const auto& c : cases) {
        state->CursorShown = c.cursorFlag;
        unit.MenuBarState = c.menuBar;
        unit.MovieState = c.movie;
        unit.SetSceneState(c.sceneState);
        unit.UpdateCursorMode();
        EXPECT_EQ(system.cursor, c.type)
            << int(c.cursorFlag) << int(c.menuBar) << int(c.movie) << int(c.sceneState);
    }
}

TEST_F(AvgOps, ChoicesPlatesAndBattle) {
    state->SetSelectText(0, "yes");
    state->SetSelectText(1, "no");
    unit.SelectStart();
    EXPECT_EQ(unit.GetSceneState(), asChoiceWaiting);
    EXPECT_EQ(log.Joined(),
              "SelectClear SelectAdd(0,yes) SelectAdd(1,no) SelectAdd(2,) SelectAdd(3,) "
              "SystemSound(4) SelectShow(0)");
    windows.selectMoving = true;
    unit.SelectStart();
    EXPECT_EQ(unit.GetSceneState(), asChoiceAppearing);
    log.calls.clear();
    state->NovelMode = 1;
    unit.DateShow(true);
    unit.TimeShow(false);
    state->NovelMode = 0;
    unit.DateShow(false);
    UserSettings.ShowPlaceName = false;
    unit.PlaceShow();
    UserSettings.ShowPlaceName = true;
    state->PlaceCard = 3;
    unit.PlaceShow();
    unit.Running = true;
    unit.BattleStart();
    EXPECT_FALSE(unit.Running);
    EXPECT_EQ(log.Joined(), "DateShow(0) PlaceShow(3) EndWait(1)");
}

TEST_F(AvgOps, LentStageComesBackWithEveryWindow) {
    TNyRGBPanel rootPanel(nullptr), battlePanel(nullptr);
    TNyRGBPanel* root = &rootPanel;
    TNyRGBPanel* battle = &battlePanel;
    unit.RootPanel = root;
    stage.parent = root;
    // The extra selection is the scene's own window: it leaves and comes back with the rest.
    TempDir dir;
    ZRFileMan files;
    ASSERT_TRUE(files.InitDir(dir.Host().c_str()));
    TExSelUnit exsel;
    ASSERT_TRUE(exsel.Setup(&files));
    exsel.Attach(root);
    unit.ExSel = &exsel;
    state->TextWindowShown = 1;
    ASSERT_TRUE(unit.LendStage(battle, ZRBaseCallback1<void, int>()));
    EXPECT_EQ(stage.parent, battle);
    EXPECT_FALSE(windows.attached);
    EXPECT_EQ(exsel.ExSelWin->GetParent(), nullptr);
    EXPECT_EQ(state->TextWindowShown, 0);
    EXPECT_EQ(log.Joined(), "Show(0,0,1) Show(1,0,1)");
    unit.ReturnStage();
    EXPECT_EQ(stage.parent, root);
    EXPECT_TRUE(windows.attached);
    EXPECT_EQ(exsel.ExSelWin->GetParent(), root);
    exsel.Detach();
    unit.ExSel = nullptr;
    // Without a stage there is nothing to lend.
    TAvgUnit bare;
    bare.BindState(state.get());
    EXPECT_FALSE(bare.LendStage(battle, ZRBaseCallback1<void, int>()));

    log.calls.clear();
    state->SpeakStaged[3] = 1;
    unit.SetBattleChar(42, true);
    unit.SetBattleChar(43, false);
    EXPECT_EQ(log.Joined(), "Transition(0,0) Transition(1,100)");
    // Alone, in the centre slot, coming from nowhere.
    for (int slot = 0; slot < 7; ++slot) {
        EXPECT_EQ(state->CharShown.ShowId[slot], slot == 3 ? 43 : -1) << slot;
        EXPECT_EQ(state->CharShown.MoveFrom[slot], -100) << slot;
    }
    EXPECT_EQ(stage.last.chars.ShowId[3], 43);
    EXPECT_EQ(state->SpeakShown[3], 0);
}

// The scene as the machine's host: a script's waits and choice leave the scene in the states
// the per-frame machine continues from.
TEST_F(AvgOps, AScriptDrivesTheSceneStates) {
    ScriptRig rig;
    BindScriptCommands(*rig.engine);
    rig.engine->SetHost(&unit);
    unit.BindState(rig.state.get());
    rig.Build(
        {OneLabel("    Wait 1000\n    KeyWait\n    Select \"a\", \"b\", \"c\", \"d\"\n    SETRES\n "
                  "   EXIT\n")});
    rig.Start("S");
    unit.SetSceneState(asRun);
    EXPECT_FALSE(rig.engine->Run());
    EXPECT_EQ(unit.GetSceneState(), asTimedWait);
    EXPECT_EQ(unit.WaitCounter, 30);
    unit.SetSceneState(asRun);
    EXPECT_FALSE(rig.engine->Run());
    EXPECT_EQ(unit.GetSceneState(), asClickWait);
    EXPECT_EQ(rig.state->GetWaitState(), 1);
    unit.SetSceneState(asRun);
    EXPECT_FALSE(rig.engine->Run());
    EXPECT_EQ(unit.GetSceneState(), asChoiceWaiting);
    rig.engine->Resume(2);
    EXPECT_TRUE(rig.engine->Run());
    EXPECT_EQ(rig.state->GetResult(), 2);
}

}  // namespace

namespace {

// The demo story's first scenes leading into the tour, played to its end, with the scene's frames reduced
// to "the wait is over": every command the tour uses runs against the scene.
TEST_F(AvgOps, TheDemoStoryPlaysToItsEnd) {
    ScriptRig rig;
    std::vector<std::string> sources;
    for (const char* name : {"start.nys", "campus.nys", "tour.nys", "battle.nys"}) {
        std::ifstream in(std::string(ZR_DEMO_SCRIPTS) + "/" + name, std::ios::binary);
        ASSERT_TRUE(in) << name;
        sources.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    rig.Build(sources);
    BindScriptCommands(*rig.engine);
    rig.engine->SetHost(&unit);
    unit.BindState(rig.state.get());
    rig.Start("GameStart");
    // The campus scene leads on into the tour, which waits at its first click.
    unit.SetSceneState(asRun);
    EXPECT_FALSE(rig.engine->Run());
    EXPECT_EQ(rig.state->GetSceneName(), ZRString("Tour"));
    EXPECT_TRUE(rig.snapshot->GetFlag(10));
    int frames = 0, choices = 0, clicks = 0, battles = 0;
    bool halted = false;
    for (; frames < 500 && !halted; ++frames) {
        // The tour leads into the battle scene; both battles resume with 0.
        if (rig.state->Waiting && rig.state->GetWaitState() == 4) {
            ++battles;
            rig.engine->Resume(0);
        }
        switch (unit.GetSceneState()) {
            case asChoiceWaiting:
                ++choices;
                rig.engine->Resume(1);
                break;
            case asClickWait:
                ++clicks;
                break;
            default:
                break;
        }
        unit.SetSceneState(asRun);
        rig.engine->BeginFrame();
        halted = rig.engine->Run();
    }
    EXPECT_TRUE(halted);
    EXPECT_EQ(rig.state->GetSceneName(), ZRString("Battle"));
    EXPECT_EQ(battles, 2);  // battle 0, then battle 5
    EXPECT_EQ(choices, 1);
    EXPECT_GE(clicks, 4);
    // What the tour left, as the battle scene began.
    EXPECT_EQ(rig.snapshot->GetResult(), 1);  // the way home
    EXPECT_EQ(rig.snapshot->NovelMode, 0);
    EXPECT_EQ(rig.snapshot->Day, 11);
    EXPECT_EQ(rig.snapshot->BgShown, 999);
    EXPECT_TRUE(rig.system.GetAlbumBit(0));
}

}  // namespace
