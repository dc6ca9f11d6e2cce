// The module's life: the widget tree in layout order, pictures loaded as panels are created,
// the alpha maps, attach and detach per window, the host's seam and the per-frame step.
#include "scenes/subwinu.h"

#include <algorithm>
#include <cstring>

#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamefunc.h"
#include "platform/codepage.h"

namespace {

std::unique_ptr<TNyAlpha> NewMap(int w, int h) {
    auto m = std::make_unique<TNyAlpha>();
    if (!m->Resize(w, h) || !m->Create()) return nullptr;
    m->Fill(0);
    return m;
}

}  // namespace

TSubWinUnit::TSubWinUnit(plat::TComponent* owner) : plat::TComponent(owner) {}

TSubWinUnit::~TSubWinUnit() {
    if (setup_) Release();
}

GameState& TSubWinUnit::State() const {
    return state_ ? *state_ : CurrentState;
}

void TSubWinUnit::SendCode(const ZRBaseCallback1<void, int>& cb, int code) const {
    if (cb.IsSet()) cb.Call(code);
}

void TSubWinUnit::Sound(int n) const {
    audio_->PlaySystemSound(n);
}

template <class P>
P* TSubWinUnit::Make(TNyRGBPanel* parent, int x, int y, int w, int h, const char* picture) {
    auto* p = new P(this, parent);
    panels_.push_back(p);
    p->SetOffsetX(x);
    p->SetOffsetY(y);
    if (w > 0 && h > 0) {
        p->SetAutoSize(false);
        p->SetSizeX(w);
        p->SetSizeY(h);
    } else {
        p->SetSizeX(0);  // until a picture gives the size
        p->SetSizeY(0);
    }
    if (picture) {
        p->SetText(picture);
        p->OnCreate = [this](TNyRGBPanel* s) { SetPanelImageFile(s, files_, s->GetText()); };
        p->OnRelease = [](TNyRGBPanel* s) { ReleasePanelImage(s); };
    }
    return p;
}

TNyRGBText* TSubWinUnit::MakeTextMaker(int fontSize, int width, int shade) {
    auto* t = new TNyRGBText(this);
    panels_.push_back(t);
    t->SetVisible(false);
    t->SetSizeX(width);
    t->SetSizeY(fontSize);
    plat::TFont font;
    font.charset = 134;
    font.name = plat::GbkText("黑体");
    font.height = -2 * fontSize;
    font.pitch = plat::FontPitch::Fixed;
    t->SetFont(&font);
    t->SetFontSize(fontSize);
    t->SetAntiAliase(true);
    t->SetAAShade(shade);
    t->MakeBuffer(WorkBitDepth == bd32 ? pf32_888 : pf24_888);
    return t;
}

bool TSubWinUnit::Setup(ZRFileMan* files) {
    if (setup_) Release();
    files_ = files;
    Build();
    mesMap_ = NewMap(988, 138);
    nameMap_ = NewMap(380, 38);
    mesSource_ = NewMap(988, 38);
    novelMap_ = NewMap(780, 570);
    novelSource_ = NewMap(780, 30);
    logMap_ = NewMap(780, 570);
    bool ok = mesMap_ && nameMap_ && mesSource_ && novelMap_ && novelSource_ && logMap_;
    for (auto& m : selMap_) ok = ok && (m = NewMap(988, 38)) != nullptr;
    ok = ok && MesTextMaker1->HasBuffer() && MesTextMaker2->HasBuffer() &&
         MesTextMaker3->HasBuffer();
    // The choice bases share the two pictures; without them no choice could be shown.
    const char* selNames[2] = {"SelBase8.png", "SelBase16.png"};
    for (int i = 0; i < 2; ++i) {
        selHolder_[i] = new TNyRGBPanel(this);
        ok = ok && SetPanelImageFile(selHolder_[i], files_, selNames[i]);
    }
    setup_ = true;
    if (!ok) {
        Release();
        return false;
    }
    for (int r = 0; r <= 9; ++r)
        if (TNyRGBPanel* p = Root(r)) p->AllCreate();
    MesNewLine();
    mes_.line = 0;
    nameWidth_ = nameTarget_ = -1;
    MesSetPlate(-1);
    for (bool& e : menuEnabled_) e = true;
    menuRequested_ = -1;
    SelLayout();
    return true;
}

