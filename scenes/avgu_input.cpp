// The adventure scene's side of the player's input: one dispatcher per window that reports
// to it, the click and its right and middle variants, the message window's button codes, the
// wheel, the per-frame reading of the logical buttons by overlay level, and what the player
// opens and closes from them (hidden windows, the backlog, the system menu bar).
#include "devices/dinputu.h"
#include "game/gamedata.h"
#include "scenes/avgu.h"
#include "scenes/subwinu.h"
#include "script/scripte.h"

namespace {

// System sounds.
constexpr int kSndOk = 0, kSndCursor = 3, kSndOpen = 4, kSndClose = 5;
// Logical buttons' directions.
constexpr int32_t kUp = 0, kDown = 4;

bool InStates(uint8_t s, std::initializer_list<uint8_t> states) {
    for (uint8_t x : states)
        if (s == x) return true;
    return false;
}

}  // namespace

TAvgUnit::InputFrame TAvgUnit::ReadInput(const TDInputUnit& input) {
    InputFrame f;
    for (int i = 0; i < InputFrame::kButtons; ++i) {
        f.push[i] = input.IsPush(i);
        f.press[i] = input.IsPress(i);
        f.repeat[i] = input.IsPress(i) && input.IsRepeat(i);
    }
    f.direction = input.GetDirectionRepeat();
    f.ctrl = input.IsCtrlDown();
    return f;
}

void TAvgUnit::Input(int ticks, TDInputUnit* input) {
    // A first press is visible in one frame only, and at full frame rate most frames carry no
    // tick: the keys are read whatever the ticks.
    if (!SetUpFlag || !input) return;
    if (MenuInput(ticks, input)) return;
    InputOperation(ticks, ReadInput(*input));
}

void TAvgUnit::RefreshModeLooks() {
    // The buttons show the modes the player toggled; a held Ctrl skips without touching them.
    windows_->SetModeButtons(AutoMode, SkipMode);
}

void TAvgUnit::InputOperation(int32_t ticks, const InputFrame& in) {
    (void)ticks;
    auto pushed = [&](int b) { return in.push[b]; };
    auto repeated = [&](int b) { return in.push[b] || in.repeat[b]; };
    auto scroll = [&](int32_t d) {
        if (windows_->BacklogScroll(d)) audio_->PlaySystemSound(kSndCursor);
    };
    switch (OverlayLevel) {
        case 3:
            // The configuration and save menus take their keys themselves; a story movie is
            // handed its keys unless the skip lock holds.
            if (ConfigState == 0 && SaveMenuState == 0 && MovieState != 0 &&
                !State().SkipDisabled) {
                movies_->KeySkip(pushed(0), pushed(1), pushed(8));
            }
            break;
        case 2:
            if (MenuBarState != 2) break;
            if (pushed(0))
                windows_->MenuBarSelect();
            else if (pushed(1) || pushed(8))
                windows_->MenuBarCancel();
            else if (in.direction == kUp)
                windows_->MenuBarCursor(true);
            else if (in.direction == kDown)
                windows_->MenuBarCursor(false);
            break;
        case 1:
            if (HideState == 2) {
                if (pushed(1) || pushed(2) || pushed(8)) RestoreWindows();
            } else if (BacklogState == 2) {
                if (pushed(1) || pushed(3) || pushed(8))
                    CloseBacklog();
                else if (repeated(4))
                    scroll(-10);
                else if (repeated(5))
                    scroll(10);
                else if (in.direction == kUp)
                    scroll(-1);
                else if (in.direction == kDown)
                    scroll(1);
            }
            break;
        default:
            if (pushed(0) || pushed(4)) {
                if (SceneState == asChoiceWaiting) {
                    if (windows_->SelectIndex() >= 0) {
                        audio_->PlaySystemSound(kSndOk);
                        TakeChoice();
                    }
                } else {
                    Click();
                }
            } else if (pushed(1)) {
                Click();
            } else if (pushed(2)) {
                HideWindows();
            } else if (pushed(3)) {
                OpenBacklog();
            } else if (pushed(5)) {
                SkipMode = !SkipMode;
                AutoMode = false;
                RefreshModeLooks();
            } else if (pushed(6) || pushed(7)) {
                // Half of the held skip: nothing else this frame.
            } else if (pushed(8)) {
                if (!OpenMenuBar(-1)) {
                    Click();
                    if (ClickPending == 1) ClickPending = 2;
                }
            } else if (pushed(9)) {
                AutoMode = !AutoMode;
                SkipMode = false;
                RefreshModeLooks();
            } else if (SceneState == asChoiceWaiting &&
                       (in.direction == kUp || in.direction == kDown)) {
                windows_->SelectCursor(in.direction == kUp);
                audio_->PlaySystemSound(kSndCursor);
            }
            break;
    }
    if (OverlayLevel == 0) {
        HoldSkip = in.ctrl || (in.press[6] && in.press[7]);
    }
}

// ---- The click and its variants ----

