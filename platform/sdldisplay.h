// The display backend over SDL2. Surfaces stay in system memory; the front buffer's changed
// rectangles reach an SDL_PIXELFORMAT_ARGB8888 streaming texture (the byte order of the
// engine's 32-bit pixels) whose logical size is the screen's, scaled into the window and
// letterboxed. Full screen is the desktop's full screen; any listed mode is shown scaled.
// Where SDL has only its software renderer, each present through it would send the whole
// window; the presenter then writes the changed rectangles into the window's own surface
// instead (scaled to the window, nearest pixel) and sends only those. A window of the
// picture's own size gets them straight, without the picture kept beside it.
// Hand-offs from other threads wait in a mailbox for the main thread's Pump and never block
// the drawing thread; a hand-off on the main thread is shown at once.
#pragma once
#include <SDL.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <thread>

#include "platform/display.h"

namespace plat {

class SdlPresenter : public Presenter {
  public:
    // How frames reach the window: through SDL's renderer, through the window's surface, or
    // (automatic) the surface only when the renderer SDL gives is its software one.
    enum class Path { Automatic, Renderer, Surface };

    void SetScreen(WindowComponent* window, int32_t width, int32_t height,
                   bool fullScreen) override;
    bool ReadScreen(std::vector<uint32_t>& pixels, int32_t& w, int32_t& h) override;
    std::chrono::microseconds FramePeriod() const override { return period_; }

    // Main thread: applies a new screen, uploads and shows the waiting hand-off, answers a
    // waiting read-back. Returns whether it showed anything.
    bool Pump();
    void HandleEvent(const SDL_Event& e);
    void SetWakeHook(std::function<void()> hook);
    void SetMainThread(std::thread::id id) { main_ = id; }
    void SetFramePeriod(std::chrono::microseconds p) { period_ = p; }
    // Takes effect when the presenter next sets up its window (after Shutdown).
    void SetPath(Path path) { path_ = path; }
    bool PresentsThroughSurface() const { return surfaceMode_; }
    // Main thread: moves the position of a mouse motion or button event in the presented
    // window from window pixels to the picture's, as SDL does by itself for a renderer.
    void ToPicture(SDL_Event& e) const;
    void Shutdown();

  protected:
    void Handed() override;
    void Upload(const Job& job) override;

  private:
    bool ApplyScreen();
    void Render();
    // Surface path: the window surface gets the shadow's changed areas (all of it when the
    // window's size changed or `whole`) and only those are sent.
    void RenderSurface(bool whole);
    void ScaleToSurface(SDL_Surface* surface, const DisplayRect& r);
    // The window surface shows the picture at its own size and takes its pixel layout.
    bool Direct(const SDL_Surface* surface) const;
    // Brings the shadow up to date from a window surface written straight.
    void CatchUpShadow(SDL_Surface* surface);
    // The window pixels (from the viewport's corner) that show the picture's rectangle r.
    DisplayRect WindowArea(const DisplayRect& r) const;
    void AnswerRead(std::vector<uint32_t> pixels, int32_t w, int32_t h, bool ok);

    std::thread::id main_ = std::this_thread::get_id();
    std::chrono::microseconds period_{16667};
    std::mutex stateMutex_;
    std::function<void()> wake_;
    SDL_Window* wantWindow_ = nullptr;
    SDL_Window* window_ = nullptr;
    bool screenKnown_ = false;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int32_t texW_ = 0, texH_ = 0;
    bool texFullScreen_ = false;
    int32_t wantW_ = 0, wantH_ = 0;
    bool wantFullScreen_ = false;
    bool vsync_ = true;
    Path path_ = Path::Automatic;
    bool surfaceMode_ = false;
    // The picture at its logical size, which the window surface shows scaled, and where it
    // changed since the surface last got it. A window of the picture's size is written
    // straight: `sent_` is what it got and must still send, `stale_` where the shadow lags.
    std::vector<uint32_t> shadow_;
    RectList dirty_;
    RectList sent_;
    RectList stale_;
    int32_t surfW_ = 0, surfH_ = 0;
    // The window surface last drawn (compared, never followed: SDL may have freed it).
    const SDL_Surface* surface_ = nullptr;
    const void* surfacePixels_ = nullptr;
    DisplayRect viewport_;
    std::vector<int32_t> columns_;
    bool readRequest_ = false;
    bool readDone_ = false;
    bool readOk_ = false;
    std::vector<uint32_t> readPixels_;
    int32_t readW_ = 0, readH_ = 0;
    std::condition_variable readCv_;
};

class SdlDisplay : public DisplayBackend {
  public:
    static SdlDisplay& Instance();
    // Main thread: starts SDL's video part when needed and makes this thread the one that
    // presents. False when SDL video cannot start.
    bool Start();
    bool Started() const { return started_; }

    std::unique_ptr<DisplayConnection> Open() override;
    DisplayProbe Probe() override;
    int32_t DesktopBitsPerPixel() override;

    SdlPresenter& Presenter() { return presenter_; }

  private:
    SdlDisplay() = default;
    bool started_ = false;
    SdlPresenter presenter_;
};

}  // namespace plat
