// The stage's demo pictures, drawn in code: "EvBG.pak" with the backgrounds of family 10 (day,
// evening, night, morning and their bad-weather forms: sky over ground, the sky opaque in the
// alpha plane so weather shows there only), two lone backgrounds that walk the fallbacks, a
// background definition with its stand-in picture and an event picture; "EvCG.pak" with three
// figures and their definitions (body, blink, mouth, one free animation) and one without; and
// "Snow.bmp", the four flakes, for the game archive.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "foundation/zrpack.h"
#include "tools/mkdemo_draw.h"

namespace fs = std::filesystem;

namespace {

using Art = demo::Picture;
using demo::Mix;
using demo::WriteBmp;
using demo::WriteJpeg;
using demo::WritePng;
using demo::WriteText;

struct Scene {
    uint32_t skyTop, skyLow, ground, hill;
    bool sun, stars;
};

// Sky over rolling ground with a few houses; the sky (and the houses' windows) opaque in the
// alpha plane, the ground transparent, so rain and snow fall only there.
Art DrawBackground(const Scene& s, int variant) {
    Art a(1280, 720);
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x) {
            const int horizon = 430 + int(30 * std::sin(x / 170.0 + variant));
            if (y < horizon) {
                uint32_t c = Mix(s.skyTop, s.skyLow, y, horizon);
                if (s.sun && std::hypot(x - 980.0, y - 170.0) < 60) c = 0xFFF0C0;
                if (s.stars && ((x * 7919 + y * 104729) % 1543) == 0) c = 0xFFFFF0;
                a.Set(x, y, c, 255);
            } else {
                const int far = std::min(200, y - horizon);
                uint32_t c = Mix(s.hill, s.ground, far, 200);
                if (((x / 40 + y / 24) & 1) && y > horizon + 60) c = Mix(c, 0x000000, 1, 6);
                a.Set(x, y, c, 0);
            }
        }
    // Three houses on the horizon; their windows let the weather show through too.
    for (int k = 0; k < 3; ++k) {
        const int x0 = 180 + k * 380, y0 = 330 + k * 8;
        for (int y = y0; y < y0 + 130; ++y)
            for (int x = x0; x < x0 + 160; ++x) a.Set(x, y, Mix(s.hill, 0x604030, 2, 3), 0);
        for (int y = y0 - 60; y < y0; ++y)
            for (int x = x0 - 10; x < x0 + 170; ++x)
                if (std::abs(x - (x0 + 80)) < (y - (y0 - 60)) * 3 / 2) a.Set(x, y, 0x803020, 0);
        for (int y = y0 + 30; y < y0 + 70; ++y)
            for (int x = x0 + 30; x < x0 + 70; ++x) a.Set(x, y, 0x90B0D0, 255);
    }
    return a;
}

// A figure 320x640 at the left of a 400x640 sheet; beside it three eye cells (open, half,
// closed), two mouth cells and two badge cells.
Art DrawFigure(uint32_t dress, uint32_t hair) {
    Art a(400, 640);
    const uint32_t skin = 0xF4D0B0;
    for (int y = 0; y < 640; ++y)
        for (int x = 0; x < 320; ++x) {
            const double hx = (x - 160) / 70.0, hy = (y - 130) / 85.0;
            if (hx * hx + hy * hy < 1) a.Set(x, y, skin);
            const double hairTop = (x - 160) / 82.0, hairY = (y - 110) / 80.0;
            if (hairTop * hairTop + hairY * hairY < 1 && y < 110) a.Set(x, y, hair);
            if (y > 210 && y < 640) {
                const int half = 40 + (y - 210) * 90 / 430;
                if (std::abs(x - 160) < half) a.Set(x, y, Mix(dress, 0xFFFFFF, y % 40 < 4, 3));
            }
            if (y > 200 && y < 230 && std::abs(x - 160) < 24) a.Set(x, y, skin);
        }
    // Open eyes painted on the body too, so the figure looks right between blinks.
    auto eyes = [&a](int ox, int oy, int open) {
        for (int e = 0; e < 2; ++e)
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 20; ++x) {
                    const double dx = (x - 10) / 9.0, dy = (y - 8) / (open * 2.5 + 0.8);
                    a.Set(ox + e * 28 + x, oy + y, dx * dx + dy * dy < 1 ? 0x302018 : 0xF4D0B0);
                }
    };
    eyes(112, 116, 3);
    eyes(320, 0, 3);
    eyes(320, 16, 1);
    eyes(320, 32, 0);
    for (int m = 0; m < 2; ++m)
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 32; ++x) {
                const double dx = (x - 16) / 14.0, dy = (y - 6) / (m ? 5.5 : 1.2);
                a.Set(320 + x, 48 + m * 12 + y, dx * dx + dy * dy < 1 ? 0xA03030 : 0xF4D0B0);
            }
    for (int b = 0; b < 2; ++b)
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) {
                const double d = std::hypot(x - 11.5, y - 11.5);
                if (d < 11) a.Set(320 + b * 24 + x, 72 + y, b ? 0xFFE060 : 0xC08020);
            }
    return a;
}

