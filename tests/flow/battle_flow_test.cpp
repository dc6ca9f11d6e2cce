// Whole battles played through the game's logic thread in lock step: a script hands over to
// the battle, the player stops the reels with the OK key and answers the selections, and the
// outcome comes back to the script (or the game goes back to the title).
#include "flow_harness.h"
#include "media/soundfixtures.h"
#include "scenes/stageu.h"

namespace flowtest {
namespace {

// Value 7 := the battle's outcome; then a click wait, so the test sees the scene again.
const std::string kBattleScene = R"(
    PUSH 7
    GoBattle %d
    SETV
    TextShow
    Text "after"
    KeyWait
    EXIT)";

constexpr uint32_t kGaugeL = 0x20C040;
uint32_t CellColour(int c) {
    return 0x101010u * static_cast<uint32_t>(c + 1) + 0x000040;
}

class BattleFlow : public FlowHarness {
  protected:
    void Game(int battle, int symbol, const std::string& rows) {
        char body[256];
        std::snprintf(body, sizeof body, kBattleScene.c_str(), battle);
        WriteGame({Scene(0, "GameStart", body)});
        WriteBattleTables(symbol, rows);
    }
    // From the title into the scene, which hands over to the battle at once.
    bool IntoBattle() {
        if (!RunUntil([this] { return OnTitle(); })) return false;
        Click();
        return RunUntil([this] { return InBattle(); });
    }
    bool InBattle() const { return BattleUnit && Mode() == smBattle && BattleUnit->Core().state; }
    // Plays the running battle: OK stops each reel as soon as one takes it, and `choice`
    // (0 or 1) is confirmed on every selection; stops when the battle ends or `until` holds.
    bool PlayBattle(int choice, const std::function<bool()>& until = {}, bool clicks = false) {
        for (int64_t f = 0, steps = gate.Clock().StepsFor(6000); f < steps; ++f) {
            if (Finished()) return false;
            if (!InBattle()) return true;
            if (until && until()) return true;
            const BattleCore& c = BattleUnit->Core();
            const bool stop =
                c.state == 2 && c.step == 0 &&
                (c.reels[0].state == 3 || (c.reels[1].state == 3 && c.reels[0].state == 0) ||
                 (c.reels[2].state == 3 && c.reels[1].state == 0));
            const bool select =
                (c.state == 4 && (c.step == 2 || c.step == 7)) || (c.state == 5 && c.step == 2);
            if (stop && clicks) {
                Click();
                RunFrames(1);
            } else if (stop || (select && c.selected == choice)) {
                Press(kOk);
            } else if (select) {
                input.Press(0xD0, 0x28, true);  // down
                RunFrames(1);
                input.Press(0xD0, 0x28, false);
                RunFrames(1);
            } else {
                RunFrames(1);
            }
        }
        return false;
    }
    // The enemy (character 4) as a plain picture, so the stage's centre slot shows it.
    void WriteEnemy() { WritePicture(dir.Host("EvCG_Pak/chr004.png"), 100, 300, 0x30C030); }
    // The centre slot's x, one entry a change, from the first hit until that hit is over.
    std::function<bool()> TraceFirstHit(std::vector<int>& xs) {
        return [this, &xs, done = false]() mutable {
            const BattleCore& c = BattleUnit->Core();
            if (done || c.state != 3 || c.phase != 8) {
                done = done || !xs.empty();
                return false;
            }
            const int x = AvgUnit->Stage->CharPanel(0, 3)->GetOffsetX();
            if (xs.empty() || xs.back() != x) xs.push_back(x);
            return false;
        };
    }
    uint32_t ScreenPixel(int x, int y) {
        std::vector<uint32_t> px;
        int32_t w = 0, h = 0;
        if (!display.Screen().ReadScreen(px, w, h) || x >= w || y >= h) return 0xDEADBEEF;
        return px[size_t(y) * w + x] & 0xFFFFFF;
    }
};

const char kWinnable[] = "#,0,4,100,10,0,-1,100,0,200,200,200,0,0,200,200,200,0,0\r\n";
// Battle 5 where every attack misses and the enemy wins in one blow.
const char kMissing[] = "#,5,4,100,200,100,-1,100,0,200,200,200,0,0,200,200,200,0,0\r\n";
const char kLosing[] =
    "#,2,4,100,200,0,-1,100,0,0,0,0,0,0,0,0,0,0,0\r\n"
    "#,5,4,100,200,0,-1,100,0,0,0,0,0,0,0,0,0,0,0\r\n";

TEST_F(BattleFlow, AWonBattleGoesBackToTheStoryWithZero) {
    Game(0, 0, kWinnable);
    WriteEnemy();
    WriteMovie("BtlCI_NR_Tornado.sfd", 6, "Battle/");
    Start(3);
    ASSERT_TRUE(IntoBattle());
    TStageUnit* stage = AvgUnit->Stage;
    ASSERT_NE(stage, nullptr);
    EXPECT_EQ(stage->StagePanel()->GetParent(), BattleUnit->AvgPanel) << "the stage is lent to the battle";
    EXPECT_EQ(stage->Staged.ShowId[3], 4) << "the enemy in the centre slot";
    TNyRGBPanel* enemy = stage->CharPanel(0, 3);
    ASSERT_TRUE(enemy->GetVisible());
    const int base = enemy->GetOffsetX();
    EXPECT_EQ(base, 640 - enemy->GetSizeX() / 2);
    // The reels stopped by clicks on the slot. Three emblems of the first heroine: her
    // whole-screen cut-in fills the screen from its corner, and the hit shivers the enemy.
    std::vector<int> xs;
    bool cutinSeen = false;
    auto trace = TraceFirstHit(xs);
    ASSERT_TRUE(PlayBattle(
        0,
        [&] {
            const BattleCore& c = BattleUnit->Core();
            if (c.state == 3 && c.phase == 3 && BattleUnit->BGMoviePanel->GetVisible()) {
                cutinSeen = true;
                EXPECT_EQ(BattleUnit->BGMoviePanel->GetOffsetX(), 0);
                EXPECT_EQ(BattleUnit->BGMoviePanel->GetOffsetY(), 0);
            }
            return trace();
        },
        true));
    EXPECT_TRUE(cutinSeen);
    // Sixteen steps to alternate sides of the centre, then back on it (the first step may
    // fall in the frame the hit began).
    if (!xs.empty() && xs.front() == base - 16) xs.erase(xs.begin());
    std::vector<int> shiver;
    for (int step = 1; step <= 16; ++step)
        shiver.push_back(step == 16 ? base : step % 2 ? base + 16 : base - 16);
    EXPECT_EQ(xs, shiver);
    ASSERT_TRUE(RunUntil([this] { return Mode() == smAdventure && SceneState() == asClickWait; }));
    EXPECT_EQ(CurrentState.GetValue(7), 0);
    EXPECT_EQ(stage->StagePanel()->GetParent(), AvgUnit->RootPanel) << "and given back";
}

TEST_F(BattleFlow, LosingBattleFiveLetsTheStoryGoOn) {
    // As the game runs at its full frame rate: most frames carry no tick.
    UsePacing(Pacing::Full);
    Game(5, 0, kMissing);
    WriteEnemy();
    Start(3);
    ASSERT_TRUE(IntoBattle());
    const int base = AvgUnit->Stage->CharPanel(0, 3)->GetOffsetX();
    bool selection = false;
    std::vector<int> xs;
    auto trace = TraceFirstHit(xs);
    ASSERT_TRUE(PlayBattle(0, [&] {
        selection = selection || BattleUnit->Core().selectMode != 0;
        return trace();
    }));
    // A missed attack: the enemy dashes aside, 64 pixels a step for four steps and back.
    if (!xs.empty() && xs.front() == base) xs.erase(xs.begin());
    EXPECT_EQ(xs, (std::vector<int>{base + 64, base + 128, base + 192, base + 256, base + 192,
                                    base + 128, base + 64, base}));
    ASSERT_TRUE(RunUntil([this] { return Mode() == smAdventure && SceneState() == asClickWait; }));
    EXPECT_FALSE(selection) << "no game-over choice";
    EXPECT_EQ(CurrentState.GetValue(7), 1);
}

TEST_F(BattleFlow, GameOverRetriesWithFullGaugesThenGoesToTheTitle) {
    Game(2, 5, kLosing);
    Start(3);
    ASSERT_TRUE(IntoBattle());
    // Lose once and take the retry.
    ASSERT_TRUE(PlayBattle(0, [this] {
        const BattleCore& c = BattleUnit->Core();
        return c.state == 5 && c.step == 2;
    }));
    EXPECT_EQ(BattleUnit->Core().playerGauge, 0);
    Press(kOk);
    ASSERT_TRUE(RunUntil([this] { return BattleUnit->Core().state == 2; }));
    EXPECT_EQ(BattleUnit->Core().playerGauge, 100);
    EXPECT_EQ(BattleUnit->Core().enemyGauge, 100);
    // Lose again and go back to the title: the script is resumed once with 0 on the way.
    ASSERT_TRUE(PlayBattle(1));
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    EXPECT_EQ(BattleUnit, nullptr);
}

TEST_F(BattleFlow, ReelsAndGaugesReachThePresentedFrame) {
    Game(0, 1, kWinnable);  // every reel shows the second heroine's emblem
    // The strip: cell c in its own colour; gauges in theirs.
    {
        constexpr int w = 212, cell = 106;
        std::vector<unsigned char> bgr(size_t(w) * cell * 13 * 3);
        for (int y = 0; y < cell * 13; ++y)
            for (int x = 0; x < w; ++x) {
                const uint32_t c = CellColour(y / cell);
                unsigned char* p = &bgr[(size_t(y) * w + x) * 3];
                p[0] = c & 0xFF, p[1] = (c >> 8) & 0xFF, p[2] = c >> 16;
            }
        ZRFileStream out(Data("BtlSlotReel.png").c_str(), zrfmCreate);
        ASSERT_TRUE(SavePng(&out, bgr.data(), w, cell * 13, pf24_888));
    }
    WritePicture(Data("BtlGaugeL.png"), 472, 48, kGaugeL);
    Start(3);
    ASSERT_TRUE(IntoBattle());
    ASSERT_TRUE(RunUntil([this] { return BattleUnit->Core().state == 2; }));
    RunFrames(2);
    EXPECT_EQ(ScreenPixel(93 + 2, 50), kGaugeL) << "the player's gauge filled by the intro";
    // Symbol 1 shows cell 3 + reel on each payline.
    const int reelX[3] = {226, 534, 842};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ScreenPixel(reelX[i] + 100, 136 + 190), CellColour(3 + i)) << i;
    ASSERT_TRUE(PlayBattle(0));
}

