// A component that stands for one window of the program: the display service presents into
// it. It carries the native SDL window (none in tests that present into memory) and the size
// the program gives its client area, which is the logical size of what is shown there
// whatever size the window really has on the desktop.
#pragma once
#include <cstdint>

#include "platform/component.h"

struct SDL_Window;

namespace plat {

class WindowComponent : public TComponent {
  public:
    explicit WindowComponent(TComponent* owner = nullptr, SDL_Window* native = nullptr)
        : TComponent(owner), native_(native) {}

    SDL_Window* NativeWindow() const { return native_; }
    void SetNativeWindow(SDL_Window* native) { native_ = native; }

    int32_t ClientWidth() const { return clientWidth_; }
    int32_t ClientHeight() const { return clientHeight_; }
    void SetClientSize(int32_t w, int32_t h) {
        clientWidth_ = w;
        clientHeight_ = h;
    }

  private:
    SDL_Window* native_;
    int32_t clientWidth_ = 1280;
    int32_t clientHeight_ = 720;
};

}  // namespace plat
