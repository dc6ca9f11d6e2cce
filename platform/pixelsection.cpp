#include "platform/pixelsection.h"

#include <cstdlib>
#include <limits>

namespace plat {

int BytesPerPixel(SurfaceKind kind) {
    switch (kind) {
        case SurfaceKind::Grey8:
            return 1;
        case SurfaceKind::Rgb565:
        case SurfaceKind::Rgb555:
        case SurfaceKind::Rgb444:
            return 2;
        case SurfaceKind::Bgr24:
            return 3;
        case SurfaceKind::Bgrx32:
            return 4;
    }
    return 4;
}

int64_t SectionStride(int64_t width, SurfaceKind kind) {
    return (width * BytesPerPixel(kind) + 3) & ~int64_t{3};
}

std::unique_ptr<PixelSection> PixelSection::Create(int32_t width, int32_t height, SurfaceKind kind,
                                                   bool top_down) {
    if (width <= 0 || height <= 0) return nullptr;
    const int64_t stride = SectionStride(width, kind);
    if (stride > std::numeric_limits<int32_t>::max()) return nullptr;
    void* mem = std::calloc(static_cast<size_t>(height), static_cast<size_t>(stride));
    if (!mem) return nullptr;
    std::unique_ptr<PixelSection> s(new PixelSection);
    s->memory_ = static_cast<uint8_t*>(mem);
    s->width_ = width;
    s->height_ = height;
    s->kind_ = kind;
    s->stride_ = static_cast<int32_t>(stride);
    s->pitch_ = top_down ? s->stride_ : -s->stride_;
    s->top_ = top_down ? s->memory_
                       : s->memory_ + static_cast<size_t>(stride) * static_cast<size_t>(height - 1);
    return s;
}

PixelSection::~PixelSection() {
    std::free(memory_);
}

void PixelSection::Select(DrawSurface& dc) const {
    dc.pixels = top_;
    dc.pitch = pitch_;
    dc.width = width_;
    dc.height = height_;
    dc.kind = kind_;
}

}  // namespace plat
