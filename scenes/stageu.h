// TStageUnit: the picture of the story. One background, weather behind and in front of the
// characters and seven character slots are composed off screen into one full-screen panel.
// The adventure scene host hands it the staged values and asks it to apply them with a
// transition, to apply only the character changes with their moves, or to run a short effect;
// the battle borrows it for the centre character's moves. It runs on the logic thread inside
// its owner's frame callbacks and has no thread or lock of its own.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "foundation/zrcallback.h"
#include "foundation/zrfileman.h"
#include "foundation/zrrect.h"
#include "foundation/zrstd.h"
#include "game/gamedata.h"
#include "game/gameeffect.h"
#include "scenes/avgseams.h"
#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbpanel.h"

// ---- Position codes ----
// A position code places a character: 0-6 are the seven columns of the stage, -7..-1 and
// 7..13 continue the row off the edges, 20-26 stand at the back, 30-36 one screen above and
// 40-46 one screen below. -100 is no position.
inline constexpr int32_t kNoPos = -100;
int32_t StagePosColumn(int32_t code);
int32_t StagePosRow(int32_t code);
int32_t StagePosIsBack(int32_t code);
void StagePosToXY(int32_t code, int32_t& x, int32_t& y);
int32_t StagePosColumnDistance(int32_t a, int32_t b);
int32_t StagePosRowDistance(int32_t a, int32_t b);
int32_t StagePosBackDistance(int32_t a, int32_t b);
int32_t StagePosDistance(int32_t a, int32_t b);
// Slot indices raised in order for priorities 0-3: the last one ends on top.
extern const int32_t kStagePriority[4][7];

// The background record: the picture of one background (pages of 720 rows stacked), its
// alpha plane when the file brought one, and the weather particles that go with it.
struct StageRecord {
    bool created = false;
    // Shared with the other record while a transition keeps an unchanged background.
    std::shared_ptr<TNyRGBBits> picture;
    std::shared_ptr<TNyAlpha> alpha;
    int32_t variant = 0;
    int32_t counter = 0;
    int16_t px[256] = {};
    int16_t py[256] = {};
    int32_t wind[4] = {};
    int32_t rainLevel = 4;
    int32_t pages = 1;
    int32_t pageWait = 0;
    int32_t pageCounter = 0;
    int32_t page = 0;
};

// One character: the whole picture, its size on the stage, the image rectangles cut from the
// picture, the animations over those images and the four entries that place them.
struct CharRecord {
    struct Image {
        int32_t x, y, w, h;
    };
    struct Frame {
        int32_t image, wait;
    };
    struct Entry {
        int32_t x, y, image, anim, counter, frame;
    };
    static constexpr int kImages = 16;
    static constexpr int kAnims = 4;
    static constexpr int kFrames = 16;
    static constexpr int kEntries = 4;
    static constexpr int32_t kMaxSize = 4096;

    CharRecord() { Clear(); }
    // Back to an empty record without pictures.
    void Clear();
    bool Holds() const { return created && picture && picture->Created(); }
    // The rectangle entry e shows now; empty when it shows nothing.
    Image EntryImage(int e) const;

    bool created = false;
    int32_t width = 0, height = 0;
    std::unique_ptr<TNyRGBBits> picture;
    std::unique_ptr<TNyAlpha> alpha;
    Image image[kImages];
    Frame anim[kAnims][kFrames];
    Entry entry[kEntries];
    int32_t blinkTimer = 0;
};

// Reads a character definition into the record (sizes, images, animations, entries). Every
// value that would index outside the record is turned away; any bytes are safe.
void ParseCharDefinition(CharRecord& rec, std::string_view text);

class TStageUnit : public AvgStage {
  public:
    enum State : uint8_t {
        ssReleased = 0,
        ssIdle = 1,
        ssTransition = 2,
        ssApply = 3,
        ssEffect = 4,
        ssMove = 5,
    };
    static constexpr int kSlots = 7;
    static constexpr int kWidth = 1280;
    static constexpr int kHeight = 720;

