// TSaveMenu: the save and load menu. This version stands in until the menu is drawn: in load
// mode it loads the slot named in LoadSlot (code 5 to its owner) or closes (code 6) when none
// is named or the slot does not load; in save mode it closes.
#pragma once
#include <cstdint>

#include "flow/menustandin.h"

class TDInputUnit;

class TSaveMenu : public StandInScreen {
  public:
    // Mode 0 save, 1 load.
    void Open(int32_t mode) { Mode = mode; }
    void Close() {}
    void HandleKeyInput(int ticks, TDInputUnit* input);

    int32_t Mode = 0;
    // Stand-in only: the slot the load menu loads, -1 none.
    static int32_t LoadSlot;
};

// The save menu, null while it does not exist.
extern TSaveMenu* SaveMenu;
