// The stage: position codes, character moves and fades frame by frame, priorities as z-order,
// transitions with their kinds and resources, tone reloads, effects and the composed picture.
#include <algorithm>
#include <string>
#include <vector>

#include "game/maint.h"
#include "stage_fixture.h"

using namespace stagetest;

namespace {

// Value after the start and after every frame, the frame that ends the step included.
template <typename F>
std::vector<int32_t> Trace(TStageUnit& st, F value, bool skip = false, int limit = 400) {
    std::vector<int32_t> v{value()};
    for (int i = 0; i < limit; ++i) {
        const bool busy = st.StageFrame(1, skip);
        v.push_back(value());
        if (!busy) break;
    }
    return v;
}

std::string Mask8() {
    const int w = 1280, h = 720;
    std::string b(54 + 1024 + w * h, '\0');
    auto put = [&b](int at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    b[0] = 'B', b[1] = 'M';
    put(2, static_cast<uint32_t>(b.size()), 4);
    put(10, 54 + 1024, 4);
    put(14, 40, 4);
    put(18, w, 4);
    put(22, h, 4);
    put(26, 1, 2);
    put(28, 8, 2);
    put(34, w * h, 4);
    put(46, 256, 4);
    for (int i = 0; i < 256; ++i) put(54 + 4 * i, i * 0x010101u, 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b[54 + 1024 + y * w + x] = static_cast<char>(x & 0xFF);
    return b;
}

TEST(StagePos, CodesPlaceAndMeasure) {
    struct Case {
        int32_t code, x, y;
    } cases[] = {{3, 640, 0},  {33, 640, -720}, {43, 640, 720}, {-1, 0, 0},
                 {16, 0, 0},   {99, 0, 0},      {0, 160, 0},    {6, 1120, 0},
                 {23, 640, 0}, {-7, -960, 0},   {13, 2240, 0},  {29, 1600, 0}};
    for (const Case& c : cases) {
        int32_t x, y;
        StagePosToXY(c.code, x, y);
        EXPECT_EQ(x, c.x) << c.code;
        EXPECT_EQ(y, c.y) << c.code;
    }
    struct Dist {
        int32_t a, b, d;
    } dists[] = {{0, 6, 6},    {33, 3, 2},   {23, 3, 1}, {30, 46, 6},
                 {-100, 5, 0}, {5, -100, 0}, {33, 43, 4}};
    for (const Dist& d : dists) EXPECT_EQ(StagePosDistance(d.a, d.b), d.d) << d.a << " " << d.b;
}

class StageMoves : public StageTest {
  protected:
    void SetUp() override {
        StageTest::SetUp();
        CG("chr001.png", Png(40, 80, [](int, int) { return 0xFF00FF00u; }));
        CG("chr002.png", Png(40, 80, [](int, int) { return 0xFFFF0000u; }));
        BG("bg010.bmp", Solid(1280, 720, 0x000040));
        Make();
    }
    TNyRGBPanel* P(int slot, int set = 0) { return stage->CharPanel(set, slot); }
    int CentreX(TNyRGBPanel* p) { return p->GetOffsetX() + p->GetSizeX() / 2; }
    int CentreY(TNyRGBPanel* p) { return p->GetOffsetY() - (720 - p->GetSizeY()) / 2; }
};

TEST_F(StageMoves, SlidesAndFadesTakeFourStepsAColumn) {
    CharSlots s;
    s.ShowId[0] = 1;
    stage->SetCharSlots(s);
    Show(10);
    ASSERT_TRUE(P(0)->GetVisible());
    EXPECT_EQ(CentreX(P(0)), 160);

    // 0 to 6: 24 steps, one a frame; the move ends on the frame after the last step.
    CharSlots m;
    m.ShowId[6] = 1;
    m.MoveFrom[6] = 0;
    stage->SetCharSlots(m);
    EXPECT_TRUE(stage->StageApply());
    EXPECT_EQ(stage->ShownId[0], -1);
    EXPECT_FALSE(P(0)->GetVisible());
    const auto xs = Trace(*stage, [&] { return CentreX(P(6)); });
    ASSERT_EQ(xs.size(), 26u);
    EXPECT_EQ(xs[0], 160);
    EXPECT_EQ(xs[12], 640);
    EXPECT_EQ(xs[23], 1080);
    EXPECT_EQ(xs[24], 1120);
    EXPECT_EQ(xs[25], 1120);
    EXPECT_EQ(stage->ShownId[6], 1);

    // From one screen above to the centre: two row steps, 8 frames, centred at x 640.
    CharSlots up;
    up.ShowId[3] = 2;
    up.MoveFrom[3] = 33;
    up.ShowId[6] = 1;
    stage->SetCharSlots(up);
    stage->StageApply();
    EXPECT_EQ(CentreY(P(3)), -720);
    EXPECT_EQ(Frames(100), 9);
    EXPECT_EQ(CentreY(P(3)), 0);
    EXPECT_EQ(CentreX(P(3)), 640);

    // Skip ends a move at once, at home.
    CharSlots back;
    back.ShowId[0] = 2;
    back.MoveFrom[0] = 3;
    back.ShowId[6] = 1;
    stage->SetCharSlots(back);
    stage->StageApply();
    EXPECT_FALSE(stage->StageFrame(1, true));
    EXPECT_EQ(CentreX(P(0)), 160);
}

TEST_F(StageMoves, FadeRatesInPlaceAndLeaving) {
    struct Case {
        int32_t from;
        uint8_t flag;
        std::vector<int32_t> rates;
    } cases[] = {
        {3, 1, {0, 32, 64, 96, 128}},
        {-100, 1, {128}},
        {3, 0, {128}},
    };
    for (const Case& c : cases) {
        stage->Reset();
        CharSlots s;
        s.ShowId[3] = 1;
        s.MoveFrom[3] = c.from;
        s.ShowFlag[3] = c.flag;
        stage->SetCharSlots(s);
        stage->StageApply();
        auto rates = Trace(*stage, [&] { return stage->ShownRate[3]; });
        if (rates.size() > c.rates.size()) rates.resize(c.rates.size());
        EXPECT_EQ(rates, c.rates) << c.from << " " << int(c.flag);
        EXPECT_EQ(stage->ShownRate[3], 128);
        EXPECT_EQ(CentreX(P(3)), 640);
    }
    // Leaving in place with a fade: 128 then down to 0 over four steps, then hidden.
    CharSlots out;
    out.LeaveId[3] = 1;
    out.MoveTo[3] = 23;
    out.LeaveFlag[3] = 1;
    stage->SetCharSlots(out);
    stage->StageApply();
    EXPECT_FALSE(P(3)->GetVisible());
    ASSERT_TRUE(P(3, 2)->GetVisible());
    auto rates = Trace(*stage, [&] { return stage->LeaveRate[3]; });
    rates.resize(5);
    EXPECT_EQ(rates, (std::vector<int32_t>{128, 96, 64, 32, 0}));
    EXPECT_FALSE(P(3, 2)->GetVisible());
}

TEST_F(StageMoves, PrioritiesOrderTheSlotsAndBadValuesAreIgnored) {
    CharSlots s;
    for (int i = 0; i < 7; ++i) s.ShowId[i] = 1 + i % 2;
    stage->SetCharSlots(s);
    for (int p = 0; p < 4; ++p) {
        stage->SetPriority(p);
        stage->SetRainLevel(5);
        stage->SetPriority(4);
        Show(10);
        EXPECT_EQ(stage->Priority, p);
        EXPECT_EQ(stage->RainLevel, 4);
        TNyRGBPanel* base = P(0)->GetParent();
        for (int k = 0; k < 7; ++k)
            EXPECT_EQ(base->GetChild(k), P(kStagePriority[p][k])) << p << " " << k;
    }
}

// ---- Transitions ----

class StageTransitions : public StageTest {
  protected:
    void SetUp() override {
        StageTest::SetUp();
        BG("bg010.bmp", Solid(1280, 720, 0x0000FF));
        BG("bg011.bmp", Solid(1280, 720, 0xFF8000));
        BG("bg013.bmp", Solid(1280, 720, 0x00FF00));
        BG("bg020.bmp", Solid(1280, 720, 0xFF0000));
        CG("chr001.png", Png(40, 80, [](int, int) { return 0xFFC0C0C0u; }));
        Make();
    }
    void Masks() {
        const std::string mask = Mask8();
        for (const char* n :
             {"FadeMask00_BlindR.bmp", "FadeMask01_BlindL.bmp", "FadeMask02_VorelR.bmp",
              "FadeMask03_VorelL.bmp", "FadeMask04_Circle.bmp", "FadeMask05_CircleR.bmp",
              "FadeMask06_Clock.bmp", "FadeMask07_Swirl.bmp", "FadeMask08_Crystal.bmp",
              "FadeMask09_StripesB.bmp", "FadeMask10_StripesN.bmp", "FadeMask11_Star.bmp",
              "FadeMask12_Radiation.bmp", "FadeMask13_RadiationR.bmp", "FadeMask14_Windmill.bmp",
              "FadeMask15_Naruto.bmp", "FadeMask16_Noise.bmp"})
            Game(n, mask);
    }
};

TEST_F(StageTransitions, EffectZeroChangesAtOnce) {
    Show(10);
    EXPECT_EQ(At(5, 5), 0x0000FFu);
    stage->SetBackground(20);
    EXPECT_FALSE(stage->StageTransition(0));
    EXPECT_EQ(At(640, 360), 0xFF0000u);
    EXPECT_EQ(stage->StageState, TStageUnit::ssIdle);
}

TEST_F(StageTransitions, EachEffectStartsItsKindWithItsResource) {
    Masks();
    struct Case {
        int32_t effect;
        uint8_t kind;
        bool mask, water, halo;
    } cases[] = {
        {1, 0, 0, 0, 0},   {2, 1, 0, 0, 0},   {3, 0, 0, 0, 0},   {-4, 0, 0, 0, 0},
        {29, 0, 0, 0, 0},  {4, 14, 1, 0, 0},  {5, 14, 1, 0, 0},  {6, 14, 1, 0, 0},
        {7, 14, 1, 0, 0},  {8, 3, 0, 0, 0},   {9, 4, 0, 0, 0},   {10, 5, 0, 0, 0},
        {11, 6, 0, 0, 0},  {12, 7, 0, 0, 0},  {13, 9, 0, 0, 0},  {14, 11, 0, 1, 0},
        {15, 12, 0, 0, 1}, {16, 14, 1, 0, 0}, {21, 13, 1, 0, 0}, {22, 14, 1, 0, 0},
        {28, 14, 1, 0, 0},
    };
    int bg = 10;
    for (const Case& c : cases) {
        bg = bg == 10 ? 20 : 10;
        stage->SetBackground(bg);
        EXPECT_TRUE(stage->StageTransition(c.effect)) << c.effect;
        EXPECT_EQ(stage->Transition.kind, c.kind) << c.effect;
        EXPECT_EQ(stage->Transition.mask.loaded != 0, c.mask) << c.effect;
        EXPECT_EQ(stage->Transition.water.loaded != 0, c.water) << c.effect;
        EXPECT_EQ(stage->Transition.halo.loaded != 0, c.halo) << c.effect;
        EXPECT_FALSE(stage->StageFrame(1, true)) << c.effect;
        EXPECT_EQ(stage->Transition.mask.loaded, 0) << c.effect;
        EXPECT_EQ(stage->Transition.water.loaded, 0) << c.effect;
        EXPECT_EQ(stage->Transition.halo.loaded, 0) << c.effect;
        EXPECT_EQ(stage->FromBits, nullptr);
        EXPECT_EQ(At(640, 360), bg == 10 ? 0x0000FFu : 0xFF0000u) << c.effect;
    }
}

// Without its mask, missing or damaged, a wipe changes the stage at once and says which file
// it lacked, rather than ending the game.
TEST_F(StageTransitions, AMissingOrDamagedMaskChangesTheStageAtOnce) {
    int bg = 10;
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged);
        if (damaged) Game("FadeMask04_Circle.bmp", Mask8().substr(0, 4000));
        Show(bg);
        bg = bg == 10 ? 20 : 10;
        stage->SetBackground(bg);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(stage->StageTransition(16));
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find("FadeMask04_Circle.bmp"), std::string::npos) << err;
        EXPECT_EQ(stage->StageState, TStageUnit::ssIdle);
        EXPECT_EQ(stage->Transition.mask.loaded, 0);
        EXPECT_EQ(stage->FromBits, nullptr);
        EXPECT_EQ(stage->ToBits, nullptr);
        EXPECT_EQ(stage->SecondBG, 0);
        EXPECT_EQ(At(640, 360), bg == 10 ? 0x0000FFu : 0xFF0000u);
        EXPECT_FALSE(stage->StageFrame(1, false));
    }
}

