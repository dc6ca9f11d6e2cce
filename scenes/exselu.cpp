// The extra selection window.
#include "scenes/exselu.h"

#include "game/gamef.h"
#include "game/gamefunc.h"

TExSelUnit::TExSelUnit() : ExSelWin(new TNyRGBPanel(nullptr)) {
    ExSelWin->SetSizeX(1280);
    ExSelWin->SetSizeY(720);
    ExSelWin->SetVisible(false);
    ExSelWin->OnMouseDown = [this](TNyRGBPanel* s, TMouseButton b, TShiftState sh, int x, int y) {
        ExSelWinMouseDown(s, b, sh, x, y);
    };
    ExSelWin->OnDraw = [this](TNyRGBPanel* s, TNyRGBBits* d, int x, int y, int sx, int sy,
                              int dx, int dy) { return ExSelPanelDraw(s, d, x, y, sx, sy, dx, dy); };
    ExSelWin->OnCreate = [this](TNyRGBPanel* s) { PanelCreate(s); };
    ExSelWin->OnRelease = [this](TNyRGBPanel* s) { PanelRelease(s); };
}

TExSelUnit::~TExSelUnit() {
    if (SetUp) Release();
    delete ExSelWin;
}

bool TExSelUnit::Setup(ZRFileMan* files) {
    if (!files) return false;
    Files = files;
    if (!ExSelWin->AllCreate()) return false;
    State = esRest;
    SetUp = true;
    return true;
}

void TExSelUnit::Release() {
    Detach();
    if (ExSelWin->GetCreated()) ExSelWin->AllRelease();
    Callback = ZRBaseCallback1<void, int>();
    State = esNone;
    SetUp = false;
}

void TExSelUnit::Attach(TNyRGBPanel* parent) { ExSelWin->SetParent(parent); }
void TExSelUnit::Detach() { ExSelWin->SetParent(nullptr); }

void TExSelUnit::Send(int code) {
    if (Callback.IsSet()) Callback.Call(code);
}

void TExSelUnit::Choose() {
    ResultValue = 0;
    State = esChosen;
    Send(5);
}

void TExSelUnit::Show(bool instant) {
    ExSelWin->SetVisible(true);
    ExSelWin->SetModify();
    ResultValue = -1;
    if (instant) {
        Choose();
    } else {
        FadeCounter = kFadeFrames;
        State = esAppearing;
    }
}

void TExSelUnit::Hide(bool instant) {
    if (instant) {
        ExSelWin->SetVisible(false);
        State = esRest;
    } else {
        FadeCounter = kFadeFrames;
        State = esDisappearing;
    }
}

void TExSelUnit::Frame(int32_t ticks, bool skipping) {
    if (ticks <= 0 || !SetUp) return;
    switch (State) {
        case esAppearing:
        case esDisappearing:
            if (skipping && FadeCounter > 1) FadeCounter = 1;
            if (FadeCounter > 0) {
                --FadeCounter;
                ExSelWin->SetModify();
            }
            if (FadeCounter > 0) break;
            if (State == esAppearing) {
                Choose();
            } else {
                ExSelWin->SetVisible(false);
                State = esRest;
            }
            break;
        case esChosen:
            Send(6);
            break;
        default:
            break;
    }
}

void TExSelUnit::BtnClick(int tag) {
    if (State != esRest) return;
    if (GameForm) GameForm->PlaySysSE(0);
    ResultValue = tag;
    Send(5);
    Send(6);
}

void TExSelUnit::BtnMouseDown(TNyRGBPanel*, TMouseButton button, TShiftState, int, int) {
    if (button == mbRight)
        Send(2);
    else if (button == mbLeft && State == esChosen)
        Send(1);
}

void TExSelUnit::BtnMouseEnter(TNyRGBPanel* sender) {
    if (State == esRest && sender && sender->GetVisible() && GameForm) GameForm->PlaySysSE(3);
}

void TExSelUnit::ExSelWinMouseDown(TNyRGBPanel*, TMouseButton button, TShiftState, int, int) {
    if (button == mbLeft) Send(1);
    if (button == mbRight) Send(2);
}

bool TExSelUnit::ExSelPanelDraw(TNyRGBPanel* sender, TNyRGBBits* dest, int x, int y, int sx,
                                int sy, int dx, int dy) {
    int rate;
    if (State == esAppearing)
        rate = 128 - FadeCounter * 8;
    else if (State == esDisappearing)
        rate = FadeCounter * 8;
    else
        return false;
    DrawPanelImage(sender, dest, x, y, sx, sy, dx, dy, rate);
    return true;
}

void TExSelUnit::PanelCreate(TNyRGBPanel* sender) {
    if (!sender->GetText().IsEmpty()) SetPanelImageFile(sender, Files, sender->GetText());
}

void TExSelUnit::PanelRelease(TNyRGBPanel* sender) { ReleasePanelImage(sender); }
