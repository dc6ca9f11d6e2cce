// Decoders for RIFF WAVE and MP3 files. ZRAcmStream turns a block of compressed sound into
// PCM through the audio conversion service, or hands plain PCM straight on; ZRWaveStream finds
// the format and data chunks of a WAVE file, ZRMp3Stream describes an MP3 file by its first
// frame header and measures it with the decoder's own parser. None of them owns its source
// stream.
#pragma once
#include <cstdint>
#include <memory>

#include "media/zrlpcmstream.h"
#include "platform/audioconvert.h"

class ZRAcmStream : public ZRPcmStream {
public:
    explicit ZRAcmStream(ZRStream* source) { code_ = source; }
    ~ZRAcmStream() override { AcmClose(); }

    // Opens the data block that starts at the source's position. Non-zero channels, rate or
    // bits ask for that PCM output.
    bool AcmOpen(const plat::AudioFormat& format, uint32_t dataSize, uint16_t channels,
                 uint32_t rate, uint16_t bits, bool realTime);
    void AcmClose();
    bool AcmReset();
    bool AcmSeek(int sample);

    uint32_t GetDecodeLength() override { return decodeLength_; }
    uint32_t GetDecodePoint() override { return decodePoint_; }
    int Decode(void* buffer, int bytes) override;
    bool Rewind() override { return AcmReset(); }
    bool SeekSample(int sample) override { return AcmSeek(sample); }

protected:
    // Shortens the decode length to `samples` when the caller knows better than the
    // conversion service's estimate; never lengthens it.
    void LimitDecodeLength(uint32_t samples);

private:
    bool PcmRead(uint8_t* buffer, uint32_t n);
    bool AcmConvert(uint8_t* buffer, uint32_t n);
    static bool ConvertPiece(void* self, plat::ConvertBuffers& io, bool first, bool last);

    bool converting_ = false;
    std::unique_ptr<plat::AudioConverter> converter_;
    ZRChunkPipe pipe_;
    plat::AudioFormat destFormat_;
    uint32_t consumed_ = 0;  // PCM source bytes copied
    uint32_t dataSize_ = 0;
    uint32_t decodePoint_ = 0;
    uint32_t decodeLength_ = 0;
    uint32_t dataStart_ = 0;
    uint32_t lastCount_ = 0;
};

class ZRWaveStream : public ZRAcmStream {
public:
    explicit ZRWaveStream(ZRStream* source) : ZRWaveStream(source, false) {}
    ZRWaveStream(ZRStream* source, bool realTime);

    // Finds the "fmt " and "data" chunks; the data size is cut to what the source holds.
    static bool WaveHeaderAnalysis(ZRStream* source, plat::AudioFormat* format,
                                   uint32_t* dataSize, uint32_t* dataOffset,
                                   uint32_t formatBufferSize);

private:
    bool WaveFileOpen();
    bool realTime_;
};

class ZRMp3Stream : public ZRAcmStream {
public:
    explicit ZRMp3Stream(ZRStream* source) : ZRMp3Stream(source, false) {}
    ZRMp3Stream(ZRStream* source, bool realTime);

    // Frame length in bytes of an MPEG audio frame header, 0 when the header is unusable;
    // fills the format handed to the converter.
    static uint32_t Mp3HeaderFormat(const uint8_t header[4], plat::AudioFormat* format);
    // Frames the file holds by the variable-bitrate header (Xing, Info or VBRI) of its first
    // frame, `size` bytes from its start; 0 when it has none.
    static uint32_t VbrFrameCount(const uint8_t* frame, uint32_t size);

private:
    bool Mp3FileOpen();
    bool realTime_;
};
