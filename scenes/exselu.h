// TExSelUnit: the extra selection window of the adventure scene. A full-window layer that
// fades in over 16 frames, reports its choice to the host, asks to be closed every frame
// until the host hides it, and fades out. It carries no choice widgets, so once shown it
// always chooses 0; the button handlers stay for a layout that adds buttons.
#pragma once
#include <cstdint>

#include "foundation/zrcallback.h"
#include "foundation/zrfileman.h"
#include "widgets/nyrgbpanel.h"

class TNyRGBBits;

class TExSelUnit {
  public:
    enum : uint8_t { esNone = 0, esRest = 1, esAppearing = 2, esDisappearing = 3, esChosen = 4 };
    static constexpr int32_t kFadeFrames = 16;

    TExSelUnit();
    ~TExSelUnit();
    TExSelUnit(const TExSelUnit&) = delete;
    TExSelUnit& operator=(const TExSelUnit&) = delete;

    bool Setup(ZRFileMan* files);
    void Release();
    void Attach(TNyRGBPanel* parent);
    void Detach();
    void SetCallback(const ZRBaseCallback1<void, int>& cb) { Callback = cb; }
    void SetArg(int32_t arg) {
        if (arg >= 0) Arg = arg;
    }
    void Show(bool instant);
    void Hide(bool instant);
    bool IsMoving() const { return State != esRest; }
    void Frame(int32_t ticks, bool skipping);
    // The entry chosen, -1 none.
    int32_t Result() const { return ResultValue; }
    bool IsChosen() const { return State == esChosen; }

    // Handlers for choice buttons; the layout binds none of them.
    // Panels carry no tag here: whoever binds a button passes its choice number.
    void BtnClick(int tag);
    void BtnMouseDown(TNyRGBPanel* sender, TMouseButton button, TShiftState shift, int x, int y);
    void BtnMouseEnter(TNyRGBPanel* sender);

    TNyRGBPanel* ExSelWin = nullptr;
    bool SetUp = false;
    ZRFileMan* Files = nullptr;
    uint8_t State = esNone;
    int32_t Arg = 0;
    int32_t FadeCounter = 0;
    int32_t ResultValue = -1;
    ZRBaseCallback1<void, int> Callback;

  private:
    void Send(int code);
    void Choose();
    void ExSelWinMouseDown(TNyRGBPanel* sender, TMouseButton button, TShiftState shift, int x,
                           int y);
    bool ExSelPanelDraw(TNyRGBPanel* sender, TNyRGBBits* dest, int x, int y, int sx, int sy,
                        int dx, int dy);
    void PanelCreate(TNyRGBPanel* sender);
    void PanelRelease(TNyRGBPanel* sender);
};
