// The battle's screen: set-up, the battle's preparation and release, and the frame.
#include "scenes/battleu.h"

#include <algorithm>
#include <cstdio>

#include "devices/dinputu.h"
#include "devices/nydsound.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/gamefunc.h"
#include "game/maint.h"
#include "platform/codepage.h"
#include "platform/tfont.h"
#include "scenes/avgu.h"
#include "widgets/nyrgbanime.h"
#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbtext.h"

TBattleUnit* BattleUnit = nullptr;

namespace {

constexpr int kScreenW = 1280, kScreenH = 720;
constexpr int kReelW = 212, kReelH = 359, kCellH = 106;
constexpr int kStripRows = kReelSymbols * kCellH;  // 2226
constexpr int kPaylineTop = 138, kPaylineBottom = 243;
constexpr int kReelX[kReels] = {226, 534, 842};
constexpr int kReelY = 136;

// Whether a counter moved since the panel was drawn at `shown`; keeps the new value.
bool Moved(int32_t& shown, int32_t now) {
    const bool moved = shown != now;
    shown = now;
    return moved;
}

int CellOf(int32_t symbol, int reel) {
    if (symbol == 0) return reel;
    if (symbol == 1) return reel + 3;
    if (symbol == 2) return 6;
    return 0;
}

// Cut-in easing of the first ten frames, in 45ths of the way.
constexpr int32_t kEase[10] = {0, 9, 17, 24, 30, 35, 39, 42, 44, 45};

}  // namespace

TBattleUnit::TBattleUnit(plat::TComponent* owner) : plat::TComponent(owner) {
    core_.SetView(this);
}

TBattleUnit::~TBattleUnit() {
    if (setup_) Release();
}

// ---- Layout ----

TNyRGBPanel* TBattleUnit::Panel(TNyRGBPanel* parent, int x, int y, int w, int h) {
    auto* p = new TNyRGBPanel(this, parent);
    p->SetAutoSize(false);
    p->SetOffsetX(x);
    p->SetOffsetY(y);
    p->SetSizeX(w);
    p->SetSizeY(h);
    return p;
}

void TBattleUnit::LoadPicture(TNyRGBPanel* panel, const char* name) {
    // The panel's earlier picture is its own: free it before the next one replaces it. A
    // missing picture leaves the panel empty; the battle goes on without it.
    ReleasePanelImage(panel);
    if (archive_) SetPanelImageFile(panel, archive_, name);
}

ZRString TBattleUnit::Form(const char* s, const char* n) const {
    return core_.secondForm ? ZRString(s) : ZRString(n);
}

