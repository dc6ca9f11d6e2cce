// Clipping and locking shared by the bitmap and alpha-plane drawing code. Every sum of a
// position and a size is taken in 64 bits, so no caller-given value can wrap around.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

#include "platform/exception.h"

namespace ny_clip {

// Amounts of a placed rectangle lying outside bounds on each side (0 or more).
struct Cuts {
    int64_t left = 0, top = 0, right = 0, bottom = 0;

    // Raises the cuts for the rectangle (x, y, w, h) against (0, 0, bw, bh).
    void Against(int64_t x, int64_t y, int64_t w, int64_t h, int64_t bw, int64_t bh) {
        left = std::max(left, -x);
        top = std::max(top, -y);
        right = std::max(right, x + w - bw);
        bottom = std::max(bottom, y + h - bh);
    }
};

// A rectangle (x, y, w, h) after clipping; sx and sy count the columns and rows by which every
// source belonging to it moves.
struct Area {
    int x, y, w, h;
    int64_t sx = 0, sy = 0;

    bool Empty() const { return w <= 0 || h <= 0; }

    // Moves the rectangle and its sources by the left and top cuts and shrinks it by all four.
    void Apply(const Cuts& c) {
        int64_t nx = x, ny = y, nw = w, nh = h;
        if (c.left > 0) nx += c.left, sx += c.left, nw -= c.left;
        if (c.right > 0) nw -= c.right;
        if (c.top > 0) ny += c.top, sy += c.top, nh -= c.top;
        if (c.bottom > 0) nh -= c.bottom;
        Store(nx, ny, nw, nh);
    }

    // Direct clipping against (0, 0, bw, bh): a negative position moves the sources.
    void Direct(int64_t bw, int64_t bh) {
        int64_t nx = x, ny = y, nw = w, nh = h;
        if (nx < 0) sx += -nx, nw += nx, nx = 0;
        if (nx + nw > bw) nw = bw - nx;
        if (ny < 0) sy += -ny, nh += ny, ny = 0;
        if (ny + nh > bh) nh = bh - ny;
        Store(nx, ny, nw, nh);
    }

  private:
    void Store(int64_t nx, int64_t ny, int64_t nw, int64_t nh) {
        if (nw <= 0 || nh <= 0) {
            w = h = 0;
            return;
        }
        x = static_cast<int>(nx), y = static_cast<int>(ny);
        w = static_cast<int>(nw), h = static_cast<int>(nh);
    }
};

// (x, y, w, h) cut to (0, 0, bw, bh); its sources move by the columns and rows cut on the left
// and top.
inline Area Clipped(int x, int y, int w, int h, int64_t bw, int64_t bh) {
    Cuts cuts;
    cuts.Against(x, y, w, h, bw, bh);
    Area a{x, y, w, h};
    a.Apply(cuts);
    return a;
}

inline int Clamp16(int v) {
    return std::clamp(v, -32768, 32768);
}

// Two inclusive corners clamped, ordered and clipped to (0, 0)-(width - 1, height - 1); false
// when nothing is left.
inline bool ClipCorners(int& x1, int& y1, int& x2, int& y2, int width, int height) {
    x1 = Clamp16(x1), y1 = Clamp16(y1), x2 = Clamp16(x2), y2 = Clamp16(y2);
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    x1 = std::max(x1, 0), y1 = std::max(y1, 0);
    x2 = std::min(x2, width - 1), y2 = std::min(y2, height - 1);
    return x2 >= x1 && y2 >= y1;
}

// Walks a line downwards from its clamped end points, calling plot(x, y) at every point; the
// error term counts pixels (|dx| + 1 and dy + 1), not differences.
template <typename Plot>
void WalkLine(int x1, int y1, int x2, int y2, Plot plot) {
    x1 = Clamp16(x1), y1 = Clamp16(y1), x2 = Clamp16(x2), y2 = Clamp16(y2);
    if (y1 > y2) std::swap(x1, x2), std::swap(y1, y2);
    const int cx = std::abs(x2 - x1) + 1, cy = y2 - y1 + 1;
    const int step = x2 > x1 ? 1 : -1;
    int e = 0, x = x1, y = y1;
    plot(x, y);
    while (x != x2 || y != y2) {
        if (cx > cy) {
            e += cy;
            if (e >= cx) e -= cx, ++y;
            x += step;
        } else {
            e += cx;
            if (e >= cy) e -= cy, x += step;
            ++y;
        }
        plot(x, y);
    }
}

// Takes a Lock of an object with Lock/Unlock and gives it back when it goes out of scope.
template <typename T>
class LockGuard {
  public:
    explicit LockGuard(T* t) : t_(t), held_(t->Lock()) {}
    ~LockGuard() {
        if (held_) t_->Unlock();
    }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;
    bool Held() const { return held_; }

  private:
    T* t_;
    bool held_;
};

// Runs a drawing body; a class-library exception raised inside it becomes a false result.
template <typename F>
bool Guarded(F&& body) {
    try {
        return body();
    } catch (const plat::Exception&) {
        return false;
    }
}

// A row buffer that may be absent when allocation fails.
using Buffer = std::unique_ptr<unsigned char[]>;
inline Buffer NewBuffer(int64_t bytes) {
    return Buffer(
        new (std::nothrow) unsigned char[static_cast<size_t>(std::max<int64_t>(bytes, 1))]);
}

// Bytes of a w x h block of bpp bytes a pixel plus the guard, or -1 when the block cannot be
// addressed with 32-bit pitches and offsets.
inline int64_t BlockBytes(int64_t bpp, int64_t w, int64_t h, int64_t guard) {
    if (bpp <= 0 || w <= 0 || h <= 0) return -1;
    const int64_t limit = INT32_MAX;
    if (w > limit / bpp) return -1;
    const int64_t row = bpp * w;
    if (h > (limit - guard) / row) return -1;
    return row * h + guard;
}

}  // namespace ny_clip