void TSubWinUnit::Release() {
    if (!setup_) return;
    setup_ = false;
    PlaceCardFree();
    for (TNyRGBPanel* p : panels_) p->SetParent(nullptr);
    for (auto it = panels_.rbegin(); it != panels_.rend(); ++it) {
        (*it)->AllRelease();
        delete *it;
    }
    panels_.clear();
    MesWin = MesBack = MesFrame_ = MesShadow = MesText = MesNameC = MesNameR = nullptr;
    MesNameShadow = MesNameText = nullptr;
    MesWait = MesFF = MesWing = NovelWait = nullptr;
    MesLook = MesAuto = MesSkip = MesLog = MesSave = MesLoad = MesConfig = nullptr;
    NovelWin = NovelShadow = NovelText = nullptr;
    MesTextMaker1 = MesTextMaker2 = MesTextMaker3 = nullptr;
    LogWin = LogBack = LogShadow = LogText = LogFrame_ = LogBar = LogPos = nullptr;
    LogClose = LogUp = LogDown = nullptr;
    SelWin = nullptr;
    for (int i = 0; i < 4; ++i) SelBase[i] = nullptr, SelShadow[i] = SelText[i] = nullptr;
    DateWin = TimeWin = PlaceWin = DateSep = TimeSep = nullptr;
    for (int i = 0; i < 4; ++i) DateDigit[i] = TimeDigit[i] = nullptr;
    MenuWin = MenuBase = MenuLight = SMenuBase = SMenuLight = nullptr;
    for (auto& b : MenuBtn) b = nullptr;
    for (auto& b : SMenuBtn) b = nullptr;
    mesMap_.reset(), nameMap_.reset(), mesSource_.reset();
    novelMap_.reset(), novelSource_.reset(), logMap_.reset();
    for (auto& m : selMap_) m.reset();
    for (auto& b : SelBase)
        if (b) ClearPanelImage(b);
    for (auto& h : selHolder_) {
        if (!h) continue;
        ReleasePanelImage(h);
        delete h;
        h = nullptr;
    }
    mes_ = TextWin{};
    novel_ = TextWin{};
    log_ = TextWin{};
    sel_ = date_ = time_ = place_ = Slide{};
    menuState_ = swRest;
    parent_ = nullptr;
}

TNyRGBPanel* TSubWinUnit::Root(int window) const {
    switch (window) {
        case 0:
            return MesWin;
        case 1:
            return MesWait;
        case 2:
            return MesFF;
        case 3:
            return NovelWin;
        case 4:
            return LogWin;
        case 5:
            return SelWin;
        case 6:
            return DateWin;
        case 7:
            return TimeWin;
        case 8:
            return PlaceWin;
        case 9:
            return MenuWin;
        default:
            return nullptr;
    }
}

namespace {

void Hang(TNyRGBPanel* p, TNyRGBPanel* parent) {
    if (!p) return;
    p->SetVisible(false);
    p->SetParent(parent);
}

}  // namespace

void TSubWinUnit::MesAttach(TNyRGBPanel* parent) {
    Hang(MesWin, parent), Hang(MesWait, parent), Hang(MesFF, parent);
}
void TSubWinUnit::MesDetach() {
    MesAttach(nullptr);
}
void TSubWinUnit::NovelAttach(TNyRGBPanel* parent) {
    Hang(NovelWin, parent);
}
void TSubWinUnit::NovelDetach() {
    NovelAttach(nullptr);
}
void TSubWinUnit::LogAttach(TNyRGBPanel* parent) {
    Hang(LogWin, parent);
}
void TSubWinUnit::LogDetach() {
    LogAttach(nullptr);
}
void TSubWinUnit::SelAttach(TNyRGBPanel* parent) {
    Hang(SelWin, parent);
}
void TSubWinUnit::SelDetach() {
    SelAttach(nullptr);
}
void TSubWinUnit::PlatesAttach(TNyRGBPanel* parent) {
    Hang(DateWin, parent), Hang(TimeWin, parent), Hang(PlaceWin, parent);
}
void TSubWinUnit::PlatesDetach() {
    PlatesAttach(nullptr);
}
void TSubWinUnit::MenuAttach(TNyRGBPanel* parent) {
    Hang(MenuWin, parent);
}
void TSubWinUnit::MenuDetach() {
    MenuAttach(nullptr);
}

