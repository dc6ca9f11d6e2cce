// TAlbumMenu: the album. This version stands in until the album is drawn: it closes on its
// first frame.
#pragma once
#include "flow/menustandin.h"

class TDInputUnit;

class TAlbumMenu : public StandInScreen {
  public:
    void HandleKeyInput(int ticks, TDInputUnit* input);
};

// The album, null while it does not exist.
extern TAlbumMenu* AlbumMenu;
