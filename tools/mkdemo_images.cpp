#include "tools/mkdemo_images.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include <jpeglib.h>

#include "foundation/zrstream.h"
#include "game/gnykey.h"
#include "media/zrpng.h"

namespace fs = std::filesystem;

namespace {

// Top-down blue, green, red bytes.
struct Rgb {
    int w, h;
    std::vector<unsigned char> bgr;
    Rgb(int width, int height) : w(width), h(height), bgr(size_t(width) * height * 3) {}
    void Set(int x, int y, uint32_t rgb) {
        unsigned char* p = &bgr[(size_t(y) * w + x) * 3];
        p[0] = rgb & 0xFF, p[1] = (rgb >> 8) & 0xFF, p[2] = (rgb >> 16) & 0xFF;
    }
};

// A diagonal gradient between two colours with a band across it, so each kind is told apart
// on screen at a glance.
Rgb Gradient(int w, int h, uint32_t a, uint32_t b) {
    Rgb p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int t = (x + y) * 255 / (w + h - 2);
            uint32_t c = 0;
            for (int k = 0; k < 3; ++k) {
                const int ca = (a >> (8 * k)) & 0xFF, cb = (b >> (8 * k)) & 0xFF;
                c |= uint32_t(ca + (cb - ca) * t / 255) << (8 * k);
            }
            if (y > h * 2 / 5 && y < h * 3 / 5) c ^= 0x303030;
            p.Set(x, y, c);
        }
    return p;
}

void Put(std::vector<unsigned char>& out, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back((v >> (8 * i)) & 0xFF);
}

bool WriteFile(const fs::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(f);
}

bool WriteBmp(const fs::path& path, const Rgb& p) {
    const uint32_t row = (uint32_t(p.w) * 3 + 3) & ~3u;
    std::vector<unsigned char> out = {'B', 'M'};
    Put(out, 54 + row * p.h, 4);
    Put(out, 0, 4);
    Put(out, 54, 4);
    Put(out, 40, 4);
    Put(out, p.w, 4);
    Put(out, p.h, 4);
    Put(out, 1, 2);
    Put(out, 24, 2);
    for (int i = 0; i < 6; ++i) Put(out, 0, 4);
    for (int y = p.h - 1; y >= 0; --y) {
        const unsigned char* r = &p.bgr[size_t(y) * p.w * 3];
        out.insert(out.end(), r, r + size_t(p.w) * 3);
        out.resize(out.size() + row - size_t(p.w) * 3, 0);
    }
    return WriteFile(path, out);
}

// The gny container: width and height (signed 32-bit, little-endian) and top-down 24-bit rows,
// every byte at file offset k combined by exclusive or with byte k mod 256 of the key table.
bool WriteGny(const fs::path& path, const Rgb& p) {
    std::vector<unsigned char> out;
    Put(out, uint32_t(p.w), 4);
    Put(out, uint32_t(p.h), 4);
    out.insert(out.end(), p.bgr.begin(), p.bgr.end());
    for (size_t k = 0; k < out.size(); ++k) out[k] ^= kGnyKeyTable[k % 256];
    return WriteFile(path, out);
}

bool WriteJpeg(const fs::path& path, const Rgb& p) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = p.w;
    c.image_height = p.h;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(size_t(p.w) * 3);
    while (c.next_scanline < c.image_height) {
        const unsigned char* src = &p.bgr[size_t(c.next_scanline) * p.w * 3];
        for (int x = 0; x < p.w; ++x)
            row[x * 3] = src[x * 3 + 2], row[x * 3 + 1] = src[x * 3 + 1], row[x * 3 + 2] = src[x * 3];
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(f) == 0;
}

// A round badge, opaque inside the circle and fading out over its rim.
bool WriteBadgePng(const fs::path& path, int size) {
    const Rgb p = Gradient(size, size, 0xF0C040, 0xC04020);
    std::vector<unsigned char> alpha(size_t(size) * size);
    const double r = size / 2.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double dx = x + 0.5 - r, dy = y + 0.5 - r;
            const double edge = r - std::sqrt(dx * dx + dy * dy);
            alpha[size_t(y) * size + x] =
                static_cast<unsigned char>(edge >= 4 ? 255 : edge <= 0 ? 0 : edge * 63.75);
        }
    ZRFileStream out(path.string().c_str(), zrfmCreate);
    return out.IsOpen() && SavePng(&out, p.bgr.data(), alpha.data(), size, size, pf24_888);
}

// A strip of four frames stacked vertically (a square that turns colour) and its definition:
// one group that cycles through the four, six frame ticks each.
bool WriteAnime(const fs::path& png, const fs::path& anm) {
    constexpr int kCell = 48, kFrames = 4;
    const uint32_t colours[kFrames] = {0xE04040, 0xE0C040, 0x40C060, 0x4070E0};
    Rgb strip(kCell, kCell * kFrames);
    for (int f = 0; f < kFrames; ++f)
        for (int y = 0; y < kCell; ++y)
            for (int x = 0; x < kCell; ++x) {
                const bool border = x < 3 || y < 3 || x >= kCell - 3 || y >= kCell - 3;
                strip.Set(x, f * kCell + y, border ? 0xFFFFFF : colours[f]);
            }
    ZRFileStream out(png.string().c_str(), zrfmCreate);
    if (!out.IsOpen() || !SavePng(&out, strip.bgr.data(), kCell, kCell * kFrames, pf24_888))
        return false;
    std::vector<unsigned char> def;
    Put(def, 0x0100, 2);
    Put(def, kFrames, 2);
    Put(def, kFrames, 2);
    Put(def, kFrames, 2);
    for (int g = 1; g < 16; ++g) Put(def, 0, 2);
    for (int f = 0; f < kFrames; ++f) {
        def.push_back(0);
        def.push_back(static_cast<unsigned char>(f));
        Put(def, 6, 2);
    }
    return WriteFile(anm, def);
}

}  // namespace

bool WriteDemoImages(const fs::path& dir) {
    return WriteBmp(dir / "DemoPicture.bmp", Gradient(320, 180, 0x204080, 0x80C0F0)) &&
           WriteJpeg(dir / "DemoPicture.jpg", Gradient(320, 180, 0x206020, 0xC0F080)) &&
           WriteBadgePng(dir / "DemoBadge.png", 96) &&
           WriteGny(dir / "DemoPicture.lzh", Gradient(320, 180, 0x602060, 0xF0A0E0)) &&
           WriteAnime(dir / "DemoAnime.png", dir / "DemoAnime.anm");
}
