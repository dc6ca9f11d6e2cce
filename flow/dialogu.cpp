// The confirmation dialog's stand-in.
#include "flow/dialogu.h"

#include "widgets/nyrgbpanel.h"

TDlgUnit* DlgUnit = nullptr;

TDlgUnit::TDlgUnit() : RootPanel(new TNyRGBPanel(nullptr)) {}

TDlgUnit::~TDlgUnit() {
    if (SetUp) Release();
    delete RootPanel;
}

bool TDlgUnit::Setup(ZRFileMan* files) {
    SetUp = files != nullptr;
    return SetUp;
}

void TDlgUnit::Release() {
    SetUp = false;
}