void TBattleUnit::BuildLayout() {
    BattlePanel = Panel(nullptr, 0, 0, kScreenW, kScreenH);
    AvgPanel = Panel(BattlePanel, 0, 0, kScreenW, kScreenH);
    // Black under the stage, so nothing a hidden panel left shows where the stage draws none.
    AvgPanel->OnDraw = [](TNyRGBPanel*, TNyRGBBits* d, int x, int y, int, int, int w, int h) {
        d->BoxFill(x, y, x + w - 1, y + h - 1, 0);
        return true;
    };

    SlotPanel = Panel(BattlePanel, 0, 0, kScreenW, kScreenH);
    SlotPanel->SetVisible(false);
    SlotPanel->OnMouseDown = [this](TNyRGBPanel*, TMouseButton b, TShiftState, int, int) {
        if (b == mbLeft) core_.StopPress();
    };
    SlotGuide = Panel(SlotPanel, 0, 307, kScreenW, 34);
    for (int i = 0; i < kReels; ++i) {
        Reel[i] = Panel(SlotPanel, kReelX[i], kReelY, kReelW, kReelH);
        CreatePanelImageSized(Reel[i], kReelW, kReelH, 0);
    }
    for (int i = 0; i < 2; ++i) {
        TNyRGBPanel* c = Panel(SlotPanel, kReelX[i + 1], kReelY + kPaylineTop, kReelW, kCellH);
        c->SetVisible(false);
        c->OnDraw = [this, i](TNyRGBPanel* s, TNyRGBBits* d, int x, int y, int sx, int sy, int w,
                              int h) {
            DrawPanelImage(s, d, x, y, sx, sy, w, h, ChangeRate(i));
            return true;
        };
        ReelChange[i] = c;
    }
    for (int i = 0; i < kReels; ++i) {
        SlotFrame[i] = new TNyRGBProgram(this, SlotPanel);
        SlotFrame[i]->SetOffsetX(204 + 308 * i);
        SlotFrame[i]->SetOffsetY(116);
        SlotLight[i] = Panel(SlotPanel, 192 + 308 * i, 240, 256, 128);
        SlotLight[i]->SetVisible(false);
        SlotLight[i]->SetMouseTrans(true);
        SlotLight[i]->OnDraw = [](TNyRGBPanel* s, TNyRGBBits* d, int x, int y, int sx, int sy,
                                  int w, int h) {
            DrawPanelImageAdd(s, d, x, y, sx, sy, w, h);
            return true;
        };
        SlotBtn[i] = new TNyRGBPanel(this, SlotPanel);
        SlotBtn[i]->SetOffsetX(300 + 308 * i);
        SlotBtn[i]->SetOffsetY(504);
    }
    SlotMes = new TNyRGBPanel(this, SlotPanel);
    SlotMes->SetOffsetY(400);
    SlotMes->SetVisible(false);
    SlotMes->OnDraw = [this](TNyRGBPanel* s, TNyRGBBits* d, int x, int y, int sx, int sy, int w,
                             int h) {
        DrawPanelImage(s, d, x, y, sx, sy, w, h, SlotMesRate());
        return true;
    };

    SelectPanel = Panel(BattlePanel, 0, 0, kScreenW, kScreenH);
    SelectPanel->SetVisible(false);
    SelectPanel->OnDraw = [this](TNyRGBPanel*, TNyRGBBits* d, int x, int y, int, int, int w,
                                 int h) {
        if (core_.selectSlide != 2) d->ToneChange(x, y, x + w - 1, y + h - 1, 0x404040);
        return true;
    };
    SelCharLeft = Panel(SelectPanel, 0, 240, 640, 480);
    SelCharRight = Panel(SelectPanel, 640, 240, 640, 480);
    SelectMes = new TNyRGBPanel(this, SelectPanel);
    SelectMes->SetOffsetY(150);
    SelectMes->OnDraw = [this](TNyRGBPanel* s, TNyRGBBits* d, int x, int y, int sx, int sy, int w,
                               int h) {
        DrawPanelImage(s, d, x, y, sx, sy, w, h, SelectMesRate());
        return true;
    };
    for (int b = 0; b < 2; ++b) {
        SelectBtn[b] = new TNyRGBSimple(this, SelectPanel);
        SelectBtn[b]->SetOffsetY(b == 0 ? 330 : 464);
        SelectBtn[b]->SetFrameNum(1, 2);
        SelectBtn[b]->SetAnimeWait(6);
        SelectBtn[b]->OnClick = [this, b](TNyRGBPanel*) { core_.SelectClick(b); };
        SelectBtn[b]->OnMouseEnter = [this, b](TNyRGBPanel*) { core_.SelectHover(b); };
        plat::TFont font;
        font.charset = 134;
        font.name = plat::GbkText("黑体");
        font.height = -38;
        for (int layer = 0; layer < 2; ++layer) {
            auto* t = new TNyRGBText(this, SelectBtn[b]);
            t->SetAutoSize(false);
            t->SetSizeX(608);
            t->SetSizeY(38);
            t->SetOffsetX(layer == 0 ? 2 : 0);
            t->SetOffsetY(layer == 0 ? 2 : 0);
            t->SetFont(&font);
            t->SetAntiAliase(true);
            t->SetCentering(true);
            t->SetTextColor(layer == 0 ? 0x000000 : 0xFFFFFF);
            t->SetMouseTrans(true);
            (layer == 0 ? SelectShadow : SelectText)[b] = t;
        }
    }

    EffectPanel = Panel(BattlePanel, 0, 0, kScreenW, kScreenH);
    EffectPanel->SetVisible(false);
    EffectPanel->SetMouseTrans(true);
    BGMoviePanel = Panel(EffectPanel, 0, 0, kScreenW, kScreenH);
    CutinChar = new TNyRGBPanel(this, EffectPanel);
    EfMoviePanel = Panel(EffectPanel, 0, 0, kScreenW, kScreenH);

    FlashPanel = Panel(BattlePanel, 0, 0, kScreenW, kScreenH);
    FlashPanel->SetVisible(false);
    FlashPanel->SetMouseTrans(true);
    FlashPanel->OnDraw = [this](TNyRGBPanel*, TNyRGBBits* d, int x, int y, int, int, int w, int h) {
        const int rate = FlashRate();
        if (rate >= 128)
            d->BoxFill(x, y, x + w - 1, y + h - 1, 0xFFFFFF);
        else if (rate > 0) {
            TNyRGBBits white(nullptr);
            white.SetBitDepth(d->BitDepth());
            white.SetPixFormat(d->PixFormat());
            white.SetWidth(w);
            white.SetHeight(h);
            if (white.Create()) {
                white.BoxFill(0, 0, w - 1, h - 1, 0xFFFFFF);
                d->AlphaBlend(x, y, &white, 0, 0, w, h, rate);
            }
        }
        return true;
    };

    DamagePanel = Panel(BattlePanel, 0, 0, kScreenW, kScreenH);
    DamagePanel->SetVisible(false);
    DamagePanel->SetMouseTrans(true);
    for (int i = 0; i < 5; ++i) {
        TNyRGBPanel* p = Panel(DamagePanel, 0, 240, 48, 108);
        p->OnDraw = [this, i](TNyRGBPanel* s, TNyRGBBits* d, int x, int y, int sx, int sy, int w,
                              int h) {
            const int n = core_.digitCount;
            if (i >= n || !s->GetImage()) return true;
            const int dd = core_.numberCounter - 4 * i;
            const int down = dd < 0 ? 108 : dd <= 5 ? 108 - 18 * dd : dd == 6 ? 0 : 18;
            const int e = core_.numberCounter - 4 * (n - 1);
            const int rate = e < 23 ? 128 : e <= 30 ? (31 - e) * 16 : 0;
            // The digit drawn `down` rows lower, cut to the panel.
            const int top = std::max(sy, down);
            const int bottom = std::min(sy + h, 108);
            if (bottom > top)
                DrawPanelImage(s, d, x, y + (top - sy), sx, top - down, w, bottom - top, rate);
            return true;
        };
        DmgNum[i] = p;
    }

    WinPanel = Panel(BattlePanel, 0, 0, kScreenW, kScreenH);
    WinPanel->SetVisible(false);
    WinPanel->OnClick = [this](TNyRGBPanel*) { core_.WinClick(); };
    WinCharLeft = new TNyRGBPanel(this, WinPanel);
    WinCharRight = new TNyRGBPanel(this, WinPanel);
    WinMes = new TNyRGBPanel(this, WinPanel);
    for (TNyRGBPanel* p : {WinCharLeft, WinCharRight, WinMes}) p->SetMouseTrans(true);

    GaugePanel = Panel(BattlePanel, 0, 0, kScreenW, kScreenH);
    GaugePanel->SetVisible(false);
    GaugePanel->SetMouseTrans(true);
    GaugeFrame = GaugePanel;
    GaugeLeft = Panel(GaugePanel, 93, 26, 472, 48);
    GaugeRight = Panel(GaugePanel, 715, 26, 472, 48);
    GaugeLeft->OnDraw = [this](TNyRGBPanel* s, TNyRGBBits* d, int x, int y, int sx, int sy, int w,
                               int h) {
        const int width = s->GetSizeX();
        const int keep = GaugeWidth(core_.playerGauge, core_.playerMax, width);
        const int from = std::max(sx, width - keep);
        if (sx + w > from)
            DrawPanelImage(s, d, x + (from - sx), y, from, sy, sx + w - from, h, 128);
        return true;
    };
    GaugeRight->OnDraw = [this](TNyRGBPanel* s, TNyRGBBits* d, int x, int y, int sx, int sy, int w,
                                int h) {
        const int keep = GaugeWidth(core_.enemyGauge, core_.enemyMax, s->GetSizeX());
        const int to = std::min(sx + w, keep);
        if (to > sx) DrawPanelImage(s, d, x, y, sx, sy, to - sx, h, 128);
        return true;
    };
    GaugeStar = new TNyRGBPanel(this, GaugePanel);
    GaugeFace = new TNyRGBPanel(this, GaugePanel);
    GaugeFaceB = new TNyRGBPanel(this, GaugePanel);
    GaugeFace->SetOffsetX(572), GaugeFace->SetOffsetY(16), GaugeFace->SetVisible(false);
    GaugeFaceB->SetOffsetX(504), GaugeFaceB->SetOffsetY(16), GaugeFaceB->SetVisible(false);
    for (TNyRGBPanel* p : {GaugeStar, GaugeFace, GaugeFaceB}) p->SetMouseTrans(true);

    // Only the slot, the selection buttons and the won screen take clicks; the rest lets
    // them through to whatever lies below.
    for (TNyRGBPanel* p : {AvgPanel, EffectPanel, FlashPanel, DamagePanel, GaugePanel})
        p->SetMouseControl(false);
    for (TNyRGBPanel* p : {SlotGuide,
                           Reel[0],
                           Reel[1],
                           Reel[2],
                           ReelChange[0],
                           ReelChange[1],
                           static_cast<TNyRGBPanel*>(SlotFrame[0]),
                           static_cast<TNyRGBPanel*>(SlotFrame[1]),
                           static_cast<TNyRGBPanel*>(SlotFrame[2]),
                           SlotLight[0],
                           SlotLight[1],
                           SlotLight[2],
                           SlotBtn[0],
                           SlotBtn[1],
                           SlotBtn[2],
                           SlotMes,
                           SelCharLeft,
                           SelCharRight,
                           SelectMes,
                           WinCharLeft,
                           WinCharRight,
                           WinMes})
        p->SetMouseControl(false);
    BattlePanel->AllCreate();
    RootPanel = BattlePanel;
}

