#include "tools/mkdemo_effects.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "tools/mkdemo_draw.h"

namespace fs = std::filesystem;

namespace {

constexpr int W = 1280, H = 720;
constexpr double kPi = 3.14159265358979323846;

using demo::Put;
using demo::WriteBytes;

// A bottom-up BMP of 8 bits with the grey palette (index = grey) or of 24 bits; pixel(x, y)
// gives the grey value or 0xRRGGBB.
bool WriteBmp(const fs::path& path, int w, int h, int bits,
              const std::function<uint32_t(int, int)>& pixel) {
    const int bpp = bits / 8;
    const uint32_t row = (uint32_t(w) * bpp + 3) & ~3u;
    const uint32_t palette = bits == 8 ? 1024 : 0;
    std::vector<unsigned char> out = {'B', 'M'};
    Put(out, 54 + palette + row * h, 4);
    Put(out, 0, 4);
    Put(out, 54 + palette, 4);
    Put(out, 40, 4);
    Put(out, w, 4);
    Put(out, h, 4);
    Put(out, 1, 2);
    Put(out, bits, 2);
    Put(out, 0, 4);
    Put(out, row * h, 4);
    Put(out, 2835, 4);
    Put(out, 2835, 4);
    Put(out, bits == 8 ? 256 : 0, 4);
    Put(out, 0, 4);
    if (bits == 8)
        for (uint32_t i = 0; i < 256; ++i) Put(out, i * 0x010101, 4);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) Put(out, pixel(x, y), bpp);
        for (uint32_t i = uint32_t(w) * bpp; i < row; ++i) out.push_back(0);
    }
    return WriteBytes(path, out);
}

// t in 0..1 to a mask value; the wipes turn bright pixels first, so t = 0 goes first.
uint32_t Grey(double t) {
    return uint32_t(std::clamp(255.0 - t * 255.0, 0.0, 255.0));
}

double Frac(double v) {
    return v - std::floor(v);
}

// Angle clockwise from twelve o'clock, 0..1, and distance from the centre, 0..1 at a corner.
double Turn(int x, int y) {
    return Frac(std::atan2(double(x - W / 2), double(H / 2 - y)) / (2 * kPi));
}
double Reach(int x, int y) {
    return std::hypot(x - W / 2.0, y - H / 2.0) / std::hypot(W / 2.0, H / 2.0);
}

uint32_t Hash(uint32_t v) {
    v ^= v >> 16;
    v *= 0x7FEB352Du;
    v ^= v >> 15;
    v *= 0x846CA68Bu;
    return v ^ (v >> 16);
}

struct Mask {
    const char* name;
    std::function<uint32_t(int, int)> value;
};

// Of a glow centred in a w x h picture: bright in the middle, nothing at the rim.
uint32_t Glow(int x, int y, int w, int h, uint32_t colour) {
    const double d = std::hypot((x - w / 2.0) / (w / 2.0), (y - h / 2.0) / (h / 2.0));
    const double k = std::pow(std::max(0.0, 1.0 - d), 2.0);
    uint32_t c = 0;
    for (int s = 0; s < 24; s += 8) c |= uint32_t(((colour >> s) & 0xFF) * k) << s;
    return c;
}

}  // namespace

