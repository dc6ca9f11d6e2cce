// The extra selection window on its own (fades, choice, close requests) and in the scene: a
// story resumed while it waits for the window goes on with 0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../script/script_rig.h"
#include "../tempdir.h"
#include "scenes/avgu.h"
#include "scenes/exselu.h"
#include "script/scripte_text.h"

namespace {

struct Codes {
    std::vector<int> got;
    void On(int code) { got.push_back(code); }
};

TEST(ExSel, FadesChooseAndAskToCloseUntilHidden) {
    TempDir dir;
    ZRFileMan files;
    ASSERT_TRUE(files.InitDir(dir.Host().c_str()));
    const struct {
        bool skipping;
        int fadeFrames;
    } cases[] = {{false, 16}, {true, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.skipping);
        TExSelUnit unit;
        Codes codes;
        ASSERT_TRUE(unit.Setup(&files));
        unit.SetCallback(ZRBaseCallback1<void, int>(&codes, &Codes::On));
        unit.SetArg(-3);  // refused: the argument stays
        unit.SetArg(7);
        unit.SetArg(-1);
        EXPECT_EQ(unit.Arg, 7);
        EXPECT_FALSE(unit.IsMoving());
        unit.Show(false);
        EXPECT_TRUE(unit.ExSelWin->GetVisible());
        EXPECT_EQ(unit.Result(), -1);
        int frames = 0;
        while (codes.got.empty() && frames < 40) {
            unit.Frame(1, c.skipping);
            ++frames;
        }
        EXPECT_EQ(frames, c.fadeFrames);
        EXPECT_EQ(codes.got, (std::vector<int>{5}));
        EXPECT_EQ(unit.Result(), 0);
        unit.Frame(1, false);
        unit.Frame(1, false);
        EXPECT_EQ(codes.got, (std::vector<int>{5, 6, 6}));
        unit.Hide(false);
        frames = 0;
        while (unit.IsMoving() && frames < 40) {
            unit.Frame(1, c.skipping);
            ++frames;
        }
        EXPECT_EQ(frames, c.fadeFrames);
        EXPECT_FALSE(unit.ExSelWin->GetVisible());
        EXPECT_EQ(codes.got.size(), 3u);
        // An instant show has chosen before it returns.
        unit.Show(true);
        EXPECT_EQ(codes.got.back(), 5);
        EXPECT_EQ(unit.Result(), 0);
        unit.Hide(true);
        EXPECT_FALSE(unit.IsMoving());
    }
}

// A saved game waiting for the window: the instant show chooses before the scene waits for it.
// The scene takes that choice once it waits, hands 0 to the story and lets the window close.
TEST(ExSel, SceneResumedInTheWaitGoesOnWithZero) {
    TempDir dir;
    ZRFileMan files;
    ASSERT_TRUE(files.InitDir(dir.Host().c_str()));
    AvgWindows windows;
    AvgStage stage;
    AvgAudio audio;
    AvgMovies movies;
    AvgSystem system;
    ScriptRig rig;
    BindScriptCommands(*rig.engine);
    TAvgUnit unit;
    unit.SetWindows(&windows);
    unit.SetStage(&stage);
    unit.SetAudio(&audio);
    unit.SetMovies(&movies);
    unit.SetSystem(&system);
    rig.engine->SetHost(&unit);
    unit.BindState(rig.state.get());
    unit.Engine = rig.engine.get();
    // The story is suspended where it waits for a value, as a loaded state leaves it.
    rig.Build({OneLabel("    Select \"a\", \"b\", \"c\", \"d\"\n    SETRES\n    EXIT\n")});
    rig.Start("S");
    unit.SetSceneState(asRun);
    ASSERT_FALSE(rig.engine->Run());
    auto* exsel = new TExSelUnit();
    ASSERT_TRUE(exsel->Setup(&files));
    exsel->SetCallback(ZRBaseCallback1<void, int>(&unit, &TAvgUnit::ExSelCallback));
    unit.ExSel = exsel;
    unit.SetUpFlag = true;
    unit.Running = true;
    rig.state->SetResult(99);
    exsel->Show(true);  // before the scene waits: the code goes unheard
    unit.SetSceneState(asExSelWaiting);
    int frames = 0;
    while (unit.GetSceneState() != asRun && unit.IsRunning() && frames < 60) {
        unit.Frame(1);
        ++frames;
    }
    EXPECT_LT(frames, 60);
    EXPECT_FALSE(exsel->ExSelWin->GetVisible());
    EXPECT_EQ(rig.state->GetResult(), 0);
    EXPECT_FALSE(unit.IsRunning());  // the story went on to its end
    // The scene releases only what its own set-up made.
    unit.ExSel = nullptr;
    unit.Engine = nullptr;
    unit.SetUpFlag = false;
    exsel->Release();
    delete exsel;
}

}  // namespace
