// The battle's demo data: both tables, every picture the battle screen names (drawn here as
// simple shapes), its slot and effect sounds and a few voices, and three movies in "Battle/".
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/moviewrite.h"
#include "tools/mkdemo_anime.h"
#include "tools/mkdemo_draw.h"

namespace fs = std::filesystem;

namespace {

using Canvas = demo::Picture;
using demo::WriteText;

void Diamond(Canvas& p, double cx, double cy, double r, uint32_t rgb) {
    for (int y = int(cy - r); y <= int(cy + r); ++y)
        for (int x = int(cx - r); x <= int(cx + r); ++x)
            if (std::abs(x - cx) + std::abs(y - cy) <= r) p.Set(x, y, rgb);
}

// A figure: head and body, as a stand-in for a character picture.
void Figure(Canvas& p, int x0, int y0, int fw, int fh, uint32_t rgb) {
    p.Disc(x0 + fw / 2.0, y0 + fh * 0.18, fh * 0.14, rgb);
    for (int y = int(y0 + fh * 0.32); y < y0 + fh; ++y) {
        const double t = double(y - y0) / fh;
        const int half = int(fw * (0.18 + 0.25 * t));
        p.Fill(x0 + fw / 2 - half, y, x0 + fw / 2 + half, y + 1, rgb);
    }
}

// Seven-segment digit d in a w x h cell at (x0, y0).
void Digit(Canvas& c, int x0, int y0, int w, int h, int d, uint32_t rgb) {
    static const unsigned char kSeg[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                           0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    const int t = w / 6, m = y0 + h / 2;
    const unsigned char s = kSeg[d];
    if (s & 1) c.Fill(x0 + t, y0, x0 + w - t, y0 + t, rgb);
    if (s & 2) c.Fill(x0 + w - t, y0 + t, x0 + w, m, rgb);
    if (s & 4) c.Fill(x0 + w - t, m, x0 + w, y0 + h - t, rgb);
    if (s & 8) c.Fill(x0 + t, y0 + h - t, x0 + w - t, y0 + h, rgb);
    if (s & 16) c.Fill(x0, m, x0 + t, y0 + h - t, rgb);
    if (s & 32) c.Fill(x0, y0 + t, x0 + t, m, rgb);
    if (s & 64) c.Fill(x0 + t, m - t / 2, x0 + w - t, m + t / 2 + 1, rgb);
}

// Four reel sets of three reels: emblems, bars and blanks, with fewer emblems in later sets.
std::string ReelTable() {
    static const char* const kRows[12] = {
        "0,5,1,2,0,6,1,3,0,2,4,1,0,7,1,2,0,8,1,5,2", "1,0,2,5,1,0,6,2,1,3,0,1,2,4,0,1,7,2,0,8,1",
        "2,1,0,5,2,1,0,6,2,0,3,1,2,4,0,2,7,1,0,8,2", "0,5,1,3,2,6,1,4,0,7,2,1,8,5,0,3,1,6,2,4,7",
        "1,4,0,5,2,6,0,3,1,7,2,0,8,5,1,3,0,6,2,4,8", "2,3,1,5,0,6,2,4,1,7,0,2,8,5,1,3,2,6,0,4,7",
        "0,5,6,1,3,7,2,4,8,0,5,6,1,3,7,2,4,8,0,5,6", "1,5,6,0,3,7,2,4,8,1,5,6,0,3,7,2,4,8,1,5,6",
        "2,5,6,1,3,7,0,4,8,2,5,6,1,3,7,0,4,8,2,5,6", "2,2,0,2,1,2,2,0,2,1,2,2,0,2,1,2,2,0,2,1,2",
        "2,1,2,2,0,2,2,1,2,2,0,2,2,1,2,2,0,2,2,1,2", "2,2,2,0,2,2,1,2,2,2,0,2,2,1,2,2,2,0,2,2,1",
    };
    std::string s = "reel";
    for (int i = 0; i < 21; ++i) s += ",#";
    s += ",!\r\n";
    for (int r = 0; r < 12; ++r) {
        char label[32];
        std::snprintf(label, sizeof label, "#set%d reel%d,", r / 3, r % 3);
        s += std::string(label) + kRows[r] + "\r\n";
    }
    return s;
}

// Battle 0 can be won in a few rounds; battle 5 cannot, and the story goes on after it;
// battle 6 is the second form.
const char kBattleData[] =
    "no,#n,#enemy,#egauge,#edamage,#miss,#emovie,#pgauge,#set,#r1,#r2,#r3,#rguard,#revade,#b1,#b2,"
    "#b3,#bguard,#bevade,!\r\n"
    "#first,0,4,600,90,10,-1,500,0,120,200,360,25,20,110,190,340,20,30\r\n"
    "#lost,5,4,99999,250,50,-1,400,1,10,20,30,0,0,10,20,30,0,0\r\n"
    "#second form,6,4,900,120,10,-1,600,2,150,240,400,30,20,140,230,390,25,30\r\n"
    "!\r\n";

constexpr uint32_t kRed = 0xE04848, kBlue = 0x4878E8, kGold = 0xF0C040;

// Thirteen 212 x 106 cells: the first heroine's emblem on reels 0-2, the second's on reels
// 0-2, the bar, and the six change pictures of specials 7-12.
Canvas ReelStrip() {
    Canvas c(212, 106 * 13, 0xF4F0E8);
    for (int cell = 0; cell < 13; ++cell) {
        const int y0 = cell * 106;
        c.Fill(0, y0, 212, y0 + 2, 0xC0B8A8);
        const double cx = 106, cy = y0 + 53;
        if (cell < 3) {
            c.Disc(cx, cy, 40 - 4 * cell, kRed);
            c.Disc(cx, cy, 16, 0xFFE0E0);
        } else if (cell < 6) {
            Diamond(c, cx, cy, 44 - 4 * (cell - 3), kBlue);
            Diamond(c, cx, cy, 16, 0xE0E8FF);
        } else if (cell == 6) {
            c.Fill(30, y0 + 38, 182, y0 + 68, 0x303030);
            c.Fill(36, y0 + 44, 176, y0 + 62, kGold);
        } else {
            const uint32_t tint[6] = {kRed, kBlue, 0xF08030, 0x40C080, 0xE040E0, 0x40E0E0};
            c.Fill(6, y0 + 8, 206, y0 + 98, tint[cell - 7]);
            for (int k = 0; k < cell - 6; ++k) c.Disc(30 + k * 30, cy, 10, 0xFFFFFF);
        }
    }
    return c;
}

// Four blocks of a frame around a reel: dark, lit, and two changing colours.
Canvas SlotFrame() {
    constexpr int fw = 256, fh = 400;
    Canvas c(fw, fh * 4, 0, 0);
    const uint32_t colours[4] = {0x606070, 0xF0D060, 0xF08040, 0x40E0F0};
    for (int b = 0; b < 4; ++b) {
        const int y0 = b * fh;
        c.Fill(0, y0, fw, y0 + 20, colours[b]);
        c.Fill(0, y0 + fh - 20, fw, y0 + fh, colours[b]);
        c.Fill(0, y0, 22, y0 + fh, colours[b]);
        c.Fill(fw - 22, y0, fw, y0 + fh, colours[b]);
    }
    return c;
}

// Three groups over the frame's four blocks: 0 at rest, 1 lit (blinking), 2 changing
// (cycling two colours).
std::vector<uint8_t> SlotFrameAnime() {
    return demo::EncodeAnime(4, {{{0, 0, 30}}, {{1, 1, 8}, {3, 0, 8}}, {{1, 2, 4}, {3, 3, 4}}});
}

Canvas Banner(int w, int h, uint32_t rgb, int marks) {
    Canvas c(w, h, 0, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double e = std::min({x, y, w - 1 - x, h - 1 - y}) / 8.0;
            if (e >= 0) c.Set(x, y, rgb, static_cast<unsigned char>(std::min(1.0, e) * 230));
        }
    for (int k = 0; k < marks; ++k) c.Disc(w * (k + 1.0) / (marks + 1), h / 2.0, h / 5.0, 0xFFFFFF);
    return c;
}

Canvas Cutin(int w, int h, uint32_t rgb, bool second) {
    Canvas c(w, h, 0, 0);
    Figure(c, 0, 0, w, h, rgb);
    if (second) c.Disc(w / 2.0, h * 0.18, h * 0.06, kGold);
    return c;
}

bool WriteMovie(const fs::path& path, int w, int h, int frames, uint32_t a, uint32_t b) {
    plat::MovieWriteOptions o;
    o.width = w;
    o.height = h;
    o.frames = frames;
    o.bitRate = 2000000;
    const auto bytes = plat::WriteMovie(
        o,
        [&](int32_t i, uint8_t* bgra, int32_t pitch) {
            const double t = double(i) / std::max(1, frames - 1);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const double r = std::hypot(x - w / 2.0, y - h / 2.0) / (w / 2.0);
                    const double k = std::clamp(1.0 - std::abs(r - t), 0.0, 1.0);
                    uint8_t* p = bgra + y * pitch + x * 4;
                    for (int ch = 0; ch < 3; ++ch) {
                        const int ca = (a >> (8 * ch)) & 0xFF, cb = (b >> (8 * ch)) & 0xFF;
                        p[ch] = static_cast<uint8_t>(ca + (cb - ca) * k);
                    }
                    p[3] = 255;
                }
        },
        nullptr);
    return demo::WriteOutput(path, bytes);
}

}  // namespace

