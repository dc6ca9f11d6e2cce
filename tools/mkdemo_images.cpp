#include "tools/mkdemo_images.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "game/gnykey.h"
#include "tools/mkdemo_anime.h"
#include "tools/mkdemo_draw.h"

namespace fs = std::filesystem;

namespace {

using demo::Picture;
using demo::Put;

// A diagonal gradient between two colours with a band across it, so each kind is told apart
// on screen at a glance.
Picture Gradient(int w, int h, uint32_t a, uint32_t b) {
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t c = demo::Mix(a, b, (x + y) * 255 / (w + h - 2), 255);
            if (y > h * 2 / 5 && y < h * 3 / 5) c ^= 0x303030;
            p.Set(x, y, c);
        }
    return p;
}

// The gny container: width and height (signed 32-bit, little-endian) and top-down 24-bit rows,
// every byte at file offset k combined by exclusive or with byte k mod 256 of the key table.
bool WriteGny(const fs::path& path, const Picture& p) {
    std::vector<unsigned char> out;
    Put(out, uint32_t(p.w), 4);
    Put(out, uint32_t(p.h), 4);
    out.insert(out.end(), p.bgr.begin(), p.bgr.end());
    for (size_t k = 0; k < out.size(); ++k) out[k] ^= kGnyKeyTable[k % 256];
    return demo::WriteBytes(path, out);
}

// A round badge, opaque inside the circle and fading out over its rim.
bool WriteBadgePng(const fs::path& path, int size) {
    Picture p = Gradient(size, size, 0xF0C040, 0xC04020);
    const double r = size / 2.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double dx = x + 0.5 - r, dy = y + 0.5 - r;
            const double edge = r - std::sqrt(dx * dx + dy * dy);
            p.alpha[size_t(y) * size + x] = static_cast<unsigned char>(edge >= 4   ? 255
                                                                       : edge <= 0 ? 0
                                                                                   : edge * 63.75);
        }
    return demo::WritePng(path, p, true);
}

// A strip of four frames stacked vertically (a square that turns colour) and its definition:
// one group that cycles through the four, six frame ticks each.
bool WriteAnime(const fs::path& png, const fs::path& anm) {
    constexpr int kCell = 48, kFrames = 4;
    const uint32_t colours[kFrames] = {0xE04040, 0xE0C040, 0x40C060, 0x4070E0};
    Picture strip(kCell, kCell * kFrames);
    for (int f = 0; f < kFrames; ++f)
        for (int y = 0; y < kCell; ++y)
            for (int x = 0; x < kCell; ++x) {
                const bool border = x < 3 || y < 3 || x >= kCell - 3 || y >= kCell - 3;
                strip.Set(x, f * kCell + y, border ? 0xFFFFFF : colours[f]);
            }
    std::vector<demo::AnimeStep> cycle;
    for (int f = 0; f < kFrames; ++f) cycle.push_back({0, static_cast<uint8_t>(f), 6});
    return demo::WritePng(png, strip, false) &&
           demo::WriteAnimeFile(anm, demo::EncodeAnime(kFrames, {cycle}));
}

}  // namespace

bool WriteDemoImages(const fs::path& dir) {
    return demo::WriteBmp(dir / "DemoPicture.bmp", Gradient(320, 180, 0x204080, 0x80C0F0)) &&
           demo::WriteJpeg(dir / "DemoPicture.jpg", Gradient(320, 180, 0x206020, 0xC0F080), 90) &&
           WriteBadgePng(dir / "DemoBadge.png", 96) &&
           WriteGny(dir / "DemoPicture.lzh", Gradient(320, 180, 0x602060, 0xF0A0E0)) &&
           WriteAnime(dir / "DemoAnime.png", dir / "DemoAnime.anm");
}