TEST_F(StageTransitions, CrossFadeRunsToItsEndAndKeepsTheOldPictureMoving) {
    Show(10);
    stage->SetBackground(20);
    ASSERT_TRUE(stage->StageTransition(1));
    EXPECT_EQ(stage->SecondBG, 1);
    EXPECT_EQ(At(640, 360), 0x0000FFu);  // the first frame shows where it comes from
    int frames = 1;
    bool mixed = false;
    while (stage->StageFrame(1, false) && frames < 200) {
        ++frames;
        const uint32_t c = At(640, 360);
        if (c != 0x0000FFu && c != 0xFF0000u) mixed = true;
    }
    EXPECT_TRUE(mixed);
    EXPECT_LT(frames, 200);
    EXPECT_EQ(At(640, 360), 0xFF0000u);
    EXPECT_EQ(stage->SecondBG, 0);
}

TEST_F(StageTransitions, TheOldPictureKeepsWhatDidNotChange) {
    CharSlots s;
    s.ShowId[3] = 1;
    stage->SetCharSlots(s);
    Show(10);
    // Background changes, the character stays: the old side still shows the character.
    stage->SetBackground(20);
    ASSERT_TRUE(stage->StageTransition(1));
    stage->StageFrame(1, false);
    EXPECT_EQ(At(stage->FromBits, 640, 360), 0xC0C0C0u);
    EXPECT_EQ(At(stage->FromBits, 100, 100), 0x0000FFu);
    EXPECT_EQ(At(stage->ToBits, 100, 100), 0xFF0000u);
    stage->StageFrame(1, true);
    // Only the character leaves: the old side keeps its background and the one leaving.
    stage->SetCharSlots(CharSlots());
    ASSERT_TRUE(stage->StageTransition(1));
    stage->StageFrame(1, false);
    EXPECT_EQ(At(stage->FromBits, 100, 100), 0xFF0000u);
    EXPECT_EQ(At(stage->FromBits, 640, 360), 0xC0C0C0u);
    EXPECT_EQ(At(stage->ToBits, 640, 360), 0xFF0000u);
    stage->StageFrame(1, true);
}

