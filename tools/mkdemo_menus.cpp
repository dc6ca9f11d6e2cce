// The menus' pictures: the title with its six buttons and its three call pictures, the
// confirmation dialog, the configuration screen and the save and load screen. Shapes are
// drawn here; captions are GBK text drawn with the game's own text renderer. Also the title
// call's voices.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/mkdemo_anime.h"
#include "tools/mkdemo_draw.h"

namespace fs = std::filesystem;

namespace {

using Picture = demo::Canvas;

// Two stacked looks of a button: normal, then highlighted.
Picture Button(int w, int h, const char* label, int textHeight) {
    Picture p(w, h * 2);
    for (int b = 0; b < 2; ++b) {
        p.Box(0, b * h, w, (b + 1) * h, b ? 0xF04878B8 : 0xC0283C64);
        p.Frame(0, b * h, w, (b + 1) * h, 2, b ? 0xFFC0E0FF : 0xFF6080B0);
        p.Centred(b * h + (h - textHeight) / 2, textHeight, label, b ? 0xFFFFFF : 0xD0D0D0);
    }
    return p;
}

// A soft light: bright in its middle, fading to its edges (drawn additively).
Picture Light(int w, int h, uint32_t rgb) {
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = std::abs(x - w / 2.0) / (w / 2.0),
                         dy = std::abs(y - h / 2.0) / (h / 2.0);
            const double v = std::max(0.0, 1.0 - std::max(dx * dx, dy));
            const uint32_t k = uint32_t(v * 255);
            auto ch = [&](int s) { return (((rgb >> s) & 0xFF) * k / 255) << s; };
            p.px[size_t(y) * w + x] = 0xFF000000u | ch(16) | ch(8) | ch(0);
        }
    return p;
}

Picture Screen(uint32_t top, uint32_t bottom, const char* heading) {
    Picture p(1280, 720);
    p.Gradient(top, bottom);
    if (heading) p.Text(80, 60, 48, heading, 0xFFFFFF);
    return p;
}

// Mixes the box's pixels t/n of the way towards rgb; the picture stays opaque.
void Shade(Picture& p, int x0, int y0, int x1, int y1, uint32_t rgb, int t, int n) {
    for (int y = std::max(y0, 0); y < std::min(y1, p.h); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, p.w); ++x) {
            uint32_t& c = p.px[size_t(y) * p.w + x];
            c = 0xFF000000u | demo::Mix(c, rgb, t, n);
        }
}

// The save and load page: a heading and the twelve slots, each a card with a sunken well
// where the save menu draws the thumbnail (167 x 93, four columns 192 apart from x 444, three
// rows 151 apart from y 168) and room below it for the slot's title and date, so that an
// empty slot shows as an empty frame.
Picture SavePage(uint32_t top, uint32_t bottom, const char* heading, uint32_t edge) {
    Picture p = Screen(top, bottom, heading);
    for (int i = 0; i < 12; ++i) {
        const int x = 444 + 192 * (i % 4), y = 168 + 151 * (i / 4);
        Shade(p, x - 6, y - 6, x + 173, y + 142, 0x000000, 2, 5);
        p.Frame(x - 6, y - 6, x + 173, y + 142, 1, 0xFF000000u | edge);
        Shade(p, x, y, x + 167, y + 93, 0x000000, 1, 3);
        p.Frame(x - 1, y - 1, x + 168, y + 94, 1, 0xFF000000u | demo::Mix(edge, 0, 1, 2));
    }
    return p;
}

}  // namespace

