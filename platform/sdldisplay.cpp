#include "platform/sdldisplay.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/displaycore.h"
#include "platform/windowcomponent.h"

namespace plat {

namespace {

DisplayBackend* g_installed = nullptr;

constexpr int32_t kExtraHeights[] = {720, 768, 800, 960, 1024};

// SDL's own software renderer, or an OpenGL one whose driver rasterises on the processor
// (Mesa's llvmpipe and softpipe, as under a virtual X server): SDL reports the latter as
// accelerated, yet each of its presents costs a whole window's worth of processor work.
bool DrawsInSoftware(SDL_Renderer* renderer) {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0) return false;
    if (info.flags & SDL_RENDERER_SOFTWARE) return true;
    if (std::strncmp(info.name, "opengl", 6) != 0 || !SDL_GL_GetCurrentContext()) return false;
    using GetString = const unsigned char* (*)(unsigned int);
    auto get = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    constexpr unsigned int kGlRenderer = 0x1F01;
    const unsigned char* name = get ? get(kGlRenderer) : nullptr;
    if (!name) return false;
    const std::string text(reinterpret_cast<const char*>(name));
    for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
        if (text.find(soft) != std::string::npos) return true;
    return false;
}

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
    if (!renderer_ && !surfaceMode_) {
        if (path_ != Path::Surface) {
            SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
            renderer_ = SDL_CreateRenderer(window_, -1, vsync_ ? SDL_RENDERER_PRESENTVSYNC : 0);
            if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
            if (renderer_ && path_ == Path::Automatic && DrawsInSoftware(renderer_)) {
                SDL_DestroyRenderer(renderer_);
                renderer_ = nullptr;
                surfaceMode_ = true;
            }
        } else {
            surfaceMode_ = true;
        }
        if (!renderer_ && !surfaceMode_) return false;
        changed = true;
        screenKnown_ = false;
    }
    if (!screenKnown_ || fullScreen != texFullScreen_) {
        // The window surface is about to be replaced: what only it holds goes to the shadow.
        if (surfaceMode_ && !stale_.Empty())
            if (SDL_Surface* surface = SDL_GetWindowSurface(window_)) CatchUpShadow(surface);
        const bool leaving = !fullScreen && (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN);
        SDL_SetWindowFullscreen(window_, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        if (!fullScreen) SDL_SetWindowSize(window_, w, h);
        // A window comes back from full screen with its frame. Whoever took the frame off for
        // full screen cannot give it back earlier: SDL ignores a border change on a window
        // that is still full screen.
        if (leaving) SDL_SetWindowBordered(window_, SDL_TRUE);
        texFullScreen_ = fullScreen;
        screenKnown_ = true;
        changed = true;
    }
    if (surfaceMode_) {
        if (w != texW_ || h != texH_) {
            const bool replaced = !shadow_.empty();
            shadow_.assign(size_t(w) * size_t(h), 0);
            texW_ = w;
            texH_ = h;
            surfW_ = surfH_ = 0;
            surface_ = nullptr;
            dirty_.Clear();
            sent_.Clear();
            stale_.Clear();
            if (replaced) MarkScreenLost();
            changed = true;
        }
        return changed;
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
    if (job.format != Xrgb8888()) return;
    const DisplayRect screen{0, 0, texW_, texH_};
    if (surfaceMode_) {
        if (shadow_.empty()) return;
        SDL_Surface* surface = window_ ? SDL_GetWindowSurface(window_) : nullptr;
        const bool direct =
            surface && Direct(surface) && !(SDL_MUSTLOCK(surface) && SDL_LockSurface(surface));
        if (direct) {
            // Older changes still in the shadow go first, so the newer ones land on top.
            for (const DisplayRect& r : dirty_.Rects()) {
                ScaleToSurface(surface, r);
                sent_.Add(r);
            }
            dirty_.Clear();
        }
        // A window of the picture's own size takes the rows straight into its surface; any
        // other gets them in the shadow, to be scaled when the window is drawn.
        uint8_t* const base = direct ? static_cast<uint8_t*>(surface->pixels)
                                     : reinterpret_cast<uint8_t*>(shadow_.data());
        const int64_t pitch = direct ? int64_t(surface->pitch) : int64_t(texW_) * 4;
        for (const DisplayRect& raw : job.rects.Rects()) {
            const DisplayRect r = raw.Intersect(job.visible);
            const DisplayRect to = r.Offset(-job.visible.left, -job.visible.top).Intersect(screen);
            if (to.Empty()) continue;
            const int32_t fromX = to.left + job.visible.left, fromY = to.top + job.visible.top;
            for (int32_t y = 0; y < to.Height(); ++y)
                std::memcpy(base + int64_t(to.top + y) * pitch + int64_t(to.left) * 4,
                            job.pixels + int64_t(fromY + y) * job.pitch + int64_t(fromX) * 4,
                            size_t(to.Width()) * 4);
            if (direct) {
                sent_.Add(to);
                stale_.Add(to);
            } else {
                dirty_.Add(to);
            }
        }
        if (direct && SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
        return;
    }
    if (!texture_) return;
    if (job.vsync != vsync_) {
        vsync_ = job.vsync;
        SDL_RenderSetVSync(renderer_, vsync_ ? 1 : 0);
    }
    for (const DisplayRect& raw : job.rects.Rects()) {
        const DisplayRect r = raw.Intersect(job.visible);
        const DisplayRect to = r.Offset(-job.visible.left, -job.visible.top).Intersect(screen);
        if (to.Empty()) continue;
        const SDL_Rect dst{to.left, to.top, to.Width(), to.Height()};
        const uint8_t* src = job.pixels + int64_t(r.top) * job.pitch + int64_t(r.left) * 4;
        SDL_UpdateTexture(texture_, &dst, src, job.pitch);
    }
}

DisplayRect SdlPresenter::WindowArea(const DisplayRect& r) const {
    // Window pixels whose nearest picture pixel lies in r: the same mapping for every
    // rectangle, so neighbouring updates meet without seams.
    const int64_t vw = viewport_.Width(), vh = viewport_.Height();
    auto first = [](int64_t at, int64_t out, int64_t in) {
        return int32_t((at * out + in - 1) / in);
    };
    return DisplayRect{first(r.left, vw, texW_), first(r.top, vh, texH_), first(r.right, vw, texW_),
                       first(r.bottom, vh, texH_)};
}

void SdlPresenter::ToPicture(SDL_Event& e) const {
    // SDL's renderer keeps its own letterbox and maps positions into its logical size before
    // the event is queued; the window surface's letterbox is ours, so we map with it.
    if (!surfaceMode_ || !window_ || viewport_.Empty()) return;
    int32_t* x;
    int32_t* y;
    uint32_t windowId;
    switch (e.type) {
        case SDL_MOUSEMOTION:
            x = &e.motion.x;
            y = &e.motion.y;
            windowId = e.motion.windowID;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            x = &e.button.x;
            y = &e.button.y;
            windowId = e.button.windowID;
            break;
        default:
            return;
    }
    if (SDL_GetWindowFromID(windowId) != window_) return;
    // The picture pixel that the window pixel shows (the columns and rows ScaleToSurface
    // picks); positions on the bars fall outside the picture.
    auto map = [](int64_t at, int64_t origin, int64_t out, int64_t in) {
        const int64_t n = (at - origin) * in;
        return int32_t(n >= 0 ? n / out : -((-n + out - 1) / out));
    };
    *x = map(*x, viewport_.left, viewport_.Width(), texW_);
    *y = map(*y, viewport_.top, viewport_.Height(), texH_);
}

void SdlPresenter::ScaleToSurface(SDL_Surface* surface, const DisplayRect& r) {
    const DisplayRect a = WindowArea(r);
    if (a.Empty()) return;
    const DisplayRect& v = viewport_;
    const int64_t vh = v.Height();
    const SDL_PixelFormat* f = surface->format;
    const bool direct = f->BytesPerPixel == 4 && f->Rmask == 0xFF0000 && f->Gmask == 0x00FF00 &&
                        f->Bmask == 0x0000FF;
    std::vector<uint32_t> row(direct ? 0 : size_t(a.Width()));
    const bool same = v.Width() == texW_ && vh == texH_;
    for (int32_t dy = a.top; dy < a.bottom; ++dy) {
        const int32_t sy = same ? dy : int32_t(int64_t(dy) * texH_ / vh);
        const uint32_t* src = &shadow_[size_t(sy) * size_t(texW_)];
        uint8_t* to = static_cast<uint8_t*>(surface->pixels) +
                      int64_t(v.top + dy) * surface->pitch +
                      int64_t(v.left + a.left) * f->BytesPerPixel;
        uint32_t* out = direct ? reinterpret_cast<uint32_t*>(to) : row.data();
        if (same)
            std::memcpy(out, src + a.left, size_t(a.Width()) * 4);
        else
            for (int32_t dx = a.left; dx < a.right; ++dx)
                out[dx - a.left] = src[columns_[size_t(dx)]];
        if (!direct)
            SDL_ConvertPixels(a.Width(), 1, SDL_PIXELFORMAT_RGB888, row.data(), a.Width() * 4,
                              f->format, to, surface->pitch);
    }
}

bool SdlPresenter::Direct(const SDL_Surface* surface) const {
    const SDL_PixelFormat* f = surface->format;
    return surface == surface_ && surface->pixels == surfacePixels_ && surface->w == surfW_ &&
           surface->h == surfH_ && surfW_ == texW_ && surfH_ == texH_ && f->BytesPerPixel == 4 &&
           f->Rmask == 0xFF0000 && f->Gmask == 0x00FF00 && f->Bmask == 0x0000FF;
}

void SdlPresenter::CatchUpShadow(SDL_Surface* surface) {
    if (stale_.Empty() || !Direct(surface)) return;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    for (const DisplayRect& r : stale_.Rects())
        for (int32_t y = r.top; y < r.bottom; ++y)
            std::memcpy(&shadow_[size_t(y) * size_t(texW_) + size_t(r.left)],
                        static_cast<const uint8_t*>(surface->pixels) + int64_t(y) * surface->pitch +
                            int64_t(r.left) * 4,
                        size_t(r.Width()) * 4);
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    stale_.Clear();
}

void SdlPresenter::RenderSurface(bool whole) {
    SDL_Surface* surface = window_ ? SDL_GetWindowSurface(window_) : nullptr;
    if (!surface || shadow_.empty()) return;
    const bool sendAll = whole;
    if (surface != surface_ || surface->pixels != surfacePixels_ || surface->w != surfW_ ||
        surface->h != surfH_) {
        // The window's size changed (or the surface is new): the same letterboxed fit as the
        // renderer's logical size, and everything drawn again.
        surface_ = surface;
        surfacePixels_ = surface->pixels;
        surfW_ = surface->w;
        surfH_ = surface->h;
        int64_t vw = surfW_, vh = int64_t(texH_) * surfW_ / texW_;
        if (vh > surfH_) {
            vh = surfH_;
            vw = int64_t(texW_) * surfH_ / texH_;
        }
        viewport_ = DisplayRect{int32_t((surfW_ - vw) / 2), int32_t((surfH_ - vh) / 2),
                                int32_t((surfW_ - vw) / 2 + vw), int32_t((surfH_ - vh) / 2 + vh)};
        columns_.resize(size_t(std::max<int64_t>(vw, 0)));
        for (int64_t dx = 0; dx < vw; ++dx) columns_[size_t(dx)] = int32_t(dx * texW_ / vw);
        // What went straight into the old surface never reached the shadow: the owner of the
        // picture must send it whole again.
        if (!stale_.Empty()) MarkScreenLost();
        stale_.Clear();
        sent_.Clear();
        whole = true;
    } else if (whole && Direct(surface)) {
        // The surface still holds the picture (an exposure): it is only sent again.
        whole = false;
    }
    if (viewport_.Empty()) return;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return;
    if (whole) {
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
        ScaleToSurface(surface, DisplayRect{0, 0, texW_, texH_});
    } else {
        for (const DisplayRect& r : dirty_.Rects()) {
            ScaleToSurface(surface, r);
            sent_.Add(WindowArea(r).Offset(viewport_.left, viewport_.top));
        }
    }
    dirty_.Clear();
    bool read;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        read = readRequest_;
    }
    if (read) {
        std::vector<uint32_t> pixels(size_t(surfW_) * size_t(surfH_));
        const bool ok = !pixels.empty() &&
                        SDL_ConvertPixels(surfW_, surfH_, surface->format->format, surface->pixels,
                                          surface->pitch, SDL_PIXELFORMAT_ARGB8888, pixels.data(),
                                          surfW_ * 4) == 0;
        AnswerRead(std::move(pixels), surfW_, surfH_, ok);
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (whole || sendAll) {
        SDL_UpdateWindowSurface(window_);
    } else if (!sent_.Empty()) {
        std::vector<SDL_Rect> rects;
        for (const DisplayRect& a : sent_.Rects())
            rects.push_back(SDL_Rect{a.left, a.top, a.Width(), a.Height()});
        SDL_UpdateWindowSurfaceRects(window_, rects.data(), int(rects.size()));
    }
    sent_.Clear();
}

void SdlPresenter::AnswerRead(std::vector<uint32_t> pixels, int32_t w, int32_t h, bool ok) {
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        readRequest_ = false;
        readDone_ = true;
        readOk_ = ok;
        readPixels_ = std::move(pixels);
        readW_ = w;
        readH_ = h;
    }
    readCv_.notify_all();
}

void SdlPresenter::Render() {
    if (surfaceMode_) {
        RenderSurface(false);
        return;
    }
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
        AnswerRead(std::move(pixels), ow, oh, ok);
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
        if (surfaceMode_)
            RenderSurface(true);
        else
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
    surfaceMode_ = false;
    shadow_.clear();
    dirty_.Clear();
    sent_.Clear();
    stale_.Clear();
    surfW_ = surfH_ = 0;
    surface_ = nullptr;
    surfacePixels_ = nullptr;
    viewport_ = DisplayRect{};
}

// ---- backend

SdlDisplay& SdlDisplay::Instance() {
    static SdlDisplay display;
    return display;
}

bool SdlDisplay::Start() {
    // A window surface is to be the window's own memory (X11 shared memory), never SDL's
    // stand-in made of a renderer and a texture: that would cost the whole window per present
    // again, and a window that has it cannot take a renderer later. SDL decides this once,
    // at the first window surface (the start-up form's), so the hint comes first.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
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
