// Movies and music made for the glue's tests: pictures numbered by their bars, sound as ADX.
#pragma once
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "media/zradx.h"
#include "platform/moviewrite.h"

struct MovieShape {
    int32_t width = 160, height = 96, frames = 30;
    bool sound = true;
    bool alpha = false;
    uint32_t rate = 48000;
    uint8_t channels = 2;
};

// A tone of `seconds`, as interleaved frames.
inline std::vector<int16_t> Tone(uint32_t rate, uint8_t channels, double seconds, double hz = 440) {
    const uint32_t n = static_cast<uint32_t>(rate * seconds);
    std::vector<int16_t> pcm(static_cast<size_t>(n) * channels);
    for (uint32_t i = 0; i < n; ++i)
        for (uint8_t c = 0; c < channels; ++c)
            pcm[i * channels + c] =
                static_cast<int16_t>(8000 * std::sin(2 * M_PI * hz * (c + 1) * i / rate));
    return pcm;
}

inline std::shared_ptr<const std::vector<uint8_t>> MakeMovie(const MovieShape& s) {
    plat::MovieWriteOptions o;
    o.width = s.width;
    o.height = s.height;
    o.frames = s.frames;
    o.alpha = s.alpha;
    o.bitRate = 2000000;
    if (s.sound) {
        const auto pcm = Tone(s.rate, s.channels, static_cast<double>(s.frames) / o.fps);
        AdxEncodeOptions a;
        a.channels = s.channels;
        a.rate = s.rate;
        o.adx = EncodeAdx(pcm.data(), static_cast<uint32_t>(pcm.size() / s.channels), a);
        o.adxRate = s.rate;
        o.adxChannels = s.channels;
    }
    auto bytes = plat::WriteMovie(
        o,
        [&](int32_t i, uint8_t* bgra, int32_t pitch) {
            plat::PaintFrameBars(bgra, pitch, s.width, s.height, static_cast<uint32_t>(i));
            if (s.alpha)
                for (int32_t y = 0; y < s.height; ++y)
                    for (int32_t x = 0; x < s.width; ++x)
                        bgra[y * pitch + x * 4 + 3] = static_cast<uint8_t>(x * 255 / s.width);
        },
        nullptr);
    return std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}
