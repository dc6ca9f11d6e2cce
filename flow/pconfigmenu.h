// TConfigMenu: the configuration screen. Sliders for the music, voice and sound-effect volumes
// (0-100) and the text speed (0-200), a full-screen switch, a reset to the defaults and a
// close button. Every change is live: the volumes go to the window's audio channels and the
// text speed to the user settings; the owner writes the settings file after the close (code 6,
// the only code the menu sends). The full-screen switch only posts a request to the window.
#pragma once
#include <cstdint>

#include "flow/menucommon.h"

class TDInputUnit;
class TNyRGBBits;
class TNyAlpha;

class TConfigMenu : public MenuScreen {
  public:
    TConfigMenu();
    ~TConfigMenu() override;

    bool Setup(ZRFileMan* files);
    void Release();
    void SetCallback(const ZRBaseCallback1<void, int>& cb) { Callback = cb; }
    // Knobs and switch from the current settings; run before the menu is shown.
    void UpdateControls();
    void HandleKeyInput(int ticks, TDInputUnit* input);
    // 0-3 the sliders, 4 the screen switch, 5 the reset; others are ignored.
    void SetItem(int32_t n);

    // A slider's value and its range; setting clamps to the range.
    int32_t GetValue(int32_t slider) const;
    void SetValue(int32_t slider, int32_t v);
    static int32_t Maximum(int32_t slider) { return slider == 3 ? 200 : 100; }
    // The value a press at x inside a slide area stands for.
    static int32_t ValueAt(int32_t slider, int x);
    void ResetDefaults();

    TNyRGBPanel* ConfigPanel = nullptr;
    TNyRGBPanel* Base[6] = {};      // rows 0-4 and the reset item
    TNyRGBPanel* BaseArea[6] = {};  // their mouse areas
    TNyRGBPanel* Knob[4] = {};
    TNyRGBPanel* SlideArea[4] = {};
    TMenuPBtn *FullOnD = nullptr, *FullOnL = nullptr, *FullOffD = nullptr, *FullOffL = nullptr;
    TNyRGBPanel *Light = nullptr, *LightS = nullptr;
    TMenuSBtn* CloseBtn = nullptr;

    bool SetUp = false;
    int32_t Item = 0;
    ZRBaseCallback1<void, int> Callback;
    TNyRGBBits* KnobBits = nullptr;
    TNyAlpha* KnobAlpha = nullptr;

  private:
    void MoveKnob(int32_t slider);
    void UpdateScreenButtons();
    // The requests to full screen and to a window; a click on the On button is silent, the
    // keys and the Off button play the cursor sound.
    void ScreenOn(bool withSound);
    void ScreenOff(bool withSound);
    void Close();
    void Slide(int32_t slider, TMouseButton button, int x, bool pressed);
};

// The configuration menu, null while it does not exist.
extern TConfigMenu* ConfigMenu;
