// The text windows' pictures: message window, name plate, icons, backlog bar, choice bases,
// calendar digits, place cards and the menu bar with its sub-menu. Shapes and gradients are
// drawn here; labels, digits and place names are GBK text drawn with the game's own text
// renderer.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/mkdemo_draw.h"

namespace fs = std::filesystem;

namespace {

using demo::Argb;
using demo::Canvas;

// A button strip: each block a rounded bar with its label, lighter for the later looks.
Canvas Buttons(int w, int h, int blocks, const char* label, int textHeight) {
    Canvas c(w, h * blocks);
    for (int b = 0; b < blocks; ++b) {
        const uint32_t base = b == 0 ? 0x283C64 : b == 1 ? 0x3C64A0 : 0x5078B4;
        c.Box(2, b * h + 2, w - 2, (b + 1) * h - 2, Argb(230, base));
        c.Box(2, b * h + 2, w - 2, b * h + 4, Argb(255, 0xA0C0FF));
        if (label)
            c.Centred(b * h + (h - textHeight) / 2, textHeight, label,
                      b == 0 ? 0xE0E0E0 : 0xFFFFFF);
    }
    return c;
}

// Four frames of a small dot turning round a circle.
Canvas Turning(int w, int h, uint32_t rgb, int frames) {
    Canvas c(w, h * frames);
    for (int f = 0; f < frames; ++f) {
        for (int k = 0; k < 4; ++k) {
            const double a = (f + k * frames / 4.0) * 2 * M_PI / frames;
            const int alpha = k == 0 ? 255 : 110;
            c.Disc(w / 2.0 + std::cos(a) * w / 3.5, f * h + h / 2.0 + std::sin(a) * h / 3.5,
                   w / 9.0, Argb(alpha, rgb));
        }
    }
    return c;
}

// The ten digits of a calendar plate, one cell of cellW x cellH each, stacked. The plate sets
// its digit cells closer together than a cell is wide, so each digit keeps to the w x h box at
// (x, y) of its cell and the cell is transparent elsewhere: drawn large, averaged down to the
// box, with a dark rim one pixel wide (inside the box's one-pixel margin) that keeps it
// readable over any background.
Canvas PlateDigits(int cellW, int cellH, int x, int y, int w, int h, uint32_t rgb) {
    constexpr int kBig = 96;
    std::vector<Canvas> big;
    int top = kBig, bottom = 0, widest = 1;
    int left[10], right[10];
    const char* wide[10] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
    for (int d = 0; d < 10; ++d) {
        big.emplace_back(kBig, kBig);
        big[d].Text(8, 8, 72, wide[d], 0xFFFFFF);
        left[d] = kBig, right[d] = 0;
        for (int yy = 0; yy < kBig; ++yy)
            for (int xx = 0; xx < kBig; ++xx)
                if (big[d].px[size_t(yy) * kBig + xx] >> 24) {
                    left[d] = std::min(left[d], xx), right[d] = std::max(right[d], xx + 1);
                    top = std::min(top, yy), bottom = std::max(bottom, yy + 1);
                }
        widest = std::max(widest, right[d] - left[d]);
    }
    Canvas c(cellW, cellH * 10);
    if (bottom <= top) return c;
    const double scale = std::min(double(h) / (bottom - top), double(w) / widest);
    const int gh = std::min(h, int(std::lround((bottom - top) * scale)));
    for (int d = 0; d < 10; ++d) {
        const int gw = std::clamp(int(std::lround((right[d] - left[d]) * scale)), 1, w);
        const int ox = x + (w - gw) / 2, oy = y + (h - gh) / 2;
        // Coverage in the cell, each pixel the mean of 4 x 4 samples of the large glyph.
        std::vector<int> cover(size_t(cellW) * cellH, 0);
        for (int ty = 0; ty < gh; ++ty)
            for (int tx = 0; tx < gw; ++tx) {
                int sum = 0;
                for (int j = 0; j < 4; ++j)
                    for (int i = 0; i < 4; ++i) {
                        const int sx = left[d] + int((tx + (i + 0.5) / 4) / scale);
                        const int sy = top + int((ty + (j + 0.5) / 4) / scale);
                        if (sx < kBig && sy < kBig) sum += big[d].px[size_t(sy) * kBig + sx] >> 24;
                    }
                const int cx = ox + tx, cy = oy + ty;
                if (cx >= 0 && cx < cellW && cy >= 0 && cy < cellH)
                    cover[size_t(cy) * cellW + cx] = sum / 16;
            }
        for (int cy = 0; cy < cellH; ++cy)
            for (int cx = 0; cx < cellW; ++cx) {
                int rim = 0;
                for (int j = -1; j <= 1; ++j)
                    for (int i = -1; i <= 1; ++i) {
                        const int nx = cx + i, ny = cy + j;
                        if (nx >= 0 && nx < cellW && ny >= 0 && ny < cellH)
                            rim = std::max(rim, cover[size_t(ny) * cellW + nx]);
                    }
                const int g = cover[size_t(cy) * cellW + cx];
                const int a = std::max(g, rim * 7 / 8);
                if (a == 0) continue;
                c.Set(cx, d * cellH + cy, Argb(uint32_t(a), demo::Mix(0x101018, rgb, g, a)));
            }
    }
    return c;
}

}  // namespace