TEST_F(StageTransitions, SimpleDisplayRunsBetweenStillSnapshots) {
    Show(10);
    UserSettings.SimpleDisplay = true;
    stage->SetBackground(20);
    ASSERT_TRUE(stage->StageTransition(1));
    EXPECT_EQ(stage->SecondBG, 0);
    EXPECT_FALSE(stage->BG[1].created);
    // Draw over the target snapshot: with still snapshots nothing re-renders it.
    stage->ToBits->PSet(0, 0, 0x123456);
    int frames = 0;
    while (stage->StageFrame(1, false) && frames++ < 200)
        EXPECT_EQ(At(stage->ToBits, 0, 0), 0x123456u);
    EXPECT_GT(frames, 2);
}

TEST_F(StageTransitions, ToneChangesReloadEveryCharacter) {
    CharSlots s;
    s.ShowId[2] = 1;
    stage->SetCharSlots(s);
    Show(10, 0);
    const TNyRGBBits* day = stage->Chars[0][2].picture.get();
    ASSERT_NE(day, nullptr);
    // Day to morning keeps tone 0: nothing is reloaded.
    Show(10, 3);
    EXPECT_EQ(stage->ToneMode, 0);
    EXPECT_EQ(stage->Chars[0][2].picture.get(), day);
    // Day to evening (tone 3): reloaded and toned, although no id changed.
    BG("bg011.bmp", Solid(1280, 720, 0x202020));
    Show(10, 1);
    EXPECT_EQ(stage->ToneMode, 3);
    ASSERT_NE(stage->Chars[0][2].picture.get(), nullptr);
    EXPECT_NE(stage->Chars[0][2].picture->PGet(0, 0) & 0xFFFFFF, 0xC0C0C0u);
    EXPECT_EQ(stage->ShownId[2], 1);
}