bool WriteDemoEffects(const fs::path& dir) {
    const Mask masks[17] = {
        {"FadeMask00_BlindR.bmp", [](int x, int) { return Grey((x % 80) / 79.0); }},
        {"FadeMask01_BlindL.bmp", [](int x, int) { return Grey(1 - (x % 80) / 79.0); }},
        {"FadeMask02_VorelR.bmp", [](int, int y) { return Grey((y % 60) / 59.0); }},
        {"FadeMask03_VorelL.bmp", [](int, int y) { return Grey(1 - (y % 60) / 59.0); }},
        {"FadeMask04_Circle.bmp", [](int x, int y) { return Grey(Reach(x, y)); }},
        {"FadeMask05_CircleR.bmp", [](int x, int y) { return Grey(1 - Reach(x, y)); }},
        {"FadeMask06_Clock.bmp", [](int x, int y) { return Grey(Turn(x, y)); }},
        {"FadeMask07_Swirl.bmp",
         [](int x, int y) { return Grey((Frac(Turn(x, y) + Reach(x, y)) + Reach(x, y)) / 2); }},
        {"FadeMask08_Crystal.bmp",
         [](int x, int y) {
             const int cx = x % 160 - 80, cy = y % 160 - 80;
             return Grey((std::abs(cx) + std::abs(cy)) / 160.0);
         }},
        {"FadeMask09_StripesB.bmp", [](int x, int y) { return Grey(((x + y) % 256) / 255.0); }},
        {"FadeMask10_StripesN.bmp",
         [](int x, int y) { return Grey((y / 8) % 2 ? x / 1279.0 : 1 - x / 1279.0); }},
        {"FadeMask11_Star.bmp",
         [](int x, int y) {
             const double a = Turn(x, y) * 2 * kPi;
             return Grey(Reach(x, y) / (0.55 + 0.3 * std::cos(5 * a)) / 1.6);
         }},
        {"FadeMask12_Radiation.bmp", [](int x, int y) { return Grey(Frac(Turn(x, y) * 12)); }},
        {"FadeMask13_RadiationR.bmp", [](int x, int y) { return Grey(1 - Frac(Turn(x, y) * 12)); }},
        {"FadeMask14_Windmill.bmp", [](int x, int y) { return Grey(Frac(Turn(x, y) * 4)); }},
        {"FadeMask15_Naruto.bmp",
         [](int x, int y) { return Grey(Frac(Turn(x, y) + Reach(x, y) * 3)); }},
        {"FadeMask16_Noise.bmp",
         [](int x, int y) { return Hash(uint32_t(y / 4) * 4096 + uint32_t(x / 4)) & 0xFF; }},
    };
    bool ok = true;
    for (const Mask& m : masks) ok = ok && WriteBmp(dir / m.name, W, H, 8, m.value);

    // The ripple: each quadrant offset's distance from the centre, one period of a sine wave
    // (0-254, 127 at rest), and displacements that grow with the amplitude row.
    std::vector<unsigned char> dist, sine, multi;
    for (int r = 0; r < 360; ++r)
        for (int c = 0; c < 640; ++c) Put(dist, uint32_t(std::lround(std::hypot(c, r))), 2);
    for (int k = 0; k < 256; ++k)
        sine.push_back(uint8_t(std::lround(127 + 127 * std::sin(2 * kPi * k / 256))));
    for (int a = 0; a < 32; ++a)
        for (int s = 0; s < 255; ++s)
            multi.push_back(uint8_t(std::lround(127 + (s - 127) / 127.0 * a * 0.4)));
    ok = ok && WriteBytes(dir / "WaterDistTbl.bin", dist) &&
         WriteBytes(dir / "WaterSinTbl.bin", sine) && WriteBytes(dir / "WaterMultiTbl.bin", multi);

    // The halo: a dim light from the top-left corner, and five coloured glows.
    ok = ok && WriteBmp(dir / "HaloBack.bmp", W, H, 24, [](int x, int y) {
             const double k = std::max(0.0, 1.0 - std::hypot(x, y * 1.3) / 1100.0);
             return uint32_t(k * 90) * 0x010101u;
         });
    struct Layer {
        const char* name;
        int w, h;
        uint32_t colour;
    } layers[5] = {{"HaloBlueB.bmp", 520, 520, 0x4070FF},
                   {"HaloYellowB.bmp", 440, 440, 0xFFD040},
                   {"HaloYellowS.bmp", 180, 180, 0xFFF080},
                   {"HaloBlueS.bmp", 220, 220, 0x80C0FF},
                   {"HaloGreen.bmp", 300, 300, 0x60FF90}};
    for (const Layer& l : layers)
        ok = ok && WriteBmp(dir / l.name, l.w, l.h, 24,
                            [&l](int x, int y) { return Glow(x, y, l.w, l.h, l.colour); });
    return ok;
}
