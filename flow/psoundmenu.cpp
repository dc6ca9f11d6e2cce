// The music room.
#include "flow/psoundmenu.h"

#include "devices/dinputu.h"
#include "flow/menucommon.h"
#include "flow/pmenuservices.h"
#include "game/gamedef.h"
#include "game/gamefunc.h"
#include "platform/codepage.h"
#include "widgets/nyrgbanime.h"
#include "widgets/nyrgbtext.h"

TSoundMenu* SoundMenu = nullptr;

namespace {

constexpr int kBaseX = 482, kBaseY = 149;
constexpr int kFlagX = 428, kFlagY = 148;

template <class T>
T* Child(TNyRGBPanel* parent, int x, int y, const char* picture) {
    T* p = new T(parent, parent);  // owned by the root, which deletes them
    p->SetOffsetX(x);
    p->SetOffsetY(y);
    if (picture) p->SetText(picture);
    return p;
}

}  // namespace

TSoundMenu::TSoundMenu(MenuServices* services)
    : services_(services ? services : MenuServices::Window()) {
    auto mouseDown = [this](TNyRGBPanel* s, TMouseButton b, TShiftState sh, int x, int y) {
        DefaultMouseDown(s, b, sh, x, y);
    };
    auto cursorSound = [this](TNyRGBPanel*) { services_->PlaySysSE(menu::seCursor); };
    RootPanel = new TNyRGBPanel(nullptr);
    RootPanel->SetSizeX(1280);
    RootPanel->SetSizeY(720);
    RootPanel->SetText("SoundBG.png");
    RootPanel->OnMouseDown = mouseDown;
    RootPanel->OnMouseWheel = [this](TNyRGBPanel*, TShiftState, int delta, const TPoint&,
                                     bool& handled) {
        handled = true;
        if (delta != 0 && ScrollBy(delta < 0 ? 1 : -1)) services_->PlaySysSE(menu::seCursor);
    };
    RootPanel->OnAnime = [this](TNyRGBPanel*) { SoundPanelAnime(); };

    auto arrow = [&](int y, const char* picture, int delta) {
        TNyRGBSimple* a = Child<TNyRGBSimple>(RootPanel, 789, y, picture);
        a->SetVisible(false);
        a->SetNumBlock(6);
        a->SetFrameNum(0, 5);
        a->SetFrameNum(1, 1);
        a->SetAnimeWait(3);
        a->OnClick = [this, delta](TNyRGBPanel*) {
            if (ScrollBy(delta)) services_->PlaySysSE(menu::seCursor);
        };
        a->OnMouseEnter = cursorSound;
        a->OnMouseDown = mouseDown;
        return a;
    };
    SoundUp = arrow(120, "SoundUp.png", -1);
    SoundDown = arrow(602, "SoundDown.png", 1);

    SoundBase = Child<TNyRGBPanel>(RootPanel, kBaseX, kBaseY, "SoundBase.png");
    SoundBase->SetVisible(false);
    SoundBase->SetMouseControl(false);

    static const plat::TFont font{134, plat::GbkText("黑体"), -40};
    for (int r = 0; r < kRows; ++r) {
        const int y = kRowStep * r;
        TNyRGBPanel* shadow = Child<TNyRGBPanel>(RootPanel, 572, 158 + y, nullptr);
        shadow->SetAutoSize(false);
        shadow->SetSizeX(480);
        shadow->SetSizeY(40);
        shadow->SetMouseControl(false);
        // Black through the title's coverage, at half strength.
        shadow->OnDraw = [](TNyRGBPanel* s, TNyRGBBits* d, int x, int yy, int sx, int sy, int dx,
                            int dy) {
            FillPanelAlpha(s, d, x, yy, sx, sy, dx, dy, 0x000000, 128);
            return true;
        };
        SoundShadow[r] = shadow;

        TNyRGBText* name = Child<TNyRGBText>(RootPanel, 570, 156 + y, nullptr);
        name->SetSizeX(480);
        name->SetSizeY(40);
        name->SetAntiAliase(true);
        name->SetFont(&font);
        name->SetFontSize(40);
        name->SetMouseControl(false);
        SoundName[r] = name;

        TNyRGBPanel* area = Child<TNyRGBPanel>(RootPanel, kBaseX, kBaseY + y, nullptr);
        area->OnClick = [this, r](TNyRGBPanel*) {
            if (!RowHasTrack(r)) return;
            SetCursor(r);
            Choose();
        };
        area->OnMouseEnter = [this, r](TNyRGBPanel*) {
            if (!RowHasTrack(r)) return;
            services_->PlaySysSE(menu::seCursor);
            SetCursor(r);
        };
        area->OnMouseDown = mouseDown;
        SoundArea[r] = area;
    }

    SoundFlag = Child<TNyRGBSimple>(RootPanel, kFlagX, kFlagY, "SoundFlag.png");
    SoundFlag->SetVisible(false);
    SoundFlag->SetNumBlock(4);
    SoundFlag->SetFrameNum(0, 4);
    SoundFlag->SetAnimeWait(6);
    SoundFlag->SetMouseControl(false);

    CloseBtn = Child<TNyRGBSBtn>(RootPanel, 1105, 637, "CmBtnBack.png");
    CloseBtn->SetNumBlock(2);
    CloseBtn->OnClick = [this](TNyRGBPanel*) { Leave(); };
    CloseBtn->OnMouseEnter = cursorSound;
    CloseBtn->OnMouseDown = mouseDown;

    for (TNyRGBPanel* p : {RootPanel, static_cast<TNyRGBPanel*>(SoundUp),
                           static_cast<TNyRGBPanel*>(SoundDown), SoundBase,
                           static_cast<TNyRGBPanel*>(SoundFlag),
                           static_cast<TNyRGBPanel*>(CloseBtn)}) {
        p->OnCreate = [this](TNyRGBPanel* s) { PanelCreate(s); };
        p->OnRelease = [this](TNyRGBPanel* s) { PanelRelease(s); };
    }
}

