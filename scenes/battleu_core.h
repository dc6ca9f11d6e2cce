// The slot-reel battle without its widgets: the two tables that parameterise every battle,
// the reels, the result of a round, the attack it chooses, the gauges, the damage digits and
// the battle's states and attack phases. Everything the player sees or hears goes out through
// BattleView; the screen (TBattleUnit) implements it and, after each step, shows what the
// core's public fields say. Random numbers come from the source it is given, so a seed
// replays a whole battle.
#pragma once
#include <cstdint>
#include <functional>
#include <utility>

class ZRFileMan;
class ZRStream;

struct BattleRecord {
    bool valid = false;
    int32_t enemyChar = 0;
    int32_t enemyGauge = 0;
    int32_t enemyDamage = 0;
    int32_t missChance = 0;
    int32_t enemyMovie = -1;
    int32_t playerGauge = 0;
    int32_t reelSet = 0;
    int32_t rDamage[3] = {};
    int32_t rGuard = 0;
    int32_t rEvade = 0;
    int32_t bDamage[3] = {};
    int32_t bGuard = 0;
    int32_t bEvade = 0;
};

constexpr int kReelSets = 4;
constexpr int kReels = 3;
constexpr int kReelSymbols = 21;
constexpr int kSymbolUnits = 28;
constexpr int kReelUnits = kReelSymbols * kSymbolUnits;  // 588
constexpr int kBattles = 8;

using ReelTable = int32_t[kReelSets][kReels][kReelSymbols];

// The program's tables, loaded once per game.
extern ReelTable BattleReelTable;
extern BattleRecord BattleRecords[kBattles];

// "BtlReel.csv": at least 12 data rows of 21 columns; a symbol outside 0-8 reads as 4.
bool ReadBattleReels(ZRStream* stream, ReelTable& out);
// "BtlData.csv": rows keyed 0-7 (later rows win), other keys ignored; every record is reset
// first. Gauges of 0 or less read as 1000 and damages below 0 as 0.
bool ReadBattleData(ZRStream* stream, BattleRecord (&out)[kBattles]);
// Both files from the archive into the program's tables; false when either is missing or the
// reel table is too small.
bool LoadBattleTables(ZRFileMan* archive);

// One gauge step: a fiftieth of the maximum, at least 1.
int32_t GaugeStep(int32_t maximum);
// Damage number digits: the value clamped to 0-99999, its digit count (1-5) and the digits
// with the ones first.
int32_t DamageDigits(int64_t value, int32_t (&digits)[5]);

struct ReelRecord {
    int32_t symbol[kReelSymbols] = {};
    uint8_t state = 0;  // 0 stopped, 1 waiting, 2 accelerating, 3 spinning, 4 stopping, 5 changing
    int32_t position = 0;  // 0-587
    int32_t counter = 0;
    int32_t special = -1;  // -1 none, 7-12
    bool redraw = false;

    int32_t Payline() const { return symbol[position / kSymbolUnits]; }
};

// What the battle asks of its screen. At rest everything is silent and ends at once.
class BattleView {
  public:
    virtual ~BattleView() = default;
    // Effect movies by number (0 encounter, 1 fight, 2 the enemy's, 10-12, 20, 21).
    virtual void MovieStart(int32_t n) { (void)n; }
    virtual bool MovieDone() { return true; }
    virtual void MovieStop() {}
    virtual void CutinStart(int32_t kind) { (void)kind; }
    // Moves the cut-in on; true once it has finished.
    virtual bool CutinStep(int32_t ticks) { return (void)ticks, true; }
    virtual void CutinStop() {}
    virtual void Voice(int32_t n) { (void)n; }
    virtual bool VoiceBusy() { return false; }
    // Battle effect sounds 0-8.
    virtual void Sound(int32_t n) { (void)n; }
    // Slot sounds: 0 start, 1 stop, 2 change.
    virtual void SlotSound(int32_t n) { (void)n; }
    // Slot voices: side 0 the first heroine, 1 the second, with k emblems before; side 2 the bar.
    virtual void SlotVoice(int32_t side, int32_t k) { (void)side, (void)k; }
    virtual void SystemSound(int32_t n) { (void)n; }
    // The centre character's move: 0 shiver, 1 dash aside.
    virtual void StageMove(int32_t move) { (void)move; }
    virtual bool StageBusy() { return false; }
    // The music saved at preparation, or its fade-out.
    virtual void Music(bool play) { (void)play; }
    virtual void ClearEnemy() {}
    // The cut-in and effect movie layer goes out of sight.
    virtual void HideEffects() {}
    virtual void End(int32_t outcome) { (void)outcome; }
};

