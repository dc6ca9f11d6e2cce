// Rectangle arithmetic for partial redraw. ZRRect is a plain rectangle with right and bottom
// exclusive; ZRRectSet is the dirty region a widget tree or display buffer accumulates: a list
// of non-overlapping, non-empty rectangles whose merge rule decides exactly which areas get
// redrawn, so callers (and tests) can rely on the resulting members and their order.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct ZRSize {
    int32_t cx;
    int32_t cy;
};

struct ZRRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;

    bool EqualRect(const ZRRect& r) const;
    bool InflateRect(int dx, int dy);
    bool IntersectRect(const ZRRect& r);
    bool IntersectRect(const ZRRect& a, const ZRRect& b);
    bool IsRectEmpty() const { return right <= left || bottom <= top; }
    bool OffsetRect(int dx, int dy);
    bool SetRectEmpty();
    bool SubtractRect(const ZRRect& r);
    bool SubtractRect(const ZRRect& a, const ZRRect& b);
    bool UnionRect(const ZRRect& r);
    bool UnionRect(const ZRRect& a, const ZRRect& b);
    bool InRect(const int x, const int y) const {
        return left <= x && x < right && top <= y && y < bottom;
    }
    // Whether r lies inside this one; emptiness is not considered.
    bool InRect(const ZRRect& r) const {
        return r.left >= left && r.right <= right && r.top >= top && r.bottom <= bottom;
    }
    bool IsCross(const ZRRect& r) const {
        return r.left < right && r.right > left && r.top < bottom && r.bottom > top;
    }
    void FlipX();
    void FlipY();
};

// Each writes its result to out, which may be one of the inputs. Empty results are (0,0,0,0).
void ZRIntersectRect(const ZRRect& a, const ZRRect& b, ZRRect& out);
// The bounding rectangle; an empty input is ignored.
void ZRUnionRect(const ZRRect& a, const ZRRect& b, ZRRect& out);
// a minus b, only where b takes a whole strip off one side of a (or covers it); a hole or a
// corner bite leaves a unchanged, so the result may still contain part of b.
void ZRSubtractRect(const ZRRect& a, const ZRRect& b, ZRRect& out);

class ZRRectSet {
  public:
    using const_iterator = std::vector<ZRRect>::const_iterator;

    // Adds r's area, merging with members; returns whether the set is not empty.
    bool UnionRect(const ZRRect& r);
    bool UnionRectSet(const ZRRectSet& other);
    // Clips every member to r and drops those left empty; returns whether any remain.
    bool IntersectRect(const ZRRect& r);
    // Clips to each member of other in turn, leaving the area common to all of them; returns
    // whether any member remains (false when other is empty).
    bool IntersectRectSet(const ZRRectSet& other);
    bool SubtractRect(const ZRRect& r);
    bool SubtractRectSet(const ZRRectSet& other);
    bool OffsetRect(int dx, int dy);
    bool SetRectEmpty();
    bool IsRectEmpty() const;
    ZRRect AllUnionRect() const;
    operator ZRRect() const { return AllUnionRect(); }

    const_iterator begin() const { return rects_.begin(); }
    const_iterator end() const { return rects_.end(); }
    std::size_t size() const { return rects_.size(); }
    const ZRRect& operator[](std::size_t i) const { return rects_[i]; }
    // How many non-empty rectangles were added since the set was made (also those that lay
    // inside the set already): tells a caller that something was drawn even when the area
    // did not grow.
    uint32_t Additions() const { return additions_; }

  private:
    bool MergeRect(const ZRRect& r);

    std::vector<ZRRect> rects_;
    uint32_t additions_ = 0;
};
