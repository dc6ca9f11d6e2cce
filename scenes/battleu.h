// TBattleUnit: the slot-reel battle's screen. Its layout is built in code; it borrows the
// adventure scene's stage for the enemy, plays the cut-ins, movies, voices and sounds the
// battle asks for (BattleView) and, after each frame of its BattleCore, shows what the core
// says: reels, frames and buttons, the slot message, gauges and faces, the flash, the damage
// digits, the selection and the won screen.
#pragma once
#include <cstdint>
#include <functional>

#include "devices/crisofdec.h"
#include "foundation/zrstring.h"
#include "platform/component.h"
#include "scenes/battleu_core.h"
#include "widgets/nyrgbpanel.h"

class TDInputUnit;
class TNyRGBBits;
class TNyRGBProgram;
class TNyRGBSimple;
class TNyRGBText;
class ZRFileMan;
namespace DirectX {
class TDSoundBuffer;
}

class TBattleUnit : public plat::TComponent, private BattleView {
  public:
    explicit TBattleUnit(plat::TComponent* owner = nullptr);
    ~TBattleUnit() override;

    // Loads the tables and builds the layout; false when a table is missing or too small.
    bool Setup(ZRFileMan* archive);
    void Release();
    // False (nothing lent, nothing loaded) for a number or reel set outside the tables.
    bool PrepareBattle(int32_t battle);
    void Start();
    void FreeBattle();
    void SetGauge(int side, int32_t value);

    // The flow's two frame slots: the lent stage runs in the frame slot, the battle itself in
    // the input slot, which has the input unit.
    void Frame(int ticks);
    void Input(int ticks, TDInputUnit* input);
    // The battle's frame with the buttons already read (tests, the fuzzer).
    void FrameInput(int ticks, const BattleInput& input);

    // The layer the flow attaches: BattlePanel.
    TNyRGBPanel* RootPanel = nullptr;
    BattleCore& Core() { return core_; }
    bool StageLent() const { return stageLent_; }
    // Where the outcome goes: the logic thread's EndWait unless a test listens.
    std::function<void(int32_t)> PostResult;

    // ---- Layout ----
    TNyRGBPanel *BattlePanel = nullptr, *AvgPanel = nullptr, *SlotPanel = nullptr,
                *SlotGuide = nullptr;
    TNyRGBPanel* Reel[kReels] = {};
    TNyRGBPanel* ReelChange[2] = {};  // centre, right
    TNyRGBProgram* SlotFrame[kReels] = {};
    TNyRGBPanel* SlotLight[kReels] = {};
    TNyRGBPanel* SlotBtn[kReels] = {};
    TNyRGBPanel *SlotMes = nullptr, *SelectPanel = nullptr, *SelCharLeft = nullptr,
                *SelCharRight = nullptr, *SelectMes = nullptr;
    // Three blocks: the first at rest, the other two played in turn while the answer is chosen.
    TNyRGBSimple* SelectBtn[2] = {};
    TNyRGBText* SelectShadow[2] = {};
    TNyRGBText* SelectText[2] = {};
    TNyRGBPanel *EffectPanel = nullptr, *BGMoviePanel = nullptr, *CutinChar = nullptr,
                *EfMoviePanel = nullptr, *FlashPanel = nullptr, *DamagePanel = nullptr;
    TNyRGBPanel* DmgNum[5] = {};
    TNyRGBPanel *WinPanel = nullptr, *WinCharLeft = nullptr, *WinCharRight = nullptr,
                *WinMes = nullptr, *GaugePanel = nullptr, *GaugeFrame = nullptr,
                *GaugeLeft = nullptr, *GaugeRight = nullptr, *GaugeStar = nullptr,
                *GaugeFace = nullptr, *GaugeFaceB = nullptr;

    // Voice names: the name for n in this battle, empty for none; `random` picks the suffix.
    static ZRString VoiceName(int32_t n, int32_t battle, bool secondForm,
                              const std::function<int(int)>& random);

  private:
    // BattleView
    void MovieStart(int32_t n) override;
    bool MovieDone() override;
    void MovieStop() override;
    void CutinStart(int32_t kind) override;
    bool CutinStep(int32_t ticks) override;
    void CutinStop() override;
    void Voice(int32_t n) override;
    bool VoiceBusy() override;
    void Sound(int32_t n) override;
    void SlotSound(int32_t n) override;
    void SlotVoice(int32_t side, int32_t k) override;
    void SystemSound(int32_t n) override;
    void StageMove(int32_t move) override;
    bool StageBusy() override;
    void Music(bool play) override;
    void ClearEnemy() override;
    void HideEffects() override;
    void End(int32_t outcome) override;

    void BuildLayout();
    TNyRGBPanel* Panel(TNyRGBPanel* parent, int x, int y, int w, int h);
    void LoadPicture(TNyRGBPanel* panel, const char* name);
    void Sync(int ticks);
    void DrawReel(int i);
    void SyncSelect();
    void SyncWin();
    void SyncGauges();
    // The strength each fading panel is drawn at (128 whole).
    int ChangeRate(int i) const;
    int SlotMesRate() const;
    int SelectMesRate() const;
    int FlashRate() const;
    int32_t GaugeWidth(int32_t value, int32_t maximum, int32_t width) const;
    ZRString Form(const char* s, const char* n) const;
    void OpenEffectMovie(CriMovie& movie, TNyRGBPanel* panel, const ZRString& name, bool centre);

    BattleCore core_;
    bool setup_ = false;
    ZRFileMan* archive_ = nullptr;
    bool stageLent_ = false;
    int32_t musicTrack_ = -1;
    TNyRGBBits* strip_ = nullptr;
    CriMovie bgMovie_, efMovie_;
    DirectX::TDSoundBuffer* slotSounds_[3] = {};
    DirectX::TDSoundBuffer* slotVoices_[2][4] = {};
    DirectX::TDSoundBuffer* barVoice_ = nullptr;
    // Cut-in
    int32_t cutinKind_ = -1, cutinClass_ = 0, cutinCounter_ = 0;
    int32_t cutinStart_ = 0, cutinEnd_ = 0;
    // What is on screen, to redraw only what changed.
    int32_t shownGauge_[2] = {-1, -1};
    int32_t shownSelectMode_ = 0;
    int32_t shownSelectLook_ = -1;  // slide, counter and answer the selection was drawn with
    bool shownWin_ = false;
    int32_t shownSlotMessage_ = 0;
    // How the fading and sliding panels were last drawn: a frame that leaves them as they
    // were (every frame without a tick does) asks for no drawing.
    struct Drawn {
        int32_t change[2] = {-1, -1};
        int32_t slotMes = -1;
        int32_t flash = -1;
        int32_t number = -1;
        int32_t win = -1;
    } drawn_;
};

// The program's battle scene, null while none exists.
extern TBattleUnit* BattleUnit;
