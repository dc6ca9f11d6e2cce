// TBattleUnit: the slot-reel battle. This version stands in until the battle is built: it
// prepares any battle number from 0 to 9999 and ends the wait with outcome 0 on its first
// frame (or with outcomes a test queues).
#pragma once
#include <cstdint>
#include <deque>

#include "foundation/zrfileman.h"

class TNyRGBPanel;
class TDInputUnit;

class TBattleUnit {
  public:
    TBattleUnit();
    ~TBattleUnit();
    TBattleUnit(const TBattleUnit&) = delete;
    TBattleUnit& operator=(const TBattleUnit&) = delete;

    bool Setup(ZRFileMan* files);
    void Release();
    // False when the battle cannot be prepared (unknown number, missing data).
    bool PrepareBattle(int32_t number);
    void Start();
    void FreeBattle();
    // Frame and input handlers for the thread's slots.
    void Frame(int ticks);
    void Input(int ticks, TDInputUnit* input);

    TNyRGBPanel* RootPanel = nullptr;
    bool SetUp = false;
    bool Prepared = false;
    int32_t Number = -1;

    // Stand-in only: results the next battles post, oldest first; empty posts 0.
    static std::deque<int32_t> Outcomes;

  private:
    bool started_ = false;
};

// The battle scene, null while it does not exist.
extern TBattleUnit* BattleUnit;