bool TBattleUnit::Setup(ZRFileMan* archive) {
    archive_ = archive;
    if (!LoadBattleTables(archive)) return false;
    BuildLayout();

    TNyAlpha* alpha = nullptr;
    if (!LoadImageFile(&strip_, &alpha, archive, "BtlSlotReel.png")) strip_ = nullptr;
    delete alpha;
    for (int i = 0; i < 2; ++i) {
        if (strip_) {
            ReelChange[i]->SetImage(strip_);
            ReelChange[i]->SetNumBlock(13);
        }
    }
    LoadPicture(SlotGuide, "BtlSlotGuide.png");
    for (int i = 0; i < kReels; ++i) {
        if (archive_ &&
            SetPanelAnimeFile(SlotFrame[i], archive_, "BtlSlotFrame.png", "BtlSlotFrame.anm"))
            SlotFrame[i]->SetNumBlock(4);
        LoadPicture(SlotLight[i], "BtlSlotLight.png");
        LoadPicture(SlotBtn[i], "BtlSlotBtnS.png");
        SlotBtn[i]->SetNumBlock(2);
    }
    for (TNyRGBPanel* p : DmgNum) {
        LoadPicture(p, "BtlDmgNum.png");
        p->SetNumBlock(10);
    }
    LoadPicture(GaugePanel, "BtlGaugeFrame.png");
    GaugePanel->SetSizeX(kScreenW), GaugePanel->SetSizeY(kScreenH);
    LoadPicture(GaugeLeft, "BtlGaugeL.png");
    LoadPicture(GaugeRight, "BtlGaugeR.png");
    GaugeLeft->SetSizeX(472), GaugeLeft->SetSizeY(48);
    GaugeRight->SetSizeX(472), GaugeRight->SetSizeY(48);
    LoadPicture(GaugeStar, "BtlGaugeStar.png");
    GaugeStar->SetOffsetX((kScreenW - GaugeStar->GetSizeX()) / 2);
    GaugeStar->SetOffsetY(8);
    LoadPicture(GaugeFace, "BtlFace.png");
    LoadPicture(GaugeFaceB, "BtlFaceB.png");
    GaugeFace->SetNumBlock(2);
    GaugeFaceB->SetNumBlock(2);
    setup_ = true;
    return true;
}

void TBattleUnit::Release() {
    if (core_.battle >= 0) FreeBattle();
    for (int i = 0; i < kReels; ++i)
        if (SlotFrame[i]) ReleasePanelAnime(SlotFrame[i]);
    for (TNyRGBPanel* p : ReelChange)
        if (p) p->SetImage(nullptr);
    delete strip_;
    strip_ = nullptr;
    // Owned panels free their own pictures through the release functions.
    for (TNyRGBPanel* p :
         {SlotGuide,  SlotLight[0], SlotLight[1], SlotLight[2], SlotBtn[0], SlotBtn[1], SlotBtn[2],
          DmgNum[0],  DmgNum[1],    DmgNum[2],    DmgNum[3],    DmgNum[4],  GaugePanel, GaugeLeft,
          GaugeRight, GaugeStar,    GaugeFace,    GaugeFaceB,   Reel[0],    Reel[1],    Reel[2]})
        if (p) ReleasePanelImage(p);
    delete BattlePanel;
    BattlePanel = RootPanel = nullptr;
    setup_ = false;
}

