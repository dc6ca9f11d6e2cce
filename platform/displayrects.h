// Rectangles of the display service (right and bottom exclusive) and the list of areas a
// display buffer still owes the screen. The list keeps a few rectangles and gives up on
// precision (one bounding rectangle) when it would grow long: an area may be copied twice,
// never missed.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

namespace plat {

struct DisplayRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool operator==(const DisplayRect&) const = default;
    bool Empty() const { return right <= left || bottom <= top; }
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool Contains(const DisplayRect& r) const {
        return r.left >= left && r.top >= top && r.right <= right && r.bottom <= bottom;
    }
    DisplayRect Intersect(const DisplayRect& r) const {
        DisplayRect o{std::max(left, r.left), std::max(top, r.top), std::min(right, r.right),
                      std::min(bottom, r.bottom)};
        return o.Empty() ? DisplayRect{} : o;
    }
    DisplayRect Offset(int32_t dx, int32_t dy) const {
        return {left + dx, top + dy, right + dx, bottom + dy};
    }
};

class RectList {
  public:
    static constexpr size_t kMaxRects = 32;

    void Add(const DisplayRect& r);
    void Add(const RectList& other) {
        for (const DisplayRect& r : other.rects_) Add(r);
    }
    void Clear() { rects_.clear(); }
    // One member holds all of r.
    bool Covers(const DisplayRect& r) const {
        return std::any_of(rects_.begin(), rects_.end(),
                           [&](const DisplayRect& m) { return m.Contains(r); });
    }
    bool Empty() const { return rects_.empty(); }
    const std::vector<DisplayRect>& Rects() const { return rects_; }
    // Total area, counting overlaps twice.
    int64_t Area() const;

  private:
    std::vector<DisplayRect> rects_;
};

}  // namespace plat