void TAvgUnit::Click() {
    if (OverlayLevel == 1) {
        if (HideState == 2) RestoreWindows();
        return;
    }
    if (OverlayLevel != 0 || !Running) return;
    if (SceneState != asChoiceWaiting && SceneState != asExSelWaiting &&
        (SkipMode || AutoMode)) {
        SkipMode = AutoMode = false;
        RefreshModeLooks();
    }
    if (SceneState == asClickWait) {
        EndClickWait();
    } else if (InStates(SceneState, {asTimedWait, asStageMoving, asWindowMoving, asExSelChosen})) {
        if (ClickPending == 0) ClickPending = 1;
    }
}

void TAvgUnit::RightClick() {
    if (OverlayLevel >= 2) return;
    bool done;
    switch (UserSettings.RightClickType) {
        case 1: done = HideWindows(); break;
        case 2: done = OpenConfigMenu(); break;
        case 3: done = OpenSaveMenu(0); break;
        case 4: done = OpenSaveMenu(1); break;
        default:
            done = OpenMenuBar(-1);
            if (!done) {
                Click();
                if (ClickPending == 1) ClickPending = 2;
                return;
            }
            break;
    }
    if (!done) Click();
}

void TAvgUnit::MiddleClick() {
    if (OverlayLevel >= 2) return;
    if (!HideWindows()) Click();
}

// ---- Dispatchers ----

namespace {

// Codes 1-3 mean the same from every window.
bool MouseCode(TAvgUnit& host, int code) {
    switch (code) {
        case 1:
            if (host.OverlayLevel < 2) host.Click();
            return true;
        case 2:
            host.RightClick();
            return true;
        case 3:
            host.MiddleClick();
            return true;
        default:
            return false;
    }
}

}  // namespace

bool TAvgUnit::StageCode(int code) { return MouseCode(*this, code); }

bool TAvgUnit::NovelCode(int code) { return MouseCode(*this, code); }

bool TAvgUnit::MesCode(int code) {
    if (MouseCode(*this, code)) return true;
    if (code < 16 || code > 22) return false;
    if (OverlayLevel != 0) return true;
    const bool modeState = InStates(SceneState, {asTimedWait, asClickWait, asWindowMoving});
    switch (code) {
        case 16:
            if (!HideWindows()) Click();
            break;
        case 17:
            if (modeState) {
                SkipMode = false;
                AutoMode = !AutoMode;
            } else {
                Click();
            }
            RefreshModeLooks();
            break;
        case 18:
            if (modeState) {
                SkipMode = !SkipMode;
                AutoMode = false;
            } else {
                Click();
            }
            RefreshModeLooks();
            break;
        case 19:
            if (!(MenuAllowed && OpenBacklog())) Click();
            break;
        case 20:
            if (!(MenuAllowed && MaySave && QuickSave())) Click();
            break;
        case 21:
            if (!(MenuAllowed && MaySave && QuickLoad())) Click();
            break;
        case 22:
            if (!(MenuAllowed && MayConfigure && OpenConfigMenu())) Click();
            break;
    }
    return true;
}

bool TAvgUnit::LogCode(int code) {
    if (MouseCode(*this, code)) return true;
    if (code == 4) {
        if (BacklogState != 0) windows_->BacklogFromBar();
        return true;
    }
    if (code == 6) {
        CloseBacklog();
        return true;
    }
    return false;
}

bool TAvgUnit::SelCode(int code) {
    if (MouseCode(*this, code)) return true;
    if (code != 5) return false;
    if (OverlayLevel == 0 && SceneState == asChoiceWaiting) TakeChoice();
    return true;
}

bool TAvgUnit::ExSelCode(int code) {
    if (code == 1 || code == 2) return MouseCode(*this, code);
    if (code == 5 || code == 6) return true;  // the extra selection's own unit carries these out
    if (code < 9 || code > 11) return false;
    if (OverlayLevel != 0 || !MenuAllowed) return true;
    if (code == 9 && MaySave) QuickSave();
    if (code == 10 && MaySave) QuickLoad();
    if (code == 11 && MayConfigure) OpenConfigMenu();
    return true;
}

void TAvgUnit::MenuBarCalled() {
    if (MenuBarState != 2) return;
    audio_->PlaySystemSound(kSndClose);
    windows_->MenuBarClose(false);
    MenuBarState = 3;
    UpdateCursorMode();
}

bool TAvgUnit::Wheel(int delta) {
    if (delta == 0) return true;
    if (OverlayLevel == 1 && BacklogState == 2) {
        if (windows_->BacklogScroll(delta < 0 ? 1 : -1)) audio_->PlaySystemSound(kSndCursor);
    } else if (OverlayLevel == 0) {
        OpenBacklog();
    }
    return true;
}

// ---- What the player opens and closes ----

