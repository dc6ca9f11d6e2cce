#include "media/zradx.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kHeadFixed = 20;       // through the version and flag bytes
constexpr uint32_t kLoopFieldsV3 = 0x2C;  // header bytes holding a version 3 loop
constexpr uint32_t kLoopFieldsV4 = 0x38;
// The tag libavcodec's ADX reader insists on in the six bytes before the first block.
constexpr uint8_t kTag[6] = {0x28, 0x63, 0x29, 0x43, 0x52, 0x49};

uint16_t Be16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
uint32_t Be32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}
void PutBe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
void PutBe32(uint8_t* p, uint32_t v) {
    PutBe16(p, v >> 16);
    PutBe16(p + 2, v);
}

int16_t Clip16(int32_t v) {
    return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

bool Fail(std::string* error, const char* why) {
    if (error) *error = why;
    return false;
}

}  // namespace

void AdxCoefficients(uint32_t cutoff, uint32_t rate, int32_t coeff[2]) {
    const double a = std::sqrt(2.0) - std::cos(2.0 * M_PI * cutoff / rate);
    const double b = std::sqrt(2.0) - 1.0;
    const double c = (a - std::sqrt((a + b) * (a - b))) / b;
    // Single precision rounding, as the reference decoder rounds, so both predict alike.
    coeff[0] = static_cast<int32_t>(std::lrintf(static_cast<float>(c * 2.0 * 4096)));
    coeff[1] = static_cast<int32_t>(std::lrintf(static_cast<float>(-(c * c) * 4096)));
}

bool ParseAdxHeader(const uint8_t* data, size_t size, AdxHeader* header, std::string* error) {
    if (!data || size < kHeadFixed) return Fail(error, "ADX head cut short");
    if (Be16(data) != 0x8000) return Fail(error, "not an ADX stream");
    AdxHeader h;
    h.dataOffset = static_cast<uint32_t>(Be16(data + 2)) + 4;
    if (data[19] == 0x08 || data[19] == 0x09)
        return Fail(error, "encrypted ADX streams are not supported");
    if (data[4] != 3) return Fail(error, "unsupported ADX coding");
    if (data[5] != kAdxBlockBytes || data[6] != 4) return Fail(error, "unsupported ADX block size");
    h.channels = data[7];
    if (h.channels < 1 || h.channels > 2) return Fail(error, "ADX channel count out of range");
    h.rate = Be32(data + 8);
    if (h.rate < 1 || h.rate > kAdxMaxRate) return Fail(error, "ADX sample rate out of range");
    h.sampleCount = Be32(data + 12);
    h.cutoff = Be16(data + 16);
    h.version = data[18];
    if (h.version != 3 && h.version != 4 && h.version != 5)
        return Fail(error, "unsupported ADX version");
    if (data[19] != 0) return Fail(error, "unsupported ADX flags");
    if (h.dataOffset < kHeadFixed || h.dataOffset > size)
        return Fail(error, "ADX data offset out of range");
    if (2u * h.cutoff >= h.rate) return Fail(error, "ADX cutoff out of range");
    const uint32_t loopFields = h.version == 3 ? kLoopFieldsV3 : h.version == 4 ? kLoopFieldsV4 : 0;
    if (loopFields && h.dataOffset >= loopFields) {
        const uint8_t* l =
            data + loopFields - 20;  // loop flag, start sample, start byte, end sample, end byte
        if (Be32(l) != 0) {
            h.loop = true;
            h.loopStart = Be32(l + 4);
            h.loopEnd = Be32(l + 12);
            if (!(h.loopStart < h.loopEnd && h.loopEnd <= h.sampleCount))
                return Fail(error, "ADX loop out of range");
        }
    }
    AdxCoefficients(h.cutoff, h.rate, h.coeff);
    *header = h;
    return true;
}

