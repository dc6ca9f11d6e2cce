// The battle's screen over generated tables and pictures: set-up faults, the stage lent and
// given back, whole battles where the movies and most pictures are missing, and the reels and
// gauges as they reach the screen.
#include "scenes/battleu.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "../tempdir.h"
#include "foundation/zrfileman.h"
#include "foundation/zrmemman.h"
#include "foundation/zrstream.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "media/zrpng.h"
#include "scenes/avgu.h"
#include "widgets/nyrgbanime.h"
#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbtext.h"

namespace {

constexpr uint32_t kGaugeL = 0x20C040, kGaugeR = 0xC02040;
// Colour of strip cell c: distinct in every channel.
uint32_t CellColour(int c) {
    return 0x101010u * static_cast<uint32_t>(c + 1) + 0x000040;
}

struct LendStage : AvgStage {
    TNyRGBPanel* parent = nullptr;
    bool busy = false;
    bool Exists() const override { return true; }
    bool IsBusy() const override { return busy; }
    void Attach(TNyRGBPanel* p, const ZRBaseCallback1<void, int>&) override { parent = p; }
    void Detach() override { parent = nullptr; }
};

class BattleUnitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedDepth_ = WorkBitDepth;
        WorkBitDepth = bd32;
        MemMan = new ZRMemMan();
        ASSERT_TRUE(files.InitDir(ZRString(dir.Host().c_str())));
        WriteReels(12, 0, 0, 0);
        WriteData(
            "#,0,4,100,10,0,-1,100,0,60,60,60,0,0,50,50,50,0,0\n"
            "#,5,4,100,60,0,-1,100,1,0,0,0,0,0,0,0,0,0,0\n"
            "#,6,4,100,10,0,-1,100,4,60,60,60,0,0,50,50,50,0,0\n");
        WriteStrip();
        WriteSolid("BtlGaugeL.png", 472, 48, kGaugeL);
        WriteSolid("BtlGaugeR.png", 472, 48, kGaugeR);
        avg.SetStage(&stage);
        avg.RootPanel = &avgRoot;
        AvgUnit = &avg;
    }
    void TearDown() override {
        AvgUnit = nullptr;
        files.Finish();
        delete MemMan;
        MemMan = nullptr;
        WorkBitDepth = savedDepth_;
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir.Host(name), std::ios::binary) << text;
    }
    // Every reel shows one symbol all round.
    void WriteReels(int rows, int s0, int s1, int s2) {
        std::string csv = "set";
        for (int c = 0; c < 21; ++c) csv += ",#";
        csv += ",!\n";
        const int sym[3] = {s0, s1, s2};
        for (int r = 0; r < rows; ++r) {
            csv += "#";
            for (int c = 0; c < 21; ++c) csv += "," + std::to_string(sym[r % 3]);
            csv += "\n";
        }
        Write("BtlReel.csv", csv);
    }
    void WriteData(const std::string& rows) {
        Write("BtlData.csv",
              "no,#n,#ch,#eg,#ed,#miss,#mv,#pg,#set,#r1,#r2,#r3,#rg,#re,#b1,#b2,#b3,#bg,#be,!\n" +
                  rows);
    }
    void WriteSolid(const std::string& name, int w, int h, uint32_t rgb) {
        std::vector<unsigned char> bgr(static_cast<size_t>(w) * h * 3);
        for (size_t i = 0; i < bgr.size(); i += 3)
            bgr[i] = rgb & 0xFF, bgr[i + 1] = (rgb >> 8) & 0xFF, bgr[i + 2] = rgb >> 16;
        ZRFileStream out(dir.Host(name).c_str(), zrfmCreate);
        ASSERT_TRUE(SavePng(&out, bgr.data(), w, h, pf24_888));
    }
    // Blocks of one colour each, stacked.
    void WriteBlocks(const std::string& name, int w, int h, const std::vector<uint32_t>& rgbs) {
        std::vector<unsigned char> bgr(static_cast<size_t>(w) * h * rgbs.size() * 3);
        for (size_t i = 0; i < bgr.size(); i += 3) {
            const uint32_t rgb = rgbs[i / 3 / (static_cast<size_t>(w) * h)];
            bgr[i] = rgb & 0xFF, bgr[i + 1] = (rgb >> 8) & 0xFF, bgr[i + 2] = rgb >> 16;
        }
        ZRFileStream out(dir.Host(name).c_str(), zrfmCreate);
        ASSERT_TRUE(SavePng(&out, bgr.data(), w, h * static_cast<int>(rgbs.size()), pf24_888));
    }
    void WriteStrip() {
        constexpr int w = 212, cell = 106;
        std::vector<unsigned char> bgr(static_cast<size_t>(w) * cell * 13 * 3);
        for (int y = 0; y < cell * 13; ++y)
            for (int x = 0; x < w; ++x) {
                const uint32_t c = CellColour(y / cell);
                unsigned char* p = &bgr[(static_cast<size_t>(y) * w + x) * 3];
                p[0] = c & 0xFF, p[1] = (c >> 8) & 0xFF, p[2] = c >> 16;
            }
        ZRFileStream out(dir.Host("BtlSlotReel.png").c_str(), zrfmCreate);
        ASSERT_TRUE(SavePng(&out, bgr.data(), w, cell * 13, pf24_888));
    }
    // What the player sees of the battle's panels.
    std::unique_ptr<TNyRGBBits> Present(TBattleUnit& u) {
        auto b = std::make_unique<TNyRGBBits>(nullptr);
        b->SetBitDepth(bd32);
        b->SetPixFormat(pf32_888);
        b->SetWidth(1280);
        b->SetHeight(720);
        EXPECT_TRUE(b->Create());
        b->BoxFill(0, 0, 1279, 719, 0);
        u.RootPanel->Draw(b.get(), 0, 0);
        return b;
    }
    // Plays until the battle ends, stopping reels as soon as they take it and confirming
    // button `choice` of any selection.
    // `after` runs after every frame.
    int Play(TBattleUnit& u, int choice, int limit = 20000,
             const std::function<void()>& after = {}) {
        outcomes.clear();
        u.PostResult = [this](int32_t o) { outcomes.push_back(o); };
        for (int f = 0; f < limit && outcomes.empty(); ++f) {
            const BattleCore& c = u.Core();
            BattleInput in;
            in.confirm = c.state == 2 && c.step == 0;
            if ((c.state == 4 && (c.step == 2 || c.step == 7)) || (c.state == 5 && c.step == 2)) {
                if (c.selected == choice)
                    in.confirm = true;
                else
                    in.direction = 4;
            }
            u.FrameInput(1, in);
            if (after) after();
        }
        return outcomes.empty() ? -1 : outcomes.back();
    }

    TempDir dir;
    ZRFileMan files;
    ZRBitDepth savedDepth_ = bd32;
    LendStage stage;
    TNyRGBPanel avgRoot{nullptr};
    TAvgUnit avg;
    std::vector<int32_t> outcomes;
};

