// The game played whole through its logic thread in lock step: title, new game, scenes,
// battles, loads and quitting, and the faults each runner must survive.
#include <filesystem>

#include "flow_harness.h"

namespace flowtest {
namespace {

// A scene that shows a line, waits for a click and ends.
const std::string kClickScene = R"(
    TextShow
    Text "Hello"
    KeyWait
    EXIT)";

class Flow : public FlowHarness {};

TEST_F(Flow, NewGameRunsTheSceneAndComesBackToTheTitle) {
    WriteGame({Scene(0, "GameStart", kClickScene)});
    CurrentState.SetFlag(1, true);
    SysData.SetFlag(3, true);
    Start();
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    EXPECT_EQ(Mode(), smMenu);
    Click();
    ASSERT_TRUE(RunUntil([this] { return Mode() == smAdventure; }));
    // The message window fades in before the click wait.
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));
    // A new game starts from a reset state with the system flags copied in.
    EXPECT_FALSE(CurrentState.GetFlag(1));
    EXPECT_TRUE(CurrentState.GetSysFlagCopy(3));
    Click();
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    EXPECT_EQ(AvgUnit, nullptr);
    EXPECT_EQ(BattleUnit, nullptr);
    EXPECT_TRUE(std::filesystem::exists(dir.Host("SVSys.sav")));
}

}  // namespace
}  // namespace flowtest
