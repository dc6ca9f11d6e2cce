// The operations the script commands and the text processor call on the adventure scene.
#include <algorithm>
#include <climits>

#include "game/gamedata.h"
#include "game/gamedef.h"
#include "scenes/avgu.h"
#include "scenes/exselu.h"

int32_t TAvgUnit::FramesFromMs(int64_t ms) {
    const int64_t frames = ms * 30 / 1000;
    return static_cast<int32_t>(std::clamp<int64_t>(frames, 1, INT32_MAX));
}

bool TAvgUnit::IsSkipping() const {
    return OverlayLevel == 0 && State().SkipDisabled == 0 && (SkipMode || HoldSkip);
}

bool TAvgUnit::IsEffectSkipping() const {
    return IsSkipping() && UserSettings.EffectCanSkip;
}

AvgStageValues TAvgUnit::StageValues() const {
    const GameState& st = State();
    return {st.Period, st.Weather, st.GetRainLevel(), st.BgShown, st.CharShown, st.PriorityShown};
}

void TAvgUnit::TakeStageSnapshot() {
    StageSnapshot[0] = State().Period;
    StageSnapshot[1] = State().Weather;
    StageSnapshot[2] = State().RainPower;
}

bool TAvgUnit::StageSnapshotDiffers() const {
    return StageSnapshot[0] != State().Period || StageSnapshot[1] != State().Weather ||
           StageSnapshot[2] != State().RainPower;
}

void TAvgUnit::ApplySpeaking() {
    for (int i = 0; i < CharSlots::kSlots; ++i)
        stage_->SetSpeaking(i, SpeakingShown && State().SpeakShown[i] != 0);
}

void TAvgUnit::UpdateSpeaking() {
    const bool on = SpeakFlag && (SpeakFrames >= 1 || audio_->IsVoicePlaying() ||
                                  windows_->IsTyping(false) || windows_->IsTyping(true));
    if (on == SpeakingShown) return;
    SpeakingShown = on;
    ApplySpeaking();
}

void TAvgUnit::ResetPlates(bool instant) {
    if (State().NovelMode) {
        windows_->DateHide(instant);
        windows_->TimeHide(instant);
    } else if (instant) {
        windows_->DateHide(true);
        windows_->TimeHide(true);
    }
}

// ---- text windows ----

void TAvgUnit::MesShow(const ZRString& text, int32_t cost) {
    GameState& st = State();
    if (SkipMode && !UserSettings.AllTextSkip && !st.MessageRead) {
        // Skipping stops at text the player has never seen.
        SkipMode = false;
        windows_->SetModeButtons(AutoMode, SkipMode);
    }
    const bool locked = st.SkipDisabled != 0;
    if (!locked && (HoldSkip || SkipMode)) {
        cost = 0;
        windows_->PlatesRefresh();
    }
    if (cost > 0 && !locked) {
        const int32_t speed = UserSettings.UserTextSpeed;
        if (speed > 0)
            cost = static_cast<int32_t>(
                std::clamp<int64_t>(int64_t{cost} * speed / 100, 1, INT32_MAX));
        else
            cost = 0;
    }
    const bool novel = st.NovelMode != 0;
    windows_->AddText(novel, text, cost);
    if (windows_->IsMoving(novel)) SetSceneState(asWindowMoving);
    if (StageSnapshotDiffers() && SceneState == asRun) {
        stage_->SetValues(StageValues());
        stage_->ApplyWeather(!IsEffectSkipping());
        TakeStageSnapshot();
        system_->ResetFrameClock();
        SetSceneState(asStageMoving);
    }
}

void TAvgUnit::MesNewLine() {
    windows_->NewLine(State().NovelMode != 0);
}

void TAvgUnit::MesNewPage() {
    windows_->Clear(State().NovelMode != 0);
}

void TAvgUnit::MesWinShowHide() {
    const bool novel = State().NovelMode != 0;
    windows_->Show(novel, State().TextWindowShown != 0, IsSkipping());
    if (windows_->IsMoving(novel)) SetSceneState(asWindowMoving);
}

void TAvgUnit::MesRestore() {
    const GameState& st = State();
    const bool novel = st.NovelMode != 0;
    windows_->Clear(novel);
    const int32_t last = std::min(st.PageLine, GameState::kPageLines - 1);
    for (int32_t i = 0; i <= last; ++i) {
        windows_->AddText(novel, st.GetPageLine(i), 0);
        if (i < last) windows_->NewLine(novel);
    }
    if (!novel) windows_->NamePlateJump();
}

