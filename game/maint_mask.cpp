// Screen changes of the logic thread through the window's transition effect: the transition
// number chooses the effect kind and its resource, the screen is captured as the picture
// left, and the thread waits in WaitFrame until the frame update ends the transition.

#include "foundation/zrmemman.h"
#include "game/gameeffect.h"
#include "game/gamef.h"
#include "game/maint.h"

namespace {

// The mask picture of each number from 13 on.
constexpr const char* kMaskFiles[17] = {
    "FadeMask00_BlindR.bmp",    "FadeMask01_BlindL.bmp",     "FadeMask02_VorelR.bmp",
    "FadeMask03_VorelL.bmp",    "FadeMask04_Circle.bmp",     "FadeMask05_CircleR.bmp",
    "FadeMask06_Clock.bmp",     "FadeMask07_Swirl.bmp",      "FadeMask08_Crystal.bmp",
    "FadeMask09_StripesB.bmp",  "FadeMask10_StripesN.bmp",   "FadeMask11_Star.bmp",
    "FadeMask12_Radiation.bmp", "FadeMask13_RadiationR.bmp", "FadeMask14_Windmill.bmp",
    "FadeMask15_Naruto.bmp",    "FadeMask16_Noise.bmp"};

// Below 11 the number is the kind; 13-29 the fine mask wipe, but 22 (whose stripes suit it)
// the coarse one; 30 and above the plain cross-fade.
int32_t KindOf(int8_t number) {
    if (number < 11) return number;
    if (number == 11 || number == 12) return number;
    if (number <= 29) return number == 22 ? 13 : 14;
    return 0;
}

void Free(TNyRGBBits*& bits) {
    if (MemMan) MemMan->Delete(bits);
}

// A kind without a routine: its first frame shows the next picture whole and ends it.
constexpr int32_t kCut = 15;

}  // namespace

void TMainThread::FadeTransition(int8_t number, TNyRGBBits* from, TNyRGBBits* to) {
    const int32_t kept = Result.load();
    const int32_t kind = KindOf(number);
    int32_t shown = kind;
    try {
        if (kind == 11)
            Form->LoadWaterTables();
        else if (kind == 12)
            Form->LoadHalo();
        else if (kind >= 13)
            Form->LoadTransitionMask(kMaskFiles[number - 13]);
    } catch (const EGameErr&) {
        // A missing or damaged resource (its loader names it) changes the screen at once, as
        // the stage and the menus do, instead of ending the game.
        shown = kCut;
    } catch (...) {
        // The pictures were never handed to the window.
        Free(from);
        Free(to);
        throw;
    }
    if (Form->BeginTransitionMode(shown, from, MaskSpeed, to)) WaitFrame();
    if (kind == 11)
        Form->FreeWaterTables();
    else if (kind == 12)
        Form->FreeHalo();
    else if (kind >= 13)
        Form->FreeTransitionMask();
    Result.store(kept);
    MaskSpeed = 100;
}

namespace {

// The captured screen and a second screen picture, or nothing (the first freed) when the
// second cannot be made.
void MakePair(TGameForm* form, TNyRGBBits*& from, TNyRGBBits*& to) {
    from = CreateScreenBits();
    form->CaptureScreen(from);
    try {
        to = CreateScreenBits();
    } catch (...) {
        Free(from);
        throw;
    }
}

}  // namespace

void TMainThread::MaskTransitionToClear(int8_t number) {
    TNyRGBBits *from, *to;
    MakePair(Form, from, to);
    Form->ClearBitsLocked(to);
    FadeTransition(number, from, to);
}

void TMainThread::MaskTransitionToBlack(int8_t number) {
    TNyRGBBits *from, *to;
    MakePair(Form, from, to);
    to->BoxFill(0, 0, 1279, 719, to->TNyRGBtoPixel(ZRRGB{0, 0, 0}));
    FadeTransition(number, from, to);
}

void TMainThread::MaskTransitionToWhite(int8_t number) {
    TNyRGBBits *from, *to;
    MakePair(Form, from, to);
    to->BoxFill(0, 0, 1279, 719, to->TNyRGBtoPixel(ZRRGB{255, 255, 255}));
    FadeTransition(number, from, to);
}

void TMainThread::MaskTransitionToPanel(int8_t number, TNyRGBPanel* panel) {
    TNyRGBBits *from, *to;
    MakePair(Form, from, to);
    panel->Draw(to);
    FadeTransition(number, from, to);
}
