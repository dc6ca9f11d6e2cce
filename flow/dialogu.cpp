// The confirmation dialog.
#include "flow/dialogu.h"

#include "devices/dinputu.h"
#include "game/gamef.h"
#include "game/gamefunc.h"
#include "game/maint.h"

TDlgUnit* DlgUnit = nullptr;

namespace {

const char* const kBasePictures[3] = {"CfmBaseExit.png", "CfmBaseSave.png", "CfmBaseTitle.png"};
constexpr int kFrameW = 558, kFrameH = 329;

}  // namespace

TDlgUnit::TDlgUnit() {
    DlgWin = Make<TNyRGBPanel>(nullptr, 0, 0, 1280, 720);
    RootPanel = DlgWin;
    DlgWin->SetVisible(false);
    DlgWin->SetKeyControl(true);
    DlgFrame =
        Make<TNyRGBPanel>(DlgWin, (1280 - kFrameW) / 2, (720 - kFrameH) / 2, kFrameW, kFrameH);
    DlgYes = Make<TMenuSimple>(DlgFrame, 40, 182, 0, 0, "CfmYes.png");
    DlgNo = Make<TMenuSimple>(DlgFrame, 271, 182, 0, 0, "CfmNo.png");
    DlgLight = Make<TNyRGBPanel>(DlgFrame, 271, 182, 0, 0, "CfmLight.png");
    DlgLight->SetVisible(false);
    DlgLight->SetMouseControl(false);
    for (TMenuSimple* b : {DlgYes, DlgNo}) {
        b->SetNumBlock(2);
        b->SetFrameNum(1, 1);
    }
    auto fade = [this](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy, int dx,
                       int dy) {
        DrawPanelImage(p, d, x, y, sx, sy, dx, dy, FadeLevel());
        return true;
    };
    DlgFrame->OnDraw = DlgYes->OnDraw = DlgNo->OnDraw = fade;
    DlgLight->OnDraw = [](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy, int dx,
                          int dy) {
        DrawPanelImageAdd(p, d, x, y, sx, sy, dx, dy);
        return true;
    };
    DlgYes->OnClick = [this](TNyRGBPanel*) {
        if (State != 1) return;
        Select(0);
        Decide();
    };
    DlgNo->OnClick = [this](TNyRGBPanel*) {
        if (State != 1) return;
        Select(1);
        Decide();
    };
    DlgYes->OnMouseEnter = [this](TNyRGBPanel*) {
        if (State != 1) return;
        menu::PlaySound(menu::seCursor);
        Select(0);
    };
    DlgNo->OnMouseEnter = [this](TNyRGBPanel*) {
        if (State != 1) return;
        menu::PlaySound(menu::seCursor);
        Select(1);
    };
    BindRightClick(DlgWin, [this](TNyRGBPanel*, TMouseButton b, TShiftState, int, int) {
        if (b == mbRight && State == 1) Cancel();
    });
}

TDlgUnit::~TDlgUnit() {
    if (SetUp) Release();
    // The window goes with the screen it was attached to unless it leaves first.
    if (DlgWin->GetParent()) DlgWin->SetParent(nullptr);
}

bool TDlgUnit::Setup(ZRFileMan* files) {
    if (!files) return false;
    Files = files;
    if (!DlgWin->AllCreate()) return false;
    State = 1;
    SetUp = true;
    return true;
}

void TDlgUnit::Release() {
    RestoreFrameSlots();
    ReleaseBase();
    if (DlgWin->GetCreated()) DlgWin->AllRelease();
    State = 0;
    SetUp = false;
}

void TDlgUnit::Attach(TNyRGBPanel* parent) {
    DlgWin->SetParent(parent);
}

void TDlgUnit::Detach() {
    if (SlotsSaved) ReleaseBase();
    DlgWin->SetParent(nullptr);
}

bool TDlgUnit::IsVisible() const {
    return State != 3 && DlgWin->GetVisible();
}

void TDlgUnit::LoadBase() {
    ReleaseBase();
    if (Kind >= 0 && Kind <= 2) SetPanelImageFile(DlgFrame, Files, kBasePictures[Kind]);
}

void TDlgUnit::ReleaseBase() {
    if (DlgFrame->GetImage()) ReleasePanelImage(DlgFrame);
}

