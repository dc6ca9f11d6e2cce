// The program's entry and its start-up form. The entry keeps a second copy of the game from
// starting, stands in the executable's directory, reads the settings file and the command
// line, and runs the message loop with the start-up form, a small borderless picture that
// stays up until the main window has been made at the loop's first idle moment.
#pragma once
#include "foundation/zrstring.h"
#include "platform/component.h"

namespace plat {
class WindowHost;
}

class TSplashForm : public plat::TComponent {
  public:
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 95;

    TSplashForm(plat::TComponent* owner, plat::WindowHost* host);
    ~TSplashForm() override;

    // Shows the picture and installs StartGame as the loop's idle handler.
    void FormCreate();
    // Deletes the main window when it exists.
    void FormDestroy();
    // First idle moment: makes and shows the main window, or ends the loop when that fails.
    void StartGame();

  private:
    void PaintPicture();

    plat::WindowHost* Host;
    bool destroyRan_ = false;
};

extern TSplashForm* SplashForm;

// One command-line argument: "-" or "/" followed by "WINDOW" or "FPS" in any case.
void ApplySwitch(const ZRString& arg);

// The program: 0 after a normal run and for a second copy that ends at once; non-zero when the
// game could not start.
int WinMain();
