// The stage's module: panel trees, set-up and reset, transitions, character applies with their
// moves, the per-frame step and the composition into the stage picture.
#include "scenes/stageu.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "foundation/zrmemman.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/gamefunc.h"
#include "game/maint.h"
#include "platform/exception.h"

// ---- Position geometry ----

int32_t StagePosColumn(int32_t code) {
    if (code >= -7 && code <= 13) return code + 1;
    if (code >= 20 && code <= 46) return code % 10 + 1;
    return 0;
}

int32_t StagePosRow(int32_t code) {
    if (code >= 30 && code <= 36) return -2;
    if (code >= 40 && code <= 46) return 2;
    return 0;
}

int32_t StagePosIsBack(int32_t code) {
    return code >= 20 && code <= 26 ? 1 : 0;
}

void StagePosToXY(int32_t code, int32_t& x, int32_t& y) {
    x = StagePosColumn(code) * 160;
    y = StagePosRow(code) * 360;
}

int32_t StagePosColumnDistance(int32_t a, int32_t b) {
    if (a == kNoPos || b == kNoPos) return 0;
    return std::abs(StagePosColumn(a) - StagePosColumn(b));
}
int32_t StagePosRowDistance(int32_t a, int32_t b) {
    if (a == kNoPos || b == kNoPos) return 0;
    return std::abs(StagePosRow(a) - StagePosRow(b));
}
int32_t StagePosBackDistance(int32_t a, int32_t b) {
    if (a == kNoPos || b == kNoPos) return 0;
    return std::abs(StagePosIsBack(a) - StagePosIsBack(b));
}
int32_t StagePosDistance(int32_t a, int32_t b) {
    return std::max(
        {StagePosColumnDistance(a, b), StagePosRowDistance(a, b), StagePosBackDistance(a, b)});
}

const int32_t kStagePriority[4][7] = {
    {0, 6, 1, 5, 2, 4, 3},
    {3, 4, 2, 5, 1, 6, 0},
    {6, 5, 4, 3, 2, 1, 0},
    {0, 1, 2, 3, 4, 5, 6},
};

namespace {

ZRBitDepth StageDepth() {
    return WorkBitDepth == bd24 ? bd24 : bd32;
}

std::unique_ptr<TNyRGBBits> NewBits(int w, int h) {
    auto b = std::make_unique<TNyRGBBits>(nullptr);
    b->SetBitDepth(StageDepth());
    if (w > 0 && h > 0) {
        b->Resize(w, h);
        if (!b->Create()) return nullptr;
    }
    return b;
}

const char* const kMaskNames[] = {
    "FadeMask00_BlindR.bmp",    "FadeMask01_BlindL.bmp",     "FadeMask02_VorelR.bmp",
    "FadeMask03_VorelL.bmp",    "FadeMask04_Circle.bmp",     "FadeMask05_CircleR.bmp",
    "FadeMask06_Clock.bmp",     "FadeMask07_Swirl.bmp",      "FadeMask08_Crystal.bmp",
    "FadeMask09_StripesB.bmp",  "FadeMask10_StripesN.bmp",   "FadeMask11_Star.bmp",
    "FadeMask12_Radiation.bmp", "FadeMask13_RadiationR.bmp", "FadeMask14_Windmill.bmp",
    "FadeMask15_Naruto.bmp",    "FadeMask16_Noise.bmp",
};

}  // namespace

// ---- Construction and set-up ----

TStageUnit::TStageUnit() {
    for (int i = 0; i < kSlots; ++i) {
        ShownId[i] = -1;
        MoveFrom[i] = MoveTo[i] = kNoPos;
        ShownRate[i] = LeaveRate[i] = 128;
    }
    Staged.Reset();
}

TStageUnit::~TStageUnit() {
    if (SetUpDone) Release();
}

