// The adventure scene as a screen of the flow: set-up and release, the three entry points and
// their shared resume, the per-frame operation with its overlay levels and scene states, and
// the player's clicks.
#include <cstdio>
#include <exception>

#include "devices/dinputu.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/maint.h"
#include "scenes/avgu.h"
#include "scenes/avgu_audio.h"
#include "scenes/exselu.h"
#include "scenes/stageu.h"
#include "scenes/subwinu.h"
#include "script/scripte.h"
#include "script/scripte_text.h"
#include "widgets/nyrgbpanel.h"

namespace {

// The scene's engine and parts are made through the memory manager, so one left behind shows
// in its report; plainly when there is none (some units' tests run without one).
template <typename T>
T* NewTracked() {
    T* p = MemMan ? MemMan->Create<T>() : new T();
    if (!p) throw EGameErr();
    return p;
}

}  // namespace

bool TAvgUnit::Setup(ZRFileMan* game) {
    if (SetUpFlag) return true;
    GameFiles = game;
    try {
        if (!game) throw EGameErr();
        Audio = new AvgFormAudio();
        Engine = NewTracked<TScriptEngine>();
        if (state_ != &CurrentState) Engine->BindState(state_, &SceneSnapshot, &SysData, &ReadHist);
        BindScriptCommands(*Engine);
        Engine->SetHost(this);
        if (!Engine->LoadSceneTable()) throw EGameErr();
        if (!RootPanel->AllCreate()) throw EGameErr();
        StageCallback = ZRBaseCallback1<void, int>(this, &TAvgUnit::StageClick);
        Stage = NewTracked<TStageUnit>();
        if (!Stage->Setup(game)) throw EGameErr();
        Stage->Attach(RootPanel, StageCallback);
        ExSel = NewTracked<TExSelUnit>();
        if (!ExSel->Setup(game)) throw EGameErr();
        ExSel->Attach(RootPanel);
        ExSel->SetCallback(ZRBaseCallback1<void, int>(this, &TAvgUnit::ExSelCallback));
        Windows = NewTracked<TSubWinUnit>();
        if (!Windows->Setup(game)) throw EGameErr();
        Windows->AttachTo(RootPanel);
        Windows->AttachAll();
        Windows->SetBacklogRange(0);
        Windows->SetBoxOpacity(UserSettings.MesBoxTrans);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: the adventure scene cannot be set up\n", e.what());
        ReleaseParts();
        return false;
    }
    // A part a test installed stays; the unit's own fill the places still at rest.
    if (stage_ == &restStage_) stage_ = Stage;
    if (windows_ == &restWindows_) windows_ = Windows;
    if (audio_ == &restAudio_) audio_ = Audio;
    if (movies_ == &restMovies_) movies_ = &sceneMovies_;
    BindWindowCallbacks();
    SetUpFlag = true;
    return true;
}

void TAvgUnit::ReleaseParts() {
    if (stage_ == Stage) stage_ = &restStage_;
    if (windows_ == Windows) windows_ = &restWindows_;
    if (audio_ == Audio) audio_ = &restAudio_;
    if (movies_ == &sceneMovies_) movies_ = &restMovies_;
    if (Stage) {
        Stage->Detach();
        Stage->Release();
        DeleteTracked(Stage);
    }
    if (ExSel) {
        ExSel->Detach();
        ExSel->Release();
        DeleteTracked(ExSel);
    }
    if (Windows) {
        Windows->DetachAll();
        Windows->Release();
        DeleteTracked(Windows);
    }
    if (RootPanel->GetCreated()) RootPanel->AllRelease();
    StageCallback = ZRBaseCallback1<void, int>();
    DeleteTracked(Engine);
    delete Audio;
    Audio = nullptr;
    GameFiles = nullptr;
}

void TAvgUnit::Release() {
    ReleaseParts();
    Running = false;
    SetUpFlag = false;
}

// ---- entry points ----

bool TAvgUnit::StartScenario(const ZRString& scene) {
    if (!SetUpFlag) return true;
    Running = false;
    // A new scenario starts on an empty stage; the rebuild then gives it the state's values.
    if (Stage) Stage->Reset();
    if (!Engine->StartScene(scene.c_str())) {
        std::fprintf(stderr, "GameErr: scene \"%s\" cannot be started\n", scene.c_str());
        return false;
    }
    ResumeSequence();
    return true;
}

bool TAvgUnit::ResumeAfterLoad() {
    if (!SetUpFlag) return true;
    Running = false;
    if (Stage) Stage->Reset();
    // The engine may fall back to the scene's start, replacing what names the save.
    const int32_t script = State().ScriptNo;
    const ZRString scene = State().GetSceneName();
    if (!Engine->ResumeLoadedGame()) {
        std::fprintf(stderr, "GameErr: the loaded game cannot go on (script %d, scene \"%s\")\n",
                     script, scene.c_str());
        return false;
    }
    ResumeSequence();
    return true;
}

