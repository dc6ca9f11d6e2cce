// Rendering: the whole picture or only its changed rectangles, the movie frame, and on top of
// the picture the frame-rate box and the game's own cursor, taken away again after presenting
// so that the render target always holds the clean picture.
//
// With a conversion bitmap the picture is drawn at row 0 of it in every display kind; the
// picture's row on the display is added only when copying to the display.
#include <chrono>
#include <thread>

#include "game/gamedef.h"
#include "game/gamef.h"
#include "platform/clock.h"
#include "platform/textrender.h"

namespace {

constexpr int kFpsX = 1184;
constexpr int kFpsW = 96;
constexpr int kFpsH = 26;
constexpr int kCursorSize = 32;

// The render gate, tried without waiting and held for a scope when taken.
class GateTry {
  public:
    explicit GateTry(ZRCriticalSectionEx* gate) : gate_(gate && gate->Check() ? gate : nullptr) {}
    ~GateTry() {
        if (gate_) gate_->Release();
    }
    GateTry(const GateTry&) = delete;
    GateTry& operator=(const GateTry&) = delete;
    bool Held() const { return gate_ != nullptr; }

  private:
    ZRCriticalSectionEx* gate_;
};

}  // namespace

void FpsCounter::Reset() {
    for (int i = 0; i < 5; ++i) start_[i] = 0, count_[i] = 0;
    index_ = 0;
    value_ = 0;
}

int32_t FpsCounter::Count() {
    const uint32_t now = plat::GetTickCount();
    if (now - start_[index_] >= 1000) {
        start_[index_] = now;
        count_[index_] = 1;
        value_ = 0;
    } else if (now - start_[index_] < 250) {
        ++count_[index_];
    } else {
        const uint32_t previous = start_[index_];
        index_ = (index_ + 1) % 5;
        start_[index_] = previous + 250;
        count_[index_] = 1;
        int32_t sum = 0;
        for (int i = 0; i < 5; ++i)
            if (i != index_) sum += count_[i];
        value_ = sum > 999 ? 999 : sum;
    }
    return value_;
}

TNyRGBBits* TGameForm::RenderTarget() const {
    if (ConvertBits) return ConvertBits;
    return Display ? Display->DrawSurface() : nullptr;
}

int32_t TGameForm::PictureY() const {
    return DisplayKind == 1 && !ConvertBits ? PictureOffsetY : 0;
}

bool TGameForm::WaitCanDraw() {
    const ZRSectionHold draw(DrawLock);
    const uint32_t start = plat::GetTickCount();
    bool ok = false;
    while (Display && Display->Enabled()) {
        if (Display->CanDraw() && Display->CanFlip()) {
            ok = true;
            break;
        }
        if (plat::GetTickCount() - start > 1000) break;
        std::this_thread::yield();
    }
    return ok;
}

void TGameForm::ClearBorders() {
    if (DisplayKind != 1 || !Display || !Display->DrawSurface()) return;
    TNyRGBBits* s = Display->DrawSurface();
    if (PictureOffsetY > 0) s->BoxFill(0, 0, 1279, PictureOffsetY - 1, 0);
    if (PictureOffsetY + 720 < FullScreenHeight)
        s->BoxFill(0, PictureOffsetY + 720, 1279, FullScreenHeight - 1, 0);
}

void TGameForm::GetMousePos(TPoint& p) {
    p.x = MouseX.load();
    p.y = MouseY.load();
    if (DisplayKind == 1) p.y -= PictureOffsetY;
    if (DisplayKind != kDisplayWindow) {
        p.x = p.x < 0 ? 0 : p.x > 1279 ? 1279 : p.x;
        p.y = p.y < 0 ? 0 : p.y > 719 ? 719 : p.y;
    }
}

void TGameForm::SetCursorPosition(int x, int y) {
    const int h = CursorType.load() >= 4 ? 15 : 0;
    CursorX = x - h;
    CursorY = y - h;
}

