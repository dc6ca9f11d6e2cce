// The stand-in title's data: its picture and two greeting voices in the game archive, and the
// title's music track beside it.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "foundation/zrstream.h"
#include "media/zradx.h"
#include "media/zrpng.h"
#include "tools/mkdemo_draw.h"

namespace fs = std::filesystem;

namespace {

constexpr int kW = 1280, kH = 720;

// A night-blue gradient with a ring of stars and a bright band where the title's name goes.
std::vector<unsigned char> DrawTitle() {
    std::vector<unsigned char> bgr(size_t(kW) * kH * 3);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            unsigned char* p = &bgr[(size_t(y) * kW + x) * 3];
            p[0] = static_cast<unsigned char>(90 + y * 120 / kH);
            p[1] = static_cast<unsigned char>(20 + y * 40 / kH);
            p[2] = static_cast<unsigned char>(10 + x * 30 / kW);
            if (y > 250 && y < 330 && x > 240 && x < 1040) {
                p[0] = 230, p[1] = 220, p[2] = 200;
            }
        }
    for (int i = 0; i < 48; ++i) {
        const double a = i * 2 * M_PI / 48;
        const int cx = kW / 2 + static_cast<int>(420 * std::cos(a));
        const int cy = 290 + static_cast<int>(220 * std::sin(a));
        for (int dy = -3; dy <= 3; ++dy)
            for (int dx = -3; dx <= 3; ++dx) {
                const int x = cx + dx, y = cy + dy;
                if (x < 0 || y < 0 || x >= kW || y >= kH || dx * dx + dy * dy > 9) continue;
                unsigned char* p = &bgr[(size_t(y) * kW + x) * 3];
                p[0] = 200, p[1] = 240, p[2] = 255;
            }
    }
    return bgr;
}

// A slow tune of plain sine notes that loops whole.
std::vector<uint8_t> TitleTrack() {
    constexpr uint32_t rate = 44100;
    const int notes[8] = {64, 67, 71, 72, 71, 67, 64, 59};
    std::vector<int16_t> pcm(size_t(rate) * 8 * 2);
    for (size_t i = 0; i < pcm.size() / 2; ++i) {
        const double t = double(i) / rate;
        const int n = notes[static_cast<int>(t) % 8];
        const double hz = 440.0 * std::pow(2.0, (n - 69) / 12.0);
        const double env = std::exp(-2.0 * (t - std::floor(t)));
        const auto v = static_cast<int16_t>(6000 * env * std::sin(2 * M_PI * hz * t));
        pcm[i * 2] = pcm[i * 2 + 1] = v;
    }
    AdxEncodeOptions o;
    o.rate = rate;
    o.channels = 2;
    o.version = 4;
    o.loop = true;
    o.loopStart = 0;
    o.loopEnd = static_cast<uint32_t>(pcm.size() / 2);
    return EncodeAdx(pcm.data(), static_cast<uint32_t>(pcm.size() / 2), o);
}

}  // namespace

bool WriteFlowData(const fs::path& stage, const fs::path& out,
                   bool (*writeOgg)(const fs::path&, double, double, double, bool)) {
    const std::vector<unsigned char> title = DrawTitle();
    ZRFileStream png((stage / "Title.png").string().c_str(), zrfmCreate);
    if (!png.IsOpen() || !SavePng(&png, title.data(), kW, kH, pf24_888)) return false;
    if (!writeOgg(stage / "TitleVoice03H.ogg", 660, 990, 0.4, false) ||
        !writeOgg(stage / "TitleVoice03A.ogg", 520, 390, 0.4, false))
        return false;
    const fs::path track = out / "BGM" / "Track43.adx";
    if (fs::exists(track)) return true;
    if (!demo::WriteOutput(track, TitleTrack())) {
        std::fprintf(stderr, "mkdemo: cannot write %s\n", track.c_str());
        return false;
    }
    return true;
}
