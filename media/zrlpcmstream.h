// ZRPcmStream: the common base of the sound decoders. A read-only ZRStream whose bytes are the
// decoded PCM of a source stream (the code stream); positions and sizes count PCM bytes, and
// seeking is done by whole sample frames. ZRChunkPipe is the refill-and-convert machinery of
// the decoders that turn the code stream into PCM one chunk at a time.
#pragma once
#include <cstdint>

#include "foundation/zrstream.h"
#include "platform/audioconvert.h"

class ZRPcmStream : public ZRStream {
public:
    ZRPcmStream() = default;
    ZRPcmStream(const ZRPcmStream&) = delete;
    ZRPcmStream& operator=(const ZRPcmStream&) = delete;

    bool IsOpen() override { return open_; }
    bool IsSeekable() override { return seekable_; }
    int Read(void* buffer, int count) override;
    int Write(const void*, int) override { return 0; }
    // Moves to the sample frame that holds the target byte; -1 when not seekable or refused.
    int Seek(int offset, ZRSeekWhence whence) override;
    // -1 when the length is unknown (a source that cannot be measured).
    int GetSize() override;
    bool SetSize(int) override { return false; }
    int GetPosition() override { return static_cast<int>(GetDecodePoint()); }
    bool Reset() override { return Rewind(); }

    virtual uint32_t GetDecodeLength() = 0;
    virtual uint32_t GetDecodePoint() = 0;
    virtual int Decode(void* buffer, int bytes) = 0;
    virtual bool Rewind() = 0;
    virtual bool SeekSample(int sample) = 0;

    ZRStream* GetCodeStream() const { return code_; }
    bool IsEnd() const { return end_; }
    bool IsLengthKnown() const { return lengthKnown_; }
    uint32_t GetChannels() const { return channels_; }
    uint32_t GetRate() const { return rate_; }
    uint32_t GetBits() const { return bits_; }
    uint32_t GetSamples() const { return samples_; }

protected:
    // Puts the code stream at an absolute byte position; a stream that cannot seek is reset
    // when the target lies behind it and read forward otherwise.
    bool CodeSeekForward(int position);
    // Reads and discards bytes of the code stream; false at its end.
    bool CodeDummyRead(int bytes);
    uint32_t BlockSize() const { return channels_ * bits_ / 8; }

    ZRStream* code_ = nullptr;  // not owned
    bool open_ = false;
    bool seekable_ = false;
    bool end_ = true;
    bool lengthKnown_ = true;
    uint32_t channels_ = 0;
    uint32_t rate_ = 0;
    uint32_t bits_ = 0;
    uint32_t samples_ = 0;
};

// Holds one chunk of the code stream and the PCM converted from it. Conversion works piece by
// piece: the unused rest of the source moves to the front before a refill, converted bytes
// the caller had no room for are delivered first next time.
class ZRChunkPipe {
public:
    // Converts io.source into io.dest; `first` after opening or rewinding, `last` once the
    // whole data block has been read in.
    using ConvertFn = bool (*)(void* owner, plat::ConvertBuffers& io, bool first, bool last);

    ZRChunkPipe() = default;
    ZRChunkPipe(const ZRChunkPipe&) = delete;
    ZRChunkPipe& operator=(const ZRChunkPipe&) = delete;
    ~ZRChunkPipe() { Free(); }

    bool Allocate(uint32_t chunkSize, uint32_t destSize);
    void Free();
    // Forgets all progress and reads the first chunk of a data block of `dataSize` bytes.
    bool Start(ZRStream* code, uint32_t dataSize);
    // Refills the source buffer behind `keep` bytes already there; false on a short read,
    // after which the data block ends with what the read gave.
    bool ReadData(uint32_t keep);
    // Delivers up to `wanted` bytes of converted PCM, no further than `decodeLength`, and
    // advances `decodePoint`; `end` is set once everything was delivered. A read or
    // conversion failure ends the stream: what was converted before it is delivered, and
    // false only when nothing was.
    bool Decode(uint8_t* out, uint32_t wanted, uint32_t decodeLength, uint32_t& decodePoint,
                bool& end, uint32_t& delivered, ConvertFn fn, void* owner);
private:
    bool Convert(uint8_t* out, uint32_t wanted, uint32_t* delivered, ConvertFn fn, void* owner);
    // All data read in and converted, and nothing held over.
    bool Drained() const {
        return consumed_ >= dataSize_ && io_.sourceUsed >= io_.sourceLength && leftover_ == 0;
    }

    ZRStream* code_ = nullptr;
    plat::ConvertBuffers io_;
    uint8_t* source_ = nullptr;
    uint8_t* dest_ = nullptr;
    uint32_t chunkSize_ = 0;
    uint32_t destSize_ = 0;
    uint32_t consumed_ = 0;
    uint32_t dataSize_ = 0;
    uint32_t leftover_ = 0;
    bool start_ = true;
    bool stopped_ = false;  // a failure ended the stream; nothing more until Start
};