// ---- One battle ----

bool TBattleUnit::PrepareBattle(int32_t battle) {
    if (!core_.Prepare(battle)) return false;
    musicTrack_ = CurrentState.MusicTrack;
    if (AvgUnit) {
        stageLent_ = AvgUnit->LendStage(AvgPanel, ZRBaseCallback1<void, int>());
        AvgUnit->SetBattleChar(core_.record.enemyChar, true);
    }
    if (GameForm) {
        static const char* const kSlot[3] = {"BtlSESlotStart", "BtlSESlotStop", "BtlSESlotChange"};
        for (int i = 0; i < 3; ++i) slotSounds_[i] = GameForm->LoadSEBuffer(archive_, kSlot[i]);
        for (int k = 0; k < 4; ++k) {
            ZRString r, b;
            r.sprintf("BtlVoSlot%02dR", k);
            b.sprintf("BtlVoSlot%02dB", k);
            slotVoices_[0][k] = GameForm->LoadVoiceBuffer(archive_, r);
            slotVoices_[1][k] = GameForm->LoadVoiceBuffer(archive_, b);
        }
        barVoice_ = GameForm->LoadVoiceBuffer(archive_, "BtlVoSlotBar");
    }
    for (int i = 0; i < 2; ++i) ReelChange[i]->SetVisible(false);
    shownGauge_[0] = shownGauge_[1] = -1;
    for (int i = 0; i < kReels; ++i) DrawReel(i);
    Sync(0);
    return true;
}

void TBattleUnit::Start() {
    core_.Start();
    Sync(0);
}

void TBattleUnit::FreeBattle() {
    // The form's loaders enter each buffer with the memory manager: only the manager may free
    // it, or its record outlives the buffer and the count grows with every battle.
    auto drop = [](DirectX::TDSoundBuffer*& b) {
        if (!b) return;
        b->Stop();
        if (MemMan) MemMan->Delete(b);
        else delete b;
        b = nullptr;
    };
    for (auto*& b : slotSounds_) drop(b);
    for (auto& side : slotVoices_)
        for (auto*& b : side) drop(b);
    drop(barVoice_);
    bgMovie_.Close();
    efMovie_.Close();
    for (TNyRGBPanel* p : std::initializer_list<TNyRGBPanel*>{
             SelCharLeft, SelCharRight, SelectMes, SelectBtn[0], SelectBtn[1], CutinChar, WinPanel,
             WinCharLeft, WinCharRight, WinMes, SlotMes})
        if (p) ReleasePanelImage(p);
    for (TNyRGBText* t : {SelectShadow[0], SelectShadow[1], SelectText[0], SelectText[1]})
        if (t) t->ReleaseBuffer();
    shownSelectMode_ = 0;
    shownWin_ = false;
    shownSlotMessage_ = 0;
    drawn_ = Drawn{};
    if (stageLent_ && AvgUnit) AvgUnit->ReturnStage();
    stageLent_ = false;
    core_.battle = -1;
    core_.state = 0;
}

int TBattleUnit::ChangeRate(int i) const {
    const ReelRecord& r = core_.reels[i + 1];
    return r.state == 5 ? std::min(128, 4 * r.counter) : 128;
}

int TBattleUnit::SlotMesRate() const {
    const BattleCore& c = core_;
    return c.state == 2 && c.step == 1 && c.counter < 8 ? 16 * c.counter : 128;
}

int TBattleUnit::SelectMesRate() const {
    const int c = core_.selectCounter;
    const int rate = core_.selectSlide == 1 ? 8 * c : core_.selectSlide == 2 ? (16 - c) * 8 : 128;
    return std::clamp(rate, 0, 128);
}

int TBattleUnit::FlashRate() const {
    const int f = core_.flashCounter;
    return f <= 16 ? 128 : std::max(0, (48 - f) * 4);
}

void TBattleUnit::SetGauge(int side, int32_t value) {
    (side == 0 ? core_.playerGauge : core_.enemyGauge) = value;
    (side == 0 ? GaugeLeft : GaugeRight)->SetModify();
}

// ---- Frames ----

void TBattleUnit::Input(int ticks, TDInputUnit* input) {
    BattleInput in;
    if (input) {
        in.confirm = input->IsPush(0);
        in.direction = input->GetDirectionRepeat();
    }
    FrameInput(ticks, in);
}

void TBattleUnit::FrameInput(int ticks, const BattleInput& input) {
    if (!setup_) return;
    core_.Step(ticks, input);
    Sync(ticks);
}

void TBattleUnit::Frame(int ticks) {
    if (AvgUnit && stageLent_) AvgUnit->StageFrame(ticks, false);
}

void TBattleUnit::DrawReel(int i) {
    ReelRecord& r = core_.reels[i];
    r.redraw = false;
    TNyRGBBits* bits = Reel[i]->GetImage();
    if (!bits || !bits->Created()) return;
    if (!strip_) {
        bits->BoxFill(0, 0, kReelW - 1, kReelH - 1, 0x808080);
    } else {
        int top = static_cast<int>(int64_t{r.position} * kCellH / kSymbolUnits) - kPaylineTop;
        top = ((top % kStripRows) + kStripRows) % kStripRows;
        for (int y = 0; y < kReelH;) {
            const int v = (top + y) % kStripRows;
            const int off = v % kCellH;
            const int run = std::min(kCellH - off, kReelH - y);
            const int cell = CellOf(r.symbol[v / kCellH], i);
            bits->Draw(0, y, strip_, 0, cell * kCellH + off, kReelW, run);
            y += run;
        }
    }
    if (r.state == 0 || r.state == 5) {
        bits->ToneChange(0, 0, kReelW - 1, kPaylineTop - 1, 0x404040);
        bits->ToneChange(0, kPaylineBottom + 1, kReelW - 1, kReelH - 1, 0x404040);
    }
    Reel[i]->SetModify();
}

