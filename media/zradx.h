// ADX music streams: a big-endian header, then 18-byte blocks (a 16-bit scale and 32 four-bit
// residuals) for each channel in turn, predicted by a second-order filter whose two
// coefficients come from the header's cutoff frequency and rate in 12-bit fixed point.
// Versions 3 and 4 carry loop start and end samples, version 5 none. The reader checks every
// header field before use; a file cut short simply ends. The encoder beside it makes the demo
// music and the test fixtures.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

constexpr uint32_t kAdxBlockBytes = 18;
constexpr uint32_t kAdxBlockSamples = 32;
constexpr uint32_t kAdxMaxRate = 192000;

struct AdxHeader {
    uint32_t dataOffset = 0;  // first byte of the first block
    uint8_t channels = 0;
    uint32_t rate = 0;
    uint32_t sampleCount = 0;  // per channel
    uint16_t cutoff = 0;
    uint8_t version = 0;
    bool loop = false;
    uint32_t loopStart = 0;  // first sample of the looped section
    uint32_t loopEnd = 0;    // the sample after it
    int32_t coeff[2] = {0, 0};
};

// The two predictor coefficients for a cutoff frequency at a sample rate, scaled by 4096.
void AdxCoefficients(uint32_t cutoff, uint32_t rate, int32_t coeff[2]);

// Reads and checks the header; false with a reason when the bytes are not a playable ADX head.
bool ParseAdxHeader(const uint8_t* data, size_t size, AdxHeader* header, std::string* error);

// Decodes a whole file held in memory into interleaved 16-bit frames. With loop set and a loop
// in the header, playback returns from the loop end to the loop start for ever, every pass
// giving the same samples; otherwise it ends at the sample count, at an end block or where the
// data stops.
class AdxDecoder {
  public:
    bool Open(std::shared_ptr<const std::vector<uint8_t>> file, bool loop, std::string* error);
    const AdxHeader& Header() const { return header_; }
    // Writes up to `frames` frames; fewer only at the end.
    uint32_t Decode(int16_t* out, uint32_t frames);
    bool Ended() const { return ended_; }
    // Back to the first sample.
    void Rewind();
    // Frames delivered since the open or the last rewind, loop passes included.
    uint64_t FramesDelivered() const { return delivered_; }

  private:
    struct History {
        int32_t s1 = 0, s2 = 0;
    };
    bool DecodeBlock(uint32_t block);

    std::shared_ptr<const std::vector<uint8_t>> file_;
    AdxHeader header_;
    bool looping_ = false;
    bool ended_ = true;
    uint32_t position_ = 0;  // next sample
    uint32_t blockInBuffer_ = UINT32_MAX;
    History history_[2];
    History loopHistory_[2];
    bool loopHistorySaved_ = false;
    int16_t pcm_[kAdxBlockSamples * 2] = {};
    uint64_t delivered_ = 0;
};

struct AdxEncodeOptions {
    uint8_t channels = 2;
    uint32_t rate = 44100;
    uint8_t version = 4;  // 3, 4 or 5
    uint16_t cutoff = 500;
    bool loop = false;
    uint32_t loopStart = 0, loopEnd = 0;
};

// Encodes interleaved 16-bit frames; empty when the options are out of range.
std::vector<uint8_t> EncodeAdx(const int16_t* frames, uint32_t count,
                               const AdxEncodeOptions& options);