TEST_F(BattleUnitTest, SetupNeedsBothTablesAndTwelveReelRows) {
    struct Case {
        const char* name;
        std::function<void()> spoil;
        bool ok;
    } cases[] = {
        {"both tables", [] {}, true},
        {"no reel table", [&] { std::remove(dir.Host("BtlReel.csv").c_str()); }, false},
        {"eleven reel rows", [&] { WriteReels(11, 0, 0, 0); }, false},
        {"no battle data", [&] { std::remove(dir.Host("BtlData.csv").c_str()); }, false},
    };
    for (const Case& c : cases) {
        c.spoil();
        TBattleUnit u;
        EXPECT_EQ(u.Setup(&files), c.ok) << c.name;
        if (c.ok) u.Release();
    }
}

TEST_F(BattleUnitTest, OnlyAValidBattleBorrowsTheStageAndFreeingGivesItBack) {
    TBattleUnit u;
    ASSERT_TRUE(u.Setup(&files));
    stage.Attach(&avgRoot, {});
    for (int n : {-1, 8, 1, 6}) {  // no row, no row, no row, reel set 4
        EXPECT_FALSE(u.PrepareBattle(n)) << n;
        EXPECT_EQ(stage.parent, &avgRoot) << n << ": nothing lent";
        EXPECT_FALSE(u.StageLent());
    }
    // A cut-in layer left in sight goes with the other battle panels.
    u.EffectPanel->SetVisible(true);
    ASSERT_TRUE(u.PrepareBattle(0));
    EXPECT_EQ(stage.parent, u.AvgPanel);
    EXPECT_FALSE(u.EffectPanel->GetVisible());
    for (int slot = 0; slot < 7; ++slot)
        EXPECT_EQ(CurrentState.CharShown.ShowId[slot], slot == 3 ? 4 : -1)
            << "the enemy stands alone in the centre slot";
    u.FreeBattle();
    EXPECT_EQ(stage.parent, &avgRoot);
    EXPECT_FALSE(u.StageLent());
    u.FreeBattle();  // twice gives back nothing more
    EXPECT_EQ(stage.parent, &avgRoot);
    u.Release();
}

