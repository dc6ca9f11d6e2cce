// The title screen.
#include "flow/ptitlemenu.h"

#include "devices/dinputu.h"
#include "flow/dialogu.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gameeffect.h"
#include "game/gamef.h"
#include "game/gamefunc.h"
#include "game/maint.h"
#include "platform/codepage.h"
#include "widgets/nyrgbtext.h"

TTitleMenu* TitleMenu = nullptr;

namespace {

constexpr int32_t kMusicRoomFlag = 63;
// The mode code of each item of the cursor list.
constexpr int32_t kItemCodes[6] = {1, 2, 4, 5, 6, 8};

void FreeBits(TNyRGBBits* bits) {
    if (bits && MemMan) MemMan->Delete(bits);
}

// The two cleared screens a step of the title call fades between; none is left behind when the
// second cannot be made.
void CreateCallScreens(TNyRGBBits*& a, TNyRGBBits*& b) {
    a = CreateScreenBits();
    try {
        b = CreateScreenBits();
    } catch (...) {
        FreeBits(a);
        throw;
    }
    a->Cls();
    b->Cls();
}

}  // namespace

TTitleMenu::TTitleMenu() {
    RootPanel = Make<TNyRGBPanel>(nullptr, 0, 0, 1280, 720);
    RootPanel->SetKeyControl(true);
    TitleBack = Make<TNyRGBPanel>(RootPanel, 0, 0, 1280, 720, "TitleBack.png");
    BtnStart = Make<TMenuSimple>(TitleBack, 486, 289, 0, 0, "TitleStart.png");
    BtnLoad = Make<TMenuSimple>(TitleBack, 486, 344, 0, 0, "TitleLoad.png");
    BtnExit = Make<TMenuSimple>(TitleBack, 486, 564, 0, 0, "TitleExit.png");
    BtnAlbum = Make<TMenuSimple>(TitleBack, 486, 399, 0, 0, "TitleAlbum.png");
    BtnConfig = Make<TMenuSimple>(TitleBack, 486, 509, 0, 0, "TitleOption.png");
    ExeTimeText = MakeInfoText("EXE 2003/01/01 00:00");
    ScrTimeText = MakeInfoText("SCR 2003/01/01 00:00");
    TitleCallPanel = Make<TNyRGBPanel>(nullptr, 0, 0, 1280, 720);
    BtnSound = Make<TMenuSimple>(TitleBack, 486, 454, 0, 0, "TitleSound.png");
    TitleCallPanel->OnClick = [this](TNyRGBPanel*) { CallStep = -1; };
    TMenuSimple* order[6] = {BtnStart, BtnLoad, BtnAlbum, BtnSound, BtnConfig, BtnExit};
    for (int i = 0; i < 6; ++i) {
        TMenuSimple* b = order[i];
        CursorList[i] = b;
        b->SetNumBlock(2);
        b->SetFrameNum(1, 1);
        b->SetAnimeWait(8);
        b->OnClick = [this, i](TNyRGBPanel*) { Click(i); };
        b->OnMouseEnter = [this, i](TNyRGBPanel*) {
            menu::PlaySound(menu::seCursor);
            SetCursor(i);
        };
    }
    RootPanel->OnAnime = [this](TNyRGBPanel*) {
        if (IdleCounter < 0) return;
        if (++IdleCounter >= kIdleTicks) {
            StopIdle();
            EndWait(7);
        }
    };
}

TNyRGBText* TTitleMenu::MakeInfoText(const char* text) {
    auto* t = Make<TNyRGBText>(TitleBack, 0, 0, 160, 16);
    plat::TFont font;
    font.charset = 134;
    font.name = plat::GbkText("黑体");
    font.height = -16;
    t->SetFont(&font);
    t->SetFontSize(16);
    t->SetTextColor(0x000000);
    t->SetText(text);
    t->SetVisible(false);
    t->SetMouseControl(false);
    t->OnCreate = [](TNyRGBPanel* s) { InfoTextCreate(static_cast<TNyRGBText*>(s)); };
    t->OnRelease = [](TNyRGBPanel* s) { InfoTextRelease(static_cast<TNyRGBText*>(s)); };
    return t;
}

