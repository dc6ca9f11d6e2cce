#include "tools/mkdemo_media.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "media/zradx.h"
#include "platform/moviewrite.h"
#include "tools/mkdemo_draw.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kRate = 44100;

// A plucked note added into stereo frames, panned by `pan` (-1 left .. 1 right).
void Note(std::vector<int16_t>& pcm, double at, double seconds, double hz, double level,
          double pan) {
    const size_t first = static_cast<size_t>(at * kRate);
    const size_t count = static_cast<size_t>(seconds * kRate);
    for (size_t i = 0; i < count && (first + i) * 2 + 1 < pcm.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double env = std::exp(-3.0 * t / seconds) * std::min(1.0, t * 200);
        const double v =
            level * env * (std::sin(2 * M_PI * hz * t) + 0.3 * std::sin(4 * M_PI * hz * t));
        for (int c = 0; c < 2; ++c) {
            const double g = c == 0 ? (1 - pan) / 2 : (1 + pan) / 2;
            int32_t s = pcm[(first + i) * 2 + c] + static_cast<int32_t>(v * g * 32767);
            pcm[(first + i) * 2 + c] = static_cast<int16_t>(std::clamp(s, -32768, 32767));
        }
    }
}

double Midi(int n) {
    return 440.0 * std::pow(2.0, (n - 69) / 12.0);
}

// A tune on a chord progression: the bass on each beat, an arpeggio above it.
std::vector<int16_t> Tune(double seconds, const std::vector<int>& roots, double beat, int seed) {
    std::vector<int16_t> pcm(static_cast<size_t>(seconds * kRate) * 2, 0);
    int step = 0;
    for (double t = 0; t + beat <= seconds; t += beat, ++step) {
        const int root = roots[(step / 4) % roots.size()];
        Note(pcm, t, beat * 1.8, Midi(root - 12), 0.22, -0.3);
        static const int kArp[4] = {0, 4, 7, 12};
        for (int k = 0; k < 2; ++k)
            Note(pcm, t + k * beat / 2, beat, Midi(root + 12 + kArp[(step * 2 + k + seed) % 4]),
                 0.12, 0.4);
    }
    return pcm;
}

std::vector<uint8_t> Adx(const std::vector<int16_t>& pcm, bool loop, uint32_t loopStart,
                         uint32_t loopEnd) {
    AdxEncodeOptions o;
    o.rate = kRate;
    o.channels = 2;
    o.version = 4;
    o.loop = loop;
    o.loopStart = loopStart;
    o.loopEnd = loopEnd;
    return EncodeAdx(pcm.data(), static_cast<uint32_t>(pcm.size() / 2), o);
}

void PaintOpening(int32_t index, uint8_t* bgra, int32_t pitch, int32_t w, int32_t h) {
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = bgra + static_cast<ptrdiff_t>(y) * pitch;
        for (int32_t x = 0; x < w; ++x) {
            const int v = (x + y + index * 8) & 255;
            row[x * 4 + 0] = static_cast<uint8_t>(60 + v / 4);
            row[x * 4 + 1] = static_cast<uint8_t>(30 + y * 60 / h);
            row[x * 4 + 2] = static_cast<uint8_t>(20 + x * 40 / w);
            row[x * 4 + 3] = 0xFF;
        }
    }
    plat::PaintFrameBars(bgra, pitch, w, h, static_cast<uint32_t>(index));
}

// The ending: a night sky that turns to dawn while a sun climbs over the hills.
void PaintEnding(int32_t index, int32_t frames, uint8_t* bgra, int32_t pitch, int32_t w,
                 int32_t h) {
    const double t = static_cast<double>(index) / frames;
    const double sunX = w * 0.5, sunY = h * (0.95 - 0.55 * t), sunR = h * 0.09;
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = bgra + static_cast<ptrdiff_t>(y) * pitch;
        const double up = 1.0 - static_cast<double>(y) / h;
        for (int32_t x = 0; x < w; ++x) {
            const double hill = h * (0.72 + 0.06 * std::sin(x * 6.0 / w + 1.3));
            double r, g, b;
            if (y > hill) {
                r = 20 + 40 * t, g = 40 + 70 * t, b = 30 + 30 * t;
            } else {
                r = 20 + 220 * t * (1 - up * 0.6), g = 20 + 150 * t * (1 - up * 0.3),
                b = 60 + 120 * t * up;
                const double d = std::hypot(x - sunX, y - sunY) / sunR;
                if (d < 1) r = 255, g = 230, b = 150;
            }
            row[x * 4 + 0] = static_cast<uint8_t>(std::clamp(b, 0.0, 255.0));
            row[x * 4 + 1] = static_cast<uint8_t>(std::clamp(g, 0.0, 255.0));
            row[x * 4 + 2] = static_cast<uint8_t>(std::clamp(r, 0.0, 255.0));
            row[x * 4 + 3] = 0xFF;
        }
    }
    plat::PaintFrameBars(bgra, pitch, w, h, static_cast<uint32_t>(index));
}

