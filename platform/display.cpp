#include "platform/display.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <thread>
#include <utility>

#include "platform/displaycore.h"
#include "platform/textrender.h"
#include "platform/windowcomponent.h"

namespace plat {

PixelFormatDesc Xrgb8888() {
    return {PixelFormatDesc::kRgb, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0};
}
PixelFormatDesc Rgb565() {
    return {PixelFormatDesc::kRgb, 16, 0xF800, 0x07E0, 0x001F, 0};
}

const uint32_t* SystemPaletteColours() {
    static const uint32_t kColours[20] = {
        0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080,
        0xC0C0C0, 0xC0D0C0, 0xA0C0E0, 0xFFF8F0, 0xA0A0A4, 0x808080, 0xFF0000,
        0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
    };
    return kColours;
}

// ---- rectangle list

void RectList::Add(const DisplayRect& r) {
    if (r.Empty()) return;
    for (const DisplayRect& m : rects_)
        if (m.Contains(r)) return;
    std::erase_if(rects_, [&](const DisplayRect& m) { return r.Contains(m); });
    rects_.push_back(r);
    if (rects_.size() > kMaxRects) {
        DisplayRect all = rects_[0];
        for (const DisplayRect& m : rects_) {
            all.left = std::min(all.left, m.left);
            all.top = std::min(all.top, m.top);
            all.right = std::max(all.right, m.right);
            all.bottom = std::max(all.bottom, m.bottom);
        }
        rects_.assign(1, all);
    }
}

int64_t RectList::Area() const {
    int64_t a = 0;
    for (const DisplayRect& r : rects_) a += int64_t(r.Width()) * r.Height();
    return a;
}

// ---- presenter hand-off

uint64_t Presenter::Hand(const uint8_t* pixels, int32_t pitch, const PixelFormatDesc& format,
                         const DisplayRect& visible, const RectList& rects, bool vsync) {
    uint64_t ticket;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // A newer hand-off replaces one not started. The screen never got the older areas,
        // so they are sent from the newer pixels, which hold the same or newer contents (at
        // the same place on the screen, where the two place their pixels differently).
        RectList all = rects;
        if (hasPending_)
            for (const DisplayRect& r : pending_.rects.Rects())
                all.Add(r.Offset(visible.left - pending_.visible.left,
                                 visible.top - pending_.visible.top));
        pending_ = Job{pixels, pitch, format, visible, std::move(all), vsync, 0};
        hasPending_ = true;
        pending_.vsync = vsync;
        pending_.ticket = ticket = nextTicket_++;
    }
    Handed();
    return ticket;
}

bool Presenter::WaitingOther(const uint8_t* pixels, const DisplayRect& visible) {
    std::lock_guard<std::mutex> lock(mutex_);
    return hasPending_ && (pending_.pixels != pixels || !(pending_.visible == visible));
}

void Presenter::Withdraw(const uint8_t* pixels) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        acked_.wait(lock, [&] { return reading_ != pixels; });
        if (!hasPending_ || pending_.pixels != pixels) return;
        hasPending_ = false;
        ackedTicket_ = std::max(ackedTicket_, pending_.ticket);
    }
    acked_.notify_all();
}

bool Presenter::Acknowledged(uint64_t ticket) {
    std::lock_guard<std::mutex> lock(mutex_);
    return ackedTicket_ >= ticket;
}

bool Presenter::WaitAcknowledged(uint64_t ticket, std::chrono::microseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return acked_.wait_for(lock, limit, [&] { return ackedTicket_ >= ticket; });
}

uint64_t Presenter::LastTicket() {
    std::lock_guard<std::mutex> lock(mutex_);
    return nextTicket_ - 1;
}

bool Presenter::BeginWrite(const uint8_t* pixels) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (reading_ == pixels) {
        ++refusedWrites_;
        return false;
    }
    writing_.push_back(pixels);
    return true;
}

uint64_t Presenter::RefusedWrites() {
    std::lock_guard<std::mutex> lock(mutex_);
    return refusedWrites_;
}

