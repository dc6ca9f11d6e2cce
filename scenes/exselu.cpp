// The extra selection at rest.
#include "scenes/exselu.h"

bool TExSelUnit::Setup(ZRFileMan* files) {
    SetUp = files != nullptr;
    return SetUp;
}

void TExSelUnit::Release() {
    Detach();
    Callback = ZRBaseCallback1<void, int>();
    SetUp = false;
    Shown = false;
}
