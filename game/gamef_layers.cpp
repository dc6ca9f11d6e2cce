// Layers under the root panel, the mode entries of the scenes, capturing the picture on
// screen, and the window's control of its transition effect.
#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/maint.h"

void TGameForm::AttachLayer(TNyRGBPanel* layer) {
    const ZRSectionHold logic(LogicLock);
    layer->SetParent(RootPanel);
}

void TGameForm::DetachLayer(TNyRGBPanel* layer) {
    const ZRSectionHold logic(LogicLock);
    layer->SetParent(nullptr);
}

void TGameForm::SetRootVisible(bool visible) {
    if (RootPanel) RootPanel->SetVisible(visible);
}

void TGameForm::RefreshMouseEnter() {
    if (GetScreenMode() == smMenu || !RootPanel) return;
    RootPanel->StatusClear();
    TPoint p;
    GetMousePos(p);
    RootPanel->MouseEnter(p.x, p.y);
}

void TGameForm::BeginBattleMode() {
    const bool already = GetScreenMode() == smBattle;
    BeginMode(smBattle);
    if (!already) RenderFull();
}

void TGameForm::BeginAvgMode() {
    const bool already = GetScreenMode() == smAdventure;
    BeginMode(smAdventure);
    if (!already) RenderFull();
}

void TGameForm::BeginMovieMode() {
    const bool already = GetScreenMode() == smMovie;
    BeginMode(smMovie);
    if (!already) RenderMovie();
}

bool TGameForm::BeginTransitionMode(int32_t kind, TNyRGBBits* from, int32_t speed, TNyRGBBits* to) {
    const ZRSectionHold logic(LogicLock);
    SetScreenMode(smTransition);
    if (!StartTransitionEx(kind, from, speed, to)) {
        SetScreenMode(smStarted);
        return false;
    }
    ResetFrameClock();
    RenderFull();
    return true;
}

void TGameForm::CaptureScreen(TNyRGBBits* dest) {
    const ZRSectionHold logic(LogicLock);
    const ZRSectionHold draw(DrawLock);
    // Without a display that can be drawn there is no picture to copy; a capture that kept
    // the bitmap's old contents would show a stale or uninitialised screen in the transition.
    if (!WaitCanDraw()) {
        dest->Cls();
        return;
    }
    // The conversion bitmap holds the picture at its row 0 in every display kind; only the
    // display's own surface has the picture at its row on the screen.
    DirectX::TDSurface* source = ConvertBits;
    int32_t y = 0;
    if (!source) {
        source = Display->DrawSurface();
        if (DisplayKind == 1) y = PictureOffsetY;
    }
    // A frame shown straight from the conversion bitmap may still be read by the presenter.
    const PictureHold hold(source);
    if (!source || !hold.Held() || !dest->Draw(0, 0, source, 0, y, 1280, 720)) dest->Cls();
}

void TGameForm::DrawPanelsTo(TNyRGBBits* dest) {
    const ZRSectionHold logic(LogicLock);
    RootPanel->Draw(dest, 0, 0);
}

void TGameForm::ClearBitsLocked(TNyRGBBits* bits) {
    const ZRSectionHold logic(LogicLock);
    const ZRSectionHold draw(DrawLock);
    bits->Cls();
}

bool TGameForm::StartTransition(int32_t kind, TNyRGBBits* from, TNyRGBBits* to) {
    return StartTransitionEx(kind, from, 100, to);
}

bool TGameForm::StartTransitionEx(int32_t kind, TNyRGBBits* from, int32_t speed, TNyRGBBits* to) {
    const ZRSectionHold logic(LogicLock);
    // A render begun in the wait or hold mode holds only the draw lock, and may still be
    // drawing when the mode turns to the transition: it must not see the effect half started.
    const ZRSectionHold draw(DrawLock);
    // The effect forgets the old pair before it is freed, so a refused start below cannot
    // leave it pointing at freed pictures.
    StopTransition();
    TransitionFrom = from;
    TransitionTo = to;
    return Transition.Start(static_cast<uint8_t>(kind), from, speed, to);
}

int32_t TGameForm::AdvanceTransition(int32_t ticks) {
    return Transition.Advance(ticks);
}

bool TGameForm::IsTransitionIdle() const {
    return Transition.IsIdle();
}

void TGameForm::StopTransition() {
    Transition.Stop();
    // One picture handed as both halves is freed once.
    if (TransitionTo == TransitionFrom) TransitionTo = nullptr;
    if (MemMan) {
        if (TransitionFrom) MemMan->Delete(TransitionFrom);
        if (TransitionTo) MemMan->Delete(TransitionTo);
    }
    TransitionFrom = nullptr;
    TransitionTo = nullptr;
}

void TGameForm::DrawTransition(TNyRGBBits* target, int32_t yoff, ZRRectSet* dirty) {
    Transition.Draw(target, yoff, dirty);
}

void TGameForm::PulseFrameEvent() {
    if (FrameEvent) FrameEvent->Pulse();
}
