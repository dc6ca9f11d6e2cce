// Msm6258Codec: 4-bit adaptive differential PCM with the step and index tables of the MSM6258
// ADPCM chip, scaled to 16-bit samples; decodes and encodes mono and stereo.
#pragma once
#include <cstdint>

// One conversion between the ADP stream and the codec.
struct tADPSTREAMHEADER {
    uint32_t channels = 0;
    const uint8_t* source = nullptr;
    uint32_t sourceLength = 0;
    uint32_t sourceUsed = 0;
    int16_t* dest = nullptr;
    uint32_t destLength = 0;  // bytes
    uint32_t destUsed = 0;    // bytes
};

class Msm6258Codec {
public:
    Msm6258Codec() { Clear(); }
    void Clear();

    // Mono: nibbles / 2 bytes, low nibble first, both on the first channel.
    void AdpcmToPcm(const uint8_t* source, int16_t* dest, int nibbles);
    // Stereo: one byte per frame, low nibble left, high nibble right.
    void AdpcmToPcmStereo(const uint8_t* source, int16_t* dest, int frames);
    void PcmToAdpcm(const int16_t* source, uint8_t* dest, int samples);
    void PcmToAdpcmStereo(const int16_t* source, uint8_t* dest, int frames);
    // Decodes as many source bytes as the destination holds (four bytes of PCM per byte).
    void StreamConvert(tADPSTREAMHEADER* header);

private:
    struct Channel {
        int16_t predicted;
        uint8_t index;
    };
    static int16_t DecodeOne(Channel& ch, uint32_t code);
    static uint8_t EncodeOne(Channel& ch, int16_t sample);

    Channel ch_[2];
};