void Presenter::EndWrite(const uint8_t* pixels) {
    bool again;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = std::find(writing_.begin(), writing_.end(), pixels);
        if (it != writing_.end()) writing_.erase(it);
        // A hand-off turned away while these pixels were written waits for no other wake-up:
        // the frame it shows may be the last one for a while.
        again = turnedAway_ && hasPending_ && pending_.pixels == pixels &&
                std::find(writing_.begin(), writing_.end(), pixels) == writing_.end();
        if (again) turnedAway_ = false;
    }
    if (again) Handed();
}

bool Presenter::TakeScreenLost() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(screenLost_, false);
}

void Presenter::MarkScreenLost() {
    std::lock_guard<std::mutex> lock(mutex_);
    screenLost_ = true;
}

bool Presenter::TakeJob(Job& job) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!hasPending_ || reading_) return false;
    if (std::find(writing_.begin(), writing_.end(), pending_.pixels) != writing_.end()) {
        turnedAway_ = true;
        return false;
    }
    job = std::move(pending_);
    hasPending_ = false;
    reading_ = job.pixels;
    return true;
}

void Presenter::FinishJob(const Job& job) {
    Upload(job);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        reading_ = nullptr;
        ackedTicket_ = std::max(ackedTicket_, job.ticket);
    }
    acked_.notify_all();
}

bool Presenter::Service() {
    Job job;
    if (!TakeJob(job)) return false;
    FinishJob(job);
    return true;
}

// ---- connection state

DisplayRect DisplayCore::VisibleRect() const {
    if (exclusive || !window) return {0, 0, PrimaryWidth(), PrimaryHeight()};
    int32_t x = offer.primaryIsClient ? 0 : offer.clientX;
    int32_t y = offer.primaryIsClient ? 0 : offer.clientY;
    return DisplayRect{x, y, x + window->ClientWidth(), y + window->ClientHeight()}.Intersect(
        {0, 0, PrimaryWidth(), PrimaryHeight()});
}

int32_t DisplayCore::PrimaryWidth() const {
    if (exclusive) return mode.width;
    if (offer.primaryIsClient) return window ? window->ClientWidth() : 0;
    return offer.desktopWidth;
}

int32_t DisplayCore::PrimaryHeight() const {
    if (exclusive) return mode.height;
    if (offer.primaryIsClient) return window ? window->ClientHeight() : 0;
    return offer.desktopHeight;
}

void DisplayCore::LoseAll() {
    for (const auto& w : stores)
        if (auto s = w.lock()) s->lost = true;
}

SurfaceStore::SurfaceStore(std::shared_ptr<DisplayCore> c, int32_t w, int32_t h,
                           const PixelFormatDesc& f, bool v, bool vis, int count)
    : core(std::move(c)), width(w), height(h), format(f), video(v), visible(vis) {
    const int64_t bpp = f.BytesPerPixel();
    const int64_t rowBytes = (int64_t(w) * bpp + 3) & ~int64_t(3);
    if (w <= 0 || h <= 0 || bpp <= 0 || rowBytes > INT32_MAX) return;
    pitch = int32_t(rowBytes);
    for (int i = 0; i < count; ++i) {
        auto* block = static_cast<uint8_t*>(AllocPixels(size_t(rowBytes * h)));
        if (!block) return;
        std::memset(block, 0, size_t(rowBytes * h));
        blocks.emplace_back(block);
    }
    written.resize(size_t(count));
    screenChanged.resize(size_t(count));
    if (visible)
        for (RectList& w : written) w.Add(Whole());
    // The display buffers are the display's own; only off-screen surfaces use the budget.
    if (video && !visible) core->videoUsed += uint64_t(rowBytes) * uint64_t(h) * uint64_t(count);
    ok = true;
}

SurfaceStore::~SurfaceStore() {
    if (handed)
        for (const auto& b : blocks)
            if (b) core->presenter->Withdraw(b.get());
    if (ok && video && !visible)
        core->videoUsed -= uint64_t(pitch) * uint64_t(height) * blocks.size();
}

bool SurfaceStore::CheckLost() {
    if (visible && !lost && core->presenter->TakeScreenLost()) lost = true;
    return lost;
}

