// The configuration menu.
#include "flow/pconfigmenu.h"

#include <algorithm>

#include "devices/dinputu.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/gamefunc.h"

TConfigMenu* ConfigMenu = nullptr;

namespace {

constexpr int kRowX = 345, kRowY = 202, kRowStep = 70;
constexpr int kSlideX = 642, kSlideW = 201, kSlideH = 32;
constexpr int kKnobTravel = 183;
constexpr int kKnobY[4] = {209, 279, 349, 419};
const char* const kBasePictures[5] = {"CfgBaseBGM.png", "CfgBaseVoice.png", "CfgBaseSE.png",
                                      "CfgBaseText.png", "CfgBaseScreen.png"};
// Defaults of the reset: music, voice, sound effects (and rear), text slider.
constexpr int32_t kDefaults[4] = {50, 100, 80, 100};

bool InWindow() {
    return DisplayKind == kDisplayWindow;
}

}  // namespace

TConfigMenu::TConfigMenu() {
    ConfigPanel = Make<TNyRGBPanel>(nullptr, 0, 0, 1280, 720, "CfgBack.png");
    RootPanel = ConfigPanel;
    ConfigPanel->SetKeyControl(true);
    for (int r = 0; r < 5; ++r) {
        Base[r] =
            Make<TNyRGBPanel>(ConfigPanel, kRowX, kRowY + r * kRowStep, 0, 0, kBasePictures[r]);
        Base[r]->SetVisible(false);
        Base[r]->SetMouseControl(false);
    }
    Base[5] = Make<TNyRGBPanel>(ConfigPanel, 492, 552, 0, 0, "CfgBaseReset.png");
    Base[5]->SetVisible(false);
    Base[5]->OnMouseEnter = [this](TNyRGBPanel*) {
        menu::PlaySound(menu::seCursor);
        SetItem(5);
    };
    for (int s = 0; s < 4; ++s) {
        Knob[s] = Make<TNyRGBPanel>(ConfigPanel, kSlideX, kKnobY[s], 0, 0);
        Knob[s]->SetNumBlock(2);
        Knob[s]->SetMouseControl(false);
    }
    for (int r = 0; r < 6; ++r) {
        const int x = r < 5 ? kRowX : 492, y = r < 5 ? kRowY + r * kRowStep : 552;
        BaseArea[r] = Make<TNyRGBPanel>(ConfigPanel, x, y, 1, 1);
        BaseArea[r]->OnMouseEnter = [this, r](TNyRGBPanel*) {
            menu::PlaySound(menu::seCursor);
            SetItem(r);
        };
    }
    BaseArea[5]->OnClick = [this](TNyRGBPanel*) {
        menu::PlaySound(menu::seOK);
        ResetDefaults();
    };
    for (int s = 0; s < 4; ++s) {
        SlideArea[s] = Make<TNyRGBPanel>(BaseArea[s], kSlideX - kRowX, 7, kSlideW, kSlideH);
        SlideArea[s]->OnMouseDown = [this, s](TNyRGBPanel*, TMouseButton b, TShiftState, int x,
                                              int) { Slide(s, b, x, true); };
        SlideArea[s]->OnMouseMove = [this, s](TNyRGBPanel*, TShiftState shift, int x, int) {
            if (shift & kLeftHeld) Slide(s, mbLeft, x, false);
        };
    }
    auto button = [this](int x, const char* picture, const char* anime) {
        auto* b = Make<TMenuPBtn>(ConfigPanel, x, 488, 0, 0);
        b->SetText(picture);
        b->SetVisible(false);
        b->OnCreate = [this, anime](TNyRGBPanel* s) {
            SetPanelAnimeFile(static_cast<TMenuPBtn*>(s), Files, s->GetText(), anime);
        };
        b->OnRelease = [](TNyRGBPanel* s) { ReleasePanelAnime(static_cast<TMenuPBtn*>(s)); };
        return b;
    };
    FullOnD = button(641, "CfgBtnOnD.png", "CfgBtnOnD.anm");
    FullOnL = button(641, "CfgBtnOnL.png", "CfgBtnOnL.anm");
    FullOffD = button(766, "CfgBtnOffD.png", "CfgBtnOffD.anm");
    FullOffL = button(766, "CfgBtnOffL.png", "CfgBtnOffL.anm");
    for (TMenuPBtn* b : {FullOnD, FullOnL})
        b->OnClick = [this](TNyRGBPanel*) { ScreenOn(false); };
    for (TMenuPBtn* b : {FullOffD, FullOffL})
        b->OnClick = [this](TNyRGBPanel*) { ScreenOff(true); };
    Light = Make<TNyRGBPanel>(ConfigPanel, 338, kRowY - 8, 0, 0, "CfgLight.png");
    LightS = Make<TNyRGBPanel>(ConfigPanel, 484, 546, 0, 0, "CfgLightS.png");
    for (TNyRGBPanel* l : {Light, LightS}) {
        l->SetVisible(false);
        l->SetMouseControl(false);
        l->OnDraw = [](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy, int dx,
                       int dy) {
            DrawPanelImageAdd(p, d, x, y, sx, sy, dx, dy);
            return true;
        };
    }
    CloseBtn = Make<TMenuSBtn>(ConfigPanel, 1105, 637, 0, 0, "CmBtnBack.png");
    CloseBtn->SetNumBlock(2);
    CloseBtn->SetFrameNum(1, 1);
    CloseBtn->OnClick = [this](TNyRGBPanel*) { Close(); };
    CloseBtn->OnMouseEnter = [](TNyRGBPanel*) { menu::PlaySound(menu::seCursor); };
    ConfigPanel->OnAnime = [this](TNyRGBPanel*) { UpdateScreenButtons(); };
    BindRightClick(ConfigPanel, [this](TNyRGBPanel*, TMouseButton b, TShiftState, int, int) {
        if (b == mbRight) Close();
    });
}

