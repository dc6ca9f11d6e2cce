// Movies: MPEG program streams with MPEG-1 or MPEG-2 video and, when the stream carries the
// marker packet, ADX sound, decoded by FFmpeg. Each open movie runs one decode thread that
// fills two bounded queues (decoded pictures, and PCM) and sleeps while they are full; a
// picture is converted to 24- or 32-bit rows only when it is drawn, straight into the
// caller's rows, and one passed over for a later picture is never converted. The pictures are timed by a clock: the samples the
// mixer has taken from the movie's stream voice, less the output latency; without sound, or
// without a mixer, the game's millisecond clock (plat::GetTickCount), so that a game moved
// frame by frame moves its soundless movies with it. An alpha movie is coded twice as high
// with its alpha plane as the luma of the lower half; it reports half the coded height and
// decodes to 32-bit pixels with alpha.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plat {

class SoundMixer;

// The tag after the marker of the marker packet; the byte after it carries the flags.
constexpr uint8_t kMovieTag[4] = {'Z', 'R', 'M', 'V'};
constexpr uint8_t kMovieFlagAlpha = 1;
// The type value of a movie without alpha (anything else has alpha).
constexpr int32_t kMovieTypeOpaque = 17;

struct MovieHead {
    int32_t width = 0;
    int32_t height = 0;  // the picture's height: half the coded height for an alpha movie
    int32_t type = 0;    // kMovieTypeOpaque, or 0 for an alpha movie
    bool alpha = false;
};

// Reads the size from the first MPEG sequence header among the bytes and the alpha flag from
// our marker packet; false when there is no complete sequence header or its size is 0.
bool ParseMovieHead(const uint8_t* data, size_t size, MovieHead* head);

// Pixels [x, x + w) of one row of a 4:2:0 picture in the video range as blue, green, red and
// 255 (bytesPerPixel 4) or blue, green, red (3), by the standard-definition colour matrix:
// `luma` is the row's luma, `cb` and `cr` the chroma rows it uses (half as wide, rounded up).
// Writes exactly w pixels at out, which needs no alignment.
void YuvRowToBgr(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int32_t x, int32_t w,
                 uint8_t* out, int32_t bytesPerPixel);
// Rows go 32 pixels a step where the processor has the instructions for it (the default);
// turned off, 16 a step, as on processors without them.
void UseWideYuvSteps(bool on);

// The block a picture of another size or format is scaled into. libswscale's vector paths store
// whole vectors, so they write past the last pixel of a row (and of the picture) unless the width
// happens to be a multiple of the vector: rows are padded to libavutil's widest alignment and the
// block carries a tail of the same size.
struct MoviePictureRows {
    int32_t stride = 0;  // bytes from one row to the next
    size_t bytes = 0;    // the whole block, tail included
};
MoviePictureRows PictureRows(int32_t width, int32_t height, int32_t bytesPerPixel);

// Tests only: called on the decode thread before each read from a movie file beyond its head,
// with the position read from, so that a test can hold the reader there as a stalled drive
// would. An empty hook removes it.
void SetMovieReadHook(std::function<void(int64_t position)> hook);

struct MovieOptions {
    bool loop = false;
    int32_t volume = 0;      // hundredths of a decibel
    int32_t speed = 1000;    // thousandths of normal speed
    int32_t frameBits = 32;  // rows a picture of another size or format is scaled to (24 or 32)
    SoundMixer* mixer = nullptr;
};

class MovieDecoder {
  public:
    // The file at a host path, read as it plays.
    static std::unique_ptr<MovieDecoder> OpenFile(const std::string& hostPath,
                                                  const MovieOptions& options, std::string* error);
    static std::unique_ptr<MovieDecoder> OpenMemory(
        std::shared_ptr<const std::vector<uint8_t>> bytes, const MovieOptions& options,
        std::string* error);
    ~MovieDecoder();
    MovieDecoder(const MovieDecoder&) = delete;
    MovieDecoder& operator=(const MovieDecoder&) = delete;

    const MovieHead& Head() const;
    // Waits until the first picture is ready (and playback has started) or the limit passes.
    bool WaitStarted(std::chrono::milliseconds limit);
    bool Started() const;
    // Playing: started, neither stopped nor at its end.
    bool Playing() const;
    bool Stopped() const;
    // Every picture has been shown and the sound has run out.
    bool Ended() const;
    // Ends playback for good: the decode thread ends and the sound stops.
    void Stop();
    // Stops, wakes and joins the decode thread and lets go of the mixer's voice.
    void Close();

    // When a picture newer than the last one drawn is due, copies the part of it from
    // (srcX, srcY), w x h pixels, to dest (rows `pitch` bytes apart, `bits` 24 or 32 per pixel)
    // and returns true. The rectangle is cut to the picture.
    bool Draw(uint8_t* dest, int32_t pitch, int32_t bits, int32_t srcX, int32_t srcY, int32_t w,
              int32_t h);
    // The same in two steps, for a caller that shows a picture later or more than once: Take
    // makes the due picture, when there is a newer one than the last taken, the shown one (true)
    // without converting it; DrawShown converts a part of the shown picture into dest, as often
    // as asked, until the next Take or the close. False when no picture has been taken.
    bool Take();
    bool DrawShown(uint8_t* dest, int32_t pitch, int32_t bits, int32_t srcX, int32_t srcY,
                   int32_t w, int32_t h);
    // Seconds of movie time now.
    double Clock();
    // The mixer's voice of the movie's sound, 0 when it has none.
    uint32_t Voice() const;
    // Pictures the decode thread has decoded so far.
    uint64_t PicturesDecoded() const;
    // Whether the decode thread has the picture due `ahead` seconds from now, or has stopped
    // for good or for room in its queue: a caller that moves the game's clock by hand waits
    // for this before it moves the clock on, so that no due picture is skipped.
    bool DecodedAhead(double ahead);

  private:
    struct Impl;
    explicit MovieDecoder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace plat