uint64_t SurfaceStore::HandFront(const RectList& rects) {
    handed = true;
    for (size_t i = 0; i < blocks.size(); ++i)
        if (i != front) screenChanged[i].Add(rects);
    return core->presenter->Hand(blocks[front].get(), pitch, format, core->VisibleRect(), rects,
                                 core->vsync);
}

DisplayRect SurfaceStore::DifferingRows(size_t a, size_t b, const DisplayRect& r) const {
    const size_t bytes = size_t(r.Width()) * format.BytesPerPixel();
    const int64_t offset = int64_t(r.left) * format.BytesPerPixel();
    auto differs = [&](int32_t y) {
        return std::memcmp(blocks[a].get() + int64_t(y) * pitch + offset,
                           blocks[b].get() + int64_t(y) * pitch + offset, bytes) != 0;
    };
    int32_t top = r.top, bottom = r.bottom;
    while (top < bottom && !differs(top)) ++top;
    while (bottom > top && !differs(bottom - 1)) --bottom;
    return DisplayRect{r.left, top, r.right, bottom};
}

uint64_t SurfaceStore::FlipFront() {
    const size_t shown = front;
    front = (front + 1) % blocks.size();
    // The screen shows the block shown before; where only the screen changed since this
    // block was last shown, the two blocks often hold the same pixels (the same frame was
    // copied into both), and those areas need not be sent again.
    RectList send = written[front];
    for (const DisplayRect& r : screenChanged[front].Rects())
        if (!send.Covers(r)) send.Add(DifferingRows(front, shown, r.Intersect(Whole())));
    written[front].Clear();
    screenChanged[front].Clear();
    return HandFront(send);
}

// ---- surfaces

namespace {

constexpr auto kPoll = std::chrono::microseconds(200);

uint32_t KeyMask(const PixelFormatDesc& f) {
    if (f.flags & PixelFormatDesc::kRgb) return f.redMask | f.greenMask | f.blueMask;
    return f.bitCount >= 32 ? 0xFFFFFFFFu : (1u << f.bitCount) - 1;
}

uint32_t ReadPixel(const uint8_t* p, uint32_t bpp) {
    uint32_t v = 0;
    std::memcpy(&v, p, bpp);
    return v;
}

// Copies a w x h block row by row in the direction that survives an overlap.
void CopyBlock(uint8_t* dst, int32_t dstPitch, const uint8_t* src, int32_t srcPitch, int32_t w,
               int32_t h, uint32_t bpp, bool keyed, uint32_t key, uint32_t keyMask) {
    const size_t rowBytes = size_t(w) * bpp;
    // Whole rows of equal pitch are one block: a single large copy streams past the caches
    // instead of filling them with a frame that is not read again soon.
    if (!keyed && dstPitch == srcPitch && size_t(dstPitch) == rowBytes) {
        std::memmove(dst, src, rowBytes * size_t(h));
        return;
    }
    const bool upward = dst > src;
    for (int32_t i = 0; i < h; ++i) {
        const int32_t row = upward ? h - 1 - i : i;
        uint8_t* d = dst + int64_t(row) * dstPitch;
        const uint8_t* s = src + int64_t(row) * srcPitch;
        if (!keyed) {
            std::memmove(d, s, rowBytes);
            continue;
        }
        for (int32_t x = 0; x < w; ++x, d += bpp, s += bpp)
            if ((ReadPixel(s, bpp) & keyMask) != (key & keyMask)) std::memcpy(d, s, bpp);
    }
}

}  // namespace

DisplaySurface::DisplaySurface(std::shared_ptr<SurfaceStore> store, int position)
    : store_(std::move(store)), position_(position) {}

DisplaySurface::~DisplaySurface() {
    while (locks_ > 0) Unlock();
}

int32_t DisplaySurface::Width() const {
    return store_->width;
}
int32_t DisplaySurface::Height() const {
    return store_->height;
}
const PixelFormatDesc& DisplaySurface::Format() const {
    return store_->format;
}
bool DisplaySurface::InVideoMemory() const {
    return store_->video;
}
bool DisplaySurface::IsPrimary() const {
    return store_->visible && position_ == 0;
}
uint8_t* DisplaySurface::Pixels() const {
    return store_->Block(position_);
}

