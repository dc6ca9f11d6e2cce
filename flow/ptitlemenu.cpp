// The title's stand-in.
#include "flow/ptitlemenu.h"

#include <cstdio>

#include "devices/dinputu.h"
#include "game/gamefunc.h"
#include "game/maint.h"
#include "widgets/nyrgbpanel.h"

TTitleMenu* TitleMenu = nullptr;
std::deque<int32_t> TTitleMenu::Codes;

namespace {
constexpr const char* kTitlePicture = "Title.png";
}

TTitleMenu::TTitleMenu() : TitleCallPanel(new TNyRGBPanel(nullptr)) {
    TitleCallPanel->SetSizeX(1280);
    TitleCallPanel->SetSizeY(720);
    RootPanel->SetMouseControl(true);
    RootPanel->OnMouseDown = [this](TNyRGBPanel*, TMouseButton b, TShiftState, int, int) {
        if (b == mbLeft && idle_) {
            idle_ = false;
            EndWait(1);
        }
    };
}

TTitleMenu::~TTitleMenu() {
    if (SetUp) Release();
    delete TitleCallPanel;
}

bool TTitleMenu::Setup(ZRFileMan* files) {
    if (!StandInScreen::Setup(files)) return false;
    if (!SetPanelImageFile(RootPanel, files, kTitlePicture)) {
        std::fprintf(stderr, "GameErr: the title cannot load \"%s\"\n", kTitlePicture);
        StandInScreen::Release();
        return false;
    }
    TitleCallPanel->AllCreate();
    return true;
}

void TTitleMenu::Release() {
    if (TitleCallPanel->GetCreated()) TitleCallPanel->AllRelease();
    ReleasePanelImage(RootPanel);
    StandInScreen::Release();
}

void TTitleMenu::ConfigMenuCallback(int code) {
    if (code == 6) EndWait(0);
}

void TTitleMenu::SaveMenuCallback(int code) {
    if (code == 5) EndWait(2);
    if (code == 6) EndWait(0);
}

void TTitleMenu::TitleCallFrame(int ticks) {
    if (ticks > 0) EndWait(0);
}

void TTitleMenu::TitleCallInput(int, TDInputUnit*) {}

void TTitleMenu::StartIdle() {
    idle_ = true;
    idleFrames_ = 0;
}

void TTitleMenu::HandleKeyInput(int ticks, TDInputUnit* input) {
    if (!idle_ || ticks <= 0) return;
    if (!Codes.empty()) {
        const int32_t code = Codes.front();
        Codes.pop_front();
        idle_ = false;
        EndWait(code);
        return;
    }
    int32_t code = 0;
    if (input && input->IsPush(0))
        code = 1;
    else if (input && input->IsPush(1))
        code = 8;
    else if ((idleFrames_ += ticks) >= kIdleFrames)
        code = 7;
    if (code == 0) return;
    idle_ = false;
    EndWait(code);
}
