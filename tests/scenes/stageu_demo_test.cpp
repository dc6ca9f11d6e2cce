// The stage over the demo's own archives, attached under a scene panel the way the host
// attaches it and drawn from there: what the player is shown is probed. With
// ZR_STAGE_SHOTS=DIR the frames are also written there as PNG files to look at.
#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/zrstream.h"
#include "media/zrpng.h"
#include "stage_fixture.h"

using namespace stagetest;

namespace {

class StageDemo : public StageTest {
  protected:
    void SetUp() override {
        StageTest::SetUp();
        const char* mkdemo = std::getenv("ZR_MKDEMO");
        std::string tool = mkdemo ? mkdemo : "tools/mkdemo";
        if (!mkdemo) tool = oldCwd_ + "/" + tool;
        if (!std::filesystem::exists(tool)) GTEST_SKIP() << "no mkdemo at " << tool;
        std::filesystem::remove_all(dir.Host("EvBG_Pak"));
        std::filesystem::remove_all(dir.Host("EvCG_Pak"));
        // fontconfig keeps its configuration for the life of the generator too.
        ASSERT_EQ(std::system(("ASAN_OPTIONS=detect_leaks=0 " + tool + " " + dir.Host() + " >/dev/null").c_str()), 0);
        archive.Finish();
        ASSERT_TRUE(archive.InitPack(ZRString(dir.Host("scr_c.pak").c_str())));
        Make();
        root = std::make_unique<TNyRGBPanel>(nullptr);
        root->SetAutoSize(false);
        root->SetSizeX(1280);
        root->SetSizeY(720);
        root->Create();
        stage->Attach(root.get(), ZRBaseCallback1<void, int>());
        screen = CreateScreenBits();
    }
    void TearDown() override {
        if (screen) MemMan->Delete(screen);
        if (stage) stage->Detach();
        root.reset();
        StageTest::TearDown();
    }
    // What the host would present this frame.
    TNyRGBBits* Present() {
        root->SetModify();
        root->Draw(screen, 0, 0);
        return screen;
    }
    void Shot(const std::string& name) {
        const char* out = std::getenv("ZR_STAGE_SHOTS");
        if (!out) return;
        Present();
        std::vector<unsigned char> bgr(1280 * 720 * 3);
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 1280; ++x) {
                const uint32_t p = screen->PGet(x, y);
                unsigned char* d = &bgr[(y * 1280 + x) * 3];
                d[0] = p & 0xFF, d[1] = (p >> 8) & 0xFF, d[2] = (p >> 16) & 0xFF;
            }
        ZRFileStream f((std::string(out) + "/" + name + ".png").c_str(), zrfmCreate);
        SavePng(&f, bgr.data(), 1280, 720, pf24_888);
    }
    uint32_t Seen(int x, int y) { return Present()->PGet(x, y) & 0xFFFFFF; }

    std::unique_ptr<TNyRGBPanel> root;
    TNyRGBBits* screen = nullptr;
};

TEST_F(StageDemo, ScenesOfTheDemoAreShown) {
    // Day, a character sliding in from the left edge, the others fading in place.
    stage->SetCharSlots(CharSlots());
    Show(10);
    const uint32_t sky = Seen(640, 20);
    EXPECT_NE(sky, 0u);
    CharSlots s;
    s.ShowId[1] = 1, s.MoveFrom[1] = -1;
    s.ShowId[3] = 2, s.MoveFrom[3] = 3, s.ShowFlag[3] = 1;
    s.ShowId[5] = 3, s.MoveFrom[5] = 5, s.ShowFlag[5] = 1;
    stage->SetCharSlots(s);
    ASSERT_TRUE(stage->StageApply());
    for (int i = 0; i < 2; ++i) stage->StageFrame(1, false);
    Shot("slide_in");
    while (stage->StageFrame(1, false)) {
    }
    // The centre character's dress is where slot 3 stands.
    EXPECT_NE(Seen(640, 600), Seen(40, 600));
    Shot("characters");

    // Evening through a mask wipe, shot half way.
    stage->SetTimePeriod(1);
    ASSERT_TRUE(stage->StageTransition(16, 100));
    for (int i = 0; i < 12; ++i) stage->StageFrame(1, false);
    Shot("transition");
    while (stage->StageFrame(1, false)) {
    }
    EXPECT_EQ(stage->ToneMode, 3);

    // Snow and then heavy rain on the bad-weather pictures of the family.
    stage->SetTimePeriod(0);
    stage->SetWeather(3);
    stage->StageTransition(0);
    for (int i = 0; i < 30; ++i) stage->StageFrame(1, false);
    EXPECT_EQ(stage->BG[0].variant, 2);
    Shot("snow");
    stage->SetWeather(2);
    stage->SetRainLevel(4);
    stage->StageTransition(0);
    for (int i = 0; i < 3; ++i) stage->StageFrame(1, false);
    EXPECT_EQ(stage->BG[0].variant, 1);
    Shot("rain");
    // The definition's stand-in picture.
    Show(30);
    EXPECT_EQ(stage->Letter, 0);
    EXPECT_NE(Seen(640, 100), 0u);
}

}  // namespace
