// The game played whole through its logic thread in lock step: title, new game, scenes,
// battles, loads and quitting, and the faults each runner must survive.
#include <filesystem>

#include "flow/palbummenu.h"
#include "flow/psoundmenu.h"
#include "flow_harness.h"
#include "scenes/subwinu.h"
#include "script/scripte.h"

namespace flowtest {
namespace {

// A scene that shows a line, waits for a click and ends.
const std::string kClickScene = R"(
    TextShow
    Text "Hello"
    KeyWait
    EXIT)";

class Flow : public FlowHarness {
  protected:
    // Two choices stand at y 140 and 240; the window fades in over 15 ticks first.
    void TakeFirstChoice() {
        RunTicks(16);
        Click(640, 180);
    }
    // Nothing of a play-through is left: no screen module, no layer above the window's root.
    void ExpectNothingLeft() {
        EXPECT_EQ(AvgUnit, nullptr);
        EXPECT_EQ(BattleUnit, nullptr);
        EXPECT_EQ(MovieUnit, nullptr);
        EXPECT_EQ(ConfigMenu, nullptr);
        EXPECT_EQ(SaveMenu, nullptr);
        EXPECT_EQ(TitleMenu, nullptr);
        EXPECT_EQ(DlgUnit, nullptr);
        if (form) {
            EXPECT_EQ(form->RootPanel->GetChildCount(), 0);
        }
    }
    int64_t SaveTime() {
        std::error_code ec;
        const auto t = std::filesystem::last_write_time(dir.Host("SVSys.sav"), ec);
        return ec ? -1 : t.time_since_epoch().count();
    }
};

TEST_F(Flow, NewGameRunsTheSceneAndComesBackToTheTitle) {
    WriteGame({Scene(0, "GameStart", R"(
    TextShow
    Text "Hello"
    KeyWait
    Text "Again"
    KeyWait
    EXIT)")});
    CurrentState.SetFlag(1, true);
    SysData.SetFlag(3, true);
    SysData.SetValue(2, 77);
    WriteMovie("SVOP.sfd", 3);
    Start();
    bool movie = false;
    ASSERT_TRUE(RunUntil([&] {
        movie = movie || MovieOpen();
        return OnTitle();
    }));
    // The first visit played the title call and the opening movie.
    EXPECT_TRUE(movie);
    Click();
    ASSERT_TRUE(RunUntil([this] { return Mode() == smAdventure; }));
    // The message window fades in before the click wait.
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));
    EXPECT_EQ(CurrentState.GetPageLine(0), ZRString("Hello"));
    // A new game starts from a reset state with the system flags and values copied in.
    EXPECT_FALSE(CurrentState.GetFlag(1));
    EXPECT_TRUE(CurrentState.GetSysFlagCopy(3));
    EXPECT_EQ(CurrentState.GetSysValueCopy(2), 77);
    std::filesystem::remove(dir.Host("SVSys.sav"));
    // A held Ctrl runs past the click wait. It is no skip mode: neither the Skip button nor
    // the fast-forward icon lights.
    input.Press(kCtrl.scan, kCtrl.vk, true);
    movie = false;
    bool lit = false;
    ASSERT_TRUE(RunUntil([&] {
        if (AvgUnit && AvgUnit->Windows)
            lit = lit || AvgUnit->Windows->MesSkip->GetSelected() ||
                  AvgUnit->Windows->MesFF->GetVisible();
        movie = movie || MovieOpen();
        return OnTitle();
    }));
    input.Press(kCtrl.scan, kCtrl.vk, false);
    EXPECT_FALSE(lit);
    // The system save is written after the scene; the later visit plays no movie.
    EXPECT_TRUE(std::filesystem::exists(dir.Host("SVSys.sav")));
    EXPECT_FALSE(movie);
    EXPECT_EQ(AvgUnit, nullptr);
    EXPECT_EQ(form->RootPanel->GetChildCount(), 1);  // the title alone
}

// Every item of the title chosen with the keys in one run: the album, the music room (open
// once the system save holds flag 63), the configuration and the load menu each stay until the
// player leaves and come back to the title; exit, answered yes, quits with the system save and
// the settings written.
TEST_F(Flow, TitleModes) {
    WriteGame({Scene(0, "GameStart", kClickScene)});
    // The way into the album and the music room is a mask of its own.
    std::filesystem::copy_file(Data("FadeMask16_Noise.bmp"), Data("FadeMask14_Windmill.bmp"),
                               std::filesystem::copy_options::overwrite_existing);
    SysData.SetFlag(63, true);
    ASSERT_TRUE(SaveSystemData());
    SysData = SystemData();
    UsePacing(Pacing::Full);
    Start();
    struct Case {
        const char* what;
        TitleItem item;
        std::function<bool()> shown;
    } cases[] = {
        {"album", tiAlbum, [] { return AlbumMenu && AlbumMenu->RootPanel->GetParent(); }},
        {"music room", tiMusicRoom, [] { return SoundMenu && SoundMenu->RootPanel->GetParent(); }},
        {"configuration", tiConfig,
         [this] { return ConfigMenu && ConfigMenu->RootPanel->GetParent() == form->RootPanel; }},
        {"load menu closed without a slot", tiLoad, [this] { return SaveMenuShown(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(ChooseOnTitle(c.item));
        ASSERT_TRUE(RunUntil([&] { return c.shown() && Mode() == smMenu; }));
        // It waits for the player.
        RunFrames(30);
        EXPECT_TRUE(c.shown());
        Tap(kCancel);
        ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
        EXPECT_FALSE(ended.load());
        EXPECT_EQ(form->RootPanel->GetChildCount(), 1);
    }
    std::filesystem::remove(dir.Host("Solvane.ini"));
    std::filesystem::remove(dir.Host("SVSys.sav"));
    ASSERT_TRUE(ChooseOnTitle(tiExit));
    ASSERT_TRUE(RunUntil([] { return DlgUnit && DlgUnit->State == 1; }, 60));
    Tap(kRight);  // yes
    Tap(kOk);
    RunUntil([this] { return Finished(); }, 200);
    EXPECT_TRUE(ended.load());
    EXPECT_TRUE(std::filesystem::exists(dir.Host("SVSys.sav")));
    EXPECT_TRUE(std::filesystem::exists(dir.Host("Solvane.ini")));
    ExpectNothingLeft();
}

TEST_F(Flow, IdleTitleAsksForTheOpeningMovie) {
    WriteGame({Scene(0, "GameStart", kClickScene)});
    Start();
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    WriteMovie("SVOP.sfd", 3);
    // Thirty seconds without input.
    RunFrames(TTitleMenu::kIdleTicks - 1);
    EXPECT_FALSE(MovieOpen());
    RunFrames(1);
    ASSERT_TRUE(RunUntil([this] { return MovieOpen(); }));
    EXPECT_TRUE(RunUntil([this] { return OnTitle(); }));
}

// Battles: the number comes from the game state, the outcome goes to the script before it runs
// on and into the game state; a game over still resumes the script once with 0, then the
// title. A battle that cannot be prepared is skipped with outcome 0. The battles are played
// with the OK key: battle 0 is won at once, battles 2 and 5 are lost (5 lets the story go on,
// 2 is a game over, where the second button goes back to the title).
TEST_F(Flow, Battles) {
    struct Case {
        int32_t number;
        bool backToTitle;
        int32_t outcome;
        bool fought;
    } cases[] = {
        {5, false, 1, true},
        {0, false, 0, true},
        {2, true, 0, true},
        {-1, false, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        WriteGame({Scene(0, "GameStart", "    GoBattle " + std::to_string(c.number) + R"(
    SETRES
    PUSH 1
    PUSH 1
    SETF
    KeyWait
    EXIT)")});
        WriteBattleTables(0,
                          "#,0,4,100,10,0,-1,100,0,200,200,200,0,0,200,200,200,0,0\r\n"
                          "#,2,4,100,200,0,-1,100,0,0,0,0,0,0,0,0,0,0,0\r\n"
                          "#,5,4,100,200,0,-1,100,0,0,0,0,0,0,0,0,0,0,0\r\n");
        testing::internal::CaptureStderr();
        Start();
        ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
        Click();
        bool fought = false, held = false;
        int32_t number = -100;
        RunUntil([&] {
            // A key is down for one frame, then up for one, so each press is a new push.
            if (held) {
                input.Press(kOk.scan, kOk.vk, false);
                input.Press(kDown.scan, kDown.vk, false);
                held = false;
            } else if (Mode() == smBattle && BattleUnit && BattleUnit->Core().state != 0) {
                const BattleCore& b = BattleUnit->Core();
                fought = true;
                number = b.battle;
                const bool stop = b.state == 2 && b.step == 0;
                const bool select =
                    (b.state == 4 && (b.step == 2 || b.step == 7)) || (b.state == 5 && b.step == 2);
                const Key k = select && b.state == 5 && b.selected == 0 ? kDown : kOk;
                if (stop || select) {
                    input.Press(k.scan, k.vk, true);
                    held = true;
                }
            }
            return (Mode() == smAdventure && SceneState() == asClickWait) ||
                   (fought && c.backToTitle && OnTitle());
        });
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(fought, c.fought);
        if (c.fought) {
            EXPECT_EQ(number, c.number);
        }
        EXPECT_EQ(CurrentState.MovieNo, c.number);
        EXPECT_EQ(CurrentState.BattleResult, c.outcome);
        // The script ran on once, with the outcome on its stack.
        EXPECT_TRUE(CurrentState.GetFlag(1));
        EXPECT_EQ(CurrentState.GetResult(), c.outcome);
        if (!c.fought) {
            EXPECT_NE(err.find("battle -1 cannot be prepared"), std::string::npos);
        }
        if (c.backToTitle) {
            EXPECT_TRUE(RunUntil([this] { return OnTitle(); }));
        } else {
            EXPECT_EQ(Mode(), smAdventure);
            Click();
            EXPECT_TRUE(RunUntil([this] { return OnTitle(); }));
        }
        EXPECT_EQ(BattleUnit, nullptr);
        Stop();
    }
}

TEST_F(Flow, ScriptThatHaltsAtOnceGoesBackToTheTitle) {
    WriteGame({Scene(0, "GameStart", "    EXIT")});
    Start();
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    Click();
    RunFrames(1);
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    // The scene never took a frame: the adventure mode was never entered.
    EXPECT_EQ(AvgUnit, nullptr);
}

// A scene that does not start (missing from the index) and a save whose script is gone both
// go back to the title, saying why, without reading an old result.
TEST_F(Flow, EntriesThatCannotStartGoBackToTheTitle) {
    WriteGame({Scene(0, "Elsewhere", kClickScene)});
    testing::internal::CaptureStderr();
    UsePacing(Pacing::Full);
    Start();
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    MainThread.load()->Result.store(1);  // a stale battle request
    Click();
    ASSERT_TRUE(RunUntil([this] { return !OnTitle(); }));
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    EXPECT_EQ(BattleUnit, nullptr);
    EXPECT_FALSE(Finished());
    // A slot whose script has gone from the data since it was saved.
    WriteScripts(Data(), {Scene(0, "Elsewhere", kClickScene), Scene(5, "GameStart", kClickScene)});
    ASSERT_TRUE(StartNewGame());
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));
    ASSERT_TRUE(SaveGameSlot(3));
    Click();
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    std::filesystem::remove(Data("scr00005.vnx"));
    ASSERT_TRUE(LoadFromTitle(3));
    ASSERT_TRUE(RunUntil([this] { return !TitleMenu; }));
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    RunFrames(5);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("scene \"GameStart\" cannot be started"), std::string::npos) << err;
    EXPECT_NE(err.find("script 5"), std::string::npos) << err;
    EXPECT_FALSE(Finished());
}

// A save made at a click wait and one made at a choice come back at the same place: the page
// and wait icon, or the choice shown without resuming the machine, there to be clicked at once.
TEST_F(Flow, SavesResumeWhereTheyWereMade) {
    UsePacing(Pacing::Full);
    WriteGame({Scene(0, "GameStart", R"(
    TextShow
    Text "PageOne"
    KeyWait
    Select "Left", "Right", "", ""
    SETRES
    EXIT)")});
    Start();
    ASSERT_TRUE(StartNewGame());
    ASSERT_TRUE(RunUntil([this] { return Mode() == smAdventure && SceneState() == asClickWait; }));
    const uint32_t clickPc = CurrentState.Pc;
    ASSERT_TRUE(SaveGameSlot(1));
    Click();
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asChoiceWaiting; }));
    const uint32_t choicePc = CurrentState.Pc;
    ASSERT_TRUE(SaveGameSlot(2));
    TakeFirstChoice();
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    EXPECT_EQ(CurrentState.GetResult(), 0);  // the first choice was taken

    struct Case {
        int32_t slot;
        uint8_t state;
        uint32_t pc;
    } cases[] = {{1, asClickWait, clickPc}, {2, asChoiceWaiting, choicePc}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slot);
        ASSERT_TRUE(LoadFromTitle(c.slot));
        ASSERT_TRUE(RunUntil([this] { return AvgUnit && Mode() == smAdventure; }));
        EXPECT_EQ(SceneState(), c.state);
        EXPECT_EQ(CurrentState.Pc, c.pc);
        EXPECT_STREQ(CurrentState.GetPageLine(0).c_str(), "PageOne");
        if (c.state == asChoiceWaiting) {
            // The machine still waits for the choice the window shows.
            EXPECT_TRUE(CurrentState.Waiting);
            EXPECT_EQ(CurrentState.GetSelectText(1), ZRString("Right"));
        } else {
            Click();
            ASSERT_TRUE(RunUntil([this] { return SceneState() == asChoiceWaiting; }));
        }
        CurrentState.SetResult(7);
        if (c.state == asChoiceWaiting)
            ClickAtZeroTicks(640, 180);
        else
            TakeFirstChoice();
        ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
        EXPECT_EQ(CurrentState.GetResult(), 0);
    }
}

// A save loaded inside the scene (result 4) goes on from that save after a fade.
TEST_F(Flow, LoadInsideTheSceneResumesTheLoadedGame) {
    WriteGame({Scene(0, "GameStart", kClickScene),
               Scene(1, "Other", "    TextShow\n    Text \"Other\"\n    KeyWait\n    EXIT")});
    Start();
    ASSERT_TRUE(StartNewGame());
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));
    // Make a save of the other scene, then put the first one back and "load" from the menu.
    AvgUnit->Engine->StartScene("Other");
    AvgUnit->Engine->BeginFrame();
    AvgUnit->Engine->Run();
    ASSERT_EQ(CurrentState.GetSceneName(), ZRString("Other"));
    ASSERT_TRUE(SaveGameSlot(4));
    ASSERT_TRUE(LoadGameSlot(4));
    AvgUnit->EndScene(4);
    ASSERT_TRUE(RunUntil([this] {
        return Mode() == smAdventure && SceneState() == asClickWait &&
               CurrentState.GetPageLine(0) == ZRString("Other");
    }));
    Click();
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
}

