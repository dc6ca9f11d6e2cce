// The in-game menus: the configuration and save/load menus opened and closed over the scene
// with a mask transition, quick save and quick load on slot 0, and the question whether to go
// back to the title.
#include <array>
#include <cstring>

#include "game/gamedata.h"
#include "game/gameeffect.h"
#include "game/gamef.h"
#include "game/gamefunc.h"
#include "game/maint.h"
#include "scenes/avgmenus.h"
#include "scenes/avgu.h"
#include "scenes/stageu.h"
#include "scenes/subwinu.h"

AvgMenuScreens* InGameMenus = nullptr;

namespace {

const char* const kConfigMask = "FadeMask11_Star.bmp";
const char* const kSaveMask = "FadeMask07_Swirl.bmp";
constexpr int32_t kMenuKind = 14, kMenuSpeed = 200;
constexpr int32_t kSysOK = 0, kSysError = 2, kSysOpen = 4, kSysClose = 5;
// Menu bar items the closes come back to.
constexpr int32_t kBarConfig = 5, kBarCancel = 7;

// Draws the window's running transition in place of the panels.
struct MenuDraw {
    void Plain(TNyRGBBits* target, int yoff) { GameForm->DrawTransition(target, yoff, nullptr); }
    void Changed(TNyRGBBits* target, int yoff, ZRRectSet* dirty) {
        GameForm->DrawTransition(target, yoff, dirty);
    }
};
MenuDraw menuDraw;

void DrawHooks(bool on) {
    GameForm->SetOnDraw(on ? ZRBaseCallback2<void, TNyRGBBits*, int>(&menuDraw, &MenuDraw::Plain)
                           : ZRBaseCallback2<void, TNyRGBBits*, int>());
    GameForm->SetOnDrawModified(
        on ? ZRBaseCallback3<void, TNyRGBBits*, int, ZRRectSet*>(&menuDraw, &MenuDraw::Changed)
           : ZRBaseCallback3<void, TNyRGBBits*, int, ZRRectSet*>());
}

// The screen now shown, and a second picture for the panels; null when they cannot be made.
bool CapturePair(TNyRGBBits*& from, TNyRGBBits*& to) {
    from = to = nullptr;
    try {
        from = CreateScreenBits();
        GameForm->CaptureScreen(from);
        to = CreateScreenBits();
        return true;
    } catch (const EGameErr&) {
        if (from) MemMan->Delete(from);
        from = nullptr;
        return false;
    }
}

// Starts the menu transition from `from` to the panels now attached. False when it does not
// start; the window owns the pair either way once it has been handed over, so a refusal frees
// nothing here.
bool StartMenuTransition(TNyRGBBits* from, TNyRGBBits* to, const char* mask) {
    if (!from || !to) return false;
    GameForm->DrawPanelsTo(to);
    try {
        GameForm->LoadTransitionMask(mask);
    } catch (const EGameErr&) {
        MemMan->Delete(from);
        MemMan->Delete(to);
        return false;
    }
    if (!GameForm->StartTransitionEx(kMenuKind, from, kMenuSpeed, to)) {
        GameForm->FreeTransitionMask();
        return false;
    }
    GameForm->SetRootVisible(false);
    DrawHooks(true);
    GameForm->ResetFrameClock();
    return true;
}

void EndMenuTransition() {
    GameForm->SetRootVisible(true);
    DrawHooks(false);
    GameForm->StopTransition();
    GameForm->FreeTransitionMask();
}

}  // namespace

void TAvgUnit::OpenMenuFromBar(int32_t item) {
    switch (item) {
        case 5:
            OpenConfigMenu();
            break;
        case 6:
            AskReturnToTitle();
            break;
        case 100:
            OpenSaveMenu(0);
            break;
        case 101:
            OpenSaveMenu(1);
            break;
        default:
            break;
    }
}