void TStageUnit::BuildPanels() {
    auto make = [](TNyRGBPanel* parent, int w, int h) {
        auto p = std::make_unique<TNyRGBPanel>(nullptr);
        if (parent) p->SetParent(parent);
        p->SetAutoSize(false);
        p->SetSizeX(w);
        p->SetSizeY(h);
        return p;
    };
    stagePanel_ = make(nullptr, kWidth, kHeight);
    stagePanel_->OnDraw = [this](TNyRGBPanel*, TNyRGBBits* d, int x, int y, int sx, int sy, int dx,
                                 int dy) { return StagePanelDraw(d, x, y, sx, sy, dx, dy); };
    stagePanel_->OnMouseDown = [this](TNyRGBPanel*, TMouseButton b, TShiftState, int, int) {
        if (Click.IsSet()) Click.Call(b == mbLeft ? 1 : b == mbRight ? 2 : 3);
    };
    for (int second = 0; second < 2; ++second) {
        auto& root = second ? bgPanel2_ : bgPanel_;
        root = make(nullptr, kWidth, kHeight);
        TNyRGBPanel* r = root.get();
        weather_[second][0] = make(r, kWidth, kHeight);
        masks_[second][0] = make(r, kWidth, kHeight);
        masks_[second][1] = make(r, kWidth, kHeight);
        if (!second) {
            outCharBase_ = make(r, kWidth, kHeight);
            for (int i = 0; i < kSlots; ++i) slotPanel_[2][i] = make(outCharBase_.get(), 0, 0);
        }
        auto& cb = second ? charBase2_ : charBase_;
        cb = make(r, kWidth, kHeight);
        for (int i = 0; i < kSlots; ++i) slotPanel_[second][i] = make(cb.get(), 0, 0);
        weather_[second][1] = make(r, kWidth, kHeight);
        r->OnDraw = [this, second](TNyRGBPanel*, TNyRGBBits* d, int x, int y, int sx, int sy,
                                   int dx, int dy) {
            // The old picture keeps showing what was there when the background did not change.
            const StageRecord& rec = second && SecondBG && BG[1].created ? BG[1] : BG[0];
            if (!rec.picture || !rec.picture->Created()) return true;
            const int page = std::clamp(rec.page, 0, std::max(0, rec.pages - 1));
            d->Draw(x, y, rec.picture.get(), sx, sy + page * kHeight, dx, dy);
            return true;
        };
        for (int front = 0; front < 2; ++front) {
            weather_[second][front]->SetMaskMode(3);
            weather_[second][front]->OnDraw = [this, second, front](TNyRGBPanel*, TNyRGBBits* d,
                                                                    int x, int y, int sx, int sy,
                                                                    int dx, int dy) {
                const StageRecord& rec = second && SecondBG && BG[1].created ? BG[1] : BG[0];
                const ZRRect clip{x, y, x + dx, y + dy};
                if (front)
                    PaintWeatherFront(rec, d, x - sx, y - sy, clip);
                else
                    PaintWeatherBack(rec, d, x - sx, y - sy, clip);
                return true;
            };
        }
        for (auto& m : masks_[second]) m->SetVisible(false);
    }
    for (int set = 0; set < 3; ++set)
        for (int i = 0; i < kSlots; ++i) {
            TNyRGBPanel* p = slotPanel_[set][i].get();
            p->SetMaskMode(3);
            p->SetVisible(false);
            p->OnDraw = [this, set, i](TNyRGBPanel*, TNyRGBBits* d, int x, int y, int sx, int sy,
                                       int dx, int dy) {
                const int32_t rate = set == 0 ? ShownRate[i] : set == 2 ? LeaveRate[i] : 128;
                // A kept slot shows the record it had; an unchanged one shows the current one.
                const CharRecord& rec = set == 1 && !PrevSet[i] ? Chars[0][i] : Chars[set][i];
                DrawCharRecord(rec, d, x - sx, y - sy, ZRRect{sx, sy, sx + dx, sy + dy}, rate);
                return true;
            };
        }
}