// A click wait loaded in the scene from a choice that a timed wait led to: the page waits for a
// click, or with auto on for the whole auto time, whatever count the earlier waits left behind.
TEST_F(Flow, ClickWaitLoadedInTheSceneWaitsAfresh) {
    UsePacing(Pacing::Full);
    WriteGame({Scene(0, "GameStart", R"(
    TextShow
    Text "PageOne"
    KeyWait
    Wait 20
    Select "Left", "Right", "", ""
    EXIT)")});
    Start();
    ASSERT_TRUE(StartNewGame());
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));
    ASSERT_TRUE(SaveGameSlot(1));
    Click();
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asChoiceWaiting; }));
    for (const bool autoMode : {false, true}) {
        SCOPED_TRACE(autoMode);
        ASSERT_TRUE(LoadGameSlot(1));
        AvgUnit->EndScene(4);
        // The load fades the scene in; the wait counts from the first adventure frame.
        ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));
        ASSERT_TRUE(RunUntil([this] { return Mode() == smAdventure; }));
        EXPECT_EQ(SceneState(), asClickWait);
        if (!autoMode) {
            RunTicks(90);
            EXPECT_EQ(SceneState(), asClickWait);
            Click();
        } else {
            AvgUnit->AutoMode = true;
            RunTicks(15);  // the default auto time, 500 ms, is 15 ticks; the wait ends after it
            EXPECT_EQ(SceneState(), asClickWait);
        }
        EXPECT_TRUE(RunUntil([this] { return SceneState() != asClickWait; }, 1));
        ASSERT_TRUE(RunUntil([this] { return SceneState() == asChoiceWaiting; }));
    }
}

