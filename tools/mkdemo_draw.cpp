#include "tools/mkdemo_draw.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <system_error>

// libjpeg's header needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "foundation/zrstream.h"
#include "media/zrpng.h"
#include "platform/codepage.h"
#include "platform/textrender.h"

namespace demo {

Picture::Picture(int width, int height, uint32_t rgb, unsigned char a)
    : w(width), h(height), bgr(size_t(width) * height * 3), alpha(size_t(width) * height, a) {
    for (size_t i = 0; i < alpha.size(); ++i) {
        bgr[i * 3] = rgb & 0xFF;
        bgr[i * 3 + 1] = (rgb >> 8) & 0xFF;
        bgr[i * 3 + 2] = (rgb >> 16) & 0xFF;
    }
}

void Picture::Set(int x, int y, uint32_t rgb, unsigned char a) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    const size_t i = size_t(y) * w + x;
    bgr[i * 3] = rgb & 0xFF;
    bgr[i * 3 + 1] = (rgb >> 8) & 0xFF;
    bgr[i * 3 + 2] = (rgb >> 16) & 0xFF;
    alpha[i] = a;
}

void Picture::Fill(int x0, int y0, int x1, int y1, uint32_t rgb, unsigned char a) {
    for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(w, x1); ++x) Set(x, y, rgb, a);
}

void Picture::Disc(double cx, double cy, double r, uint32_t rgb, unsigned char a) {
    for (int y = int(cy - r); y <= int(cy + r); ++y)
        for (int x = int(cx - r); x <= int(cx + r); ++x)
            if (std::hypot(x - cx, y - cy) <= r) Set(x, y, rgb, a);
}

void Canvas::Box(int x0, int y0, int x1, int y1, uint32_t argb) {
    for (int y = std::max(y0, 0); y < std::min(y1, h); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, w); ++x) px[size_t(y) * w + x] = argb;
}

void Canvas::Frame(int x0, int y0, int x1, int y1, int t, uint32_t argb) {
    Box(x0, y0, x1, y0 + t, argb), Box(x0, y1 - t, x1, y1, argb);
    Box(x0, y0, x0 + t, y1, argb), Box(x1 - t, y0, x1, y1, argb);
}

void Canvas::Disc(double cx, double cy, double r, uint32_t argb) {
    for (int y = int(cy - r); y <= int(cy + r) + 1; ++y)
        for (int x = int(cx - r); x <= int(cx + r) + 1; ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) Set(x, y, argb);
}

void Canvas::Gradient(uint32_t top, uint32_t bottom) {
    for (int y = 0; y < h; ++y) Box(0, y, w, y + 1, 0xFF000000u | Mix(top, bottom, y, h - 1));
}

namespace {

// The captions' face, at a character height of `height` pixels.
plat::RasterFont* CaptionFont(int height) {
    plat::FontSpec desc;
    desc.charset = 134;
    desc.face = plat::GbkText("黑体");
    desc.height = -height;
    desc.pitch = 2;
    desc.quality = 4;
    return plat::CreateRasterFont(desc);
}

}  // namespace

void Canvas::Text(int x, int y, int height, const char* utf8, uint32_t rgb) {
    plat::RasterFont* font = CaptionFont(height);
    if (!font) return;
    Print(font, x, y, utf8, rgb);
    plat::DeleteRasterFont(font);
}

void Canvas::Centred(int y, int height, const char* utf8, uint32_t rgb) {
    plat::RasterFont* font = CaptionFont(height);
    if (!font) return;
    plat::TextExtent size;
    if (plat::MeasureText(font, plat::GbkText(utf8), size))
        Print(font, (w - size.cx) / 2, y, utf8, rgb);
    plat::DeleteRasterFont(font);
}

void Canvas::Print(plat::RasterFont* font, int x, int y, const char* utf8, uint32_t rgb) {
    std::vector<uint8_t> cover(size_t(w) * h, 0);
    plat::DrawSurface s;
    s.pixels = cover.data();
    s.pitch = w;
    s.width = w;
    s.height = h;
    s.kind = plat::SurfaceKind::Grey8;
    s.font = font;
    s.text_colour = 0xFFFFFF;
    plat::DrawText(s, x, y, plat::GbkText(utf8));
    for (size_t i = 0; i < cover.size(); ++i) {
        const uint32_t a = cover[i];
        if (a == 0) continue;
        const uint32_t old = px[i];
        auto mix = [&](int shift) {
            const uint32_t o = (old >> shift) & 0xFF, n = (rgb >> shift) & 0xFF;
            return ((o * (255 - a) + n * a) / 255) << shift;
        };
        px[i] = std::max(old >> 24, a) << 24 | mix(16) | mix(8) | mix(0);
    }
}

uint32_t Mix(uint32_t a, uint32_t b, int t, int n) {
    uint32_t out = 0;
    for (int s = 0; s < 24; s += 8) {
        const int ca = (a >> s) & 0xFF, cb = (b >> s) & 0xFF;
        out |= uint32_t(ca + (cb - ca) * t / std::max(1, n)) << s;
    }
    return out;
}

bool WritePng(const fs::path& path, const Picture& p, bool withAlpha) {
    ZRFileStream out(path.string().c_str(), zrfmCreate);
    if (!out.IsOpen()) return false;
    return withAlpha ? SavePng(&out, p.bgr.data(), p.alpha.data(), p.w, p.h, pf24_888)
                     : SavePng(&out, p.bgr.data(), p.w, p.h, pf24_888);
}

bool WritePng(const fs::path& path, const Canvas& c) {
    std::vector<unsigned char> colour(size_t(c.w) * c.h * 3), alpha(size_t(c.w) * c.h);
    for (size_t i = 0; i < c.px.size(); ++i) {
        colour[i * 3] = c.px[i] & 0xFF;
        colour[i * 3 + 1] = (c.px[i] >> 8) & 0xFF;
        colour[i * 3 + 2] = (c.px[i] >> 16) & 0xFF;
        alpha[i] = c.px[i] >> 24;
    }
    ZRFileStream out(path.string().c_str(), zrfmCreate);
    return out.IsOpen() && SavePng(&out, colour.data(), alpha.data(), c.w, c.h, pf24_888);
}

bool WriteBmp(const fs::path& path, const Picture& p) {
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
    return WriteBytes(path, out);
}

bool WriteJpeg(const fs::path& path, const Picture& p, int quality) {
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
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(size_t(p.w) * 3);
    while (c.next_scanline < c.image_height) {
        const unsigned char* src = &p.bgr[size_t(c.next_scanline) * p.w * 3];
        for (int x = 0; x < p.w; ++x)
            row[x * 3] = src[x * 3 + 2], row[x * 3 + 1] = src[x * 3 + 1],
                    row[x * 3 + 2] = src[x * 3];
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(f) == 0;
}

void Put(std::vector<unsigned char>& out, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back((v >> (8 * i)) & 0xFF);
}

bool WriteBytes(const fs::path& path, const void* data, size_t size) {
    std::ofstream f(path, std::ios::binary);
    f.write(static_cast<const char*>(data), std::streamsize(size));
    return bool(f);
}

bool WriteOutput(const fs::path& path, const std::vector<unsigned char>& bytes) {
    if (bytes.empty()) return false;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    return WriteBytes(path, bytes);
}

}  // namespace demo
