// TConfigMenu: the configuration menu. This version stands in until the menu is drawn: it
// closes on its first frame (code 6 to its owner), changing nothing.
#pragma once
#include "flow/menustandin.h"

class TDInputUnit;

class TConfigMenu : public StandInScreen {
  public:
    // The controls take the settings' values.
    void UpdateControls() {}
    void HandleKeyInput(int ticks, TDInputUnit* input);
};

// The configuration menu, null while it does not exist.
extern TConfigMenu* ConfigMenu;