TSoundMenu::~TSoundMenu() {
    if (SetUp) Release();
    delete RootPanel;  // the children go with it
}

void TSoundMenu::PanelCreate(TNyRGBPanel* sender) {
    // A missing decoration leaves its widget blank; the room still works.
    if (!sender->GetText().IsEmpty()) SetPanelImageFile(sender, Files, sender->GetText());
}

void TSoundMenu::PanelRelease(TNyRGBPanel* sender) { ReleasePanelImage(sender); }

bool TSoundMenu::Setup(ZRFileMan* files) {
    if (!files) return false;
    Files = files;
    if (!RootPanel->AllCreate()) return false;
    const ZRPixFormat format = WorkBitDepth == bd24 ? pf24_888 : pf32_888;
    for (int r = 0; r < kRows; ++r) {
        if (!SoundName[r]->MakeBuffer(format)) return false;
        SoundShadow[r]->SetAlpha(SoundName[r]->GetAlpha());
        SoundShadow[r]->SetMaskMode(3);
        SoundArea[r]->SetSizeX(SoundBase->GetSizeX());
        SoundArea[r]->SetSizeY(SoundBase->GetSizeY());
    }
    SetUp = true;
    return true;
}

void TSoundMenu::Release() {
    for (int r = 0; r < kRows; ++r) {
        SoundShadow[r]->SetAlpha(nullptr);
        SoundName[r]->ReleaseBuffer();
    }
    if (RootPanel->GetCreated()) RootPanel->AllRelease();
    SetUp = false;
}

void TSoundMenu::LoadTable() {
    ZRStream* s = Files ? Files->Open("SoundTbl.csv") : nullptr;
    ReadSoundTable(s, Table);
    if (s) Files->Close(s);
    Playing = -1;
    Cursor = -1;
    ShowList(0);
    SetCursor(0);
}

void TSoundMenu::Prepare() {
    Playing = -1;
    heard_ = false;
    SoundFlag->SetVisible(false);
}

void TSoundMenu::ShowList(int top) {
    // Fewer than seven tracks: the list starts at the first and the rest stay blank.
    if (top > Table.Count - kRows) top = Table.Count - kRows;
    if (top < 0) top = 0;
    Top = top;
    for (int r = 0; r < kRows; ++r) {
        const int i = Top + r;
        SoundName[r]->SetText(i < Table.Count ? Table.Titles[i] : ZRString());
        SoundName[r]->SetModify();
        SoundShadow[r]->SetModify();
    }
    SoundUp->SetVisible(Top >= 1);
    SoundDown->SetVisible(Table.Count - kRows > Top);
    if (Cursor >= 0 && !RowHasTrack(Cursor)) SetCursor(-1);
    UpdateFlag(Playing);
}