bool DisplaySurface::IsLost() const {
    return store_->CheckLost();
}

bool DisplaySurface::Restore() {
    SurfaceStore& s = *store_;
    if (!s.CheckLost()) return true;
    if (s.core->refuseRestore) return false;
    // Restored pixels are undefined; a recognisable pattern shows who forgets to redraw.
    for (auto& b : s.blocks) std::memset(b.get(), 0xA5, size_t(s.pitch) * size_t(s.height));
    for (RectList& w : s.written) w.Add(s.Whole());
    s.shownFrom.reset();
    s.lost = false;
    return true;
}

bool DisplaySurface::BlitDone() const {
    Presenter* p = store_->core->presenter;
    if (!p->BeginWrite(Pixels())) return false;
    p->EndWrite(Pixels());
    return true;
}

bool DisplaySurface::Lock(uint8_t** bits, int32_t* pitch) {
    if (IsLost()) return false;
    Presenter* p = store_->core->presenter;
    const auto deadline = std::chrono::steady_clock::now() + p->FramePeriod();
    while (!p->BeginWrite(Pixels())) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kPoll);
    }
    CatchUp();
    ++locks_;
    ++store_->locks;
    *bits = Pixels();
    *pitch = store_->pitch;
    return true;
}

void DisplaySurface::Unlock() {
    if (locks_ == 0) return;
    --locks_;
    --store_->locks;
    store_->core->presenter->EndWrite(Pixels());
    Written(store_->Whole());
}

bool DisplaySurface::GetDrawSurface(DrawSurface** dc) {
    if (dc_) return false;
    const PixelFormatDesc& f = store_->format;
    SurfaceKind kind;
    if (f == Rgb565())
        kind = SurfaceKind::Rgb565;
    else if (f == PixelFormatDesc{PixelFormatDesc::kRgb, 16, 0x7C00, 0x03E0, 0x001F, 0})
        kind = SurfaceKind::Rgb555;
    else if (f.bitCount == 24 && f.redMask == 0xFF0000 && f.blueMask == 0xFF)
        kind = SurfaceKind::Bgr24;
    else if (f.bitCount == 32 && f.redMask == 0xFF0000 && f.blueMask == 0xFF)
        kind = SurfaceKind::Bgrx32;
    else
        return false;
    uint8_t* bits;
    int32_t pitch;
    if (!Lock(&bits, &pitch)) return false;
    dc_ = std::make_unique<DrawSurface>();
    dc_->pixels = bits;
    dc_->pitch = pitch;
    dc_->width = store_->width;
    dc_->height = store_->height;
    dc_->kind = kind;
    *dc = dc_.get();
    return true;
}

bool DisplaySurface::ReleaseDrawSurface(DrawSurface* dc) {
    if (!dc_ || dc != dc_.get()) return false;
    dc_.reset();
    Unlock();
    return true;
}

bool DisplaySurface::SetPalette(std::shared_ptr<DisplayPalette> palette) {
    if (palette && !(store_->format.flags & PixelFormatDesc::kPalette8)) return false;
    palette_ = std::move(palette);
    return true;
}

void DisplaySurface::Written(const DisplayRect& r) {
    SurfaceStore& s = *store_;
    if (!s.visible) return;
    const size_t block = s.BlockIndex(position_);
    if (block != s.front) {
        s.written[block].Add(r);
        return;
    }
    RectList one;
    one.Add(r);
    s.HandFront(one);
}

std::vector<DisplayRect> DisplayClipper::ClipList() const {
    if (window_) return {core_->VisibleRect()};
    return rects_;
}

bool DisplaySurface::TargetAreas(const DisplayRect& to, std::vector<DisplayRect>& areas) const {
    const DisplayRect whole = store_->Whole();
    if (!clipper_) {
        areas.assign(1, to);
        return whole.Contains(to);
    }
    areas.clear();
    for (const DisplayRect& c : clipper_->ClipList())
        areas.push_back(to.Intersect(c).Intersect(whole));
    return true;
}