bool WriteWindowPictures(const fs::path& stage) {
    bool ok = true;
    auto save = [&](const char* name, const Canvas& c) {
        ok = ok && demo::WritePng(stage / name, c);
    };

    Canvas back(1280, 196);
    for (int y = 0; y < 196; ++y)
        back.Box(0, y, 1280, y + 1, Argb(150 + y * 60 / 196, 0x101830 + (y / 20) * 0x010102));
    save("MesBack.png", back);
    Canvas frame(1280, 250);
    frame.Box(0, 54, 1280, 57, Argb(255, 0x8098D0));
    frame.Box(0, 247, 1280, 250, Argb(255, 0x405080));
    save("MesFrame.png", frame);
    save("MesWait.png", Turning(51, 52, 0xFFE080, 4));
    Canvas ff(42, 57 * 4);
    for (int f = 0; f < 4; ++f)
        for (int k = 0; k < 2; ++k)
            for (int i = 0; i < 14; ++i)
                ff.Box(6 + k * 16 + i / 2, f * 57 + 14 + i, 6 + k * 16 + i / 2 + 4 + (f & 1),
                       f * 57 + 43 - i, Argb(255, 0x80E0FF));
    save("MesFF.png", ff);
    Canvas wing(112, 116 * 4);
    for (int f = 0; f < 4; ++f)
        for (int i = 0; i < 5; ++i)
            wing.Disc(56 + (i - 2) * (14 + f * 2), f * 116 + 58 - std::abs(i - 2) * 10, 12,
                      Argb(140, 0xC0D0FF));
    save("MesWing.png", wing);
    Canvas nameC(38, 66), nameR(58, 66);
    nameC.Box(0, 8, 38, 58, Argb(220, 0x302850));
    nameR.Box(0, 8, 30, 58, Argb(220, 0x302850));
    for (int i = 0; i < 25; ++i) nameR.Box(30, 8 + i, 30 + (25 - i), 58 - i, Argb(220, 0x302850));
    save("MesNameC.png", nameC);
    save("MesNameR.png", nameR);
    save("MesHide.png", Buttons(19, 18, 5, nullptr, 0));
    save("MesAuto.png", Buttons(19, 18, 7, nullptr, 0));
    save("MesSkip.png", Buttons(19, 18, 7, nullptr, 0));

    Canvas bar(30, 510);
    bar.Box(12, 0, 18, 510, Argb(200, 0x8090B0));
    save("BacklogBar.png", bar);
    Canvas pos(26, 26);
    pos.Disc(13, 13, 12, Argb(255, 0xE0E8FF));
    save("BacklogPos.png", pos);
    Canvas up(30, 30), down(30, 30);
    for (int i = 0; i < 12; ++i) {
        up.Box(15 - i, 8 + i, 15 + i, 9 + i, Argb(255, 0xC0D0F0));
        down.Box(15 - i, 21 - i, 15 + i, 22 - i, Argb(255, 0xC0D0F0));
    }
    save("BacklogUp.png", up);
    save("BacklogDown.png", down);

    // The date plate sets its digit cells (26 x 24) 16 pixels apart, with the slash's 9
    // between month and day; the time plate sets the hour's cells (22 x 26) 10 apart and the
    // minute's 16 apart, with the colon's 8 between them. Each digit keeps to the first pitch
    // of its cell less a pixel each side; the hour's stand where the colon falls midway
    // between the hour and the minute.
    save("CalDateNum.png", PlateDigits(26, 24, 2, 2, 12, 20, 0xFFF0C0));
    save("CalTimeNum.png", PlateDigits(22, 26, 9, 3, 8, 20, 0xC0F0FF));
    Canvas slash(9, 26), colon(8, 22);
    for (int i = 0; i < 20; ++i) slash.Box(4 - i / 4, 2 + i, 8 - i / 4, 5 + i, Argb(170, 0x101018));
    for (int i = 0; i < 20; ++i) slash.Box(5 - i / 4, 3 + i, 7 - i / 4, 4 + i, Argb(255, 0xFFF0C0));
    for (int y : {6, 14}) {
        colon.Box(2, y - 1, 7, y + 4, Argb(190, 0x101018));
        colon.Box(3, y, 6, y + 3, Argb(255, 0xC0F0FF));
    }
    save("CalSlash.png", slash);
    save("CalColon.png", colon);

    const char* places[3] = {"校园", "图书馆", "商店街"};
    for (int i = 0; i < 3; ++i) {
        Canvas card(260, 64);
        card.Box(0, 0, 260, 64, Argb(200, 0x182030));
        card.Box(0, 60, 260, 64, Argb(255, 0x80A0E0));
        card.Text(20, 12, 40, places[i], 0xFFFFFF);
        save(("AvgPlace0" + std::to_string(i + 1) + ".png").c_str(), card);
    }

    save("SelBase8.png", Buttons(478, 80, 3, nullptr, 0));
    save("SelBase16.png", Buttons(780, 80, 3, nullptr, 0));

    Canvas sys(558, 513), sub(558, 481);
    sys.Box(0, 0, 558, 513, Argb(220, 0x101828));
    sub.Box(0, 0, 558, 481, Argb(220, 0x102818));
    sys.Text(20, 14, 30, "系统菜单", 0xC0D0FF);
    sub.Text(20, 14, 30, "存档／读档", 0xC0FFD0);
    save("MenuSysBase.png", sys);
    save("MenuSaveBase.png", sub);
    Canvas light(40, 40);
    light.Disc(20, 20, 10, Argb(255, 0xFFE080));
    save("MenuSysLight.png", light);
    save("MenuSaveLight.png", light);
    const struct {
        const char* file;
        const char* label;
    } menu[11] = {{"MenuSysSaveLoad.png", "存档／读档"}, {"MenuSysSkip.png", "快进"},
                  {"MenuSysAuto.png", "自动"},           {"MenuSysView.png", "隐藏窗口"},
                  {"MenuSysBacklog.png", "回想"},        {"MenuSysConfig.png", "设置"},
                  {"MenuSysTitle.png", "返回标题"},      {"MenuSysCancel.png", "取消"},
                  {"MenuSaveSave.png", "存档"},          {"MenuSaveLoad.png", "读档"},
                  {"MenuSaveCancel.png", "取消"}};
    for (const auto& m : menu) save(m.file, Buttons(240, 44, 2, m.label, 28));
    return ok;
}