const char kDefinition[] =
    "# body, eyes (open, half, closed), mouth (shut, open), badge (dim, lit)\n"
    "[BASE]\nWIDTH=320\nHEIGHT=640\n"
    "[IMG]\nID=0\nPOSX=0\nPOSY=0\nWIDTH=320\nHEIGHT=640\n"
    "[IMG]\nID=1\nPOSX=320\nPOSY=0\nWIDTH=48\nHEIGHT=16\n"
    "[IMG]\nID=2\nPOSX=320\nPOSY=16\nWIDTH=48\nHEIGHT=16\n"
    "[IMG]\nID=3\nPOSX=320\nPOSY=32\nWIDTH=48\nHEIGHT=16\n"
    "[IMG]\nID=4\nPOSX=320\nPOSY=48\nWIDTH=32\nHEIGHT=12\n"
    "[IMG]\nID=5\nPOSX=320\nPOSY=60\nWIDTH=32\nHEIGHT=12\n"
    "[IMG]\nID=6\nPOSX=320\nPOSY=72\nWIDTH=24\nHEIGHT=24\n"
    "[IMG]\nID=7\nPOSX=344\nPOSY=72\nWIDTH=24\nHEIGHT=24\n"
    "[ANIM]\nID=0\nANIMATION=<1,1><3,4><1,2><END>\n"
    "[ANIM]\nID=1\nANIMATION=<4,4><5,4><LOOP>\n"
    "[ANIM]\nID=2\nANIMATION=<6,20><7,20><LOOP>\n"
    "[ENTRY]\nID=0\nPOSX=0\nPOSY=0\nIMG_ID=0\n"
    "[ENTRY]\nID=1\nPOSX=112\nPOSY=116\nANIM_ID=0\n"
    "[ENTRY]\nID=2\nPOSX=144\nPOSY=170\nANIM_ID=1\n"
    "[ENTRY]\nID=3\nPOSX=200\nPOSY=300\nANIM_ID=2\n";

// Four round flakes, 14, 12, 10 and 8 pixels, side by side at y 0.
Art DrawSnow() {
    Art a(44, 14);
    const int xs[4] = {0, 14, 26, 36}, sizes[4] = {14, 12, 10, 8};
    for (int k = 0; k < 4; ++k)
        for (int y = 0; y < sizes[k]; ++y)
            for (int x = 0; x < sizes[k]; ++x) {
                const double r = sizes[k] / 2.0;
                const double d = std::hypot(x + 0.5 - r, y + 0.5 - r) / r;
                if (d < 1) a.Set(xs[k] + x, y, Mix(0xFFFFFF, 0x000000, int(d * 100), 110));
            }
    return a;
}

bool PackDir(const fs::path& archive, const fs::path& dir) {
    ZRPack pack;
    pack.SetReadOnly(false);
    bool ok = pack.NewPack(archive.string().c_str());
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files)
        ok = ok && pack.AddFile(f.filename().string().c_str(), f.string().c_str(), true);
    ok = pack.EndPack() && ok;
    if (!ok) std::fprintf(stderr, "mkdemo: writing %s failed\n", archive.c_str());
    return ok;
}

}  // namespace

