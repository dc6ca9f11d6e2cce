#include "media/zrmsm6258.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

constexpr std::array<int32_t, 49> kStep = {
    16,  17,  19,  21,  23,  25,  28,  31,  34,  37,  41,  45,   50,   55,   60,   66,  73,
    80,  88,  97,  107, 118, 130, 143, 157, 173, 190, 209, 230,  253,  279,  307,  337, 371,
    408, 449, 494, 544, 598, 658, 724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552};
constexpr std::array<int32_t, 8> kIndexAdjust = {-1, -1, -1, -1, 2, 4, 6, 8};

int32_t Multiplier(uint32_t code) {
    const int32_t m = static_cast<int32_t>(code & 7) * 4 + 2;
    return (code & 8) ? -m : m;
}

}  // namespace

void Msm6258Codec::Clear() { ch_[0] = ch_[1] = Channel{0, 0}; }

int16_t Msm6258Codec::DecodeOne(Channel& ch, uint32_t code) {
    ch.predicted = static_cast<int16_t>(
        std::clamp(ch.predicted + kStep[ch.index] * Multiplier(code), -32768, 32767));
    ch.index = static_cast<uint8_t>(std::clamp(ch.index + kIndexAdjust[code & 7], 0, 48));
    return ch.predicted;
}

uint8_t Msm6258Codec::EncodeOne(Channel& ch, int16_t sample) {
    const int32_t d = sample - ch.predicted;
    const int32_t q = (std::abs(d) / 2) / kStep[ch.index];
    uint32_t code = q < 15 ? static_cast<uint32_t>(q / 2) : 7;
    if (d < 0) code |= 8;
    DecodeOne(ch, code);
    return static_cast<uint8_t>(code);
}

void Msm6258Codec::AdpcmToPcm(const uint8_t* source, int16_t* dest, int nibbles) {
    for (int i = 0; i < nibbles / 2; ++i) {
        *dest++ = DecodeOne(ch_[0], source[i] & 0x0F);
        *dest++ = DecodeOne(ch_[0], source[i] >> 4);
    }
}

void Msm6258Codec::AdpcmToPcmStereo(const uint8_t* source, int16_t* dest, int frames) {
    for (int i = 0; i < frames; ++i) {
        *dest++ = DecodeOne(ch_[0], source[i] & 0x0F);
        *dest++ = DecodeOne(ch_[1], source[i] >> 4);
    }
}

void Msm6258Codec::PcmToAdpcm(const int16_t* source, uint8_t* dest, int samples) {
    for (int i = 0; i < samples / 2; ++i) {
        const uint8_t low = EncodeOne(ch_[0], source[2 * i]);
        dest[i] = static_cast<uint8_t>(low | EncodeOne(ch_[0], source[2 * i + 1]) << 4);
    }
}

void Msm6258Codec::PcmToAdpcmStereo(const int16_t* source, uint8_t* dest, int frames) {
    for (int i = 0; i < frames; ++i) {
        const uint8_t left = EncodeOne(ch_[0], source[2 * i]);
        dest[i] = static_cast<uint8_t>(left | EncodeOne(ch_[1], source[2 * i + 1]) << 4);
    }
}

void Msm6258Codec::StreamConvert(tADPSTREAMHEADER* header) {
    uint32_t n = header->sourceLength;
    if (uint64_t{n} * 4 > header->destLength) n = header->destLength / 4;
    if (header->channels == 2)
        AdpcmToPcmStereo(header->source, header->dest, static_cast<int>(n));
    else
        AdpcmToPcm(header->source, header->dest, static_cast<int>(n * 2));
    header->sourceUsed = n;
    header->destUsed = n * 4;
}