// A burst that grows and fades: colour in the picture, its strength in the alpha.
void PaintBurst(int32_t index, int32_t frames, uint8_t* bgra, int32_t pitch, int32_t w, int32_t h) {
    const double radius = (0.2 + 0.8 * index / frames) * h / 2;
    const double fade = 1.0 - static_cast<double>(index) / frames;
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = bgra + static_cast<ptrdiff_t>(y) * pitch;
        for (int32_t x = 0; x < w; ++x) {
            const double d = std::hypot(x - w / 2.0, y - h / 2.0) / radius;
            const double a = d < 1 ? fade * (1 - d * d) : 0;
            row[x * 4 + 0] = 40;
            row[x * 4 + 1] = static_cast<uint8_t>(120 + 135 * (1 - std::min(d, 1.0)));
            row[x * 4 + 2] = 255;
            row[x * 4 + 3] = static_cast<uint8_t>(std::lround(255 * a));
        }
    }
}

}  // namespace

bool WriteDemoMedia(const fs::path& out) {
    bool ok = true;
    auto make = [&](const char* name, auto build) {
        const fs::path path = out / name;
        if (fs::exists(path)) return;
        if (!demo::WriteOutput(path, build())) {
            std::fprintf(stderr, "mkdemo: cannot write %s\n", path.c_str());
            ok = false;
        }
    };
    make("BGM/Track01.adx", [] {
        // Four seconds of intro, then eight that loop.
        const auto intro = Tune(4, {57, 53}, 0.25, 0);
        const auto body = Tune(8, {60, 57, 53, 55}, 0.25, 1);
        std::vector<int16_t> pcm(intro);
        pcm.insert(pcm.end(), body.begin(), body.end());
        return Adx(pcm, true, static_cast<uint32_t>(intro.size() / 2),
                   static_cast<uint32_t>(pcm.size() / 2));
    });
    make("BGM/Track02.adx", [] { return Adx(Tune(6, {62, 59, 55, 57}, 0.3, 2), false, 0, 0); });
    make("Movie/SVOP.sfd", [] {
        plat::MovieWriteOptions o;
        o.width = 1280;
        o.height = 720;
        o.frames = 120;
        o.bitRate = 6000000;
        const auto pcm = Tune(4, {60, 65, 67, 60}, 0.25, 3);
        o.adx = Adx(pcm, false, 0, 0);
        o.adxRate = kRate;
        o.adxChannels = 2;
        return plat::WriteMovie(
            o,
            [&](int32_t i, uint8_t* bgra, int32_t pitch) {
                PaintOpening(i, bgra, pitch, o.width, o.height);
            },
            nullptr);
    });
    make("Movie/SVED.sfd", [] {
        plat::MovieWriteOptions o;
        o.width = 1280;
        o.height = 720;
        o.frames = 150;
        o.bitRate = 6000000;
        const auto pcm = Tune(5, {60, 55, 57, 53}, 0.3, 1);
        o.adx = Adx(pcm, false, 0, 0);
        o.adxRate = kRate;
        o.adxChannels = 2;
        return plat::WriteMovie(
            o,
            [&](int32_t i, uint8_t* bgra, int32_t pitch) {
                PaintEnding(i, o.frames, bgra, pitch, o.width, o.height);
            },
            nullptr);
    });
    make("Battle/BtlDamageL.sfd", [] {
        plat::MovieWriteOptions o;
        o.width = 320;
        o.height = 240;
        o.frames = 20;
        o.alpha = true;
        return plat::WriteMovie(
            o,
            [&](int32_t i, uint8_t* bgra, int32_t pitch) {
                PaintBurst(i, o.frames, bgra, pitch, o.width, o.height);
            },
            nullptr);
    });
    return ok;
}