bool WriteStageData(const fs::path& gameStage, const fs::path& out) {
    const fs::path bg = out / "mkdemo.evbg", cg = out / "mkdemo.evcg";
    std::error_code ec;
    fs::remove_all(bg, ec);
    fs::remove_all(cg, ec);
    fs::create_directories(bg, ec);
    fs::create_directories(cg, ec);
    if (ec) return false;
    bool ok = WriteBmp(gameStage / "Snow.bmp", DrawSnow());

    const Scene fair[4] = {{0x3070E0, 0xA0D0FF, 0x306020, 0x70A040, true, false},
                           {0x603080, 0xFF9040, 0x402818, 0x806030, true, false},
                           {0x050818, 0x182848, 0x101810, 0x203020, false, true},
                           {0x80A0D0, 0xFFE0C0, 0x406838, 0x90B070, false, false}};
    for (int p = 0; p < 4; ++p) {
        const Scene& s = fair[p];
        const Scene grey{Mix(s.skyTop, 0x707070, 2, 3),
                         Mix(s.skyLow, 0x909090, 2, 3),
                         Mix(s.ground, 0x404040, 1, 2),
                         Mix(s.hill, 0x505050, 1, 2),
                         false,
                         false};
        char name[32];
        std::snprintf(name, sizeof name, "bg%03d", 10 + p);
        const Art fairArt = DrawBackground(s, p);
        // The night is a BMP and the morning a JPEG: the other loaders walk the same path.
        if (p == 2)
            ok = ok && WriteBmp(bg / (std::string(name) + ".bmp"), fairArt);
        else if (p == 3)
            ok = ok && WriteJpeg(bg / (std::string(name) + ".jpg"), fairArt, 88);
        else
            ok = ok && WritePng(bg / (std::string(name) + ".png"), fairArt, true);
        std::snprintf(name, sizeof name, "bg%03d.png", 14 + p);
        ok = ok && WritePng(bg / name, DrawBackground(grey, p), true);
    }
    // Lone backgrounds: 20 only in fair weather, 24 only in bad, so the fallbacks are walked.
    ok = ok &&
         WritePng(bg / "bg020.png",
                  DrawBackground({0x2060C0, 0xC0E0FF, 0x807050, 0xA09060, true, false}, 5), true);
    ok = ok &&
         WritePng(bg / "bg024.png",
                  DrawBackground({0x505868, 0x8890A0, 0x484038, 0x605850, false, false}, 5), true);
    // A background definition is only recognised; its stand-in picture is what shows.
    ok = ok && WriteText(bg / "an030a.ini", "[BASE]\nPAGES=4\nWAIT=4\n");
    Art dummy(1280, 720);
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x)
            dummy.Set(x, y, ((x / 80 + y / 80) & 1) ? 0x606060 : 0x404040);
    ok = ok && WriteJpeg(bg / "Dammy.jpg", dummy, 88);
    // The event picture: a big warm circle over a dark field.
    Art event(1280, 720);
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x) {
            const double d = std::hypot(x - 640.0, y - 360.0);
            event.Set(x, y, d < 280 ? Mix(0xFFE0A0, 0xE06020, int(d), 280) : 0x201018);
        }
    ok = ok && WritePng(bg / "bg500.png", event, false);

    const uint32_t dresses[3][2] = {
        {0xC03040, 0x402010}, {0x3050C0, 0x101010}, {0x30A050, 0xC08030}};
    for (int i = 0; i < 3; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "chr%03d.png", i + 1);
        ok = ok && WritePng(cg / name, DrawFigure(dresses[i][0], dresses[i][1]), true);
        std::snprintf(name, sizeof name, "chr%03d.ini", i + 1);
        ok = ok && WriteText(cg / name, kDefinition);
    }
    // Without a definition the whole sheet is the character.
    Art plain(160, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 160; ++x) {
            const double dx = (x - 80) / 78.0, dy = (y - 240) / 238.0;
            if (dx * dx + dy * dy < 1) plain.Set(x, y, Mix(0xE0E0F0, 0x8080C0, y, 480));
        }
    ok = ok && WritePng(cg / "chr004.png", plain, true);

    ok = ok && PackDir(out / "EvBG.pak", bg) && PackDir(out / "EvCG.pak", cg);
    fs::remove_all(bg, ec);
    fs::remove_all(cg, ec);
    return ok;
}