// ---- Effects and moves ----

TEST_F(StageTransitions, ShakesAndJumpsMoveThePictureAndBlackenWhatTheyUncover) {
    Show(10);
    EXPECT_FALSE(stage->StageEffect(5));
    ASSERT_TRUE(stage->StageEffect(0));
    EXPECT_EQ(Frames(100), 18);

    ASSERT_TRUE(stage->StageEffect(3));
    const auto all = Trace(*stage, [&] { return stage->ShiftY; });
    std::vector<int32_t> ys;
    for (size_t i = 0; i < all.size(); i += 2) ys.push_back(all[i]);
    EXPECT_EQ(ys, (std::vector<int32_t>{-8, -16, -24, -32, -64, 64, 0}));

    ASSERT_TRUE(stage->StageEffect(3));
    EXPECT_FALSE(stage->StageFrame(1, true));

    // The panel drawn while shifted up by 32: the bottom strip is black.
    ASSERT_TRUE(stage->StageEffect(0));
    TNyRGBBits* target = CreateScreenBits();
    target->BoxFill(0, 0, 1279, 719, 0xFFFFFF);
    stage->StagePanel()->Draw(target, 0, 0);
    EXPECT_EQ(At(target, 10, 700), 0u);
    EXPECT_EQ(At(target, 10, 600), 0x0000FFu);
    MemMan->Delete(target);
}

