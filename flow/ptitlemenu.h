// TTitleMenu: the title screen, its opening call and the idle timer. This version stands in
// until the title is drawn: it shows the picture "Title.png" and ends the wait with 1 (new
// game) on a click or logical button 0, 8 (quit) on logical button 1, and 7 (opening movie)
// after thirty seconds without input. The title call ends on its first frame.
#pragma once
#include <cstdint>
#include <deque>

#include "flow/menustandin.h"

class TDInputUnit;

class TTitleMenu : public StandInScreen {
  public:
    TTitleMenu();
    ~TTitleMenu() override;

    // Fails, saying why on stderr, when the title picture cannot be loaded.
    bool Setup(ZRFileMan* files);
    void Release();

    // What the configuration and save menus report while the title owns them.
    void ConfigMenuCallback(int code);
    void SaveMenuCallback(int code);

    void BeginTitleCall() {}
    void EndTitleCall() {}
    void TitleCallFrame(int ticks);
    void TitleCallInput(int ticks, TDInputUnit* input);

    void Prepare() {}
    void StartIdle();
    void StopIdle() { idle_ = false; }
    void HandleKeyInput(int ticks, TDInputUnit* input);

    TNyRGBPanel* TitleCallPanel = nullptr;

    // Frames without input before the opening movie is asked for.
    static constexpr int32_t kIdleFrames = 900;
    // Stand-in only: codes the next idle waits end with, oldest first, before any input.
    static std::deque<int32_t> Codes;

  private:
    bool idle_ = false;
    int32_t idleFrames_ = 0;
};

// The title, null while it does not exist.
extern TTitleMenu* TitleMenu;
