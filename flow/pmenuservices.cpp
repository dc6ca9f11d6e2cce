// The menus' services through the game window.
#include "flow/pmenuservices.h"

#include "flow/menucommon.h"
#include "game/gamef.h"
#include "foundation/zrmemman.h"
#include "game/gamedef.h"
#include "game/maint.h"
#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbpanel.h"

bool MenuServices::PlayBGM(int32_t track, bool loop, bool fade) {
    return GameForm && GameForm->PlayBGM(track, loop, fade);
}
void MenuServices::StopBGM(bool fade) {
    if (GameForm) GameForm->StopBGM(fade);
}
bool MenuServices::IsBGMPlaying() { return GameForm && GameForm->IsBGMPlaying(); }
int32_t MenuServices::GetBGMTrack() { return GameForm ? GameForm->GetBGMTrack() : 0; }
void MenuServices::PlaySysSE(int32_t n) { menu::PlaySound(n); }
void MenuServices::EndWait(int32_t result) { ::EndWait(result); }
void MenuServices::SetCursorType(int32_t row) {
    if (GameForm) GameForm->SetCursorType(row);
}

namespace {

// A working picture of the screen's size, made through the memory manager because the window
// frees the transition's pictures through it.
TNyRGBBits* ScreenBits() {
    TNyRGBBits* b = MemMan ? MemMan->Create<TNyRGBBits>() : nullptr;
    if (!b) return nullptr;
    b->SetBitDepth(WorkBitDepth);
    b->SetPixFormat(WorkBitDepth == bd32 ? pf32_888 : pf24_888);
    if (!b->Resize(1280, 720) || !b->Create()) MemMan->Delete(b);
    return b;
}

}  // namespace

bool MenuServices::StartPanelTransition() {
    if (!GameForm) return false;
    TNyRGBBits* from = ScreenBits();
    TNyRGBBits* to = ScreenBits();
    if (from) GameForm->CaptureScreen(from);
    if (to) GameForm->DrawPanelsTo(to);
    // The window keeps the pair from here on, started or not.
    if (!from || !to || !GameForm->StartTransition(0, from, to)) {
        if (!GameForm->TransitionFrom && from) MemMan->Delete(from);
        if (!GameForm->TransitionTo && to) MemMan->Delete(to);
        return false;
    }
    GameForm->SetOnDraw(ZRBaseCallback2<void, TNyRGBBits*, int>(this, &MenuServices::DrawFull));
    GameForm->SetOnDrawModified(
        ZRBaseCallback3<void, TNyRGBBits*, int, ZRRectSet*>(this, &MenuServices::DrawModified));
    GameForm->ResetFrameClock();
    return true;
}

bool MenuServices::AdvancePanelTransition(int32_t ticks) {
    if (!GameForm) return false;
    if (!GameForm->IsTransitionIdle()) GameForm->AdvanceTransition(ticks);
    return !GameForm->IsTransitionIdle();
}

void MenuServices::EndPanelTransition() {
    if (!GameForm) return;
    GameForm->SetOnDraw(ZRBaseCallback2<void, TNyRGBBits*, int>());
    GameForm->SetOnDrawModified(ZRBaseCallback3<void, TNyRGBBits*, int, ZRRectSet*>());
    GameForm->StopTransition();
    // The grid or the picture is drawn whole on the next frame.
    GameForm->RootPanel->SetModify();
}

void MenuServices::DrawFull(TNyRGBBits* target, int yoff) {
    if (GameForm) GameForm->DrawTransition(target, yoff, nullptr);
}

void MenuServices::DrawModified(TNyRGBBits* target, int yoff, ZRRectSet* dirty) {
    if (GameForm) GameForm->DrawTransition(target, yoff, dirty);
}

MenuServices* MenuServices::Window() {
    static MenuServices services;
    return &services;
}
