// What the demo writers share to draw their pictures and store them: two kinds of picture
// (planes of blue, green, red bytes with an alpha plane, and 0xAARRGGBB pixels with GBK
// captions through the game's own text renderer), colour mixing, the PNG, BMP and JPEG
// writers and the little-endian byte and file writers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace plat {
class RasterFont;
}

namespace demo {

namespace fs = std::filesystem;

// Blue, green, red bytes top-down with an alpha plane; new pictures are transparent black
// unless a fill is given. Writes outside the picture are dropped.
struct Picture {
    int w, h;
    std::vector<unsigned char> bgr, alpha;
    Picture(int width, int height, uint32_t rgb = 0, unsigned char a = 0);
    void Set(int x, int y, uint32_t rgb, unsigned char a = 255);
    void Fill(int x0, int y0, int x1, int y1, uint32_t rgb, unsigned char a = 255);
    void Disc(double cx, double cy, double r, uint32_t rgb, unsigned char a = 255);
};

// 0xAARRGGBB pixels, for the pictures that carry captions. Writes outside are dropped.
struct Canvas {
    int w, h;
    std::vector<uint32_t> px;
    Canvas(int width, int height, uint32_t argb = 0)
        : w(width), h(height), px(size_t(width) * height, argb) {}
    void Set(int x, int y, uint32_t argb) {
        if (x >= 0 && y >= 0 && x < w && y < h) px[size_t(y) * w + x] = argb;
    }
    void Box(int x0, int y0, int x1, int y1, uint32_t argb);
    // A border t pixels thick just inside the box.
    void Frame(int x0, int y0, int x1, int y1, int t, uint32_t argb);
    void Disc(double cx, double cy, double r, uint32_t argb);
    // Opaque rows from top to bottom colour.
    void Gradient(uint32_t top, uint32_t bottom);
    // GBK text of the given pixel height, blended in its colour through the renderer's
    // coverage; the alpha keeps the larger of the old one and the coverage.
    void Text(int x, int y, int height, const char* utf8, uint32_t rgb);
    // Centred across the width by the advance the face gives the text (Latin letters are
    // narrower than ideographs).
    void Centred(int y, int height, const char* utf8, uint32_t rgb);
    // Text in a face already made.
    void Print(plat::RasterFont* font, int x, int y, const char* utf8, uint32_t rgb);
};

inline uint32_t Argb(uint32_t a, uint32_t rgb) {
    return a << 24 | (rgb & 0xFFFFFF);
}

// t/n of the way from colour a to colour b, per channel of 0xRRGGBB.
uint32_t Mix(uint32_t a, uint32_t b, int t, int n);

bool WritePng(const fs::path& path, const Picture& p, bool withAlpha);
bool WritePng(const fs::path& path, const Canvas& c);
// 24 bits, bottom-up, no resolution or palette fields.
bool WriteBmp(const fs::path& path, const Picture& p);
bool WriteJpeg(const fs::path& path, const Picture& p, int quality);

// v as n little-endian bytes.
void Put(std::vector<unsigned char>& out, uint32_t v, int n);
bool WriteBytes(const fs::path& path, const void* data, size_t size);
inline bool WriteBytes(const fs::path& path, const std::vector<unsigned char>& bytes) {
    return WriteBytes(path, bytes.data(), bytes.size());
}
inline bool WriteText(const fs::path& path, const std::string& text) {
    return WriteBytes(path, text.data(), text.size());
}
// For encoder output written beside the archive: makes the folder, and takes no bytes (a
// failed encoder) as a failure.
bool WriteOutput(const fs::path& path, const std::vector<unsigned char>& bytes);

}  // namespace demo
