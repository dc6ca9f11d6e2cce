// Drawing helpers of the screens: a panel's current frame into a target, clipped lines for the
// weather layers, the stage's day-and-time label, and the save thumbnail with its
// area-averaging resampler.
#include <algorithm>
#include <new>
#include <vector>

#include "game/gamef.h"
#include "game/gamefunc.h"
#include "platform/codepage.h"

namespace {

// The panel's frame rectangle inside picture (pw x ph) after the shortening rules; false when
// nothing is left to draw.
bool FrameRect(TNyRGBPanel* panel, int pw, int ph, int sx, int& sy, int& w, int& h) {
    if (sx + w > pw) w = pw - sx;
    const int blocks = panel->GetNumBlock() > 0 ? panel->GetNumBlock() : 1;
    const int fh = ph / blocks;
    if (sy + h > fh) h = fh - sy;
    sy += fh * panel->GetBlockIndex();
    return w > 0 && h > 0;
}

// The pixel rules of the line drawers, per colour byte.
struct AddRule {
    void operator()(unsigned char* p, int, int) const {
        for (int i = 0; i < 3; ++i) {
            const int v = p[i] + k[i];
            p[i] = static_cast<unsigned char>(v > 255 ? 255 : v);
        }
    }
    int k[3];
};

struct SubRule {
    void operator()(unsigned char* p, int, int) const {
        for (int i = 0; i < 3; ++i) {
            const int v = p[i] - k[i];
            p[i] = static_cast<unsigned char>(v < 0 ? 0 : v);
        }
    }
    int k[3];
};

struct AddRateRule {
    void operator()(unsigned char* p, int x, int y) const {
        const int a = *plane->ValueAt(x, y);
        if (a == 0) return;
        for (int i = 0; i < 3; ++i) {
            const int v = p[i] + (k[i] * a) / 256;
            p[i] = static_cast<unsigned char>(v > 255 ? 255 : v);
        }
    }
    int k[3];
    TNyAlpha* plane;
};

int64_t CeilDiv(int64_t a, int64_t b) {
    return a <= 0 ? 0 : (a + b - 1) / b;
}

int Clamp16(int v) {
    return v < -32768 ? -32768 : v > 32768 ? 32768 : v;
}

// One walk for the three drawers: the pixels of the line from (x1, y1) to (x2, y2) that lie
// inside the clip, found without stepping through the ones outside it.
template <typename Rule>
bool WalkLine(TNyRGBBits* bits, int x1, int y1, int x2, int y2, ZRRect clip, Rule rule) {
    if (!bits || !bits->Created()) return false;
    const int bpp = bits->BitDepth() == bd24 ? 3 : bits->BitDepth() == bd32 ? 4 : 0;
    if (bpp == 0) return false;
    const int left = std::max(clip.left, 0), top = std::max(clip.top, 0);
    const int right = std::min(clip.right, bits->Width());
    const int bottom = std::min(clip.bottom, bits->Height());
    x1 = Clamp16(x1), y1 = Clamp16(y1), x2 = Clamp16(x2), y2 = Clamp16(y2);
    if (y2 < y1) std::swap(x1, x2), std::swap(y1, y2);
    if (left >= right || top >= bottom) return true;
    if (y1 >= bottom || y2 < top) return true;
    if (std::max(x1, x2) < left || std::min(x1, x2) >= right) return true;
    const TNyBitsLock lock(bits);
    if (!lock.Held()) return false;

    // Every product below can pass 2^32 (both counts reach 65537), so all of it is 64-bit.
    const int64_t nx = int64_t(std::abs(x2 - x1)) + 1, ny = int64_t(y2) - y1 + 1;
    const int dir = x1 < x2 ? 1 : -1;
    const bool xMajor = ny < nx;
    const int64_t steps = (xMajor ? nx : ny) - 1;
    // Steps skipped before the first pixel inside the clip.
    int64_t k = 0;
    if (xMajor) {
        if (y1 < top) k = std::max(k, CeilDiv((int64_t(top) - y1) * nx, ny));
        if (dir > 0 && x1 < left) k = std::max(k, int64_t(left) - x1);
        if (dir < 0 && x1 >= right) k = std::max(k, int64_t(x1) - right + 1);
    } else {
        if (y1 < top) k = std::max(k, int64_t(top) - y1);
        if (dir > 0 && x1 < left) k = std::max(k, CeilDiv((int64_t(left) - x1) * ny, nx));
        if (dir < 0 && x1 >= right) k = std::max(k, CeilDiv((int64_t(x1) - right + 1) * ny, nx));
    }
    if (k <= steps) {
        int64_t x, y, e;
        const int64_t minor = xMajor ? ny : nx, major = xMajor ? nx : ny;
        const int64_t total = k * minor;
        if (xMajor) {
            x = x1 + dir * k;
            y = y1 + total / major;
        } else {
            y = y1 + k;
            x = x1 + dir * (total / major);
        }
        e = total % major;
        unsigned char* base = bits->Bits();
        const int64_t pitch = bits->Pitch();
        for (int64_t i = k; i <= steps; ++i) {
            if (y >= bottom || (dir > 0 ? x >= right : x < left)) break;
            // The start may still lie outside on the other axis when the line misses the
            // clip's corner; such pixels are skipped, never drawn.
            if (y >= top && x >= left && x < right)
                rule(base + y * pitch + x * bpp, int(x), int(y));
            if (xMajor) {
                x += dir;
                e += minor;
                if (e >= major) e -= major, ++y;
            } else {
                ++y;
                e += minor;
                if (e >= major) e -= major, x += dir;
            }
        }
    }
    return true;
}

template <typename Rule>
Rule Colour(uint32_t c) {
    Rule r{};
    for (int i = 0; i < 3; ++i) r.k[i] = (c >> (8 * i)) & 0xFF;
    return r;
}

}  // namespace