int32_t TBattleUnit::GaugeWidth(int32_t value, int32_t maximum, int32_t width) const {
    if (value <= 0) return 0;
    if (value >= maximum) return width;
    const int64_t inner = width - 4;
    return static_cast<int32_t>((inner * value + maximum - 1) / maximum) + 2;
}

void TBattleUnit::SyncGauges() {
    if (shownGauge_[0] != core_.playerGauge) GaugeLeft->SetModify();
    if (shownGauge_[1] != core_.enemyGauge) GaugeRight->SetModify();
    shownGauge_[0] = core_.playerGauge;
    shownGauge_[1] = core_.enemyGauge;
}

void TBattleUnit::SyncSelect() {
    const int mode = core_.selectMode;
    if (mode != shownSelectMode_) {
        if (mode != 0) {
            const bool heroines = mode == 1;
            SelCharLeft->SetVisible(heroines);
            SelCharRight->SetVisible(heroines);
            if (heroines) {
                LoadPicture(SelCharLeft, Form("BtlSelCharSR.png", "BtlSelCharNR.png").c_str());
                LoadPicture(SelCharRight, Form("BtlSelCharSB.png", "BtlSelCharNB.png").c_str());
            }
            LoadPicture(SelectMes, heroines ? "BtlSelMes2.png" : "BtlGameOver.png");
            SelectMes->SetOffsetX((kScreenW - SelectMes->GetSizeX()) / 2);
            // The heroines' names are the demo story's.
            const char* captions[2] = {heroines ? "莉娜" : "重新挑战",
                                       heroines ? "贝丝" : "返回标题"};
            for (int b = 0; b < 2; ++b) {
                // One block of the three tall, or the first would cover the second's top and
                // its caption would sit below the bar it names.
                LoadPicture(SelectBtn[b], heroines ? "SelBase8.png" : "SelBase16.png");
                for (TNyRGBText* t : {SelectShadow[b], SelectText[b]}) {
                    t->SetOffsetY(std::max(0, (SelectBtn[b]->GetSizeY() - 38) / 2) +
                                  (t == SelectShadow[b] ? 2 : 0));
                    t->SetText(plat::GbkText(captions[b]).c_str());
                    if (t->MakeBuffer(pf32_888)) t->DrawTextA();
                }
            }
        }
        SelectPanel->SetVisible(mode != 0);
        shownSelectMode_ = mode;
        shownSelectLook_ = -1;
    }
    if (mode == 0) return;
    const int c = std::min(core_.selectCounter, 16);
    const int k = core_.selectSlide == 2 ? 16 - c : core_.selectSlide == 1 ? c : 16;
    auto slide = [k](int from, int to) { return from + (to - from) * k / 16; };
    const int wl = SelCharLeft->GetSizeX(), wr = SelCharRight->GetSizeX();
    SelCharLeft->SetOffsetX(slide(-wl, 213 - wl / 2));
    SelCharRight->SetOffsetX(slide(kScreenW, 1066 - wr / 2));
    for (int b = 0; b < 2; ++b) {
        const int w = SelectBtn[b]->GetSizeX();
        const int centre = (kScreenW - w) / 2;
        SelectBtn[b]->SetOffsetX(b == 0 ? slide(-w, centre) : slide(kScreenW, centre));
        SelectBtn[b]->SetGroupIndex(core_.selected == b ? 1 : 0);
        // The caption panel is centred on its answer; on a base narrower than the panel it
        // starts left of the base, and its centred text still sits on the bar.
        for (TNyRGBText* t : {SelectShadow[b], SelectText[b]})
            t->SetOffsetX((w - 608) / 2 + (t == SelectShadow[b] ? 2 : 0));
    }
    // The dimmed screen and the fading message are drawn from the slide's state: draw again
    // only when they or the answer changed, not on every frame the selection waits.
    const int32_t look = (SelectMesRate() * 2 + (core_.selectSlide != 2)) * 4 + core_.selected;
    if (look != shownSelectLook_) SelectPanel->SetModify();
    shownSelectLook_ = look;
}

void TBattleUnit::SyncWin() {
    if (core_.winShown && !shownWin_) {
        LoadPicture(WinPanel, "BtlWinBG.png");
        WinPanel->SetSizeX(kScreenW), WinPanel->SetSizeY(kScreenH);
        LoadPicture(WinCharLeft, Form("BtlWinCharSR.png", "BtlWinCharNR.png").c_str());
        LoadPicture(WinCharRight, Form("BtlWinCharSB.png", "BtlWinCharNB.png").c_str());
        LoadPicture(WinMes, "BtlWinMes.png");
        WinPanel->SetVisible(true);
        shownWin_ = true;
    }
    WinPanel->SetVisible(core_.winShown);
    if (!core_.winShown) return;
    const int k = std::min(core_.winCounter, 16);
    auto slide = [k](int from, int to) { return from + (to - from) * k / 16; };
    const int wl = WinCharLeft->GetSizeX(), wr = WinCharRight->GetSizeX();
    WinCharLeft->SetOffsetX(slide(-wl, 320 - wl / 2));
    WinCharLeft->SetOffsetY(kScreenH - WinCharLeft->GetSizeY());
    WinCharRight->SetOffsetX(slide(kScreenW, 960 - wr / 2));
    WinCharRight->SetOffsetY(kScreenH - WinCharRight->GetSizeY());
    WinMes->SetOffsetX((kScreenW - WinMes->GetSizeX()) / 2);
    WinMes->SetOffsetY(slide(-WinMes->GetSizeY(), 0));
    if (k < 16 && Moved(drawn_.win, k)) WinPanel->SetModify();
}

