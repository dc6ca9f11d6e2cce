// Alpha planes loaded from 8-bit BMP streams: grey levels of the palette, or the raw indices.
// A plane that is not created yet is created at x + width by y + height first.
#include <cstdlib>
#include <memory>

#include "media/zrbmp.h"
#include "widgets/nybmp.h"
#include "widgets/nyrgbbits.h"

namespace {

struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
};
using Owned = std::unique_ptr<unsigned char, FreeDeleter>;

// Runs a loader; the block it returns, or null when it refused or gave an empty image.
template <typename Load>
Owned Decode(Load load, int& w, int& h) {
    unsigned char* raw = nullptr;
    bool ok;
    try {
        ok = load(&raw, &w, &h);
    } catch (...) {
        std::free(raw);
        throw;
    }
    Owned block(raw);
    if (!ok || w <= 0 || h <= 0) return nullptr;
    return block;
}

}  // namespace

bool TNyAlpha::PlaceBlock(const unsigned char* block, int x, int y, int w, int h) {
    if (!FCreated) {
        const int64_t pw = int64_t(x) + w, ph = int64_t(y) + h;
        if (pw <= 0 || ph <= 0 || pw > INT32_MAX || ph > INT32_MAX) return false;
        FWidth = int(pw);
        FHeight = int(ph);
        if (!Create()) return false;
    }
    PutAlpha(x, y, w, h, block);
    return true;
}

bool TNyAlpha::LoadAlphaStream(ZRStream* stream, int x, int y) {
    int w = 0, h = 0;
    const Owned block = Decode(
        [&](unsigned char** p, int* pw, int* ph) { return LoadAlpha(stream, p, pw, ph); }, w, h);
    return block && PlaceBlock(block.get(), x, y, w, h);
}

bool TNyAlpha::LoadAlphaStream(plat::TStream* stream, int x, int y) {
    int w = 0, h = 0;
    const Owned block = Decode(
        [&](unsigned char** p, int* pw, int* ph) { return LoadAlpha(stream, p, pw, ph); }, w, h);
    return block && PlaceBlock(block.get(), x, y, w, h);
}

bool TNyAlpha::LoadIndexStream(ZRStream* stream, int x, int y) {
    int w = 0, h = 0;
    const Owned block = Decode([&](unsigned char** p, int* pw,
                                   int* ph) { return LoadPalette(stream, nullptr, p, pw, ph); },
                               w, h);
    return block && PlaceBlock(block.get(), x, y, w, h);
}

bool TNyAlpha::LoadIndexStream(plat::TStream* stream, int x, int y) {
    int w = 0, h = 0;
    const Owned block = Decode([&](unsigned char** p, int* pw,
                                   int* ph) { return LoadPalette(stream, nullptr, p, pw, ph); },
                               w, h);
    return block && PlaceBlock(block.get(), x, y, w, h);
}