bool DrawPanelImage(TNyRGBPanel* panel, TNyRGBBits* target, int x, int y, int sx, int sy, int w,
                    int h, int rate) {
    TNyRGBBits* image = panel->GetImage();
    if (!image) return false;
    if (!FrameRect(panel, image->Width(), image->Height(), sx, sy, w, h)) return true;
    if (rate <= 0) return true;
    if (TNyAlpha* alpha = panel->GetAlpha()) {
        if (rate >= 128)
            target->DrawAlphaMask(x, y, image, sx, sy, w, h, alpha);
        else
            target->DrawDoubleAlphaMask(x, y, image, sx, sy, w, h, alpha, rate);
    } else if (rate >= 128) {
        target->Draw(x, y, image, sx, sy, w, h);
    } else {
        target->AlphaBlend(x, y, image, sx, sy, w, h, rate);
    }
    return true;
}

bool DrawPanelImageAdd(TNyRGBPanel* panel, TNyRGBBits* target, int x, int y, int sx, int sy, int w,
                       int h) {
    TNyRGBBits* image = panel->GetImage();
    if (!image) return false;
    if (FrameRect(panel, image->Width(), image->Height(), sx, sy, w, h))
        target->SaturationAdd(x, y, image, sx, sy, w, h);
    return true;
}

bool FillPanelAlpha(TNyRGBPanel* panel, TNyRGBBits* target, int x, int y, int sx, int sy, int w,
                    int h, uint32_t colour, int rate) {
    TNyAlpha* alpha = panel->GetAlpha();
    if (!alpha) return false;
    if (FrameRect(panel, alpha->Width(), alpha->Height(), sx, sy, w, h))
        target->AlphaFillRate(x, y, colour, sx, sy, w, h, alpha, rate);
    return true;
}