void TBattleUnit::Sync(int ticks) {
    (void)ticks;
    const BattleCore& c = core_;
    SlotPanel->SetVisible(c.slotShown);
    GaugePanel->SetVisible(c.gaugeShown);
    if (c.slotShown) {
        for (int i = 0; i < kReels; ++i) {
            if (c.reels[i].redraw) DrawReel(i);
            if (SlotFrame[i]->GetAnimeData() && SlotFrame[i]->GetGroupIndex() != c.frameGroup[i])
                SlotFrame[i]->SetGroupIndex(c.frameGroup[i]);
            if (SlotBtn[i]->GetBlockIndex() != c.buttonBlock[i])
                SlotBtn[i]->SetBlockIndex(c.buttonBlock[i]);
            SlotLight[i]->SetVisible(c.lights[i]);
        }
        for (int i = 0; i < 2; ++i) {
            const ReelRecord& r = c.reels[i + 1];
            const bool changing = r.special >= 0 && (r.state == 5 || r.state == 0);
            ReelChange[i]->SetVisible(changing && strip_);
            if (changing) {
                ReelChange[i]->SetBlockIndex(std::clamp(r.special, 0, 12));
                if (Moved(drawn_.change[i], ChangeRate(i))) ReelChange[i]->SetModify();
            }
        }
        if (c.slotMessage != shownSlotMessage_) {
            if (c.slotMessage) {
                LoadPicture(SlotMes, c.slotMessage == 1 ? "BtlMesExcellent.png" : "BtlMesMiss.png");
                SlotMes->SetOffsetX((kScreenW - SlotMes->GetSizeX()) / 2);
            }
            shownSlotMessage_ = c.slotMessage;
        }
        SlotMes->SetVisible(c.slotMessage != 0);
        if (c.slotMessage && Moved(drawn_.slotMes, SlotMesRate())) SlotMes->SetModify();
    }
    if (c.gaugeShown) {
        SyncGauges();
        const bool bigFace = !(c.state == 2 && c.reels[2].state != 0);
        GaugeFace->SetVisible(c.face >= 0 && bigFace);
        GaugeFaceB->SetVisible(c.face >= 0 && !bigFace);
        if (c.face >= 0) (bigFace ? GaugeFace : GaugeFaceB)->SetBlockIndex(c.face);
    }
    FlashPanel->SetVisible(c.flashCounter >= 0);
    if (c.flashCounter >= 0 && Moved(drawn_.flash, FlashRate())) FlashPanel->SetModify();
    DamagePanel->SetVisible(c.digitCount > 0);
    if (c.digitCount > 0) {
        const int n = c.digitCount;
        const bool counted = Moved(drawn_.number, c.numberCounter);
        for (int i = 0; i < 5; ++i) {
            DmgNum[i]->SetVisible(i < n);
            if (i >= n) continue;
            DmgNum[i]->SetOffsetX((n - i) * 48 + (kScreenW - 48 * n) / 2 - 48);
            DmgNum[i]->SetBlockIndex(c.digits[i]);
            if (counted && c.numberCounter >= 4 * i && c.numberCounter <= 4 * n + 27)
                DmgNum[i]->SetModify();
        }
    }
    SyncSelect();
    SyncWin();
    if (EffectPanel->GetVisible()) {
        if (bgMovie_.IsOpen()) bgMovie_.Draw();
        if (efMovie_.IsOpen()) efMovie_.Draw();
    }
}

// ---- What the battle asks of the screen ----

void TBattleUnit::OpenEffectMovie(CriMovie& movie, TNyRGBPanel* panel, const ZRString& name,
                                  bool centre) {
    movie.Close();
    if (!movie.Open(panel, false, ZRString("Battle\\") + name)) return;
    if (centre) {
        panel->SetOffsetX((kScreenW - movie.Width()) / 2);
        panel->SetOffsetY((kScreenH - movie.Height()) / 2);
    } else {
        panel->SetOffsetX(0);
        panel->SetOffsetY(0);
    }
    panel->SetVisible(true);
}

void TBattleUnit::MovieStart(int32_t n) {
    ZRString name;
    switch (n) {
        case 0:
            name = "BtlEncounter.sfd";
            break;
        case 1:
            name = "BtlFight.sfd";
            break;
        case 2:
            if (core_.record.enemyMovie >= 0)
                name.sprintf("BtlEnemy%02d.sfd", core_.record.enemyMovie);
            break;
        case 10:
            name = "BtlDamageL.sfd";
            break;
        case 11:
            name = "BtlDamageH.sfd";
            break;
        case 12:
            name = "BtlGuard.sfd";
            break;
        case 20:
            name = Form("BtlHit_SR_Tornado.sfd", "BtlHit_NR_Tornado.sfd");
            break;
        case 21:
            name = Form("BtlHit_SB_Arrow.sfd", "BtlHit_NB_Arrow.sfd");
            break;
        default:
            break;
    }
    EffectPanel->SetVisible(true);
    BGMoviePanel->SetVisible(false);
    CutinChar->SetVisible(false);
    efMovie_.Close();
    if (name.Length() > 0) OpenEffectMovie(efMovie_, EfMoviePanel, name, true);
}

bool TBattleUnit::MovieDone() {
    return !efMovie_.IsOpen() || efMovie_.IsEnd();
}