TConfigMenu::~TConfigMenu() {
    if (SetUp) Release();
}

bool TConfigMenu::Setup(ZRFileMan* files) {
    if (!files) return false;
    Files = files;
    if (!ConfigPanel->AllCreate() || !LoadImageFile(&KnobBits, &KnobAlpha, files, "CfgBar.png")) {
        Release();
        return false;
    }
    const ImagePair pair{KnobBits, KnobAlpha};
    for (TNyRGBPanel* k : Knob) {
        SetPanelImageAlpha(k, &pair);
        k->SetSizeX(KnobBits->Width());
        k->SetSizeY(KnobBits->Height() / 2);
    }
    Light->SetMaskMode(3);
    LightS->SetMaskMode(3);
    for (int r = 0; r < 6; ++r) {
        if (TNyRGBBits* pic = Base[r]->GetImage()) {
            BaseArea[r]->SetSizeX(pic->Width());
            BaseArea[r]->SetSizeY(pic->Height());
        }
    }
    SetItem(0);
    UpdateControls();
    SetUp = true;
    return true;
}

void TConfigMenu::Release() {
    for (TNyRGBPanel* k : Knob) ClearPanelImage(k);
    if (KnobBits) MemMan ? MemMan->Delete(KnobBits) : delete KnobBits;
    if (KnobAlpha) MemMan ? MemMan->Delete(KnobAlpha) : delete KnobAlpha;
    KnobBits = nullptr;
    KnobAlpha = nullptr;
    if (ConfigPanel->GetCreated()) ConfigPanel->AllRelease();
    SetUp = false;
}

void TConfigMenu::SetItem(int32_t n) {
    if (n < 0 || n > 5) return;
    Item = n;
    for (int r = 0; r < 6; ++r) Base[r]->SetVisible(r == n);
    for (int s = 0; s < 4; ++s) Knob[s]->SetBlockIndex(s == n ? 1 : 0);
    FullOnL->SetVisible(n == 4);
    FullOffL->SetVisible(n == 4);
    FullOnD->SetVisible(n != 4);
    FullOffD->SetVisible(n != 4);
    if (n < 5) {
        Light->SetOffsetY(n * kRowStep + kRowY - 8);
        Light->SetVisible(true);
        LightS->SetVisible(false);
    } else {
        Light->SetVisible(false);
        LightS->SetVisible(true);
    }
    ConfigPanel->SetModify();
}

