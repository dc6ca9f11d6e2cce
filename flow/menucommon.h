// What every menu screen shares: building its widget tree in code with pictures that load when
// the tree is created, the system sounds of a menu, the reading of the pad (decide, cancel,
// pages, a direction with repeat) and the reporting of codes to the screen's owner.
#pragma once
#include <cstdint>
#include <vector>

#include "foundation/zrcallback.h"
#include "foundation/zrfileman.h"
#include "platform/component.h"
#include "widgets/nyrgbanime.h"
#include "widgets/nyrgbpanel.h"

class TDInputUnit;

namespace menu {

// The system sounds, by their index in the window's table.
enum Sound : int32_t {
    seOK = 0,
    seCancel = 1,
    seError = 2,
    seCursor = 3,
    seOpen = 4,
    seClose = 5,
};

// Plays a system sound through the main window (nothing without one).
void PlaySound(int32_t n);
// Tests only: every sound a menu plays is appended here while it is set.
extern std::vector<int32_t>* SoundTrace;

// One frame of the pad as the menus read it.
struct Pad {
    bool decide = false;     // button 0
    bool cancel = false;     // button 1
    bool pagePrev = false;   // button 4
    bool pageNext = false;   // button 5
    int32_t direction = -1;  // 0 up, 2 right, 4 down, 6 left (odd: diagonals), with repeat
};

// Buttons by their first press, or also on their repeat ticks when `repeat`.
Pad ReadPad(TDInputUnit* input, bool repeat);

// Sends a code when the callback is bound.
void Report(const ZRBaseCallback1<void, int>& cb, int code);

// Right-button handler shape shared by every widget of a screen.
using RightClick = TNyMouseEvent;

}  // namespace menu

// A button over a still picture strip (two blocks: normal and highlighted).
using TMenuSimple = TNyRGBSimple;
// A button whose picture and animation come from a file pair.
using TMenuPBtn = TNyAnimeButton<TNyRGBProgram>;
// A button over a picture strip that shows its highlight while the pointer is on it.
using TMenuSBtn = TNyAnimeButton<TNyRGBSimple>;

// The base of the screens: owns its widgets; pictures named by a widget's text load from the
// screen's file manager when the tree is created and are freed when it is released.
class MenuScreen : public plat::TComponent {
  public:
    MenuScreen() : plat::TComponent(nullptr) {}
    ~MenuScreen() override = default;

    TNyRGBPanel* RootPanel = nullptr;

  protected:
    // A widget at (x, y) under `parent`; w, h of 0 take the picture's size.
    template <class P>
    P* Make(TNyRGBPanel* parent, int x, int y, int w, int h, const char* picture = nullptr) {
        auto* p = new P(this, parent);
        p->SetOffsetX(x);
        p->SetOffsetY(y);
        if (w > 0 && h > 0) {
            p->SetAutoSize(false);
            p->SetSizeX(w);
            p->SetSizeY(h);
        }
        if (picture) BindPicture(p, picture);
        return p;
    }
    void BindPicture(TNyRGBPanel* p, const char* picture);
    // Every widget of the tree closes the screen on the right button through `handler`.
    static void BindRightClick(TNyRGBPanel* root, const menu::RightClick& handler);

    ZRFileMan* Files = nullptr;
};
