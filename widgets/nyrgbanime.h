// Panels whose picture strip is played as an animation on the tree's animation tick. Frames
// are grouped and one group plays at a time; switching the group is how such a panel changes
// its look. TNyRGBSimple plays up to 8 groups of frame counts set in a layout (TNyRGBSBtn is a
// button over it); TNyRGBProgram plays an animation program with its player (TNyRGBPBtn is a
// button over that). A program panel does not own its animation data.
#pragma once
#include <type_traits>

#include "media/zranimestat.h"
#include "widgets/nyrgbpanel.h"

class TNyRGBAnime : public TNyRGBPanel {
  public:
    explicit TNyRGBAnime(plat::TComponent* owner);
    TNyRGBAnime(plat::TComponent* owner, TNyRGBPanel* parent);

    virtual bool IsGroupEnable(int group) = 0;
    virtual int GetFrameMax(int group) = 0;
    // The picture block of the current frame.
    virtual int GetFrameBlock() = 0;
    virtual void ChangedGroup() = 0;
    virtual void ChangedFrame() = 0;
    virtual void ChangedState() = 0;

    int GetGroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int group);
    int GetFrameIndex() const { return FFrameIndex; }
    void SetFrameIndex(int frame);

  protected:
    int FGroupIndex = 0;
    int FFrameIndex = 0;
};

enum TPanelAnimeType : uint8_t { patLoop = 0, patTurn = 1, patStop = 2 };

class TNyRGBSimple : public TNyRGBAnime {
  public:
    static constexpr int kGroups = 8;

    explicit TNyRGBSimple(plat::TComponent* owner);
    TNyRGBSimple(plat::TComponent* owner, TNyRGBPanel* parent);

    bool IsGroupEnable(int group) override;
    int GetFrameMax(int group) override;
    int GetFrameBlock() override;
    void ChangedGroup() override;
    void ChangedFrame() override;
    void ChangedState() override;
    void CallOnAnime() override;

    int GetFrameNum(int group) { return GetFrameMax(group); }
    void SetFrameNum(int group, int n);
    // The layouts' G1FrameNum to G8FrameNum: groups 0 to 7.
    int GetFrameNum1() { return GetFrameNum(0); }
    int GetFrameNum2() { return GetFrameNum(1); }
    int GetFrameNum3() { return GetFrameNum(2); }
    int GetFrameNum4() { return GetFrameNum(3); }
    int GetFrameNum5() { return GetFrameNum(4); }
    int GetFrameNum6() { return GetFrameNum(5); }
    int GetFrameNum7() { return GetFrameNum(6); }
    int GetFrameNum8() { return GetFrameNum(7); }
    void SetFrameNum1(int n) { SetFrameNum(0, n); }
    void SetFrameNum2(int n) { SetFrameNum(1, n); }
    void SetFrameNum3(int n) { SetFrameNum(2, n); }
    void SetFrameNum4(int n) { SetFrameNum(3, n); }
    void SetFrameNum5(int n) { SetFrameNum(4, n); }
    void SetFrameNum6(int n) { SetFrameNum(5, n); }
    void SetFrameNum7(int n) { SetFrameNum(6, n); }
    void SetFrameNum8(int n) { SetFrameNum(7, n); }

    int GetAnimeWait() const { return FAnimeWait; }
    void SetAnimeWait(int n);
    TPanelAnimeType GetAnimeType() const { return FAnimeType; }
    void SetAnimeType(TPanelAnimeType type);
    // The animation stopped: the end of a patStop play, or a group of one frame.
    bool Stopped() const { return FPlay == kStopped; }

  protected:
    enum PlayState : uint8_t { kForward = 0, kBackward = 1, kStopped = 2 };
    void ResetPlay() {
        FTick = 0;
        FPlay = kForward;
    }

  private:
    int GroupStart(int group) const;

    int FFrameNum[kGroups] = {1, 0, 0, 0, 0, 0, 0, 0};
    int FAnimeWait = 1;
    TPanelAnimeType FAnimeType = patLoop;
    int FTick = 0;
    uint8_t FPlay = kForward;
};

class TNyRGBProgram : public TNyRGBAnime {
  public:
    explicit TNyRGBProgram(plat::TComponent* owner);
    TNyRGBProgram(plat::TComponent* owner, TNyRGBPanel* parent);

    // The data must stay alive while bound; bind null before it goes.
    bool SetAnimeData(ZRAnimeData* data);
    ZRAnimeData* GetAnimeData() const { return FStat.GetAnimeData(); }
    ZRAnimeStat& GetAnimeStat() { return FStat; }

