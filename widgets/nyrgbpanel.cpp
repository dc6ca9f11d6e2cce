// The panel's life cycle, its place in the tree, the active chain and its property setters.
#include "widgets/nyrgbpanel.h"

#include <algorithm>

#include "widgets/nyrgbbits.h"

TNyRGBPanel::TNyRGBPanel(plat::TComponent* owner) : plat::TComponent(owner) {}

TNyRGBPanel::TNyRGBPanel(plat::TComponent* owner, TNyRGBPanel* parent) : TNyRGBPanel(owner) {
    FParent = parent;
    if (parent) parent->AddChild(this);
}

TNyRGBPanel::~TNyRGBPanel() {
    if (FVisible) Hide();
    if (FCreated) Release();
    if (FParent) {
        FParent->DelChild(this);
        FParent = nullptr;
        StatusClear();
    }
    // The children are not ours to destroy; their owner does that.
    while (!FChildren.empty()) FChildren.back()->SetParent(nullptr);
}

void TNyRGBPanel::CallOnClick() {
    if (OnClick) OnClick(this);
}
void TNyRGBPanel::CallOnCreate() {
    if (OnCreate) OnCreate(this);
}
void TNyRGBPanel::CallOnRelease() {
    if (OnRelease) OnRelease(this);
}
void TNyRGBPanel::CallOnShow() {
    if (OnShow) OnShow(this);
}
void TNyRGBPanel::CallOnHide() {
    if (OnHide) OnHide(this);
}
void TNyRGBPanel::CallOnMouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}
void TNyRGBPanel::CallOnMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}
void TNyRGBPanel::CallOnMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}
void TNyRGBPanel::CallOnMouseEnter() {
    if (OnMouseEnter) OnMouseEnter(this);
}
void TNyRGBPanel::CallOnMouseLeave() {
    if (OnMouseLeave) OnMouseLeave(this);
}
void TNyRGBPanel::CallOnMouseWheel(TShiftState shift, int delta, const TPoint& pos,
                                   bool& handled) {
    if (OnMouseWheel) OnMouseWheel(this, shift, delta, pos, handled);
}
void TNyRGBPanel::CallOnKeyDown(uint16_t& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
}
void TNyRGBPanel::CallOnKeyUp(uint16_t& key, TShiftState shift) {
    if (OnKeyUp) OnKeyUp(this, key, shift);
}
void TNyRGBPanel::CallOnKeyPress(char& key) {
    if (OnKeyPress) OnKeyPress(this, key);
}
void TNyRGBPanel::CallOnChange() {
    if (OnChange) OnChange(this);
}
void TNyRGBPanel::CallOnActivate() {
    if (OnActivate) OnActivate(this);
}
void TNyRGBPanel::CallOnDeactivate() {
    if (OnDeactivate) OnDeactivate(this);
}
void TNyRGBPanel::CallOnAnime() {
    if (OnAnime) OnAnime(this);
}
bool TNyRGBPanel::CallOnDraw(TNyRGBBits* dest, int x, int y, int sx, int sy, int dx, int dy) {
    return OnDraw ? OnDraw(this, dest, x, y, sx, sy, dx, dy) : false;
}

void TNyRGBPanel::StatusClear() {
    FHover = nullptr;
    FCapture = nullptr;
    FPressed = false;
    FModified.SetRectEmpty();
    FModified.UnionRect(ClientRect());
    for (TNyRGBPanel* c : FChildren) c->StatusClear();
}

bool TNyRGBPanel::Create() {
    if (FCreated) return true;
    FCreated = true;
    try {
        CallOnCreate();
        if (FVisible) CallOnShow();
        SetModify();
        if (!InBulk()) RecalcActive();
    } catch (...) {
        SetCreated(false);
    }
    FHover = nullptr;
    return FCreated;
}

void TNyRGBPanel::Release() {
    if (!FCreated) return;
    DropCaptureInSubtree();
    FCreated = false;
    if (FVisible) CallOnHide();
    CallOnRelease();
    if (FParent) SetModifyToParent();
    if (!InBulk()) RecalcActive();
    StatusClear();
}

void TNyRGBPanel::SetCreated(bool created) {
    if (created == FCreated) return;
    if (created) {
        Create();
    } else {
        Release();
    }
}