BlitResult DisplaySurface::Blit(const DisplayRect* dst, DisplaySurface& src,
                                const DisplayRect* srcRect, bool keyed) {
    SurfaceStore& d = *store_;
    SurfaceStore& s = *src.store_;
    if (IsLost() || src.IsLost()) return BlitResult::Lost;
    if (d.format.bitCount != s.format.bitCount) return BlitResult::Invalid;
    const DisplayRect from = srcRect ? *srcRect : s.Whole();
    const DisplayRect to = dst ? *dst : d.Whole();
    if (from.Empty() || !s.Whole().Contains(from)) return BlitResult::Invalid;
    if (to.Width() != from.Width() || to.Height() != from.Height()) return BlitResult::Invalid;
    std::vector<DisplayRect> areas;
    if (!TargetAreas(to, areas)) return BlitResult::Invalid;
    Presenter* p = d.core->presenter;
    if (&s != &d && !s.shownFrom.expired()) {
        if (!p->BeginWrite(src.Pixels())) return BlitResult::Busy;
        src.CatchUp();
        p->EndWrite(src.Pixels());
    }
    if (!p->BeginWrite(Pixels())) return BlitResult::Busy;
    CatchUp();
    const uint32_t bpp = d.format.BytesPerPixel();
    for (DisplayRect a : areas) {
        a = a.Intersect(d.Whole());
        if (a.Empty()) continue;
        const int32_t sx = from.left + (a.left - to.left);
        const int32_t sy = from.top + (a.top - to.top);
        CopyBlock(Pixels() + int64_t(a.top) * d.pitch + int64_t(a.left) * bpp, d.pitch,
                  src.Pixels() + int64_t(sy) * s.pitch + int64_t(sx) * bpp, s.pitch, a.Width(),
                  a.Height(), bpp, keyed, src.key_, KeyMask(s.format));
    }
    p->EndWrite(Pixels());
    for (const DisplayRect& a : areas)
        if (!a.Intersect(d.Whole()).Empty()) Written(a.Intersect(d.Whole()));
    return BlitResult::Ok;
}

BlitResult DisplaySurface::BlitFast(int32_t x, int32_t y, DisplaySurface& src,
                                    const DisplayRect& srcRect) {
    const int64_t right = int64_t(x) + srcRect.Width();
    const int64_t bottom = int64_t(y) + srcRect.Height();
    if (right > INT32_MAX || bottom > INT32_MAX) return BlitResult::Invalid;
    const DisplayRect to{x, y, int32_t(right), int32_t(bottom)};
    auto saved = std::move(clipper_);
    const BlitResult r = Blit(&to, src, &srcRect);
    clipper_ = std::move(saved);
    return r;
}

BlitResult DisplaySurface::Fill(const DisplayRect* dst, uint32_t pixel) {
    SurfaceStore& d = *store_;
    if (IsLost()) return BlitResult::Lost;
    const DisplayRect to = dst ? *dst : d.Whole();
    std::vector<DisplayRect> areas;
    if (!TargetAreas(to, areas)) return BlitResult::Invalid;
    Presenter* p = d.core->presenter;
    if (!p->BeginWrite(Pixels())) return BlitResult::Busy;
    CatchUp();
    const uint32_t bpp = d.format.BytesPerPixel();
    for (DisplayRect& a : areas) {
        a = a.Intersect(d.Whole());
        for (int32_t yy = a.top; yy < a.bottom; ++yy) {
            uint8_t* row = Pixels() + int64_t(yy) * d.pitch + int64_t(a.left) * bpp;
            for (int32_t xx = a.left; xx < a.right; ++xx, row += bpp) std::memcpy(row, &pixel, bpp);
        }
    }
    p->EndWrite(Pixels());
    for (const DisplayRect& a : areas)
        if (!a.Empty()) Written(a);
    return BlitResult::Ok;
}

