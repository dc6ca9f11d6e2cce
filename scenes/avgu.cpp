// The adventure scene host's own bookkeeping: construction, scene states, the overlay level,
// the cursor and the rebuild of the scene from the game state.
#include "scenes/avgu.h"

#include "game/gamedata.h"
#include "widgets/nyrgbpanel.h"

TAvgUnit* AvgUnit = nullptr;

TAvgUnit::TAvgUnit() : state_(&CurrentState), ownPanel_(new TNyRGBPanel(nullptr)) {
    RootPanel = ownPanel_.get();
    RootPanel->SetSizeX(1280);
    RootPanel->SetSizeY(720);
    RootPanel->SetKeyControl(true);
    RootPanel->SetMouseControl(true);
    // The whole scene is one click target; the windows above it take their own clicks.
    RootPanel->OnMouseDown = [this](TNyRGBPanel*, TMouseButton b, TShiftState, int, int) {
        if (b == mbLeft) Click();
    };
}

TAvgUnit::~TAvgUnit() {
    if (SetUpFlag) Release();
}

void TAvgUnit::BindState(GameState* state) {
    state_ = state ? state : &CurrentState;
}

void TAvgUnit::SetSceneState(uint8_t state) {
    SceneState = state;
    const bool waiting = state == asClickWait || state == asChoiceWaiting;
    MayHideWindows = waiting;
    MayOpenBacklog = waiting;
    MenuAllowed = waiting || state == asExSelWaiting;
    MayConfigure = MenuAllowed;
    MaySave = MenuAllowed;
    if (MenuBarState != 0)
        RefreshMenuEnables();
    UpdateCursorMode();
}

void TAvgUnit::RecomputeOverlay() {
    OverlayLevel = 0;
    OverlayBits = 0;
    if (HideState != 0 || BacklogState != 0) {
        OverlayLevel = 1;
        OverlayBits |= 1;
    }
    if (MenuBarState != 0 || TitleConfirmState != 0) {
        OverlayLevel = 2;
        OverlayBits |= 2;
    }
    if (ConfigState != 0 || SaveMenuState != 0 || MovieState != 0) {
        OverlayLevel = 3;
        OverlayBits |= 4;
    }
    if (OverlayLevel != 0) HoldSkip = false;
    if (MenuBarState != 0)
        RefreshMenuEnables();
}

void TAvgUnit::UpdateCursorMode() {
    int32_t type;
    if (MenuBarState == 2 || TitleConfirmState == 2 || BacklogState == 2 || ConfigState == 2 ||
        SaveMenuState == 2 || HideState == 2)
        type = 0;
    else if (MovieState != 0)
        type = -1;
    else if (SceneState == asChoiceWaiting || SceneState == asExSelWaiting)
        type = 0;
    else
        type = State().CursorShown ? 0 : -1;
    if (system_->GetCursorType() != type) system_->SetCursorType(type);
}

void TAvgUnit::RebuildScene() {
    GameState& st = State();
    stage_->SetValues(StageValues());
    stage_->StartTransition(0, 0);
    TakeStageSnapshot();
    for (int i = 0; i < CharSlots::kSlots; ++i) stage_->SetSpeaking(i, false);
    SpeakingShown = false;
    windows_->WaitIcon(false, false);
    windows_->WaitIcon(true, false);
    const bool shown = st.TextWindowShown != 0 && st.GetWaitState() != 3;
    const bool novel = st.NovelMode != 0;
    windows_->Show(novel, shown, true);
    windows_->Show(!novel, false, true);
    windows_->BacklogHide(true);
    windows_->Clear(novel);
    for (int32_t i = 0; i <= st.PageLine && i < GameState::kPageLines; ++i) {
        if (i > 0) windows_->NewLine(novel);
        windows_->AddText(novel, st.GetPageLine(i), 0);
    }
    windows_->SetModeButtons(AutoMode, SkipMode);
    windows_->PlatesRefresh();
    windows_->DateHide(true);
    windows_->TimeHide(true);
    UpdateCursorMode();
}
