// ZRAdpStream: decodes the engine's "ADP1" sound files (a 16-byte header, then MSM6258 ADPCM,
// mono or stereo) into 16-bit PCM. Played straight through; rewinding starts over.
#pragma once
#include <cstdint>

#include "media/zrlpcmstream.h"
#include "media/zrmsm6258.h"

class ZRAdpStream : public ZRPcmStream {
public:
    explicit ZRAdpStream(ZRStream* source);
    ~ZRAdpStream() override { AdpClose(); }

    bool AdpOpen();
    void AdpClose();
    bool AdpReset();

    uint32_t GetDecodeLength() override { return decodeLength_; }
    uint32_t GetDecodePoint() override { return decodePoint_; }
    int Decode(void* buffer, int bytes) override;
    bool Rewind() override { return AdpReset(); }
    bool SeekSample(int) override { return false; }

private:
    bool AdpConvert(uint8_t* buffer, uint32_t n);
    static bool ConvertPiece(void* self, plat::ConvertBuffers& io, bool first, bool last);

    Msm6258Codec codec_;
    tADPSTREAMHEADER header_;
    ZRChunkPipe pipe_;
    uint32_t dataSize_ = 0;
    uint32_t decodePoint_ = 0;
    uint32_t decodeLength_ = 0;
    uint32_t dataStart_ = 0;
    uint32_t lastCount_ = 0;
};