void DisplaySurface::CatchUp() {
    SurfaceStore& d = *store_;
    if (d.shownFrom.expired()) return;
    const std::shared_ptr<SurfaceStore> from = d.shownFrom.lock();
    d.shownFrom.reset();
    if (!from || from->lost || from->format.bitCount != d.format.bitCount) return;
    const DisplayRect to = from->Whole().Offset(d.shownX, d.shownY).Intersect(d.Whole());
    if (to.Empty()) return;
    const uint32_t bpp = d.format.BytesPerPixel();
    CopyBlock(Pixels() + int64_t(to.top) * d.pitch + int64_t(to.left) * bpp, d.pitch,
              from->Block(0) + int64_t(to.top - d.shownY) * from->pitch +
                  int64_t(to.left - d.shownX) * bpp,
              from->pitch, to.Width(), to.Height(), bpp, false, 0, 0);
}

BlitResult DisplaySurface::Show(int32_t x, int32_t y, DisplaySurface& src, const RectList& rects) {
    SurfaceStore& d = *store_;
    SurfaceStore& s = *src.store_;
    if (!IsPrimary() || d.blocks.size() != 1 || s.visible || s.blocks.size() != 1)
        return BlitResult::Invalid;
    if (IsLost() || src.IsLost()) return BlitResult::Lost;
    if (s.format != d.format) return BlitResult::Invalid;
    // The window's area in src's coordinates: its corner is the screen's.
    const DisplayRect visible = d.core->VisibleRect().Offset(-x, -y);
    // What waits to be sent from other pixels (the primary's own, written directly), or from
    // src placed elsewhere, cannot be sent from src here: the rectangles are copied then, and
    // go out with the rest.
    if (d.core->presenter->WaitingOther(src.Pixels(), visible)) {
        BlitResult result = BlitResult::Ok;
        for (const DisplayRect& r : rects.Rects()) {
            const DisplayRect from = r.Intersect(s.Whole());
            if (from.Empty()) continue;
            const DisplayRect to = from.Offset(x, y);
            const BlitResult one = Blit(&to, src, &from);
            if (one != BlitResult::Ok) result = one;
        }
        return result;
    }
    RectList send;
    for (const DisplayRect& r : rects.Rects()) send.Add(r.Intersect(s.Whole()).Intersect(visible));
    d.shownFrom = src.store_;
    d.shownX = x;
    d.shownY = y;
    s.handed = true;
    if (!send.Empty())
        d.core->presenter->Hand(src.Pixels(), s.pitch, s.format, visible, send, d.core->vsync);
    return BlitResult::Ok;
}

std::shared_ptr<DisplaySurface> DisplaySurface::BackBuffer() {
    if (!IsPrimary() || store_->blocks.size() < 2) return nullptr;
    return std::make_shared<DisplaySurface>(store_, 1);
}

BlitResult DisplaySurface::Flip(bool wait, bool vsync) {
    SurfaceStore& s = *store_;
    if (!IsPrimary() || s.blocks.size() < 2) return BlitResult::Invalid;
    if (IsLost()) return BlitResult::Lost;
    if (s.locks > 0) return BlitResult::Busy;
    s.core->vsync = vsync;
    const uint64_t ticket = s.FlipFront();
    if (wait) s.core->presenter->WaitAcknowledged(ticket, s.core->presenter->FramePeriod());
    return BlitResult::Ok;
}

bool DisplaySurface::CanFlip() const {
    Presenter* p = store_->core->presenter;
    return p->Acknowledged(p->LastTicket());
}

// ---- connection

DisplayConnection::DisplayConnection(std::shared_ptr<DisplayCore> core) : core_(std::move(core)) {}
DisplayConnection::~DisplayConnection() = default;

void DisplayConnection::SetCooperation(WindowComponent* window, bool exclusive) {
    core_->window = window;
    core_->exclusive = exclusive;
}

bool DisplayConnection::SetDisplayMode(int32_t width, int32_t height, int32_t bitsPerPixel,
                                       int32_t) {
    if (!core_->exclusive) return false;
    for (const DisplayMode& m : core_->offer.modes) {
        if (m.width == width && m.height == height && int32_t(m.format.bitCount) == bitsPerPixel) {
            core_->mode = m;
            return true;
        }
    }
    return false;
}

