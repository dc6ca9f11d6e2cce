// The stage inside the running game, in lock step: a scene sets a background and brings a
// character on, and the presented screen shows both; a cross-fade to another background is
// seen half way and at its end.
#include <algorithm>

#include "flow_harness.h"
#include "scenes/stageu.h"

namespace flowtest {
namespace {

class StageFlow : public FlowHarness {
  protected:
    uint32_t Seen(int x, int y) {
        std::vector<uint32_t> screen;
        int32_t w = 0, h = 0;
        if (!display.Screen().ReadScreen(screen, w, h) || x >= w || y >= h) return 0xDEADBEEF;
        return screen[size_t(y) * w + x] & 0xFFFFFF;
    }
};

TEST_F(StageFlow, AStagedSceneIsPresented) {
    WriteGame({Scene(0, "GameStart", R"(
    SetBG 10
    Fade 0
    ShowCharIL 1, 3
    TextShow
    KeyWait
    SetBG 20
    FadeSpeed 100
    Fade 1
    KeyWait
    EXIT)")});
    WritePicture(dir.Host("EvBG_Pak/bg010.png"), 1280, 720, 0x2040C0);
    WritePicture(dir.Host("EvBG_Pak/bg020.png"), 1280, 720, 0xC04020);
    WritePicture(dir.Host("EvCG_Pak/chr001.png"), 100, 300, 0x30C030);
    Start();
    ASSERT_TRUE(StartNewGame());
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));
    RunFrames(2);
    EXPECT_EQ(Seen(40, 40), 0x2040C0u);
    // Alone on the stage the character stands in the centre.
    EXPECT_EQ(Seen(640, 360), 0x30C030u);
    Click();
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asStageMoving; }));
    RunFrames(3);
    const uint32_t mid = Seen(40, 40);
    EXPECT_NE(mid, 0x2040C0u);
    EXPECT_NE(mid, 0xC04020u);
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));
    RunFrames(2);
    EXPECT_EQ(Seen(40, 40), 0xC04020u);
    EXPECT_EQ(Seen(640, 360), 0x30C030u);
    Click();
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
}

// A hide that slides seven columns to the left goes on past the first column off the stage:
// the leaving picture travels to column -6 (centre x -800), and a save taken while it slides
// loads again and resumes at the click wait after it.
TEST_F(StageFlow, FarSlidesRunTheirWholeWayAndSaveMidWay) {
    WriteGame({Scene(0, "GameStart", R"(
    SetBG 10
    Fade 0
    ShowCharIL 1, 1
    TextShow
    KeyWait
    SetHideChar 0x101, 519, 4098
    ActionChar
    KeyWait
    EXIT)")});
    WritePicture(dir.Host("EvBG_Pak/bg010.png"), 1280, 720, 0x2040C0);
    WritePicture(dir.Host("EvCG_Pak/chr001.png"), 100, 300, 0x30C030);
    Start();
    ASSERT_TRUE(StartNewGame());
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));
    ASSERT_EQ(CurrentState.CharShown.ShowId[1], 1);
    Click();
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asStageMoving; }));
    EXPECT_EQ(CurrentState.CharShown.MoveTo[1], -6);
    TNyRGBPanel* leaving = AvgUnit->Stage->CharPanel(2, 1);
    int frames = 0, leftmost = 1 << 20;
    bool saved = false;
    while (SceneState() == asStageMoving && frames < 200) {
        if (leaving->GetVisible())
            leftmost = std::min(leftmost, leaving->GetOffsetX() + leaving->GetSizeX() / 2);
        if (frames == 10) saved = SaveGameSlot(2);
        RunFrames(1);
        ++frames;
    }
    EXPECT_TRUE(saved);
    // Four steps a column over seven columns, from x 320 to x -800.
    EXPECT_GE(frames, 28);
    EXPECT_LE(leftmost, -700);
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));
    Click();
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));

    ASSERT_TRUE(LoadFromTitle(2));
    ASSERT_TRUE(RunUntil([this] { return AvgUnit && Mode() == smAdventure; }));
    ASSERT_TRUE(RunUntil([this] { return SceneState() == asClickWait; }));
    EXPECT_EQ(CurrentState.CharShown.ShowId[1], -1);
    Click();
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    EXPECT_FALSE(Finished());
}

}  // namespace
}  // namespace flowtest