bool TNyRGBPanel::AllCreate() {
    FBulk = true;
    bool ok = Create();
    // A handler may rearrange the children; walk a copy.
    const std::vector<TNyRGBPanel*> children = FChildren;
    for (TNyRGBPanel* c : children) {
        try {
            if (!c->AllCreate()) ok = false;
        } catch (...) {
            ok = false;
        }
    }
    FBulk = false;
    if (!InBulk()) RecalcActive();
    return ok;
}

void TNyRGBPanel::AllRelease() {
    FBulk = true;
    const std::vector<TNyRGBPanel*> children = FChildren;
    for (TNyRGBPanel* c : children) {
        try {
            c->AllRelease();
        } catch (...) {
        }
    }
    Release();
    FBulk = false;
    if (!InBulk()) RecalcActive();
}

bool TNyRGBPanel::Show() {
    if (FVisible) return true;
    FVisible = true;
    if (FCreated) {
        CallOnShow();
        SetModify();
    }
    return true;
}

void TNyRGBPanel::Hide() {
    if (!FVisible) return;
    DropCaptureInSubtree();
    FVisible = false;
    if (FCreated) {
        CallOnHide();
        if (FParent) SetModifyToParent();
    }
    StatusClear();
}

void TNyRGBPanel::SetVisible(bool visible) {
    if (visible == FVisible) return;
    if (visible) {
        Show();
    } else {
        Hide();
    }
}

void TNyRGBPanel::Anime() {
    if (!FCreated) return;
    const std::vector<TNyRGBPanel*> children = FChildren;
    for (TNyRGBPanel* c : children) c->Anime();
    CallOnAnime();
}

void TNyRGBPanel::SetParent(TNyRGBPanel* parent) {
    if (FParent) {
        FParent->DelChild(this);
        SetModifyToParent();
        if (FHover) FHover->MouseLeave();
        FParent = nullptr;
        StatusClear();
        SetActive();
    }
    if (parent && parent->SearchPanelToParent(this)) {
        FHover = nullptr;
        return;
    }
    FParent = parent;
    if (parent) {
        parent->AddChild(this);
        SetModify();
    }
    FHover = nullptr;
}

void TNyRGBPanel::AddChild(TNyRGBPanel* child) {
    FChildren.push_back(child);
    SetActiveToChild();
    child->SetMouseCapToChild(FCapture);
}

void TNyRGBPanel::DelChild(TNyRGBPanel* child) {
    auto it = std::find(FChildren.begin(), FChildren.end(), child);
    if (it == FChildren.end()) return;
    FChildren.erase(it);
    if (FHover == child) FHover = nullptr;
    if (FCapture && FCapture->SearchPanelToParent(child)) SetMouseCapToParent(nullptr);
    SetActiveToChild();
}

TNyRGBPanel* TNyRGBPanel::GetChild(int i) const {
    if (i < 0 || i >= GetChildCount()) return nullptr;
    return FChildren[static_cast<size_t>(i)];
}

bool TNyRGBPanel::SearchPanelToParent(TNyRGBPanel* target) const {
    for (const TNyRGBPanel* p = this; p; p = p->FParent)
        if (p == target) return true;
    return false;
}

void TNyRGBPanel::RaiseOrder(TNyRGBPanel* child, TNyRGBPanel* ref) {
    auto it = std::find(FChildren.begin(), FChildren.end(), child);
    if (it == FChildren.end() || ref == child) return;
    FChildren.erase(it);
    auto at = std::find(FChildren.begin(), FChildren.end(), ref);
    FChildren.insert(at == FChildren.end() ? at : at + 1, child);
    SetActiveToChild();
}

void TNyRGBPanel::DownOrder(TNyRGBPanel* child, TNyRGBPanel* ref) {
    auto it = std::find(FChildren.begin(), FChildren.end(), child);
    if (it == FChildren.end() || ref == child) return;
    FChildren.erase(it);
    auto at = std::find(FChildren.begin(), FChildren.end(), ref);
    FChildren.insert(at == FChildren.end() ? FChildren.begin() : at, child);
    SetActiveToChild();
}

TNyRGBPanel* TNyRGBPanel::Root() {
    TNyRGBPanel* p = this;
    while (p->FParent) p = p->FParent;
    return p;
}

bool TNyRGBPanel::InBulk() const {
    for (const TNyRGBPanel* p = this; p; p = p->FParent)
        if (p->FBulk) return true;
    return false;
}

