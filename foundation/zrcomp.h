// Checksums and one-shot compression between streams: the table-driven CRC-16 of every
// "NyPack" checksum, the CRC of the next bytes of a stream, and compression or decompression
// from one stream into another with a codec chosen by number (0 Orvik; 1, 2, 3 Pellum with
// 32 KiB, 8 KiB and 1 KiB blocks).
#pragma once
#include <cstdint>

#include "foundation/zrstream.h"

enum ZRCrcType : uint8_t {
    zrCrc8408 = 0,  // reflected polynomial 0x8408 (from 0xFFFF: CRC-16/MCRF4XX)
    zrCrcC001 = 1,  // reflected polynomial 0xC001
};

class ZRCrcCheck {
public:
    ZRCrcCheck() { MakeCrcTable(); }
    // Any type but zrCrcC001 builds the 0x8408 table.
    void SetCrcType(ZRCrcType type) {
        type_ = type;
        MakeCrcTable();
    }
    ZRCrcType GetCrcType() const { return type_; }
    void MakeCrcTable();
    uint16_t UpDateCrc(uint16_t crc, const unsigned char* buffer, int count) const;
    uint16_t Crc(const unsigned char* buffer, int count) const {
        return UpDateCrc(0xFFFF, buffer, count);
    }
    uint16_t TableEntry(int i) const { return table_[i & 0xFF]; }

private:
    ZRCrcType type_ = zrCrc8408;
    uint16_t table_[256];
};

// CRC-16 (0x8408, from 0xFFFF) of the next size bytes of stream, stored in *result only when
// every byte could be read.
bool ZRCrcStream(ZRStream* stream, int size, unsigned short* result);

class ZRCompStream {
public:
    // Compresses size bytes of source into destination; *compsize gets the compressed size
    // (0 when the call fails).
    bool EncodeBuffer(ZRStream* source, int size, ZRStream* destination, int* compsize,
                      int codec);
    bool DecodeBuffer(ZRStream* source, int compsize, ZRStream* destination, int unpacked,
                      int codec);

private:
    int CallbackRead(void* buffer, int count) { return source_->Read(buffer, count); }
    int CallbackWrite(void* buffer, int count) { return destination_->Write(buffer, count); }

    ZRStream* source_ = nullptr;
    ZRStream* destination_ = nullptr;
};
