// The window's loaders of the transition resources, all from the game archive.
#include "game/gamedef.h"
#include "game/gameeffect_res.h"
#include "game/gamef.h"

void TGameForm::LoadWaterTables() {
    Transition.water.LoadTables(GameFileMan);
}

void TGameForm::FreeWaterTables() {
    Transition.water.Free();
}

void TGameForm::LoadHalo() {
    Transition.halo.Load(GameFileMan, WorkBitDepth);
}

void TGameForm::FreeHalo() {
    Transition.halo.Free();
}

void TGameForm::LoadTransitionMask(const ZRString& name) {
    Transition.mask.Load(GameFileMan, name);
}

void TGameForm::FreeTransitionMask() {
    Transition.mask.Free();
}