bool TStageUnit::Setup(ZRFileMan* archive) {
    if (SetUpDone) Release();
    Archive = archive;
    auto open = [](const char* pak, const char* dir) {
        auto f = std::make_unique<ZRFileMan>();
        // The directory manager takes any name; a directory that is not there is no archive.
        if (f->InitPack(pak) || (std::filesystem::is_directory(dir) && f->InitDir(dir))) return f;
        return std::unique_ptr<ZRFileMan>();
    };
    BGFiles = open("EvBG.pak", "EvBG_Pak");
    CGFiles = open("EvCG.pak", "EvCG_Pak");
    bool ok = BGFiles && CGFiles;
    if (ok) {
        BuildPanels();
        stageBits_ = NewBits(kWidth, kHeight);
        ok = stageBits_ != nullptr;
    }
    if (ok) {
        stagePanel_->SetImage(stageBits_.get());
        stagePanel_->SetMaskMode(0);
        ok = bgPanel_->AllCreate() && bgPanel2_->AllCreate() && stagePanel_->AllCreate();
    }
    if (ok) {
        BG[0] = StageRecord{};
        BG[0].picture = std::shared_ptr<TNyRGBBits>(NewBits(kWidth, kHeight).release());
        BG[0].created = BG[0].picture != nullptr;
        if (!BG[0].created) throw plat::Exception("TStageUnit::BGStatCreate Create Error");
        Snow = NewBits(0, 0);
        ok = archive && DrawImageFile(Snow.get(), nullptr, "Snow.bmp", 0, 0, archive);
    }
    if (ok) {
        FlakeWork = NewBits(10, 10);
        ok = FlakeWork != nullptr;
    }
    if (!ok) {
        SetUpDone = true;
        Release();
        return false;
    }
    Transition.Stop();
    StageState = ssIdle;
    SetUpDone = true;
    Reset();
    return true;
}

void TStageUnit::Release() {
    EndTransition();
    for (int set = 0; set < 3; ++set) FreeCharSet(set);
    BG[0] = StageRecord{};
    BG[1] = StageRecord{};
    if (stagePanel_) {
        if (stagePanel_->GetParent()) stagePanel_->SetParent(nullptr);
        stagePanel_->AllRelease();
        stagePanel_->SetImage(nullptr);
    }
    if (bgPanel_) bgPanel_->AllRelease();
    if (bgPanel2_) bgPanel2_->AllRelease();
    for (auto& set : slotPanel_)
        for (auto& p : set) p.reset();
    for (auto& s : weather_)
        for (auto& p : s) p.reset();
    for (auto& s : masks_)
        for (auto& p : s) p.reset();
    charBase_.reset();
    charBase2_.reset();
    outCharBase_.reset();
    bgPanel_.reset();
    bgPanel2_.reset();
    stagePanel_.reset();
    stageBits_.reset();
    Snow.reset();
    FlakeWork.reset();
    BGFiles.reset();
    CGFiles.reset();
    StageState = ssReleased;
    SetUpDone = false;
}

void TStageUnit::FreeCharSet(int set) {
    for (auto& r : Chars[set]) r.Clear();
}

void TStageUnit::Reset() {
    if (!SetUpDone) return;
    EndTransition();
    SecondBG = 0;
    bgPanel_->Show();
    BG[1] = StageRecord{};
    if (BG[0].picture && BG[0].picture->Created()) BG[0].picture->Cls();
    BG[0].alpha.reset();
    AppliedBG = LoadedBG = StagedBG = 999;
    Letter = 0xFF;
    ToneMode = 0;
    for (int i = 0; i < kSlots; ++i) {
        PrevSet[i] = 0;
        ShownId[i] = -1;
        ShownRate[i] = LeaveRate[i] = 128;
        MoveFrom[i] = MoveTo[i] = kNoPos;
        FadeIn[i] = FadeOut[i] = 0;
    }
    for (int set = 0; set < 3; ++set) {
        FreeCharSet(set);
        for (auto& p : slotPanel_[set]) p->Hide();
    }
    Staged.Reset();
    Priority = StagedPriority = 0;
    ApplyPriority(0, 0);
    Period = Weather = ColourEffect = 0;
    RainLevel = 4;
    BG[0].rainLevel = 4;
    BG[0].variant = 0;
    BG[0].pages = 1;
    BG[0].page = 0;
    for (auto& s : weather_)
        for (auto& p : s) p->Hide();
    EffectNo = MoveNo = 0;
    ShiftX = ShiftY = 0;
    StageState = ssIdle;
    RefreshStage();
}