bool TDlgUnit::ShowConfirm(bool atOnce) {
    LoadBase();
    Select(-1);
    DlgWin->SetVisible(true);
    if (Kind >= 0 && Kind <= 2 && !SaveFrameSlots()) throw EGameErr();
    if (atOnce) {
        Select(1);
        State = 1;
        Send(7);
    } else {
        Counter = kFadeFrames;
        State = 2;
        DlgWin->SetModify();
    }
    return IsBusy();
}

bool TDlgUnit::Hide(bool atOnce) {
    Select(-1);
    if (atOnce) {
        FinishClose();
    } else {
        Counter = kFadeFrames;
        State = 3;
        DlgWin->SetModify();
    }
    return IsBusy();
}

void TDlgUnit::FinishClose() {
    RestoreFrameSlots();
    ReleaseBase();
    DlgWin->SetVisible(false);
    State = 1;
    Send(8);
}

bool TDlgUnit::SaveFrameSlots() {
    TMainThread* thread = MainThread.load();
    if (SlotsSaved || !thread || !GameForm) return false;
    const uint8_t mode = GameForm->GetScreenMode();
    if (mode != smMenu && mode != smAdventure) return false;
    thread->GetOnFrame(SavedFrame);
    thread->GetOnInput(SavedInput);
    thread->SetOnFrame(ZRBaseCallback1<void, int>(this, &TDlgUnit::OnFrame));
    thread->SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>(this, &TDlgUnit::HandleKeyInput));
    GameForm->ResetFrameClock();
    SlotsSaved = true;
    return true;
}

void TDlgUnit::RestoreFrameSlots() {
    if (!SlotsSaved) return;
    if (TMainThread* thread = MainThread.load()) {
        thread->SetOnFrame(SavedFrame);
        thread->SetOnInput(SavedInput);
    }
    if (GameForm) GameForm->ResetFrameClock();
    SavedFrame = ZRBaseCallback1<void, int>();
    SavedInput = ZRBaseCallback2<void, int, TDInputUnit*>();
    SlotsSaved = false;
}

void TDlgUnit::OnFrame(int) {
    Step();
}

void TDlgUnit::Step() {
    if (State != 2 && State != 3) return;
    if (Counter > 0) {
        --Counter;
        DlgWin->SetModify();
    }
    if (Counter > 0) return;
    if (State == 2) {
        Select(1);
        State = 1;
        Send(7);
    } else {
        FinishClose();
    }
}

int32_t TDlgUnit::FadeLevel() const {
    if (State == 2) return (5 - Counter) * 128 / 5;
    if (State == 3) return Counter * 128 / 5;
    return 128;
}

void TDlgUnit::Select(int32_t n) {
    if (n == 0 || n == 1) {
        Selection = n;
        DlgYes->SetGroupIndex(n == 0 ? 1 : 0);
        DlgNo->SetGroupIndex(n == 1 ? 1 : 0);
        DlgLight->SetOffsetX((n == 0 ? DlgYes : DlgNo)->GetOffsetX());
        DlgLight->SetVisible(true);
    } else {
        Selection = -1;
        DlgYes->SetGroupIndex(0);
        DlgNo->SetGroupIndex(0);
        DlgLight->SetVisible(false);
    }
    DlgFrame->SetModify();
}

void TDlgUnit::Decide() {
    if (State != 1 || Selection < 0) return;
    menu::PlaySound(menu::seOK);
    Answer = Selection == 0;
    Send(Answer ? 14 : 15);
}

void TDlgUnit::Cancel() {
    if (State != 1) return;
    menu::PlaySound(menu::seCancel);
    Answer = false;
    Send(15);
}

void TDlgUnit::HandleKeyInput(int, TDInputUnit* input) {
    if (State != 1 || !input) return;
    const menu::Pad pad = menu::ReadPad(input, false);
    if (pad.decide) {
        Decide();
    } else if (pad.cancel || input->IsPush(8)) {
        Cancel();
    } else if (pad.direction == 2) {
        menu::PlaySound(menu::seCursor);
        Select(Selection == -1 || Selection == 1 ? 0 : 1);
    } else if (pad.direction == 6) {
        menu::PlaySound(menu::seCursor);
        Select(Selection == 1 ? 0 : 1);
    }
}
