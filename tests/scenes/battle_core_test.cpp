// The battle without its screen: the two tables, reels, results, attacks, gauges and whole
// battles from scripted random numbers.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "foundation/zrstream.h"
#include "scenes/battleu_core.h"

namespace {

// Reel rows: `rows` data rows of `cols` symbols, each `sym`.
std::string ReelCsv(int rows, int cols, const std::string& sym = "1") {
    std::string s = "set";
    for (int c = 0; c < cols; ++c) s += ",#";
    s += ",!\n";
    for (int r = 0; r < rows; ++r) {
        s += "#";
        for (int c = 0; c < cols; ++c) s += "," + sym;
        s += "\n";
    }
    return s;
}

const char kDataHead[] =
    "no,#n,#ch,#eg,#ed,#miss,#mv,#pg,#set,#r1,#r2,#r3,#rg,#re,#b1,#b2,#b3,#bg,#be,!\n";

bool ReadReels(const std::string& text, ReelTable& out) {
    ZRMemoryStream s(text.data(), static_cast<int>(text.size()));
    return ReadBattleReels(&s, out);
}
bool ReadData(const std::string& text, BattleRecord (&out)[kBattles]) {
    ZRMemoryStream s(text.data(), static_cast<int>(text.size()));
    return ReadBattleData(&s, out);
}

TEST(BattleTables, ReelTableSizesAndSymbols) {
    struct Case {
        const char* name;
        std::string csv;
        bool ok;
        int32_t first;
    } cases[] = {
        {"12 rows of 21", ReelCsv(12, 21), true, 1},
        {"11 rows", ReelCsv(11, 21), false, 0},
        {"20 columns", ReelCsv(12, 20), false, 0},
        {"symbol 12 reads as 4", ReelCsv(12, 21, "12"), true, 4},
        {"symbol -1 reads as 4", ReelCsv(12, 21, "-1"), true, 4},
        {"symbol 8 stays", ReelCsv(12, 21, "8"), true, 8},
        // A ragged row: its missing cells read 0.
        {"ragged", ReelCsv(12, 21).replace(ReelCsv(12, 21).find("\n#") + 1, 4, "#,2\n#"), true, 2},
        {"empty", "", false, 0},
    };
    for (const Case& c : cases) {
        ReelTable t = {};
        EXPECT_EQ(ReadReels(c.csv, t), c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(t[0][0][0], c.first) << c.name;
        }
    }
    ReelTable t = {};
    std::string ragged = ReelCsv(12, 21);
    ragged.insert(ragged.find("\n#") + 1, "#,2\n");
    ASSERT_TRUE(ReadReels(ragged, t));
    EXPECT_EQ(t[0][0][0], 2);
    EXPECT_EQ(t[0][0][1], 0);  // missing cells of a short row
    EXPECT_EQ(t[0][1][0], 1);
}

TEST(BattleTables, DataRowsKeysAndRepairs) {
    const std::string csv = std::string(kDataHead) +
                            "#,0,5,0,100,10,1,0,2,10,20,30,40,50,11,21,31,41,51\n"
                            "#,8,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9\n"
                            "#,-1,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9\n"
                            "#,2,1,500,-70,0,-1,40,1,-5,6,7,8,9,1,2,3,4,5\n"
                            "#,2,7,600,70,0,-1,40,1,5,6,7,8,9,1,2,3,4,5\n"
                            "comment line\n"
                            "#,3,4,-3,1\n";
    BattleRecord r[kBattles];
    ASSERT_TRUE(ReadData(csv, r));
    EXPECT_TRUE(r[0].valid);
    EXPECT_EQ(r[0].enemyChar, 5);
    EXPECT_EQ(r[0].enemyGauge, 1000);  // 0 reads as 1000
    EXPECT_EQ(r[0].playerGauge, 1000);
    EXPECT_EQ(r[0].reelSet, 2);
    EXPECT_EQ(r[0].rDamage[2], 30);
    EXPECT_EQ(r[0].bEvade, 51);
    EXPECT_FALSE(r[1].valid);
    EXPECT_EQ(r[2].enemyChar, 7);  // the later row wins
    EXPECT_EQ(r[2].enemyDamage, 70);
    EXPECT_TRUE(r[3].valid);
    EXPECT_EQ(r[3].enemyGauge, 1000);  // below 0 too
    EXPECT_EQ(r[3].enemyDamage, 1);
    EXPECT_EQ(r[3].rGuard, 0);  // short row: missing cells 0
    for (int n = 4; n < kBattles; ++n) EXPECT_FALSE(r[n].valid) << n;

    // Negative damages read as 0, so the enemy never heals and the player's gauge can end.
    const std::string neg =
        std::string(kDataHead) + "#,1,0,100,-50,0,-1,100,0,-9,-9,-9,0,0,-9,-9,-9,0,0\n";
    ASSERT_TRUE(ReadData(neg, r));
    EXPECT_EQ(r[1].enemyDamage, 0);
    EXPECT_EQ(r[1].rDamage[0], 0);
    EXPECT_EQ(r[1].bDamage[2], 0);
}

TEST(BattleTables, GaugeStepsAndDigits) {
    struct {
        int32_t max, step;
    } steps[] = {{1000, 20}, {49, 1}, {1, 1}, {50, 1}, {2147483647, 42949672}};
    for (auto s : steps) EXPECT_EQ(GaugeStep(s.max), s.step) << s.max;
    struct {
        int64_t v;
        int32_t n;
        int32_t ones, top;
    } nums[] = {{0, 1, 0, 0},  {123456, 5, 9, 9}, {99999, 5, 9, 9},
                {-5, 1, 0, 0}, {12345, 5, 5, 1},  {70, 2, 0, 7}};
    for (auto c : nums) {
        int32_t d[5];
        EXPECT_EQ(DamageDigits(c.v, d), c.n) << c.v;
        EXPECT_EQ(d[0], c.ones) << c.v;
        EXPECT_EQ(d[c.n - 1], c.top) << c.v;
    }
}

// ---- The core ----

struct Recorder : BattleView {
    std::vector<std::string> log;
    int ended = -1;
    int voiceFrames = 0;  // each voice keeps "playing" this many queries
    int busy = 0;
    // With a core to watch, each attack phase entered is logged ("p8") before what it does.
    const BattleCore* core = nullptr;
    int32_t phase = 0;
    void Phase() {
        if (!core || core->phase == phase) return;
        phase = core->phase;
        if (phase != 0) log.push_back("p" + std::to_string(phase));
    }
    void Add(const std::string& s) {
        Phase();
        log.push_back(s);
    }
    void MovieStart(int32_t n) override { Add("movie" + std::to_string(n)); }
    void CutinStart(int32_t k) override { Add("cutin" + std::to_string(k)); }
    void CutinStop() override { Add("stop"); }
    void Voice(int32_t n) override {
        Add("voice" + std::to_string(n));
        busy = voiceFrames;
    }
    bool VoiceBusy() override { return busy > 0 && busy--; }
    void Sound(int32_t n) override { Add("se" + std::to_string(n)); }
    void SlotSound(int32_t n) override { Add("slot" + std::to_string(n)); }
    void SlotVoice(int32_t side, int32_t k) override {
        Add("slotvo" + std::to_string(side) + std::to_string(k));
    }
    void SystemSound(int32_t n) override { Add("sys" + std::to_string(n)); }
    void StageMove(int32_t m) override { Add("move" + std::to_string(m)); }
    void End(int32_t o) override { ended = o; }
    int Count(const std::string& s) const {
        int n = 0;
        for (const auto& l : log) n += l == s;
        return n;
    }
};

struct Scripted {
    std::deque<int> values;
    int operator()(int) {
        if (values.empty()) return 0;
        const int v = values.front();
        values.pop_front();
        return v;
    }
};

BattleRecord Record(int reelSet = 0) {
    BattleRecord r;
    r.valid = true;
    r.enemyChar = 4;
    r.enemyGauge = 100;
    r.enemyDamage = 40;
    r.missChance = 0;
    r.playerGauge = 100;
    r.reelSet = reelSet;
    r.rDamage[0] = 10, r.rDamage[1] = 20, r.rDamage[2] = 30;
    r.bDamage[0] = 11, r.bDamage[1] = 21, r.bDamage[2] = 31;
    return r;
}

// Every reel stopped with the given payline symbols and specials.
void Land(BattleCore& c, int s0, int s1, int s2, int sp1 = -1, int sp2 = -1) {
    const int s[3] = {s0, s1, s2};
    const int sp[3] = {-1, sp1, sp2};
    for (int i = 0; i < 3; ++i) {
        c.reels[i].symbol[0] = s[i];
        c.reels[i].position = 0;
        c.reels[i].state = 0;
        c.reels[i].special = sp[i];
    }
    c.UpdateLeader();
    c.EvaluateReels();
}

TEST(BattleCore, ResultsAndAttacks) {
    constexpr int R = 0, B = 1, BAR = 2, X = 5;
    struct Case {
        const char* name;
        int s0, s1, s2, sp1, sp2;
        std::deque<int> rolls;  // hits, defence, miss as drawn
        int result, attack, hits, perHit, message;
    } cases[] = {
        {"R R blank", R, R, X, -1, -1, {99, 99}, 2, 1, 1, 20, 0},
        {"B B B", B, B, B, -1, -1, {99, 99}, 3, 5, 1, 31, 1},
        {"blank R B: one each, R first", X, R, B, -1, -1, {99, 99}, 1, 0, 1, 10, 0},
        {"three bars, special 7", BAR, BAR, BAR, -1, 7, {99, 99}, 0, -1, 1, 0, 2},
        {"three bars, special 8", BAR, BAR, BAR, -1, 8, {99, 99}, 0, -1, 1, 0, 2},
        {"three bars, special 11", BAR, BAR, BAR, -1, 11, {99}, 8, 2, 1, 30, 1},
        {"R bar special 9, then R: pair", R, BAR, R, 9, -1, {0, 99}, 7, 9, 3, 20, 0},
        {"R bar special 9, blank", R, BAR, X, 9, -1, {50, 99}, 6, 8, 2, 10, 0},
        {"B bar special 9 beats reel 2's 10", B, BAR, BAR, 9, 10, {10, 99}, 6, 10, 4, 11, 0},
        {"R B bar special 10", R, B, BAR, -1, 10, {99, 99}, 4, 6, 1, 21, 0},
        {"R R bar special 10: pair", R, R, BAR, -1, 10, {99, 99}, 5, 7, 1, 41, 0},
        {"nothing", X, X, X, -1, -1, {99, 99}, 0, -1, 1, 0, 2},
    };
    for (const Case& c : cases) {
        Scripted rnd{c.rolls};
        BattleCore core(std::ref(rnd));
        core.record = Record();
        Land(core, c.s0, c.s1, c.s2, c.sp1, c.sp2);
        core.ChooseAttack();
        EXPECT_EQ(core.result, c.result) << c.name;
        EXPECT_EQ(core.attack, c.attack) << c.name;
        EXPECT_EQ(core.hits, c.hits) << c.name;
        EXPECT_EQ(core.damagePerHit, c.perHit) << c.name;
        EXPECT_TRUE(rnd.values.empty()) << c.name << ": every roll drawn";
    }
    // The second to fourth hits are scaled to 60, 40 and 20 percent.
    BattleCore core;
    core.damagePerHit = 123;
    EXPECT_EQ(core.HitDamage(0), 123);
    EXPECT_EQ(core.HitDamage(1), 73);
    EXPECT_EQ(core.HitDamage(2), 49);
    EXPECT_EQ(core.HitDamage(3), 24);
    core.damagePerHit = 2147483647;
    EXPECT_EQ(core.HitDamage(1), 1288490188);
}

TEST(BattleCore, DefenceAndMiss) {
    struct Case {
        int guard, evade, miss;
        std::deque<int> rolls;
        int defence, damage;
        bool missed;
    } cases[] = {
        {100, 0, 0, {99, 99}, 1, 20, false},  // guard 100: always guarded and halved
        {0, 100, 0, {0, 99}, 2, 0, false},    // evade 100: always evaded
        {0, 0, 0, {0, 99}, 0, 40, false},     {30, 30, 50, {45, 49}, 2, 0, true},
        {30, 30, 50, {60, 50}, 0, 40, false},
    };
    for (const Case& c : cases) {
        Scripted rnd{c.rolls};
        BattleCore core(std::ref(rnd));
        core.record = Record();
        core.record.rGuard = c.guard, core.record.rEvade = c.evade, core.record.missChance = c.miss;
        Land(core, 0, 5, 5);
        core.ChooseAttack();
        EXPECT_EQ(core.defence, c.defence);
        EXPECT_EQ(core.enemyDamage, c.damage);
        EXPECT_EQ(core.missed, c.missed);
        if (c.missed) {
            EXPECT_EQ(core.damagePerHit, 0);
        }
    }
}

TEST(BattleCore, PrepareChecksNumbersBeforeTables) {
    ReelTable table = {};
    BattleRecord recs[kBattles];
    recs[0] = Record(0);
    recs[1] = Record(4);
    recs[2] = Record(-1);
    recs[3] = Record(3);
    recs[3].enemyGauge = 0;
    recs[3].playerGauge = -5;
    struct {
        int n;
        bool ok;
    } cases[] = {{-1, false}, {8, false}, {0, true}, {1, false}, {2, false}, {3, true}, {4, false}};
    for (auto c : cases) {
        BattleCore core;
        EXPECT_EQ(core.Prepare(c.n, table, recs), c.ok) << c.n;
        EXPECT_EQ(core.battle, c.ok ? c.n : -1) << c.n;
    }
    BattleCore core;
    ASSERT_TRUE(core.Prepare(3, table, recs));
    EXPECT_EQ(core.enemyMax, 1000);
    EXPECT_EQ(core.playerMax, 1000);
    for (const ReelRecord& r : core.reels) EXPECT_EQ(r.position % kSymbolUnits, 0);
}

// Runs spinning frames until every reel spins.
void SpinUp(BattleCore& c) {
    for (int f = 0; f < 60; ++f) c.Step(1, {});
    for (const ReelRecord& r : c.reels) ASSERT_EQ(r.state, 3);
}

TEST(BattleCore, ReelsStopStrictlyLeftToRight) {
    ReelTable table = {};
    for (int i = 0; i < kReelSymbols; ++i) table[0][0][i] = table[0][1][i] = table[0][2][i] = i % 9;
    BattleRecord recs[kBattles];
    recs[0] = Record();
    Recorder view;
    BattleCore core;
    core.SetView(&view);
    ASSERT_TRUE(core.Prepare(0, table, recs));
    core.StartSpin();
    SpinUp(core);
    // A spinning reel keeps the phase: its position trails the phase by whole symbols.
    for (int f = 0; f < 5; ++f) core.Step(1, {});
    for (const ReelRecord& r : core.reels) EXPECT_EQ(r.position % kSymbolUnits, core.reelPhase);

    EXPECT_TRUE(core.StopPress());
    EXPECT_EQ(view.Count("slot1"), 1);
    // Reel 1 never takes a stop while reel 0 is still stopping.
    EXPECT_FALSE(core.StopPress());
    core.Step(1, {true});
    EXPECT_EQ(view.Count("slot1"), 1);
    EXPECT_EQ(core.reels[1].state, 3);
    int frames = 0;
    while (core.reels[0].state != 0 && frames < 40) core.Step(1, {}), ++frames;
    ASSERT_EQ(core.reels[0].state, 0);
    EXPECT_EQ(core.reels[0].position % kSymbolUnits, 0);
    EXPECT_EQ(core.buttonBlock[1], 0);  // the next stop is lit
    EXPECT_TRUE(core.StopPress());
    for (int f = 0; f < 40 && core.reels[1].state != 0; ++f) core.Step(1, {});
    core.Step(1, {true});
    for (int f = 0; f < 80 && core.step == 0; ++f) core.Step(1, {});
    EXPECT_EQ(core.step, 1);
    EXPECT_EQ(view.Count("slot1"), 3);
    for (const ReelRecord& r : core.reels) EXPECT_EQ(r.position % kSymbolUnits, 0);
}

// A reel landing on a bar draws its special from one number below 100; both sides of every
// bound of that number, with the slot voice and the change sound each special brings.
TEST(BattleCore, LandingSpecialsAtTheBoundsOfTheRandomNumber) {
    constexpr int R = 0, B = 1, BAR = 2, X = 5;
    const struct Case {
        int reel;  // the reel that lands; those to its left have stopped
        int s0, s1, s2;
        int roll;
        int special;
        const char* voice;  // the slot voice heard, "" none
    } cases[] = {
        // Reel 1 on a bar after an emblem: below 30 special 9.
        {1, R, BAR, X, 29, 9, ""},
        {1, R, BAR, X, 30, -1, ""},
        {1, B, BAR, X, 0, 9, ""},
        {1, B, BAR, X, 99, -1, ""},
        // Reel 2 on a bar after an emblem: below 20 special 9, below 60 special 10.
        {2, X, R, BAR, 19, 9, ""},
        {2, X, R, BAR, 20, 10, ""},
        {2, R, B, BAR, 59, 10, ""},
        {2, R, B, BAR, 60, -1, ""},
        // Three bars: below 5 special 11 and below 10 special 12, each with the bar voice;
        // from 55 special 8 with the second heroine's voice, between them 7 with the first's.
        {2, BAR, BAR, BAR, 4, 11, "slotvo20"},
        {2, BAR, BAR, BAR, 5, 12, "slotvo20"},
        {2, BAR, BAR, BAR, 9, 12, "slotvo20"},
        {2, BAR, BAR, BAR, 10, 7, "slotvo00"},
        {2, BAR, BAR, BAR, 54, 7, "slotvo00"},
        {2, BAR, BAR, BAR, 55, 8, "slotvo10"},
        {2, BAR, BAR, BAR, 99, 8, "slotvo10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "reel " << c.reel << " roll " << c.roll << " over "
                                        << c.s0 << c.s1 << c.s2);
        std::vector<int> asked;
        BattleCore core([&](int n) {
            asked.push_back(n);
            return asked.size() == 1 ? c.roll : 0;
        });
        Recorder view;
        core.SetView(&view);
        core.record = Record();
        const int s[3] = {c.s0, c.s1, c.s2};
        for (int i = 0; i < 3; ++i) {
            ReelRecord& r = core.reels[i];
            for (int32_t& sym : r.symbol) sym = s[i];
            r.state = i < c.reel ? 0 : i == c.reel ? 4 : 3;
            r.counter = 1;
            r.position = i == c.reel ? 1 : 0;  // one unit above the symbol it lands on
        }
        core.state = 2;
        core.step = 0;
        core.ReelStep(1, {});
        ASSERT_FALSE(asked.empty());
        EXPECT_EQ(asked[0], 100);
        EXPECT_EQ(core.reels[c.reel].special, c.special);
        EXPECT_EQ(core.reels[c.reel].state, c.special >= 0 ? 5 : 0);
        std::vector<std::string> voices;
        for (const std::string& l : view.log)
            if (l.rfind("slotvo", 0) == 0) voices.push_back(l);
        EXPECT_EQ(voices,
                  *c.voice ? std::vector<std::string>{c.voice} : std::vector<std::string>{});
        EXPECT_EQ(view.Count("slot2"), c.special >= 0 && c.special != 7 && c.special != 8);
    }
}

// A table of reels that always land on `s`.
void FillTable(ReelTable& t, int s0, int s1, int s2) {
    for (int i = 0; i < kReelSymbols; ++i) t[0][0][i] = s0, t[0][1][i] = s1, t[0][2][i] = s2;
}

// Plays whole rounds: stops each reel as soon as it takes the stop.
int Play(BattleCore& c, Recorder& v, int maxFrames, int choice = 0) {
    int f = 0;
    for (; f < maxFrames && !c.finished; ++f) {
        BattleInput in;
        if (c.state == 2 && c.step == 0) in.confirm = true;
        if ((c.state == 4 && (c.step == 2 || c.step == 7)) || (c.state == 5 && c.step == 2)) {
            if (c.selected != choice)
                in.direction = 4;
            else
                in.confirm = true;
        }
        c.Step(1, in);
        v.Phase();
    }
    return f;
}

TEST(BattleCore, WholeBattles) {
    struct Case {
        const char* name;
        int battle;
        int s0, s1, s2;
        int enemyGauge, enemyDamage, playerGauge;
        int32_t rDamage;
        int outcome;
        const char* log;  // phases, cut-ins and their stops, movies, moves, voices and sounds
    } cases[] = {
        // Three emblems of the first heroine: charge, her finishing cut-in, the flash, the
        // finishing hit and the hit itself; the enemy answers until its gauge is empty. The
        // second heroine is chosen: her selection voice, charge and finishing cut-in.
        {"won", 0, 0, 0, 0, 100, 10, 100, 60, 0,
         "movie0 movie1 voice80 "
         "p2 cutin0 voice10 stop p3 cutin30 voice40 stop p6 p7 movie20 "
         "p8 move0 movie11 voice82 se3 p9 p10 "
         "p11 movie2 voice81 p12 cutin20 voice30 p13 p14 stop "
         "p2 cutin0 voice10 stop p3 cutin30 voice40 stop p6 p7 movie20 "
         "p8 move0 movie11 voice82 se3 p9 p10 p15 voice85 "
         "sys3 sys0 voice51 cutin1 voice11 stop cutin31 voice41 stop se7 voice61 sys0"},
        {"lost in battle 5 goes on", 5, 5, 5, 5, 100, 60, 100, 0, 1, nullptr},
        // One emblem of the second heroine: her arrow, the light hit, the enemy's attack and
        // her damage cut-in, which runs on under the damage number and the falling gauge.
        {"game over", 2, 1, 5, 5, 100, 60, 100, 0, 2,
         "movie0 movie1 voice80 "
         "p3 cutin12 voice22 stop p6 p8 move0 movie10 voice82 se3 p9 p10 "
         "p11 movie2 voice81 p12 cutin23 voice33 p13 p14 stop "
         "p3 cutin12 voice22 stop p6 p8 move0 movie10 voice82 se3 p9 p10 "
         "p11 movie2 voice81 p12 cutin23 voice33 p13 p14 stop p16 voice84 "
         "se8 voice71 sys3 sys0"},
        {"gauge below 50 still falls", 1, 0, 0, 0, 7, 0, 3, 1, 0, nullptr},
        {"negative enemy damage never stalls", 3, 5, 5, 5, 100, -50, 10, 0, -1, nullptr},
    };
    for (const Case& c : cases) {
        ReelTable table = {};
        FillTable(table, c.s0, c.s1, c.s2);
        BattleRecord recs[kBattles];
        std::string csv = std::string(kDataHead) + "#," + std::to_string(c.battle) + ",4," +
                          std::to_string(c.enemyGauge) + "," + std::to_string(c.enemyDamage) +
                          ",0,1," + std::to_string(c.playerGauge) + ",0," +
                          std::to_string(c.rDamage) + "," + std::to_string(c.rDamage) + "," +
                          std::to_string(c.rDamage) + ",0,0,1,1,1,0,0\n";
        ASSERT_TRUE(ReadData(csv, recs));
        Recorder view;
        view.voiceFrames = 2;
        BattleCore core;
        core.SetView(&view);
        view.core = &core;
        ASSERT_TRUE(core.Prepare(c.battle, table, recs)) << c.name;
        core.Start();
        // Choose "back to the title" on the game-over selection.
        Play(core, view, 20000, 1);
        EXPECT_EQ(core.outcome, c.outcome) << c.name;
        EXPECT_EQ(view.ended, c.outcome) << c.name;
        if (c.log) {
            // The reels' own sounds aside, the battle's course in order.
            std::string seen;
            for (const std::string& e : view.log)
                if (e.rfind("slot", 0) != 0) seen += (seen.empty() ? "" : " ") + e;
            EXPECT_EQ(seen, c.log) << c.name;
        }
        if (c.outcome == 0) {
            EXPECT_EQ(core.enemyGauge, 0) << c.name;
            EXPECT_TRUE(core.winShown) << c.name;
        }
        if (c.outcome == 1) {
            EXPECT_EQ(core.selectMode, 0) << c.name << ": no choice";
        }
        if (c.outcome == 2) {
            EXPECT_EQ(core.selectMode, 2) << c.name;
        }
        if (c.outcome == -1) {
            // Damage 0 each round: the battle goes on and the gauge stays full.
            EXPECT_EQ(core.playerGauge, 10) << c.name;
            EXPECT_GT(view.Count("slot0"), 10) << c.name;
        }
    }
}

TEST(BattleCore, RetryRestartsWithFullGauges) {
    ReelTable table = {};
    FillTable(table, 5, 5, 5);
    BattleRecord recs[kBattles];
    recs[2] = Record();
    recs[2].enemyDamage = 200;
    Recorder view;
    BattleCore core;
    core.SetView(&view);
    ASSERT_TRUE(core.Prepare(2, table, recs));
    core.Start();
    for (int f = 0; f < 5000 && !(core.state == 5 && core.step == 2); ++f)
        core.Step(1, {core.state == 2, -1});
    ASSERT_EQ(core.state, 5);
    EXPECT_EQ(core.playerGauge, 0);
    // The pointer on the answer already chosen still sounds; a click confirms with the
    // confirm key's sound.
    const size_t before = view.log.size();
    core.SelectHover(0);
    core.SelectClick(0);  // retry
    EXPECT_EQ(std::vector<std::string>(view.log.begin() + before, view.log.end()),
              (std::vector<std::string>{"sys3", "sys0"}));
    core.Step(1, {});
    EXPECT_EQ(core.state, 1);
    EXPECT_EQ(core.selectMode, 0);
    for (int f = 0; f < 40 && core.state == 1; ++f) core.Step(1, {});
    EXPECT_EQ(core.playerGauge, 100);
    EXPECT_EQ(core.enemyGauge, 100);
    EXPECT_EQ(view.Count("movie0"), 2);
    EXPECT_FALSE(core.finished);
}

}  // namespace
