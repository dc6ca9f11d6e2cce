// The battle's logic: reels, results, attacks, gauges and the states and phases that run them.
#include "scenes/battleu_core.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "foundation/zrstd.h"
#include "game/gamedef.h"

namespace {

int32_t Wrap(int32_t v, int32_t m) {
    v %= m;
    return v < 0 ? v + m : v;
}

int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Frames of the flash and the length of the digits' run.
constexpr int32_t kFlashFrames = 48;
constexpr int32_t kIntroFrames = 25;
constexpr int32_t kSlotMessageFrames = 30;
constexpr int32_t kChangeFrames = 32;
constexpr int32_t kSlideSteps = 16;

}  // namespace

BattleCore::BattleCore(RandomSource random) : random_(std::move(random)) {}

int BattleCore::Random(int n) {
    const int v = random_ ? random_(n) : GameRandom.Random(n);
    return n < 1 ? -1 : std::clamp(v, 0, n - 1);
}

bool BattleCore::Prepare(int32_t n, const ReelTable& table,
                         const BattleRecord (&records)[kBattles]) {
    if (n < 0 || n >= kBattles) {
        std::fprintf(stderr, "battle %d: no such battle number (0-7)\n", n);
        return false;
    }
    const BattleRecord& r = records[n];
    if (!r.valid) return false;
    if (r.reelSet < 0 || r.reelSet >= kReelSets) {
        std::fprintf(stderr, "battle %d: reel set %d outside 0-3\n", n, r.reelSet);
        return false;
    }
    battle = n;
    secondForm = n >= 6;
    record = r;
    playerMax = r.playerGauge > 0 ? r.playerGauge : 1000;
    enemyMax = r.enemyGauge > 0 ? r.enemyGauge : 1000;
    record.enemyDamage = std::max(0, record.enemyDamage);
    for (int k = 0; k < 3; ++k) {
        record.rDamage[k] = std::max(0, record.rDamage[k]);
        record.bDamage[k] = std::max(0, record.bDamage[k]);
    }
    reelSet = r.reelSet;
    for (int i = 0; i < kReels; ++i) {
        ReelRecord& reel = reels[i];
        std::copy(std::begin(table[reelSet][i]), std::end(table[reelSet][i]),
                  std::begin(reel.symbol));
        reel.state = 0;
        reel.position = Random(kReelSymbols) * kSymbolUnits;
        reel.counter = 0;
        reel.special = -1;
        reel.redraw = true;
    }
    HidePanels();
    playerGauge = enemyGauge = 0;
    state = 0;
    finished = false;
    outcome = -1;
    return true;
}

void BattleCore::HidePanels() {
    view_->HideEffects();
    selectMode = 0;
    selectSlide = 0;
    cutinActive = false;
    digitCount = 0;
    winShown = false;
    gaugeShown = false;
    slotShown = false;
    flashCounter = -1;
    face = -1;
    slotMessage = 0;
    for (bool& l : lights) l = false;
}

void BattleCore::Start() {
    view_->Music(true);
    state = 1;
    step = 0;
    counter = 0;
}

void BattleCore::Finish(int32_t result) {
    finished = true;
    outcome = result;
    view_->End(result);
}

void BattleCore::Step(int32_t ticks, const BattleInput& input) {
    if (finished) return;
    switch (state) {
        case 1:
            IntroStep(ticks);
            break;
        case 2:
            ReelStep(ticks, input);
            break;
        case 3:
            AttackStep(ticks);
            break;
        case 4:
            WinStep(ticks, input);
            break;
        case 5:
            LoseStep(ticks, input);
            break;
        default:
            break;
    }
}

// ---- Intro ----

void BattleCore::IntroStep(int32_t ticks) {
    if (ticks < 1) return;
    switch (step) {
        case 0:
            view_->MovieStart(0);
            step = 1;
            break;
        case 1:
            if (!view_->MovieDone()) break;
            view_->MovieStop();
            UpdateLeader();
            gaugeShown = true;
            step = 2;
            counter = 0;
            break;
        case 2:
            ++counter;
            playerGauge = Saturate(int64_t{playerMax} * counter / kIntroFrames);
            enemyGauge = Saturate(int64_t{enemyMax} * counter / kIntroFrames);
            if (counter >= kIntroFrames) {
                view_->MovieStart(1);
                view_->Voice(80);
                step = 3;
            }
            break;
        case 3:
            if (!view_->MovieDone()) break;
            view_->MovieStop();
            StartSpin();
            break;
        default:
            break;
    }
}