bool TAvgUnit::OpenConfigMenu() {
    if (!InGameMenus || !GameForm || !MayConfigure || OverlayLevel > 2) return false;
    ConfigState = 0;
    RecomputeOverlay();
    HoldSkip = false;
    TNyRGBBits *from, *to;
    const bool pair = CapturePair(from, to);
    GameForm->DetachLayer(RootPanel);
    InGameMenus->ConfigUpdateControls();
    GameForm->AttachLayer(InGameMenus->ConfigPanel());
    if (pair && StartMenuTransition(from, to, kConfigMask)) {
        ConfigState = 1;
        RecomputeOverlay();
        return true;
    }
    ConfigState = 2;
    RecomputeOverlay();
    UpdateCursorMode();
    return true;
}

bool TAvgUnit::CloseConfigMenu(bool instant) {
    if (!InGameMenus || !GameForm || ConfigState == 0) return false;
    TNyRGBBits *from = nullptr, *to = nullptr;
    const bool pair = !instant && CapturePair(from, to);
    GameForm->DetachLayer(InGameMenus->ConfigPanel());
    GameForm->AttachLayer(RootPanel);
    if (pair && StartMenuTransition(from, to, kConfigMask)) {
        ConfigState = 3;
        RecomputeOverlay();
        return true;
    }
    ConfigState = 0;
    RecomputeOverlay();
    RootPanel->SetModified(true);
    OpenMenuBar(kBarConfig);
    return true;
}

bool TAvgUnit::OpenSaveMenu(int32_t mode) {
    if (!InGameMenus || !GameForm || !MaySave || OverlayLevel > 2) return false;
    SaveMenuState = 0;
    RecomputeOverlay();
    HoldSkip = false;
    SaveMenuMode = mode;
    TNyRGBBits *from, *to;
    const bool pair = CapturePair(from, to);
    InGameMenus->SaveOpen(mode, mode == 0 ? ThumbnailSource() : nullptr);
    GameForm->AttachLayer(InGameMenus->SavePanel());
    if (pair && StartMenuTransition(from, to, kSaveMask)) {
        SaveMenuState = 1;
        RecomputeOverlay();
        return true;
    }
    SaveMenuState = 2;
    RecomputeOverlay();
    UpdateCursorMode();
    return true;
}

bool TAvgUnit::CloseSaveMenu(bool instant) {
    if (!InGameMenus || !GameForm || SaveMenuState == 0) return false;
    TNyRGBBits *from = nullptr, *to = nullptr;
    const bool pair = !instant && CapturePair(from, to);
    GameForm->DetachLayer(InGameMenus->SavePanel());
    InGameMenus->SaveClose();
    if (pair && StartMenuTransition(from, to, kSaveMask)) {
        SaveMenuState = 3;
        RecomputeOverlay();
        return true;
    }
    SaveMenuState = 0;
    RecomputeOverlay();
    RootPanel->SetModified(true);
    // Back where the player chose save or load, not at the bar's first level.
    if (Running) OpenMenuBar(SaveMenuMode, true);
    return true;
}

void TAvgUnit::MenuFrame(int ticks) {
    if (!GameForm) return;
    for (uint8_t* state : {&ConfigState, &SaveMenuState}) {
        if (*state != 1 && *state != 3) continue;
        if (!GameForm->IsTransitionIdle()) {
            GameForm->AdvanceTransition(ticks);
            if (!GameForm->IsTransitionIdle()) continue;
        }
        EndMenuTransition();
        if (*state == 1) {
            *state = 2;
            if (state == &ConfigState && InGameMenus) InGameMenus->ConfigPanel()->SetModify();
            UpdateCursorMode();
        } else {
            *state = 0;
            RecomputeOverlay();
            RootPanel->SetModified(true);
            if (state == &ConfigState)
                OpenMenuBar(kBarConfig);
            else
                OpenMenuBar(SaveMenuMode, true);
        }
    }
}

bool TAvgUnit::MenuInput(int ticks, TDInputUnit* input) {
    if (OverlayLevel != 3 || !InGameMenus) return false;
    if (ConfigState == 2)
        InGameMenus->ConfigInput(ticks, input);
    else if (SaveMenuState == 2)
        InGameMenus->SaveInput(ticks, input);
    return ConfigState != 0 || SaveMenuState != 0;
}

