// The music room's stand-in.
#include "flow/psoundmenu.h"

TSoundMenu* SoundMenu = nullptr;

void TSoundMenu::HandleKeyInput(int ticks, TDInputUnit*) {
    if (ticks > 0) Report(6, 0);
}