int32_t TConfigMenu::GetValue(int32_t slider) const {
    if (!GameForm && slider != 3) return 0;
    switch (slider) {
        case 0:
            return GameForm->GetVolumeBGM();
        case 1:
            return GameForm->GetVolumeVoice();
        case 2:
            return GameForm->GetVolumeSE();
        case 3:
            return 200 - UserSettings.UserTextSpeed;
        default:
            return 0;
    }
}

void TConfigMenu::SetValue(int32_t slider, int32_t v) {
    if (slider < 0 || slider > 3) return;
    v = std::clamp(v, 0, Maximum(slider));
    if (slider == 3) {
        UserSettings.UserTextSpeed = 200 - v;
    } else if (GameForm) {
        if (slider == 0) GameForm->SetVolumeBGM(v);
        if (slider == 1) GameForm->SetVolumeVoice(v);
        if (slider == 2) {
            GameForm->SetVolumeSE(v);
            GameForm->SetVolumeRear(v);
        }
    }
    MoveKnob(slider);
}

int32_t TConfigMenu::ValueAt(int32_t slider, int x) {
    return std::clamp(x - 9, 0, kKnobTravel) * Maximum(slider) / kKnobTravel;
}

void TConfigMenu::MoveKnob(int32_t slider) {
    Knob[slider]->SetOffsetX(kSlideX + GetValue(slider) * kKnobTravel / Maximum(slider));
    ConfigPanel->SetModify();
}

void TConfigMenu::ResetDefaults() {
    for (int s = 0; s < 4; ++s) SetValue(s, kDefaults[s]);
}

void TConfigMenu::UpdateControls() {
    for (int s = 0; s < 4; ++s) MoveKnob(s);
    UpdateScreenButtons();
}

void TConfigMenu::UpdateScreenButtons() {
    const bool available = Has720Mode || HasTallMode;
    FullOnD->SetEnabled(available);
    FullOnL->SetEnabled(available);
    const bool window = InWindow();
    FullOnD->SetSelected(!window);
    FullOnL->SetSelected(!window);
    FullOffD->SetSelected(window);
    FullOffL->SetSelected(window);
}

void TConfigMenu::ScreenOn(bool withSound) {
    if (!InWindow()) return;
    if (!HasTallMode && !Has720Mode) {
        menu::PlaySound(menu::seOK);
        return;
    }
    if (withSound) menu::PlaySound(menu::seCursor);
    if (GameForm) GameForm->PostDisplayModeRequest(HasTallMode ? 1 : 0);
}

void TConfigMenu::ScreenOff(bool withSound) {
    if (InWindow()) return;
    if (withSound) menu::PlaySound(menu::seCursor);
    if (GameForm) GameForm->PostDisplayModeRequest(2);
}

void TConfigMenu::Close() {
    menu::PlaySound(menu::seCancel);
    menu::Report(Callback, 6);
}

void TConfigMenu::Slide(int32_t slider, TMouseButton button, int x, bool pressed) {
    if (button == mbRight && pressed) {
        Close();
        return;
    }
    if (button != mbLeft) return;
    if (pressed) menu::PlaySound(menu::seCursor);
    SetItem(slider);
    SetValue(slider, ValueAt(slider, x));
}

void TConfigMenu::HandleKeyInput(int, TDInputUnit* input) {
    if (!input) return;
    const menu::Pad pad = menu::ReadPad(input, false);
    if (pad.decide) {
        if (Item == 5) {
            menu::PlaySound(menu::seOK);
            ResetDefaults();
        }
        return;
    }
    if (pad.cancel) {
        Close();
        return;
    }
    switch (pad.direction) {
        case 0:
            if (Item > 0) menu::PlaySound(menu::seCursor), SetItem(Item - 1);
            break;
        case 4:
            if (Item < 5) menu::PlaySound(menu::seCursor), SetItem(Item + 1);
            break;
        case 2:
        case 6: {
            const bool right = pad.direction == 2;
            if (Item <= 3) {
                const int32_t v = GetValue(Item);
                if (right ? v < Maximum(Item) : v > 0) {
                    menu::PlaySound(menu::seCursor);
                    SetValue(Item, v + (right ? 1 : -1));
                }
            } else if (Item == 4) {
                if (right)
                    ScreenOff(true);
                else
                    ScreenOn(true);
            }
            break;
        }
        default:
            break;
    }
}
