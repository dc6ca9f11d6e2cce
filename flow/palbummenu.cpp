// The album's stand-in.
#include "flow/palbummenu.h"

TAlbumMenu* AlbumMenu = nullptr;

void TAlbumMenu::HandleKeyInput(int ticks, TDInputUnit*) {
    if (ticks > 0) Report(6, 0);
}
