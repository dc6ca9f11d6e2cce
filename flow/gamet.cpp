// The title loop and what its modes lead to.
#include "flow/gamet.h"

#include <cstdio>
#include <functional>
#include <utility>

#include "flow/palbummenu.h"
#include "flow/pconfigmenu.h"
#include "flow/psavemenu.h"
#include "flow/psoundmenu.h"
#include "flow/ptitlemenu.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "scenes/avgu.h"
#include "widgets/nyrgbpanel.h"

namespace {

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

constexpr int32_t kTitleTrack = 43;
constexpr int32_t kOpeningUnlockBit = 180;
const char* const kOpeningMovie = "SVOP.sfd";
const char* const kNewGameScene = "GameStart";

template <typename T>
void ReleaseAndDelete(T*& unit) {
    if (!unit) return;
    unit->Release();
    MemMan->Delete(unit);
    unit = nullptr;
}

}  // namespace

TMainThread* TGameThread::Create(TGameForm* form) {
    return new TGameThread(form);
}

TGameThread::TGameThread(TGameForm* form) : TCommonThread(form) {
    LoadSystemData();
    SysData.SetAlbumBit(kOpeningUnlockBit);
}

void TGameThread::Main() {
    Result.store(0);
    Form->SetCursorType(0);
    while (!Terminated()) {
        TitleLoop();
        switch (Result.load()) {
            case tmNewGame:
                NewGame(kNewGameScene);
                break;
            case tmLoaded:
                LoadGame();
                break;
            case tmAlbum:
                RunAlbum();
                break;
            case tmMusicRoom:
                RunMusicRoom();
                break;
            case tmOpening:
                StopBGM(true);
                MaskTransitionToBlack(0);
                RunMovie(kOpeningMovie, true);
                break;
            case tmQuit:
                SaveSystemData();
                StopBGM(false);
                MaskTransitionToBlack(0);
                TerminateAndEnd();
            default:
                break;
        }
        SaveSystemData();
    }
    StopBGM(false);
}

void TGameThread::TitleLoop() {
    MaskTransitionToClear(0);
    BeginWaitMode();

    TitleMenu = MemMan->Create<TTitleMenu>();
    ConfigMenu = MemMan->Create<TConfigMenu>();
    SaveMenu = MemMan->Create<TSaveMenu>();
    bool titleAttached = false;
    Undo undo([this, &titleAttached] {
        SetOnFrame(ZRBaseCallback1<void, int>());
        SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>());
        if (TitleMenu) {
            Form->DetachLayer(TitleMenu->TitleCallPanel);
            if (titleAttached) Form->DetachLayer(TitleMenu->RootPanel);
        }
        if (ConfigMenu) {
            Form->DetachLayer(ConfigMenu->RootPanel);
            ConfigMenu->SetCallback(ZRBaseCallback1<void, int>());
        }
        if (SaveMenu) {
            Form->DetachLayer(SaveMenu->RootPanel);
            SaveMenu->SetCallback(ZRBaseCallback1<void, int>());
        }
        ReleaseAndDelete(TitleMenu);
        ReleaseAndDelete(ConfigMenu);
        ReleaseAndDelete(SaveMenu);
    });
    if (!TitleMenu || !ConfigMenu || !SaveMenu) TerminateAndEnd();
    auto check = [this](bool ok, const char* module) {
        if (ok) return;
        std::fprintf(stderr, "GameErr: %s cannot be set up\n", module);
        TerminateAndEnd();
    };
    check(TitleMenu->Setup(GameFileMan), "TTitleMenu");
    check(ConfigMenu->Setup(GameFileMan), "TConfigMenu");
    check(SaveMenu->Setup(GameFileMan), "TSaveMenu");
    ConfigMenu->SetCallback(ZRBaseCallback1<void, int>(TitleMenu, &TTitleMenu::ConfigMenuCallback));
    SaveMenu->SetCallback(ZRBaseCallback1<void, int>(TitleMenu, &TTitleMenu::SaveMenuCallback));

    if (FirstRun) {
        Form->SetCursorType(-1);
        TitleMenu->BeginTitleCall();
        Form->AttachLayer(TitleMenu->TitleCallPanel);
        SetOnFrame(ZRBaseCallback1<void, int>(TitleMenu, &TTitleMenu::TitleCallFrame));
        SetOnInput(
            ZRBaseCallback2<void, int, TDInputUnit*>(TitleMenu, &TTitleMenu::TitleCallInput));
        BeginMenuMode();
        WaitFrame();
        TitleMenu->EndTitleCall();
        SetOnFrame(ZRBaseCallback1<void, int>());
        SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>());
        Form->DetachLayer(TitleMenu->TitleCallPanel);
        StopBGM(true);
        RunMovie(kOpeningMovie, true);
        Form->SetCursorType(0);
        FirstRun = false;
    }

    TitleMenu->Prepare();
    PlayBGM(kTitleTrack, true, true);
    MaskTransitionToPanel(29, TitleMenu->RootPanel);
    Form->PlayVoice(GameFileMan, GameRandom.Random(256) < 128 ? "TitleVoice03H" : "TitleVoice03A");
    Form->AttachLayer(TitleMenu->RootPanel);
    titleAttached = true;

    const ZRBaseCallback2<void, int, TDInputUnit*> none;
    Result.store(0);
    for (bool leave = false; !leave;) {
        switch (Result.load()) {
            case 0:
                GameEnded = false;
                TitleMenu->StartIdle();
                SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>(TitleMenu,
                                                                    &TTitleMenu::HandleKeyInput));
                BeginMenuMode();
                WaitFrame();
                SetOnInput(none);
                TitleMenu->StopIdle();
                if (Form->IsVoicePlaying()) Form->StopVoice();
                break;
            case tmConfig:
                Form->DetachLayer(TitleMenu->RootPanel);
                ConfigMenu->UpdateControls();
                Form->AttachLayer(ConfigMenu->RootPanel);
                MaskTransitionToPanel(24, Form->RootPanel);
                SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>(ConfigMenu,
                                                                    &TConfigMenu::HandleKeyInput));
                BeginMenuMode();
                WaitFrame();
                SetOnInput(none);
                UserSettings.Save();
                Form->DetachLayer(ConfigMenu->RootPanel);
                Form->AttachLayer(TitleMenu->RootPanel);
                if (Result.load() == 0) MaskTransitionToPanel(24, Form->RootPanel);
                break;
            case tmLoaded: {
                CurrentState.Reset();
                CurrentState.CopySysFlags(SysData);
                CurrentState.CopySysValues(SysData);
                SaveMenu->Open(1);
                Form->AttachLayer(SaveMenu->RootPanel);
                MaskTransitionToPanel(1, Form->RootPanel);
                Form->PushCursorType();
                Form->SetCursorType(0);
                SetOnInput(
                    ZRBaseCallback2<void, int, TDInputUnit*>(SaveMenu, &TSaveMenu::HandleKeyInput));
                BeginMenuMode();
                {
                    Undo restore([this] {
                        SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>());
                        Form->PopCursorType();
                        Form->DetachLayer(SaveMenu->RootPanel);
                    });
                    WaitFrame();
                }
                if (Result.load() == 0) MaskTransitionToPanel(1, Form->RootPanel);
                SaveMenu->Close();
                if (Result.load() == tmLoaded) leave = true;
                break;
            }
            case tmNewGame:
                CurrentState.Reset();
                CurrentState.CopySysFlags(SysData);
                CurrentState.CopySysValues(SysData);
                leave = true;
                break;
            default:
                leave = true;
                break;
        }
    }
}

