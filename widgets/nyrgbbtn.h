// TNyRGBBtn: a push button panel. Its picture holds five runs of blocks, one per look (normal,
// focus, selected, down, disabled, in that order); the button shows the first block of the run
// that fits its state and cycles through the run on the animation tick. A disabled button fires
// no clicks.
#pragma once
#include "widgets/nyrgbpanel.h"

enum TBtnAnimeType : uint8_t { batWraparound = 0, batRoundtrip = 1 };

class TNyRGBBtn : public TNyRGBPanel {
  public:
    explicit TNyRGBBtn(plat::TComponent* owner);
    TNyRGBBtn(plat::TComponent* owner, TNyRGBPanel* parent);

    bool GetEnabled() const { return FEnabled; }
    void SetEnabled(bool on);
    bool GetSelected() const { return FSelected; }
    void SetSelected(bool on);
    int GetPatNormal() const { return FPatNormal; }
    void SetPatNormal(int n);
    int GetPatFocus() const { return FPatFocus; }
    void SetPatFocus(int n);
    int GetPatSelected() const { return FPatSelected; }
    void SetPatSelected(int n);
    int GetPatDown() const { return FPatDown; }
    void SetPatDown(int n);
    int GetPatDisable() const { return FPatDisable; }
    void SetPatDisable(int n);
    int GetAnimeWait() const { return FAnimeWait; }
    void SetAnimeWait(int n);
    bool GetAutoFocus() const { return FAutoFocus; }
    void SetAutoFocus(bool on);
    bool GetFocus() const { return FFocus; }
    // Only while AutoFocus is off; otherwise the pointer decides.
    void SetFocus(bool on);
    TBtnAnimeType GetAnimeType() const { return FAnimeType; }
    void SetAnimeType(TBtnAnimeType type);

    // Shows the first block of the current state's run.
    void ChangeState();

    void CallOnClick() override;
    void CallOnMouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void CallOnMouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void CallOnMouseEnter() override;
    void CallOnMouseLeave() override;
    void CallOnAnime() override;
    void StatusClear() override;

  private:
    struct Run {
        int start, end;
    };
    Run CurrentRun() const;
    void SetPat(int& field, int n, int least);

    bool FEnabled = true;
    bool FSelected = false;
    int FPatNormal = 1;
    int FPatFocus = 0;
    int FPatSelected = 0;
    int FPatDown = 0;
    int FPatDisable = 0;
    int FAnimeWait = 1;
    bool FAutoFocus = true;
    TBtnAnimeType FAnimeType = batWraparound;
    int FTick = 0;
    bool FForward = true;
    bool FFocus = false;
};