// The close button while the title, a scene, a battle or a movie waits: the exit question is
// asked once, the thread ends, settings and system save are written, nothing is left over.
TEST_F(Flow, CloseButtonDuringEveryWait) {
    enum Where { Title, SceneWait, Battle, Movie };
    for (Where w : {Title, SceneWait, Battle, Movie}) {
        SCOPED_TRACE(w);
        WriteGame({Scene(0, "GameStart",
                         "    TextShow\n    Text \"x\"\n    KeyWait\n"
                         "    GoBattle 0\n    KeyWait\n    EXIT")});
        std::filesystem::remove(dir.Host("Movie/SVOP.sfd"));
        if (w == Movie) WriteMovie("SVOP.sfd", 300);
        Start();
        switch (w) {
            case Title:
                ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
                break;
            case SceneWait:
                ASSERT_TRUE(StartNewGame());
                break;
            case Battle:
                ASSERT_TRUE(StartNewGame());
                ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));
                Click();
                ASSERT_TRUE(RunUntil([this] { return Mode() == smBattle; }));
                break;
            case Movie:
                ASSERT_TRUE(RunUntil([this] { return MovieOpen(); }));
                RunFrames(10);
                ASSERT_NE(MovieUnit, nullptr);
                break;
        }
        std::filesystem::remove(dir.Host("SVSys.sav"));
        std::filesystem::remove(dir.Host("Solvane.ini"));
        const size_t asked = boxes.Count();
        CloseWindow();
        EXPECT_TRUE(ended.load());
        EXPECT_EQ(boxes.Count(), asked + 1);
        EXPECT_TRUE(std::filesystem::exists(dir.Host("SVSys.sav")));
        EXPECT_TRUE(std::filesystem::exists(dir.Host("Solvane.ini")));
        ExpectNothingLeft();
        Stop();
    }
}

