#include "platform/audioconvert.h"

#include <algorithm>
#include <cstring>

#include "platform/audioconverters.h"

namespace plat {

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16; }

bool SameShape(const AudioFormat& a, const AudioFormat& b) {
    return a.channels == b.channels && a.rate == b.rate && a.bits == b.bits;
}

// Copies PCM unchanged, whole sample frames only unless the piece is the last.
class PcmCopy : public AudioConverter {
public:
    explicit PcmCopy(uint32_t frame) : frame_(frame) {}
    bool DestinationSize(uint32_t sourceBytes, uint32_t* destBytes) const override {
        *destBytes = sourceBytes;
        return true;
    }
    bool Convert(ConvertBuffers& io, uint32_t flags) override {
        uint32_t n = std::min(io.sourceLength, io.destLength);
        if (!(flags & cvEnd) || n < io.sourceLength) n -= n % frame_;
        if (n) std::memcpy(io.dest, io.source, n);
        io.sourceUsed = io.destUsed = n;
        return true;
    }

private:
    uint32_t frame_;
};

}  // namespace

bool ParseAudioFormat(const uint8_t* data, uint32_t size, AudioFormat* format) {
    if (!data || size < 14) return false;
    uint8_t head[18] = {};
    std::memcpy(head, data, std::min<uint32_t>(size, 18));
    format->tag = Le16(head);
    format->channels = Le16(head + 2);
    format->rate = Le32(head + 4);
    format->bytesPerSecond = Le32(head + 8);
    format->blockAlign = Le16(head + 12);
    format->bits = Le16(head + 14);
    uint32_t extra = size > 18 ? std::min<uint32_t>(Le16(head + 16), size - 18) : 0;
    format->extra.assign(data + 18, data + 18 + extra);
    return true;
}

AudioFormat MakePcmFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
    AudioFormat f;
    f.tag = afPcm;
    f.channels = channels;
    f.rate = rate;
    f.bits = bits;
    f.blockAlign = static_cast<uint16_t>(channels * ((bits + 7) / 8));
    f.bytesPerSecond = rate * f.blockAlign;
    return f;
}

bool SuggestPcmFormat(const AudioFormat& source, uint16_t channels, uint32_t rate,
                      uint16_t bits, AudioFormat* pcm) {
    if (source.channels == 0 || source.rate == 0) return false;
    uint16_t outBits = source.tag == afPcm ? source.bits : 16;
    if ((channels && channels != source.channels) || (rate && rate != source.rate) ||
        (bits && bits != outBits))
        return false;
    *pcm = MakePcmFormat(source.channels, source.rate, outBits);
    return true;
}

std::unique_ptr<AudioConverter> OpenPcmCopy(const AudioFormat& source) {
    if (source.channels == 0 || source.bits < 8) return nullptr;
    return std::make_unique<PcmCopy>(source.channels * ((source.bits + 7u) / 8u));
}

std::unique_ptr<AudioConverter> AudioConverter::Open(const AudioFormat& source,
                                                     const AudioFormat& dest) {
    if (dest.tag != afPcm) return nullptr;
    switch (source.tag) {
        case afPcm:
            return SameShape(source, dest) ? OpenPcmCopy(source) : nullptr;
        case afMsAdpcm:
        case afImaAdpcm:
        case afMpegLayer3: {
            AudioFormat expected;
            if (!SuggestPcmFormat(source, 0, 0, 0, &expected) || !SameShape(expected, dest))
                return nullptr;
            if (source.tag == afMsAdpcm) return OpenMsAdpcmDecoder(source);
            if (source.tag == afImaAdpcm) return OpenImaAdpcmDecoder(source);
            return OpenMpegDecoder(source);
        }
        default:
            return nullptr;
    }
}

}  // namespace plat