void TSubWinUnit::AttachAll() {
    if (!setup_ || !parent_) return;
    // Layer order: message window and its icons, novel window, plates and card, backlog,
    // choices, menu bar on top.
    MesAttach(parent_);
    NovelAttach(parent_);
    PlatesAttach(parent_);
    LogAttach(parent_);
    SelAttach(parent_);
    MenuAttach(parent_);
}

void TSubWinUnit::DetachAll() {
    if (!setup_) return;
    MesDetach(), NovelDetach(), PlatesDetach(), LogDetach(), SelDetach(), MenuDetach();
}

// ---- The host's seam ----

void TSubWinUnit::AddText(bool novel, const ZRString& text, int32_t cost) {
    novel ? (void)NovelAddText(text, cost) : (void)MesAddText(text, cost);
}
void TSubWinUnit::NewLine(bool novel) {
    novel ? NovelNewLine() : MesNewLine();
}
void TSubWinUnit::Clear(bool novel) {
    novel ? NovelClear() : MesClear();
}
void TSubWinUnit::Show(bool novel, bool show, bool instant) {
    if (novel)
        show ? NovelShow(instant) : NovelHide(instant);
    else
        show ? MesShow(instant) : MesHide(instant);
}
bool TSubWinUnit::IsMoving(bool novel) const {
    return novel ? NovelIsMoving() : MesIsMoving();
}
bool TSubWinUnit::IsTyping(bool novel) const {
    return novel ? NovelIsTyping() : MesIsTyping();
}
void TSubWinUnit::NamePlateJump() {
    if (nameWidth_ != nameTarget_) MesSetPlate(nameTarget_);
}
void TSubWinUnit::WaitIcon(bool novel, bool show) {
    novel ? NovelWaitIcon(show) : MesWaitIcon(show);
}
void TSubWinUnit::SetModeButtons(bool autoMode, bool skipMode) {
    MesAutoSkip(autoMode, skipMode);
    // Either mode runs the text on by itself, and the icon says so.
    MesFFIcon(autoMode || skipMode);
}

bool TSubWinUnit::StepAll(int32_t ticks, bool skipping) {
    if (!setup_) return false;
    bool moving = MesFrame(ticks, skipping);
    moving = NovelFrame(ticks, skipping) || moving;
    moving = LogFrame(ticks, skipping) || moving;
    moving = SelFrame(ticks, skipping) || moving;
    moving = PlatesFrame(ticks, skipping) || moving;
    moving = PlaceFrame(ticks, skipping) || moving;
    moving = MenuFrame(ticks, skipping) || moving;
    return moving;
}

void TSubWinUnit::SetBoxOpacity(int32_t percent) {
    boxRate_ = (100 - std::clamp(percent, 0, 100)) * 128 / 100;
}

// ---- Text helpers ----

void TSubWinUnit::AppendDoubleByte(char* line, int& count, const ZRString& text) {
    const int n = text.Length();
    const char* s = text.c_str();
    for (int i = 0; i < n && count < kLineChars;) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (ZRString::IsLead(c)) {
            if (i + 1 >= n) break;  // half a character at the end
            line[2 * count] = s[i];
            line[2 * count + 1] = s[i + 1];
            ++count;
            i += 2;
        } else {
            ++i;
        }
    }
    line[2 * count] = 0;
}

ZRString TSubWinUnit::CutChoiceText(const ZRString& text) {
    if (text.Length() <= 52) return text;
    // Byte 52 (1-based) is a lead byte: keeping it would split its character.
    const int keep = text.ByteType(52) == 1 ? 51 : 52;
    return ZRString(text.c_str(), static_cast<unsigned>(keep));
}

void TSubWinUnit::RenderLine(TNyRGBText* maker, const char* text, TNyAlpha* map, int y, int width,
                             int height) {
    map->BoxFill(0, y, width - 1, y + height - 1, 0);
    maker->SetText(ZRString(text));
    if (TNyAlpha* a = maker->GetAlpha())
        map->Draw(0, y, a, 0, 0, std::min(width, a->Width()), std::min(height, a->Height()));
}

