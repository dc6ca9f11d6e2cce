// SDL window host and event loop.
#include "platform/windowhost.h"

#include <stdexcept>

#include "platform/mainqueue.h"

namespace plat {

WindowHost::WindowHost() {
    // A window's close button is the program's to answer. SDL would follow the close of the
    // last window with a quit request of its own, and a program that asks before it ends
    // would ask twice; quit requests now come only from the system (a signal, the session
    // ending). Above the environment's word too: with it, a close would end the game unasked.
    SDL_SetHintWithPriority(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0", SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
        throw std::runtime_error(std::string("SDL start-up failed: ") + SDL_GetError());
    wakeEvent_ = SDL_RegisterEvents(1);
    if (wakeEvent_ == static_cast<uint32_t>(-1)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
        throw std::runtime_error("SDL has no user events left");
    }
    const uint32_t type = wakeEvent_;
    MainQueue::Instance().SetPostHook([type] {
        SDL_Event e{};
        e.type = type;
        SDL_PushEvent(&e);
    });
}

WindowHost::~WindowHost() {
    MainQueue::Instance().SetPostHook({});
    DestroyWindow();
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

SDL_Window* WindowHost::CreateWindow(const std::string& title, int width, int height,
                                     uint32_t flags) {
    DestroyWindow();
    window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width,
                               height, flags);
    if (!window_) throw std::runtime_error(std::string("window failed: ") + SDL_GetError());
    return window_;
}

void WindowHost::DestroyWindow() {
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
}

void WindowHost::Quit(int code) {
    MainQueue::Instance().Post([this, code] {
        quitCode_ = code;
        quit_ = true;
    });
}

void WindowHost::Dispatch(const SDL_Event& e) {
    if (e.type == wakeEvent_) return;  // only there to wake the loop; the queue runs below
    if (onEvent_)
        onEvent_(e);
    else if (e.type == SDL_QUIT ||
             (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE))
        quit_ = true;
}

int WindowHost::Run() {
    quit_ = false;
    quitCode_ = 0;
    bool idleDone = false;
    while (!quit_) {
        SDL_Event e;
        bool got;
        if (idle_ && !idleDone)
            got = SDL_PollEvent(&e) != 0;
        else
            got = SDL_WaitEvent(&e) != 0;
        if (got) {
            Dispatch(e);
            // A new event may give the idle handler new work.
            idleDone = false;
        }
        MainQueue::Instance().Service();
        if (quit_) break;
        if (!got && idle_ && !SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) idleDone = idle_();
    }
    return quitCode_;
}

}  // namespace plat