void TStageUnit::SetValues(const AvgStageValues& v) {
    SetTimePeriod(v.period);
    SetWeather(v.weather);
    SetRainLevel(v.rainLevel);
    SetBackground(v.background);
    SetCharSlots(v.chars);
    SetPriority(v.priority);
}

void TStageUnit::AttachStage(TNyRGBPanel* parent) {
    if (!stagePanel_) return;
    stagePanel_->SetParent(parent);
    if (parent) stagePanel_->SetModify();
}

void TStageUnit::DetachStage() {
    if (stagePanel_ && stagePanel_->GetParent()) stagePanel_->SetParent(nullptr);
}

// ---- Geometry of the slot panels ----

void TStageUnit::PlaceCentred(TNyRGBPanel* p, int32_t x, int32_t y) {
    const int nx = x - p->GetSizeX() / 2;
    const int ny = (kHeight - p->GetSizeY()) / 2 + y;
    if (nx == p->GetOffsetX() && ny == p->GetOffsetY()) {
        p->SetModify();
        return;
    }
    p->SetModifyToParent();
    p->SetOffsetX(nx);
    p->SetOffsetY(ny);
    p->SetModify();
}

void TStageUnit::PlaceAtCode(TNyRGBPanel* p, int32_t code) {
    int32_t x, y;
    StagePosToXY(code, x, y);
    PlaceCentred(p, x, y);
}

void TStageUnit::ApplyPriority(int set, int32_t priority) {
    if (priority < 0 || priority > 3) return;
    for (int k = 0; k < kSlots; ++k) {
        const int slot = kStagePriority[priority][k];
        if (set == 0) {
            charBase_->RaiseOrder(slotPanel_[0][slot].get(), nullptr);
            outCharBase_->RaiseOrder(slotPanel_[2][slot].get(), nullptr);
        } else {
            charBase2_->RaiseOrder(slotPanel_[1][slot].get(), nullptr);
        }
    }
}

void TStageUnit::UpdatePriority(bool keep) {
    if (keep) ApplyPriority(1, Priority);
    if (StagedPriority != Priority) {
        Priority = StagedPriority;
        ApplyPriority(0, Priority);
    }
}

void TStageUnit::UpdateCharSlot(int slot, bool keep) {
    const int32_t id = Staged.ShowId[slot];
    if (ShownId[slot] == id) return;
    if (keep) {
        Chars[1][slot] = std::move(Chars[0][slot]);
        Chars[0][slot].Clear();
        PrevSet[slot] = 1;
    }
    TNyRGBPanel* p = slotPanel_[0][slot].get();
    LoadChar(Chars[0][slot], p, slot, id);
    if (p->GetVisible()) {
        ShownId[slot] = id;
        ShownRate[slot] = 128;
    } else {
        ShownId[slot] = -1;
    }
}

// ---- Transitions ----

uint8_t TStageUnit::TransitionKindOf(int32_t effect) {
    auto mask = [this](int index, uint8_t kind) {
        Transition.mask.Load(Archive, kMaskNames[index]);
        return kind;
    };
    switch (effect) {
        case 1:
            return 0;
        case 2:
            return 1;
        case 4:
            return mask(2, 14);
        case 5:
            return mask(3, 14);
        case 6:
            return mask(0, 14);
        case 7:
            return mask(1, 14);
        case 8:
            return 3;
        case 9:
            return 4;
        case 10:
            return 5;
        case 11:
            return 6;
        case 12:
            return 7;
        case 13:
            return 9;
        case 14:
            // Without its tables the ripple runs flat rather than stopping the story.
            try {
                Transition.water.LoadTables(Archive);
            } catch (const EGameErr&) {
                Transition.water.Free();
            }
            return 11;
        case 15:
            try {
                Transition.halo.Load(Archive, StageDepth());
            } catch (const EGameErr&) {
                Transition.halo.Free();
            }
            return 12;
        case 21:
            return mask(9, 13);
        default:
            if (effect >= 16 && effect <= 28) return mask(effect - 12, 14);
            return 0;
    }
}