void TAvgUnit::ChangeNovelMode() {
    const GameState& st = State();
    const bool novel = st.NovelMode != 0;
    windows_->Clear(false);
    windows_->Clear(true);
    if (st.TextWindowShown) {
        const bool instant = IsSkipping();
        windows_->Show(!novel, false, instant);
        windows_->Show(novel, true, instant);
        if (windows_->IsMoving(false) || windows_->IsMoving(true)) SetSceneState(asWindowMoving);
    }
    ResetPlates(IsSkipping());
}

// ---- waits ----

void TAvgUnit::WaitTime(int32_t ms) {
    WaitCounter = FramesFromMs(ms);
    if (OverlayLevel == 0 && State().SkipDisabled == 0 && (SkipMode || HoldSkip)) {
        WaitCounter = 1;
        windows_->PlatesRefresh();
    }
    SetSceneState(asTimedWait);
}

void TAvgUnit::WaitClick() {
    const uint8_t pending = ClickPending;
    ClickPending = 0;
    if ((SkipMode || HoldSkip) && State().SkipDisabled == 0) {
        WaitTime(1);
        return;
    }
    windows_->WaitIcon(State().NovelMode != 0, true);
    WaitCounter = FramesFromMs(UserSettings.AutoSkipWait);
    SetSceneState(asClickWait);
    if (pending == 2) {
        MenuBarState = 1;
        RecomputeOverlay();
        // With no item requested: the cursor goes to Cancel, whatever the bar last opened at.
        windows_->MenuBarOpenAt(-1);
    }
}

// ---- sound ----

void TAvgUnit::VoicePlay(uint32_t number, int32_t a, int32_t b) {
    if (IsSkipping()) return;
    if (audio_->PlayVoice(number, a, b)) SpeakStart(0);
}

void TAvgUnit::VoiceVolume() {
    audio_->SetVoiceVol(State().VoiceVolume);
}
void TAvgUnit::BgmPlay(int32_t track, bool loop, bool fade) {
    audio_->PlayBGM(track, loop, fade);
}
void TAvgUnit::BgmStop(bool fade) {
    audio_->StopBGM(fade);
}
void TAvgUnit::BgmVolume() {
    audio_->SetBGMVol(State().MusicVolume);
}

void TAvgUnit::SePlay(int32_t n, int32_t a, int32_t b) {
    if (IsSkipping()) return;
    audio_->PlaySE(ZRString().sprintf("se%03d", n), a, b);
}

void TAvgUnit::SeStop() {
    audio_->StopSE();
}
void TAvgUnit::SeVolume() {
    audio_->SetSEVol(State().SeVolume);
}

void TAvgUnit::EnvPlay(int32_t n, bool fade, int32_t a, int32_t b) {
    audio_->PlayEnv(ZRString().sprintf("se%03d", n), a, b, fade);
}

void TAvgUnit::EnvStop(bool fade) {
    audio_->StopEnv(fade);
}
void TAvgUnit::EnvVolume() {
    audio_->SetEnvVol(State().EnvVolume);
}

void TAvgUnit::RainSoundUpdate(int32_t level) {
    if (level >= 0)
        audio_->PlayRain(level);
    else
        audio_->StopRain();
}

void TAvgUnit::RainVolume() {
    audio_->SetRainVol(State().RainVolume);
}
void TAvgUnit::RainPowerChanged() {}

// ---- stage ----

void TAvgUnit::StageTransition(int32_t effect) {
    const bool skip = IsEffectSkipping();
    stage_->SetValues(StageValues());
    if (stage_->StartTransition(skip ? 0 : effect, std::max(1, State().FadeSpeed))) {
        system_->ResetFrameClock();
        SetSceneState(asStageMoving);
    } else {
        WaitTime(1);
    }
    ApplySpeaking();
    system_->RenderFull();
    TakeStageSnapshot();
    ResetPlates(skip);
    if (windows_->IsPlaceVisible()) windows_->PlaceHide();
}

void TAvgUnit::StageApply() {
    if (IsEffectSkipping()) {
        StageTransition(0);
        return;
    }
    stage_->SetValues(StageValues());
    if (stage_->ApplyChars()) {
        system_->ResetFrameClock();
        SetSceneState(asStageMoving);
    } else {
        WaitTime(1);
    }
    ApplySpeaking();
    system_->RenderFull();
}

void TAvgUnit::StageEffect(int32_t n) {
    if (IsEffectSkipping()) return;
    if (!stage_->StartEffect(n)) return;
    system_->ResetFrameClock();
    SetSceneState(asStageMoving);
    system_->RenderFull();
}

