#include "platform/sdldisplay.h"

#include <algorithm>

#include "platform/displaycore.h"
#include "platform/windowcomponent.h"

namespace plat {

namespace {

DisplayBackend* g_installed = nullptr;

constexpr int32_t kExtraHeights[] = {720, 768, 800, 960, 1024};

}  // namespace

DisplayBackend* OpenDisplayBackend() {
    if (g_installed) return g_installed;
    SdlDisplay& sdl = SdlDisplay::Instance();
    return sdl.Started() ? &sdl : nullptr;
}

void SetDisplayBackend(DisplayBackend* backend) {
    g_installed = backend;
}

// ---- presenter

void SdlPresenter::SetScreen(WindowComponent* window, int32_t width, int32_t height,
                             bool fullScreen) {
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        wantWindow_ = window ? window->NativeWindow() : nullptr;
        wantW_ = width;
        wantH_ = height;
        wantFullScreen_ = fullScreen;
    }
    Handed();
}

void SdlPresenter::SetWakeHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(stateMutex_);
    wake_ = std::move(hook);
}

void SdlPresenter::Handed() {
    if (std::this_thread::get_id() == main_) {
        Pump();
        return;
    }
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        wake = wake_;
    }
    if (wake) wake();
}

bool SdlPresenter::ApplyScreen() {
    SDL_Window* window;
    int32_t w, h;
    bool fullScreen;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        window = wantWindow_;
        w = wantW_;
        h = wantH_;
        fullScreen = wantFullScreen_;
    }
    if (window != window_) {
        Shutdown();
        window_ = window;
    }
    if (!window_ || w <= 0 || h <= 0) return false;
    bool changed = false;
    if (!renderer_) {
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
        renderer_ = SDL_CreateRenderer(window_, -1, vsync_ ? SDL_RENDERER_PRESENTVSYNC : 0);
        if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        if (!renderer_) return false;
        changed = true;
        screenKnown_ = false;
    }
    if (!screenKnown_ || fullScreen != texFullScreen_) {
        SDL_SetWindowFullscreen(window_, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        if (!fullScreen) SDL_SetWindowSize(window_, w, h);
        texFullScreen_ = fullScreen;
        screenKnown_ = true;
        changed = true;
    }
    if (!texture_ || w != texW_ || h != texH_) {
        const bool replaced = texture_ != nullptr;
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                     SDL_TEXTUREACCESS_STREAMING, w, h);
        if (!texture_) return false;
        SDL_RenderSetLogicalSize(renderer_, w, h);
        texW_ = w;
        texH_ = h;
        // A new texture starts undefined: whoever presents must send the whole screen again.
        if (replaced) MarkScreenLost();
        changed = true;
    }
    return changed;
}

void SdlPresenter::Upload(const Job& job) {
    if (!texture_ || job.format != Xrgb8888()) return;
    if (job.vsync != vsync_) {
        vsync_ = job.vsync;
        SDL_RenderSetVSync(renderer_, vsync_ ? 1 : 0);
    }
    const DisplayRect screen{0, 0, texW_, texH_};
    for (const DisplayRect& raw : job.rects.Rects()) {
        const DisplayRect r = raw.Intersect(job.visible);
        const DisplayRect to = r.Offset(-job.visible.left, -job.visible.top).Intersect(screen);
        if (to.Empty()) continue;
        const SDL_Rect dst{to.left, to.top, to.Width(), to.Height()};
        const uint8_t* src = job.pixels + int64_t(r.top) * job.pitch + int64_t(r.left) * 4;
        SDL_UpdateTexture(texture_, &dst, src, job.pitch);
    }
}

void SdlPresenter::Render() {
    if (!renderer_ || !texture_) return;
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    bool read;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        read = readRequest_;
    }
    if (read) {
        // The whole output as the window shows it, bars included: without the logical size
        // the read covers the output exactly, whatever the scale.
        int ow = 0, oh = 0;
        SDL_GetRendererOutputSize(renderer_, &ow, &oh);
        std::vector<uint32_t> pixels(size_t(std::max(ow, 0)) * size_t(std::max(oh, 0)));
        SDL_RenderSetLogicalSize(renderer_, 0, 0);
        SDL_RenderSetViewport(renderer_, nullptr);
        const bool ok =
            !pixels.empty() && SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888,
                                                    pixels.data(), ow * 4) == 0;
        SDL_RenderSetLogicalSize(renderer_, texW_, texH_);
        {
            std::lock_guard<std::mutex> lock(stateMutex_);
            readRequest_ = false;
            readDone_ = true;
            readOk_ = ok;
            readPixels_ = std::move(pixels);
            readW_ = ow;
            readH_ = oh;
        }
        readCv_.notify_all();
    }
    SDL_RenderPresent(renderer_);
}