// A trip through a battle (with its sounds loaded) and a game over back to the title leaves no
// tracked object behind.
TEST_F(BattleFlow, BackAtTheTitleNoTrackedObjectOutlivesTheBattle) {
    Game(2, 5, kLosing);
    // The battle's own sounds, so it loads (and must free) its sound buffers.
    const fixtures::Bytes tone = fixtures::EncodeVorbis(fixtures::Tone(2205, 1, 22050), 1, 22050);
    std::vector<std::string> sounds = {"BtlSESlotStart", "BtlSESlotStop", "BtlSESlotChange", "BtlVoSlotBar"};
    for (int k = 0; k < 4; ++k)
        for (const char* side : {"R", "B"}) sounds.push_back("BtlVoSlot0" + std::to_string(k) + side);
    for (const std::string& name : sounds) WriteFile(Data(name + ".ogg"), std::string(tone.begin(), tone.end()));
    Start(3);
    ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
    const int before = MemMan->Count();
    for (int trip = 0; trip < 2; ++trip) {
        ASSERT_TRUE(IntoBattle());
        ASSERT_TRUE(PlayBattle(1));
        ASSERT_TRUE(RunUntil([this] { return OnTitle(); }));
        EXPECT_EQ(MemMan->Count(), before) << "after game over " << trip + 1;
    }
}

}  // namespace
}  // namespace flowtest