bool DrawLineAddClip(TNyRGBBits* bits, int x1, int y1, int x2, int y2, uint32_t colour,
                     ZRRect clip) {
    return WalkLine(bits, x1, y1, x2, y2, clip, Colour<AddRule>(colour));
}

bool DrawLineAddRateClip(TNyRGBBits* bits, int x1, int y1, int x2, int y2, uint32_t colour,
                         ZRRect clip, TNyAlpha* intensity) {
    if (!bits || !intensity || !intensity->Created() || intensity->Width() < bits->Width() ||
        intensity->Height() < bits->Height())
        return DrawLineAddClip(bits, x1, y1, x2, y2, colour, clip);
    AddRateRule rule = Colour<AddRateRule>(colour);
    rule.plane = intensity;
    return WalkLine(bits, x1, y1, x2, y2, clip, rule);
}

bool DrawLineClip(TNyRGBBits* bits, int x1, int y1, int x2, int y2, uint32_t colour, ZRRect clip) {
    return WalkLine(bits, x1, y1, x2, y2, clip, Colour<SubRule>(colour));
}

namespace {

struct StageLabel {
    int32_t stage;
    const char* text;  // UTF-8 here, GBK once converted
};

constexpr StageLabel kStageLabels[] = {
    {1, "第1天/夜晚"},    {2, "第2天/早晨"},
    {3, "第2天/白天"},    {4, "第2天/放学后"},
    {5, "第3天/早晨"},    {6, "第3天/放学后"},
    {7, "第3天/夜晚"},    {8, "第4天/白天"},
    {9, "第4天/白天"},    {10, "第4天/放学后"},
    {11, "第4天/放学后"}, {12, "第4天/夜晚"},
    {13, "第4天/夜晚"},   {14, "第5天/白天"},
    {15, "第6天/早晨"},   {16, "第6天/白天"},
    {17, "第6天/放学后"}, {18, "第7天/早晨"},
    {19, "第7天/白天"},   {20, "第7天/白天"},
    {21, "第7天/白天"},   {22, "第7天/白天"},
    {23, "第7天/白天"},   {24, "第7天/白天"},
    {25, "第7天/白天"},   {26, "第7天/傍晚"},
    {27, "第7天/傍晚"},   {28, "之后/放学后"},
    {29, "第2天/夜晚"},   {30, "第3天/白天"},
    {31, "第4天/早晨"},   {32, "第5天/早晨"},
    {33, "第5天/白天"},   {34, "第5天/放学后"},
    {35, "第5天/夜晚"},   {36, "第6天/夜晚"},
    {37, "第7天/白天"},   {-1, ""},
};

// Whether the byte at index i (0-based) of s starts a double-byte character.
bool LeadAt(const std::string& s, int i) {
    for (int p = 0; p < int(s.size());) {
        const bool lead = ZRString::IsLead(static_cast<unsigned char>(s[p]));
        if (p == i) return lead;
        p += lead ? 2 : 1;
        if (p > i) return false;
    }
    return false;
}

}  // namespace

ZRString GetStageLabel(int stage, int maxBytes) {
    const StageLabel* e = kStageLabels;
    while (e->stage != stage && e->stage != -1) ++e;
    const std::string& label = plat::GbkText(e->text);
    const int n = maxBytes;
    if (n >= int(label.size())) return ZRString(label.c_str());
    // A limit below one leaves nothing to cut from.
    if (n < 1) return ZRString();
    if (n >= 4) {
        const int keep = LeadAt(label, n - 3) ? n - 3 : n - 2;
        return ZRString((label.substr(0, keep) + "\x81\x63").c_str());
    }
    const int keep = LeadAt(label, n - 1) ? n - 1 : n;
    return ZRString(label.substr(0, keep).c_str());
}

