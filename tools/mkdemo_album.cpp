// The album's and the music room's demo data: their pictures and tables in the game archive,
// the event pictures bg500-bg505 in "EvBG.pak" (JPEG, PNG and BMP), and short music tracks
// 3-9 and the album's track 13 beside the two the media demo writes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "foundation/zrpack.h"
#include "media/zradx.h"
#include "platform/codepage.h"
#include "tools/mkdemo_draw.h"

namespace fs = std::filesystem;

namespace {

using demo::Mix;
using demo::Picture;
using demo::WriteBmp;
using demo::WriteBytes;
using demo::WriteJpeg;
using demo::WritePng;

// A vertical gradient with a few soft circles, so each picture is told apart at a glance.
Picture Scene(int w, int h, uint32_t top, uint32_t bottom, int seed) {
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p.Set(x, y, Mix(top, bottom, y, h - 1));
    for (int i = 0; i < 5; ++i) {
        const int cx = (seed * 97 + i * 263) % w, cy = (seed * 53 + i * 151) % h;
        const int r = h / (6 + i);
        for (int y = std::max(0, cy - r); y < std::min(h, cy + r); ++y)
            for (int x = std::max(0, cx - r); x < std::min(w, cx + r); ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r)
                    p.Set(x, y, Mix(Mix(top, bottom, y, h - 1), 0xFFFFFF, 1, 3));
    }
    return p;
}

// Blocks stacked from the top, each a frame of the widget: a shape whose brightness steps.
Picture Strip(int w, int h, int blocks, uint32_t colour, bool arrowUp, bool arrowDown) {
    Picture p(w, h * blocks);
    p.Fill(0, 0, w, h * blocks, 0, 0);
    for (int b = 0; b < blocks; ++b) {
        const uint32_t c = Mix(colour, 0xFFFFFF, b, blocks + 1);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                bool in = true;
                const int half = w / 2;
                if (arrowUp) in = std::abs(x - half) <= y * half / h;
                if (arrowDown) in = std::abs(x - half) <= (h - 1 - y) * half / h;
                if (!arrowUp && !arrowDown) {
                    const int dx = x - w / 2, dy = y - h / 2;
                    in = dx * dx * h * h + dy * dy * w * w <= (w * h / 2) * (w * h / 2);
                }
                if (in) p.Set(x, b * h + y, c);
            }
    }
    return p;
}

// A few seconds of plain sine notes that do not loop, so continuous play moves on.
std::vector<uint8_t> Tune(int track) {
    constexpr uint32_t rate = 22050;
    const int seconds = 3 + track % 3;
    std::vector<int16_t> pcm(size_t(rate) * seconds * 2);
    for (size_t i = 0; i < pcm.size() / 2; ++i) {
        const double t = double(i) / rate;
        const int note = 57 + (track * 5 + static_cast<int>(t * 2) * 3) % 15;
        const double hz = 440.0 * std::pow(2.0, (note - 69) / 12.0);
        const double env = std::exp(-3.0 * (t * 2 - std::floor(t * 2)));
        const auto v = static_cast<int16_t>(5000 * env * std::sin(2 * M_PI * hz * t));
        pcm[i * 2] = pcm[i * 2 + 1] = v;
    }
    AdxEncodeOptions o;
    o.rate = rate;
    o.channels = 2;
    o.version = 4;
    o.loop = track == 13;
    o.loopStart = 0;
    o.loopEnd = static_cast<uint32_t>(pcm.size() / 2);
    return EncodeAdx(pcm.data(), static_cast<uint32_t>(pcm.size() / 2), o);
}

// One picture, several, a locked one (bg504 is never shown by the story), the opening movie.
const char kAlbumTbl[] =
    "name,#entry,#p1,#p2,#p3,#p4,#p5,#p6,#p7,#p8,!\r\n"
    "#first,0,500\r\n"
    "#several,1,501,502,503\r\n"
    "#locked,2,504\r\n"
    "#opening,3,680\r\n"
    "#last,4,505,500\r\n";

// Titles in GBK as the list's font expects.
const char* const kTitles[9] = {"清晨的校园", "走廊", "图书馆",   "放学后", "雨天",
                                "夜空",       "约定", "回家的路", "尾声"};

