// Pixel memory laid out as the graphics interface lays out a device-independent bitmap, so
// that the text rasteriser and the pixel kernels work on the same bytes: whole pixels per row
// padded to a multiple of 4 bytes, zero-filled, rows stored top-down or bottom-up. A drawing
// surface pointed at a section stands in for a memory device context with it selected.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/textrender.h"

namespace plat {

int BytesPerPixel(SurfaceKind kind);

// Bytes from one stored row to the next.
int64_t SectionStride(int64_t width, SurfaceKind kind);

class PixelSection {
  public:
    // Null when a side is not positive, a row is too long for a 32-bit pitch, or memory runs out.
    static std::unique_ptr<PixelSection> Create(int32_t width, int32_t height, SurfaceKind kind,
                                                bool top_down);
    ~PixelSection();
    PixelSection(const PixelSection&) = delete;
    PixelSection& operator=(const PixelSection&) = delete;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    SurfaceKind Kind() const { return kind_; }
    int32_t Stride() const { return stride_; }
    // The top row, and the step from a row to the one below it (negative when bottom-up).
    uint8_t* Top() const { return top_; }
    int32_t Pitch() const { return pitch_; }
    // The rows in the order they are stored.
    uint8_t* Memory() const { return memory_; }

    // Points a drawing surface at this section; its font, colours and mode are left alone.
    void Select(DrawSurface& dc) const;

  private:
    PixelSection() = default;

    uint8_t* memory_ = nullptr;
    uint8_t* top_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t stride_ = 0;
    int32_t pitch_ = 0;
    SurfaceKind kind_ = SurfaceKind::Bgrx32;
};

}  // namespace plat