bool TAvgUnit::ResumeScenario() {
    if (!SetUpFlag) return true;
    Running = false;
    if (!Engine->ReloadScript()) {
        std::fprintf(stderr, "GameErr: script %d cannot be reloaded (scene \"%s\")\n",
                     State().ScriptNo, State().GetSceneName().c_str());
        return false;
    }
    ResumeSequence();
    return true;
}

void TAvgUnit::ResumeSequence() {
    GameState& st = State();
    SpeakFlag = false;
    SpeakFrames = 0;
    SpeakingShown = false;
    ClickPending = 0;
    SkipMode = AutoMode = HoldSkip = false;
    OverlayLevel = 0;
    OverlayBits = 0;
    HideState = BacklogState = MenuBarState = TitleConfirmState = 0;
    ConfigState = SaveMenuState = MovieState = 0;
    MayHideWindows = MayOpenBacklog = MenuAllowed = MayConfigure = MaySave = false;

    RebuildScene();

    const uint8_t kind = st.GetWaitState();
    if (kind == 2) {
        windows_->SelectClear();
        for (int i = 0; i < GameState::kSelectTexts; ++i)
            windows_->SelectAdd(i, st.GetSelectText(i));
        // The scene waits for the choice at once, so the window is there at once.
        windows_->SelectShow(true);
    } else {
        windows_->SelectHide(true);
    }
    if (ExSel) {
        if (kind == 3) {
            ExSel->SetArg(st.ExSelArg);
            ExSel->Show(true);
        } else {
            ExSel->Hide(true);
        }
    }
    windows_->PlaceHide();
    windows_->MenuBarClose(true);

    audio_->SetBGMVol(st.MusicVolume);
    if (st.MusicTrack >= 0)
        BgmPlay(st.MusicTrack, true, false);
    else
        BgmStop(true);
    audio_->SetVoiceVol(st.VoiceVolume);
    audio_->SetSEVol(st.SeVolume);
    audio_->SetEnvVol(st.EnvVolume);
    if (st.EnvTrack >= 0)
        EnvPlay(st.EnvTrack, false, st.EnvPos[0], st.EnvPos[1]);
    else
        EnvStop(true);
    audio_->SetRainVol(st.RainVolume);
    if (st.RainSoundLevel >= 0)
        audio_->PlayRain(st.RainSoundLevel);
    else
        audio_->StopRain();

    if (kind == 4) Engine->Resume(st.BattleResult);
    if (st.Waiting && kind != 2 && kind != 3) Engine->Resume(0);

    Running = true;
    switch (kind) {
        case 1:
            windows_->WaitIcon(st.NovelMode != 0, true);
            // The unit outlives each scene, so the count left by the last wait must not end
            // this one on its first frame.
            WaitCounter = FramesFromMs(UserSettings.AutoSkipWait);
            SetSceneState(asClickWait);
            break;
        case 2:
            SetSceneState(asChoiceWaiting);
            break;
        case 3:
            SetSceneState(asExSelWaiting);
            // The instant show chose before the scene waited for it; its code 5 went unheard.
            if (ExSel && ExSel->IsChosen()) ExSelCallback(5);
            break;
        default:
            SetSceneState(asRun);
            RunScript();
            break;
    }
}

void TAvgUnit::EndScene(int32_t result) {
    Running = false;
    system_->EndWait(result);
}

// ---- the frame ----

void TAvgUnit::RunScript() {
    // The budget ends the frame for a script that loops without ever waiting.
    Engine->BeginFrame();
    while (SceneState == asRun && Running) {
        if (Engine->Run()) {
            EndScene(0);
            return;
        }
        // A suspended machine that nothing on the scene answers would spin here for ever.
        if (Engine->BudgetSpent() || State().Waiting) return;
    }
}

void TAvgUnit::Frame(int ticks) {
    if (ticks <= 0 || !SetUpFlag) return;
    const bool open = OverlayLevel == 0 && State().SkipDisabled == 0;
    const bool frameSkipping = open && (ClickPending != 0 || SkipMode || HoldSkip);
    if (open && (SkipMode || HoldSkip)) {
        audio_->StopVoice();
        audio_->StopSE();
    }
    if (OverlayLevel < 3) {
        SpeakFrames = SpeakFrames > ticks ? SpeakFrames - ticks : 0;
        UpdateSpeaking();
        stage_->Frame(ticks, frameSkipping, UserSettings.EffectCanSkip);
        windows_->Frame(ticks, frameSkipping);
        if (ExSel) ExSel->Frame(ticks, frameSkipping);
    }
    if (OverlayLevel != 0) {
        OverlayFrame(ticks);
        // An overlay that has just closed lets the scene go on in the same frame.
        if (OverlayLevel != 0 || !Running) return;
    }
    StateFrame(ticks, frameSkipping);
}