void TAvgUnit::SpeakStart(int32_t ms) {
    SpeakFlag = true;
    SpeakFrames = ms >= 1 ? FramesFromMs(ms) : 0;
    UpdateSpeaking();
}

void TAvgUnit::SpeakStop() {
    SpeakFlag = false;
    SpeakFrames = 0;
    UpdateSpeaking();
}

// ---- plates, choice, movies, battle ----

void TAvgUnit::DateShow(bool instant) {
    if (!State().NovelMode) windows_->DateShow(instant);
}

void TAvgUnit::DateHide(bool instant) {
    windows_->DateHide(instant);
}

void TAvgUnit::TimeShow(bool instant) {
    if (!State().NovelMode) windows_->TimeShow(instant);
}

void TAvgUnit::TimeHide(bool instant) {
    windows_->TimeHide(instant);
}
void TAvgUnit::DateTimeUpdate() {
    windows_->PlatesRefresh();
}

void TAvgUnit::PlaceShow() {
    if (UserSettings.ShowPlaceName) windows_->PlaceShow(State().PlaceCard);
}

void TAvgUnit::SelectStart() {
    windows_->SelectClear();
    for (int i = 0; i < GameState::kSelectTexts; ++i)
        windows_->SelectAdd(i, State().GetSelectText(i));
    audio_->PlaySystemSound(4);
    windows_->SelectShow(false);
    SetSceneState(windows_->IsSelectMoving() ? asChoiceAppearing : asChoiceWaiting);
}

void TAvgUnit::PlayMovie(const ZRString& file) {
    if (system_->ScreenMode() != 5 || OverlayLevel > 2) return;
    if (!movies_->Open(file, State().SkipDisabled == 0)) return;
    movies_->ShowPanel();
    system_->ResetFrameClock();
    movies_->Start();
    MovieState = 2;
    SetSceneState(asMovie);
    RecomputeOverlay();
}

void TAvgUnit::OpeningPlay() {
    PlayMovie("SVOP.sfd");
}
void TAvgUnit::EndingPlay() {
    PlayMovie("SVED.sfd");
}
void TAvgUnit::MoviePlay(int32_t n) {
    PlayMovie(ZRString().sprintf("SV%02d.sfd", n));
}

void TAvgUnit::BattleStart() {
    system_->EndWait(1);
    Running = false;
}

bool TAvgUnit::LendStage(TNyRGBPanel* parent, const ZRBaseCallback1<void, int>& stageCallback) {
    if (!stage_->Exists()) return false;
    State().TextWindowShown = 0;
    windows_->Show(false, false, true);
    windows_->Show(true, false, true);
    stage_->Detach();
    stage_->Attach(parent, stageCallback);
    windows_->DetachAll();
    if (ExSel) ExSel->Detach();
    return true;
}

void TAvgUnit::ReturnStage() {
    if (!stage_->Exists()) return;
    stage_->Detach();
    stage_->Attach(RootPanel, StageCallback);
    // In the order of the set-up: the extra selection under the windows.
    if (ExSel) ExSel->Attach(RootPanel);
    windows_->AttachAll();
}

void TAvgUnit::StageFrame(int32_t ticks, bool skipping) {
    stage_->Frame(ticks, skipping, UserSettings.EffectCanSkip);
}

void TAvgUnit::BattleBgmPlay(int32_t track) {
    BgmPlay(track, true, true);
}
void TAvgUnit::BattleBgmStop() {
    BgmStop(true);
}

void TAvgUnit::SetBattleChar(int32_t character, bool instant) {
    GameState& st = State();
    st.CharStaged.Reset();
    std::fill(std::begin(st.SpeakStaged), std::end(st.SpeakStaged), uint8_t{0});
    // The enemy stands alone in the centre slot, the one the stage's hit moves shake.
    if (character >= 0) st.CharStaged.ShowId[3] = character;
    st.CharShown = st.CharStaged;
    std::copy(std::begin(st.SpeakStaged), std::end(st.SpeakStaged), std::begin(st.SpeakShown));
    stage_->SetValues(StageValues());
    if (instant)
        stage_->StartTransition(0, 0);
    else
        stage_->StartTransition(1, 100);
    for (int i = 0; i < CharSlots::kSlots; ++i) stage_->SetSpeaking(i, false);
}

void TAvgUnit::StageEffectStart(int32_t n) {
    stage_->StartEffect(n);
}
void TAvgUnit::StageMoveStart(int32_t n) {
    stage_->StartMove(n);
}
bool TAvgUnit::IsStageBusy() const {
    return stage_->IsBusy();
}