void TBattleUnit::MovieStop() {
    efMovie_.Close();
    if (!bgMovie_.IsOpen()) EffectPanel->SetVisible(false);
}

void TBattleUnit::CutinStart(int32_t kind) {
    CutinStop();
    cutinKind_ = kind;
    cutinClass_ = kind / 10;
    cutinCounter_ = 0;
    const bool s = core_.secondForm;
    const char* bg = nullptr;
    ZRString picture, effect;
    switch (kind) {
        case 0:
            bg = "BtlCI_BG_Red.sfd", picture = Form("BtlCI_SR_Charge.png", "BtlCI_NR_Charge.png");
            break;
        case 1:
            bg = "BtlCI_BG_Blue.sfd", picture = Form("BtlCI_SB_Charge.png", "BtlCI_NB_Charge.png");
            break;
        case 10:
            bg = "BtlCI_BG_Radiation.sfd",
            picture = Form("BtlCI_SR_Punch.png", "BtlCI_NR_Punch.png");
            break;
        case 11:
            bg = "BtlCI_BG_Red.sfd", picture = Form("BtlCI_SR_Kick.png", "BtlCI_NR_Kick.png");
            break;
        case 12:
            bg = "BtlCI_BG_Blue.sfd", picture = Form("BtlCI_SB_Arrow.png", "BtlCI_NB_Arrow.png");
            break;
        case 13:
            bg = "BtlCI_BG_Blue.sfd", picture = Form("BtlCI_SB_ArrowC.png", "BtlCI_NB_ArrowC.png");
            break;
        case 20:
            bg = "BtlCI_BG_Red.sfd", picture = s ? "" : "BtlCI_NR_Damage.png",
            effect = "BtlDamageL.sfd";
            break;
        case 21:
            bg = "BtlCI_BG_Red.sfd", picture = s ? "" : "BtlCI_NR_Guard.png",
            effect = "BtlGuard.sfd";
            break;
        case 22:
            bg = "BtlCI_BG_Red.sfd", picture = s ? "BtlCI_SR_Evade.png" : "";
            break;
        case 23:
            bg = "BtlCI_BG_Blue.sfd", picture = s ? "" : "BtlCI_NB_Damage.png",
            effect = "BtlDamageL.sfd";
            break;
        case 24:
            bg = "BtlCI_BG_Blue.sfd";
            break;
        case 25:
            bg = "BtlCI_BG_Blue.sfd", picture = Form("BtlCI_SB_Evade.png", "BtlCI_NB_Evade.png");
            break;
        case 30:
            bg = s ? "BtlCI_SR_Tornado.sfd" : "BtlCI_NR_Tornado.sfd";
            break;
        case 31:
            bg = s ? "BtlCI_SB_Arrow.sfd" : "BtlCI_NB_Arrow.sfd";
            break;
        default:
            if (cutinClass_ <= 0) {
                bg = "BtlCI_BG_Red.sfd";
                picture = Form("BtlCI_ST_Charge.png", "BtlCI_NT_Charge.png");
                cutinClass_ = 0;
            } else if (cutinClass_ == 1) {
                bg = "BtlCI_BG_Blue.sfd";
            }
            break;
    }
    if (kind == 2) {
        bg = "BtlCI_BG_Red.sfd";
        picture = Form("BtlCI_ST_Charge.png", "BtlCI_NT_Charge.png");
    }
    EffectPanel->SetVisible(true);
    EfMoviePanel->SetVisible(false);
    // Every background, the whole-screen cut-ins 30 and 31 too, fills the screen from (0, 0).
    if (bg) OpenEffectMovie(bgMovie_, BGMoviePanel, bg, false);
    CutinChar->SetVisible(false);
    if (picture.Length() > 0) {
        LoadPicture(CutinChar, picture.c_str());
        if (CutinChar->GetImage()) {
            const int w = CutinChar->GetSizeX(), h = CutinChar->GetSizeY();
            CutinChar->SetOffsetY(kScreenH - h);
            const int centre = (kScreenW - w) / 2;
            if (cutinClass_ == 0) {
                cutinStart_ = kScreenW, cutinEnd_ = kScreenW - w;
            } else if (kind == 12 || kind == 13) {
                cutinStart_ = -w, cutinEnd_ = centre;
            } else if (cutinClass_ == 1) {
                cutinStart_ = kScreenW, cutinEnd_ = centre;
            } else {
                cutinStart_ = cutinEnd_ = centre;
            }
            CutinChar->SetOffsetX(cutinStart_);
            CutinChar->SetVisible(true);
        }
    }
    if (effect.Length() > 0) OpenEffectMovie(efMovie_, EfMoviePanel, effect, true);
}

bool TBattleUnit::CutinStep(int32_t ticks) {
    if (ticks < 1) return false;
    const int f = cutinCounter_++;
    switch (cutinClass_) {
        case 0:
        case 1:
            if (f < 10)
                CutinChar->SetOffsetX(cutinStart_ + (cutinEnd_ - cutinStart_) * kEase[f] / 45);
            return f + 1 >= 25;
        case 2: {
            const int centre = cutinEnd_;
            const int motion = (cutinKind_ - 20) % 3;
            bool moved;
            if (motion == 2) {
                CutinChar->SetOffsetX(f <= 3   ? centre + 64 * f
                                      : f <= 8 ? centre + (8 - f) * 64
                                               : centre);
                moved = f + 1 >= 9;
            } else {
                const int amp = motion == 0 ? 16 : 4;
                CutinChar->SetOffsetX(f < 16 ? centre + (f % 2 ? amp : -amp) : centre);
                moved = f + 1 >= 17;
            }
            return moved && (!efMovie_.IsOpen() || efMovie_.IsEnd());
        }
        default:
            return !bgMovie_.IsOpen() || bgMovie_.IsEnd();
    }
}

