#include "platform/memorydisplay.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/displaycore.h"

namespace plat {

namespace {

// Widens the channel under mask to 8 bits by repeating its top bits.
uint32_t Channel(uint32_t pixel, uint32_t mask) {
    if (!mask) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    uint32_t v = (pixel & mask) >> shift;
    if (bits >= 8) return v >> (bits - 8);
    uint32_t out = 0;
    for (int filled = 0; filled < 8; filled += bits) out = (out << bits) | v;
    return out >> (((8 + bits - 1) / bits) * bits - 8);
}

}  // namespace

uint32_t ToXrgb(uint32_t pixel, const PixelFormatDesc& f) {
    return Channel(pixel, f.redMask) << 16 | Channel(pixel, f.greenMask) << 8 |
           Channel(pixel, f.blueMask);
}

void MemoryPresenter::SetScreen(WindowComponent*, int32_t width, int32_t height, bool fullScreen) {
    fullScreen_ = fullScreen;
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    screen_.assign(size_t(std::max(width, 0)) * size_t(std::max(height, 0)), 0);
}

bool MemoryPresenter::ReadScreen(std::vector<uint32_t>& pixels, int32_t& w, int32_t& h) {
    pixels = screen_;
    w = width_;
    h = height_;
    return !screen_.empty();
}

void MemoryPresenter::LoseScreen() {
    std::fill(screen_.begin(), screen_.end(), 0xA5A5A5u);
    MarkScreenLost();
}

void MemoryPresenter::Handed() {
    if (!hold_) Service();
}

void MemoryPresenter::Upload(const Job& job) {
    const uint32_t bpp = job.format.BytesPerPixel();
    const bool direct = job.format == Xrgb8888();
    const DisplayRect screen{0, 0, width_, height_};
    for (const DisplayRect& raw : job.rects.Rects()) {
        const DisplayRect r = raw.Intersect(job.visible);
        const DisplayRect to = r.Offset(-job.visible.left, -job.visible.top).Intersect(screen);
        if (to.Empty()) continue;
        ++uploads_;
        uploadedArea_ += int64_t(to.Width()) * to.Height();
        if (direct && to.Width() == width_ && int64_t(job.pitch) == int64_t(width_) * 4) {
            std::memcpy(&screen_[size_t(to.top) * size_t(width_)],
                        job.pixels + int64_t(r.top) * job.pitch + int64_t(r.left) * 4,
                        size_t(to.Width()) * size_t(to.Height()) * 4);
            continue;
        }
        for (int32_t y = 0; y < to.Height(); ++y) {
            const uint8_t* src =
                job.pixels + int64_t(r.top + y) * job.pitch + int64_t(r.left) * bpp;
            uint32_t* dst = &screen_[size_t(to.top + y) * size_t(width_) + size_t(to.left)];
            if (direct) {
                std::memcpy(dst, src, size_t(to.Width()) * 4);
                continue;
            }
            for (int32_t x = 0; x < to.Width(); ++x, src += bpp) {
                uint32_t v = 0;
                std::memcpy(&v, src, bpp);
                dst[x] = ToXrgb(v, job.format);
            }
        }
    }
}

MemoryDisplay::MemoryDisplay() : offer_(std::make_unique<DisplayOffer>()) {
    DisplayOffer& o = *offer_;
    o.videoMemory = 64u << 20;
    o.videoFallsBack = false;
    for (int32_t h : {720, 768, 800, 960, 1024}) {
        o.modes.push_back({1280, h, Xrgb8888()});
        o.modes.push_back({1280, h, Rgb565()});
    }
    o.modes.push_back({640, 480, Xrgb8888()});
    o.modes.push_back({1920, 1080, Xrgb8888()});
}

MemoryDisplay::~MemoryDisplay() = default;

std::unique_ptr<DisplayConnection> MemoryDisplay::Open() {
    if (failOpen) return nullptr;
    auto core = std::make_shared<DisplayCore>(&presenter_, *offer_);
    last_ = core;
    return std::make_unique<DisplayConnection>(core);
}

void MemoryDisplay::LoseAll() {
    if (auto core = last_.lock()) core->LoseAll();
}

void MemoryDisplay::RefuseRestore(bool on) {
    if (auto core = last_.lock()) core->refuseRestore = on;
}

}  // namespace plat