TEST_F(BattleUnitTest, WholeBattlesWithMissingMoviesAndPictures) {
    struct Case {
        int battle;
        int choice;
        int outcome;
    } cases[] = {{0, 0, 0}, {0, 1, 0}, {5, 0, 1}};
    for (const Case& c : cases) {
        TBattleUnit u;
        ASSERT_TRUE(u.Setup(&files));
        ASSERT_TRUE(u.PrepareBattle(c.battle));
        u.Start();
        EXPECT_EQ(Play(u, c.choice), c.outcome) << c.battle;
        if (c.outcome == 0) {
            EXPECT_EQ(u.Core().chosen, c.choice);
            EXPECT_TRUE(u.WinPanel->GetVisible());
            EXPECT_EQ(CurrentState.CharShown.ShowId[3], -1) << "the enemy leaves";
        } else {
            EXPECT_FALSE(u.SelectPanel->GetVisible()) << "battle 5 offers no choice";
        }
        u.FreeBattle();
        EXPECT_EQ(stage.parent, &avgRoot);
        u.Release();
    }
}

// At the full frame rate most frames carry no tick. Such a frame leaves every counter as it
// was, so unless the battle moves on to its next step in it (the selection opens as soon as
// the stage is ready, not at a tick), it must ask for no drawing: the flash, the falling
// damage digits, the fading slot message and the won screen's slide each redrew the whole
// screen in every one of them.
TEST_F(BattleUnitTest, AFrameWithoutATickAsksForNoDrawing) {
    for (const int battle : {0, 5}) {
        TBattleUnit u;
        ASSERT_TRUE(u.Setup(&files));
        ASSERT_TRUE(u.PrepareBattle(battle));
        u.Start();
        int frames = 0, dirty = 0, flash = 0, digits = 0, message = 0, won = 0;
        int fadeTicks = 0, fadeDrawn = 0;
        Play(u, 0, 20000, [&] {
            const BattleCore& c = u.Core();
            // A fading flash still asks for drawing at every tick, each of which moves it.
            if (c.flashCounter > 16 && c.flashCounter < 48) {
                ++fadeTicks;
                fadeDrawn += u.RootPanel->GetModified();
            }
            u.RootPanel->ClrModifyToChild();
            const int32_t step[3] = {c.state, c.step, c.phase};
            u.FrameInput(0, {});
            if (step[0] != c.state || step[1] != c.step || step[2] != c.phase) return;
            ++frames;
            if (u.RootPanel->GetModified()) ++dirty;
            flash += c.flashCounter >= 0;
            digits += c.digitCount > 0;
            message += c.slotMessage != 0;
            won += u.WinPanel->GetVisible();
        });
        EXPECT_EQ(dirty, 0) << "battle " << battle << ": of " << frames << " frames";
        // The frames seen include each kind of animated panel.
        EXPECT_GT(digits, 0) << battle;
        EXPECT_GT(message, 0) << battle;
        if (battle == 0) {
            EXPECT_GT(flash, 0);
            EXPECT_GT(fadeTicks, 0);
            EXPECT_EQ(fadeDrawn, fadeTicks);
            EXPECT_GT(won, 0);
        }
        u.FreeBattle();
        u.Release();
    }
}

