// Weather particles of a background record and the two layers that paint them, and the
// stage's short effects: shakes, the jump, the white flash and the centre character's moves.
#include <algorithm>

#include "game/gamedef.h"
#include "game/gamefunc.h"
#include "scenes/stageu.h"

namespace {

constexpr uint32_t kRainColour = 0x202020;
constexpr uint32_t kScratchColour = 0x404040;

bool IsRain(int32_t v) {
    return v == 1 || v == 5 || v == 6 || v == 7;
}
bool IsSnow(int32_t v) {
    return v == 2 || v == 8;
}

// Streaks drawn at rain level L: vertical rain, and twice as many in perspective.
int32_t StreakCount(int32_t variant, int32_t level) {
    level = std::clamp(level, 0, 4);
    if (variant == 6 || variant == 7) return (192 * level + 192) / 5;
    return (96 * level + 96) / 5;
}

struct Sprite {
    int sx, size;
};
constexpr Sprite kFlake14{0, 14}, kFlake12{14, 12}, kFlake10{26, 10}, kFlake8{36, 8};

}  // namespace

bool TStageUnit::VariantShowsBack(int32_t v) {
    // Snow over a class-A background (variant 8) draws in the back layer only.
    return v == 1 || v == 2 || v == 5 || v == 6 || v == 7 || v == 8;
}

bool TStageUnit::VariantShowsFront(int32_t v) {
    return v == 1 || v == 2 || v == 3;
}

void TStageUnit::WeatherInit(StageRecord& rec) {
    const int32_t v = rec.variant;
    if (IsRain(v)) {
        for (int i = 0; i < 192; ++i) {
            rec.px[i] = static_cast<int16_t>(Rng.Random(1280));
            rec.py[i] = static_cast<int16_t>(Rng.Random(720) - 180);
        }
    } else if (IsSnow(v)) {
        for (int i = 0; i < 256; ++i) {
            rec.px[i] = static_cast<int16_t>(Rng.Random(1344) - 32);
            rec.py[i] = static_cast<int16_t>(Rng.Random(720) - 720);
        }
        rec.wind[0] = 0, rec.wind[1] = 1, rec.wind[2] = 2, rec.wind[3] = 1;
    } else if (v == 3) {
        for (int i = 0; i < 4; ++i) {
            rec.px[i] = static_cast<int16_t>(Rng.Random(1280));
            rec.wind[i] = 0;
        }
    }
    rec.counter = 0;
}

void TStageUnit::WeatherTick(int32_t ticks, StageRecord& rec, int which) {
    const int32_t v = rec.variant;
    TNyRGBPanel* back = weather_[which][0].get();
    TNyRGBPanel* front = weather_[which][1].get();
    if (IsRain(v)) {
        rec.counter += ticks;
        if (rec.counter < 2) return;
        rec.counter = 0;
        // Rain is a fresh scatter every second tick, not a fall.
        for (int i = 0; i < 192; ++i) {
            rec.px[i] = static_cast<int16_t>(Rng.Random(1280));
            rec.py[i] = static_cast<int16_t>(Rng.Random(720) - 180);
        }
        back->SetModify();
        if (v == 1) front->SetModify();
    } else if (v == 3) {
        rec.counter += ticks;
        if (rec.counter < 2) return;
        rec.counter = 0;
        for (int i = 0; i < 4; ++i) {
            if (Rng.Random(60) == 0) {
                rec.px[i] = static_cast<int16_t>(Rng.Random(1280));
                rec.wind[i] = 0;
            } else {
                rec.wind[i] = Rng.Random(5) - 2;
            }
        }
        front->SetModify();
    } else if (IsSnow(v)) {
        ++rec.counter;
        if (rec.counter % 2 == 0) return;
        if (rec.counter % 8 == 1) {
            const int k = rec.counter / 8 % 4;
            if (k < 3) {
                rec.wind[k] = rec.wind[k + 1];
            } else {
                rec.wind[3] += rec.wind[2] - rec.wind[1];
                if (rec.wind[3] == -3) rec.wind[3] = -1;
                if (rec.wind[3] == 3) rec.wind[3] = 1;
            }
        }
        for (int i = 0; i < 256; ++i) {
            int dx, dy;
            if (i < 84) {
                dx = rec.wind[0], dy = 4;
            } else if (i < 156) {
                dx = rec.wind[1], dy = 5;
            } else if (i < 212) {
                dx = 2 * rec.wind[2], dy = 6 + (Rng.Rnd() & 3);
            } else {
                dx = 2 * rec.wind[3], dy = 6 + (Rng.Rnd() & 7);
            }
            rec.px[i] = static_cast<int16_t>(rec.px[i] + dx);
            rec.py[i] = static_cast<int16_t>(rec.py[i] + dy);
        }
        for (int i = 0; i < 256; ++i)
            if (rec.py[i] > 734) {
                rec.px[i] = static_cast<int16_t>(Rng.Random(1344) - 32);
                rec.py[i] = -14;
            }
        back->SetModify();
        front->SetModify();
    }
}

