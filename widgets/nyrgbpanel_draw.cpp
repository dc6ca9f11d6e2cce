// Dirty-rectangle bookkeeping of the panel tree and the drawing of a subtree into a bitmap.
// A change marked on one panel is recorded, in each one's own coordinates, in the panel, the
// descendants it overlaps, its ancestors and every sibling it overlaps on the way up, so that
// each panel can later say which of its areas must be repainted.
#include <algorithm>

#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbpanel.h"

namespace {

// r moved by (dx, dy) and clipped to a w x h panel.
ZRRect MovedInto(ZRRect r, int dx, int dy, int w, int h) {
    r.OffsetRect(dx, dy);
    r.IntersectRect(ZRRect{0, 0, w, h});
    return r;
}

}  // namespace

void TNyRGBPanel::SetModifyRect(ZRRect r) {
    if (!Drawable()) return;
    FModified.UnionRect(r);
    SetModifyToChild(nullptr, r);
    CallOnChange();
    SetModifyToParent(r);
}

void TNyRGBPanel::SetModify() { SetModifyRect(ClientRect()); }

void TNyRGBPanel::SetModified(bool on) {
    if (on) {
        SetModify();
    } else {
        ClrModify();
    }
}

void TNyRGBPanel::ClrModifyToChild() {
    FModified.SetRectEmpty();
    for (TNyRGBPanel* c : FChildren) c->ClrModifyToChild();
}

void TNyRGBPanel::SetModifyToParent(ZRRect r) {
    if (!FParent) return;
    const ZRRect moved = MovedInto(r, FOffsetX, FOffsetY, FParent->FSizeX, FParent->FSizeY);
    if (!moved.IsRectEmpty()) FParent->SetModifyFromChild(this, moved);
}

void TNyRGBPanel::SetModifyToParent() { SetModifyToParent(ClientRect()); }

void TNyRGBPanel::SetModifyToChild(TNyRGBPanel* except, ZRRect r) {
    // An OnChange handler may rearrange the children, or delete one, so walk a copy and pass
    // over any child that is no longer in the list: it may be gone, and must not be touched.
    const std::vector<TNyRGBPanel*> children = FChildren;
    for (TNyRGBPanel* c : children) {
        if (c == except) continue;
        if (std::find(FChildren.begin(), FChildren.end(), c) == FChildren.end()) continue;
        const ZRRect moved = MovedInto(r, -c->FOffsetX, -c->FOffsetY, c->FSizeX, c->FSizeY);
        if (!moved.IsRectEmpty()) c->SetModifyFromParent(moved);
    }
}

void TNyRGBPanel::SetModifyToChild(TNyRGBPanel* except) { SetModifyToChild(except, ClientRect()); }

void TNyRGBPanel::SetModifyFromParent(ZRRect r) {
    if (!Drawable()) return;
    FModified.UnionRect(r);
    SetModifyToChild(nullptr, r);
    CallOnChange();
}

void TNyRGBPanel::SetModifyFromChild(TNyRGBPanel* child, ZRRect r) {
    if (!Drawable()) return;
    FModified.UnionRect(r);
    SetModifyToChild(child, r);
    CallOnChange();
    SetModifyToParent(r);
}

bool TNyRGBPanel::GetModified() const {
    if (!FModified.IsRectEmpty()) return true;
    for (const TNyRGBPanel* c : FChildren)
        if (c->GetModified()) return true;
    return false;
}

void TNyRGBPanel::GetModifiedRectSet(ZRRectSet* out) const {
    if (!Drawable()) return;
    out->SetRectEmpty();
    for (const TNyRGBPanel* c : FChildren) {
        if (!c->Drawable()) continue;
        ZRRectSet part;
        c->GetModifiedRectSet(&part);
        part.OffsetRect(c->FOffsetX, c->FOffsetY);
        if (!part.IsRectEmpty()) out->UnionRectSet(part);
    }
    out->UnionRectSet(FModified);
    out->IntersectRect(ClientRect());
}

