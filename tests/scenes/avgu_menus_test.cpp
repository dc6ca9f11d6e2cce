// The in-game menus' operations on the scene: quick save and load on slot 0, and which of the
// menus open over a running main window, by the scene's permissions and what is over it.
#include <filesystem>
#include <string>
#include <vector>

#include "game/form_harness.h"
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

// The flow's screens as the scene reaches them, recording what it asks of them.
struct RecordingScreens : AvgMenuScreens {
    TNyRGBPanel config{nullptr}, save{nullptr};
    std::vector<std::string> calls;
    bool dialogFree = true;

    TNyRGBPanel* ConfigPanel() override { return &config; }
    void ConfigUpdateControls() override { calls.push_back("config"); }
    void ConfigInput(int, TDInputUnit*) override {}
    TNyRGBPanel* SavePanel() override { return &save; }
    bool SaveOpen(int32_t mode, TNyRGBBits*) override {
        calls.push_back("save " + std::to_string(mode));
        return true;
    }
    void SaveClose() override {}
    void SaveInput(int, TDInputUnit*) override {}
    bool DialogFree() override { return dialogFree; }
    void DialogShow(int32_t kind, TNyRGBPanel*, const ZRBaseCallback1<void, int>&) override {
        calls.push_back("dialog " + std::to_string(kind));
    }
    void DialogHide() override {}
    void DialogDone() override {}
    bool DialogAnswer() override { return false; }
};

// The scene over a running main window with the flow's screens present: which menus open
// depends on the scene's permissions and on what is already over it.
class MenuPermissions : public FormHarness {
  protected:
    void SetUp() override {
        FormHarness::SetUp();
        WriteData();
        Start();
        SetSaveDirectory((dir.Game() + "\\").c_str());
        InGameMenus = &screens;
    }
    void TearDown() override {
        InGameMenus = nullptr;
        screens.config.SetParent(nullptr);
        screens.save.SetParent(nullptr);
        SetSaveDirectory(ZRString());
        FormHarness::TearDown();
    }
    RecordingScreens screens;
    subwin_test::SoundLog sound;
};

TEST_F(MenuPermissions, EachMenuOpensOnlyWhereItMay) {
    struct Case {
        bool menus, save, configure;
        int32_t level;
        bool dialogFree;
        bool config, saveMenu, quick, title;  // which of them open
    };
    const Case cases[] = {
        {true, true, true, 0, true, true, true, true, true},
        {true, true, true, 1, true, true, true, false, true},
        {true, true, true, 2, true, true, true, false, false},
        {true, true, true, 3, true, false, false, false, false},
        {false, true, true, 0, true, true, true, false, false},
        {true, false, true, 0, true, true, false, false, true},
        {true, true, false, 0, true, false, true, true, true},
        {true, true, true, 0, false, true, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.menus << c.save << c.configure << " level "
                                          << c.level << " dialog free " << c.dialogFree);
        auto scene = [&] {
            auto host = std::make_unique<TAvgUnit>();
            host->SetAudio(&sound);
            host->Running = true;
            host->MenuAllowed = c.menus, host->MaySave = c.save, host->MayConfigure = c.configure;
            host->OverlayLevel = c.level;
            screens.dialogFree = c.dialogFree;
            screens.calls.clear();
            screens.config.SetParent(nullptr);
            screens.save.SetParent(nullptr);
            return host;
        };
        auto host = scene();
        EXPECT_EQ(host->OpenConfigMenu(), c.config);
        EXPECT_EQ(screens.calls,
                  c.config ? std::vector<std::string>{"config"} : std::vector<std::string>{});
        EXPECT_EQ(screens.config.GetParent() == form->RootPanel, c.config);
        EXPECT_EQ(host->ConfigState != 0, c.config);

        host = scene();
        EXPECT_EQ(host->OpenSaveMenu(1), c.saveMenu);
        EXPECT_EQ(screens.calls,
                  c.saveMenu ? std::vector<std::string>{"save 1"} : std::vector<std::string>{});
        EXPECT_EQ(screens.save.GetParent() == form->RootPanel, c.saveMenu);
        EXPECT_EQ(host->SaveMenuState != 0, c.saveMenu);

        host = scene();
        sound.sounds.clear();
        EXPECT_EQ(host->QuickLoad(), c.quick);
        EXPECT_EQ(sound.sounds, c.quick ? std::vector<int>{2} : std::vector<int>{});  // no slot 0

        host = scene();
        sound.sounds.clear();
        EXPECT_EQ(host->AskReturnToTitle(), c.title);
        EXPECT_EQ(screens.calls,
                  c.title ? std::vector<std::string>{"dialog 2"} : std::vector<std::string>{});
        EXPECT_EQ(host->TitleConfirmState, c.title ? 1 : 0);
    }
}

}  // namespace