// ---- Reels ----

void BattleCore::StartSpin() {
    slotShown = true;
    for (int i = 0; i < kReels; ++i) {
        ReelRecord& r = reels[i];
        lights[i] = false;
        r.state = 1;
        r.counter = Random(15);
        r.special = -1;
        r.redraw = true;
        frameGroup[i] = 0;
        buttonBlock[i] = 1;
    }
    slotMessage = 0;
    reelPhase = 0;
    state = 2;
    step = 0;
    counter = 0;
    UpdateLeader();
    view_->SlotSound(0);
}

bool BattleCore::StopPress() {
    if (state != 2 || step != 0) return false;
    for (int i = 0; i < kReels; ++i) {
        if (reels[i].state != 3) continue;
        if (i > 0 && reels[i - 1].state != 0) return false;
        reels[i].state = 4;
        reels[i].counter = 4;
        frameGroup[i] = 0;
        buttonBlock[i] = 1;
        view_->SlotSound(1);
        return true;
    }
    return false;
}

void BattleCore::LandReel(int i) {
    ReelRecord& reel = reels[i];
    const int32_t s = reel.Payline();
    const int32_t p = i > 0 ? reels[i - 1].Payline() : -1;
    if (i == 1 && (p == 0 || p == 1) && s == 2) {
        if (Random(100) < 30) reel.special = 9;
    } else if (i == 2 && (p == 0 || p == 1) && s == 2) {
        const int r = Random(100);
        if (r < 20)
            reel.special = 9;
        else if (r < 60)
            reel.special = 10;
    } else if (i == 2 && p == 2 && s == 2 && reels[0].Payline() == 2) {
        const int r = Random(100);
        if (r < 10) {
            reel.special = r < 5 ? 11 : 12;
            view_->SlotVoice(2, 0);
        } else if (r >= 55) {
            reel.special = 8;
            view_->SlotVoice(1, 0);
        } else {
            reel.special = 7;
            view_->SlotVoice(0, 0);
        }
    }
    if (reel.special >= 0) {
        if (reel.special != 7 && reel.special != 8) view_->SlotSound(2);
        reel.state = 5;
        reel.counter = 0;
        frameGroup[i] = 2;
        return;
    }
    reel.state = 0;
    UpdateLeader();
    UpdateLights();
    if (s == 0 || s == 1) {
        int k = 0;
        for (int j = 0; j < i; ++j)
            if (reels[j].Payline() == s) ++k;
        view_->SlotVoice(s, k);
    }
    if (i < 2) {
        frameGroup[i + 1] = 1;
        buttonBlock[i + 1] = 0;
    }
}