bool WriteBattleData(const fs::path& stage, const fs::path& out,
                     bool (*writeOgg)(const fs::path&, double, double, double, bool)) {
    bool ok = WriteText(stage / "BtlReel.csv", ReelTable()) &&
              WriteText(stage / "BtlData.csv", kBattleData);
    auto png = [&](const char* name, const Canvas& c, bool withAlpha = true) {
        ok = ok && demo::WritePng(stage / name, c, withAlpha);
    };
    png("BtlSlotReel.png", ReelStrip(), false);
    {
        Canvas guide(1280, 34, 0x202030, 180);
        for (int x = 0; x < 1280; x += 40) guide.Fill(x, 14, x + 20, 20, kGold, 220);
        png("BtlSlotGuide.png", guide);
    }
    png("BtlSlotFrame.png", SlotFrame());
    ok = ok && demo::WriteBytes(stage / "BtlSlotFrame.anm", SlotFrameAnime());
    {
        Canvas light(256, 128, 0x000000);
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 256; ++x) {
                const double d = std::hypot((x - 128) / 128.0, (y - 64) / 64.0);
                const int v = static_cast<int>(std::max(0.0, 1 - d) * 120);
                light.Set(x, y, uint32_t(v) << 16 | uint32_t(v) << 8 | uint32_t(v / 3));
            }
        png("BtlSlotLight.png", light, false);
    }
    {
        Canvas btn(64, 96, 0, 0);
        btn.Disc(32, 24, 22, 0xF04040);
        btn.Disc(32, 72, 22, 0x703030);
        png("BtlSlotBtnS.png", btn);
    }
    png("BtlMesExcellent.png", Banner(480, 96, kGold, 3));
    png("BtlMesMiss.png", Banner(320, 96, 0x707080, 1));
    png("BtlSelCharNR.png", Cutin(640, 480, kRed, false));
    png("BtlSelCharSR.png", Cutin(640, 480, kRed, true));
    png("BtlSelCharNB.png", Cutin(640, 480, kBlue, false));
    png("BtlSelCharSB.png", Cutin(640, 480, kBlue, true));
    png("BtlSelMes2.png", Banner(640, 80, 0x6040A0, 2));
    png("BtlGameOver.png", Banner(640, 120, 0x802020, 0));
    // The answers' bases are the story's choice pictures ("SelBase8.png", "SelBase16.png").
    struct Cut {
        const char* name;
        uint32_t rgb;
        int w, h;
    };
    const Cut cuts[] = {
        {"Charge", 0, 420, 600}, {"Punch", 0, 460, 600},  {"Kick", 0, 460, 600},
        {"Arrow", 0, 460, 600},  {"ArrowC", 0, 460, 600}, {"Damage", 0, 400, 520},
        {"Guard", 0, 400, 520},  {"Evade", 0, 400, 520},
    };
    for (const char form : {'N', 'S'})
        for (const char who : {'R', 'B', 'T'})
            for (const Cut& cut : cuts) {
                const std::string n = cut.name;
                // Only the pictures some cut-in names.
                const bool used = (n == "Charge") ||
                                  (who == 'R' && (n == "Punch" || n == "Kick")) ||
                                  (who == 'B' && (n == "Arrow" || n == "ArrowC")) ||
                                  (form == 'N' && (n == "Damage" || n == "Guard") && who != 'T') ||
                                  (n == "Evade" && (who == 'B' || (who == 'R' && form == 'S')));
                if (!used || (n == "Guard" && who == 'B')) continue;
                const uint32_t rgb = who == 'R' ? kRed : who == 'B' ? kBlue : 0xA060C0;
                const std::string file = std::string("BtlCI_") + form + who + "_" + n + ".png";
                png(file.c_str(), Cutin(cut.w, cut.h, rgb, form == 'S'));
            }
    {
        Canvas digits(48, 108 * 10, 0, 0);
        // A digit comes to rest 18 rows down its 108-row cell: drawn in the top 86 rows it stays
        // whole.
        for (int d = 0; d < 10; ++d) Digit(digits, 4, d * 108 + 2, 40, 84, d, 0xFFE040);
        png("BtlDmgNum.png", digits);
    }
    {
        Canvas bg(1280, 720, 0);
        for (int y = 0; y < 720; ++y)
            bg.Fill(0, y, 1280, y + 1, 0x201008 + uint32_t(y / 6) * 0x010100);
        png("BtlWinBG.png", bg, false);
    }
    png("BtlWinCharNR.png", Cutin(420, 600, kRed, false));
    png("BtlWinCharSR.png", Cutin(420, 600, kRed, true));
    png("BtlWinCharNB.png", Cutin(420, 600, kBlue, false));
    png("BtlWinCharSB.png", Cutin(420, 600, kBlue, true));
    png("BtlWinMes.png", Banner(720, 140, kGold, 5));
    {
        Canvas frame(1280, 720, 0, 0);
        frame.Fill(80, 16, 1200, 84, 0x202028, 200);
        png("BtlGaugeFrame.png", frame);
    }
    png("BtlGaugeL.png", Canvas(472, 48, 0x40D060), false);
    png("BtlGaugeR.png", Canvas(472, 48, 0xE04040), false);
    {
        Canvas star(64, 64, 0, 0);
        Diamond(star, 32, 32, 30, kGold);
        png("BtlGaugeStar.png", star);
    }
    for (const auto& face : {std::pair{"BtlFace.png", 68}, std::pair{"BtlFaceB.png", 48}}) {
        const int s = face.second;
        Canvas c(s, s * 2, 0, 0);
        c.Disc(s / 2.0, s / 2.0, s / 2.0 - 2, kRed);
        c.Disc(s / 2.0, s * 1.5, s / 2.0 - 2, kBlue);
        png(face.first, c);
    }

    struct Sound {
        const char* name;
        double f0, f1, seconds;
        bool noise;
    };
    const Sound sounds[] = {
        {"BtlSESlotStart", 440, 880, 0.3, false},
        {"BtlSESlotStop", 1200, 900, 0.08, false},
        {"BtlSESlotChange", 600, 1800, 0.4, false},
        {"BtlSEPunch", 0, 0, 0.15, true},
        {"BtlSEKick", 0, 0, 0.2, true},
        {"BtlSEFinish", 200, 80, 0.6, true},
        {"BtlSEGuard", 900, 900, 0.15, false},
        {"BtlSEWin", 520, 1040, 0.8, false},
        {"BtlSELose", 400, 150, 0.9, false},
        {"BtlVoSlot00R", 700, 760, 0.2, false},
        {"BtlVoSlot01R", 760, 820, 0.2, false},
        {"BtlVoSlot02R", 820, 900, 0.25, false},
        {"BtlVoSlot00B", 500, 540, 0.2, false},
        {"BtlVoSlot01B", 540, 600, 0.2, false},
        {"BtlVoSlot02B", 600, 660, 0.25, false},
        {"BtlVoSlotBar", 300, 600, 0.3, false},
        {"BtlVoFightE00", 180, 140, 0.5, false},
        {"BtlVoChargeR00", 700, 1000, 0.35, false},
        {"BtlVoChargeB00", 500, 800, 0.35, false},
        {"BtlVoWinR00", 800, 1200, 0.5, false},
        {"BtlVoWinB00", 600, 900, 0.5, false},
    };
    for (const Sound& s : sounds)
        ok = ok && writeOgg(stage / (std::string(s.name) + ".ogg"), s.f0, s.f1, s.seconds, s.noise);

    auto movie = [&](const char* name, int w, int h, int frames, uint32_t a, uint32_t b) {
        const fs::path path = out / "Battle" / name;
        if (!fs::exists(path)) ok = ok && WriteMovie(path, w, h, frames, a, b);
    };
    movie("BtlEncounter.sfd", 640, 360, 45, 0x000000, 0xF04030);
    movie("BtlFight.sfd", 640, 360, 30, 0x101030, 0xF0E060);
    movie("BtlCI_BG_Red.sfd", 1280, 720, 20, 0x400808, 0xE03020);
    return ok;
}
