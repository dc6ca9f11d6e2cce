// TExSelUnit: the extra selection window. This version stands in until it is drawn: it keeps
// its argument and whether it is shown, never moves, and has nothing to choose.
#pragma once
#include <cstdint>

#include "foundation/zrcallback.h"
#include "foundation/zrfileman.h"

class TNyRGBPanel;

class TExSelUnit {
  public:
    bool Setup(ZRFileMan* files);
    void Release();
    void Attach(TNyRGBPanel* parent) { Parent = parent; }
    void Detach() { Parent = nullptr; }
    void SetCallback(const ZRBaseCallback1<void, int>& cb) { Callback = cb; }
    void SetArg(int32_t arg) { Arg = arg; }
    void Show(bool instant) { (void)instant, Shown = true; }
    void Hide(bool instant) { (void)instant, Shown = false; }
    bool IsMoving() const { return false; }
    void Frame(int32_t ticks, bool skipping) { (void)ticks, (void)skipping; }
    // The entry chosen, -1 none.
    int32_t Result() const { return -1; }

    bool SetUp = false;
    bool Shown = false;
    int32_t Arg = 0;
    TNyRGBPanel* Parent = nullptr;
    ZRBaseCallback1<void, int> Callback;
};
