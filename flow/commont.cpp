// The thread body, the long-lived screens and the runners of the adventure scene, battles and
// movies.
#include "flow/commont.h"

#include <cstdio>
#include <functional>
#include <typeinfo>
#include <utility>

#include "flow/dialogu.h"
#include "flow/ingamemenus.h"
#include "flow/pconfigmenu.h"
#include "flow/psavemenu.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "scenes/avgu.h"
#include "scenes/battleu.h"
#include "scenes/movieu.h"
#include "widgets/nyrgbpanel.h"

namespace {

// Runs its step when the scope is left, however it is left.
class Undo {
  public:
    explicit Undo(std::function<void()> step) : step_(std::move(step)) {}
    ~Undo() {
        if (step_) step_();
    }
    Undo(const Undo&) = delete;
    Undo& operator=(const Undo&) = delete;

  private:
    std::function<void()> step_;
};

template <typename T>
void ReleaseAndDelete(T*& unit) {
    if (!unit) return;
    unit->Release();
    MemMan->Delete(unit);
    unit = nullptr;
}

}  // namespace

TCommonThread::TCommonThread(TGameForm* form) : TMainThread(form) {
    UserSettings.Load();
}

TCommonThread::~TCommonThread() = default;

void TCommonThread::Execute() {
    const ZRSectionHold logic(Form->LogicLock);
    bool ended = false;
    try {
        Form->SetOnFrame(ZRBaseCallback1<void, int>(static_cast<TMainThread*>(this),
                                                    &TMainThread::FrameTrampoline));
        Form->SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>(static_cast<TMainThread*>(this),
                                                                  &TMainThread::InputTrampoline));
        Form->SetJoypadEnabled(true);
        DlgUnit = MemMan->Create<TDlgUnit>();
        if (!DlgUnit) TerminateAndEnd();
        if (!DlgUnit->Setup(GameFileMan)) {
            std::fprintf(stderr, "GameErr: TDlgUnit cannot be set up\n");
            TerminateAndEnd();
        }
        Main();
    } catch (const EGameEnd&) {
        ended = true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: the game stops\n", e.what());
        ended = true;
    } catch (...) {
        std::fprintf(stderr, "unknown exception: the game stops\n");
        ended = true;
    }
    // The program closes right after; the dialog goes on every path all the same.
    ReleaseAndDelete(DlgUnit);
    if (ended) {
        SaveSystemData();
        UserSettings.Save();
    }
    Form->SetOnFrame(ZRBaseCallback1<void, int>());
    Form->SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>());
    Form->RequestClose();
}

void TCommonThread::CreateScreenUnits() {
    if (ScreensCreated) return;
    try {
        AvgUnit = MemMan->Create<TAvgUnit>();
        ConfigMenu = MemMan->Create<TConfigMenu>();
        SaveMenu = MemMan->Create<TSaveMenu>();
        MovieUnit = MemMan->Create<TMovieUnit>();
        BattleUnit = MemMan->Create<TBattleUnit>();
        if (!AvgUnit || !ConfigMenu || !SaveMenu || !MovieUnit || !BattleUnit) TerminateAndEnd();
        auto check = [this](bool ok, const char* module) {
            if (ok) return;
            std::fprintf(stderr, "GameErr: %s cannot be set up\n", module);
            TerminateAndEnd();
        };
        check(AvgUnit->Setup(GameFileMan), "TAvgUnit");
        check(ConfigMenu->Setup(GameFileMan), "TConfigMenu");
        check(SaveMenu->Setup(GameFileMan), "TSaveMenu");
        check(MovieUnit->Setup(GameFileMan, 1, -1), "TMovieUnit");
        check(BattleUnit->Setup(GameFileMan), "TBattleUnit");
        // The scene opens the menus over itself and hears their codes.
        InGameMenus = FlowMenuScreens();
        ConfigMenu->SetCallback(ZRBaseCallback1<void, int>(AvgUnit, &TAvgUnit::ConfigMenuCallback));
        SaveMenu->SetCallback(ZRBaseCallback1<void, int>(AvgUnit, &TAvgUnit::SaveMenuCallback));
    } catch (...) {
        DeleteScreenUnits();
        throw;
    }
    ScreensCreated = true;
}

void TCommonThread::DeleteScreenUnits() {
    ScreensCreated = false;
    InGameMenus = nullptr;
    ReleaseAndDelete(AvgUnit);
    ReleaseAndDelete(ConfigMenu);
    ReleaseAndDelete(SaveMenu);
    ReleaseAndDelete(MovieUnit);
    ReleaseAndDelete(BattleUnit);
}

void TCommonThread::AfterScenarioEntry(bool started) {
    // A scene that did not start left no result of its own: whatever Result holds is from an
    // earlier wait.
    if (started)
        MapAvgResult();
    else
        GameEnded = true;
}