void TAvgUnit::OverlayFrame(int ticks) {
    if (OverlayLevel == 3) {
        MenuFrame(ticks);
        if (MovieState != 0) movies_->Frame(ticks);
        if (MovieState != 0 && !movies_->IsPlaying()) {
            movies_->Finish(RootPanel);
            MovieState = 0;
            SetSceneState(asRun);
            RecomputeOverlay();
            RootPanel->SetModified(true);
        }
        return;
    }
    if (OverlayLevel == 2) {
        if (windows_->IsMenuBarMoving()) return;
        if (MenuBarState == 1) {
            MenuBarState = 2;
            if (GameForm) GameForm->RefreshMouseEnter();
            UpdateCursorMode();
        } else if (MenuBarState == 3) {
            MenuBarState = 0;
            RecomputeOverlay();
            MenuBarDone(windows_->MenuBarResult());
        }
        return;
    }
    // Level 1: the hidden windows or the backlog finish moving.
    if (windows_->IsMoving(false) || windows_->IsMoving(true) || windows_->IsBacklogMoving() ||
        windows_->IsSelectMoving())
        return;
    for (uint8_t* s : {&HideState, &BacklogState}) {
        if (*s == 1) {
            *s = 2;
            UpdateCursorMode();
        } else if (*s == 3) {
            *s = 0;
            RecomputeOverlay();
        }
    }
}

void TAvgUnit::MenuBarDone(int32_t item) {
    CarryOutMenuResult(item);
}

void TAvgUnit::StateFrame(int ticks, bool frameSkipping) {
    switch (SceneState) {
        case asRun:
            RunScript();
            break;
        case asTimedWait:
            WaitCounter -= ticks;
            if (frameSkipping) WaitCounter = -1;
            if (WaitCounter < 0) SetSceneState(asRun);
            break;
        case asClickWait:
            if (AutoMode && !audio_->IsVoicePlaying()) WaitCounter -= ticks;
            if (frameSkipping || WaitCounter < 0) EndClickWait();
            break;
        case asStageMoving:
            if (!stage_->IsBusy()) {
                ClickPending = 0;
                SetSceneState(asRun);
            }
            break;
        case asWindowMoving:
            if (!windows_->IsMoving(false) && !windows_->IsMoving(true) && !stage_->IsBusy())
                SetSceneState(asRun);
            break;
        case asChoiceAppearing:
            if (!windows_->IsSelectMoving()) SetSceneState(asChoiceWaiting);
            break;
        case asChoiceDisappearing:
            if (!windows_->IsSelectMoving()) SetSceneState(asRun);
            break;
        case asExSelWaiting:
            if (ExSel && ExSel->IsChosen()) ExSelCallback(5);
            break;
        case asExSelAppearing:
        case asExSelClosing:
            if (!stage_->IsBusy() && !windows_->IsMoving(false) && !windows_->IsMoving(true) &&
                !(ExSel && ExSel->IsMoving()))
                SetSceneState(SceneState == asExSelAppearing ? asExSelWaiting : asRun);
            break;
        default:
            break;
    }
    // A click wait, stage step or choice entered above runs on the next frame.
    if (SceneState == asRun && Running) RunScript();
}

void TAvgUnit::EndClickWait() {
    windows_->PlatesRefresh();
    audio_->StopVoice();
    windows_->WaitIcon(State().NovelMode != 0, false);
    if (StageSnapshotDiffers()) {
        stage_->SetValues(StageValues());
        stage_->ApplyWeather(!IsEffectSkipping());
        TakeStageSnapshot();
        system_->ResetFrameClock();
        SetSceneState(asStageMoving);
    } else {
        SetSceneState(asRun);
    }
}

void TAvgUnit::TakeChoice() {
    if (SceneState != asChoiceWaiting) return;
    const int32_t index = windows_->SelectIndex();
    if (index < 0) return;
    Engine->Resume(index);
    if (windows_->SelectHide(false))
        SetSceneState(asChoiceDisappearing);
    else
        SetSceneState(asRun);
}

// ---- input ----

void TAvgUnit::StageClick(int code) {
    StageCode(code);
}

void TAvgUnit::ExSelCallback(int code) {
    if (code != 5 && code != 6) {
        ExSelCode(code);
        return;
    }
    if (code == 5 && SceneState == asExSelWaiting && ExSel) {
        Engine->Resume(ExSel->Result());
        SetSceneState(asExSelChosen);
        return;
    }
    if (code != 6 || SceneState != asExSelChosen) return;
    ClickPending = 0;
    if (ExSel) ExSel->Hide(false);
    if (State().TextWindowShown) windows_->Show(State().NovelMode != 0, true, true);
    const bool moving = stage_->IsBusy() || windows_->IsMoving(false) || windows_->IsMoving(true) ||
                        (ExSel && ExSel->IsMoving());
    if (moving) {
        system_->ResetFrameClock();
        SetSceneState(asExSelClosing);
    } else {
        SetSceneState(asRun);
    }
}
