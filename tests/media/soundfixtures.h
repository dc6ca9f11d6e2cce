// Sound fixtures made by the tests themselves: tones, RIFF WAVE files from a small writer,
// Ogg Vorbis files through libvorbisenc, ADPCM and MP3 files through sox, and source streams
// with awkward behaviour.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/zrstream.h"

namespace fixtures {

using Bytes = std::vector<uint8_t>;

// Interleaved 16-bit sine, the same tone on every channel.
std::vector<int16_t> Tone(uint32_t frames, uint32_t channels, uint32_t rate, double hz = 440.0,
                          double amplitude = 12000.0);
Bytes ToBytes(const std::vector<int16_t>& samples);
std::vector<int16_t> ToSamples(const Bytes& bytes);

struct Chunk {
    std::string id;
    Bytes body;
};
Bytes PcmFormatBody(uint16_t channels, uint32_t rate, uint16_t bits);
// "RIFF" <size> "WAVE" and the chunks, each padded to an even size.
Bytes Riff(const std::vector<Chunk>& chunks);
Bytes PcmWave(uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& data);

Bytes EncodeVorbis(const std::vector<int16_t>& samples, uint32_t channels, uint32_t rate,
                   int serial = 1);

// True when sox made the file; `args` go between the input and output options.
bool HaveSox();
Bytes Sox(const std::string& outputOptions, const std::string& extension, double seconds = 1.0);
// sox's own decode of a file to 16-bit samples in the file's channels and rate; `type` is the
// file's extension. Empty when sox failed.
Bytes SoxDecode(const Bytes& file, const std::string& type);

// Share of the signal's energy that lies at `hz` (0..1), per channel of interleaved samples.
double ToneShare(const std::vector<int16_t>& samples, uint32_t channels, uint32_t channel,
                 uint32_t rate, double hz);
double Rms(const std::vector<int16_t>& samples);

// Reads everything a stream delivers in pieces of `piece` bytes.
Bytes ReadAll(ZRStream& s, int piece = 4096);

// A memory stream that refuses to seek; Reset still starts it over.
class ForwardStream : public ZRMemoryStream {
public:
    explicit ForwardStream(const Bytes& data)
        : ZRMemoryStream(data.data(), static_cast<int>(data.size())) {}
    bool IsSeekable() override { return false; }
    int Seek(int, ZRSeekWhence) override { return -1; }
    int resets = 0;
    bool Reset() override {
        ++resets;
        return ZRMemoryStream::Reset();
    }
};

// A memory stream that counts the bytes read from it.
class CountingStream : public ZRMemoryStream {
public:
    explicit CountingStream(const Bytes& data)
        : ZRMemoryStream(data.data(), static_cast<int>(data.size())) {}
    int64_t bytesRead = 0;
    int Read(void* buffer, int count) override {
        const int n = ZRMemoryStream::Read(buffer, count);
        bytesRead += n;
        return n;
    }
};

// A memory stream whose reads stop short at byte `limit`, as a file cut off under its reader;
// or, `failing`, whose reads that reach it fail.
class CutStream : public ZRMemoryStream {
public:
    CutStream(const Bytes& data, int limit, bool failing = false)
        : ZRMemoryStream(data.data(), static_cast<int>(data.size())),
          limit_(limit),
          failing_(failing) {}
    int Read(void* buffer, int count) override {
        if (failing_ && GetPosition() + count > limit_) return -1;
        return ZRMemoryStream::Read(buffer, std::max(0, std::min(count, limit_ - GetPosition())));
    }

private:
    int limit_;
    bool failing_;
};

// Claims to seek but every seek fails.
class BrokenSeekStream : public ZRMemoryStream {
public:
    explicit BrokenSeekStream(const Bytes& data)
        : ZRMemoryStream(data.data(), static_cast<int>(data.size())) {}
    int Seek(int, ZRSeekWhence) override { return -1; }
};

}  // namespace fixtures