void TCommonThread::MapAvgResult() {
    NextScene = 0;
    if (AvgUnit && AvgUnit->IsRunning()) return;
    switch (Result.load()) {
        case 1:
            NextScene = 1;
            break;
        case 4:
            NextScene = 4;
            break;
        default:
            GameEnded = true;
            break;
    }
}

void TCommonThread::RunAvgLoop() {
    while (!Terminated() && !GameEnded) {
        switch (NextScene) {
            case 0:
                RunAvgScene();
                if (NextScene != 1) StopSceneSounds();
                break;
            case 1:
                BattleSequence();
                break;
            case 4:
                MaskTransitionToBlack(0);
                AfterScenarioEntry(AvgUnit->ResumeAfterLoad());
                break;
            default:
                GameEnded = true;
                break;
        }
    }
}

void TCommonThread::RunAvgScene() {
    if (Form->GetScreenMode() != smAdventure) MaskTransitionToPanel(0, AvgUnit->RootPanel);
    Form->PushCursorType();
    Form->AttachLayer(AvgUnit->RootPanel);
    {
        Undo undo([this] {
            SetOnFrame(ZRBaseCallback1<void, int>());
            SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>());
            Form->DetachLayer(AvgUnit->RootPanel);
            Form->PopCursorType();
        });
        SetOnFrame(ZRBaseCallback1<void, int>(AvgUnit, &TAvgUnit::Frame));
        SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>(AvgUnit, &TAvgUnit::Input));
        Form->BeginAvgMode();
        Form->ResetFrameClock();
        const uint8_t kind = CurrentState.GetWaitState();
        if (kind == 2 || kind == 3) Form->PlaySysSE(4);
        if (AvgUnit->IsRunning()) WaitFrame();
    }
    MapAvgResult();
    SaveSystemData();
}

void TCommonThread::StopSceneSounds() {
    if (Form->IsBGMPlaying()) StopBGM(true);
    Form->StopVoice();
    Form->StopSE();
    if (Form->IsEnvPlaying()) Form->StopEnv(true);
    if (Form->IsRainPlaying()) Form->StopRain(false);
    Form->SetBGMVol(100);
    Form->SetVoiceVol(100);
    Form->SetSEVol(100);
    Form->SetEnvVol(100);
    Form->SetRainVol(100);
}

void TCommonThread::BattleSequence() {
    int32_t outcome = 0;
    RunBattle(CurrentState.MovieNo, &outcome);
    CurrentState.BattleResult = outcome;
    AfterScenarioEntry(AvgUnit->ResumeScenario());
}

void TCommonThread::RunBattle(int32_t number, int32_t* outcome) {
    if (outcome) *outcome = 0;
    if (!BattleUnit->PrepareBattle(number)) {
        // Nothing was shown: the script goes on as after a battle it won.
        std::fprintf(stderr, "GameErr: battle %d cannot be prepared; skipped\n", number);
        return;
    }
    Undo free([] { BattleUnit->FreeBattle(); });
    Form->PushCursorType();
    Form->SetCursorType(0);
    Form->AttachLayer(BattleUnit->RootPanel);
    {
        Undo undo([this] {
            SetOnFrame(ZRBaseCallback1<void, int>());
            SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>());
            Form->DetachLayer(BattleUnit->RootPanel);
            Form->PopCursorType();
        });
        SetOnFrame(ZRBaseCallback1<void, int>(BattleUnit, &TBattleUnit::Frame));
        SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>(BattleUnit, &TBattleUnit::Input));
        Form->BeginBattleMode();
        Form->ResetFrameClock();
        BattleUnit->Start();
        WaitFrame();
    }
    const int32_t result = Result.load();
    if (result == 2)
        GameEnded = true;
    else if (outcome)
        *outcome = result;
}

void TCommonThread::RunMovie(const ZRString& name, bool inPanel) {
    MovieUnit = MemMan->Create<TMovieUnit>();
    if (!MovieUnit) TerminateAndEnd();
    Undo release([] {
        MovieUnit->Close();
        MovieUnit->Release();
        MemMan->Delete(MovieUnit);
        MovieUnit = nullptr;
    });
    if (!MovieUnit->Setup(GameFileMan, inPanel ? 1 : 0, 0)) {
        Result.store(1);
        return;
    }
    StopBGM(false);
    if (!MovieUnit->Open(name)) return;
    Form->PushCursorType();
    Form->SetCursorType(-1);
    Form->AttachLayer(MovieUnit->RootPanel);
    Undo undo([this] {
        SetOnFrame(ZRBaseCallback1<void, int>());
        SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>());
        Form->DetachLayer(MovieUnit->RootPanel);
        Form->PopCursorType();
    });
    SetOnFrame(ZRBaseCallback1<void, int>(MovieUnit, &TMovieUnit::Frame));
    SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>(MovieUnit, &TMovieUnit::Input));
    MovieUnit->Start();
    if (MovieUnit->IsPlaying()) {
        if (inPanel)
            BeginMenuMode();
        else
            Form->BeginMovieMode();
        Form->ResetFrameClock();
        WaitFrame();
    }
}