void TBattleUnit::CutinStop() {
    bgMovie_.Close();
    if (cutinClass_ == 2) efMovie_.Close();
    if (CutinChar->GetImage()) ReleasePanelImage(CutinChar);
    CutinChar->SetVisible(false);
    if (!efMovie_.IsOpen()) EffectPanel->SetVisible(false);
    cutinKind_ = -1;
}

ZRString TBattleUnit::VoiceName(int32_t n, int32_t battle, bool secondForm,
                                const std::function<int(int)>& random) {
    struct Entry {
        int32_t n;
        const char* name;
        int32_t k;
    };
    static constexpr Entry kTable[] = {
        {0, "BtlVoSelectR", 2},    {1, "BtlVoSelectB", 2},    {10, "BtlVoChargeR", 4},
        {11, "BtlVoChargeB", 3},   {12, "BtlVoChargeT00", 0}, {20, "BtlVoPunchR", 3},
        {21, "BtlVoKickR", 3},     {22, "BtlVoArrowB", 5},    {23, "BtlVoArrowC", 0},
        {30, "BtlVoDamageR", 4},   {31, "BtlVoGuardR", 3},    {32, "BtlVoEvadeR", 3},
        {33, "BtlVoDamageB", 3},   {35, "BtlVoEvadeB", 3},    {50, "BtlVoSelectR01", 0},
        {51, "BtlVoSelectB01", 0}, {60, "BtlVoWinR", 5},      {61, "BtlVoWinB", 4},
        {70, "BtlVoLoseR", 3},     {71, "BtlVoLoseB", 3},
    };
    auto suffix = [&](ZRString base, int32_t k) {
        if (k > 0) {
            ZRString s;
            s.sprintf("%02d", std::clamp(random ? random(k) : 0, 0, k - 1));
            base = base + s;
        }
        return base;
    };
    for (const Entry& e : kTable)
        if (e.n == n) return suffix(e.name, e.k);
    if (n == 40) return secondForm ? "BtlVoFinishRS" : "BtlVoFinishR";
    if (n == 41) return secondForm ? "BtlVoFinishBS" : "BtlVoFinishB";
    const bool main5 = battle == 0 || battle == 3 || battle == 4 || battle == 5 || battle == 7;
    ZRString name;
    switch (n) {
        case 80:
            if (main5) name.sprintf("BtlVoFightE%02d", battle);
            return name;
        case 81:
            if (main5) name.sprintf("BtlVoAttackE%02d", battle);
            return name.Length() ? suffix(name, 2) : name;
        case 82:
            if (battle == 3 || battle == 4 || battle == 5 || battle == 7)
                name.sprintf("BtlVoDamageE%02d", battle);
            return battle == 3 ? suffix(name, 3) : name;
        case 83:
            return battle == 3 ? "BtlVoEvadeE03" : "";
        case 84:
            if (main5) name.sprintf("BtlVoWinE%02d", battle);
            return battle == 4 || battle == 5 ? suffix(name, 2) : name;
        case 85:
            if (battle == 0 || battle == 3) name.sprintf("BtlVoLoseE%02d", battle);
            return name;
        default:
            return "";
    }
}

void TBattleUnit::Voice(int32_t n) {
    const ZRString name =
        VoiceName(n, core_.battle, core_.secondForm, [](int k) { return GameRandom.Random(k); });
    if (name.Length() > 0 && GameForm) GameForm->PlayVoice(archive_, name);
}

bool TBattleUnit::VoiceBusy() {
    return GameForm && GameForm->IsVoicePlaying();
}

void TBattleUnit::Sound(int32_t n) {
    const char* name = nullptr;
    switch (n) {
        case 0:
            name = "BtlSEPunch";
            break;
        case 1:
            name = "BtlSEKick";
            break;
        case 3:
            name = "BtlSEFinish";
            break;
        case 5:
            name = "BtlSEGuard";
            break;
        case 7:
            name = "BtlSEWin";
            break;
        case 8:
            name = "BtlSELose";
            break;
        default:
            return;
    }
    if (GameForm) GameForm->PlaySE(archive_, name);
}

void TBattleUnit::SlotSound(int32_t n) {
    if (n >= 0 && n < 3 && slotSounds_[n]) slotSounds_[n]->Play(false);
}

void TBattleUnit::SlotVoice(int32_t side, int32_t k) {
    DirectX::TDSoundBuffer* b = side == 2                                     ? barVoice_
                                : (side == 0 || side == 1) && k >= 0 && k < 4 ? slotVoices_[side][k]
                                                                              : nullptr;
    if (b) b->Play(false);
}

void TBattleUnit::SystemSound(int32_t n) {
    if (GameForm) GameForm->PlaySysSE(n);
}

void TBattleUnit::StageMove(int32_t move) {
    // The centre character's moves belong to the lent stage; the hit waits for them through
    // StageBusy.
    if (AvgUnit && stageLent_) AvgUnit->StageMoveStart(move);
}

bool TBattleUnit::StageBusy() {
    return AvgUnit && stageLent_ && AvgUnit->IsStageBusy();
}

void TBattleUnit::Music(bool play) {
    if (!AvgUnit) return;
    if (play)
        AvgUnit->BattleBgmPlay(musicTrack_);
    else
        AvgUnit->BattleBgmStop();
}

void TBattleUnit::ClearEnemy() {
    if (AvgUnit && stageLent_) AvgUnit->SetBattleChar(-1, true);
}

void TBattleUnit::HideEffects() {
    if (EffectPanel) EffectPanel->SetVisible(false);
}

void TBattleUnit::End(int32_t outcome) {
    if (PostResult)
        PostResult(outcome);
    else
        EndWait(outcome);
}
