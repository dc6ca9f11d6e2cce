// TSoundMenu: the music room. This version stands in until the music room is drawn: it
// closes on its first frame.
#pragma once
#include "flow/menustandin.h"

class TDInputUnit;

class TSoundMenu : public StandInScreen {
  public:
    void HandleKeyInput(int ticks, TDInputUnit* input);
};

// The music room, null while it does not exist.
extern TSoundMenu* SoundMenu;