    bool IsGroupEnable(int group) override;
    int GetFrameMax(int group) override;
    int GetFrameBlock() override;
    void ChangedGroup() override;
    void ChangedFrame() override;
    void ChangedState() override;
    void CallOnAnime() override;

  private:
    ZRAnimeStat FStat;
};

// A button over an animated panel: group 0 is its normal look, 1 focus, 2 selected, 3 down
// and 4 disabled, each used only when it has frames; a disabled button fires no clicks.
template <class Base>
class TNyAnimeButton : public Base {
  public:
    explicit TNyAnimeButton(plat::TComponent* owner) : Base(owner) {}
    TNyAnimeButton(plat::TComponent* owner, TNyRGBPanel* parent) : Base(owner, parent) {}

    bool GetEnabled() const { return FEnabled; }
    void SetEnabled(bool on) {
        if (on == FEnabled) return;
        FEnabled = on;
        ChangedState();
    }
    bool GetSelected() const { return FSelected; }
    void SetSelected(bool on) {
        if (on == FSelected) return;
        FSelected = on;
        ChangedState();
    }
    bool GetAutoFocus() const { return FAutoFocus; }
    void SetAutoFocus(bool on) {
        FAutoFocus = on;
        FFocus = false;
        if (this->IsGroupEnable(1)) ChangedState();
    }
    bool GetFocus() const { return FFocus; }
    // Only while AutoFocus is off; otherwise the pointer decides.
    void SetFocus(bool on) {
        if (FAutoFocus) return;
        FFocus = on;
        if (this->IsGroupEnable(1)) ChangedState();
    }

    void ChangedState() override {
        if constexpr (std::is_base_of_v<TNyRGBSimple, Base>) this->ResetPlay();
        const bool down = this->GetPressed() || FSelected;
        int group = 0;
        if (!FEnabled && this->IsGroupEnable(4)) {
            group = 4;
        } else if (FSelected && this->IsGroupEnable(2)) {
            group = 2;
        } else if (down && this->IsGroupEnable(3)) {
            group = 3;
        } else if (FFocus && this->IsGroupEnable(1)) {
            group = 1;
        }
        this->SetGroupIndex(group);
        this->SetModify();
    }
    void CallOnClick() override {
        if (FEnabled) TNyRGBPanel::CallOnClick();
    }
    void CallOnMouseDown(TMouseButton button, TShiftState shift, int x, int y) override {
        if (this->IsGroupEnable(3)) ChangedState();
        TNyRGBPanel::CallOnMouseDown(button, shift, x, y);
    }
    void CallOnMouseUp(TMouseButton button, TShiftState shift, int x, int y) override {
        if (this->IsGroupEnable(3)) ChangedState();
        TNyRGBPanel::CallOnMouseUp(button, shift, x, y);
    }
    void CallOnMouseEnter() override {
        Hover(true);
        TNyRGBPanel::CallOnMouseEnter();
    }
    void CallOnMouseLeave() override {
        Hover(false);
        TNyRGBPanel::CallOnMouseLeave();
    }
    void StatusClear() override {
        FFocus = false;
        TNyRGBPanel::StatusClear();
    }

  private:
    void Hover(bool on) {
        if (!FAutoFocus) return;
        FFocus = on;
        if (this->IsGroupEnable(1)) ChangedState();
    }

    bool FEnabled = true;
    bool FSelected = false;
    bool FAutoFocus = true;
    bool FFocus = false;
};

class TNyRGBSBtn : public TNyAnimeButton<TNyRGBSimple> {
  public:
    using TNyAnimeButton::TNyAnimeButton;

    // Frame counts of groups 0 to 4.
    int GetPatNormal() { return GetFrameMax(0); }
    int GetPatFocus() { return GetFrameMax(1); }
    int GetPatSelected() { return GetFrameMax(2); }
    int GetPatDown() { return GetFrameMax(3); }
    int GetPatDisable() { return GetFrameMax(4); }
    void SetPatNormal(int n) { SetFrameNum(0, n); }
    void SetPatFocus(int n) { SetFrameNum(1, n); }
    void SetPatSelected(int n) { SetFrameNum(2, n); }
    void SetPatDown(int n) { SetFrameNum(3, n); }
    void SetPatDisable(int n) { SetFrameNum(4, n); }
};

class TNyRGBPBtn : public TNyAnimeButton<TNyRGBProgram> {
  public:
    using TNyAnimeButton::TNyAnimeButton;
};