void ResampleRow(const unsigned char* src, int sw, unsigned char* dst, int dw) {
    if (!src || !dst || sw <= 0 || dw <= 0) return;
    int64_t t = 0;
    int idx = 0;
    for (int d = 0; d < dw; ++d) {
        int64_t u = t + sw;
        int crossed = 0;
        while (u >= dw) u -= dw, ++crossed;
        unsigned char* out = dst + size_t(d) * 4;
        if (crossed == 0) {
            std::copy_n(src + size_t(idx) * 4, 4, out);
            t = u;
            continue;
        }
        uint64_t sum[3] = {};
        auto add = [&](int i, int64_t weight) {
            const unsigned char* p = src + size_t(i) * 4;
            for (int c = 0; c < 3; ++c) sum[c] += uint64_t(p[c]) * uint64_t(weight);
        };
        add(idx, dw - t);
        for (int i = 1; i < crossed; ++i) add(idx + i, dw);
        idx += crossed;
        if (u > 0) add(idx, u);
        for (int c = 0; c < 3; ++c) out[c] = static_cast<unsigned char>(sum[c] / uint64_t(sw));
        out[3] = 0;
        t = u;
    }
}

void ResampleBits(const unsigned char* src, int sw, int sh, int srcPitch, unsigned char* dst,
                  int dw, int dh, int dstPitch) {
    if (!src || !dst || sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
    std::vector<unsigned char> row;
    std::vector<uint64_t> acc;
    try {
        row.resize(size_t(dw) * 4);
        acc.resize(size_t(dw) * 4);
    } catch (const std::bad_alloc&) {
        return;
    }
    int inRow = -1;
    auto load = [&](int sy) {
        if (sy == inRow) return;
        ResampleRow(src + int64_t(sy) * srcPitch, sw, row.data(), dw);
        inRow = sy;
    };
    auto add = [&](int sy, int64_t weight) {
        load(sy);
        for (size_t i = 0; i < acc.size(); ++i) acc[i] += uint64_t(row[i]) * uint64_t(weight);
    };
    int64_t t = 0;
    int idx = 0;
    for (int d = 0; d < dh; ++d) {
        unsigned char* out = dst + int64_t(d) * dstPitch;
        int64_t u = t + sh;
        int crossed = 0;
        while (u >= dh) u -= dh, ++crossed;
        if (crossed == 0) {
            load(idx);
            std::copy(row.begin(), row.end(), out);
            t = u;
            continue;
        }
        std::fill(acc.begin(), acc.end(), 0);
        add(idx, dh - t);
        for (int i = 1; i < crossed; ++i) add(idx + i, dh);
        idx += crossed;
        if (u > 0) add(idx, u);
        for (size_t i = 0; i < acc.size(); ++i)
            out[i] = static_cast<unsigned char>(acc[i] / uint64_t(sh));
        t = u;
    }
}

TNyRGBBits* MakeThumbnail(TNyRGBBits* source) {
    // An uncreated or empty source has no pixels to average and would divide by zero.
    if (!source || !source->Created() || !source->Bits() || source->Width() <= 0 ||
        source->Height() <= 0 || !MemMan)
        return nullptr;
    TNyRGBBits* work = MemMan->CreateVCL<TNyRGBBits>(nullptr);
    TNyRGBBits* thumb = MemMan->CreateVCL<TNyRGBBits>(nullptr);
    bool ok = work && thumb;
    if (ok) {
        work->SetBitDepth(bd32);
        work->Resize(source->Width(), source->Height());
        thumb->SetBitDepth(bd32);
        thumb->Resize(kThumbnailWidth, kThumbnailHeight);
        ok = work->Create() && thumb->Create() &&
             work->ConvertCopy(0, 0, source, 0, 0, source->Width(), source->Height());
    }
    if (ok)
        ResampleBits(work->Bits(), work->Width(), work->Height(), work->Pitch(), thumb->Bits(),
                     kThumbnailWidth, kThumbnailHeight, thumb->Pitch());
    MemMan->Delete(work);
    if (!ok) MemMan->Delete(thumb);
    return thumb;
}