SurfaceRef DisplayConnection::CreatePrimary(int backBuffers) {
    DisplayCore& c = *core_;
    if (backBuffers < 0 || backBuffers > c.offer.maxBackBuffers) return nullptr;
    if (backBuffers > 0 && !c.exclusive) return nullptr;
    if (c.exclusive && c.mode.width <= 0) return nullptr;
    if (!c.exclusive && !c.window) return nullptr;
    auto store = std::make_shared<SurfaceStore>(core_, c.PrimaryWidth(), c.PrimaryHeight(),
                                                c.PrimaryFormat(), true, true, 1 + backBuffers);
    if (!store->ok) return nullptr;
    c.stores.push_back(store);
    const DisplayRect v = c.VisibleRect();
    c.presenter->SetScreen(c.window, v.Width(), v.Height(), c.exclusive);
    return std::make_shared<DisplaySurface>(store, 0);
}

SurfaceRef DisplayConnection::CreateSurface(int32_t width, int32_t height,
                                            const PixelFormatDesc* format, bool video) {
    DisplayCore& c = *core_;
    const PixelFormatDesc f = format ? *format : c.PrimaryFormat();
    const bool rgb = (f.flags & PixelFormatDesc::kRgb) &&
                     (f.bitCount == 16 || f.bitCount == 24 || f.bitCount == 32);
    const bool indexed = (f.flags & PixelFormatDesc::kPalette8) && f.bitCount == 8;
    if (!rgb && !indexed) return nullptr;
    if (width <= 0 || height <= 0) return nullptr;
    if (video) {
        const uint64_t bytes =
            ((uint64_t(width) * f.BytesPerPixel() + 3) & ~uint64_t(3)) * uint64_t(height);
        if (c.videoUsed + bytes > c.offer.videoMemory) {
            if (!c.offer.videoFallsBack) return nullptr;
            video = false;
        }
    }
    auto store = std::make_shared<SurfaceStore>(core_, width, height, f, video, false, 1);
    if (!store->ok) return nullptr;
    std::erase_if(c.stores, [](const std::weak_ptr<SurfaceStore>& w) { return w.expired(); });
    c.stores.push_back(store);
    return std::make_shared<DisplaySurface>(store, 0);
}

std::shared_ptr<DisplayClipper> DisplayConnection::CreateClipper() {
    return std::make_shared<DisplayClipper>(core_);
}

std::shared_ptr<DisplayPalette> DisplayConnection::CreatePalette(const uint32_t entries[256]) {
    auto p = std::make_shared<DisplayPalette>();
    std::memcpy(p->entries, entries, sizeof p->entries);
    return p;
}

bool DisplayConnection::EnumModes(std::vector<DisplayMode>& out) const {
    out = core_->offer.modes;
    return true;
}

bool DisplayConnection::VideoMemory(uint64_t& total, uint64_t& free) const {
    total = core_->offer.videoMemory;
    free = total - std::min(total, core_->videoUsed);
    return true;
}

bool DisplayConnection::Caps(DisplayCaps* driver, DisplayCaps* emulation) const {
    for (DisplayCaps* c : {driver, emulation}) {
        if (!c || c->size != DisplayCaps::kRecordSize) return false;
    }
    uint64_t total, free;
    VideoMemory(total, free);
    const uint32_t all = DisplayCaps::kCanBlit | DisplayCaps::kCanColourKey |
                         DisplayCaps::kCanFlip | DisplayCaps::kCanFill;
    *driver = DisplayCaps{DisplayCaps::kRecordSize, all, total, free};
    *emulation = DisplayCaps{DisplayCaps::kRecordSize, all, 0, 0};
    return true;
}

bool DisplayConnection::ReadScreen(std::vector<uint32_t>& pixels, int32_t& w, int32_t& h) const {
    return core_->presenter->ReadScreen(pixels, w, h);
}

void DisplayConnection::ClientOrigin(int32_t& x, int32_t& y) const {
    const DisplayRect v = core_->VisibleRect();
    x = core_->exclusive ? 0 : v.left;
    y = core_->exclusive ? 0 : v.top;
}

}  // namespace plat