void BattleCore::ReelStep(int32_t ticks, const BattleInput& input) {
    if (step == 0) {
        if (input.confirm) StopPress();
        if (ticks < 1 || reels[2].state == 0) return;
        reelPhase = Wrap(reelPhase - 7, kSymbolUnits);
        for (int i = 0; i < kReels; ++i) {
            ReelRecord& r = reels[i];
            switch (r.state) {
                case 1:
                    if (--r.counter < 0) {
                        r.state = 2;
                        r.counter = 0;
                    }
                    break;
                case 2:
                    r.position -= r.counter / 2 + 1;
                    if (++r.counter >= 14) {
                        r.state = 3;
                        if (i == 0) {
                            frameGroup[0] = 1;
                            buttonBlock[0] = 0;
                        }
                    }
                    break;
                case 3: {
                    r.position -= 7;
                    const int32_t m = Wrap(r.position, kSymbolUnits);
                    const int32_t d = reelPhase - m;
                    if (m != reelPhase) r.position += (d >= 1 && d <= 14) || d <= -14 ? 1 : -1;
                    break;
                }
                case 4:
                    // The counter rests at 1, so the reel creeps one unit a frame to the next
                    // symbol boundary and lands there once its left neighbour has.
                    if (r.counter > 1) --r.counter;
                    r.position -= r.counter;
                    r.position = Wrap(r.position, kReelUnits);
                    if (r.counter == 1 && r.position % kSymbolUnits == 0 &&
                        (i == 0 || reels[i - 1].state == 0))
                        LandReel(i);
                    break;
                case 5:
                    if (++r.counter >= kChangeFrames) {
                        r.state = 0;
                        frameGroup[i] = 0;
                        UpdateLeader();
                        UpdateLights();
                        if (i < 2) {
                            frameGroup[i + 1] = 1;
                            buttonBlock[i + 1] = 0;
                        }
                    }
                    break;
                default:
                    break;
            }
            r.position = Wrap(r.position, kReelUnits);
            r.redraw = true;
        }
        if (reels[2].state == 0) {
            UpdateLeader();
            UpdateLights();
            EvaluateReels();
            ShowSlotMessage();
            ChooseAttack();
            step = 1;
            counter = 0;
        }
        return;
    }
    if (ticks < 1) return;
    if (++counter < kSlotMessageFrames) return;
    slotShown = false;
    state = 3;
    hitIndex = 0;
    UpdateLeader();
    phase = 0;
    if (attack < 0)
        EnterPhase(11, 0);
    else if (attack == 0 || attack == 1 || attack == 3 || attack == 4)
        EnterPhase(3, 0);
    else
        EnterPhase(2, 0);
}

void BattleCore::UpdateLeader() {
    int red = 0, blue = 0, first = -1;
    for (const ReelRecord& r : reels) {
        if (r.state != 0) continue;
        const int32_t s = r.Payline();
        int side = -1;
        if (s == 0 || r.special == 7 || r.special == 11)
            side = 0;
        else if (s == 1 || r.special == 8 || r.special == 12)
            side = 1;
        if (side < 0) continue;
        (side == 0 ? red : blue) += 1;
        if (first < 0) first = side;
    }
    leader = red > blue ? 0 : blue > red ? 1 : first;
    const bool barsOnly = reels[2].state == 0 && (reels[2].special == 7 || reels[2].special == 8);
    face = barsOnly ? -1 : leader;
    faceRunning = state == 2 && reels[2].state != 0;
}

void BattleCore::UpdateLights() {
    for (int i = 0; i < kReels; ++i) {
        const ReelRecord& r = reels[i];
        lights[i] = r.state == 0 && (r.special >= 0 || (leader >= 0 && r.Payline() == leader));
    }
}

void BattleCore::EvaluateReels() {
    int red = 0, blue = 0;
    for (const ReelRecord& r : reels) {
        if (r.state != 0) continue;
        if (r.Payline() == 0) ++red;
        if (r.Payline() == 1) ++blue;
    }
    const bool pair = red >= 2 || blue >= 2;
    result = 0;
    const int32_t sp2 = reels[2].state == 0 ? reels[2].special : -1;
    if (sp2 == 11 || sp2 == 12)
        result = 8;
    else if (sp2 == 9)
        result = pair ? 7 : 6;
    else if (sp2 == 10)
        result = pair ? 5 : 4;
    if (reels[1].state == 0 && reels[1].special == 9) result = pair ? 7 : 6;
    if (result == 0) result = std::max(red, blue);
}

void BattleCore::ShowSlotMessage() {
    slotMessage = result == 3 || result == 8 ? 1 : result == 0 ? 2 : 0;
}

