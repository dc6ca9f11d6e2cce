// The button's choice of run, its stepping through the run and its mouse hooks.
#include "widgets/nyrgbbtn.h"

TNyRGBBtn::TNyRGBBtn(plat::TComponent* owner) : TNyRGBPanel(owner) {
    SetSizeX(98);
    SetSizeY(31);
}

TNyRGBBtn::TNyRGBBtn(plat::TComponent* owner, TNyRGBPanel* parent)
    : TNyRGBPanel(owner, parent) {}

void TNyRGBBtn::SetEnabled(bool on) {
    if (on == FEnabled) return;
    FEnabled = on;
    ChangeState();
}

void TNyRGBBtn::SetSelected(bool on) {
    if (on == FSelected) return;
    FSelected = on;
    ChangeState();
}

void TNyRGBBtn::SetPat(int& field, int n, int least) {
    if (n < least || n == field) return;
    field = n;
    SetNumBlock(FPatNormal + FPatFocus + FPatSelected + FPatDown + FPatDisable);
    ChangeState();
}

void TNyRGBBtn::SetPatNormal(int n) { SetPat(FPatNormal, n, 1); }
void TNyRGBBtn::SetPatFocus(int n) { SetPat(FPatFocus, n, 0); }
void TNyRGBBtn::SetPatSelected(int n) { SetPat(FPatSelected, n, 0); }
void TNyRGBBtn::SetPatDown(int n) { SetPat(FPatDown, n, 0); }
void TNyRGBBtn::SetPatDisable(int n) { SetPat(FPatDisable, n, 0); }

void TNyRGBBtn::SetAnimeWait(int n) {
    if (n >= 0) FAnimeWait = n;
}

void TNyRGBBtn::SetAutoFocus(bool on) {
    FAutoFocus = on;
    FFocus = false;
    if (FPatFocus > 0) ChangeState();
}

void TNyRGBBtn::SetFocus(bool on) {
    if (FAutoFocus) return;
    FFocus = on;
    if (FPatFocus > 0) ChangeState();
}

void TNyRGBBtn::SetAnimeType(TBtnAnimeType type) {
    if (type == FAnimeType) return;
    FAnimeType = type;
    if (type == batWraparound) FForward = true;
}

TNyRGBBtn::Run TNyRGBBtn::CurrentRun() const {
    const int n = FPatNormal, f = FPatFocus, s = FPatSelected, d = FPatDown, x = FPatDisable;
    const bool down = GetPressed() || FSelected;
    if (!FEnabled && x > 0) return {n + f + s + d, n + f + s + d + x};
    if (FSelected && s > 0) return {n + f, n + f + s};
    if (down && d > 0) return {n + f + s, n + f + s + d};
    if (FFocus && f > 0) return {n, n + f};
    return {0, n};
}

void TNyRGBBtn::ChangeState() {
    SetBlockIndex(CurrentRun().start);
    FTick = 0;
}

void TNyRGBBtn::CallOnClick() {
    if (FEnabled) TNyRGBPanel::CallOnClick();
}

void TNyRGBBtn::CallOnMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (FPatDown > 0) ChangeState();
    TNyRGBPanel::CallOnMouseDown(button, shift, x, y);
}

void TNyRGBBtn::CallOnMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (FPatDown > 0) ChangeState();
    TNyRGBPanel::CallOnMouseUp(button, shift, x, y);
}

void TNyRGBBtn::CallOnMouseEnter() {
    if (FAutoFocus) {
        FFocus = true;
        if (FPatFocus > 0) ChangeState();
    }
    TNyRGBPanel::CallOnMouseEnter();
}

void TNyRGBBtn::CallOnMouseLeave() {
    if (FAutoFocus) {
        FFocus = false;
        if (FPatFocus > 0) ChangeState();
    }
    TNyRGBPanel::CallOnMouseLeave();
}

void TNyRGBBtn::CallOnAnime() {
    if (!GetVisible()) return;
    if (++FTick >= FAnimeWait) {
        FTick = 0;
        const Run run = CurrentRun();
        const int cur = GetBlockIndex();
        int next;
        if (FForward) {
            next = cur + 1;
            if (next >= run.end) {
                if (FAnimeType == batRoundtrip) {
                    FForward = false;
                    next = run.end - 2;
                } else {
                    next = run.start;
                }
            }
        } else {
            next = cur - 1;
            if (next < run.start) {
                FForward = true;
                next = run.start + 1;
            }
        }
        if (next < run.start) next = run.start;
        if (next >= run.end) next = run.end - 1;
        if (next != GetBlockIndex()) SetBlockIndex(next);
    }
    TNyRGBPanel::CallOnAnime();
}

void TNyRGBBtn::StatusClear() {
    if (FAutoFocus) FFocus = false;
    TNyRGBPanel::StatusClear();
}