void TGameForm::SetCursorType(int32_t type) {
    if (type < -2 || type > 7) return;
    const ZRSectionHold draw(DrawLock);
    CursorType.store(type);
}

bool TGameForm::PushCursorType() {
    const ZRSectionHold draw(DrawLock);
    const bool ok = CursorDepth < 16;
    if (ok) CursorStack[CursorDepth] = CursorType.load();
    ++CursorDepth;
    return ok;
}

bool TGameForm::PopCursorType() {
    const ZRSectionHold draw(DrawLock);
    bool ok = false;
    if (CursorDepth > 0) {
        --CursorDepth;
        if (CursorDepth < 16) {
            SetCursorType(CursorStack[CursorDepth]);
            ok = true;
        }
    }
    return ok;
}

void TGameForm::DrawWaitCell(TNyRGBBits* target, int yoff) {
    if (!WaitBits || !WaitBits->Created() || WaitCell < 0) return;
    const int rate = WaitLevel < 32 ? WaitLevel * 4 : 128;
    if (rate < 128) target->Cls();
    target->AlphaBlend(1024, 632 + yoff, WaitBits, 0, WaitCell * 72, 240, 72, rate);
}

void TGameForm::WaitStep(TNyRGBBits* target, int yoff, ZRRectSet& rects) {
    ++WaitCount;
    bool due = false;
    if (WaitLevel == 0) {
        if (WaitCount > 150) {
            WaitLevel = 1;
            WaitCount = 0;
            due = true;
        }
    } else if (WaitCount >= 2) {
        if (WaitLevel < 32) ++WaitLevel;
        WaitCount = 0;
        ++WaitCell;
        due = true;
    }
    if (!due) return;
    WaitCount = 0;
    if (++WaitCell >= 10) WaitCell = 0;
    DrawWaitCell(target, yoff);
    // While fading in the whole picture is cleared; at full strength only the cell changed,
    // and presenting the whole picture for it would cost a whole frame fifteen times a second.
    if (WaitLevel < 32)
        rects.UnionRect(ZRRect{0, yoff, 1280, yoff + 720});
    else
        rects.UnionRect(ZRRect{1024, 632 + yoff, 1264, 704 + yoff});
}

bool TGameForm::DrawFpsBox(TNyRGBBits* target) {
    if (!FpsSave || !FpsSave->Created()) return false;
    if (!FpsSave->Draw(0, 0, target, kFpsX, 0, kFpsW, kFpsH)) return false;
    target->ToneChange(kFpsX, 0, 1279, kFpsH - 1, 0x404040);
    ZRString text;
    text.sprintf("%2d FPS", Fps.Value());
    void* dc = nullptr;
    if (!LargeFont || !target->GetDC(&dc)) return true;
    auto* surface = static_cast<plat::DrawSurface*>(dc);
    if (LargeFont->StartTextOut(surface, 0x000000)) {
        ZRSize size{0, 0};
        LargeFont->GetExtentPoint(text, &size);
        const int w = size.cx > kFpsW ? kFpsW : size.cx;
        LargeFont->Write(1275 - w, 1, text);
        LargeFont->SetColor(0xFFFFFF);
        LargeFont->Write(1274 - w, 0, text);
        LargeFont->EndTextOut();
    }
    target->ReleaseDC(dc);
    return true;
}

bool TGameForm::CursorAtRest() {
    TPoint p;
    GetMousePos(p);
    const int h = CursorType.load() >= 4 ? 15 : 0;
    return p.x - h == CursorX && p.y - h == CursorY && CursorType.load() == ShownCursorType;
}

bool TGameForm::DrawCursor(TNyRGBBits* target, int yoff) {
    TPoint p;
    GetMousePos(p);
    SetCursorPosition(p.x, p.y);
    const int32_t type = CursorType.load();
    ShownCursorType = type;
    if (type < 0 || !CursorSave || !CursorSave->Created() || !CursorBits) return false;
    // A cursor drawn over pixels that were not saved could only be taken away by a black box.
    CursorSave->Cls();
    if (!CursorSave->ClipDraw(0, 0, target, CursorX, CursorY + yoff, kCursorSize, kCursorSize))
        return false;
    target->DrawAlphaMask(CursorX, CursorY + yoff, CursorBits, type * kCursorSize, 0, kCursorSize,
                          kCursorSize, CursorAlpha);
    return true;
}

