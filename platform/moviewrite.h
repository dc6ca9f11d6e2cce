// Writes movies the decoder reads: MPEG-1 (or MPEG-2 4:2:2) video from libavcodec's encoder, packed
// by hand with optional ADX sound into an MPEG-1 program stream (libavformat's muxer refuses ADX),
// behind the marker packet that tells the reader the sound is ADX and carries our flags. For the
// demo data, the tests, the benchmarks and the fuzz seeds. Pictures can carry their own number as
// a row of bars, so a reader of the decoded picture can tell which one it got.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace plat {

struct MovieWriteOptions {
    int32_t width = 320;
    int32_t height = 240;  // the picture; an alpha movie is coded twice as high
    int32_t fps = 30;
    int32_t frames = 30;
    int32_t bitRate = 4000000;
    bool alpha = false;
    bool chroma422 = false;    // MPEG-2 video with full-height chroma instead of MPEG-1 4:2:0
    bool marker = true;        // without it the sound is taken for MPEG audio
    std::vector<uint8_t> adx;  // a whole ADX file (header, blocks, end block), or none
    uint32_t adxRate = 0;      // its rate and channels, to time its packets
    uint32_t adxChannels = 0;
};

// Fills picture `index` as 32-bit BGRA rows (alpha used only by alpha movies).
using MoviePainter = std::function<void(int32_t index, uint8_t* bgra, int32_t pitch)>;

// The program stream, or empty (with a reason) when the encoder refuses.
std::vector<uint8_t> WriteMovie(const MovieWriteOptions& options, const MoviePainter& paint,
                                std::string* error);

// Ten bars across the picture's middle third; bar i is bright when bit i of the number is set.
constexpr int kFrameBarBits = 10;
void PaintFrameBars(uint8_t* bgra, int32_t pitch, int32_t width, int32_t height, uint32_t number);
// Reads the number back from 24- or 32-bit rows.
uint32_t ReadFrameBars(const uint8_t* pixels, int32_t pitch, int32_t bits, int32_t width,
                       int32_t height);

}  // namespace plat