struct BattleInput {
    bool confirm = false;    // logical button 0 newly pushed
    int32_t direction = -1;  // repeated direction, 0 up ... 4 down
};

class BattleCore {
  public:
    // Draws uniformly in 0..n-1; an empty source draws from the game's generator.
    using RandomSource = std::function<int(int n)>;
    explicit BattleCore(RandomSource random = {});

    void SetView(BattleView* view) { view_ = view ? view : &restView_; }
    void SetRandom(RandomSource random) { random_ = std::move(random); }

    // Checks the number and the record's reel set before touching the tables; false (with one
    // line on stderr when a number is out of range) leaves the core as it was.
    bool Prepare(int32_t battle, const ReelTable& reels = BattleReelTable,
                 const BattleRecord (&records)[kBattles] = BattleRecords);
    // Music, intro, state 1.
    void Start();
    // One frame of the running battle.
    void Step(int32_t ticks, const BattleInput& input);

    // Player actions outside the keys.
    bool StopPress();  // the stop key or a left click on the slot
    void SelectClick(int32_t button);
    void SelectHover(int32_t button);
    void WinClick();

    // Pieces the screen and the tests reach directly.
    void StartSpin();
    void ReelStep(int32_t ticks, const BattleInput& input);
    void UpdateLeader();
    void UpdateLights();
    void EvaluateReels();
    void ChooseAttack();
    void EnterPhase(int32_t phase, int32_t value);
    int32_t HitDamage(int32_t hitIndex) const;
    void DamageNumberStart(int64_t value);
    bool DamageNumberStep(int32_t ticks);
    void SelectOpen(int32_t mode);
    bool SelectSlide(int32_t ticks);
    void HidePanels();

    // ---- State, read by the screen after each step ----
    int32_t battle = -1;
    bool secondForm = false;
    BattleRecord record;
    uint8_t state = 0;  // 0 none, 1 intro, 2 reels, 3 attack, 4 won, 5 lost
    int32_t step = 0;
    int32_t counter = 0;
    int32_t target = 0;
    int32_t playerGauge = 0, playerMax = 1000, enemyGauge = 0, enemyMax = 1000;
    int32_t reelSet = 0;
    ReelRecord reels[kReels];
    int32_t reelPhase = 0;
    int32_t leader = -1;
    int32_t result = 0;
    int32_t attack = -1;
    int32_t defence = 0;
    int32_t enemyDamage = 0;
    int32_t hits = 1;
    int32_t hitIndex = 0;
    bool missed = false;
    int32_t damagePerHit = 0;
    int32_t phase = 0;
    int32_t chosen = 0;
    bool finished = false;
    int32_t outcome = -1;

    // What is shown.
    bool slotShown = false;
    bool gaugeShown = false;
    int32_t face = -1;         // leader shown, -1 none
    bool faceRunning = false;  // the small face while the reels run
    bool lights[kReels] = {};
    int32_t frameGroup[kReels] = {};
    int32_t buttonBlock[kReels] = {};
    int32_t slotMessage = 0;  // 0 none, 1 "Excellent", 2 "Miss"
    int32_t selectMode = 0;   // 0 closed, 1 heroines, 2 game over
    int32_t selectSlide = 0;  // 1 sliding in, 2 sliding out, 0 resting
    int32_t selectCounter = 0;
    int32_t selected = 0;
    int32_t flashCounter = -1;  // -1 hidden
    bool cutinActive = false;
    bool cutinDone = false;
    int32_t digitCount = 0;  // 0 hidden
    int32_t digits[5] = {};
    int32_t numberCounter = 0;
    bool winShown = false;
    int32_t winCounter = 0;

  private:
    int Random(int n);
    void IntroStep(int32_t ticks);
    void AttackStep(int32_t ticks);
    void WinStep(int32_t ticks, const BattleInput& input);
    void LoseStep(int32_t ticks, const BattleInput& input);
    void LandReel(int i);
    void ShowSlotMessage();
    bool LeavingOk() const;  // the cut-in or movie has finished and no voice plays
    bool GaugeFall(int32_t& gauge, int32_t maximum);
    bool SelectInput(const BattleInput& input);
    void Finish(int32_t outcome);
    void StartCutin(int32_t kind);

    BattleView restView_;
    BattleView* view_ = &restView_;
    RandomSource random_;
    bool confirmPending_ = false;
};
