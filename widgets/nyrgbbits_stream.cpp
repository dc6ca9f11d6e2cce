// Image streams decoded straight into a bitmap (and, for PNG, its alpha into a plane). The first
// image drawn into a bitmap or plane that is not created yet gives it its size. Decoder
// exceptions pass to the caller; the decoded buffers are freed on every way out.
#include <cstdlib>

#include "media/zrbmp.h"
#include "media/zrgny.h"
#include "media/zrjpeg.h"
#include "media/zrpng.h"
#include "widgets/nybmp.h"
#include "widgets/nygny.h"
#include "widgets/nyjpeg.h"
#include "widgets/nypng.h"
#include "widgets/nyrgbbits.h"

struct TNyRGBBits::Decoded {
    unsigned char* pixels = nullptr;
    unsigned char* alpha = nullptr;
    int width = 0, height = 0;

    Decoded() = default;
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;
    ~Decoded() {
        std::free(pixels);
        std::free(alpha);
    }
};

namespace {

// x + n as a size, or 0 when it is not a positive 32-bit value.
int SizeFrom(int x, int n) {
    const int64_t s = int64_t(x) + n;
    return s > 0 && s <= INT32_MAX ? int(s) : 0;
}

}  // namespace

bool TNyRGBBits::PlaceDecoded(Decoded& d, int x, int y, TNyAlpha* alpha) {
    if (d.width <= 0 || d.height <= 0) return false;
    const int w = SizeFrom(x, d.width), h = SizeFrom(y, d.height);
    if (!FCreated) {
        // A bitmap that cannot take the image's size is a failure, not a silent success.
        if (!w || !h || !Resize(w, h) || !Create()) return false;
    }
    PutPat(x, y, d.width, d.height, d.pixels);
    if (!alpha) return true;
    if (!alpha->Created()) {
        if (!w || !h || !alpha->Resize(w, h) || !alpha->Create()) return false;
    }
    alpha->PutAlpha(x, y, d.width, d.height, d.alpha);
    return true;
}

namespace {

template <typename Stream>
bool Png(TNyRGBBits& b, Stream* s, TNyAlpha* alpha, bool whiteMatte, unsigned char** px,
         unsigned char** al, int* w, int* h) {
    if (alpha)
        return whiteMatte ? LoadPngWhiteMat(s, px, al, w, h, b.PixFormat())
                          : LoadPng(s, px, al, w, h, b.PixFormat());
    return whiteMatte ? LoadPngWhiteMat(s, px, w, h, b.PixFormat())
                      : LoadPng(s, px, w, h, b.PixFormat());
}

}  // namespace

bool TNyRGBBits::DrawBmpStream(ZRStream* stream, int x, int y) {
    Decoded d;
    if (!LoadBmp(stream, &d.pixels, &d.width, &d.height, FPixFormat)) return false;
    return PlaceDecoded(d, x, y, nullptr);
}

bool TNyRGBBits::DrawBmpStream(plat::TStream* stream, int x, int y) {
    Decoded d;
    if (!LoadBmp(stream, &d.pixels, &d.width, &d.height, FPixFormat)) return false;
    return PlaceDecoded(d, x, y, nullptr);
}

bool TNyRGBBits::DrawJpegStream(ZRStream* stream, int x, int y) {
    Decoded d;
    if (!LoadJpeg(stream, &d.pixels, &d.width, &d.height, FPixFormat)) return false;
    return PlaceDecoded(d, x, y, nullptr);
}

bool TNyRGBBits::DrawJpegStream(plat::TStream* stream, int x, int y) {
    Decoded d;
    if (!LoadJpeg(stream, &d.pixels, &d.width, &d.height, FPixFormat)) return false;
    return PlaceDecoded(d, x, y, nullptr);
}

bool TNyRGBBits::DrawPngStream(ZRStream* stream, int x, int y, TNyAlpha* alpha) {
    Decoded d;
    if (!Png(*this, stream, alpha, false, &d.pixels, &d.alpha, &d.width, &d.height)) return false;
    return PlaceDecoded(d, x, y, alpha);
}

bool TNyRGBBits::DrawPngStream(plat::TStream* stream, int x, int y, TNyAlpha* alpha) {
    Decoded d;
    if (!Png(*this, stream, alpha, false, &d.pixels, &d.alpha, &d.width, &d.height)) return false;
    return PlaceDecoded(d, x, y, alpha);
}

bool TNyRGBBits::DrawPngWMStream(ZRStream* stream, int x, int y, TNyAlpha* alpha) {
    Decoded d;
    if (!Png(*this, stream, alpha, true, &d.pixels, &d.alpha, &d.width, &d.height)) return false;
    return PlaceDecoded(d, x, y, alpha);
}

bool TNyRGBBits::DrawPngWMStream(plat::TStream* stream, int x, int y, TNyAlpha* alpha) {
    Decoded d;
    if (!Png(*this, stream, alpha, true, &d.pixels, &d.alpha, &d.width, &d.height)) return false;
    return PlaceDecoded(d, x, y, alpha);
}

bool TNyRGBBits::DrawGnyStream(ZRStream* stream, int x, int y, const unsigned char* table) {
    Decoded d;
    if (!LoadGny(stream, &d.pixels, &d.width, &d.height, FPixFormat, table)) return false;
    return PlaceDecoded(d, x, y, nullptr);
}

bool TNyRGBBits::DrawGnyStream(plat::TStream* stream, int x, int y, const unsigned char* table) {
    Decoded d;
    if (!LoadGny(stream, &d.pixels, &d.width, &d.height, FPixFormat, table)) return false;
    return PlaceDecoded(d, x, y, nullptr);
}
