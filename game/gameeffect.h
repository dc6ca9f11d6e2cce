// Full-screen transitions: one picture turned into another over a number of frames, drawn into
// the render target at the display's picture row. The owner advances a running transition once
// a frame and then draws it; each kind has a routine that draws one level of its blend, and the
// frame protocol here decides which level a frame shows and when the transition is over. The
// resources some kinds need (water tables, fade masks, halo pictures) live beside the effect.
#pragma once
#include <cstdint>

#include "foundation/zrfileman.h"
#include "foundation/zrrect.h"
#include "foundation/zrstring.h"
#include "media/zrrgbraw.h"
#include "widgets/nyrgbbits.h"

// Size of every transition picture.
inline constexpr int kEffectWidth = 1280;
inline constexpr int kEffectHeight = 720;
// The kind of an effect that runs nothing.
inline constexpr uint8_t kTransitionIdle = 0xFF;

// The ripple's three look-up tables, read whole from the game archive.
class TNYWaterTable {
  public:
    TNYWaterTable() = default;
    TNYWaterTable(const TNYWaterTable&) = delete;
    TNYWaterTable& operator=(const TNYWaterTable&) = delete;
    ~TNYWaterTable() { Free(); }

    void LoadTables(ZRFileMan* files);
    void Free();

    uint8_t loaded = 0;
    // [360 rows][640 columns]: distance of an offset from the ripple centre, one quadrant.
    uint16_t* distance = nullptr;
    // [256]: one period of the wave.
    uint8_t* sine = nullptr;
    // [32 amplitudes][255 wave values]: displacement + 127.
    uint8_t* amplitude = nullptr;
};

// A wipe pattern and the plane recomputed from it each frame.
class TNYFadeAlphaMask {
  public:
    TNYFadeAlphaMask() = default;
    TNYFadeAlphaMask(const TNYFadeAlphaMask&) = delete;
    TNYFadeAlphaMask& operator=(const TNYFadeAlphaMask&) = delete;
    ~TNYFadeAlphaMask() { Free(); }

    void Load(ZRFileMan* files, const ZRString& name);
    void Free();
    void Extract(int32_t level);
    void SAdd(int32_t level);
    void SSub(int32_t level);

    uint8_t loaded = 0;
    TNyAlpha* mask = nullptr;
    TNyAlpha* work = nullptr;
};

// The halo transition's back picture and its five travelling layers.
class TNYHalationImage {
  public:
    TNYHalationImage() = default;
    TNYHalationImage(const TNYHalationImage&) = delete;
    TNYHalationImage& operator=(const TNYHalationImage&) = delete;
    ~TNYHalationImage() { Free(); }

    void Load(ZRFileMan* files, ZRBitDepth depth);
    void Free();

    uint8_t loaded = 0;
    TNyRGBBits* back = nullptr;
    TNyRGBBits* layer[5] = {};
};

class TransitionEffect {
  public:
    TransitionEffect() = default;
    TransitionEffect(const TransitionEffect&) = delete;
    TransitionEffect& operator=(const TransitionEffect&) = delete;

    // Refuses (changing nothing) unless both pictures are created and exactly 1280x720. The
    // pictures stay the caller's.
    bool Start(uint8_t kind, TNyRGBBits* from, int32_t speed, TNyRGBBits* to);
    bool Start(uint8_t kind, TNyRGBBits* from, TNyRGBBits* to) {
        return Start(kind, from, 100, to);
    }
    // Adds elapsed ticks; the progress. An idle effect changes nothing.
    int32_t Advance(int32_t ticks);
    bool IsIdle() const { return kind == kTransitionIdle; }
    // Draws this frame's step at row yoff of target and adds the picture's rectangle to dirty
    // whenever it draws.
    void Draw(TNyRGBBits* target, int32_t yoff, ZRRectSet* dirty);
    // Forgets the pictures and goes idle.
    void Stop();

    TNyRGBBits* from = nullptr;
    TNyRGBBits* to = nullptr;
    uint8_t kind = kTransitionIdle;
    int32_t speed = 100;
    int32_t counter = 0;
    int32_t progress = 0;
    // Progress at the previous drawn frame; -1 before the first.
    int32_t last = -1;
    // Own frame counter of the kinds that run a fixed number of steps.
    int32_t step = 0;
    TNYWaterTable water;
    TNYFadeAlphaMask mask;
    TNYHalationImage halo;
};

// Draws one level of a kind's blend at row yoff of target; true when the level was the final
// one. Level 0 shows `from` whole and the final level `to` whole.
using TransitionRoutine = bool (*)(TransitionEffect& effect, TNyRGBBits* target, int32_t yoff,
                                   int32_t level);
// The routine of a kind, or null when the kind has none (it then shows `to` and ends).
TransitionRoutine TransitionRoutineOf(uint8_t kind);

// Copies a whole 1280x720 picture to row yoff of target.
void DrawWholePicture(TNyRGBBits* target, int32_t yoff, TNyRGBBits* picture);

// A full-screen work bitmap of the working depth, tracked by the memory manager; throws
// EGameErr when none can be made.
TNyRGBBits* CreateScreenBits();
