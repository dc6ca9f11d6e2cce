// The stage at rest.
#include "scenes/stageu.h"

bool TStageUnit::Setup(ZRFileMan* files) {
    SetUp = files != nullptr;
    return SetUp;
}

void TStageUnit::Release() {
    Detach();
    SetUp = false;
}