TNyRGBPanel* TNyRGBPanel::GetActivePanel() const {
    for (auto it = FChildren.rbegin(); it != FChildren.rend(); ++it)
        if ((*it)->Drawable()) return *it;
    return nullptr;
}

void TNyRGBPanel::RecalcActive() { Root()->SetActiveToChild(); }

void TNyRGBPanel::SetActiveToChild() {
    if (!FCreated) return;
    TNyRGBPanel* active = GetActivePanel();
    const std::vector<TNyRGBPanel*> children = FChildren;
    for (TNyRGBPanel* c : children)
        if (c != active) c->TellActive(false);
    if (active) active->TellActive(FActive);
}

void TNyRGBPanel::TellActive(bool active) {
    if (!Drawable()) return;
    const bool changed = FActive != active;
    FActive = active;
    SetActiveToChild();
    if (!changed) return;
    if (active) {
        CallOnActivate();
    } else {
        CallOnDeactivate();
    }
}

void TNyRGBPanel::SetActive() {
    if (FParent) {
        for (TNyRGBPanel* p = this; p->FParent; p = p->FParent) {
            auto& list = p->FParent->FChildren;
            list.erase(std::find(list.begin(), list.end(), p));
            list.push_back(p);
        }
        RecalcActive();
        return;
    }
    if (!Drawable() || FActive) return;
    FActive = true;
    SetActiveToChild();
    CallOnActivate();
}

void TNyRGBPanel::ClientToScreen(int& x, int& y) const {
    for (const TNyRGBPanel* p = this; p; p = p->FParent) {
        x += p->FOffsetX;
        y += p->FOffsetY;
    }
}

void TNyRGBPanel::ScreenToClient(int& x, int& y) const {
    for (const TNyRGBPanel* p = this; p; p = p->FParent) {
        x -= p->FOffsetX;
        y -= p->FOffsetY;
    }
}

void TNyRGBPanel::SizeFromImage() {
    if (!FImage || !FImage->Created()) return;
    SetSizeX(FImage->Width());
    SetSizeY(FImage->Height() / FNumBlock);
}

void TNyRGBPanel::SetImage(TNyRGBBits* image) {
    if (image == FImage) return;
    FImage = image;
    if (FAutoSize) SizeFromImage();
    SetModify();
}

void TNyRGBPanel::SetAlpha(TNyAlpha* alpha) {
    if (alpha == FAlpha) return;
    FAlpha = alpha;
    SetModify();
}

void TNyRGBPanel::SetColorKey(ZRRGB key) {
    if (key.ToDWORD() == FColorKey.ToDWORD()) return;
    FColorKey = key;
    SetModify();
}

void TNyRGBPanel::SetMaskMode(TMaskMode mode) {
    if (mode == FMaskMode) return;
    FMaskMode = mode;
    SetModify();
}

void TNyRGBPanel::SetOffsetX(int x) {
    if (x == FOffsetX) return;
    if (FParent) SetModifyToParent();
    FOffsetX = x;
    SetModify();
}

void TNyRGBPanel::SetOffsetY(int y) {
    if (y == FOffsetY) return;
    if (FParent) SetModifyToParent();
    FOffsetY = y;
    SetModify();
}

void TNyRGBPanel::SetSizeX(int x) {
    if (x == FSizeX) return;
    if (FParent) SetModifyToParent();
    FSizeX = x;
    SetModify();
}

void TNyRGBPanel::SetSizeY(int y) {
    if (y == FSizeY) return;
    if (FParent) SetModifyToParent();
    FSizeY = y;
    SetModify();
}

void TNyRGBPanel::SetNumBlock(int n) {
    if (n <= 0 || n == FNumBlock) return;
    FNumBlock = n;
    if (FBlockIndex >= n) FBlockIndex = n - 1;
    SetModify();
}

void TNyRGBPanel::SetBlockIndex(int i) {
    // Drawing and hit testing read the block above the picture for a negative index.
    if (i < 0 || i >= FNumBlock || i == FBlockIndex) return;
    FBlockIndex = i;
    SetModify();
}

void TNyRGBPanel::SetAutoSize(bool on) {
    if (on == FAutoSize) return;
    FAutoSize = on;
    if (on) SizeFromImage();
}