namespace {

// Adds one flake, clipped to clip; with a plane, darkened by the plane's values under it so
// it only shows where the background lets the sky through.
void AddFlake(TNyRGBBits* dest, TNyRGBBits* sheet, TNyRGBBits* work, const Sprite& s, int x, int y,
              const ZRRect& clip, const TNyAlpha* alpha, int ox, int oy) {
    ZRRect r{x, y, x + s.size, y + s.size};
    if (!r.IntersectRect(clip)) return;
    const int sx = s.sx + (r.left - x), sy = r.top - y;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (!alpha) {
        // Clip the cell to the sheet so a smaller sheet draws what it holds.
        ZRRect cell{sx, sy, sx + w, sy + h};
        if (!cell.IntersectRect(ZRRect{0, 0, sheet->Width(), sheet->Height()})) return;
        dest->SaturationAdd(r.left + (cell.left - sx), r.top + (cell.top - sy), sheet, cell.left,
                            cell.top, cell.right - cell.left, cell.bottom - cell.top);
        return;
    }
    if (w > work->Width() || h > work->Height()) return;
    work->Cls();
    work->ClipDraw(0, 0, sheet, sx, sy, w, h);
    // Darken by the plane: each colour byte times the value under it, over 256.
    const int bpp = work->BitDepth();
    for (int j = 0; j < h; ++j) {
        const int ay = r.top + j - oy, ax0 = r.left - ox;
        unsigned char* row = work->Bits() + static_cast<int64_t>(j) * work->Pitch();
        for (int i = 0; i < w; ++i) {
            const int ax = ax0 + i;
            const int a = (ax >= 0 && ay >= 0 && ax < alpha->Width() && ay < alpha->Height())
                              ? *alpha->ValueAt(ax, ay)
                              : 0;
            unsigned char* p = row + i * bpp;
            for (int c = 0; c < 3; ++c) p[c] = static_cast<unsigned char>(p[c] * a / 256);
        }
    }
    dest->SaturationAdd(r.left, r.top, work, 0, 0, w, h);
}

}  // namespace

void TStageUnit::PaintWeatherBack(const StageRecord& rec, TNyRGBBits* dest, int ox, int oy,
                                  const ZRRect& clip) {
    const int32_t v = rec.variant;
    TNyAlpha* alpha = rec.alpha && rec.alpha->Created() ? rec.alpha.get() : nullptr;
    if (v == 1 || v == 5 || v == 6 || v == 7) {
        const int32_t n = StreakCount(v, rec.rainLevel);
        for (int i = 0; i < n; ++i) {
            const int32_t x = rec.px[i], y = rec.py[i];
            int32_t x1 = x, y1 = y, x2 = x, y2 = y + 360;
            if (v == 6) x2 = 640 + (x - 640) * (y + 1080) / (y + 720);
            if (v == 7) x1 = 640 + (x - 640) * (y - 1440) / (y - 1080);
            if (alpha)
                DrawLineAddRateClip(dest, ox + x1, oy + y1, ox + x2, oy + y2, kRainColour, clip,
                                    alpha);
            else
                DrawLineAddClip(dest, ox + x1, oy + y1, ox + x2, oy + y2, kRainColour, clip);
        }
    } else if (IsSnow(v) && Snow && Snow->Created()) {
        for (int i = 0; i < 156; ++i)
            AddFlake(dest, Snow.get(), FlakeWork.get(), i < 84 ? kFlake8 : kFlake10, ox + rec.px[i],
                     oy + rec.py[i], clip, alpha, ox, oy);
    }
}

