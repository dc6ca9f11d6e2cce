// TAvgUnit: the adventure scene host, the screen module of the story. It owns the script
// engine and reaches its stage, text windows, sound channels and movie player through the
// parts in avgseams.h. The operations here are what the script commands and the text
// processor ask for while the machine runs inside the scene's run state; each one that starts
// something visible moves the scene to another state, which ends the machine's run for this
// frame. Everything runs on the logic thread.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "foundation/zrcallback.h"
#include "foundation/zrfileman.h"
#include "scenes/avgseams.h"
#include "script/scrdef.h"
#include "widgets/nyrgbpanel.h"

class GameState;
class TDInputUnit;
class TNyRGBPanel;
class TScriptEngine;
class TDInputUnit;
class TStageUnit;
class TExSelUnit;
class TSubWinUnit;
class AvgFormAudio;

// Scene states; the per-frame state machine gives their meaning.
enum AvgSceneState : uint8_t {
    asNone = 0,
    asRun = 1,
    asTimedWait = 2,
    asClickWait = 3,
    asStageMoving = 4,
    asWindowMoving = 5,
    asChoiceAppearing = 6,
    asChoiceDisappearing = 7,
    asChoiceWaiting = 8,
    asExSelAppearing = 9,
    asExSelClosing = 10,
    asExSelWaiting = 11,
    asExSelChosen = 12,
    asMovie = 13,
};

// The scene's movies through the movie scene (the global one the flow makes).
class SceneMovies : public AvgMovies {
  public:
    bool Open(const ZRString& file, bool canSkip) override;
    void ShowPanel() override;
    void Start() override;
    void Frame(int32_t ticks) override;
    bool IsPlaying() const override;
    void KeySkip(bool pushed0, bool pushed1, bool pushed8) override;
    void Finish(TNyRGBPanel* scenePanel) override;
};

class TAvgUnit : public ScriptHost {
  public:
    TAvgUnit();
    ~TAvgUnit() override;
    TAvgUnit(const TAvgUnit&) = delete;
    TAvgUnit& operator=(const TAvgUnit&) = delete;

    // The parts. Null puts a part back at rest. The unit does not own what it is given.
    void SetWindows(AvgWindows* w) { windows_ = w ? w : &restWindows_; }
    void SetStage(AvgStage* s) { stage_ = s ? s : &restStage_; }
    void SetAudio(AvgAudio* a) { audio_ = a ? a : &restAudio_; }
    void SetMovies(AvgMovies* m) { movies_ = m ? m : &restMovies_; }
    void SetSystem(AvgSystem* s) { system_ = s ? s : &defaultSystem_; }
    // The game state the scene shows; the program's current state unless a test binds one.
    void BindState(GameState* state);
    GameState& State() const { return *state_; }

    // ---- Life cycle, called by the flow thread ----
    // Makes the script engine, the stage, the extra selection and the windows; false when any
    // of them cannot be made, with everything made so far released again. A part a test
    // installed before the set-up is kept in place of the unit's own.
    bool Setup(ZRFileMan* game);
    void Release();
    bool IsSetUp() const { return SetUpFlag; }
    // The three entry points: start a scene by name, go on with a game just loaded, go on
    // after a battle. Each is false when the engine could not start or reload the script
    // (the reason is on stderr); the scene is then not running.
    bool StartScenario(const ZRString& scene);
    bool ResumeAfterLoad();
    bool ResumeScenario();
    bool IsRunning() const { return Running; }
    // The frame and input handlers the flow thread puts in its slots.
    void Frame(int ticks);
    void Input(int ticks, TDInputUnit* input);
    // A left click or logical button 0 on the scene.
    void Click();
    // Where the stage's clicks and the extra selection report.
    void StageClick(int code);
    void ExSelCallback(int code);
    // Ends the flow thread's wait: 0 halted or back to the title, 1 battle, 4 a save was
    // loaded. The scene stops running.
    void EndScene(int32_t result);
    // The menu bar's items that open screens of the flow (5 configuration, 6 title
    // confirmation, 100 save, 101 load) are handed here; empty does nothing.
    std::function<void(int32_t)> OpenMenu;