void TTitleMenu::InfoTextCreate(TNyRGBText* text) {
    text->MakeBuffer(WorkBitDepth == bd24 ? pf24_888 : pf32_888);
}

void TTitleMenu::InfoTextRelease(TNyRGBText* text) {
    text->ReleaseBuffer();
}

TTitleMenu::~TTitleMenu() {
    if (SetUp) Release();
    EndTitleCall();
}

bool TTitleMenu::Setup(ZRFileMan* files) {
    if (!files) return false;
    Files = files;
    if (!RootPanel->AllCreate()) {
        RootPanel->AllRelease();
        return false;
    }
    SetUp = true;
    return true;
}

void TTitleMenu::Release() {
    if (SetUp && RootPanel->GetCreated()) RootPanel->AllRelease();
    SetUp = false;
}

void TTitleMenu::Prepare() {
    BtnSound->SetVisible(SysData.GetFlag(kMusicRoomFlag));
    SetCursor(0);
}

void TTitleMenu::SetCursor(int32_t n) {
    Cursor = n >= 0 && n < 6 ? n : -1;
    for (int i = 0; i < 6; ++i) CursorList[i]->SetGroupIndex(i == Cursor ? 1 : 0);
}

void TTitleMenu::Click(int32_t item) {
    if (item == 5) {
        ExitClick();
        return;
    }
    menu::PlaySound(menu::seOK);
    EndWait(kItemCodes[item]);
}

void TTitleMenu::ExitClick() {
    if (!UserSettings.ExitConfirm) {
        menu::PlaySound(menu::seOK);
        EndWait(8);
        return;
    }
    if (!DlgUnit || DlgUnit->IsBusy() || DlgUnit->IsVisible()) return;
    StopIdle();
    menu::PlaySound(menu::seOpen);
    DlgUnit->SetKind(0);
    DlgUnit->SetCallback(ZRBaseCallback1<void, int>(this, &TTitleMenu::DialogCallback));
    DlgUnit->Attach(RootPanel);
    DlgUnit->ShowConfirm(false);
}

void TTitleMenu::DialogCallback(int code) {
    switch (code) {
        case 8: {
            DlgUnit->Detach();
            DlgUnit->SetCallback(ZRBaseCallback1<void, int>());
            if (DlgUnit->GetAnswer()) EndWait(8);
            break;
        }
        case 14:
            DlgUnit->Hide(false);
            break;
        case 15:
            StartIdle();
            DlgUnit->Hide(false);
            break;
        default:
            break;
    }
}

void TTitleMenu::ConfigMenuCallback(int code) {
    if (code == 6) EndWait(0);
}

void TTitleMenu::SaveMenuCallback(int code) {
    if (code == 5) EndWait(2);
    if (code == 6) EndWait(0);
}

void TTitleMenu::HandleKeyInput(int, TDInputUnit* input) {
    if (!input) return;
    const menu::Pad pad = menu::ReadPad(input, true);
    if (pad.decide) {
        if (Cursor >= 0 && Cursor < 6) Click(Cursor);
        return;
    }
    const int32_t d = pad.direction;
    if (d < 0) return;
    if (Cursor < 0) {
        menu::PlaySound(menu::seCursor);
        SetCursor(0);
        return;
    }
    if (d != 0 && d != 4) return;
    menu::PlaySound(menu::seCursor);
    const int32_t step = d == 0 ? 5 : 1;  // backwards is five forwards in a ring of six
    int32_t c = Cursor;
    for (int tries = 0; tries < 6; ++tries) {
        c = (c + step) % 6;
        if (CursorList[c]->GetVisible()) {
            SetCursor(c);
            return;
        }
    }
}

// ---- The title call ----