void TStageUnit::FreeTransitionResource(uint8_t kind) {
    if (kind == 11) Transition.water.Free();
    if (kind == 12) Transition.halo.Free();
    if (kind == 13 || kind == 14) Transition.mask.Free();
}

void TStageUnit::DeletePictures() {
    DeleteTracked(FromBits);
    DeleteTracked(ToBits);
}

void TStageUnit::EndTransition() {
    Transition.Stop();
    DeletePictures();
    if (TransKind != kTransitionIdle) FreeTransitionResource(TransKind);
    TransKind = kTransitionIdle;
    BG[1] = StageRecord{};
    FreeCharSet(1);
    SecondBG = 0;
    for (auto& f : PrevSet) f = 0;
    if (bgPanel2_)
        for (auto& p : slotPanel_[1]) p->Hide();
}

bool TStageUnit::SnapshotInto(TNyRGBBits* bits, bool second) {
    TNyRGBPanel* root = second ? bgPanel2_.get() : bgPanel_.get();
    return root->Draw(bits, 0, 0);
}

bool TStageUnit::StageTransition(int32_t effect, int32_t speed) {
    if (!SetUpDone) return false;
    if (StageState != ssIdle) {
        // A new step replaces whatever was still moving.
        EndTransition();
        StageState = ssIdle;
    }
    Simple = UserSettings.SimpleDisplay;
    const bool keep = effect != 0 && !Simple;
    BG[1] = StageRecord{};
    FreeCharSet(1);
    for (auto& p : slotPanel_[1]) p->Hide();
    if (effect != 0) {
        FromBits = CreateScreenBits();
        ToBits = CreateScreenBits();
        SnapshotInto(FromBits, false);
    }
    const int32_t oldTone = ToneMode, oldColour = ColourEffect;
    // The colour effect follows the weather; it is settled with the background.
    if (keep) {
        SecondBG = 0;
        ShowWeatherPanels(true, BG[0].variant);
        bgPanel2_->SetModify();
    }
    UpdateBackground(keep);
    if (keep) {
        for (int i = 0; i < kSlots; ++i) {
            PrevSet[i] = 0;
            TNyRGBPanel* src = slotPanel_[0][i].get();
            TNyRGBPanel* dst = slotPanel_[1][i].get();
            dst->SetSizeX(src->GetSizeX());
            dst->SetSizeY(src->GetSizeY());
            dst->SetOffsetX(src->GetOffsetX());
            dst->SetOffsetY(src->GetOffsetY());
            dst->SetVisible(src->GetVisible());
        }
    }
    if (ToneMode != oldTone || ColourEffect != oldColour) {
        int32_t saved[kSlots];
        for (int i = 0; i < kSlots; ++i) {
            saved[i] = Staged.ShowId[i];
            Staged.ShowId[i] = -1;
        }
        for (int i = 0; i < kSlots; ++i) UpdateCharSlot(i, keep);
        for (int i = 0; i < kSlots; ++i) Staged.ShowId[i] = saved[i];
        for (int i = 0; i < kSlots; ++i) UpdateCharSlot(i, false);
    } else {
        for (int i = 0; i < kSlots; ++i) UpdateCharSlot(i, keep);
    }
    UpdatePriority(keep);
    if (effect != 0) {
        SnapshotInto(ToBits, false);
        uint8_t kind = kTransitionIdle;
        bool started = false;
        try {
            kind = TransitionKindOf(effect);
            started = Transition.Start(kind, FromBits, speed, ToBits);
        } catch (const EGameErr&) {
            // A missing or damaged mask (its loader names the file) changes the stage at once,
            // as any step that cannot start does, instead of ending the story half applied.
            Transition.mask.Free();
        }
        TransKind = kind;
        if (!started) {
            FreeTransitionResource(kind);
            DeletePictures();
            BG[1] = StageRecord{};
            FreeCharSet(1);
            TransKind = kTransitionIdle;
        }
    }
    if (TransKind != kTransitionIdle) {
        StageState = ssTransition;
        stagePanel_->SetModify();
        RefreshStage();
    } else {
        StageState = ssIdle;
        SecondBG = 0;
        RefreshStage();
    }
    return IsBusy();
}

