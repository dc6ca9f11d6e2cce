// The save menu's stand-in.
#include "flow/psavemenu.h"

#include "game/gamedata.h"

TSaveMenu* SaveMenu = nullptr;
int32_t TSaveMenu::LoadSlot = -1;

void TSaveMenu::HandleKeyInput(int ticks, TDInputUnit*) {
    if (ticks <= 0) return;
    if (Mode == 1 && LoadSlot >= 0 && LoadGameSlot(LoadSlot))
        Report(5, 2);
    else
        Report(6, 0);
}
