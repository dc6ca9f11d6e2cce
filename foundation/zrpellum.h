// Pellum: the library's block-sorting codec for archive entries. Each input block is
// block-sorted, move-to-front recoded and range coded into one record (4-byte header: record
// size and block length, both u16 little-endian); a block the coder cannot shrink is stored in
// its recoded form. The move-to-front list and the coder's model run on from block to block,
// the model returning to its initial table after a stored block. Three encoders differ only in
// block size (32 KiB, 8 KiB, 1 KiB); one decoder reads them all.
#pragma once
#include <cstdint>

#include "foundation/zrblocksort.h"
#include "foundation/zrcallback.h"
#include "foundation/zrrangecoder.h"

class ZRPellumEncode {
public:
    ZRPellumEncode() : ZRPellumEncode(32768, "ZRPellumEncode") {}
    virtual ~ZRPellumEncode() { ReleaseBuffer(); }
    ZRPellumEncode(const ZRPellumEncode&) = delete;
    ZRPellumEncode& operator=(const ZRPellumEncode&) = delete;

    // True when all size bytes were compressed into at most limit bytes; the compressed size
    // is then GetCompressedSize(). A size of 0 succeeds without touching the callbacks.
    bool Encode(int size, int limit, ZRBaseCallback2<int, void*, int> read,
                ZRBaseCallback2<int, void*, int> write, ZRBaseCallback1<bool, int> progress);
    int GetCompressedSize() const { return written_; }
    int GetBlockSize() const { return blocksize_; }

protected:
    ZRPellumEncode(int blocksize, const char* name) : blocksize_(blocksize), name_(name) {}

private:
    bool CreateBuffer();
    void ReleaseBuffer();
    bool Initialize();
    void Finish() { ReleaseBuffer(); }
    void Run();
    void ReadInBuffer();
    void WriteOutBuffer();
    void ProgressCallback();
    [[noreturn]] void Fail(const char* step) const;

    const int32_t blocksize_;
    const char* const name_;  // class name for error messages
    uint8_t busy_ = 0;
    uint8_t finished_ = 0;
    int32_t srcsize_ = 0;
    int32_t limit_ = 0;
    unsigned char* block_ = nullptr;
    unsigned char* sort_ = nullptr;
    unsigned char* record_ = nullptr;
    int32_t srcpos_ = 0;
    int32_t outpos_ = 0;
    int32_t blocklen_ = 0;
    int32_t recsize_ = 0;
    int32_t written_ = 0;
    ZRBWTEncode* bwt_ = nullptr;
    ZRMTFEncode* mtf_ = nullptr;
    ZRRangeEncode* coder_ = nullptr;
    ZRBaseCallback2<int, void*, int> read_;
    ZRBaseCallback2<int, void*, int> write_;
    ZRBaseCallback1<bool, int> progress_;
};

class ZRPellumLEEncode : public ZRPellumEncode {
public:
    ZRPellumLEEncode() : ZRPellumEncode(8192, "ZRPellumLEEncode") {}
};

class ZRPellumMiniEncode : public ZRPellumEncode {
public:
    ZRPellumMiniEncode() : ZRPellumEncode(1024, "ZRPellumMiniEncode") {}
};

class ZRPellumDecode {
public:
    ZRPellumDecode() = default;
    ~ZRPellumDecode() { ReleaseBuffer(); }
    ZRPellumDecode(const ZRPellumDecode&) = delete;
    ZRPellumDecode& operator=(const ZRPellumDecode&) = delete;

    // True when exactly size bytes were produced from at most compsize input bytes and
    // written. Damaged or truncated input gives false. A compsize of 0 succeeds at once.
    bool Decode(int compsize, int size, ZRBaseCallback2<int, void*, int> read,
                ZRBaseCallback2<int, void*, int> write, ZRBaseCallback1<bool, int> progress);
    // Bytes handed to the write callback so far.
    int GetOutputDone() const { return done_; }

private:
    bool CreateBuffer();
    void ReleaseBuffer();
    bool Initialize();
    void Finish() { ReleaseBuffer(); }
    void Run();
    void ReadInBuffer();
    void WriteOutBuffer();
    void ProgressCallback();

    uint8_t busy_ = 0;
    uint8_t finished_ = 0;
    int32_t compsize_ = 0;
    int32_t size_ = 0;
    unsigned char* record_ = nullptr;
    unsigned char* sort_ = nullptr;
    unsigned char* block_ = nullptr;
    int32_t inpos_ = 0;
    int32_t outpos_ = 0;
    int32_t recsize_ = 0;
    int32_t blocklen_ = 0;
    ZRBWTDecode* bwt_ = nullptr;
    ZRMTFDecode* mtf_ = nullptr;
    ZRRangeDecode* coder_ = nullptr;
    int32_t done_ = 0;
    ZRBaseCallback2<int, void*, int> read_;
    ZRBaseCallback2<int, void*, int> write_;
    ZRBaseCallback1<bool, int> progress_;
};