// Faults that end the game: a screen that cannot be set up and an error out of the script.
// Both close the window with the reason on stderr and the system save written.
TEST_F(Flow, FaultsEndTheGameWithTheirReason) {
    struct Case {
        const char* what;
        std::string script;
        bool titlePicture;
        const char* said;
    } cases[] = {
        {"knob picture missing", kClickScene, false, "TConfigMenu cannot be set up"},
        {"script error", "    POP\n    EXIT", true, "GameErr: the game stops"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteGame({Scene(0, "GameStart", c.script)});
        if (!c.titlePicture) std::filesystem::remove(Data("CfgBar.png"));
        std::filesystem::remove(dir.Host("SVSys.sav"));
        testing::internal::CaptureStderr();
        Start();
        if (c.titlePicture) {
            ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
            Click();
        }
        RunUntil([this] { return Finished(); }, 300);
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!ended.load() && std::chrono::steady_clock::now() < limit) {
            plat::MainQueue::Instance().Service();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(ended.load());
        EXPECT_EQ(Mode(), smClosing);
        EXPECT_NE(err.find(c.said), std::string::npos) << err;
        EXPECT_TRUE(std::filesystem::exists(dir.Host("SVSys.sav")));
        ExpectNothingLeft();
        Stop();
    }
}

// A movie the story shows while skipping is locked plays on through keys and clicks; without
// the lock the same press ends it, also when it comes in a frame without a tick.
TEST_F(Flow, StoryMoviesHonourTheSkipLock) {
    for (const Pacing pacing : {Pacing::OneTick, Pacing::Full}) {
        for (bool locked : {true, false}) {
            SCOPED_TRACE(locked ? "locked" : "free");
            SCOPED_TRACE(pacing == Pacing::Full ? "Full" : "one tick a frame");
            UsePacing(pacing);
            WriteGame({Scene(0, "GameStart",
                             "    TextShow\n    Text \"x\"\n    KeyWait\n" +
                                 std::string(locked ? "    SkipDisable 1\n" : "") +
                                 "    ShowMovie 7\n"
                                 "    Text \"y\"\n    KeyWait\n    EXIT")});
            WriteMovie("SV07.sfd", 300);
            Start();
            ASSERT_TRUE(StartNewGame());
            ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));
            Click();
            ASSERT_TRUE(RunUntil([this] { return MovieOpen(); }));
            RunTicks(40);  // past the grace in which nothing skips
            if (pacing == Pacing::Full)
                PressAtZeroTicks(kOk);
            else
                Press(kOk);
            RunTicks(5);
            EXPECT_EQ(MovieOpen(), locked) << "a key";
            Click();
            RunTicks(5);
            EXPECT_EQ(MovieOpen(), locked) << "a click";
            Stop();
        }
    }
}

// Fifty trips title -> game -> title leave the tracked objects as after the first.
TEST_F(Flow, FiftyPlayThroughsLeaveNothingBehind) {
    WriteGame({Scene(0, "GameStart", "    Wait 20\n    EXIT")});
    Start();
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    int first = -1;
    for (int i = 0; i < 50; ++i) {
        Click();
        ASSERT_TRUE(RunUntil([this] { return AvgUnit != nullptr; }));
        ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
        if (first < 0) first = MemMan->Count();
        EXPECT_EQ(MemMan->Count(), first) << i;
    }
}

}  // namespace
}  // namespace flowtest
