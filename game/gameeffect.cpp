// The transition frame protocol: which level of its kind a frame shows, when the transition
// ends, and the routine table that maps a kind to the code drawing it.
#include "game/gameeffect.h"

#include <algorithm>
#include <cstdint>

#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/gameeffect_kinds.h"
#include "game/maint.h"

namespace {

// How a kind turns the frame into a level: progress times a factor (the speed sets the pace),
// or a fixed count of steps (the speed only decides which frames step).
struct KindPace {
    int32_t factor;  // 0: counts steps
    int32_t final;
};

constexpr KindPace kPace[15] = {
    {4, 128},  {8, 128}, {2, 128},                     // cross-fades
    {1, 160},  {1, 160}, {1, 160}, {1, 160},           // slides
    {0, 36},   {0, 20},  {0, 36},  {0, 20},  {0, 70},  // zooms, trails, water
    {0, 37},                                           // halo
    {16, 511}, {8, 255},                               // mask wipes
};

}  // namespace

TransitionRoutine TransitionRoutineOf(uint8_t kind) {
    return effect::RoutineOf(kind);
}

void DrawWholePicture(TNyRGBBits* target, int32_t yoff, TNyRGBBits* picture) {
    target->Draw(0, yoff, picture, 0, 0, kEffectWidth, kEffectHeight);
}

bool TransitionEffect::Start(uint8_t k, TNyRGBBits* f, int32_t s, TNyRGBBits* t) {
    auto fits = [](TNyRGBBits* b) {
        return b && b->Created() && b->Width() == kEffectWidth && b->Height() == kEffectHeight;
    };
    // At a speed below 1 progress never moves, and the logic thread would wait for ever.
    if (!fits(f) || !fits(t) || s < 1) return false;
    from = f;
    to = t;
    kind = k;
    speed = s;
    counter = 0;
    progress = 0;
    last = -1;
    return true;
}

int32_t TransitionEffect::Advance(int32_t ticks) {
    if (IsIdle()) return progress;
    counter = int32_t(std::clamp<int64_t>(int64_t(counter) + ticks, 0, INT32_MAX));
    // The product is taken wide so a long-running transition at a high speed cannot overflow;
    // the truncation toward zero is the one the pace tables assume. Past the end progress
    // only has to stay there, so it stops at the largest value rather than wrapping.
    progress = int32_t(std::min<int64_t>(int64_t(counter) * speed / 100, INT32_MAX));
    return progress;
}

void TransitionEffect::Stop() {
    from = nullptr;
    to = nullptr;
    kind = kTransitionIdle;
}

void TransitionEffect::Draw(TNyRGBBits* target, int32_t yoff, ZRRectSet* dirty) {
    if (IsIdle() || !target) return;
    const ZRRect whole{0, yoff, kEffectWidth, yoff + kEffectHeight};
    const TransitionRoutine routine = kind < 15 ? TransitionRoutineOf(kind) : nullptr;
    if (!routine) {
        DrawWholePicture(target, yoff, to);
        if (dirty) dirty->UnionRect(whole);
        Stop();
        last = progress;
        return;
    }
    const KindPace pace = kPace[kind];
    if (last < 0) {
        if (pace.factor == 0) step = 0;
        routine(*this, target, yoff, 0);
        if (dirty) dirty->UnionRect(whole);
        last = progress;
        return;
    }
    if (progress == last) return;
    bool done;
    if (pace.factor == 0) {
        ++step;
        const int32_t level = step < pace.final ? step : pace.final;
        // A routine also ends early when its kind's resource is missing.
        done = routine(*this, target, yoff, level) || level >= pace.final;
    } else {
        const int64_t wide = int64_t(progress) * pace.factor;
        const int32_t level = wide >= pace.final ? pace.final : wide < 0 ? 0 : int32_t(wide);
        done = routine(*this, target, yoff, level);
    }
    if (dirty) dirty->UnionRect(whole);
    if (done) {
        from = nullptr;
        to = nullptr;
        kind = kTransitionIdle;
    }
    last = progress;
}

void TNYWaterTable::Free() {
    if (!loaded) return;
    delete[] distance;
    delete[] sine;
    delete[] amplitude;
    distance = nullptr;
    sine = nullptr;
    amplitude = nullptr;
    loaded = 0;
}

void TNYFadeAlphaMask::Free() {
    if (!loaded) return;
    delete mask;
    delete work;
    mask = nullptr;
    work = nullptr;
    loaded = 0;
}

void TNYHalationImage::Free() {
    if (!loaded) return;
    delete back;
    back = nullptr;
    for (TNyRGBBits*& b : layer) {
        delete b;
        b = nullptr;
    }
    loaded = 0;
}

TNyRGBBits* CreateScreenBits() {
    TNyRGBBits* bits = MemMan ? MemMan->CreateVCL<TNyRGBBits>(nullptr) : nullptr;
    if (bits) {
        bits->SetBitDepth(WorkBitDepth);
        bits->Resize(kEffectWidth, kEffectHeight);
        if (!bits->Create()) MemMan->Delete(bits);
    }
    if (!bits) throw EGameErr();
    return bits;
}
