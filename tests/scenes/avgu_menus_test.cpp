// The in-game menus' operations on the scene without the flow: quick save and load on slot 0,
// and which of the menus may open at all.
#include <filesystem>

#include "game/gamedata.h"
#include "scenes/avgmenus.h"
#include "scenes/avgu.h"
#include "subwin_fixture.h"

using subwin_test::SubWinFixture;

namespace {

class SceneMenus : public SubWinFixture {
  protected:
    void SetUp() override {
        SubWinFixture::SetUp();
        SetSaveDirectory((dir.Game() + "\\").c_str());
        host.BindState(&state);
        host.SetWindows(win.get());
        host.SetAudio(&sound);
        host.Running = true;
        host.MenuAllowed = host.MaySave = host.MayConfigure = true;
        host.SetSceneState(asClickWait);
        host.RecomputeOverlay();
    }
    void TearDown() override {
        host.SetWindows(nullptr);
        SetSaveDirectory(ZRString());
        SubWinFixture::TearDown();
    }

    TAvgUnit host;
};

TEST_F(SceneMenus, QuickLoadOfAMissingSlotSoundsAnErrorAndTheSceneGoesOn) {
    EXPECT_TRUE(host.QuickLoad());
    EXPECT_EQ(sound.sounds, std::vector<int>{2});
    EXPECT_TRUE(host.Running);
    EXPECT_EQ(host.SceneState, asClickWait);
}

TEST_F(SceneMenus, QuickSaveWithoutAPictureWritesSlotZeroWithoutAThumbnail) {
    CurrentState.Reset();
    CurrentState.SetStage(7);
    ASSERT_TRUE(host.QuickSave());
    EXPECT_EQ(sound.sounds, std::vector<int>{0});
    EXPECT_TRUE(std::filesystem::exists(dir.Host("SV00.sav")));
    GameState back;
    uint32_t thumbSize = 99;
    ASSERT_TRUE(LoadGameSlotData(0, &back, nullptr, thumbSize, nullptr));
    EXPECT_EQ(thumbSize, 0u);
    EXPECT_EQ(back.Stage, 7);
    // Loading it back ends the scene with 4.
    sound.sounds.clear();
    EXPECT_TRUE(host.QuickLoad());
    EXPECT_EQ(sound.sounds, std::vector<int>{0});
    EXPECT_FALSE(host.Running);
}

TEST_F(SceneMenus, NothingOpensWhereItMayNot) {
    struct Case {
        bool menus, save, configure;
        int32_t level;
        bool quick;
    };
    // Quick save and load need no overlay, the menus and saving allowed; without the flow's
    // screens neither menu nor the title question opens.
    const Case cases[] = {{true, true, true, 0, true},
                          {false, true, true, 0, false},
                          {true, false, true, 0, false},
                          {true, true, true, 1, false}};
    for (const Case& c : cases) {
        host.MenuAllowed = c.menus, host.MaySave = c.save, host.MayConfigure = c.configure;
        host.OverlayLevel = c.level;
        EXPECT_EQ(host.QuickLoad(), c.quick);
        EXPECT_FALSE(host.OpenConfigMenu());
        EXPECT_FALSE(host.OpenSaveMenu(1));
        EXPECT_FALSE(host.AskReturnToTitle());
    }
}

}  // namespace
