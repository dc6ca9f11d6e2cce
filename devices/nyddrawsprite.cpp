// The sprite layer: up to 16 pages of pattern images, 1024 colour-keyed patterns on them
// and 1024 sprites in 16 layers, drawn onto each presented frame after the frame itself.
// Every sprite change adds the areas it leaves and covers to the changed rectangles, so the
// changed-rectangle presentation repaints under it.
#include <algorithm>
#include <cstdlib>

#include "devices/nyddraw.h"
#include "widgets/nybmp.h"

namespace DirectX {

namespace {

bool InRange(int v, int end) {
    return v >= 0 && v < end;
}

// The part of a w x h pattern at (x, y) that falls inside a dw x dh destination: the
// destination corner, the offset into the pattern and the size left.
struct Clipped {
    int x, y, sx, sy, w, h;
    bool Empty() const { return w <= 0 || h <= 0; }
};

Clipped ClipPattern(int x, int y, int w, int h, int dw, int dh) {
    Clipped c{x, y, 0, 0, w, h};
    if (x < 0) c.sx = -x, c.w += x, c.x = 0;
    if (y < 0) c.sy = -y, c.h += y, c.y = 0;
    c.w = int(std::min<int64_t>(c.w, int64_t(dw) - c.x));
    c.h = int(std::min<int64_t>(c.h, int64_t(dh) - c.y));
    return c;
}

}  // namespace

bool TDDraw::MakePage(int index) {
    auto* page = new TDSurface(this);
    if (!page->Create(bdNone, pfNone, FSpriteWidth, FSpriteHeight, true)) {
        delete page;
        return false;
    }
    FSpritePages[index] = page;
    return true;
}

void TDDraw::DeletePages(int from) {
    for (int i = kMaxPages - 1; i >= from; --i) {
        delete FSpritePages[i];
        FSpritePages[i] = nullptr;
    }
    FPageCount = std::min(FPageCount, from);
}

void TDDraw::SetSpritePage(int n) {
    if (n < 0 || n > kMaxPages) return;
    if (!FEnabled) {
        FSpritePage = n;
        return;
    }
    if (n < FPageCount) {
        DeletePages(n);
        for (int i = 0; i < kPatterns; ++i)
            if (FPatternTable[i].Used && FPatternTable[i].Page >= n) FPatternTable[i].Used = false;
    }
    while (FPageCount < n && MakePage(FPageCount)) ++FPageCount;
    FSpritePage = FPageCount;
}

bool TDDraw::SpriteShow() {
    FSpritesShown = true;
    if (FBufferCount >= 1) SetModifyRect(ScreenRect());
    return true;
}

bool TDDraw::SpriteHide() {
    FSpritesShown = false;
    if (FBufferCount >= 1) SetModifyRect(ScreenRect());
    return true;
}

TDSurface* TDDraw::GetSpSurface(int page) {
    return InRange(page, FPageCount) ? FSpritePages[page] : nullptr;
}

bool TDDraw::SpSetPattern(int pattern, int page, int x, int y, int w, int h, ZRRGB key) {
    if (!FEnabled || !InRange(pattern, kPatterns) || !InRange(page, FPageCount)) return false;
    // The pattern must lie on its page: a keyed copy never reads outside the page.
    const TDSurface* p = FSpritePages[page];
    if (x < 0 || y < 0 || w <= 0 || h <= 0 || int64_t(x) + w > p->Width() ||
        int64_t(y) + h > p->Height())
        return false;
    FPatternTable[pattern] = TSpPattern{true, page, x, y, w, h, key};
    return true;
}

bool TDDraw::SpSetPattern(int pattern, int page, int x, int y, int w, int h) {
    TDSurface* p = GetSpSurface(page);
    if (!FEnabled || !p || x < 0 || y < 0 || x >= p->Width() || y >= p->Height()) return false;
    return SpSetPattern(pattern, page, x, y, w, h, p->PixeltoTNyRGB(p->PGet(x, y)));
}

bool TDDraw::SpClrPattern(int pattern) {
    if (!FEnabled || !InRange(pattern, kPatterns)) return false;
    FPatternTable[pattern].Used = false;
    return true;
}

bool TDDraw::SpSetPatternBmp(int pattern, int page, plat::TStream* bmp, int x, int y) {
    TDSurface* p = GetSpSurface(page);
    if (!FEnabled || !p || !bmp || !InRange(pattern, kPatterns)) return false;
    TNyRGBBits image;
    unsigned char* pixels = nullptr;
    int w = 0, h = 0;
    bool ok = LoadBmp(bmp, &pixels, &w, &h, pf24_888) && image.Resize(w, h) && image.Create() &&
              image.PutPat(0, 0, w, h, pixels);
    std::free(pixels);
    if (!ok) return false;
    const ZRRGB key = image.PixeltoTNyRGB(image.PGet(0, 0));
    p->ConvertCopy(x, y, &image, 0, 0, w, h);
    return SpSetPattern(pattern, page, x, y, w, h, key);
}

bool TDDraw::SpPatLoadBmp(int page, plat::TStream* bmp, int x, int y) {
    TDSurface* p = GetSpSurface(page);
    if (!FEnabled || !p || !bmp) return false;
    unsigned char* pixels = nullptr;
    int w = 0, h = 0;
    const bool ok = LoadBmp(bmp, &pixels, &w, &h, p->PixFormat()) && p->PutPat(x, y, w, h, pixels);
    std::free(pixels);
    return ok;
}

bool TDDraw::SpPatCopy(int page, TNyRGBBits* src) {
    TDSurface* p = GetSpSurface(page);
    if (!FEnabled || !p || !src || !src->Created()) return false;
    return p->ConvertCopy(0, 0, src, 0, 0, src->Width(), src->Height());
}

void TDDraw::SpSetModifySprite(int sprite) {
    if (!FEnabled || !FSpritesShown || FBufferCount < 1 || !InRange(sprite, kSprites)) return;
    const TSpSprite& s = FSpriteTable[sprite];
    if (!InRange(s.Pattern, kPatterns)) return;
    const TSpPattern& p = FPatternTable[s.Pattern];
    SetModifyRect(
        ZRRect{s.X, s.Y, int32_t(int64_t(s.X) + p.Width), int32_t(int64_t(s.Y) + p.Height)});
}

bool TDDraw::SpSetSprite(int sprite, int x, int y, int pattern, int layer) {
    if (!FEnabled || !InRange(sprite, kSprites) || !InRange(pattern, kPatterns) ||
        !InRange(layer, kLayers))
        return false;
    if (FSpriteTable[sprite].Used) SpSetModifySprite(sprite);
    FSpriteTable[sprite] = TSpSprite{true, x, y, pattern, layer};
    SpSetModifySprite(sprite);
    return true;
}

int TDDraw::SpAddSprite(int x, int y, int pattern, int layer) {
    if (!FEnabled) return -1;
    for (int i = 0; i < kSprites; ++i)
        if (!FSpriteTable[i].Used) return SpSetSprite(i, x, y, pattern, layer) ? i : -1;
    return -1;
}

bool TDDraw::SpClrSprite(int sprite) {
    if (!FEnabled || !InRange(sprite, kSprites)) return false;
    SpSetModifySprite(sprite);
    FSpriteTable[sprite].Used = false;
    return true;
}

bool TDDraw::SpMoveSprite(int sprite, int x, int y) {
    if (!FEnabled || !InRange(sprite, kSprites)) return false;
    SpSetModifySprite(sprite);
    FSpriteTable[sprite].X = x;
    FSpriteTable[sprite].Y = y;
    SpSetModifySprite(sprite);
    return true;
}

bool TDDraw::SpChangeSprite(int sprite, int pattern) {
    if (!FEnabled || !InRange(sprite, kSprites) || !InRange(pattern, kPatterns)) return false;
    SpSetModifySprite(sprite);
    FSpriteTable[sprite].Pattern = pattern;
    SpSetModifySprite(sprite);
    return true;
}

bool TDDraw::SpriteDraw(TDSurface* dest) {
    if (!FEnabled || !dest) return false;
    int ox = 0, oy = 0;
    if (dest == FPrimarySurface && !FFullScreen) ClientOrigin(ox, oy);
    for (int i = 0; i < FPageCount; ++i) {
        if (!FSpritePages[i]->IsLost()) continue;
        if (!FSpritePages[i]->Restore()) return false;
        if (OnSpriteRestore.IsSet()) OnSpriteRestore.Call(FSpritePages[i], i);
    }
    dest->IsLostAndRestore();
    // Higher layers and higher numbers first, so layer 0 and low numbers end on top.
    for (int layer = kLayers - 1; layer >= 0; --layer)
        for (int i = kSprites - 1; i >= 0; --i) {
            const TSpSprite& s = FSpriteTable[i];
            if (s.Used && s.Layer == layer)
                SpritePatternWrite(dest, s.Pattern, int(int64_t(s.X) + ox), int(int64_t(s.Y) + oy));
        }
    return true;
}

bool TDDraw::SpritePatternWrite(TDSurface* dest, int pattern, int x, int y) {
    if (!FPatternTable || !dest || !InRange(pattern, kPatterns)) return false;
    const TSpPattern& p = FPatternTable[pattern];
    TDSurface* page = GetSpSurface(p.Page);
    if (!p.Used || !page) return true;
    const Clipped c = ClipPattern(x, y, p.Width, p.Height, dest->Width(), dest->Height());
    if (c.Empty()) return true;
    page->Surface()->SetSourceKey(page->TNyRGBtoPixel(p.Key));
    const plat::DisplayRect from{p.X + c.sx, p.Y + c.sy, p.X + c.sx + c.w, p.Y + c.sy + c.h};
    const plat::DisplayRect to{c.x, c.y, c.x + c.w, c.y + c.h};
    dest->Surface()->Blit(&to, *page->Surface(), &from, true);
    return true;
}

bool TDDraw::SpriteDraw(TNyRGBBits* dest, TNyRGBBits** pages) {
    if (!FSpriteTable || !dest || !pages) return false;
    for (int layer = kLayers - 1; layer >= 0; --layer)
        for (int i = kSprites - 1; i >= 0; --i) {
            const TSpSprite& s = FSpriteTable[i];
            if (s.Used && s.Layer == layer) SpritePatternWrite(dest, pages, s.Pattern, s.X, s.Y);
        }
    return true;
}

bool TDDraw::SpritePatternWrite(TNyRGBBits* dest, TNyRGBBits** pages, int pattern, int x, int y) {
    if (!FPatternTable || !dest || !pages || !InRange(pattern, kPatterns)) return false;
    const TSpPattern& p = FPatternTable[pattern];
    if (!p.Used || !InRange(p.Page, kMaxPages) || !pages[p.Page]) return true;
    TNyRGBBits* page = pages[p.Page];
    // A page given here may be smaller than the one the pattern was defined on.
    const int w = int(std::min<int64_t>(p.Width, int64_t(page->Width()) - p.X));
    const int h = int(std::min<int64_t>(p.Height, int64_t(page->Height()) - p.Y));
    const Clipped c = ClipPattern(x, y, w, h, dest->Width(), dest->Height());
    if (c.Empty()) return true;
    const TNyBitsLock lock(dest);
    if (!lock.Held()) return false;
    dest->DrawKey(c.x, c.y, page, p.X + c.sx, p.Y + c.sy, c.w, c.h, p.Key);
    return true;
}

}  // namespace DirectX