void TSoundMenu::SetCursor(int row) {
    if (RowHasTrack(row)) {
        Cursor = row;
        SoundBase->SetOffsetY(row * kRowStep + kBaseY);
        SoundBase->SetVisible(true);
    } else {
        Cursor = -1;
        SoundBase->SetVisible(false);
    }
}

void TSoundMenu::UpdateFlag(int index) {
    if (index >= 0 && index >= Top && index < Top + kRows) {
        SoundFlag->SetOffsetY((index - Top) * kRowStep + kFlagY);
        SoundFlag->SetVisible(true);
    } else {
        SoundFlag->SetVisible(false);
    }
}

bool TSoundMenu::Play(int index, uint8_t mode) {
    if (index < 0 || index >= Table.Count) return false;
    if (index == Playing && mode == Mode) return true;
    if (!services_->PlayBGM(Table.Tracks[index], mode == 1, false)) {
        // The channel could not start it: nothing is shown as playing.
        Stop();
        return false;
    }
    Playing = index;
    Mode = mode;
    heard_ = services_->IsBGMPlaying();
    UpdateFlag(Playing);
    return true;
}

void TSoundMenu::Stop() {
    Playing = -1;
    Mode = 0;
    heard_ = false;
    if (services_->IsBGMPlaying()) services_->StopBGM(true);
    SoundFlag->SetVisible(false);
}

void TSoundMenu::Choose() {
    const int chosen = Cursor >= 0 && RowHasTrack(Cursor) ? Top + Cursor : -1;
    if (Playing < 0) {
        if (chosen >= 0) Play(chosen, 2);
    } else if (chosen >= 0 && chosen != Playing) {
        Play(chosen, 2);
    } else {
        Stop();
    }
}

void TSoundMenu::Leave() {
    services_->PlaySysSE(menu::seCancel);
    services_->EndWait(0);
}

void TSoundMenu::PlayCursorInSilence() {
    if (Playing < 0 && !services_->IsBGMPlaying() && RowHasTrack(Cursor)) Play(Top + Cursor, 2);
}

bool TSoundMenu::ScrollBy(int delta) {
    const int top = Top + delta;
    if (delta < 0 ? Top < 1 : Table.Count - kRows <= Top) return false;
    ShowList(top);
    return true;
}

void TSoundMenu::MoveCursor(int direction) {
    if (Cursor < 0) {
        if (!RowHasTrack(0)) return;
        services_->PlaySysSE(menu::seCursor);
        SetCursor(0);
        return;
    }
    bool moved = false;
    if (direction == 0) {
        if (Cursor > 0) {
            SetCursor(Cursor - 1);
            moved = true;
        } else {
            moved = ScrollBy(-1);
        }
    } else if (direction == 4) {
        if (Cursor < kRows - 1) {
            if (RowHasTrack(Cursor + 1)) {
                SetCursor(Cursor + 1);
                moved = true;
            }
        } else {
            moved = ScrollBy(1);
        }
    }
    if (moved) services_->PlaySysSE(menu::seCursor);
}

void TSoundMenu::SoundPanelAnime() {
    if (Playing < 0) return;
    if (services_->IsBGMPlaying()) {
        heard_ = true;
        return;
    }
    if (!heard_) return;
    if (Mode != 2) {
        Stop();
        return;
    }
    // The track ended: the following tracks are tried in turn, each once, until one starts.
    const int from = Playing;
    for (int step = 1; step <= Table.Count; ++step) {
        const int next = (from + step) % Table.Count;
        Playing = -1;  // so that the same track can start again when it is the only one
        if (Play(next, 2)) return;
    }
    Stop();
}

// The keys are read in every frame: a first press shows in one frame only, and at full frame
// rate most frames carry no tick.
void TSoundMenu::HandleKeyInput(int, TDInputUnit* input) {
    if (!input) return;
    const menu::Pad pad = menu::ReadPad(input, false);
    if (pad.decide) return Choose();
    if (pad.cancel) return Leave();
    if (input->IsPush(2)) return;
    if (input->IsPush(3)) return PlayCursorInSilence();
    if (pad.direction >= 0) MoveCursor(pad.direction);
}

void TSoundMenu::DefaultMouseDown(TNyRGBPanel*, TMouseButton button, TShiftState, int, int) {
    if (button == mbRight) Leave();
}