TEST_F(BattleUnitTest, GameOverOffersARetryWithFullGauges) {
    WriteData("#,2,4,100,200,0,-1,100,0,0,0,0,0,0,0,0,0,0,0\n");
    WriteReels(12, 5, 5, 5);
    const uint32_t looks[3] = {0x804040, 0x40A040, 0x4040C0};
    WriteBlocks("SelBase16.png", 640, 64, {looks[0], looks[1], looks[2]});
    TBattleUnit u;
    ASSERT_TRUE(u.Setup(&files));
    ASSERT_TRUE(u.PrepareBattle(2));
    u.Start();
    for (int f = 0; f < 5000 && !(u.Core().state == 5 && u.Core().step == 2); ++f)
        u.FrameInput(1, {u.Core().state == 2, -1});
    ASSERT_EQ(u.Core().state, 5);
    EXPECT_TRUE(u.SelectPanel->GetVisible());
    // A selection that only waits asks for no drawing: at a full frame rate the dimmed screen
    // was drawn again 300 times a second.
    u.FrameInput(1, {});
    u.RootPanel->ClrModifyToChild();
    u.FrameInput(1, {});
    u.FrameInput(0, {});
    EXPECT_FALSE(u.RootPanel->GetModified());
    // Each answer is one block of its three-block picture tall, its caption on it.
    for (int b = 0; b < 2; ++b) {
        EXPECT_EQ(u.SelectBtn[b]->GetSizeY(), 64);
        EXPECT_LE(u.SelectText[b]->GetOffsetY() + 38, 64);
    }
    EXPECT_LE(u.SelectBtn[0]->GetOffsetY() + 64, u.SelectBtn[1]->GetOffsetY());
    // The answer chosen plays its second and third blocks in turn, six animation ticks each;
    // the other rests on its first. On screen, at each answer's top left corner.
    auto shown = [&] {
        auto shot = Present(u);
        std::vector<uint32_t> got;
        for (int b = 0; b < 2; ++b)
            got.push_back(
                shot->PGet(u.SelectBtn[b]->GetOffsetX() + 2, u.SelectBtn[b]->GetOffsetY() + 2) &
                0xFFFFFF);
        return got;
    };
    EXPECT_EQ(shown(), (std::vector<uint32_t>{looks[1], looks[0]}));
    for (int t = 0; t < 5; ++t) u.RootPanel->Anime();
    EXPECT_EQ(shown(), (std::vector<uint32_t>{looks[1], looks[0]}));
    u.RootPanel->Anime();
    EXPECT_EQ(shown(), (std::vector<uint32_t>{looks[2], looks[0]}));
    for (int t = 0; t < 6; ++t) u.RootPanel->Anime();
    EXPECT_EQ(shown(), (std::vector<uint32_t>{looks[1], looks[0]}));
    u.FrameInput(1, {false, 4});
    ASSERT_EQ(u.Core().selected, 1);
    EXPECT_EQ(shown(), (std::vector<uint32_t>{looks[0], looks[1]}));
    u.FrameInput(1, {false, 0});
    u.SelectBtn[0]->OnClick(u.SelectBtn[0]);  // retry
    u.FrameInput(1, {});
    EXPECT_FALSE(u.SelectPanel->GetVisible());
    for (int f = 0; f < 40 && u.Core().state == 1; ++f) u.FrameInput(1, {});
    EXPECT_EQ(u.Core().playerGauge, 100);
    EXPECT_EQ(Play(u, 1), 2) << "back to the title";
    u.FreeBattle();
    u.Release();
}

// A caption's 608-wide panel is centred on its answer whatever the base's width: the heroine
// choice's base is narrower than the panel, the game-over's wider.
TEST_F(BattleUnitTest, CaptionsAreCentredOnTheirAnswers) {
    struct Case {
        int battle;
        const char* base;
        int width;
        int state;
    } cases[] = {{0, "SelBase8.png", 478, 4}, {2, "SelBase16.png", 780, 5}};
    WriteData(
        "#,0,4,100,10,0,-1,100,0,60,60,60,0,0,50,50,50,0,0\n"
        "#,2,4,100,200,0,-1,100,0,0,0,0,0,0,0,0,0,0,0\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base);
        WriteReels(12, c.state == 5 ? 5 : 0, c.state == 5 ? 5 : 0, c.state == 5 ? 5 : 0);
        WriteBlocks(c.base, c.width, 64, {0x804040, 0x40A040, 0x4040C0});
        TBattleUnit u;
        ASSERT_TRUE(u.Setup(&files));
        ASSERT_TRUE(u.PrepareBattle(c.battle));
        u.Start();
        for (int f = 0; f < 5000 && !(u.Core().state == c.state && u.Core().step == 2); ++f)
            u.FrameInput(1, {u.Core().state == 2, -1});
        ASSERT_EQ(u.Core().state, c.state);
        u.FrameInput(1, {});
        for (int b = 0; b < 2; ++b) {
            ASSERT_EQ(u.SelectBtn[b]->GetSizeX(), c.width);
            EXPECT_EQ(u.SelectText[b]->GetOffsetX() * 2 + 608, c.width);
            EXPECT_EQ(u.SelectShadow[b]->GetOffsetX(), u.SelectText[b]->GetOffsetX() + 2);
        }
        u.FreeBattle();
        u.Release();
    }
}