// ---- Character applies ----

void TStageUnit::ResetCharMoves() {
    for (int i = 0; i < kSlots; ++i) {
        MoveFrom[i] = MoveTo[i] = kNoPos;
        FadeIn[i] = FadeOut[i] = 0;
        CharRecord& r = Chars[0][i];
        EntryStart(r, 0);
        EntryStart(r, 3);
        EntryStop(r, 1);
        EntryStop(r, 2);
    }
}

bool TStageUnit::StageApply() {
    if (!SetUpDone) return false;
    if (StageState != ssIdle) {
        EndTransition();
        StageState = ssIdle;
    }
    ResetCharMoves();
    FreeCharSet(2);
    for (auto& p : slotPanel_[2]) p->Hide();
    struct Geometry {
        int sx, sy, ox, oy;
        bool visible;
    };
    CharRecord temp[kSlots];
    Geometry geo[kSlots];
    for (int i = 0; i < kSlots; ++i) {
        temp[i] = std::move(Chars[0][i]);
        Chars[0][i].Clear();
        TNyRGBPanel* p = slotPanel_[0][i].get();
        geo[i] = {p->GetSizeX(), p->GetSizeY(), p->GetOffsetX(), p->GetOffsetY(), p->GetVisible()};
    }
    auto setGeometry = [](TNyRGBPanel* p, const Geometry& g) {
        p->SetModifyToParent();
        p->SetSizeX(g.sx);
        p->SetSizeY(g.sy);
        p->SetOffsetX(g.ox);
        p->SetOffsetY(g.oy);
        p->SetVisible(g.visible);
        p->SetModify();
    };
    for (int i = 0; i < kSlots; ++i) {
        const int32_t leave = Staged.LeaveId[i];
        if (leave < 0) continue;
        TNyRGBPanel* out = slotPanel_[2][i].get();
        if (temp[i].Holds()) {
            Chars[2][i] = std::move(temp[i]);
            temp[i].Clear();
            setGeometry(out, geo[i]);
        }
        if (leave != ShownId[i]) LoadChar(Chars[2][i], out, i, leave);
        LeaveRate[i] = 128;
        ShownId[i] = -1;
        slotPanel_[0][i]->Hide();
        MoveTo[i] = Staged.MoveTo[i];
        FadeOut[i] = Staged.LeaveFlag[i];
    }
    int32_t tempId[kSlots];
    for (int i = 0; i < kSlots; ++i) {
        tempId[i] = temp[i].Holds() ? ShownId[i] : -1;
        ShownId[i] = -1;
    }
    for (int i = 0; i < kSlots; ++i) {
        if (Staged.ShowId[i] < 0) continue;
        const int32_t from = Staged.MoveFrom[i] == kNoPos ? i : Staged.MoveFrom[i];
        if (from >= 0 && from < kSlots && temp[from].Holds()) {
            Chars[0][i] = std::move(temp[from]);
            temp[from].Clear();
            setGeometry(slotPanel_[0][i].get(), geo[from]);
            ShownId[i] = tempId[from];
        }
        MoveFrom[i] = Staged.MoveFrom[i];
        FadeIn[i] = Staged.ShowFlag[i];
        UpdateCharSlot(i, false);
    }
    for (int i = 0; i < kSlots; ++i) {
        // A slot that shows no one now is hidden, whatever its panel held before.
        if (ShownId[i] < 0) slotPanel_[0][i]->Hide();
        temp[i].Clear();
    }
    UpdatePriority(false);
    StageState = ssApply;
    ApplyStepNo = 0;
    ApplyRunning = 1;
    ApplyStep();
    RefreshStageChanged();
    return IsBusy();
}