void BattleCore::ChooseAttack() {
    const bool r = leader == 0;
    const BattleRecord& rec = record;
    hits = 1;
    switch (result) {
        case 1:
            attack = r ? 0 : 3;
            damagePerHit = r ? rec.rDamage[0] : rec.bDamage[0];
            break;
        case 2:
            attack = r ? 1 : 4;
            damagePerHit = r ? rec.rDamage[1] : rec.bDamage[1];
            break;
        case 3:
        case 8:
            attack = r ? 2 : 5;
            damagePerHit = r ? rec.rDamage[2] : rec.bDamage[2];
            break;
        case 4:
            attack = 6;
            damagePerHit = Saturate(int64_t{rec.rDamage[0]} + rec.bDamage[0]);
            break;
        case 5:
            attack = 7;
            damagePerHit = Saturate(int64_t{rec.rDamage[1]} + rec.bDamage[1]);
            break;
        case 6:
        case 7: {
            const int k = result == 6 ? 0 : 1;
            if (r) {
                attack = 8 + k;
                damagePerHit = rec.rDamage[k];
                hits = Random(100) >= 20 ? 2 : 3;
            } else {
                attack = 10 + k;
                damagePerHit = rec.bDamage[k];
                hits = Random(100) >= 50 ? 3 : 4;
            }
            break;
        }
        default:
            attack = -1;
            damagePerHit = 0;
            break;
    }
    enemyDamage = rec.enemyDamage;
    const int32_t guard = r ? rec.rGuard : rec.bGuard;
    const int32_t evade = r ? rec.rEvade : rec.bEvade;
    const int roll = Random(100);
    if (roll < guard) {
        defence = 1;
        enemyDamage /= 2;
    } else if (int64_t{roll} >= int64_t{guard} + evade) {
        defence = 0;
    } else {
        defence = 2;
        enemyDamage = 0;
    }
    missed = false;
    if (hits == 1 && Random(100) < rec.missChance) {
        missed = true;
        damagePerHit = 0;
    }
}

int32_t BattleCore::HitDamage(int32_t index) const {
    static constexpr int32_t kScale[4] = {10, 6, 4, 2};
    const int32_t k = kScale[std::clamp(index, 0, 3)];
    return Saturate(int64_t{damagePerHit} * k / 10);
}

// ---- Attack phases ----

void BattleCore::StartCutin(int32_t kind) {
    view_->CutinStart(kind);
    cutinActive = true;
    cutinDone = false;
}

bool BattleCore::LeavingOk() const {
    return !view_->VoiceBusy();
}

void BattleCore::EnterPhase(int32_t next, int32_t value) {
    switch (phase) {
        // The defence cut-in of phase 12 runs on under the damage number and the falling
        // gauge; it stops when the player's gauge has settled.
        case 2:
        case 3:
        case 4:
        case 5:
        case 14:
            if (cutinActive) view_->CutinStop();
            cutinActive = false;
            break;
        case 6:
            flashCounter = -1;
            break;
        case 7:
        case 8:
        case 11:
            view_->MovieStop();
            break;
        case 9:
        case 13:
            digitCount = 0;
            break;
        default:
            break;
    }
    phase = next;
    const bool leaderB = leader == 1;
    switch (next) {
        case 2:
            if (attack == 6 || attack == 7) {
                StartCutin(2);
                view_->Voice(12);
            } else {
                StartCutin(leader);
                view_->Voice(10 + leader);
            }
            break;
        case 3: {
            int kind = 10, voice = 20;
            switch (attack) {
                case 1:
                    kind = 11, voice = 21;
                    break;
                case 2:
                    kind = 30, voice = 40;
                    break;
                case 3:
                case 4:
                case 10:
                case 11:
                    kind = 12, voice = 22;
                    break;
                case 5:
                    kind = 31, voice = 41;
                    break;
                case 6:
                case 7:
                    if (leaderB)
                        kind = 12, voice = 22;
                    else if (attack == 7)
                        kind = 11, voice = 21;
                    break;
                default:
                    break;
            }
            StartCutin(kind);
            view_->Voice(voice);
            break;
        }
        case 4:
            if (leader == 0) {
                StartCutin(12);
                view_->Voice(22);
            } else {
                StartCutin(attack == 7 ? 11 : 10);
                view_->Voice(attack == 7 ? 21 : 20);
            }
            break;
        case 5:
            if (attack == 8 || attack == 9) {
                StartCutin(11);
                view_->Voice(21);
            } else {
                StartCutin(13);
                view_->Voice(23);
            }
            break;
        case 6:
            flashCounter = 0;
            break;
        case 7:
            view_->MovieStart(attack == 2 ? 20 : 21);
            break;
        case 8:
            view_->StageMove(missed ? 1 : 0);
            view_->MovieStart(attack == 0 || attack == 1 || attack == 3 || attack == 4 ? 10 : 11);
            if (missed) {
                view_->Voice(83);
            } else {
                if (hitIndex == hits - 1) view_->Voice(82);
                view_->Sound(attack == 0 ? 0 : attack == 1 || attack == 8 || attack == 9 ? 1 : 3);
            }
            break;
        case 9:
        case 13:
            DamageNumberStart(value);
            break;
        case 10:
            target = std::max(0, Saturate(int64_t{enemyGauge} - value));
            break;
        case 11:
            view_->MovieStart(2);
            view_->Voice(81);
            break;
        case 12:
            StartCutin(20 + 3 * leader + defence);
            view_->Voice(30 + 3 * leader + defence);
            if (defence == 1) view_->Sound(5);
            break;
        case 14:
            target = std::max(0, Saturate(int64_t{playerGauge} - enemyDamage));
            break;
        case 15:
            view_->Voice(85);
            break;
        case 16:
            view_->Voice(84);
            break;
        default:
            break;
    }
}