bool AdxDecoder::Open(std::shared_ptr<const std::vector<uint8_t>> file, bool loop,
                      std::string* error) {
    file_.reset();
    ended_ = true;
    if (!file) return Fail(error, "no ADX data");
    if (!ParseAdxHeader(file->data(), file->size(), &header_, error)) return false;
    file_ = std::move(file);
    looping_ = loop && header_.loop;
    Rewind();
    return true;
}

void AdxDecoder::Rewind() {
    position_ = 0;
    blockInBuffer_ = UINT32_MAX;
    history_[0] = history_[1] = History{};
    loopHistorySaved_ = false;
    delivered_ = 0;
    ended_ = !file_ || header_.sampleCount == 0;
}

bool AdxDecoder::DecodeBlock(uint32_t block) {
    const uint64_t frameBytes = uint64_t{kAdxBlockBytes} * header_.channels;
    const uint64_t offset = header_.dataOffset + block * frameBytes;
    if (offset + frameBytes > file_->size()) return false;
    if (looping_ && !loopHistorySaved_ && block == header_.loopStart / kAdxBlockSamples) {
        // The state entering the loop's first block: every later pass starts from it, so the
        // passes are sample for sample alike.
        loopHistory_[0] = history_[0];
        loopHistory_[1] = history_[1];
        loopHistorySaved_ = true;
    }
    const uint8_t* in = file_->data() + offset;
    const int channels = header_.channels;
    for (int ch = 0; ch < channels; ++ch, in += kAdxBlockBytes) {
        const int32_t scale = Be16(in);
        if (scale & 0x8000) return false;  // end block
        int32_t s1 = history_[ch].s1, s2 = history_[ch].s2;
        for (uint32_t i = 0; i < kAdxBlockSamples; ++i) {
            const uint8_t byte = in[2 + i / 2];
            int32_t d = (i & 1) ? (byte & 0x0F) : (byte >> 4);
            if (d & 8) d -= 16;
            const int64_t predicted = int64_t{d} * 4096 * scale + int64_t{header_.coeff[0]} * s1 +
                                      int64_t{header_.coeff[1]} * s2;
            s2 = s1;
            s1 = Clip16(static_cast<int32_t>(predicted >> 12));
            pcm_[i * channels + ch] = static_cast<int16_t>(s1);
        }
        history_[ch] = {s1, s2};
    }
    blockInBuffer_ = block;
    return true;
}

uint32_t AdxDecoder::Decode(int16_t* out, uint32_t frames) {
    uint32_t done = 0;
    const int channels = header_.channels;
    while (done < frames && !ended_) {
        const uint32_t limit = looping_ ? header_.loopEnd : header_.sampleCount;
        if (position_ >= limit) {
            if (!looping_ || !loopHistorySaved_) {
                ended_ = true;
                break;
            }
            position_ = header_.loopStart;
            history_[0] = loopHistory_[0];
            history_[1] = loopHistory_[1];
            blockInBuffer_ = UINT32_MAX;
        }
        const uint32_t block = position_ / kAdxBlockSamples;
        if (block != blockInBuffer_ && !DecodeBlock(block)) {
            ended_ = true;
            break;
        }
        const uint32_t inBlock = position_ % kAdxBlockSamples;
        const uint32_t n = std::min({frames - done, kAdxBlockSamples - inBlock, limit - position_});
        std::memcpy(out + size_t{done} * channels, pcm_ + size_t{inBlock} * channels,
                    size_t{n} * channels * sizeof(int16_t));
        done += n;
        position_ += n;
        delivered_ += n;
    }
    return done;
}

