// Rectangles and the dirty-rectangle set's merge rule.
#include "foundation/zrrect.h"

#include <algorithm>

namespace {

constexpr ZRRect kEmpty{0, 0, 0, 0};

}  // namespace

void ZRIntersectRect(const ZRRect& a, const ZRRect& b, ZRRect& out) {
    ZRRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
             std::min(a.bottom, b.bottom)};
    out = a.IsRectEmpty() || b.IsRectEmpty() || r.IsRectEmpty() ? kEmpty : r;
}

void ZRUnionRect(const ZRRect& a, const ZRRect& b, ZRRect& out) {
    if (a.IsRectEmpty()) {
        out = b.IsRectEmpty() ? kEmpty : b;
    } else if (b.IsRectEmpty()) {
        out = a;
    } else {
        out = ZRRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                     std::max(a.bottom, b.bottom)};
    }
}

void ZRSubtractRect(const ZRRect& a, const ZRRect& b, ZRRect& out) {
    ZRRect r = a;
    if (b.left <= a.left && b.right >= a.right) {
        if (a.top < b.top && b.top < a.bottom && a.bottom <= b.bottom) {
            r.bottom = b.top;
        } else if (b.top <= a.top && a.top < b.bottom) {
            if (b.bottom >= a.bottom) {
                r = kEmpty;
            } else {
                r.top = b.bottom;
            }
        }
    } else if (b.top <= a.top && b.bottom >= a.bottom) {
        if (b.left <= a.left && a.left < b.right) {
            if (b.right >= a.right) {
                r = kEmpty;
            } else {
                r.left = b.right;
            }
        } else if (a.left < b.left && b.left < a.right && a.right <= b.right) {
            r.right = b.left;
        }
    }
    out = r;
}

bool ZRRect::EqualRect(const ZRRect& r) const {
    return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
}

bool ZRRect::InflateRect(int dx, int dy) {
    left -= dx;
    top -= dy;
    right += dx;
    bottom += dy;
    return true;
}

bool ZRRect::IntersectRect(const ZRRect& r) {
    return IntersectRect(*this, r);
}

bool ZRRect::IntersectRect(const ZRRect& a, const ZRRect& b) {
    ZRIntersectRect(a, b, *this);
    return !IsRectEmpty();
}

bool ZRRect::OffsetRect(int dx, int dy) {
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
    return true;
}

bool ZRRect::SetRectEmpty() {
    *this = kEmpty;
    return true;
}

bool ZRRect::SubtractRect(const ZRRect& r) {
    return SubtractRect(*this, r);
}

bool ZRRect::SubtractRect(const ZRRect& a, const ZRRect& b) {
    ZRSubtractRect(a, b, *this);
    return true;
}

bool ZRRect::UnionRect(const ZRRect& r) {
    return UnionRect(*this, r);
}

bool ZRRect::UnionRect(const ZRRect& a, const ZRRect& b) {
    ZRUnionRect(a, b, *this);
    return !IsRectEmpty();
}

void ZRRect::FlipX() {
    int32_t l = left;
    left = -right;
    right = -l;
}

void ZRRect::FlipY() {
    int32_t t = top;
    top = -bottom;
    bottom = -t;
}

bool ZRRectSet::UnionRect(const ZRRect& added) {
    if (!added.IsRectEmpty()) ++additions_;
    return MergeRect(added);
}

bool ZRRectSet::MergeRect(const ZRRect& added) {
    // A copy: added may be one of our own members, and it grows as neighbours merge into it.
    ZRRect r = added;
    if (r.IsRectEmpty()) return !IsRectEmpty();
    std::size_t i = 0;
    while (i < rects_.size()) {
        const ZRRect m = rects_[i];
        if (m.InRect(r)) return true;
        if (r.InRect(m)) {
            rects_.erase(rects_.begin() + i);
            continue;
        }
        ZRRect overlap;
        ZRIntersectRect(r, m, overlap);
        if (!overlap.IsRectEmpty()) {
            rects_.erase(rects_.begin() + i);
            const int32_t t = std::max(r.top, m.top);
            const int32_t bt = std::min(r.bottom, m.bottom);
            if (r.top < t) {
                MergeRect(ZRRect{r.left, r.top, r.right, t});
            } else if (m.top < t) {
                MergeRect(ZRRect{m.left, m.top, m.right, t});
            }
            // Between t and bt both rectangles are present and overlap horizontally, so the
            // band spanning both is exactly their union there.
            MergeRect(ZRRect{std::min(r.left, m.left), t, std::max(r.right, m.right), bt});
            if (bt < r.bottom) {
                MergeRect(ZRRect{r.left, bt, r.right, r.bottom});
            } else if (bt < m.bottom) {
                MergeRect(ZRRect{m.left, bt, m.right, m.bottom});
            }
            return true;
        }
        if (r.left == m.left && r.right == m.right && r.top == m.bottom) {
            r.top = m.top;
        } else if (r.left == m.left && r.right == m.right && r.bottom == m.top) {
            r.bottom = m.bottom;
        } else if (r.top == m.top && r.bottom == m.bottom && r.left == m.right) {
            r.left = m.left;
        } else if (r.top == m.top && r.bottom == m.bottom && r.right == m.left) {
            r.right = m.right;
        } else {
            ++i;
            continue;
        }
        rects_.erase(rects_.begin() + i);
    }
    rects_.push_back(r);
    return true;
}

bool ZRRectSet::UnionRectSet(const ZRRectSet& other) {
    const std::vector<ZRRect> adds = other.rects_;
    for (const ZRRect& r : adds) UnionRect(r);
    return !IsRectEmpty();
}

// The set operations copy their argument first: it may be (or belong to) this very set.
bool ZRRectSet::IntersectRect(const ZRRect& r) {
    const ZRRect clip = r;
    for (ZRRect& m : rects_) m.IntersectRect(clip);
    std::erase_if(rects_, [](const ZRRect& m) { return m.IsRectEmpty(); });
    return !rects_.empty();
}

bool ZRRectSet::IntersectRectSet(const ZRRectSet& other) {
    const std::vector<ZRRect> cuts = other.rects_;
    bool remains = false;
    for (const ZRRect& r : cuts) remains = IntersectRect(r);
    return remains;
}

bool ZRRectSet::SubtractRect(const ZRRect& r) {
    const ZRRect cut = r;
    for (ZRRect& m : rects_) m.SubtractRect(cut);
    std::erase_if(rects_, [](const ZRRect& m) { return m.IsRectEmpty(); });
    return true;
}

bool ZRRectSet::SubtractRectSet(const ZRRectSet& other) {
    const std::vector<ZRRect> cuts = other.rects_;
    for (const ZRRect& r : cuts) SubtractRect(r);
    return true;
}

bool ZRRectSet::OffsetRect(int dx, int dy) {
    for (ZRRect& m : rects_) m.OffsetRect(dx, dy);
    return true;
}

bool ZRRectSet::SetRectEmpty() {
    rects_.clear();
    return true;
}

bool ZRRectSet::IsRectEmpty() const {
    return std::all_of(rects_.begin(), rects_.end(),
                       [](const ZRRect& m) { return m.IsRectEmpty(); });
}

ZRRect ZRRectSet::AllUnionRect() const {
    ZRRect r = kEmpty;
    for (const ZRRect& m : rects_) ZRUnionRect(r, m, r);
    return r;
}