bool BattleCore::GaugeFall(int32_t& gauge, int32_t maximum) {
    if (gauge > target)
        gauge = std::max(target, Saturate(int64_t{gauge} - GaugeStep(maximum)));
    else
        gauge = target;
    return gauge == target;
}

void BattleCore::AttackStep(int32_t ticks) {
    if (cutinActive && !cutinDone && view_->CutinStep(ticks)) cutinDone = true;
    if (ticks < 1) return;
    const bool cutinOver = !cutinActive || cutinDone;
    switch (phase) {
        case 2:
            if (cutinOver && LeavingOk()) EnterPhase(3, 0);
            break;
        case 3:
            if (cutinOver && LeavingOk())
                EnterPhase(attack == 6 || attack == 7 ? 4 : hits > 1 ? 5 : 6, 0);
            break;
        case 4:
        case 5:
            if (cutinOver && LeavingOk()) EnterPhase(6, 0);
            break;
        case 6:
            if (++flashCounter >= kFlashFrames) EnterPhase(attack == 2 || attack == 5 ? 7 : 8, 0);
            break;
        case 7:
            if (view_->MovieDone() && LeavingOk()) EnterPhase(8, 0);
            break;
        case 8:
            if (view_->MovieDone() && !view_->StageBusy()) EnterPhase(9, HitDamage(hitIndex));
            break;
        case 9:
            if (DamageNumberStep(ticks)) EnterPhase(10, HitDamage(hitIndex));
            break;
        case 10:
            if (GaugeFall(enemyGauge, enemyMax) && LeavingOk()) {
                if (enemyGauge == 0) {
                    EnterPhase(15, 0);
                } else if (++hitIndex < hits) {
                    EnterPhase(8, 0);
                } else {
                    EnterPhase(11, 0);
                }
            }
            break;
        case 11:
            if (view_->MovieDone() && LeavingOk()) EnterPhase(12, 0);
            break;
        case 12:
            if (cutinOver && LeavingOk()) EnterPhase(13, enemyDamage);
            break;
        case 13:
            if (DamageNumberStep(ticks)) EnterPhase(14, enemyDamage);
            break;
        case 14:
            if (GaugeFall(playerGauge, playerMax) && LeavingOk()) {
                if (playerGauge == 0) {
                    EnterPhase(16, 0);
                } else {
                    EnterPhase(0, 0);
                    StartSpin();
                }
            }
            break;
        case 15:
            if (LeavingOk()) {
                EnterPhase(0, 0);
                state = 4;
                step = 0;
            }
            break;
        case 16:
            if (LeavingOk()) {
                EnterPhase(0, 0);
                if (battle == 5) {
                    Finish(1);
                } else {
                    state = 5;
                    step = 0;
                }
            }
            break;
        default:
            break;
    }
}

// ---- Damage numbers ----

void BattleCore::DamageNumberStart(int64_t value) {
    digitCount = DamageDigits(value, digits);
    numberCounter = 0;
}