void TAvgUnit::ConfigMenuCallback(int code) {
    if (ConfigState != 2) return;
    UserSettings.Save();
    if (Windows) {
        Windows->SetBoxOpacity(UserSettings.MesBoxTrans);
        if (!UserSettings.ShowPlaceName) Windows->PlaceCardHide();
    }
    if (SceneState == asClickWait && AutoMode)
        WaitCounter = FramesFromMs(UserSettings.AutoSkipWait);
    // A simple display freezes the characters' animations where they stand: redraw them.
    if (UserSettings.SimpleDisplay && Stage && Stage->Exists()) Stage->RefreshStage();
    if (code == 6) CloseConfigMenu(false);
}

void TAvgUnit::SaveMenuCallback(int code) {
    if (SaveMenuState != 2) return;
    if (code == 5 && SaveMenuMode == 1) {
        CloseSaveMenu(true);
        EndScene(4);
    } else if (code == 6) {
        CloseSaveMenu(false);
    }
}

TNyRGBBits* TAvgUnit::ThumbnailSource() {
    // The extra selection has no picture of its own; otherwise the stage's root picture.
    if (SceneState == asExSelWaiting) return nullptr;
    if (TNyRGBBits* lent = stage_ ? stage_->ScreenPicture() : nullptr) return lent;
    return Stage && Stage->Exists() ? Stage->StagePicture() : nullptr;
}

bool TAvgUnit::QuickSave() {
    if (OverlayLevel != 0 || !MenuAllowed || !MaySave) return false;
    TNyRGBBits* thumb = MakeThumbnail(ThumbnailSource());
    bool ok;
    if (thumb && thumb->Bits()) {
        std::array<uint8_t, kThumbnailMaxSize> pixels;
        for (int y = 0; y < kThumbnailHeight; ++y)
            std::memcpy(pixels.data() + size_t(y) * kThumbnailWidth * 4,
                        thumb->Bits() + size_t(y) * thumb->Pitch(), size_t(kThumbnailWidth) * 4);
        ok = SaveGameSlotThumb(0, pixels.data(), kThumbnailMaxSize);
    } else {
        ok = SaveGameSlot(0);
    }
    if (thumb) MemMan->Delete(thumb);
    audio_->PlaySystemSound(ok ? kSysOK : kSysError);
    return true;
}

bool TAvgUnit::QuickLoad() {
    if (OverlayLevel != 0 || !MenuAllowed || !MaySave) return false;
    if (!LoadGameSlot(0)) {
        audio_->PlaySystemSound(kSysError);
        return true;
    }
    audio_->PlaySystemSound(kSysOK);
    EndScene(4);
    return true;
}

bool TAvgUnit::AskReturnToTitle() {
    if (!InGameMenus || !MenuAllowed || OverlayLevel > 1 || !InGameMenus->DialogFree())
        return false;
    audio_->PlaySystemSound(kSysOpen);
    InGameMenus->DialogShow(2, RootPanel,
                            ZRBaseCallback1<void, int>(this, &TAvgUnit::TitleDialogCallback));
    TitleConfirmState = 1;
    RecomputeOverlay();
    return true;
}

bool TAvgUnit::CloseTitleQuestion() {
    if (!InGameMenus || OverlayLevel >= 3 || TitleConfirmState == 0) return false;
    audio_->PlaySystemSound(kSysClose);
    InGameMenus->DialogHide();
    TitleConfirmState = 3;
    UpdateCursorMode();
    return true;
}

void TAvgUnit::TitleDialogCallback(int code) {
    switch (code) {
        case 7:
            TitleConfirmState = 2;
            UpdateCursorMode();
            break;
        case 14:
        case 15:
            CloseTitleQuestion();
            break;
        case 8: {
            const bool yes = InGameMenus->DialogAnswer();
            InGameMenus->DialogDone();
            TitleConfirmState = 0;
            RecomputeOverlay();
            if (yes)
                EndScene(0);
            else
                OpenMenuBar(kBarCancel);
            break;
        }
        default:
            break;
    }
}
