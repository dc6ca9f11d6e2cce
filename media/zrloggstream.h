// ZROggStream: decodes an Ogg Vorbis file into 16-bit signed little-endian interleaved PCM
// through libvorbisfile, reading the file through a ZRStream it does not own. Every voice and
// sound effect of the game goes through here.
#pragma once
#include <vorbis/vorbisfile.h>

#include <cstdint>

#include "media/zrlpcmstream.h"

class ZROggStream : public ZRPcmStream {
public:
    explicit ZROggStream(ZRStream* source);
    ~ZROggStream() override { OggClose(); }

    bool OggOpen();
    bool OggClose();
    bool OggReset();
    bool OggSeek(int sample);

    // Both 0 when the length is unknown (a source that cannot seek).
    uint32_t GetDecodeLength() override { return decodeLength_; }
    uint32_t GetDecodePoint() override { return decodePoint_; }
    int Decode(void* buffer, int bytes) override;
    bool Rewind() override { return OggReset(); }
    bool SeekSample(int sample) override { return OggSeek(sample); }

private:
    void OggConvert(uint8_t* out, uint32_t wanted);

    OggVorbis_File file_{};
    int section_ = 0;
    uint8_t* buffer_ = nullptr;
    uint32_t bufferSize_ = 0;
    uint32_t decodePoint_ = 0;
    uint32_t decodeLength_ = 0;
    uint32_t readOffset_ = 0;
    uint32_t bytesLeft_ = 0;
    uint32_t lastCount_ = 0;
};