void TGameForm::TakeAway(TNyRGBBits* target, int yoff, bool cursor, bool fps) {
    if (cursor)
        target->ClipDraw(CursorX, CursorY + yoff, CursorSave, 0, 0, kCursorSize, kCursorSize);
    if (fps) target->Draw(kFpsX, 0, FpsSave, 0, 0, kFpsW, kFpsH);
}

void TGameForm::CatchUpDrawSurface() {
    if (DrawSurfaceBehind.IsRectEmpty()) return;
    TNyRGBBits* surface = ConvertBits && Display ? Display->DrawSurface() : nullptr;
    if (!surface) return;
    const TNyBitsLock lock(surface);
    if (!lock.Held()) return;
    const int displayY = DisplayKind == 1 ? PictureOffsetY : 0;
    bool copied = true;
    for (const ZRRect& r : DrawSurfaceBehind)
        copied = surface->ConvertCopy(r.left, r.top + displayY, ConvertBits, r.left, r.top,
                                      r.right - r.left, r.bottom - r.top) &&
                 copied;
    // What was not copied is still owed.
    if (copied) DrawSurfaceBehind.SetRectEmpty();
}

DirectX::TDSurface* TGameForm::BackDrawSurface() const {
    return Display && Display->BackType() != DirectX::btNone ? Display->DrawSurface() : nullptr;
}

PictureHold::PictureHold(DirectX::TDSurface* first, DirectX::TDSurface* second) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (DirectX::TDSurface* s : {first, second}) {
        if (!s) continue;
        // Each try waits up to a frame for a presenter's read to end.
        while (!s->Lock()) {
            if (!s->Created() || s->IsLost() || std::chrono::steady_clock::now() > limit) {
                held_ = false;
                return;
            }
        }
        locked_[count_++] = s;
    }
}

PictureHold::~PictureHold() {
    while (count_ > 0) locked_[--count_]->Unlock();
}

void TGameForm::SetOnDraw(const ZRBaseCallback2<void, TNyRGBBits*, int>& r) {
    const ZRSectionHold draw(DrawLock);
    OnDraw = r;
}

void TGameForm::SetOnDrawModified(const ZRBaseCallback3<void, TNyRGBBits*, int, ZRRectSet*>& r) {
    const ZRSectionHold draw(DrawLock);
    OnDrawModified = r;
}

// The frame the three renders share. Whatever leaves a draw, an exception too, gives back the
// pictures, the draw lock, the logic lock and the gate, in that order: the frame step ends the
// game on it, and the close waits for the logic lock. False when nothing was drawn.
template <typename Draw>
bool TGameForm::RenderFrame(bool closingStops, Draw draw) {
    const GateTry gate(RenderGate);
    if (!gate.Held()) return false;
    // In the wait modes the logic thread holds the logic lock while the wait thread renders.
    // The frame is drawn in the mode read here, the one its locks were chosen for.
    const uint8_t mode = GetScreenMode();
    const ZRSectionHold logic(mode != smWait && mode != smHold ? LogicLock : nullptr);
    const ZRSectionHold drawing(DrawLock);
    if (closingStops && GetScreenMode() == smClosing) return false;
    if (!WaitCanDraw()) return false;
    const PictureHold hold(ConvertBits, BackDrawSurface());
    // The waits above may last a second. A mode begun meanwhile is not drawn with the locks of
    // the old one, and its whole first frame is owed: its own opening render may have found the
    // gate taken by this one, or a whole frame of the old mode may have settled the debt.
    const bool drawn = hold.Held() && GetScreenMode() == mode;
    if (drawn) draw(mode);
    if (GetScreenMode() != mode) FullRenderPending.store(true);
    return drawn;
}