bool WriteEventPictures(const fs::path& out) {
    const fs::path stage = out / "mkdemo.evbg";
    std::error_code ec;
    fs::remove_all(stage, ec);
    fs::create_directories(stage, ec);
    const uint32_t tops[6] = {0x3050A0, 0xA04030, 0x208040, 0x806020, 0x502080, 0x207080};
    const char* const names[6] = {"bg500.jpg", "bg501.png", "bg502.bmp",
                                  "bg503.jpg", "bg504.png", "bg505.bmp"};
    bool ok = !ec;
    for (int i = 0; ok && i < 6; ++i) {
        const Picture p = Scene(1280, 720, tops[i], 0x101010, i + 1);
        const fs::path path = stage / names[i];
        const std::string ext = path.extension().string();
        ok = ext == ".jpg"   ? WriteJpeg(path, p, 90)
             : ext == ".png" ? WritePng(path, p, false)
                             : WriteBmp(path, p);
    }
    ZRPack pack;
    pack.SetReadOnly(false);
    // The stage's backgrounds may be in the archive already: the event pictures join them.
    const fs::path archive = out / "EvBG.pak";
    if (ok) {
        ok = fs::exists(archive) ? pack.OpenPack(archive.string().c_str()) && pack.IsOpen()
                                 : pack.NewPack(archive.string().c_str());
    }
    for (int i = 0; ok && i < 6; ++i)
        ok = pack.AddFile(names[i], (stage / names[i]).string().c_str(), true);
    ok = pack.EndPack() && ok;
    fs::remove_all(stage, ec);
    if (!ok) std::fprintf(stderr, "mkdemo: writing EvBG.pak failed\n");
    return ok;
}

}  // namespace

bool WriteAlbumData(const fs::path& stage, const fs::path& out) {
    bool ok = WritePng(stage / "AlbumBG.png", Scene(1280, 720, 0x202840, 0x080810, 9), false) &&
              WritePng(stage / "SoundBG.png", Scene(1280, 720, 0x302018, 0x080808, 11), false);
    Picture icon(20, 20);
    icon.Fill(0, 0, 20, 20, 0, 0);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if (x >= 4 && std::abs(y - 10) <= (x - 4) * 10 / 16) icon.Set(x, y, 0xFFFFFF);
    ok = ok && WritePng(stage / "AlbumMov.png", icon, true);
    const uint32_t thumbs[6] = {0x3050A0, 0xA04030, 0x208040, 0x806020, 0x502080, 0x207080};
    for (int i = 0; ok && i < 6; ++i) {
        char name[24];
        std::snprintf(name, sizeof name, "album_ev%02d.png", i);
        ok = WritePng(stage / name, Scene(167, 93, thumbs[i], 0x101010, i + 1), false);
    }
    Picture base(560, 58);
    base.Fill(0, 0, 560, 58, 0x4070C0, 96);
    ok = ok && WritePng(stage / "SoundBase.png", base, true) &&
         WritePng(stage / "SoundUp.png", Strip(40, 24, 6, 0xC0A040, true, false), true) &&
         WritePng(stage / "SoundDown.png", Strip(40, 24, 6, 0xC0A040, false, true), true) &&
         WritePng(stage / "SoundFlag.png", Strip(40, 40, 4, 0x40C080, false, false), true);
    // The shared back button and thumbnail light, when no other demo part drew them.
    if (ok && !fs::exists(stage / "CmBtnBack.png"))
        ok = WritePng(stage / "CmBtnBack.png", Strip(140, 50, 2, 0x806040, false, false), true);
    if (ok && !fs::exists(stage / "CmTNLight.png")) {
        Picture light(189, 115 * 6);
        light.Fill(0, 0, light.w, light.h, 0);
        for (int b = 0; b < 6; ++b) {
            const uint32_t c = Mix(0x202030, 0x6060A0, b < 3 ? b : 6 - b, 3);
            light.Fill(0, b * 115, 189, b * 115 + 6, c);
            light.Fill(0, b * 115 + 109, 189, b * 115 + 115, c);
            light.Fill(0, b * 115, 6, b * 115 + 115, c);
            light.Fill(183, b * 115, 189, b * 115 + 115, c);
        }
        ok = WritePng(stage / "CmTNLight.png", light, false);
    }
    ok = ok && WriteBytes(stage / "AlbumTbl.csv", kAlbumTbl, sizeof kAlbumTbl - 1);
    std::string sound = "name,#track,#title,!\r\n";
    for (int i = 0; i < 9; ++i)
        sound += "#t" + std::to_string(i + 1) + "," + std::to_string(i + 1) + "," +
                 plat::GbkText(kTitles[i]) + "\r\n";
    ok = ok && demo::WriteText(stage / "SoundTbl.csv", sound);
    ok = ok && WriteEventPictures(out);
    std::error_code ec;
    fs::create_directories(out / "BGM", ec);
    for (int track : {3, 4, 5, 6, 7, 8, 9, 13}) {
        char name[24];
        std::snprintf(name, sizeof name, "Track%02d.adx", track);
        const fs::path path = out / "BGM" / name;
        if (!ok || fs::exists(path)) continue;
        const std::vector<uint8_t> adx = Tune(track);
        ok = !adx.empty() && WriteBytes(path, adx.data(), adx.size());
    }
    if (!ok) std::fprintf(stderr, "mkdemo: writing the album and music room data failed\n");
    return ok;
}
