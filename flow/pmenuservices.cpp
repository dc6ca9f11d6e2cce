// The menus' services through the game window.
#include "flow/pmenuservices.h"

#include "game/gamef.h"
#include "game/maint.h"

bool MenuServices::PlayBGM(int32_t track, bool loop, bool fade) {
    return GameForm && GameForm->PlayBGM(track, loop, fade);
}
void MenuServices::StopBGM(bool fade) {
    if (GameForm) GameForm->StopBGM(fade);
}
bool MenuServices::IsBGMPlaying() { return GameForm && GameForm->IsBGMPlaying(); }
int32_t MenuServices::GetBGMTrack() { return GameForm ? GameForm->GetBGMTrack() : 0; }
void MenuServices::PlaySysSE(int32_t n) {
    if (GameForm) GameForm->PlaySysSE(n);
}
void MenuServices::EndWait(int32_t result) { ::EndWait(result); }

MenuServices* MenuServices::Window() {
    static MenuServices services;
    return &services;
}
