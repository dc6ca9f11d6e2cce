// TSoundMenu: the music room. Lists the music table seven rows at a time and plays the chosen
// track; in continuous play the next track follows when one ends, the first after the last.
#pragma once
#include <cstdint>

#include "flow/pmenutables.h"
#include "foundation/zrfileman.h"
#include "widgets/nyrgbpanel.h"

class TDInputUnit;
class TNyRGBSimple;
class TNyRGBSBtn;
class TNyRGBText;
class MenuServices;

class TSoundMenu {
  public:
    static constexpr int kRows = 7;
    static constexpr int kRowStep = 65;

    explicit TSoundMenu(MenuServices* services = nullptr);
    ~TSoundMenu();
    TSoundMenu(const TSoundMenu&) = delete;
    TSoundMenu& operator=(const TSoundMenu&) = delete;

    bool Setup(ZRFileMan* files);
    void Release();
    void LoadTable();
    void Prepare();
    void HandleKeyInput(int ticks, TDInputUnit* input);

    // The player's actions, as the keys and the mouse give them.
    void Choose();
    void Leave();
    void PlayCursorInSilence();
    void MoveCursor(int direction);  // 0 up, 2 right, 4 down, 6 left
    bool ScrollBy(int delta);
    void SetCursor(int row);
    void SoundPanelAnime();

    void ShowList(int top);
    void UpdateFlag(int index);
    bool Play(int index, uint8_t mode);
    void Stop();
    // Rows past the last track are blank and take no cursor.
    bool RowHasTrack(int row) const { return row >= 0 && row < kRows && Top + row < Table.Count; }

    TNyRGBPanel* RootPanel = nullptr;  // SoundPanel
    TNyRGBSimple* SoundUp = nullptr;
    TNyRGBSimple* SoundDown = nullptr;
    TNyRGBPanel* SoundBase = nullptr;
    TNyRGBPanel* SoundShadow[kRows] = {};
    TNyRGBText* SoundName[kRows] = {};
    TNyRGBPanel* SoundArea[kRows] = {};
    TNyRGBSimple* SoundFlag = nullptr;
    TNyRGBSBtn* CloseBtn = nullptr;

    bool SetUp = false;
    ZRFileMan* Files = nullptr;
    uint8_t Mode = 0;  // 0 stopped, 2 continuous
    int32_t Top = 0;
    int32_t Cursor = -1;
    int32_t Playing = -1;
    SoundTable Table;

  private:
    void DefaultMouseDown(TNyRGBPanel* sender, TMouseButton button, TShiftState, int, int);
    void PanelCreate(TNyRGBPanel* sender);
    void PanelRelease(TNyRGBPanel* sender);

    MenuServices* services_;
    // The playing track has been heard on the channel since it started: only then does a
    // silent channel mean it ended (without a sound device nothing is ever heard).
    bool heard_ = false;
};

// The music room, null while it does not exist.
extern TSoundMenu* SoundMenu;