std::vector<uint8_t> EncodeAdx(const int16_t* frames, uint32_t count, const AdxEncodeOptions& o) {
    if (o.channels < 1 || o.channels > 2 || o.rate < 1 || o.rate > kAdxMaxRate ||
        2u * o.cutoff >= o.rate || (o.version != 3 && o.version != 4 && o.version != 5))
        return {};
    const bool loop = o.loop && o.version != 5;
    if (loop && !(o.loopStart < o.loopEnd && o.loopEnd <= count)) return {};
    const uint32_t dataOffset = o.version == 5 ? 0x20 : o.version == 3 ? 0x34 : 0x40;
    const uint64_t blocks = (uint64_t{count} + kAdxBlockSamples - 1) / kAdxBlockSamples;
    const uint64_t total = dataOffset + (blocks + 1) * kAdxBlockBytes * o.channels;
    if (total > UINT32_MAX) return {};
    std::vector<uint8_t> out(total, 0);
    uint8_t* h = out.data();
    PutBe16(h, 0x8000);
    PutBe16(h + 2, dataOffset - 4);
    h[4] = 3;
    h[5] = kAdxBlockBytes;
    h[6] = 4;
    h[7] = o.channels;
    PutBe32(h + 8, o.rate);
    PutBe32(h + 12, count);
    PutBe16(h + 16, o.cutoff);
    h[18] = o.version;
    if (loop) {
        uint8_t* l = h + (o.version == 3 ? kLoopFieldsV3 : kLoopFieldsV4) - 20;
        const uint32_t frameBytes = kAdxBlockBytes * o.channels;
        PutBe32(l, 1);
        PutBe32(l + 4, o.loopStart);
        PutBe32(l + 8, dataOffset + o.loopStart / kAdxBlockSamples * frameBytes);
        PutBe32(l + 12, o.loopEnd);
        PutBe32(l + 16,
                dataOffset + (o.loopEnd + kAdxBlockSamples - 1) / kAdxBlockSamples * frameBytes);
    }
    std::memcpy(h + dataOffset - 6, kTag, sizeof kTag);

    int32_t coeff[2];
    AdxCoefficients(o.cutoff, o.rate, coeff);
    uint8_t* block = h + dataOffset;
    for (int ch = 0; ch < o.channels; ++ch) {
        int32_t s1 = 0, s2 = 0;
        for (uint64_t b = 0; b < blocks; ++b) {
            uint8_t* in = block + (b * o.channels + ch) * kAdxBlockBytes;
            int32_t x[kAdxBlockSamples];
            for (uint32_t i = 0; i < kAdxBlockSamples; ++i) {
                const uint64_t n = b * kAdxBlockSamples + i;
                x[i] = n < count ? frames[n * o.channels + ch] : 0;
            }
            // Open-loop estimate of the largest residual picks the scale; the quantiser then
            // follows the decoder's own state so errors do not build up.
            int32_t p1 = s1, p2 = s2, peak = 0;
            for (uint32_t i = 0; i < kAdxBlockSamples; ++i) {
                const int32_t pred =
                    static_cast<int32_t>((int64_t{coeff[0]} * p1 + int64_t{coeff[1]} * p2) >> 12);
                peak = std::max(peak, std::abs(x[i] - pred));
                p2 = p1;
                p1 = x[i];
            }
            const int32_t scale = std::clamp((peak + 6) / 7, 1, 0x7FFF);
            PutBe16(in, static_cast<uint32_t>(scale));
            for (uint32_t i = 0; i < kAdxBlockSamples; ++i) {
                const int64_t pred = int64_t{coeff[0]} * s1 + int64_t{coeff[1]} * s2;
                const double want = (static_cast<double>(x[i]) * 4096 - static_cast<double>(pred)) /
                                    (4096.0 * scale);
                const int32_t d = std::clamp(static_cast<int32_t>(std::lround(want)), -8, 7);
                in[2 + i / 2] |= static_cast<uint8_t>((d & 0x0F) << ((i & 1) ? 0 : 4));
                s2 = s1;
                s1 = Clip16(static_cast<int32_t>((int64_t{d} * 4096 * scale + pred) >> 12));
            }
        }
    }
    // The end block: a scale with its top bit set.
    uint8_t* end = block + blocks * o.channels * kAdxBlockBytes;
    for (int ch = 0; ch < o.channels; ++ch) PutBe16(end + ch * kAdxBlockBytes, 0x8001);
    return out;
}