void TStageUnit::ApplyStep() {
    ApplyRunning = 0;
    const int32_t step = ApplyStepNo;
    // Moves one panel between two codes; gives the total step count of the move.
    auto moveOne = [&](TNyRGBPanel* p, int32_t start, int32_t end, bool fade) {
        const int32_t col = StagePosColumnDistance(start, end) * 4;
        const int32_t row = StagePosRowDistance(start, end) * 4;
        const int32_t back = StagePosBackDistance(start, end) * 4;
        int32_t total = std::max({col, row, back});
        if (fade && total < 4) total = 4;
        if (total < step) return -1;
        int32_t x0, y0, x1, y1;
        StagePosToXY(start, x0, y0);
        StagePosToXY(end, x1, y1);
        const int32_t x = step < col ? x0 + (x1 - x0) * step / col : x1;
        const int32_t y = step < row ? y0 + (y1 - y0) * step / row : y1;
        PlaceCentred(p, x, y);
        if (total > step) ApplyRunning = 1;
        return total;
    };
    for (int i = 0; i < kSlots; ++i) {
        TNyRGBPanel* p = slotPanel_[0][i].get();
        if (!p->GetVisible() || MoveFrom[i] == kNoPos) continue;
        if (moveOne(p, MoveFrom[i], i, FadeIn[i] != 0) < 0) continue;
        ShownRate[i] = FadeIn[i] && step < 4 ? step * 32 : 128;
    }
    for (int i = 0; i < kSlots; ++i) {
        TNyRGBPanel* p = slotPanel_[2][i].get();
        if (!p->GetVisible() || MoveTo[i] == kNoPos) continue;
        const int32_t total = moveOne(p, i, MoveTo[i], FadeOut[i] != 0);
        if (total < 0) continue;
        LeaveRate[i] = FadeOut[i] && step >= total - 4 ? (total - step) * 32 : 128;
    }
    if (StageState != ssApply) {
        for (int i = 0; i < kSlots; ++i) {
            TNyRGBPanel* p = slotPanel_[0][i].get();
            if (p->GetVisible()) {
                ShownRate[i] = 128;
                PlaceAtCode(p, i);
            }
            slotPanel_[2][i]->Hide();
        }
    }
}

// ---- The frame ----

void TStageUnit::ShowWeatherPanels(bool second, int32_t variant) {
    TNyRGBPanel* back = weather_[second][0].get();
    TNyRGBPanel* front = weather_[second][1].get();
    back->SetVisible(VariantShowsBack(variant));
    front->SetVisible(VariantShowsFront(variant));
    back->SetModify();
    front->SetModify();
}

TNyRGBBits* TStageUnit::WhitePicture() {
    TNyRGBBits* b = CreateScreenBits();
    b->BoxFill(0, 0, kWidth - 1, kHeight - 1, b->TNyRGBtoPixel(ZRRGB{0xFF, 0xFF, 0xFF}));
    return b;
}