TEST_F(StageTransitions, FlashGoesWhiteAndBack) {
    Show(10);
    ASSERT_TRUE(stage->StageEffect(4));
    bool white = false;
    int frames = 0;
    while (stage->StageFrame(1, false) && frames < 300) {
        ++frames;
        if (At(640, 360) == 0xFFFFFFu) white = true;
    }
    EXPECT_TRUE(white);
    EXPECT_LT(frames, 300);
    EXPECT_EQ(At(640, 360), 0x0000FFu);
}

TEST_F(StageTransitions, CentreMoves) {
    Show(10);
    EXPECT_FALSE(stage->StageMove(0));  // nobody in the centre: ends at once
    CharSlots s;
    s.ShowId[3] = 1;
    stage->SetCharSlots(s);
    Show(10);
    TNyRGBPanel* p = stage->CharPanel(0, 3);
    const int base = 640 - p->GetSizeX() / 2;
    ASSERT_TRUE(stage->StageMove(1));
    auto xs = Trace(*stage, [&] { return p->GetOffsetX() - base; });
    EXPECT_EQ(xs, (std::vector<int32_t>{0, 64, 128, 192, 256, 192, 128, 64, 0}));
    ASSERT_TRUE(stage->StageMove(0));
    xs = Trace(*stage, [&] { return p->GetOffsetX() - base; });
    ASSERT_EQ(xs.size(), 17u);
    EXPECT_EQ(xs[0], -16);
    EXPECT_EQ(xs[1], 16);
    EXPECT_EQ(xs[16], 0);
}

}  // namespace

namespace {

TEST_F(StageMoves, ClicksPlaceholdersAndSetUpFailures) {
    // The stage panel reports the three buttons as 1, 2 and 3.
    struct Sink {
        std::vector<int> codes;
        void Take(int c) { codes.push_back(c); }
    } sink;
    stage->SetClickCallback(ZRBaseCallback1<void, int>(&sink, &Sink::Take));
    for (TMouseButton b : {mbLeft, mbRight, mbMiddle}) stage->StagePanel()->MouseDown(b, 0, 10, 10);
    EXPECT_EQ(sink.codes, (std::vector<int>{1, 2, 3}));

    // Character 999 stands in as a transparent 16x16 square; a missing picture hides the slot.
    CharSlots s;
    s.ShowId[2] = 999;
    s.ShowId[4] = 77;
    stage->SetCharSlots(s);
    Show(10);
    EXPECT_EQ(stage->ShownId[2], 999);
    EXPECT_EQ(P(2)->GetSizeX(), 16);
    EXPECT_EQ(CentreX(P(2)), 480);
    EXPECT_EQ(stage->ShownId[4], -1);
    EXPECT_FALSE(P(4)->GetVisible());

    // Set-up needs both picture archives and the flake sheet.
    std::filesystem::rename(dir.Host("game/Snow.bmp"), dir.Host("game/Snow.old"));
    TStageUnit noSnow;
    EXPECT_FALSE(noSnow.Setup(&archive));
    EXPECT_FALSE(noSnow.Exists());
    std::filesystem::rename(dir.Host("game/Snow.old"), dir.Host("game/Snow.bmp"));
    std::filesystem::rename(dir.Host("EvCG_Pak"), dir.Host("EvCG_Old"));
    TStageUnit noCharacters;
    EXPECT_FALSE(noCharacters.Setup(&archive));
    EXPECT_FALSE(noCharacters.StageTransition(1));
    std::filesystem::rename(dir.Host("EvCG_Old"), dir.Host("EvCG_Pak"));
}

}  // namespace