void TGameThread::NewGame(const ZRString& scene) {
    PlayThrough(&scene);
}

void TGameThread::LoadGame() {
    PlayThrough(nullptr);
}

void TGameThread::PlayThrough(const ZRString* scene) {
    Form->PushCursorType();
    Form->SetCursorType(0);
    Undo undo([this] {
        DeleteScreenUnits();
        Form->PopCursorType();
    });
    StopBGM(true);
    MaskTransitionToClear(0);
    BeginWaitMode();
    CreateScreenUnits();
    bool started;
    if (scene) {
        started = AvgUnit->StartScenario(*scene);
        WaitVoiceEnd();
    } else {
        started = AvgUnit->ResumeAfterLoad();
    }
    AfterScenarioEntry(started);
    RunAvgLoop();
}

void TGameThread::RunAlbum() {
    AlbumMenu = MemMan->Create<TAlbumMenu>();
    if (!AlbumMenu) TerminateAndEnd();
    bool attached = false;
    Undo undo([this, &attached] {
        SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>());
        if (attached) Form->DetachLayer(AlbumMenu->RootPanel);
        ReleaseAndDelete(AlbumMenu);
    });
    if (!AlbumMenu->Setup(GameFileMan)) {
        std::fprintf(stderr, "GameErr: TAlbumMenu cannot be set up\n");
        TerminateAndEnd();
    }
    AlbumMenu->LoadTable();
    PlayBGM(TAlbumMenu::kAlbumTrack, true, true);
    AlbumMenu->Prepare();
    MaskTransitionToPanel(27, AlbumMenu->RootPanel);
    Form->AttachLayer(AlbumMenu->RootPanel);
    attached = true;
    SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>(AlbumMenu, &TAlbumMenu::HandleKeyInput));
    BeginMenuMode();
    WaitFrame();
}

void TGameThread::RunMusicRoom() {
    SoundMenu = MemMan->Create<TSoundMenu>();
    if (!SoundMenu) TerminateAndEnd();
    bool attached = false;
    Undo undo([this, &attached] {
        SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>());
        if (attached) Form->DetachLayer(SoundMenu->RootPanel);
        ReleaseAndDelete(SoundMenu);
    });
    if (!SoundMenu->Setup(GameFileMan)) {
        std::fprintf(stderr, "GameErr: TSoundMenu cannot be set up\n");
        TerminateAndEnd();
    }
    SoundMenu->LoadTable();
    StopBGM(true);
    SoundMenu->Prepare();
    MaskTransitionToPanel(27, SoundMenu->RootPanel);
    Form->AttachLayer(SoundMenu->RootPanel);
    attached = true;
    SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>(SoundMenu, &TSoundMenu::HandleKeyInput));
    BeginMenuMode();
    WaitFrame();
}
