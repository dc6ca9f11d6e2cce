// TDlgUnit: the confirmation dialog the game's screens open over themselves. This version
// stands in until the dialog is drawn: it has a root panel and nothing to ask.
#pragma once
#include "foundation/zrfileman.h"

class TNyRGBPanel;

class TDlgUnit {
  public:
    TDlgUnit();
    ~TDlgUnit();
    TDlgUnit(const TDlgUnit&) = delete;
    TDlgUnit& operator=(const TDlgUnit&) = delete;

    bool Setup(ZRFileMan* files);
    void Release();

    TNyRGBPanel* RootPanel = nullptr;
    bool SetUp = false;
};

// The dialog, null while it does not exist.
extern TDlgUnit* DlgUnit;