bool WriteMenuPictures(const fs::path& stage,
                       bool (*writeOgg)(const fs::path&, double, double, double, bool)) {
    bool ok = true;
    auto put = [&](const char* name, const Picture& p) {
        ok = ok && demo::WritePng(stage / name, p);
    };
    // A button played by an animation program: its picture over a lit copy, and the program.
    auto putAnimated = [&](const std::string& name, const Picture& p) {
        Picture both(p.w, p.h * 2);
        for (size_t i = 0; i < p.px.size(); ++i) {
            const uint32_t c = p.px[i];
            auto lift = [c](int s) { const uint32_t v = (c >> s) & 0xFF; return (v + (255 - v) / 3) << s; };
            both.px[i] = c;
            both.px[p.px.size() + i] = (c & 0xFF000000u) | lift(16) | lift(8) | lift(0);
        }
        put((name + ".png").c_str(), both);
        ok = ok && demo::WriteAnimeFile(stage / (name + ".anm"), demo::MenuButtonAnime());
    };

    Picture title = Screen(0xFF102048, 0xFF402060, nullptr);
    // The game's name as the window's caption gives it, the subtitle under the name.
    title.Centred(96, 96, "Solvane", 0xFFF0C0);
    title.Centred(206, 44, "～星辰回廊～", 0xFFF0C0);
    put("TitleBack.png", title);
    const struct {
        const char* file;
        const char* label;
    } buttons[6] = {{"TitleStart.png", "开始游戏"},  {"TitleLoad.png", "读取进度"},
                    {"TitleAlbum.png", "鉴赏画廊"},  {"TitleSound.png", "音乐欣赏"},
                    {"TitleOption.png", "环境设定"}, {"TitleExit.png", "结束游戏"}};
    for (const auto& b : buttons) put(b.file, Button(308, 48, b.label, 28));
    const char* calls[3] = {"第一章", "第二章", "第三章"};
    const uint32_t tints[3][2] = {
        {0xFF000000, 0xFF203060}, {0xFF000000, 0xFF602030}, {0xFF000000, 0xFF206040}};
    for (int i = 0; i < 3; ++i) {
        Picture call(1280, 720);
        call.Gradient(tints[i][0], tints[i][1]);
        call.Centred(320, 64, calls[i], 0xFFFFFF);
        put(("TitleCall0" + std::to_string(i + 1) + ".png").c_str(), call);
    }

    const struct {
        const char* file;
        const char* question;
    } bases[3] = {{"CfmBaseExit.png", "要结束游戏吗？"},
                  {"CfmBaseSave.png", "要保存到这个位置吗？"},
                  {"CfmBaseTitle.png", "要返回标题画面吗？"}};
    for (const auto& b : bases) {
        Picture base(558, 329, 0xE0182038);
        base.Frame(0, 0, 558, 329, 3, 0xFF8090C0);
        base.Centred(80, 32, b.question, 0xFFFFFF);
        put(b.file, base);
    }
    // The dialog sets its two buttons 231 pixels apart.
    put("CfmYes.png", Button(223, 56, "是", 32));
    put("CfmNo.png", Button(223, 56, "否", 32));
    put("CfmLight.png", Light(223, 56, 0x405080));

    Picture config = Screen(0xFF183018, 0xFF304830, "环境设定");
    const char* rows[5] = {"音乐音量", "语音音量", "音效音量", "文字速度", "画面模式"};
    for (int r = 0; r < 5; ++r) {
        config.Text(380, 202 + 70 * r + 12, 28, rows[r], 0xFFFFFF);
        if (r < 4) config.Box(642, 202 + 70 * r + 22, 642 + 201, 202 + 70 * r + 26, 0xFFA0C0A0);
    }
    config.Text(540, 552 + 10, 28, "恢复默认", 0xFFFFFF);
    put("CfgBack.png", config);
    const char* baseFiles[5] = {"CfgBaseBGM.png", "CfgBaseVoice.png", "CfgBaseSE.png",
                                "CfgBaseText.png", "CfgBaseScreen.png"};
    for (const char* f : baseFiles) {
        Picture base(560, 56, 0x60406040);
        base.Frame(0, 0, 560, 56, 2, 0xFFA0E0A0);
        put(f, base);
    }
    Picture reset(240, 56, 0x60406040);
    reset.Frame(0, 0, 240, 56, 2, 0xFFA0E0A0);
    put("CfgBaseReset.png", reset);
    Picture knob(18, 76);
    knob.Box(0, 0, 18, 38, 0xFFC0C0C0);
    knob.Box(0, 38, 18, 76, 0xFFFFF0A0);
    put("CfgBar.png", knob);
    const struct {
        const char* file;
        const char* label;
        bool lit;
    } onOff[4] = {{"CfgBtnOnD.png", "全屏", false},
                  {"CfgBtnOnL.png", "全屏", true},
                  {"CfgBtnOffD.png", "窗口", false},
                  {"CfgBtnOffL.png", "窗口", true}};
    for (const auto& b : onOff) {
        Picture p(110, 44, b.lit ? 0xF04878B8 : 0xC0283C64);
        p.Frame(0, 0, 110, 44, 2, 0xFFC0E0FF);
        p.Centred(8, 28, b.label, 0xFFFFFF);
        putAnimated(std::string(b.file, std::strlen(b.file) - 4), p);
    }
    put("CfgLight.png", Light(574, 72, 0x305030));
    put("CfgLightS.png", Light(256, 68, 0x305030));
    put("CmBtnBack.png", Button(140, 48, "返回", 28));

    put("SaveBG_S.png", SavePage(0xFF301818, 0xFF503028, "保存进度", 0xC08070));
    put("SaveBG_L.png", SavePage(0xFF181830, 0xFF283050, "读取进度", 0x8090C0));
    Picture tn(189, 115 * 6);
    for (int f = 0; f < 6; ++f)
        tn.Frame(0, 115 * f, 189, 115 * (f + 1), 3 + f % 3, 0xFF6070A0 + uint32_t(f) * 0x101008);
    put("CmTNLight.png", tn);
    Picture fresh(48, 22, 0xFFD04020);
    fresh.Text(4, 1, 20, "新", 0xFFFFFF);
    put("SaveNew.png", fresh);
    const char* pages[3] = {"一", "二", "三"};
    for (int i = 0; i < 3; ++i) {
        Picture page(48, 40, 0xC0283C64);
        page.Frame(0, 0, 48, 40, 2, 0xFF6080B0);
        page.Centred(6, 28, pages[i], 0xFFFFFF);
        putAnimated("CmPage" + std::to_string(i + 1), page);
    }

    ok = ok && writeOgg(stage / "TitleVoice01H.ogg", 700, 880, 0.6, false) &&
         writeOgg(stage / "TitleVoice01A.ogg", 560, 700, 0.6, false) &&
         writeOgg(stage / "TitleVoice02H.ogg", 880, 660, 0.6, false) &&
         writeOgg(stage / "TitleVoice02A.ogg", 700, 520, 0.6, false);
    return ok;
}

