// The stand-in menus' shared part.
#include "flow/menustandin.h"

#include "game/maint.h"
#include "widgets/nyrgbpanel.h"

StandInScreen::StandInScreen() : RootPanel(new TNyRGBPanel(nullptr)) {
    RootPanel->SetSizeX(1280);
    RootPanel->SetSizeY(720);
}

StandInScreen::~StandInScreen() {
    if (SetUp) Release();
    delete RootPanel;
}

bool StandInScreen::Setup(ZRFileMan* files) {
    if (!files || !RootPanel->AllCreate()) return false;
    SetUp = true;
    return true;
}

void StandInScreen::Release() {
    if (RootPanel->GetCreated()) RootPanel->AllRelease();
    Callback = ZRBaseCallback1<void, int>();
    SetUp = false;
}

void StandInScreen::Report(int code, int32_t result) {
    if (Callback.IsSet())
        Callback.Call(code);
    else
        EndWait(result);
}