    TStageUnit();
    ~TStageUnit() override;
    TStageUnit(const TStageUnit&) = delete;
    TStageUnit& operator=(const TStageUnit&) = delete;

    bool Setup(ZRFileMan* archive);
    void Release();
    void Reset();

    void SetTimePeriod(int32_t v) { Period = v; }
    void SetWeather(int32_t v) { Weather = v; }
    void SetBackground(int32_t v) { StagedBG = v; }
    void SetRainLevel(int32_t v) {
        if (v >= 0 && v <= 4) RainLevel = v;
    }
    void SetPriority(int32_t v) {
        if (v >= 0 && v <= 3) StagedPriority = v;
    }
    void SetCharSlots(const CharSlots& s) { Staged = s; }

    bool StageTransition(int32_t effect, int32_t speed = 100);
    bool StageApply();
    bool StageEffect(int32_t n);
    bool StageMove(int32_t n);
    void SetSpeaking(int slot, bool on) override;
    bool StageFrame(int32_t ticks, bool skip);
    bool IsBusy() const override { return StageState != ssIdle; }
    void AttachStage(TNyRGBPanel* parent);
    void DetachStage();
    void SetClickCallback(const ZRBaseCallback1<void, int>& cb) { Click = cb; }
    void RefreshStage();
    void RefreshStageChanged();

    // ---- The host's seam ----
    bool Exists() const override { return SetUpDone; }
    void SetValues(const AvgStageValues& v) override;
    bool StartTransition(int32_t effect, int32_t speed) override {
        return StageTransition(effect, speed);
    }
    bool ApplyChars() override { return StageApply(); }
    bool StartEffect(int32_t n) override { return StageEffect(n); }
    bool StartMove(int32_t n) override { return StageMove(n); }
    void ApplyWeather(bool animate) override { StageTransition(animate ? 1 : 0, 100); }
    void Frame(int32_t ticks, bool skipping, bool effectCanSkip) override {
        StageFrame(ticks, skipping && effectCanSkip);
    }
    void Attach(TNyRGBPanel* parent, const ZRBaseCallback1<void, int>& callback) override {
        SetClickCallback(callback);
        AttachStage(parent);
    }
    void Detach() override { DetachStage(); }

    // ---- Pictures (stageu_pictures.cpp) ----
    bool FindBackgroundFile(int32_t n, uint8_t letter, ZRString& name);
    void UpdateBackground(bool keep);
    void LoadChar(CharRecord& rec, TNyRGBPanel* panel, int32_t code, int32_t id);
    bool ReadCharDefinition(CharRecord& rec, const ZRString& name);
    // Draws the record's entries into dest; (ox, oy) is where the panel's origin lands and
    // area (panel coordinates) the part being drawn.
    static void DrawCharRecord(const CharRecord& rec, TNyRGBBits* dest, int ox, int oy,
                               const ZRRect& area, int32_t rate);
    static void EntryStart(CharRecord& rec, int e);
    static void EntryStop(CharRecord& rec, int e);
    // Advances entry e one frame; true when its rectangle changed (old and new are flagged).
    static bool EntryAnimTick(CharRecord& rec, int e, TNyRGBPanel* panel);
    void BlinkTick(int slot);
    void BGAnimTick(StageRecord& rec, TNyRGBPanel* panel);

    // ---- Weather and effects (stageu_weather.cpp) ----
    void WeatherInit(StageRecord& rec);
    void WeatherTick(int32_t ticks, StageRecord& rec, int which);
    void PaintWeatherBack(const StageRecord& rec, TNyRGBBits* dest, int ox, int oy,
                          const ZRRect& clip);
    void PaintWeatherFront(const StageRecord& rec, TNyRGBBits* dest, int ox, int oy,
                           const ZRRect& clip);
    bool EffectStep(int32_t step);
    bool MoveStep(int32_t step);
    static bool VariantShowsBack(int32_t v);
    static bool VariantShowsFront(int32_t v);