void TGameForm::RenderFull() {
    // A whole frame that could not be drawn (another render holds the gate, the display or the
    // pictures could not be had) stays owed to the next frame step.
    if (!RenderFrame(true, [this](uint8_t mode) { DrawFull(mode); }))
        FullRenderPending.store(true);
}

void TGameForm::RenderModified(int ticks) {
    RenderFrame(false, [this, ticks](uint8_t mode) { DrawModified(ticks, mode); });
}

void TGameForm::RenderMovie() {
    RenderFrame(true, [this](uint8_t) { DrawMovie(); });
}

bool TGameForm::MayPresent(const ZRRectSet* drawn) {
    if (DisplayKind == kDisplayWindow || ApplicationActive()) return true;
    if (!drawn)
        Display->SetModifyRect(ZRRect{0, 0, Display->Width(), Display->Height()});
    else
        for (const ZRRect& r : *drawn) Display->SetModifyRect(r);
    return false;
}

void TGameForm::DrawFull(uint8_t mode) {
    Fps.Count();
    TNyRGBBits* target = RenderTarget();
    const int yoff = PictureY();
    if (OnDraw.IsSet()) {
        const TNyBitsLock lock(target);
        if (lock.Held()) OnDraw.Call(target, yoff);
    } else if (mode == smMenu || mode == smBattle || mode == smAdventure) {
        const TNyBitsLock lock(target);
        if (lock.Held()) RootPanel->Draw(target, 0, yoff);
    } else if (mode == smWait) {
        target->Cls();
        if (WaitLevel > 0) DrawWaitCell(target, yoff);
    } else if (mode == smTransition) {
        const TNyBitsLock lock(target);
        if (lock.Held()) DrawTransition(target, yoff, nullptr);
    }
    const bool fps = ShowFps && DrawFpsBox(target);
    const bool cursor = DrawCursor(target, yoff);
    const int displayY = DisplayKind == 1 ? PictureOffsetY : 0;
    bool copied = true;
    if (ConvertBits) {
        copied = Display->DrawSurface()->ConvertCopy(0, displayY, ConvertBits, 0, 0, 1280, 720);
        if (copied)
            DrawSurfaceBehind.SetRectEmpty();
        else
            DrawSurfaceBehind.UnionRect(ZRRect{0, 0, 1280, 720});
    }
    // A draw surface the picture did not reach may hold an older frame than the screen shows:
    // it is not presented, and the next frame step renders whole again.
    if (!copied) {
        FullRenderPending.store(true);
    } else if (MayPresent(nullptr)) {
        if (DisplayKind == 1) ClearBorders();
        if (Display->Flip()) {
            FullRenderPending.store(false);
            ShownFps = ShowFps ? Fps.Value() : -1;
        }
    }
    TakeAway(target, yoff, cursor, fps);
}

