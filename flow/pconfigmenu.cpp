// The configuration menu's stand-in.
#include "flow/pconfigmenu.h"

TConfigMenu* ConfigMenu = nullptr;

void TConfigMenu::HandleKeyInput(int ticks, TDInputUnit*) {
    if (ticks > 0) Report(6, 0);
}