bool TAvgUnit::HideWindows() {
    if (!MayHideWindows || OverlayLevel != 0) return false;
    HoldSkip = false;
    if (windows_->IsVisible(false)) windows_->Show(false, false, false);
    if (windows_->IsVisible(true)) windows_->Show(true, false, false);
    if (windows_->IsBacklogVisible()) windows_->BacklogHide(false);
    if (windows_->IsSelectVisible()) windows_->SelectHide(false);
    if (windows_->IsDateVisible()) windows_->DateHide(false);
    if (windows_->IsTimeVisible()) windows_->TimeHide(false);
    if (windows_->IsPlaceVisible()) windows_->PlaceHide();
    audio_->PlaySystemSound(kSndOpen);
    HideState = 1;
    RecomputeOverlay();
    UpdateCursorMode();
    return true;
}

bool TAvgUnit::RestoreWindows() {
    if (HideState != 2) return false;
    const GameState& st = State();
    if (st.TextWindowShown) windows_->Show(st.NovelMode != 0, true, false);
    if (SceneState == asChoiceWaiting) windows_->SelectShow(false);
    ResetPlates(false);
    audio_->PlaySystemSound(kSndClose);
    HideState = 3;
    UpdateCursorMode();
    return true;
}

bool TAvgUnit::OpenBacklog() {
    if (!MayOpenBacklog || OverlayLevel != 0) return false;
    HoldSkip = false;
    if (windows_->IsVisible(false)) windows_->Show(false, false, false);
    if (windows_->IsSelectVisible()) windows_->SelectHide(false);
    windows_->ShowBacklogView();
    if (windows_->IsVisible(true)) {
        windows_->Show(true, false, true);
        windows_->BacklogShow(true);
    } else {
        windows_->BacklogShow(false);
    }
    audio_->PlaySystemSound(kSndOpen);
    BacklogState = 1;
    RecomputeOverlay();
    UpdateCursorMode();
    return true;
}

bool TAvgUnit::CloseBacklog() {
    if (BacklogState == 0 || BacklogState == 3) return false;
    const GameState& st = State();
    const bool novel = st.NovelMode != 0;
    const bool shown = st.TextWindowShown != 0;
    if (shown) windows_->Show(novel, true, novel);
    windows_->BacklogHide(novel && shown);
    if (SceneState == asChoiceWaiting) windows_->SelectShow(false);
    audio_->PlaySystemSound(kSndClose);
    BacklogState = 3;
    UpdateCursorMode();
    return true;
}

void TAvgUnit::RefreshMenuEnables() {
    const bool noHideOrMenu = (OverlayBits & (1u | 4u)) == 0;
    const bool modeState = InStates(SceneState, {asTimedWait, asClickWait, asWindowMoving});
    windows_->MenuBarEnable(0, MaySave && OverlayLevel < 3);
    windows_->MenuBarEnable(1, modeState && noHideOrMenu);
    windows_->MenuBarEnable(2, modeState && noHideOrMenu);
    windows_->MenuBarEnable(5, MayConfigure && OverlayLevel < 3);
    windows_->MenuBarEnable(6, true);
    windows_->MenuBarEnable(7, true);
}

bool TAvgUnit::OpenMenuBar(int32_t item, bool sub) {
    if (!MenuAllowed || OverlayLevel != 0) return false;
    HoldSkip = false;
    RefreshMenuEnables();
    if (sub)
        windows_->MenuBarOpenSubAt(item);
    else
        windows_->MenuBarOpenAt(item);
    MenuBarState = 1;
    RecomputeOverlay();
    UpdateCursorMode();
    return true;
}

void TAvgUnit::CarryOutMenuResult(int32_t result) {
    switch (result) {
        case 1:
            SkipMode = !SkipMode;
            AutoMode = false;
            RefreshModeLooks();
            break;
        case 2:
            AutoMode = !AutoMode;
            SkipMode = false;
            RefreshModeLooks();
            break;
        case 3: HideWindows(); break;
        case 4: OpenBacklog(); break;
        case 5:
        case 6:
        case 100:
        case 101:
            if (OpenMenu)
                OpenMenu(result);
            else
                OpenMenuFromBar(result);
            break;
        default: break;
    }
}

void TAvgUnit::BindWindowCallbacks() {
    if (RootPanel)
        RootPanel->OnMouseWheel = [this](TNyRGBPanel*, TShiftState, int delta, const TPoint&,
                                         bool& handled) { handled = Wheel(delta); };
    if (!Windows) return;
    Windows->BindState(state_);
    Windows->SetAudio(audio_);
    Windows->SetMesCallback(ZRBaseCallback1<void, int>(this, &TAvgUnit::OnMesCode));
    Windows->SetNovelCallback(ZRBaseCallback1<void, int>(this, &TAvgUnit::OnNovelCode));
    Windows->SetLogCallback(ZRBaseCallback1<void, int>(this, &TAvgUnit::OnLogCode));
    Windows->SetSelCallback(ZRBaseCallback1<void, int>(this, &TAvgUnit::OnSelCode));
    Windows->SetMenuCallback(ZRBaseCallback0<void>(this, &TAvgUnit::MenuBarCalled));
}