    // ---- Scene state and the host's bookkeeping ----
    void SetSceneState(uint8_t state);
    uint8_t GetSceneState() const { return SceneState; }
    void RecomputeOverlay();
    // Skip mode or hold skip with nothing over the scene and the script's skip-lock off.
    bool IsSkipping() const;
    // Skipping, and the player lets effects be skipped.
    bool IsEffectSkipping() const;
    // The speaking animation follows the speaking flag, its frames, a playing voice and typing.
    void UpdateSpeaking();
    // Frames for a time in milliseconds: at least 1, and never wrapped.
    static int32_t FramesFromMs(int64_t ms);

    // ---- What the commands and the text processor call ----
    void RebuildScene() override;
    void MesShow(const ZRString& text, int32_t cost) override;
    void MesNewLine() override;
    void MesNewPage() override;
    void MesWinShowHide() override;
    void MesRestore() override;
    void ChangeNovelMode() override;
    void UpdateCursorMode() override;
    void WaitTime(int32_t ms) override;
    void WaitClick() override;
    void VoicePlay(uint32_t number, int32_t a, int32_t b) override;
    void VoiceVolume() override;
    void BgmPlay(int32_t track, bool loop, bool fade) override;
    void BgmStop(bool fade) override;
    void BgmVolume() override;
    void SePlay(int32_t n, int32_t a, int32_t b) override;
    void SeStop() override;
    void SeVolume() override;
    void EnvPlay(int32_t n, bool fade, int32_t a, int32_t b) override;
    void EnvStop(bool fade) override;
    void EnvVolume() override;
    void RainSoundUpdate(int32_t level) override;
    void RainVolume() override;
    void RainPowerChanged() override;
    void StageTransition(int32_t effect) override;
    void StageApply() override;
    void StageEffect(int32_t n) override;
    void SpeakStart(int32_t ms) override;
    void SpeakStop() override;
    void DateShow(bool instant) override;
    void DateHide(bool instant) override;
    void TimeShow(bool instant) override;
    void TimeHide(bool instant) override;
    void DateTimeUpdate() override;
    void PlaceShow() override;
    void SelectStart() override;
    void OpeningPlay() override;
    void EndingPlay() override;
    void MoviePlay(int32_t n) override;
    void BattleStart() override;

    // ---- For the battle, which borrows the stage and the sound channels ----
    bool LendStage(TNyRGBPanel* parent, const ZRBaseCallback1<void, int>& stageCallback);
    void ReturnStage();
    void StageFrame(int32_t ticks, bool skipping);
    void BattleBgmPlay(int32_t track);
    void BattleBgmStop();
    void SetBattleChar(int32_t character, bool instant);
    void StageEffectStart(int32_t n);
    void StageMoveStart(int32_t n);
    bool IsStageBusy() const;

    // The stage values of the game state, and whether the stage last saw the same period,
    // weather and rain power.
    AvgStageValues StageValues() const;
    void TakeStageSnapshot();
    bool StageSnapshotDiffers() const;