bool TSubWinUnit::TextPanelDraw(TNyRGBPanel* p, TNyAlpha* map, int mapX, int mapY, uint32_t colour,
                                int rate, TNyRGBBits* dest, int x, int y, int sx, int sy, int dx,
                                int dy) {
    (void)p;
    if (!map || rate <= 0) return true;
    const int w = std::min(dx, map->Width() - (mapX + sx));
    const int h = std::min(dy, map->Height() - (mapY + sy));
    if (w > 0 && h > 0)
        dest->AlphaFillRate(x, y, dest->TNyRGBtoPixel(ZRRGB(colour)), mapX + sx, mapY + sy, w, h,
                            map, rate);
    return true;
}

void TSubWinUnit::Build() {
    // Message window.
    MesWin = Make<TNyRGBPanel>(nullptr, 0, 470, 1280, 250);
    MesWin->SetMaskMode(3);
    MesBack = Make<TNyRGBPanel>(MesWin, 0, 54, 1280, 196, "MesBack.png");
    MesFrame_ = Make<TNyRGBPanel>(MesWin, 0, 0, 1280, 250, "MesFrame.png");
    MesShadow = Make<TNyRGBPanel>(MesBack, 149, 25, 988, 138);
    MesText = Make<TNyRGBPanel>(MesBack, 147, 23, 988, 138);
    MesShadow->SetMouseControl(false);
    MesText->SetMouseControl(false);
    MesLook = Make<TNySButton>(MesFrame_, 250, 124, 19, 18, "MesHide.png");
    MesSkip = Make<TNySButton>(MesFrame_, 285, 124, 19, 18, "MesSkip.png");
    MesAuto = Make<TNySButton>(MesFrame_, 319, 124, 19, 18, "MesAuto.png");
    MesLog = Make<TNySButton>(MesFrame_, 0, 0, 17, 17);
    MesSave = Make<TNySButton>(MesFrame_, 47, 178, 65, 17);
    MesLoad = Make<TNySButton>(MesFrame_, 114, 178, 65, 17);
    MesConfig = Make<TNySButton>(MesFrame_, 197, 184, 95, 17);
    MesWing = Make<TNyRGBSimple>(MesFrame_, 1112, 0, 112, 116, "MesWing.png");
    MesWing->SetMouseControl(false);
    MesNameC = Make<TNyRGBPanel>(MesWin, 0, 8, 114, 66, "MesNameC.png");
    MesNameR = Make<TNyRGBPanel>(MesWin, 114, 8, 58, 66, "MesNameR.png");
    MesNameShadow = Make<TNyRGBPanel>(MesNameC, 116, 13, 380, 38);
    MesNameText = Make<TNyRGBPanel>(MesNameC, 114, 11, 380, 38);
    MesNameShadow->SetMouseControl(false);
    MesNameText->SetMouseControl(false);
    MesWait = Make<TNyRGBSimple>(nullptr, 1132, 639, 51, 52, "MesWait.png");
    MesFF = Make<TNyRGBSimple>(nullptr, 1132, 639, 42, 57, "MesFF.png");
    for (TNyRGBSimple* a : {MesWait, MesFF, MesWing}) {
        a->SetNumBlock(4);
        a->SetFrameNum(0, 4);
        a->SetAnimeWait(6);
    }
    MesWait->SetVisible(false), MesFF->SetVisible(false);
    MesNameC->SetVisible(false), MesNameR->SetVisible(false);
    const int blocks[7] = {5, 7, 7, 4, 3, 3, 3};
    TNySButton* buttons[7] = {MesLook, MesAuto, MesSkip, MesLog, MesSave, MesLoad, MesConfig};
    for (int i = 0; i < 7; ++i) {
        TNySButton* b = buttons[i];
        b->SetNumBlock(blocks[i]);
        b->SetVisible(false);
        const int code = 16 + i;
        b->OnClick = [this, code](TNyRGBPanel*) { SendCode(mesCb_, code); };
        if (blocks[i] == 7) {
            // normal, focus, three selected frames, down, disabled
            b->SetFrameNum(1, 1), b->SetFrameNum(2, 3), b->SetFrameNum(3, 1), b->SetFrameNum(4, 1);
            b->SetAnimeWait(3);
            b->SetAnimeType(patTurn);
        } else {
            for (int g = 1; g < blocks[i]; ++g) b->SetFrameNum(g, 1);
        }
    }
    auto mesDown = [this](TNyRGBPanel*, TMouseButton b, TShiftState, int, int) {
        SendCode(mesCb_, b == mbLeft ? 1 : b == mbRight ? 2 : 3);
    };
    MesWin->OnMouseDown = MesBack->OnMouseDown = MesFrame_->OnMouseDown = mesDown;
    auto partsDraw = [this](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy, int dx,
                            int dy) {
        DrawPanelImage(p, d, x, y, sx, sy, dx, dy, MesPartsRate());
        return true;
    };
    MesBack->OnDraw = MesFrame_->OnDraw = MesWing->OnDraw = MesNameR->OnDraw = partsDraw;
    // The centre of the plate repeats its picture across the plate's width.
    MesNameC->OnDraw = [this](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy, int dx,
                              int dy) {
        TNyRGBBits* img = p->GetImage();
        if (!img || img->Width() <= 0) return true;
        const int tw = img->Width();
        for (int left = sx - sx % tw; left < sx + dx; left += tw) {
            const int from = std::max(left, sx), to = std::min(left + tw, sx + dx);
            DrawPanelImage(p, d, x + (from - sx), y, from - left, sy, to - from, dy,
                           MesPartsRate());
        }
        return true;
    };
    MesText->OnDraw = [this](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy, int dx,
                             int dy) {
        return TextPanelDraw(p, mesMap_.get(), 0, 0, 0xFFFFFF, 128, d, x, y, sx, sy, dx, dy);
    };
    MesShadow->OnDraw = [this](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy, int dx,
                               int dy) {
        return TextPanelDraw(p, mesMap_.get(), 0, 0, 0x000000, 128, d, x, y, sx, sy, dx, dy);
    };
    MesNameText->OnDraw = [this](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy,
                                 int dx, int dy) {
        return TextPanelDraw(p, nameMap_.get(), 0, 0, 0xFFFFFF, 128, d, x, y, sx, sy, dx, dy);
    };
    MesNameShadow->OnDraw = [this](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy,
                                   int dx, int dy) {
        return TextPanelDraw(p, nameMap_.get(), 0, 0, 0x000000, 128, d, x, y, sx, sy, dx, dy);
    };

    // Novel window.
    NovelWin = Make<TNyRGBPanel>(nullptr, 0, 0, 1280, 720);
    NovelShadow = Make<TNyRGBPanel>(NovelWin, 252, 74, 780, 570);
    NovelText = Make<TNyRGBPanel>(NovelWin, 250, 72, 780, 570);
    NovelShadow->SetMouseControl(false);
    NovelText->SetMouseControl(false);
    NovelWait = Make<TNyRGBSimple>(NovelWin, 250, 72, 51, 52, "MesWait.png");
    NovelWait->SetNumBlock(4), NovelWait->SetFrameNum(0, 4), NovelWait->SetAnimeWait(3);
    NovelWait->SetVisible(false);
    NovelWin->OnMouseDown = [this](TNyRGBPanel*, TMouseButton b, TShiftState, int, int) {
        SendCode(novelCb_, b == mbLeft ? 1 : b == mbRight ? 2 : 3);
    };
    NovelWin->OnDraw = [this](TNyRGBPanel*, TNyRGBBits* d, int x, int y, int, int, int dx, int dy) {
        const uint32_t g = static_cast<uint32_t>(NovelToneLevel());
        d->ToneChange(x, y, x + dx - 1, y + dy - 1, g | g << 8 | g << 16);
        return true;
    };
    NovelText->OnDraw = [this](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy, int dx,
                               int dy) {
        return TextPanelDraw(p, novelMap_.get(), 0, 0, 0xFFFFFF, 128, d, x, y, sx, sy, dx, dy);
    };
    NovelShadow->OnDraw = [this](TNyRGBPanel* p, TNyRGBBits* d, int x, int y, int sx, int sy,
                                 int dx, int dy) {
        return TextPanelDraw(p, novelMap_.get(), 0, 0, 0x000000, 128, d, x, y, sx, sy, dx, dy);
    };

    MesTextMaker1 = MakeTextMaker(38, 988, 0);
    MesTextMaker2 = MakeTextMaker(30, 780, 1);
    MesTextMaker3 = MakeTextMaker(30, 780, 0);

    BuildOthers();
}
