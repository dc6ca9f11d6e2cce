// Orvik: the library's dictionary codec for archive entries. A stream is a run of packets,
// each a little-endian 32-bit flag word (one bit per token, most significant first) and up to
// 32 tokens: a literal byte, or a match of a control byte with nibble-packed length and
// distance and optional extension bytes, reaching back at most 1,535 bytes. Both drivers pull
// input through a read callback and push output through a write callback in blocks of at most
// 16 KiB, so neither ever holds a whole entry.
#pragma once
#include <cstdint>

#include "foundation/zrcallback.h"

struct ZROrvikHashNode {
    int32_t key = -1;  // the two bytes at position, or -1 while free
    uint32_t position = 0;
    ZROrvikHashNode* prev = nullptr;  // newer neighbour, null at the head
    ZROrvikHashNode* next = nullptr;  // older neighbour
};

// Chains of the positions sharing a two-byte key, newest first, over a ring of nodes: adding a
// position reuses the oldest node, so only the last node-count positions are ever linked.
class ZROrvikHash {
public:
    ZROrvikHash() = default;
    ~ZROrvikHash() { Release(); }
    ZROrvikHash(const ZROrvikHash&) = delete;
    ZROrvikHash& operator=(const ZROrvikHash&) = delete;

    bool Create(int count);
    void Release();
    void Init();
    void AddNode(unsigned short key, uint32_t position);
    ZROrvikHashNode* FirstNode(unsigned short key) const {
        return created_ ? heads_[key] : nullptr;
    }
    ZROrvikHashNode* NextNode(const ZROrvikHashNode* node) const {
        return created_ && node ? node->next : nullptr;
    }

private:
    uint8_t created_ = 0;
    int32_t count_ = 0;
    int32_t cursor_ = 0;
    ZROrvikHashNode** heads_ = nullptr;
    ZROrvikHashNode* nodes_ = nullptr;
};

class ZROrvikEncode {
public:
    ZROrvikEncode() = default;
    ~ZROrvikEncode() { ReleaseBuffer(); }
    ZROrvikEncode(const ZROrvikEncode&) = delete;
    ZROrvikEncode& operator=(const ZROrvikEncode&) = delete;

    // True when all size bytes were compressed into at most limit bytes; the compressed size
    // is then GetCompressedSize(). A size of 0 succeeds without touching the callbacks.
    bool Encode(int size, int limit, ZRBaseCallback2<int, void*, int> read,
                ZRBaseCallback2<int, void*, int> write, ZRBaseCallback1<bool, int> progress);
    int GetCompressedSize() const { return completed_; }

private:
    bool CreateBuffer();
    void ReleaseBuffer();
    bool Initialize();
    void Finish() { ReleaseBuffer(); }
    void Run();
    void ReadInBuffer();
    void WriteOutBuffer();
    void ProgressCallback();
    void HashSearch(unsigned short& length, unsigned short& distance);
    void AddPosition() {
        hash_->AddNode(static_cast<unsigned short>(inptr_[0] | (inptr_[1] << 8)),
                       static_cast<uint32_t>(srcpos_));
    }

    uint8_t busy_ = 0;
    uint8_t finished_ = 0;
    int32_t srcsize_ = 0;
    int32_t limit_ = 0;
    unsigned char* window_ = nullptr;
    unsigned char* outbuf_ = nullptr;
    int32_t srcpos_ = 0;
    int32_t outpos_ = 0;
    unsigned char* inptr_ = nullptr;
    unsigned char* outptr_ = nullptr;
    int32_t base_ = 0;
    int32_t written_ = 0;
    uint32_t flag_ = 0;
    uint32_t bit_ = 0;
    int32_t tokens_ = 0;
    unsigned char* flagptr_ = nullptr;
    int32_t completed_ = 0;
    ZROrvikHash* hash_ = nullptr;
    ZRBaseCallback2<int, void*, int> read_;
    ZRBaseCallback2<int, void*, int> write_;
    ZRBaseCallback1<bool, int> progress_;
};

class ZROrvikDecode {
public:
    ZROrvikDecode() = default;
    ~ZROrvikDecode() { ReleaseBuffer(); }
    ZROrvikDecode(const ZROrvikDecode&) = delete;
    ZROrvikDecode& operator=(const ZROrvikDecode&) = delete;

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
    unsigned char* inbuf_ = nullptr;
    unsigned char* outbuf_ = nullptr;
    int32_t inpos_ = 0;
    int32_t outpos_ = 0;
    unsigned char* inptr_ = nullptr;
    unsigned char* outptr_ = nullptr;
    int32_t inbase_ = 0;
    int32_t bytesread_ = 0;
    int32_t written_ = 0;
    uint32_t flag_ = 0;
    uint32_t bit_ = 0;
    int32_t count_ = 0;
    int32_t done_ = 0;
    ZRBaseCallback2<int, void*, int> read_;
    ZRBaseCallback2<int, void*, int> write_;
    ZRBaseCallback1<bool, int> progress_;
};