    // ---- Panels ----
    TNyRGBPanel* StagePanel() const { return stagePanel_.get(); }
    TNyRGBPanel* BGPanel() const { return bgPanel_.get(); }
    TNyRGBPanel* BGPanel2() const { return bgPanel2_.get(); }
    TNyRGBPanel* CharPanel(int set, int slot) const { return slotPanel_[set][slot].get(); }
    TNyRGBPanel* WeatherPanel(bool second, bool front) const {
        return weather_[second ? 1 : 0][front ? 1 : 0].get();
    }
    TNyRGBBits* StagePicture() const { return stageBits_.get(); }

    // ---- State, public for the host's tests and the battle ----
    bool SetUpDone = false;
    uint8_t StageState = ssReleased;
    ZRFileMan* Archive = nullptr;
    std::unique_ptr<ZRFileMan> BGFiles, CGFiles;
    ZRBaseCallback1<void, int> Click;
    int32_t AppliedBG = 999;
    int32_t LoadedBG = 999;
    uint8_t Letter = 0xFF;
    int32_t StagedBG = 999;
    int32_t ShownId[kSlots];
    CharSlots Staged;
    int32_t Priority = 0, StagedPriority = 0;
    int32_t ToneMode = 0;
    uint8_t TransKind = kTransitionIdle;
    bool Simple = false;
    TNyRGBBits* FromBits = nullptr;
    TNyRGBBits* ToBits = nullptr;
    int32_t MoveFrom[kSlots];
    int32_t MoveTo[kSlots];
    uint8_t FadeIn[kSlots] = {}, FadeOut[kSlots] = {};
    int32_t ShownRate[kSlots], LeaveRate[kSlots];
    int32_t ApplyStepNo = 0;
    int32_t ApplyRunning = 0;
    TransitionEffect Transition;
    int32_t EffectNo = 0, EffectStepNo = 0;
    int32_t ShiftX = 0, ShiftY = 0;
    int32_t MoveNo = 0, MoveStepNo = 0;
    int32_t Period = 0, Weather = 0;
    int32_t ColourEffect = 0;
    std::unique_ptr<TNyRGBBits> Snow, FlakeWork;
    int32_t RainLevel = 4;
    StageRecord BG[2];
    CharRecord Chars[3][kSlots];
    int32_t SecondBG = 0;
    int32_t PrevSet[kSlots] = {};
    // The stage's own generator, so tests can replace it with a seeded one.
    ZRRandom Rng;
    // Tree of the BGPanel drawn (or updated) by the last refresh: for measurements.
    int32_t LastRefreshArea = 0;

  private:
    void BuildPanels();
    void PlaceCentred(TNyRGBPanel* p, int32_t x, int32_t y);
    void PlaceAtCode(TNyRGBPanel* p, int32_t code);
    void UpdateCharSlot(int slot, bool keep);
    void UpdatePriority(bool keep);
    void ApplyPriority(int set, int32_t priority);
    void ApplyStep();
    void ResetCharMoves();
    uint8_t TransitionKindOf(int32_t effect);
    void FreeTransitionResource(uint8_t kind);
    void EndTransition();
    void DeletePictures();
    void FreeCharSet(int set);
    void ShowWeatherPanels(bool second, int32_t variant);
    bool StagePanelDraw(TNyRGBBits* dest, int x, int y, int sx, int sy, int dx, int dy);
    bool SnapshotInto(TNyRGBBits* bits, bool second);
    TNyRGBBits* WhitePicture();

    std::unique_ptr<TNyRGBPanel> stagePanel_, bgPanel_, bgPanel2_, charBase_, outCharBase_,
        charBase2_;
    std::unique_ptr<TNyRGBPanel> weather_[2][2];
    std::unique_ptr<TNyRGBPanel> masks_[2][2];
    // Set 0 Char1-7, set 1 Char12-72 (under CharBase2), set 2 OutChar1-7.
    std::unique_ptr<TNyRGBPanel> slotPanel_[3][kSlots];
    std::unique_ptr<TNyRGBBits> stageBits_;
};