bool BattleCore::DamageNumberStep(int32_t ticks) {
    numberCounter = Saturate(int64_t{numberCounter} + std::max(0, ticks));
    return numberCounter > 4 * digitCount + 27;
}

// ---- Selection, won and lost ----

void BattleCore::SelectOpen(int32_t mode) {
    selectMode = mode;
    selectSlide = 1;
    selectCounter = 0;
    selected = 0;
    confirmPending_ = false;
}

bool BattleCore::SelectSlide(int32_t ticks) {
    if (selectSlide == 0) return true;
    if (ticks >= 1 && selectCounter < kSlideSteps) ++selectCounter;
    return selectCounter >= kSlideSteps;
}

bool BattleCore::SelectInput(const BattleInput& input) {
    if (confirmPending_) {
        confirmPending_ = false;
        return true;
    }
    if (input.confirm) {
        view_->SystemSound(0);
        return true;
    }
    if (input.direction == 0 || input.direction == 4) {
        view_->SystemSound(3);
        selected = 1 - selected;
    }
    return false;
}

void BattleCore::SelectClick(int32_t button) {
    if (selectMode == 0 || selectSlide != 0 || (button != 0 && button != 1)) return;
    // As the confirm key: with its sound, taken by the next step.
    selected = button;
    confirmPending_ = true;
    view_->SystemSound(0);
}

void BattleCore::SelectHover(int32_t button) {
    if (selectMode == 0 || selectSlide != 0 || (button != 0 && button != 1)) return;
    selected = button;
    view_->SystemSound(3);
}

void BattleCore::WinClick() {
    if (state == 4 && step == 7) confirmPending_ = true;
}

void BattleCore::WinStep(int32_t ticks, const BattleInput& input) {
    switch (step) {
        case 0:
            gaugeShown = false;
            face = -1;
            SelectOpen(1);
            step = 1;
            break;
        case 1:
            if (SelectSlide(ticks)) {
                selectSlide = 0;
                step = 2;
            }
            break;
        case 2:
            if (!SelectInput(input)) break;
            chosen = selected;
            view_->Voice(50 + chosen);
            selectSlide = 2;
            selectCounter = 0;
            step = 3;
            break;
        case 3:
            if (!SelectSlide(ticks) || view_->VoiceBusy()) break;
            selectMode = 0;
            selectSlide = 0;
            StartCutin(chosen);
            view_->Voice(10 + chosen);
            step = 4;
            break;
        case 4:
        case 5:
            if (!cutinDone && view_->CutinStep(ticks)) cutinDone = true;
            if (!cutinDone || view_->VoiceBusy()) break;
            if (step == 4) {
                view_->CutinStop();
                StartCutin(30 + chosen);
                view_->Voice(40 + chosen);
                step = 5;
                break;
            }
            view_->CutinStop();
            cutinActive = false;
            view_->Music(false);
            view_->Sound(7);
            winShown = true;
            winCounter = 0;
            view_->Voice(60 + chosen);
            step = 6;
            counter = 0;
            break;
        case 6:
            if (ticks >= 1 && ++winCounter > kSlideSteps) {
                winCounter = kSlideSteps;
                step = 7;
                confirmPending_ = false;
            }
            break;
        case 7:
            if (input.confirm || confirmPending_) {
                confirmPending_ = false;
                view_->SystemSound(0);
                view_->ClearEnemy();
                Finish(0);
            }
            break;
        default:
            break;
    }
}

void BattleCore::LoseStep(int32_t ticks, const BattleInput& input) {
    switch (step) {
        case 0:
            gaugeShown = false;
            face = -1;
            view_->Music(false);
            view_->Sound(8);
            SelectOpen(2);
            view_->Voice(70 + leader);
            step = 1;
            break;
        case 1:
            if (SelectSlide(ticks)) {
                selectSlide = 0;
                step = 2;
            }
            break;
        case 2:
            if (!SelectInput(input)) break;
            if (selected == 0) {
                HidePanels();
                playerGauge = enemyGauge = 0;
                for (ReelRecord& r : reels) {
                    r.special = -1;
                    r.redraw = true;
                }
                Start();
            } else {
                Finish(2);
            }
            break;
        default:
            break;
    }
}