void TTitleMenu::SetDrawHooks(bool on) {
    if (!GameForm) return;
    GameForm->SetOnDraw(on ? ZRBaseCallback2<void, TNyRGBBits*, int>(this, &TTitleMenu::DrawCall)
                           : ZRBaseCallback2<void, TNyRGBBits*, int>());
    GameForm->SetOnDrawModified(on ? ZRBaseCallback3<void, TNyRGBBits*, int, ZRRectSet*>(
                                         this, &TTitleMenu::DrawCallModified)
                                   : ZRBaseCallback3<void, TNyRGBBits*, int, ZRRectSet*>());
}

void TTitleMenu::DrawCall(TNyRGBBits* target, int yoff) {
    GameForm->DrawTransition(target, yoff, nullptr);
}

void TTitleMenu::DrawCallModified(TNyRGBBits* target, int yoff, ZRRectSet* dirty) {
    GameForm->DrawTransition(target, yoff, dirty);
}

bool TTitleMenu::StartCallTransition(TNyRGBBits* from, TNyRGBBits* to) {
    // The window owns the pair from here on, started or refused.
    if (!GameForm->StartTransition(2, from, to)) return false;
    SetDrawHooks(true);
    GameForm->ResetFrameClock();
    return true;
}

bool TTitleMenu::BeginTitleCall() {
    CallStep = 0;
    CallCounter = 0;
    if (!GameForm) return false;
    if (!callPanelMade_) {
        callPanelMade_ = TitleCallPanel->AllCreate();
        SetPanelImageFile(TitleCallPanel, Files, "TitleCall01.png");
    }
    TNyRGBBits *a = nullptr, *b = nullptr;
    CreateCallScreens(a, b);
    TitleCallPanel->Draw(b);
    // Without the first fade the call goes on from its first voice.
    return StartCallTransition(a, b);
}

void TTitleMenu::PlayCallVoice(const char* h, const char* a) {
    if (GameForm) GameForm->PlayVoice(Files, GameRandom.Random(256) < 128 ? h : a);
}

void TTitleMenu::TitleCallFrame(int ticks) {
    if (ticks <= 0 || !GameForm) return;
    if (CallStep >= 0 && CallStep % 2 == 0) {
        if (GameForm->IsTransitionIdle()) {
            SetDrawHooks(false);
            GameForm->StopTransition();
            switch (CallStep) {
                case 0:
                    PlayCallVoice("TitleVoice01H", "TitleVoice01A");
                    CallStep = 1;
                    break;
                case 2:
                    PlayCallVoice("TitleVoice02H", "TitleVoice02A");
                    CallStep = 3;
                    break;
                case 4:
                    CallStep = 5;
                    break;
                default:
                    CallStep = -1;
                    break;
            }
            CallCounter = 0;
        } else {
            GameForm->AdvanceTransition(ticks);
        }
    } else if (CallStep > 0) {
        CallCounter += ticks;
        if (!GameForm->IsVoicePlaying() && CallCounter > kCallPause) {
            TNyRGBBits *a = nullptr, *b = nullptr;
            CreateCallScreens(a, b);
            TitleCallPanel->Draw(a);
            if (CallStep == 5) {
                b->BoxFill(0, 0, 1279, 719, 0);
            } else {
                if (TNyRGBBits* pic = TitleCallPanel->GetImage())
                    DrawImageFile(pic, TitleCallPanel->GetAlpha(),
                                  CallStep == 1 ? "TitleCall02.png" : "TitleCall03.png", 0, 0,
                                  Files);
                TitleCallPanel->Draw(b);
            }
            if (StartCallTransition(a, b))
                ++CallStep;
            else
                CallStep = -1;
        }
    } else {
        SetDrawHooks(false);
        GameForm->StopTransition();
        CallStep = -1;
    }
    if (CallStep < 0) EndWait(0);
}

void TTitleMenu::TitleCallInput(int, TDInputUnit* input) {
    if (input && (input->IsPush(0) || input->IsPush(1))) CallStep = -1;
}

void TTitleMenu::EndTitleCall() {
    if (!callPanelMade_) return;
    SetDrawHooks(false);
    ReleasePanelImage(TitleCallPanel);
    TitleCallPanel->AllRelease();
    callPanelMade_ = false;
}
