// TTitleMenu: the title screen. Six buttons (start, load, album, music room, configuration,
// exit) under pad and mouse, an idle count that asks for the opening movie after thirty
// seconds, the exit question through the dialog, and the title call the first visit shows
// before the opening movie. Every decision ends the flow thread's wait with a mode code:
// 1 start, 2 load, 4 album, 5 music room, 6 configuration, 7 opening movie, 8 quit.
#pragma once
#include <cstdint>

#include "flow/menucommon.h"

class TDInputUnit;
class TNyRGBBits;
class TNyRGBText;
class ZRRectSet;

class TTitleMenu : public MenuScreen {
  public:
    TTitleMenu();
    ~TTitleMenu() override;

    bool Setup(ZRFileMan* files);
    void Release();

    // BtnSound only when the music room is open (system flag 63); the cursor on start.
    void Prepare();
    void SetCursor(int32_t n);
    void StartIdle() { IdleCounter = 0; }
    void StopIdle() { IdleCounter = -1; }
    void HandleKeyInput(int ticks, TDInputUnit* input);

    // What the configuration menu, the save menu and the dialog report while the title owns
    // them.
    void ConfigMenuCallback(int code);
    void SaveMenuCallback(int code);
    void DialogCallback(int code);

    // The title call: pictures faded in and out with the call's voices.
    bool BeginTitleCall();
    void TitleCallFrame(int ticks);
    void TitleCallInput(int ticks, TDInputUnit* input);
    void EndTitleCall();

    // Ticks of the root panel's animation before the opening movie is asked for.
    static constexpr int32_t kIdleTicks = 900;
    // Ticks a title call picture stays at least, and until its voice has ended.
    static constexpr int32_t kCallPause = 60;

    TNyRGBPanel *TitleBack = nullptr, *TitleCallPanel = nullptr;
    TMenuSimple *BtnStart = nullptr, *BtnLoad = nullptr, *BtnAlbum = nullptr, *BtnSound = nullptr,
                *BtnConfig = nullptr, *BtnExit = nullptr;
    // The program's and the scripts' build times; kept hidden, with their text buffers made
    // and freed with the tree.
    TNyRGBText *ExeTimeText = nullptr, *ScrTimeText = nullptr;

    bool SetUp = false;
    TMenuSimple* CursorList[6] = {};
    int32_t Cursor = -1;
    int32_t CallStep = -1;
    int32_t CallCounter = 0;
    int32_t IdleCounter = -1;

  private:
    TNyRGBText* MakeInfoText(const char* text);
    static void InfoTextCreate(TNyRGBText* text);
    static void InfoTextRelease(TNyRGBText* text);
    void Click(int32_t item);
    void ExitClick();
    bool StartCallTransition(TNyRGBBits* from, TNyRGBBits* to);
    void SetDrawHooks(bool on);
    void DrawCall(TNyRGBBits* target, int yoff);
    void DrawCallModified(TNyRGBBits* target, int yoff, ZRRectSet* dirty);
    void PlayCallVoice(const char* h, const char* a);
    bool callPanelMade_ = false;
};

// The title, null while it does not exist.
extern TTitleMenu* TitleMenu;