void TStageUnit::PaintWeatherFront(const StageRecord& rec, TNyRGBBits* dest, int ox, int oy,
                                   const ZRRect& clip) {
    const int32_t v = rec.variant;
    if (v == 1) {
        const int32_t n = StreakCount(v, rec.rainLevel);
        for (int i = 96; i < 96 + n && i < 192; ++i)
            DrawLineAddClip(dest, ox + rec.px[i], oy + rec.py[i], ox + rec.px[i],
                            oy + rec.py[i] + 360, kRainColour, clip);
    } else if (v == 2 && Snow && Snow->Created()) {
        for (int i = 156; i < 256; ++i)
            AddFlake(dest, Snow.get(), FlakeWork.get(), i < 212 ? kFlake12 : kFlake14,
                     ox + rec.px[i], oy + rec.py[i], clip, nullptr, ox, oy);
    } else if (v == 3) {
        for (int i = 0; i < 4; ++i) {
            const int x = ox + rec.px[i] + rec.wind[i];
            DrawLineClip(dest, x, oy, x, oy + 719, kScratchColour, clip);
            DrawLineClip(dest, x + 1, oy, x + 1, oy + 719, kScratchColour, clip);
        }
    }
}

// ---- Effects ----

bool TStageUnit::StageEffect(int32_t n) {
    if (!SetUpDone) return false;
    if (StageState != ssIdle) {
        EndTransition();
        StageState = ssIdle;
    }
    EffectNo = n;
    EffectStepNo = 0;
    if (n >= 0 && n <= 3) {
        StageState = ssEffect;
        EffectStep(0);
        stagePanel_->SetModify();
    } else if (n == 4) {
        Simple = UserSettings.SimpleDisplay;
        FromBits = CreateScreenBits();
        SnapshotInto(FromBits, false);
        ToBits = WhitePicture();
        if (Transition.Start(1, FromBits, 100, ToBits)) {
            StageState = ssEffect;
            RefreshStage();
        } else {
            DeletePictures();
        }
    }
    return IsBusy();
}

bool TStageUnit::EffectStep(int32_t step) {
    ShiftX = ShiftY = 0;
    switch (EffectNo) {
        case 0:
            if (step > 8) return false;
            ShiftY = step % 2 == 0 ? -32 : 32;
            return true;
        case 1:
            if (step > 8) return false;
            ShiftX = step % 2 == 0 ? -32 : 32;
            return true;
        case 2:
            if (step > 8) return false;
            ShiftX = Rng.Random(3) * 32 - 32;
            ShiftY = Rng.Random(3) * 32 - 32;
            return true;
        case 3: {
            static const int32_t kJump[6] = {-8, -16, -24, -32, -64, 64};
            if (step > 5) return false;
            ShiftY = kJump[step];
            return true;
        }
        default:
            return false;
    }
}

bool TStageUnit::StageMove(int32_t n) {
    if (!SetUpDone) return false;
    if (StageState != ssIdle) {
        EndTransition();
        StageState = ssIdle;
    }
    MoveNo = n;
    MoveStepNo = 0;
    if (n == 0 || n == 1) {
        StageState = ssMove;
        if (!MoveStep(0)) StageState = ssIdle;
        RefreshStageChanged();
    }
    return IsBusy();
}

bool TStageUnit::MoveStep(int32_t step) {
    TNyRGBPanel* p = slotPanel_[0][3].get();
    if (!p->GetVisible()) return false;
    const int base = 640 - p->GetSizeX() / 2;
    const int last = MoveNo == 0 ? 16 : 8;
    if (step > last) return false;
    int x = base;
    if (MoveNo == 0) {
        if (step < 16) x = step % 2 == 0 ? base - 16 : base + 16;
    } else {
        x = step <= 3 ? base + step * 64 : base + (8 - step) * 64;
    }
    p->SetModifyToParent();
    p->SetOffsetX(x);
    p->SetModify();
    return step < last;
}