bool TStageUnit::StageFrame(int32_t ticks, bool skip) {
    if (!SetUpDone) return false;
    if (ticks == 0) return IsBusy();
    if (!UserSettings.SimpleDisplay) {
        BGAnimTick(BG[0], bgPanel_.get());
        WeatherTick(ticks, BG[0], 0);
        if (SecondBG && BG[1].created && BG[1].picture) {
            BGAnimTick(BG[1], bgPanel2_.get());
            WeatherTick(ticks, BG[1], 1);
        }
        for (int i = 0; i < kSlots; ++i) {
            BlinkTick(i);
            for (int e = 0; e < CharRecord::kEntries; ++e) {
                EntryAnimTick(Chars[0][i], e, slotPanel_[0][i].get());
                if (PrevSet[i] && Chars[1][i].Holds())
                    EntryAnimTick(Chars[1][i], e, slotPanel_[1][i].get());
                if (Chars[2][i].Holds()) EntryAnimTick(Chars[2][i], e, slotPanel_[2][i].get());
            }
        }
    }
    bool full = false;
    switch (StageState) {
        case ssTransition:
            full = true;
            if (Transition.IsIdle() || skip) {
                EndTransition();
                StageState = ssIdle;
            } else {
                if (!UserSettings.SimpleDisplay && !Simple) {
                    SnapshotInto(ToBits, false);
                    SnapshotInto(FromBits, true);
                }
                Transition.Advance(ticks);
            }
            break;
        case ssApply:
            ++ApplyStepNo;
            if (skip) ApplyRunning = 0;
            if (!ApplyRunning) {
                StageState = ssIdle;
                full = true;
            }
            ApplyStep();
            break;
        case ssEffect:
            if (EffectNo >= 0 && EffectNo <= 3) {
                ++EffectStepNo;
                bool more = true;
                if (EffectStepNo % 2 == 0 || skip) more = EffectStep(EffectStepNo / 2);
                if (!more || skip) {
                    StageState = ssIdle;
                    ShiftX = ShiftY = 0;
                }
                stagePanel_->SetModify();
            } else if (EffectNo == 4) {
                full = true;
                if (!Transition.IsIdle() && !skip) {
                    if (!UserSettings.SimpleDisplay)
                        SnapshotInto(EffectStepNo == 0 ? FromBits : ToBits, false);
                    Transition.Advance(ticks);
                } else if (EffectStepNo == 0 && !skip) {
                    Transition.Stop();
                    DeletePictures();
                    FromBits = WhitePicture();
                    ToBits = CreateScreenBits();
                    SnapshotInto(ToBits, false);
                    if (!Transition.Start(1, FromBits, 100, ToBits)) {
                        DeletePictures();
                        StageState = ssIdle;
                    }
                    EffectStepNo = 1;
                } else {
                    Transition.Stop();
                    DeletePictures();
                    StageState = ssIdle;
                }
            }
            break;
        case ssMove:
            ++MoveStepNo;
            if (!MoveStep(MoveStepNo) || skip) StageState = ssIdle;
            break;
        default:
            break;
    }
    if (full)
        RefreshStage();
    else if (bgPanel_->GetModified())
        RefreshStageChanged();
    return IsBusy();
}

void TStageUnit::RefreshStage() {
    if (!stageBits_ || !stageBits_->Created()) return;
    if (StageState == ssTransition || (StageState == ssEffect && EffectNo == 4)) {
        ZRRectSet dirty;
        Transition.Draw(stageBits_.get(), 0, &dirty);
        bgPanel_->ClrModifyToChild();
    } else {
        bgPanel_->Draw(stageBits_.get(), 0, 0);
    }
    LastRefreshArea = kWidth * kHeight;
    stagePanel_->SetModify();
}

void TStageUnit::RefreshStageChanged() {
    if (!stageBits_ || !stageBits_->Created()) return;
    ZRRectSet dirty;
    bgPanel_->GetModifiedRectSet(&dirty);
    LastRefreshArea = 0;
    for (const ZRRect& r : dirty) {
        bgPanel_->Draw(stageBits_.get(), 0, 0, r.left, r.top, r.right - r.left, r.bottom - r.top);
        LastRefreshArea += (r.right - r.left) * (r.bottom - r.top);
    }
    bgPanel_->ClrModifyToChild();
    for (const ZRRect& r : dirty) stagePanel_->SetModifyRect(r);
}

bool TStageUnit::StagePanelDraw(TNyRGBBits* dest, int x, int y, int sx, int sy, int dx, int dy) {
    if (StageState != ssEffect || EffectNo < 0 || EffectNo > 3) return false;
    if (!stageBits_) return true;
    // The picture moved by the shift, clipped to the panel; what it uncovers is black.
    const ZRRect area{sx, sy, sx + dx, sy + dy};
    ZRRect src{ShiftX, ShiftY, ShiftX + kWidth, ShiftY + kHeight};
    src.IntersectRect(area);
    const uint32_t black = dest->TNyRGBtoPixel(ZRRGB{0, 0, 0});
    const int ox = x - sx, oy = y - sy;
    dest->BoxFill(x, y, x + dx - 1, y + dy - 1, black);
    if (!src.IsRectEmpty())
        dest->Draw(ox + src.left, oy + src.top, stageBits_.get(), src.left - ShiftX,
                   src.top - ShiftY, src.right - src.left, src.bottom - src.top);
    return true;
}
