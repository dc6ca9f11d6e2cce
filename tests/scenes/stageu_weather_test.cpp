// Weather: seeding, the rain's re-scatter, the snow's wind and restarts, streak counts by rain
// level, flakes only where the background's alpha lets the sky through, and a small sheet.
#include <set>
#include <vector>

#include "stage_fixture.h"

using namespace stagetest;

namespace {

class StageWeather : public StageTest {
  protected:
    void SetUp() override {
        StageTest::SetUp();
        BG("bg014.bmp", Solid(1280, 720, 0));
        // Class-1 background in bad weather: sky (alpha 255) over ground (alpha 0).
        BG("bg024.png",
           Png(1280, 720, [](int, int y) { return y < 360 ? 0xFF000000u : 0x00000000u; }));
        Make();
    }
    // Lit columns of one row of a picture.
    static int LitColumns(TNyRGBBits* b, int y) {
        int n = 0;
        for (int x = 0; x < b->Width(); ++x) n += (b->PGet(x, y) & 0xFFFFFF) != 0;
        return n;
    }
};

TEST_F(StageWeather, SeedingFillsTheVariantsParticles) {
    struct Case {
        int32_t variant, count, x0, x1, y0, y1;
    } cases[] = {{1, 192, 0, 1279, -180, 539},
                 {6, 192, 0, 1279, -180, 539},
                 {2, 256, -32, 1311, -720, -1},
                 {8, 256, -32, 1311, -720, -1}};
    for (const Case& c : cases) {
        StageRecord r;
        r.variant = c.variant;
        r.counter = 5;
        stage->WeatherInit(r);
        std::set<int> xs;
        for (int i = 0; i < c.count; ++i) {
            EXPECT_GE(r.px[i], c.x0);
            EXPECT_LE(r.px[i], c.x1);
            EXPECT_GE(r.py[i], c.y0);
            EXPECT_LE(r.py[i], c.y1);
            xs.insert(r.px[i]);
        }
        EXPECT_GT(xs.size(), size_t(c.count) / 2) << c.variant;
        for (int i = c.count; i < 256; ++i) EXPECT_EQ(r.px[i], 0) << c.variant;
        EXPECT_EQ(r.counter, 0);
    }
}

TEST_F(StageWeather, RainIsScatteredAgainEverySecondTick) {
    StageRecord r;
    r.variant = 1;
    stage->WeatherInit(r);
    const std::vector<int16_t> first(r.px, r.px + 192);
    stage->WeatherTick(1, r, 0);
    EXPECT_EQ(std::vector<int16_t>(r.px, r.px + 192), first);
    stage->WeatherTick(1, r, 0);
    EXPECT_NE(std::vector<int16_t>(r.px, r.px + 192), first);
    EXPECT_EQ(r.counter, 0);
}

TEST_F(StageWeather, StreakCountsFollowTheRainLevel) {
    struct Case {
        int32_t variant, level, back, front, row;
    } cases[] = {{1, 0, 19, 19, 100}, {1, 4, 96, 96, 100}, {1, 2, 57, 57, 100},
                 {5, 0, 19, 0, 100},  {6, 0, 38, 0, 100},  {7, 4, 192, 0, 460}};
    TNyRGBBits* b = CreateScreenBits();
    for (const Case& c : cases) {
        StageRecord r;
        r.variant = c.variant;
        r.rainLevel = c.level;
        // Every drop in its own column, its streak crossing row 400.
        for (int i = 0; i < 192; ++i) r.px[i] = static_cast<int16_t>(100 + i * 5), r.py[i] = 100;
        b->Cls();
        stage->PaintWeatherBack(r, b, 0, 0, ZRRect{0, 0, 1280, 720});
        EXPECT_EQ(LitColumns(b, c.row), c.back) << c.variant << " " << c.level;
        b->Cls();
        stage->PaintWeatherFront(r, b, 0, 0, ZRRect{0, 0, 1280, 720});
        EXPECT_EQ(LitColumns(b, c.row), c.front) << c.variant << " " << c.level;
    }
    MemMan->Delete(b);
}

TEST_F(StageWeather, SnowWindAndRestarts) {
    StageRecord r;
    r.variant = 2;
    stage->WeatherInit(r);
    std::vector<std::vector<int32_t>> winds;
    for (int count = 1; count <= 25; ++count) {
        stage->WeatherTick(1, r, 0);
        if (count % 8 == 1) winds.push_back({r.wind[0], r.wind[1], r.wind[2], r.wind[3]});
    }
    EXPECT_EQ(winds, (std::vector<std::vector<int32_t>>{
                         {1, 1, 2, 1}, {1, 2, 2, 1}, {1, 2, 1, 1}, {1, 2, 1, 0}}));
    // Count 26 is even: nothing moves. Count 27 moves the first band by 4.
    r.py[0] = 730;  // 734 after the move: stays
    r.py[1] = 731;  // 735: restarts at the top
    stage->WeatherTick(1, r, 0);
    EXPECT_EQ(r.py[0], 730);
    stage->WeatherTick(1, r, 0);
    EXPECT_EQ(r.py[0], 734);
    EXPECT_EQ(r.py[1], -14);
}

TEST_F(StageWeather, RainOverAClassOneBackgroundNeedsItsAlpha) {
    Show(1010, 0, 2);  // bg010.bmp: no alpha plane
    EXPECT_EQ(stage->BG[0].variant, 0);
    EXPECT_FALSE(stage->WeatherPanel(false, false)->GetVisible());
    Show(1020, 0, 2);
    EXPECT_EQ(stage->BG[0].variant, 5);
    EXPECT_TRUE(stage->WeatherPanel(false, false)->GetVisible());
    EXPECT_FALSE(stage->WeatherPanel(false, true)->GetVisible());
    // Snow over it shows in the back layer only, where the sky is.
    Show(1020, 0, 3);
    EXPECT_EQ(stage->BG[0].variant, 8);
    EXPECT_TRUE(stage->WeatherPanel(false, false)->GetVisible());
    StageRecord& r = stage->BG[0];
    for (int i = 0; i < 256; ++i) r.px[i] = -100, r.py[i] = -100;
    r.px[0] = 100, r.py[0] = 100;      // 8x8 flake in the sky
    r.px[1] = 200, r.py[1] = 500;      // 8x8 flake on the ground
    r.px[100] = 300, r.py[100] = 100;  // 10x10 flake in the sky
    r.px[200] = 400, r.py[200] = 100;  // front flake: not drawn for this variant
    TNyRGBBits* b = CreateScreenBits();
    b->Cls();
    stage->PaintWeatherBack(r, b, 0, 0, ZRRect{0, 0, 1280, 720});
    stage->PaintWeatherFront(r, b, 0, 0, ZRRect{0, 0, 1280, 720});
    EXPECT_NE(At(b, 103, 103), 0u);
    EXPECT_EQ(At(b, 203, 503), 0u);
    EXPECT_NE(At(b, 305, 105), 0u);
    EXPECT_EQ(At(b, 405, 105), 0u);
    // Clipped to the draw rectangle.
    b->Cls();
    stage->PaintWeatherBack(r, b, 0, 0, ZRRect{0, 0, 104, 720});
    EXPECT_NE(At(b, 103, 103), 0u);
    EXPECT_EQ(At(b, 104, 103), 0u);
    MemMan->Delete(b);
}

TEST_F(StageWeather, ASmallFlakeSheetDrawsWhatItHolds) {
    Game("Snow.bmp", Solid(20, 5, 0x808080));
    Make();
    Show(10, 0, 3);
    ASSERT_EQ(stage->BG[0].variant, 2);
    StageRecord& r = stage->BG[0];
    for (int i = 0; i < 256; ++i) r.px[i] = 600, r.py[i] = 300;
    TNyRGBBits* b = CreateScreenBits();
    b->Cls();
    stage->PaintWeatherBack(r, b, 0, 0, ZRRect{0, 0, 1280, 720});
    stage->PaintWeatherFront(r, b, 0, 0, ZRRect{0, 0, 1280, 720});
    EXPECT_NE(At(b, 601, 301), 0u);
    EXPECT_EQ(At(b, 601, 306), 0u);
    // Once the flakes have drifted apart, each still shows no more than the sheet's five rows
    // (the widest flake is 14 pixels).
    for (int f = 0; f < 20; ++f) stage->StageFrame(1, false);
    b->Cls();
    stage->PaintWeatherBack(r, b, 0, 0, ZRRect{0, 0, 1280, 720});
    stage->PaintWeatherFront(r, b, 0, 0, ZRRect{0, 0, 1280, 720});
    int lit = 0, outside = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x) {
            if (At(b, x, y) == 0) continue;
            ++lit;
            bool held = false;
            for (int i = 0; i < 256 && !held; ++i)
                held = x >= r.px[i] && x < r.px[i] + 14 && y >= r.py[i] && y < r.py[i] + 5;
            outside += !held;
        }
    EXPECT_GT(lit, 0);
    EXPECT_EQ(outside, 0);
    MemMan->Delete(b);
}

TEST_F(StageWeather, ScratchLinesJitterAroundTheirPlace) {
    StageRecord r;
    r.variant = 3;
    stage->WeatherInit(r);
    std::set<int> drifts;
    for (int t = 0; t < 400; ++t) {
        const int16_t x = r.px[0];
        stage->WeatherTick(1, r, 0);
        if (r.px[0] == x) drifts.insert(r.wind[0]);
        EXPECT_GE(r.wind[0], -2);
        EXPECT_LE(r.wind[0], 2);
    }
    EXPECT_EQ(drifts.size(), 5u);
}

}  // namespace
