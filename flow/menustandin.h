// What the stand-in menus share: a full-window root panel, a set-up with a file manager, and
// a way to end the flow thread's wait through their owner's callback when one is bound.
#pragma once
#include <cstdint>

#include "foundation/zrcallback.h"
#include "foundation/zrfileman.h"

class TNyRGBPanel;

class StandInScreen {
  public:
    StandInScreen();
    virtual ~StandInScreen();
    StandInScreen(const StandInScreen&) = delete;
    StandInScreen& operator=(const StandInScreen&) = delete;

    bool Setup(ZRFileMan* files);
    void Release();
    void SetCallback(const ZRBaseCallback1<void, int>& cb) { Callback = cb; }

    TNyRGBPanel* RootPanel = nullptr;
    bool SetUp = false;
    ZRBaseCallback1<void, int> Callback;

  protected:
    // Reports a code to the owner, or ends the wait with `result` when no owner listens.
    void Report(int code, int32_t result);
};
