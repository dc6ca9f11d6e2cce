// The stage inside the running game, in lock step: a scene sets a background and brings a
// character on, and the presented screen shows both; a cross-fade to another background is
// seen half way and at its end.
#include "flow_harness.h"

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

}  // namespace
}  // namespace flowtest
