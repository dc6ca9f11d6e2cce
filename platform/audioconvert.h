// Audio conversion service: turns blocks of compressed sound (MS ADPCM, IMA ADPCM, MPEG audio)
// into 16-bit PCM piece by piece, or passes PCM through unchanged. The sound decoders open one
// converter per stream, ask it how large the output of a given input will be, then feed it
// their source buffer and collect what it produced. Formats without a converter fail to open.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace plat {

enum AudioFormatTag : uint16_t {
    afPcm = 1,
    afMsAdpcm = 2,
    afImaAdpcm = 0x11,
    afMpegLayer3 = 0x55,
};

// A sound format as stored in a RIFF "fmt " chunk: 18 bytes of header, then `extra`.
struct AudioFormat {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint32_t bytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bits = 0;
    std::vector<uint8_t> extra;
};

// Reads the stored little-endian layout; fewer than 14 bytes fail. Missing fields are 0, and
// extra holds what the size field at offset 16 announces, cut to what `size` holds.
bool ParseAudioFormat(const uint8_t* data, uint32_t size, AudioFormat* format);
// 16-bit PCM at the source's channels and rate. A non-zero request must match the source.
bool SuggestPcmFormat(const AudioFormat& source, uint16_t channels, uint32_t rate,
                      uint16_t bits, AudioFormat* pcm);
AudioFormat MakePcmFormat(uint16_t channels, uint32_t rate, uint16_t bits);

enum ConvertFlag : uint32_t {
    cvWholeBlocks = 4,  // convert only whole source blocks; keep a partial one for later
    cvStart = 0x10,     // first piece of a stream: forget whatever the previous pieces left
    cvEnd = 0x20,       // last piece: convert partial blocks and flush
};

struct ConvertBuffers {
    const uint8_t* source = nullptr;
    uint32_t sourceLength = 0;
    uint32_t sourceUsed = 0;
    uint8_t* dest = nullptr;
    uint32_t destLength = 0;
    uint32_t destUsed = 0;
};

class AudioConverter {
public:
    virtual ~AudioConverter() = default;
    // Null when no converter turns `source` into `dest` (which must be PCM).
    static std::unique_ptr<AudioConverter> Open(const AudioFormat& source,
                                                const AudioFormat& dest);
    // Bytes of output that `sourceBytes` of input give (for MPEG audio an upper estimate);
    // false when the input size is unusable.
    virtual bool DestinationSize(uint32_t sourceBytes, uint32_t* destBytes) const = 0;
    // Converts as much of the source as fits the destination and reports both counts. A
    // piece marked cvEnd is only reported wholly used once all its output was delivered.
    // False on corrupt data.
    virtual bool Convert(ConvertBuffers& io, uint32_t flags) = 0;
};

// Reads up to `n` bytes of a stream from byte `offset` on; returns how many, 0 at the end and
// -1 on failure.
using MpegReader = std::function<int(uint64_t offset, uint8_t* buffer, uint32_t n)>;
// Samples at `rate` that the MPEG audio converter gives for the stream `read` delivers, frames
// at other rates counted as what they become at `rate`. The converter's own parser walks the
// frames without decoding them, so the tags, junk and damaged headers it steps over in
// decoding are stepped over here, and the walk ends where decoding would. Nothing when `read`
// fails.
std::optional<uint64_t> CountMpegSamples(uint16_t channels, uint32_t rate, const MpegReader& read);

}  // namespace plat