void TNyRGBPanel::GetModifiedRect(ZRRect* out) const {
    if (!Drawable()) return;
    ZRRect all{0, 0, 0, 0};
    for (const TNyRGBPanel* c : FChildren) {
        if (!c->Drawable()) continue;
        ZRRect part{0, 0, 0, 0};
        c->GetModifiedRect(&part);
        part.OffsetRect(c->FOffsetX, c->FOffsetY);
        ZRUnionRect(all, part, all);
    }
    ZRUnionRect(all, FModified.AllUnionRect(), all);
    ZRIntersectRect(all, ClientRect(), all);
    *out = all;
}

bool TNyRGBPanel::DrawPicture(TNyRGBBits* dest, int x, int y, const ZRRect& area) {
    const int blockHeight = FImage->Height() / FNumBlock;
    // Keep the copy inside the picture and inside the block shown.
    const int w = std::min(area.right - area.left, FImage->Width() - area.left);
    const int h = std::min(area.bottom - area.top, blockHeight - area.top);
    if (w <= 0 || h <= 0) return true;
    const int sx = area.left;
    const int sy = area.top + blockHeight * FBlockIndex;
    const int dx = x + area.left;
    const int dy = y + area.top;
    switch (FMaskMode) {
        case 0:
            return dest->Draw(dx, dy, FImage, sx, sy, w, h);
        case 1:
            if (FAlpha) return dest->DrawAlphaMask(dx, dy, FImage, sx, sy, w, h, FAlpha);
            if (FImage->PixFormat() == pf32_8888)
                return dest->DrawAlphaMask(dx, dy, FImage, sx, sy, w, h);
            return true;
        case 2:
            return dest->DrawKey(dx, dy, FImage, sx, sy, w, h, FColorKey);
        default:
            return true;
    }
}

bool TNyRGBPanel::Draw(TNyRGBBits* dest, int x, int y, int sx, int sy, int dx, int dy) {
    if (!Drawable()) return true;
    if (!dest) return false;
    ZRRect clip{sx, sy, sx + dx, sy + dy};
    if (!clip.IntersectRect(ClientRect())) return true;
    sx = clip.left;
    sy = clip.top;
    dx = clip.right - clip.left;
    dy = clip.bottom - clip.top;
    bool result = true;

    // Opaque children spare the parent's paint where they cover the area edge to edge.
    ZRRect area = clip;
    for (const TNyRGBPanel* c : FChildren)
        if (c->Drawable() && c->FImage && c->FMaskMode == 0) area.SubtractRect(c->AreaInParent());
    if (!area.IsRectEmpty()) {
        const bool handled = CallOnDraw(dest, x + area.left, y + area.top, area.left, area.top,
                                        area.right - area.left, area.bottom - area.top);
        if (!handled && FMaskMode != 3 && FImage && FImage->Created())
            result = DrawPicture(dest, x, y, area);
    }
    SubModify(clip);

    const std::vector<TNyRGBPanel*> children = FChildren;
    for (TNyRGBPanel* c : children) {
        if (!c->Drawable()) continue;
        if (!c->Draw(dest, x + c->FOffsetX, y + c->FOffsetY, sx - c->FOffsetX, sy - c->FOffsetY,
                     dx, dy))
            result = false;
    }
    return result;
}

bool TNyRGBPanel::Draw(TNyRGBBits* dest, int x, int y) {
    const bool result = Draw(dest, x, y, 0, 0, FSizeX, FSizeY);
    ClrModifyToChild();
    return result;
}

bool TNyRGBPanel::Update(TNyRGBBits* dest, int x, int y) {
    ZRRectSet dirty;
    GetModifiedRectSet(&dirty);
    bool result = true;
    for (const ZRRect& r : dirty)
        if (!Draw(dest, x, y, r.left, r.top, r.right - r.left, r.bottom - r.top)) result = false;
    ClrModifyToChild();
    return result;
}
