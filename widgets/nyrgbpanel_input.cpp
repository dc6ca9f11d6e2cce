// Mouse and key routing through the panel tree: the pointer goes to the front-most panel under
// it that wants it (transparent picture pixels may let it through), a pressed panel holds the
// capture until the button comes up, and keys travel down the chain of front-most panels.
#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbpanel.h"

void TNyRGBPanel::DropCaptureInSubtree() {
    if (FCapture && FCapture->SearchPanelToParent(this)) SetMouseCapToParent(nullptr);
}

bool TNyRGBPanel::PosIsTrans(int x, int y) const {
    if (!FMouseTrans) return false;
    if (!FImage) return true;
    const int blockY = FImage->Height() / FNumBlock * FBlockIndex;
    switch (FMaskMode) {
        case 1:
        case 3:
            return FAlpha && FAlpha->PGet(x, y + blockY) == 0;
        case 2:
            return FImage->PixeltoTNyRGB(FImage->PGet(x, y + blockY)).ToDWORD() ==
                   FColorKey.ToDWORD();
        default:
            return false;
    }
}

bool TNyRGBPanel::PosInPanel(int x, int y, bool deep) const {
    if (!Drawable()) return false;
    if (deep && !FMouseControl) return false;
    if (!ClientRect().InRect(x, y)) return false;
    if (!deep || !PosIsTrans(x, y)) return true;
    return FindPosPanel(x, y, true) != nullptr;
}

TNyRGBPanel* TNyRGBPanel::FindPosPanel(int x, int y, bool deep) const {
    for (auto it = FChildren.rbegin(); it != FChildren.rend(); ++it) {
        TNyRGBPanel* c = *it;
        if (c->PosInPanel(x - c->FOffsetX, y - c->FOffsetY, deep)) return c;
    }
    return nullptr;
}

void TNyRGBPanel::SetMouseCapToParent(TNyRGBPanel* p) { Root()->SetMouseCapToChild(p); }

void TNyRGBPanel::SetMouseCapToChild(TNyRGBPanel* p) {
    if (this != p) FPressed = false;
    FCapture = p;
    for (TNyRGBPanel* c : FChildren) c->SetMouseCapToChild(p);
}

bool TNyRGBPanel::MouseMove(TShiftState shift, int x, int y) {
    if (!Drawable()) return false;
    if (FCapture == this) {
        if (!FMouseControl) return false;
        CallOnMouseMove(shift, x, y);
        return true;
    }
    if (FCapture) {
        ClientToScreen(x, y);
        FCapture->ScreenToClient(x, y);
        return FCapture->MouseMove(shift, x, y);
    }
    TNyRGBPanel* hit = FindPosPanel(x, y, true);
    if (hit != FHover) {
        if (FHover) FHover->MouseLeave();
        FHover = hit;
        if (hit) hit->MouseEnter(x - hit->FOffsetX, y - hit->FOffsetY);
    }
    bool handled = hit && hit->MouseMove(shift, x - hit->FOffsetX, y - hit->FOffsetY);
    if (!handled && FMouseControl) {
        CallOnMouseMove(shift, x, y);
        handled = true;
    }
    return handled;
}

void TNyRGBPanel::MouseEnter(int x, int y) {
    if (!Drawable() || FCapture) return;
    if (FMouseControl) CallOnMouseEnter();
    TNyRGBPanel* hit = FindPosPanel(x, y, true);
    if (hit && hit != FHover) {
        FHover = hit;
        if (hit->FMouseControl) hit->MouseEnter(x - hit->FOffsetX, y - hit->FOffsetY);
    }
}

void TNyRGBPanel::MouseLeave() {
    if (!Drawable() || FCapture) return;
    if (FMouseControl) CallOnMouseLeave();
    if (FHover) {
        TNyRGBPanel* hover = FHover;
        FHover = nullptr;
        if (hover->FMouseControl) hover->MouseLeave();
    }
}

bool TNyRGBPanel::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (!Drawable()) return false;
    const std::vector<TNyRGBPanel*> children = FChildren;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        TNyRGBPanel* c = *it;
        if (c->Drawable() && c->AreaInParent().InRect(x, y) &&
            c->MouseDown(button, shift, x - c->FOffsetX, y - c->FOffsetY))
            return true;
    }
    if (!FMouseControl || PosIsTrans(x, y)) return false;
    if (button == mbLeft) FPressed = true;
    SetMouseCapToParent(this);
    CallOnMouseDown(button, shift, x, y);
    return true;
}

bool TNyRGBPanel::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (FCapture && FCapture != this) {
        TNyRGBPanel* captured = FCapture;
        if (!captured->FCreated) {
            SetMouseCapToParent(nullptr);
            return false;
        }
        int cx = x, cy = y;
        ClientToScreen(cx, cy);
        captured->ScreenToClient(cx, cy);
        const bool result = captured->MouseUp(button, shift, cx, cy);
        // The capture is gone: the move rebuilds the hover state.
        if (Drawable()) MouseMove(shift, x, y);
        return result;
    }
    if (FCapture == this) {
        const bool wasPressed = FPressed;
        FPressed = false;
        SetMouseCapToParent(nullptr);
        if (!Drawable() || !FMouseControl) return false;
        CallOnMouseUp(button, shift, x, y);
        if (wasPressed && ClientRect().InRect(x, y)) CallOnClick();
        return true;
    }
    // Hidden and released panels pass nothing on to their children either.
    if (!Drawable()) return false;
    const std::vector<TNyRGBPanel*> children = FChildren;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        TNyRGBPanel* c = *it;
        if (c->Drawable() && c->AreaInParent().InRect(x, y) &&
            c->MouseUp(button, shift, x - c->FOffsetX, y - c->FOffsetY))
            return true;
    }
    const bool wasPressed = FPressed;
    FPressed = false;
    if (!FMouseControl || PosIsTrans(x, y)) return false;
    CallOnMouseUp(button, shift, x, y);
    if (wasPressed && ClientRect().InRect(x, y)) CallOnClick();
    return true;
}

void TNyRGBPanel::MouseWheel(TShiftState shift, int delta, const TPoint& pos, bool& handled) {
    if (!Drawable()) return;
    const std::vector<TNyRGBPanel*> children = FChildren;
    for (auto it = children.rbegin(); it != children.rend() && !handled; ++it) {
        TNyRGBPanel* c = *it;
        if (c->Drawable())
            c->MouseWheel(shift, delta, TPoint{pos.x - c->FOffsetX, pos.y - c->FOffsetY}, handled);
    }
    if (!handled && FMouseControl) CallOnMouseWheel(shift, delta, pos, handled);
}

bool TNyRGBPanel::KeyDown(uint16_t& key, TShiftState shift) {
    TNyRGBPanel* active = GetActivePanel();
    bool handled = active && active->KeyDown(key, shift);
    if (!handled && FKeyControl) {
        CallOnKeyDown(key, shift);
        handled = true;
    }
    return handled;
}

bool TNyRGBPanel::KeyUp(uint16_t& key, TShiftState shift) {
    TNyRGBPanel* active = GetActivePanel();
    bool handled = active && active->KeyUp(key, shift);
    if (!handled && FKeyControl) {
        CallOnKeyUp(key, shift);
        handled = true;
    }
    return handled;
}

bool TNyRGBPanel::KeyPress(char& key) {
    TNyRGBPanel* active = GetActivePanel();
    bool handled = active && active->KeyPress(key);
    if (!handled && FKeyControl) {
        CallOnKeyPress(key);
        handled = true;
    }
    return handled;
}
