// Presentation: whole-frame and changed-rectangle flips, the copies they make into the
// display buffers, and the poll operations. ModifyRects[i] holds what display buffer i still
// lacks; a buffer receives exactly that backlog on its turn, and a failed copy keeps it.
#include <vector>

#include "devices/nyddraw.h"
#include "media/zrpng.h"

namespace DirectX {

namespace {

plat::DisplayRect ToDisplay(const ZRRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

bool Copied(plat::BlitResult r) {
    return r == plat::BlitResult::Ok;
}

}  // namespace

void TDDraw::RestorePrimary() {
    if (FPrimarySurface->IsLost()) {
        FPrimarySurface->Restore();
        FPrimaryLost = true;
    }
}

void TDDraw::AdvanceBuffer() {
    if (++FCurrentBuffer >= FBufferCount) FCurrentBuffer = 0;
}

void TDDraw::ClientOrigin(int& x, int& y) const {
    int32_t cx = 0, cy = 0;
    if (!FFullScreen && FConnection) FConnection->ClientOrigin(cx, cy);
    x = cx;
    y = cy;
}

void TDDraw::SetModifyRect(const ZRRect& r) {
    if (!FEnabled || FBufferCount <= 0) return;
    ZRRect clipped;
    if (!clipped.IntersectRect(r, ScreenRect())) return;
    for (int i = 0; i < FBufferCount; ++i) FModifyRects[i].UnionRect(clipped);
}

void TDDraw::Present() {
    if (FFlipChain) {
        if (FSpritesShown) SpriteDraw(FFlipSurface);
        FPrimarySurface->Surface()->Flip(!DoNotWait, !NoVSync);
    } else if (FSpritesShown) {
        SpriteDraw(FPrimarySurface);
    }
}

bool TDDraw::Flip() {
    if (!FEnabled) return false;
    RestorePrimary();
    bool copied = true;
    if (FBackType != btNone) {
        FPrimaryLost = false;
        FWindowOwesFrame = true;
        FBackSurface->IsLostAndRestore();
        const int written = FCurrentBuffer;
        if (FBufferCount > 0) {
            for (int i = 0; i < FBufferCount; ++i)
                if (i != FCurrentBuffer) FModifyRects[i].UnionRect(ScreenRect());
            FModifyRects[FCurrentBuffer].SetRectEmpty();
            AdvanceBuffer();
        }
        // A buffer that did not receive the frame still lacks all of it.
        copied = WriteDisplayFast(FBackSurface);
        if (!copied && FBufferCount > 0) FModifyRects[written].UnionRect(ScreenRect());
        FWindowOwesFrame = !copied;
    }
    Present();
    return copied;
}

bool TDDraw::OwesFrame() const {
    if (!FEnabled || FBackType == btNone) return false;
    if (FBufferCount == 0) return FWindowOwesFrame;
    // The buffer written last is the one shown; the others wait for their turn anyway.
    const int shown = (FCurrentBuffer + FBufferCount - 1) % FBufferCount;
    return !FModifyRects[shown].IsRectEmpty();
}

void TDDraw::FlipModifyRect(ZRRectSet rects) {
    if (!FEnabled) return;
    RestorePrimary();
    if (FBackType != btNone) {
        if (FPrimaryLost) {
            SetModifyRect(ScreenRect());
            FWindowOwesFrame = true;
            FPrimaryLost = false;
        }
        FBackSurface->IsLostAndRestore();
        if (FBufferCount > 0) {
            rects.IntersectRect(ScreenRect());
            for (int i = 0; i < FBufferCount; ++i) FModifyRects[i].UnionRectSet(rects);
            if (WriteDisplayModify(FBackSurface)) FModifyRects[FCurrentBuffer].SetRectEmpty();
            AdvanceBuffer();
        } else if (FWindowOwesFrame) {
            FWindowOwesFrame = !WriteDisplayFast(FBackSurface);
        } else {
            // The window's primary is ours alone (its client area), so nothing but the
            // changed rectangles can differ from the frame: copying the whole frame would
            // make every small change cost a whole present.
            rects.IntersectRect(ScreenRect());
            FWindowOwesFrame = !WriteWindowRects(FBackSurface, rects);
        }
    }
    Present();
}

bool TDDraw::ShowModifyRect(TDSurface* src, ZRRectSet rects) {
    if (!FEnabled || !src || FBackType == btNone || FBufferCount > 0 || FFlipChain || Blt4Div ||
        FSpritesShown)
        return false;
    RestorePrimary();
    if (FPrimaryLost || FWindowOwesFrame) return false;
    rects.IntersectRect(ScreenRect());
    int x, y;
    ClientOrigin(x, y);
    plat::RectList list;
    for (const ZRRect& r : rects) list.Add(ToDisplay(r));
    const plat::BlitResult shown = FPrimarySurface->Surface()->Show(x, y, *src->Surface(), list);
    if (shown == plat::BlitResult::Invalid) return false;
    // What did not reach the screen comes from the back surface with the next present.
    FWindowOwesFrame = !Copied(shown);
    return true;
}

bool TDDraw::WriteWindowRects(TDSurface* src, const ZRRectSet& rects) {
    int x, y;
    ClientOrigin(x, y);
    // The window's primary is only what the window shows: the presenter takes the rectangles
    // straight from the source, which spares copying each frame into the primary first.
    plat::RectList list;
    for (const ZRRect& r : rects) list.Add(ToDisplay(r));
    plat::DisplaySurface& primary = *FPrimarySurface->Surface();
    const plat::BlitResult shown = primary.Show(x, y, *src->Surface(), list);
    if (shown != plat::BlitResult::Invalid) return Copied(shown);
    bool result = true;
    for (const plat::DisplayRect& from : list.Rects()) {
        const plat::DisplayRect to = from.Offset(x, y);
        if (!Copied(primary.Blit(&to, *src->Surface(), &from))) result = false;
    }
    return result;
}

bool TDDraw::CopyRects(TDSurface* src, const ZRRectSet& rects) {
    plat::DisplaySurface& target = *PresentTarget()->Surface();
    bool result = true;
    for (const ZRRect& r : rects)
        if (!Copied(target.BlitFast(r.left, r.top, *src->Surface(), ToDisplay(r)))) result = false;
    return result;
}

bool TDDraw::WriteDisplayModify(TDSurface* src) {
    if (Blt4Div) return WriteDisplayModify4Div(src);
    if (FBufferCount == 0) return WriteDisplayFast(src);
    RestorePrimary();
    if (FModifyRects[FCurrentBuffer].IsRectEmpty()) return true;
    ZRRectSet copy = FModifyRects[FCurrentBuffer];
    copy.IntersectRect(ScreenRect());
    return CopyRects(src, copy);
}

bool TDDraw::WriteDisplayModify4Div(TDSurface* src) {
    if (FBufferCount == 0) return WriteDisplayFast4Div(src);
    bool result = true;
    for (int k = 0; k < 4; ++k) {
        if (FPrimarySurface->IsLost()) return false;
        if (FModifyRects[FCurrentBuffer].IsRectEmpty()) continue;
        ZRRectSet copy = FModifyRects[FCurrentBuffer];
        if (copy.IntersectRect(ZRRect{0, k * FHeight / 4, FWidth, (k + 1) * FHeight / 4}) &&
            !CopyRects(src, copy))
            result = false;
    }
    return result;
}

bool TDDraw::WriteDisplayFast(TDSurface* src) {
    if (Blt4Div) return WriteDisplayFast4Div(src);
    RestorePrimary();
    const plat::DisplayRect screen = ToDisplay(ScreenRect());
    if (FBufferCount > 0)
        return Copied(PresentTarget()->Surface()->BlitFast(0, 0, *src->Surface(), screen));
    ZRRectSet whole;
    whole.UnionRect(ScreenRect());
    return WriteWindowRects(src, whole);
}

bool TDDraw::WriteDisplayFast4Div(TDSurface* src) {
    int x, y;
    ClientOrigin(x, y);
    for (int k = 0; k < 4; ++k) {
        if (FPrimarySurface->IsLost()) return false;
        const plat::DisplayRect strip{0, k * FHeight / 4, FWidth, (k + 1) * FHeight / 4};
        plat::BlitResult r;
        if (FBufferCount > 0) {
            r = PresentTarget()->Surface()->BlitFast(0, strip.top, *src->Surface(), strip);
        } else {
            const plat::DisplayRect dest = strip.Offset(x, y);
            r = FPrimarySurface->Surface()->Blit(&dest, *src->Surface(), &strip);
        }
        if (!Copied(r)) return false;
    }
    return true;
}

bool TDDraw::WriteDisplay(TDSurface* src) {
    RestorePrimary();
    const plat::DisplayRect screen = ToDisplay(ScreenRect());
    int x = 0, y = 0;
    if (FBufferCount == 0) ClientOrigin(x, y);
    const plat::DisplayRect dest = screen.Offset(x, y);
    return Copied(PresentTarget()->Surface()->Blit(&dest, *src->Surface(), &screen));
}

void TDDraw::Write(TDSurface* src) {
    if (!FEnabled || !src) return;
    if (FBackSurface) {
        FBackSurface->IsLostAndRestore();
        const plat::DisplayRect screen = ToDisplay(ScreenRect());
        FBackSurface->Surface()->Blit(&screen, *src->Surface(), &screen);
    } else {
        WriteDisplay(src);
    }
}

bool TDDraw::DrawPrimary(int x, int y, TDSurface* src, int sx, int sy, int w, int h) {
    if (!FEnabled || !src || !src->Created()) return false;
    RestorePrimary();
    int ox, oy;
    ClientOrigin(ox, oy);
    const plat::DisplayRect from{sx, sy, sx + w, sy + h};
    const plat::DisplayRect to{x + ox, y + oy, x + ox + w, y + oy + h};
    FPrimarySurface->Surface()->Blit(&to, *src->Surface(), &from);
    return true;
}

bool TDDraw::CanFlip() {
    if (!FEnabled) return false;
    if (!FFlipChain) return true;
    RestorePrimary();
    return FPrimarySurface->Surface()->CanFlip();
}

bool TDDraw::CanDraw() {
    if (!FEnabled) return false;
    RestorePrimary();
    if (FBackType != btNone) FBackSurface->IsLostAndRestore();
    return FDrawSurface->Surface()->BlitDone();
}

bool TDDraw::DumpFrame(ZRStream* png) {
    if (!FEnabled || !png) return false;
    std::vector<uint32_t> pixels;
    int32_t w = 0, h = 0;
    if (!FConnection->ReadScreen(pixels, w, h)) return false;
    return SavePng(png, reinterpret_cast<const unsigned char*>(pixels.data()), w, h, pf32_888);
}

}  // namespace DirectX
