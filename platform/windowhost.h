// The window host: SDL started on the main thread, one window, and the event loop that the
// program runs on. Besides SDL's events the loop runs the main queue's calls (other threads
// post them; a posted call wakes the loop through SDL_PushEvent) and an idle handler, called
// whenever the loop has nothing else to do.
#pragma once
#include <SDL.h>

#include <functional>
#include <string>

namespace plat {

class WindowHost {
  public:
    // Returns true when idle work is done for now and the loop may sleep until the next
    // event; false asks to be called again at once.
    using IdleHandler = std::function<bool()>;
    using EventHandler = std::function<void(const SDL_Event&)>;

    // Starts SDL's video and event parts; call on the main thread. Throws when SDL fails.
    WindowHost();
    ~WindowHost();
    WindowHost(const WindowHost&) = delete;
    WindowHost& operator=(const WindowHost&) = delete;

    // The title is UTF-8. Throws when SDL cannot make the window.
    SDL_Window* CreateWindow(const std::string& title, int width, int height, uint32_t flags = 0);
    SDL_Window* Window() const { return window_; }
    void DestroyWindow();

    void SetIdleHandler(IdleHandler h) { idle_ = std::move(h); }
    void SetEventHandler(EventHandler h) { onEvent_ = std::move(h); }

    // Runs until Quit (or, when no event handler is installed, a window's close request or
    // the system's quit request); returns the code given to Quit. Closing the last window
    // does not bring a quit request of its own: the event handler answers the close.
    int Run();
    // Ends Run after the event being handled; any thread may call it.
    void Quit(int code = 0);

  private:
    void Dispatch(const SDL_Event& e);

    SDL_Window* window_ = nullptr;
    uint32_t wakeEvent_ = 0;
    IdleHandler idle_;
    EventHandler onEvent_;
    int quitCode_ = 0;
    bool quit_ = false;
};

}  // namespace plat
