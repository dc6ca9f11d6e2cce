// The battle's stand-in: prepared for any sensible number, it posts its outcome at once.
#include "scenes/battleu.h"

#include "game/maint.h"
#include "widgets/nyrgbpanel.h"

TBattleUnit* BattleUnit = nullptr;
std::deque<int32_t> TBattleUnit::Outcomes;

TBattleUnit::TBattleUnit() : RootPanel(new TNyRGBPanel(nullptr)) {
    RootPanel->SetSizeX(1280);
    RootPanel->SetSizeY(720);
}

TBattleUnit::~TBattleUnit() {
    if (SetUp) Release();
    delete RootPanel;
}

bool TBattleUnit::Setup(ZRFileMan* files) {
    SetUp = files != nullptr;
    return SetUp;
}

void TBattleUnit::Release() {
    FreeBattle();
    SetUp = false;
}

bool TBattleUnit::PrepareBattle(int32_t number) {
    FreeBattle();
    if (!SetUp || number < 0 || number > 9999) return false;
    Number = number;
    Prepared = true;
    return true;
}

void TBattleUnit::Start() {
    started_ = Prepared;
}

void TBattleUnit::FreeBattle() {
    Prepared = false;
    started_ = false;
    Number = -1;
}

void TBattleUnit::Frame(int) {
    if (!started_) return;
    started_ = false;
    int32_t outcome = 0;
    if (!Outcomes.empty()) {
        outcome = Outcomes.front();
        Outcomes.pop_front();
    }
    EndWait(outcome);
}

void TBattleUnit::Input(int, TDInputUnit*) {}