TEST_F(BattleUnitTest, ReelsAndGaugesOnThePresentedFrame) {
    WriteReels(12, 0, 1, 2);  // R on reel 0, B on reel 1, bar on reel 2
    TBattleUnit u;
    ASSERT_TRUE(u.Setup(&files));
    ASSERT_TRUE(u.PrepareBattle(0));
    u.Start();
    for (int f = 0; f < 100 && u.Core().state == 1; ++f) u.FrameInput(1, {});
    ASSERT_EQ(u.Core().state, 2);
    // Intro over: both gauges full, drawn across their whole width.
    auto shot = Present(u);
    EXPECT_EQ(shot->PGet(93 + 2, 50) & 0xFFFFFF, kGaugeL);
    EXPECT_EQ(shot->PGet(715 + 469, 50) & 0xFFFFFF, kGaugeR);
    // Each payline shows its reel's cell: symbol 0 on reel 0 -> cell 0, symbol 1 on reel 1 ->
    // cell 4, the bar -> cell 6.
    const int cells[3] = {0, 4, 6};
    const int reelX[3] = {226, 534, 842};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(shot->PGet(reelX[i] + 100, 136 + 190) & 0xFFFFFF, CellColour(cells[i])) << i;
    // Stop every reel; a stopped reel is darkened outside its payline.
    for (int f = 0; f < 400 && u.Core().step == 0; ++f) u.FrameInput(1, {true, -1});
    shot = Present(u);
    EXPECT_EQ(shot->PGet(226 + 100, 136 + 190) & 0xFFFFFF, CellColour(0));
    EXPECT_NE(shot->PGet(226 + 100, 136 + 20) & 0xFFFFFF, CellColour(0));
    // Half the enemy gauge: the left part of "BtlGaugeR.png" stays, the right is gone.
    u.Core().enemyGauge = 50;
    u.SetGauge(1, 50);
    shot = Present(u);
    EXPECT_EQ(shot->PGet(715 + 10, 50) & 0xFFFFFF, kGaugeR);
    EXPECT_NE(shot->PGet(715 + 400, 50) & 0xFFFFFF, kGaugeR);
    u.FreeBattle();
    u.Release();
}

TEST(BattleVoices, NamesBySoundNumberAndBattle) {
    auto first = [](int) { return 0; };
    auto last = [](int k) { return k - 1; };
    struct Case {
        int n, battle;
        bool second;
        bool useLast;
        const char* name;
    } cases[] = {
        {0, 0, false, true, "BtlVoSelectR01"},
        {10, 0, false, true, "BtlVoChargeR03"},
        {12, 0, false, false, "BtlVoChargeT00"},
        {34, 0, false, false, ""},
        {40, 6, true, false, "BtlVoFinishRS"},
        {41, 0, false, false, "BtlVoFinishB"},
        {80, 3, false, false, "BtlVoFightE03"},
        {80, 1, false, false, ""},
        {81, 7, false, true, "BtlVoAttackE0701"},
        {82, 3, false, true, "BtlVoDamageE0302"},
        {82, 4, false, true, "BtlVoDamageE04"},
        {82, 0, false, false, ""},
        {83, 3, false, false, "BtlVoEvadeE03"},
        {83, 4, false, false, ""},
        {84, 5, false, true, "BtlVoWinE0501"},
        {84, 0, false, false, "BtlVoWinE00"},
        {85, 3, false, false, "BtlVoLoseE03"},
        {85, 4, false, false, ""},
        {99, 0, false, false, ""},
    };
    for (const Case& c : cases) {
        const ZRString got = TBattleUnit::VoiceName(
            c.n, c.battle, c.second,
            c.useLast ? std::function<int(int)>(last) : std::function<int(int)>(first));
        EXPECT_STREQ(got.c_str(), c.name) << c.n << " in battle " << c.battle;
    }
}

}  // namespace
