// The fifteen transition routines and the pixel work only they need (nearest-pixel stretches
// and the water ripple). A routine draws one level of its transition from `from` toward `to`
// into the 1280x720 window of the target that starts at row yoff, and reports true once it
// has drawn its final level (the whole `to`). Level 0 always shows the whole `from`.
//
// Every routine clips to the target, both pictures and any plane it reads. A routine draws
// nothing unless both pictures are created 1280x720 bitmaps and the target is created, all of
// one 24- or 32-bit depth; kind 8, which reads the target back, also needs the whole window
// inside the target.
#pragma once
#include <cstdint>

#include "game/gameeffect_res.h"
#include "widgets/nyrgbbits.h"

namespace effect {

inline constexpr int kScreenW = 1280;
inline constexpr int kScreenH = 720;

// What every routine draws with.
struct Frame {
    TNyRGBBits* target = nullptr;
    int32_t yoff = 0;
    TNyRGBBits* from = nullptr;
    TNyRGBBits* to = nullptr;
};

// Fade rates of water steps 32-38 and halo steps 1-4.
inline constexpr int32_t kWaterRates[7] = {16, 18, 21, 26, 32, 43, 64};
inline constexpr int32_t kHaloRates[4] = {32, 43, 64, 128};

bool CrossFade(const Frame& f, int32_t level);
// direction 0 up, 1 down, 2 right, 3 left (kinds 3-6).
bool Slide(const Frame& f, int direction, int32_t level);
bool ZoomInBlur(const Frame& f, int32_t level);
bool ZoomOutReveal(const Frame& f, int32_t level);
bool ShrinkTrail(const Frame& f, int32_t level);
bool GrowTrail(const Frame& f, int32_t level);
bool Water(const Frame& f, const TNYWaterTable& water, int32_t level);
bool Halo(const Frame& f, const TNYHalationImage& halo, int32_t level);
bool SoftMaskWipe(const Frame& f, TNYFadeAlphaMask& mask, int32_t level);
bool EdgeMaskWipe(const Frame& f, TNYFadeAlphaMask& mask, int32_t level);

// Resources of the kinds that need one; a kind whose resource is missing or not loaded
// shows `from` and then, on its next drawn level, `to`.
struct Resources {
    const TNYWaterTable* water = nullptr;
    TNYFadeAlphaMask* mask = nullptr;
    const TNYHalationImage* halo = nullptr;
};
bool HasResource(uint8_t kind, const Resources& r);
// Draws the level of one running kind (0-14); true when it was the final one. A kind outside
// 0-14, or a missing resource at a level above 0, draws `to` and reports true.
bool DrawKind(uint8_t kind, const Frame& f, const Resources& r, int32_t level);

// The routine of each kind 0-14 for the effect's dispatch; null for any other kind.
TransitionRoutine RoutineOf(uint8_t kind);

// The pictures of f all usable together (see above).
bool Usable(const Frame& f);
// Whole `from` or `to` into the target window.
void ShowWhole(const Frame& f, TNyRGBBits* picture);

// A window of pixels: the first pixel, the byte step between rows, the size, and the
// bytes per pixel (3 or 4).
struct PixelRect {
    unsigned char* bits = nullptr;
    int64_t pitch = 0;
    int32_t w = 0;
    int32_t h = 0;
    int32_t bpp = 4;
};
// The part of a bitmap at (x, y) of w x h; pixels outside the bitmap are cut from the
// window by clipping, so callers pass the clip separately.
PixelRect RectOf(TNyRGBBits* b, int32_t x, int32_t y, int32_t w, int32_t h);

// Destination cells (in destination coordinates) that may be written: [x0, x1) x [y0, y1).
struct Clip {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};
// Maps src onto dst by nearest-pixel stepping with integer accumulators; writes only the
// destination cells inside clip. Copy stores the source pixel; blend stores (3 d + s) / 4 per
// colour channel and clears byte 3 of a 32-bit pixel. When the destination is the smaller side
// a cell is written once for every source pixel that lands on it, so the blend compounds.
void StretchCopy(const PixelRect& dst, const PixelRect& src, const Clip& clip);
void StretchBlend(const PixelRect& dst, const PixelRect& src, const Clip& clip);

// The ripple of the 1280x720 source into the 1280x720 window dst, cells inside clip only, at
// amplitude a (clamped to 0-31) and phase; nothing without loaded tables.
void WaterRipple(const PixelRect& dst, const Clip& clip, const PixelRect& src,
                 const TNYWaterTable& water, int32_t a, int32_t phase);

}  // namespace effect
