// TCommonThread: the logic thread's body and everything that runs a story: the long-lived
// screens of a play-through, the adventure loop that alternates the scene with battles and
// loads, the battle runner and the movie runner. TGameThread (gamet.h) adds the title.
//
// Every screen runs the same way: made through the memory manager, set up with the game
// archive, its root panel attached as a layer of the main window, its frame and input handlers
// in the thread's slots, a screen mode entered, WaitFrame until a handler ends the wait, then
// everything undone in reverse. Each runner undoes its steps on every path, so a game that
// ends in the middle of a screen leaves no layer, slot, module or global behind.
#pragma once
#include <cstdint>
#include <string>

#include "foundation/zrstring.h"
#include "game/maint.h"

class TCommonThread : public TMainThread {
  public:
    // Reads the user settings.
    explicit TCommonThread(TGameForm* form);
    ~TCommonThread() override;

    bool ScreensCreated = false;
    // The adventure loop's next step: 0 the scene, 1 a battle, 4 a game just loaded in it.
    int8_t NextScene = 0;
    // Leave the adventure loop for the title.
    bool GameEnded = false;

    void CreateScreenUnits();
    void DeleteScreenUnits();
    void RunAvgLoop();
    void RunAvgScene();
    void MapAvgResult();
    void StopSceneSounds();
    virtual void BattleSequence();
    // Runs battle `number`; the outcome (0 when the battle cannot be prepared or ends the
    // game) goes to *outcome when given.
    void RunBattle(int32_t number, int32_t* outcome);
    void RunMovie(const ZRString& name, bool inPanel);

  protected:
    void Execute() override;
    virtual void Main() = 0;
    // After an entry point of the scene: its result, or back to the title when it could not
    // start.
    void AfterScenarioEntry(bool started);
};