void TGameForm::DrawModified(int ticks, uint8_t mode) {
    Fps.Count();
    TNyRGBBits* target = RenderTarget();
    const int yoff = PictureY();
    ZRRectSet rects;
    if (CursorX > -kCursorSize && CursorX < 1280 && CursorY > -kCursorSize && CursorY < 720)
        rects.UnionRect(
            ZRRect{CursorX, CursorY + yoff, CursorX + kCursorSize, CursorY + yoff + kCursorSize});
    const uint32_t beforePicture = rects.Additions();
    if (OnDrawModified.IsSet()) {
        const TNyBitsLock lock(target);
        if (lock.Held()) OnDrawModified.Call(target, yoff, &rects);
    } else if (mode == smMenu || mode == smBattle || mode == smAdventure) {
        ZRRectSet changed;
        RootPanel->GetModifiedRectSet(&changed);
        if (!changed.IsRectEmpty()) {
            {
                const TNyBitsLock lock(target);
                if (lock.Held()) RootPanel->Update(target, 0, yoff);
            }
            changed.OffsetRect(0, yoff);
            rects.UnionRectSet(changed);
        }
    } else if (mode == smWait && ticks > 0) {
        WaitStep(target, yoff, rects);
    } else if (mode == smTransition) {
        const TNyBitsLock lock(target);
        if (lock.Held()) DrawTransition(target, yoff, &rects);
    }
    // Nothing drawn, a cursor that stayed where it was shown and a frame-rate box (if any)
    // with the value it shows: the display already holds this very frame, unless the
    // screen lost it or a present did not reach it. Whether anything was drawn is what the
    // picture reported, never the area: a change inside the cursor's box leaves the area as
    // it was.
    const int32_t fps = ShowFps ? Fps.Value() : -1;
    if (fps == ShownFps && rects.Additions() == beforePicture && CursorAtRest() &&
        !Display->PrimaryLost() && !Display->OwesFrame())
        return;
    const bool fpsDrawn = ShowFps && DrawFpsBox(target);
    if (ShowFps) rects.UnionRect(ZRRect{kFpsX, 0, 1280, kFpsH});
    const bool cursor = DrawCursor(target, yoff);
    if (cursor)
        rects.UnionRect(
            ZRRect{CursorX, CursorY + yoff, CursorX + kCursorSize, CursorY + yoff + kCursorSize});
    const int displayY = DisplayKind == 1 ? PictureOffsetY : 0;
    rects.IntersectRect(ZRRect{0, 0, 1280, ConvertBits ? 720 : Display->Height()});
    // A window shows the conversion bitmap's rectangles straight from it when nothing is
    // taken off it after presenting (no cursor, no frame-rate box): the copy into the
    // draw surface waits until something presents the draw surface itself. A movie
    // playing in a panel is such a frame, thirty times a second. The presenter reads the
    // rectangles once the render lets go of the bitmap.
    if (ConvertBits && DisplayKind == kDisplayWindow && !ShowFps && CursorType.load() < 0 &&
        !rects.IsRectEmpty() && Display->ShowModifyRect(ConvertBits, rects)) {
        DrawSurfaceBehind.UnionRectSet(rects);
        ShownFps = fps;
        return;
    }
    CatchUpDrawSurface();
    bool copied = true;
    if (ConvertBits && !rects.IsRectEmpty()) {
        TNyRGBBits* surface = Display->DrawSurface();
        const TNyBitsLock lock(surface);
        copied = lock.Held();
        if (copied)
            for (const ZRRect& r : rects)
                copied = surface->ConvertCopy(r.left, r.top + displayY, ConvertBits, r.left, r.top,
                                              r.right - r.left, r.bottom - r.top) &&
                         copied;
        if (!copied) DrawSurfaceBehind.UnionRectSet(rects);
    }
    ZRRectSet shown = rects;
    shown.OffsetRect(0, displayY - yoff);
    // Where the changed rectangles did not reach the draw surface it holds an older picture:
    // that is not presented, and the next frame step renders whole again.
    if (!copied) {
        FullRenderPending.store(true);
    } else if (MayPresent(&shown)) {
        Display->FlipModifyRect(shown);
        ShownFps = fps;
    }
    TakeAway(target, yoff, cursor, fpsDrawn);
}

void TGameForm::DrawMovie() {
    Fps.Count();
    CatchUpDrawSurface();
    // The frame step runs this at the timer's rate, several times a movie picture: a step
    // presents when it drew a new picture, or when the screen lost or never got the one it
    // shows (the draw surface still holds it), else it would present the same frame again.
    const bool drawn =
        !OnMovieDraw.IsSet() ||
        OnMovieDraw.Call(Display->DrawSurface(), DisplayKind == 1 ? PictureOffsetY : 0);
    if ((drawn || Display->PrimaryLost() || Display->OwesFrame()) && MayPresent(nullptr)) {
        if (DisplayKind == 1) ClearBorders();
        Display->Flip();
        ShownFps = -1;
    }
}
