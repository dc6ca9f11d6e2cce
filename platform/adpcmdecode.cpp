// Block ADPCM decoders for RIFF WAVE data: Microsoft ADPCM and IMA ADPCM. Each block starts
// with a header per channel that restarts the predictor, so blocks decode independently.
#include <algorithm>
#include <array>

#include "platform/audioconverters.h"

namespace plat {

namespace {

int16_t Le16s(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
int16_t Clamp16(int32_t v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }

void Put16(uint8_t* p, int16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
}

// The block walk shared by both formats: whole blocks while more data follows, a trailing
// partial block only in the last piece, and never more output than the destination holds.
class BlockDecoder : public AudioConverter {
public:
    BlockDecoder(uint16_t channels, uint16_t blockAlign, uint32_t samplesPerBlock)
        : channels_(channels), blockAlign_(blockAlign), samplesPerBlock_(samplesPerBlock) {}

    bool DestinationSize(uint32_t sourceBytes, uint32_t* destBytes) const override {
        uint64_t samples = uint64_t{sourceBytes / blockAlign_} * samplesPerBlock_ +
                           SamplesIn(sourceBytes % blockAlign_);
        uint64_t bytes = samples * channels_ * 2;
        if (bytes > UINT32_MAX) return false;
        *destBytes = static_cast<uint32_t>(bytes);
        return true;
    }

    bool Convert(ConvertBuffers& io, uint32_t flags) override {
        io.sourceUsed = io.destUsed = 0;
        while (io.sourceUsed < io.sourceLength) {
            uint32_t block = std::min<uint32_t>(blockAlign_, io.sourceLength - io.sourceUsed);
            if (block < blockAlign_ && !(flags & cvEnd)) break;
            uint32_t samples = SamplesIn(block);
            uint32_t bytes = samples * channels_ * 2;
            if (bytes > io.destLength - io.destUsed) break;
            if (samples &&
                !DecodeBlock(io.source + io.sourceUsed, samples, io.dest + io.destUsed))
                return false;
            io.sourceUsed += block;
            io.destUsed += bytes;
        }
        return true;
    }

protected:
    // Sample frames that a block (or the partial last block) of `bytes` holds.
    virtual uint32_t SamplesIn(uint32_t bytes) const = 0;
    virtual bool DecodeBlock(const uint8_t* block, uint32_t samples, uint8_t* out) = 0;

    uint16_t channels_;
    uint16_t blockAlign_;
    uint32_t samplesPerBlock_;
};

// ---- Microsoft ADPCM ----

constexpr std::array<int32_t, 16> kMsAdapt = {230, 230, 230, 230, 307, 409, 512, 614,
                                              768, 614, 512, 409, 307, 230, 230, 230};
constexpr std::array<int16_t, 14> kMsStandardCoefs = {256, 0,   512, -256, 0,   0,   192,
                                                      64,  240, 0,   460, -208, 392, -232};
// Keeps the step and the step x nibble product inside 32 bits on hostile data.
constexpr int32_t kMsMaxDelta = 0x7FFFFFFF / 768;

class MsAdpcmDecoder : public BlockDecoder {
public:
    MsAdpcmDecoder(uint16_t channels, uint16_t blockAlign, uint32_t samplesPerBlock,
                   std::vector<int16_t> coefs)
        : BlockDecoder(channels, blockAlign, samplesPerBlock), coefs_(std::move(coefs)) {}

protected:
    uint32_t SamplesIn(uint32_t bytes) const override {
        uint32_t header = 7u * channels_;
        if (bytes < header) return 0;
        return std::min<uint32_t>(samplesPerBlock_, 2 + (bytes - header) * 2 / channels_);
    }

    bool DecodeBlock(const uint8_t* block, uint32_t samples, uint8_t* out) override {
        const uint32_t ch = channels_;
        int32_t c1[2], c2[2], delta[2], s1[2], s2[2];
        for (uint32_t c = 0; c < ch; ++c) {
            uint32_t predictor = block[c];
            if (predictor * 2 >= coefs_.size()) return false;
            c1[c] = coefs_[predictor * 2];
            c2[c] = coefs_[predictor * 2 + 1];
            delta[c] = Le16s(block + ch + 2 * c);
            s1[c] = Le16s(block + 3 * ch + 2 * c);
            s2[c] = Le16s(block + 5 * ch + 2 * c);
        }
        uint8_t* o = out;
        for (uint32_t c = 0; c < ch && samples >= 1; ++c, o += 2) Put16(o, Clamp16(s2[c]));
        for (uint32_t c = 0; c < ch && samples >= 2; ++c, o += 2) Put16(o, Clamp16(s1[c]));
        const uint8_t* data = block + 7 * ch;
        uint32_t nibbles = samples > 2 ? (samples - 2) * ch : 0;
        for (uint32_t i = 0; i < nibbles; ++i) {
            uint32_t c = i % ch;
            uint32_t code = (i & 1) ? data[i / 2] & 0x0F : data[i / 2] >> 4;
            int32_t signedCode = code >= 8 ? static_cast<int32_t>(code) - 16 : code;
            // An arithmetic shift (rounding down), as the codec the sounds were made with:
            // dividing would round negative predictions toward zero and drift from it.
            int64_t predicted = (int64_t{s1[c]} * c1[c] + int64_t{s2[c]} * c2[c]) >> 8;
            int16_t sample = Clamp16(static_cast<int32_t>(
                std::clamp<int64_t>(predicted + signedCode * delta[c], -32768, 32767)));
            s2[c] = s1[c];
            s1[c] = sample;
            delta[c] = std::clamp(kMsAdapt[code] * delta[c] / 256, 16, kMsMaxDelta);
            Put16(o, sample);
            o += 2;
        }
        return true;
    }

private:
    std::vector<int16_t> coefs_;  // pairs
};

// ---- IMA ADPCM ----

constexpr std::array<int32_t, 89> kImaStep = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr std::array<int32_t, 8> kImaIndexStep = {-1, -1, -1, -1, 2, 4, 6, 8};

class ImaAdpcmDecoder : public BlockDecoder {
public:
    using BlockDecoder::BlockDecoder;

protected:
    // After the headers, each channel in turn gives 4 bytes (8 samples).
    uint32_t SamplesIn(uint32_t bytes) const override {
        uint32_t header = 4u * channels_;
        if (bytes < header) return 0;
        return std::min<uint32_t>(samplesPerBlock_, 1 + (bytes - header) / header * 8);
    }

    bool DecodeBlock(const uint8_t* block, uint32_t samples, uint8_t* out) override {
        const uint32_t ch = channels_;
        const uint32_t stride = ch * 2;
        for (uint32_t c = 0; c < ch; ++c) {
            const uint8_t* h = block + 4 * c;
            int32_t predicted = Le16s(h);
            int32_t index = h[2];
            if (index > 88) return false;
            Put16(out + 2 * c, static_cast<int16_t>(predicted));
            for (uint32_t n = 1; n < samples; ++n) {
                uint32_t k = n - 1;  // position among this channel's coded samples
                uint8_t byte = block[4 * ch + (k / 8) * 4 * ch + 4 * c + (k % 8) / 2];
                uint32_t code = (k & 1) ? byte >> 4 : byte & 0x0F;
                int32_t step = kImaStep[index];
                int32_t diff = step >> 3;
                if (code & 1) diff += step >> 2;
                if (code & 2) diff += step >> 1;
                if (code & 4) diff += step;
                predicted = Clamp16(code & 8 ? predicted - diff : predicted + diff);
                index = std::clamp(index + kImaIndexStep[code & 7], 0, 88);
                Put16(out + n * stride + 2 * c, static_cast<int16_t>(predicted));
            }
        }
        return true;
    }
};

}  // namespace

std::unique_ptr<AudioConverter> OpenMsAdpcmDecoder(const AudioFormat& source) {
    const uint32_t ch = source.channels;
    if (ch < 1 || ch > 2 || source.blockAlign < 7 * ch + 1) return nullptr;
    const uint32_t most = 2 + (source.blockAlign - 7 * ch) * 2 / ch;
    uint32_t perBlock = most;
    std::vector<int16_t> coefs(kMsStandardCoefs.begin(), kMsStandardCoefs.end());
    const std::vector<uint8_t>& x = source.extra;
    if (x.size() >= 4) {
        perBlock = Le16(x.data());
        uint32_t count = Le16(x.data() + 2);
        if (count == 0 || x.size() < 4 + uint64_t{count} * 4) return nullptr;
        coefs.resize(count * 2);
        for (uint32_t i = 0; i < count * 2; ++i) coefs[i] = Le16s(x.data() + 4 + 2 * i);
    }
    if (perBlock < 2 || perBlock > most) return nullptr;
    return std::make_unique<MsAdpcmDecoder>(source.channels, source.blockAlign, perBlock,
                                            std::move(coefs));
}

std::unique_ptr<AudioConverter> OpenImaAdpcmDecoder(const AudioFormat& source) {
    const uint32_t ch = source.channels;
    if (ch < 1 || ch > 8 || source.blockAlign < 8 * ch) return nullptr;
    const uint32_t most = 1 + (source.blockAlign - 4 * ch) / (4 * ch) * 8;
    uint32_t perBlock = source.extra.size() >= 2 ? Le16(source.extra.data()) : most;
    if (perBlock < 1 || perBlock > most) return nullptr;
    return std::make_unique<ImaAdpcmDecoder>(source.channels, source.blockAlign, perBlock);
}

}  // namespace plat