    // ---- The player's input and the windows' callbacks (avgu_input.cpp) ----
    // One frame's logical buttons and direction, read once from the input unit.
    struct InputFrame {
        static constexpr int kButtons = 17;
        bool push[kButtons] = {};
        bool press[kButtons] = {};
        bool repeat[kButtons] = {};
        int32_t direction = -1;  // with key repeat; 0 up, 4 down
        bool ctrl = false;
    };
    static InputFrame ReadInput(const TDInputUnit& input);
    void InputOperation(int32_t ticks, const InputFrame& in);
    // Dispatchers: true for a code the sender may send.
    bool StageCode(int code);
    bool MesCode(int code);
    bool NovelCode(int code);
    bool LogCode(int code);
    bool SelCode(int code);
    bool ExSelCode(int code);
    void MenuBarCalled();
    // The same as callbacks the windows can hold.
    void OnStageCode(int code) { StageCode(code); }
    void OnMesCode(int code) { MesCode(code); }
    void OnNovelCode(int code) { NovelCode(code); }
    void OnLogCode(int code) { LogCode(code); }
    void OnSelCode(int code) { SelCode(code); }
    void OnExSelCode(int code) { ExSelCode(code); }
    void RightClick();
    void MiddleClick();
    // The wheel over the scene's panel; always handled.
    bool Wheel(int delta);
    // Each false when not allowed now.
    bool HideWindows();
    bool RestoreWindows();
    bool OpenBacklog();
    bool CloseBacklog();
    bool OpenMenuBar(int32_t item, bool sub = false);
    void CarryOutMenuResult(int32_t result);
    void RefreshMenuEnables();
    void RefreshModeLooks();
    // ---- The in-game menus (avgu_menus.cpp): true when they acted ----
    bool OpenConfigMenu();
    bool CloseConfigMenu(bool instant);
    bool OpenSaveMenu(int32_t mode);
    bool CloseSaveMenu(bool instant);
    bool QuickSave();
    bool QuickLoad();
    bool AskReturnToTitle();
    bool CloseTitleQuestion();
    void ConfigMenuCallback(int code);
    void SaveMenuCallback(int code);
    void TitleDialogCallback(int code);
    // The menu bar's items that open the flow's screens (5, 6, 100, 101).
    void OpenMenuFromBar(int32_t item);
    // Overlay level 3: the menus' transitions and input.
    void MenuFrame(int ticks);
    bool MenuInput(int ticks, TDInputUnit* input);
    // The picture a save's thumbnail is made from, null when there is none.
    TNyRGBBits* ThumbnailSource();
    int32_t SaveMenuMode = 0;
    // The windows' callbacks of this host, bound in the set-up.
    void BindWindowCallbacks();

    // ---- Fields ----
    TNyRGBPanel* RootPanel = nullptr;
    // Where the stage reports its clicks while it is the scene's.
    ZRBaseCallback1<void, int> StageCallback;
    TScriptEngine* Engine = nullptr;
    uint8_t SceneState = asNone;
    bool Running = false;
    int32_t StageSnapshot[3] = {};  // period, weather, rain power last handed to the stage
    bool SpeakFlag = false;
    int32_t SpeakFrames = 0;
    bool SpeakingShown = false;
    uint8_t ClickPending = 0;
    bool SkipMode = false;
    bool AutoMode = false;
    bool HoldSkip = false;
    int32_t OverlayLevel = 0;
    uint32_t OverlayBits = 0;
    bool MayHideWindows = false;
    uint8_t HideState = 0;
    bool MayOpenBacklog = false;
    uint8_t BacklogState = 0;
    bool MenuAllowed = false;
    uint8_t MenuBarState = 0;
    uint8_t TitleConfirmState = 0;
    bool MayConfigure = false;
    uint8_t ConfigState = 0;
    bool MaySave = false;
    uint8_t SaveMenuState = 0;
    uint8_t MovieState = 0;
    int32_t WaitCounter = 0;

    // The sub-units the scene owns, null outside Setup..Release.
    TStageUnit* Stage = nullptr;
    TExSelUnit* ExSel = nullptr;
    TSubWinUnit* Windows = nullptr;
    AvgFormAudio* Audio = nullptr;
    bool SetUpFlag = false;
    ZRFileMan* GameFiles = nullptr;

  private:
    // Steps of the frame.
    void OverlayFrame(int ticks);
    void StateFrame(int ticks, bool frameSkipping);
    void RunScript();
    // The shared tail of the three entry points.
    void ResumeSequence();
    void EndClickWait();
    void TakeChoice();
    void MenuBarDone(int32_t item);
    void ReleaseParts();
    void PlayMovie(const ZRString& file);
    // Plates after a stage transition or a change of window mode.
    void ResetPlates(bool instant);
    // Every character slot of the stage takes its speaking value now.
    void ApplySpeaking();

    GameState* state_;
    AvgWindows restWindows_;
    AvgStage restStage_;
    AvgAudio restAudio_;
    AvgMovies restMovies_;
    SceneMovies sceneMovies_;
    AvgSystem defaultSystem_;
    AvgWindows* windows_ = &restWindows_;
    AvgStage* stage_ = &restStage_;
    AvgAudio* audio_ = &restAudio_;
    AvgMovies* movies_ = &restMovies_;
    AvgSystem* system_ = &defaultSystem_;
    std::unique_ptr<TNyRGBPanel> ownPanel_;
};

// The one adventure scene, null while it does not exist.
extern TAvgUnit* AvgUnit;
