#include "foundation/zrcomp.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <new>

#include "foundation/zrorvik.h"
#include "foundation/zrpellum.h"

void ZRCrcCheck::MakeCrcTable() {
    const uint16_t poly = type_ == zrCrcC001 ? 0xC001 : 0x8408;
    for (int i = 0; i < 256; ++i) {
        uint16_t v = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ poly : v >> 1;
        table_[i] = v;
    }
}

uint16_t ZRCrcCheck::UpDateCrc(uint16_t crc, const unsigned char* buffer, int count) const {
    for (int i = 0; i < count; ++i) crc = table_[(crc ^ buffer[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

bool ZRCrcStream(ZRStream* stream, int size, unsigned short* result) {
    constexpr int kChunk = 32768;
    if (!stream || size < 0) return false;
    std::unique_ptr<ZRCrcCheck> check(new (std::nothrow) ZRCrcCheck);
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kChunk]);
    if (!check || !buffer) return false;
    uint16_t crc = 0xFFFF;
    bool ok = true;
    try {
        while (size >= kChunk) {
            if (stream->Read(buffer.get(), kChunk) != kChunk) ok = false;
            crc = check->UpDateCrc(crc, buffer.get(), kChunk);
            size -= kChunk;
        }
        if (size > 0) {
            if (stream->Read(buffer.get(), size) != size) ok = false;
            crc = check->UpDateCrc(crc, buffer.get(), size);
        }
    } catch (...) {
        ok = false;
    }
    if (ok && result) *result = crc;
    return ok;
}

bool ZRCompStream::EncodeBuffer(ZRStream* source, int size, ZRStream* destination,
                                int* compsize, int codec) {
    if (compsize) *compsize = 0;
    if (size <= 0 || !source || !destination) return false;
    source_ = source;
    destination_ = destination;
    const ZRBaseCallback2<int, void*, int> read(this, &ZRCompStream::CallbackRead);
    const ZRBaseCallback2<int, void*, int> write(this, &ZRCompStream::CallbackWrite);
    // Twice the source, kept within int for sources above 1 GiB.
    const int limit = static_cast<int>(std::min<int64_t>(2 * static_cast<int64_t>(size), INT_MAX));
    bool ok = false;
    int packed = 0;
    if (codec == 0) {
        std::unique_ptr<ZROrvikEncode> enc(new (std::nothrow) ZROrvikEncode);
        if (!enc) return false;
        ok = enc->Encode(size, limit, read, write, {});
        packed = enc->GetCompressedSize();
    } else {
        std::unique_ptr<ZRPellumEncode> enc;
        if (codec == 1)
            enc.reset(new (std::nothrow) ZRPellumEncode);
        else if (codec == 2)
            enc.reset(new (std::nothrow) ZRPellumLEEncode);
        else
            enc.reset(new (std::nothrow) ZRPellumMiniEncode);
        if (!enc) return false;
        ok = enc->Encode(size, limit, read, write, {});
        packed = enc->GetCompressedSize();
    }
    if (ok && compsize) *compsize = packed;
    return ok;
}

bool ZRCompStream::DecodeBuffer(ZRStream* source, int compsize, ZRStream* destination,
                                int unpacked, int codec) {
    if (compsize == 0 || unpacked == 0 || !source || !destination) return false;
    source_ = source;
    destination_ = destination;
    const ZRBaseCallback2<int, void*, int> read(this, &ZRCompStream::CallbackRead);
    const ZRBaseCallback2<int, void*, int> write(this, &ZRCompStream::CallbackWrite);
    if (codec == 0) {
        std::unique_ptr<ZROrvikDecode> dec(new (std::nothrow) ZROrvikDecode);
        return dec && dec->Decode(compsize, unpacked, read, write, {});
    }
    std::unique_ptr<ZRPellumDecode> dec(new (std::nothrow) ZRPellumDecode);
    return dec && dec->Decode(compsize, unpacked, read, write, {});
}