bool SdlPresenter::Pump() {
    const bool changed = ApplyScreen();
    const bool shown = Service();
    bool read;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        read = readRequest_;
    }
    if (changed || shown || read) Render();
    return shown;
}

bool SdlPresenter::ReadScreen(std::vector<uint32_t>& pixels, int32_t& w, int32_t& h) {
    std::unique_lock<std::mutex> lock(stateMutex_);
    readRequest_ = true;
    readDone_ = false;
    lock.unlock();
    Handed();
    lock.lock();
    if (!readCv_.wait_for(lock, std::chrono::seconds(1), [&] { return readDone_; })) {
        readRequest_ = false;
        return false;
    }
    if (!readOk_) return false;
    pixels = std::move(readPixels_);
    w = readW_;
    h = readH_;
    return true;
}

void SdlPresenter::HandleEvent(const SDL_Event& e) {
    if (e.type == SDL_RENDER_TARGETS_RESET || e.type == SDL_RENDER_DEVICE_RESET) {
        if (e.type == SDL_RENDER_DEVICE_RESET) {
            Shutdown();
        } else if (texture_) {
            SDL_DestroyTexture(texture_);
            texture_ = nullptr;
        }
        MarkScreenLost();
        Pump();
    } else if (e.type == SDL_WINDOWEVENT && (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
                                             e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)) {
        Render();
    }
}

void SdlPresenter::Shutdown() {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    texture_ = nullptr;
    renderer_ = nullptr;
    texW_ = texH_ = 0;
    screenKnown_ = false;
}

// ---- backend

SdlDisplay& SdlDisplay::Instance() {
    static SdlDisplay display;
    return display;
}

bool SdlDisplay::Start() {
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    presenter_.SetMainThread(std::this_thread::get_id());
    SDL_DisplayMode dm;
    if (SDL_GetDesktopDisplayMode(0, &dm) == 0 && dm.refresh_rate > 0)
        presenter_.SetFramePeriod(std::chrono::microseconds(1000000 / dm.refresh_rate));
    started_ = true;
    return true;
}

std::unique_ptr<DisplayConnection> SdlDisplay::Open() {
    if (!started_) return nullptr;
    DisplayOffer offer;
    offer.primaryIsClient = true;
    offer.videoMemory = 0;
    offer.videoFallsBack = true;
    auto add = [&](int32_t w, int32_t h) {
        for (const DisplayMode& m : offer.modes)
            if (m.width == w && m.height == h) return;
        offer.modes.push_back({w, h, Xrgb8888()});
    };
    // Full screen is always the desktop's, scaled: every size the display knows is offered
    // at 32 bits, and the engine's own sizes besides.
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode dm;
        if (SDL_GetDisplayMode(0, i, &dm) == 0) add(dm.w, dm.h);
    }
    for (int32_t h : kExtraHeights) add(1280, h);
    SDL_DisplayMode desk;
    if (SDL_GetDesktopDisplayMode(0, &desk) == 0) {
        offer.desktopWidth = desk.w;
        offer.desktopHeight = desk.h;
    }
    return std::make_unique<DisplayConnection>(
        std::make_shared<DisplayCore>(&presenter_, std::move(offer)));
}

DisplayProbe SdlDisplay::Probe() {
    DisplayProbe p;
    if (!started_) p.displayCreate = false;
    return p;
}

int32_t SdlDisplay::DesktopBitsPerPixel() {
    SDL_DisplayMode dm;
    if (!started_ || SDL_GetDesktopDisplayMode(0, &dm) != 0) return 0;
    return int32_t(SDL_BYTESPERPIXEL(dm.format)) * 8;
}

}  // namespace plat
