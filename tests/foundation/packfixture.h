// Builds "NyPack" archives byte by byte, in every version, for the archive and file manager
// tests: records are laid out exactly as the format says, independent of the writer.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/zrcomp.h"

struct RawEntry {
    std::string stem;    // up to 21 bytes
    std::string ext;     // up to 3 bytes
    std::string stored;  // the bytes in the data area
    int64_t size = -1;   // unpacked size; -1: the stored length
    uint8_t comp = 0;
    uint8_t crcFlag = 1;
    int crc = -1;        // -1: the CRC of the stored bytes
    uint64_t time = 0x01D0000000000000ULL;
    int64_t offset = -1;  // -1: where the builder puts the bytes
};

inline void PutLE(std::string& s, size_t at, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

inline uint16_t Crc16(const std::string& bytes) {
    ZRCrcCheck crc;
    return crc.Crc(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
}

struct RawPack {
    uint16_t version = 0x0300;
    std::string magic = "NyPack";
    std::vector<RawEntry> entries;
    int64_t count = -1;     // -1: entries.size()
    int64_t dataSize = -1;  // -1: the real data-area size
    bool trailingCrc = true;
    int crcDelta = 0;       // added to the whole-archive CRC to damage it

    std::string Build() const {
        int width = version == 0x0100 ? 32 : version == 0x0200 ? 40 : 48;
        std::string data;
        std::vector<uint32_t> offsets;
        for (const RawEntry& e : entries) {
            offsets.push_back(static_cast<uint32_t>(e.offset >= 0 ? e.offset : static_cast<int64_t>(data.size())));
            data += e.stored;
            data.append((16 - data.size() % 16) % 16, '\0');
        }
        std::string out(16, '\0');
        out.replace(0, 6, magic.substr(0, 6));
        PutLE(out, 6, version, 2);
        PutLE(out, 8, static_cast<uint64_t>(dataSize >= 0 ? dataSize : static_cast<int64_t>(data.size())), 4);
        PutLE(out, 12, static_cast<uint64_t>(count >= 0 ? count : static_cast<int64_t>(entries.size())), 4);
        out += data;
        for (size_t i = 0; i < entries.size(); ++i) {
            const RawEntry& e = entries[i];
            std::string r(static_cast<size_t>(width), '\0');
            r.replace(0, e.stem.size(), e.stem);
            r.replace(21, e.ext.size(), e.ext);
            PutLE(r, 24, offsets[i], 4);
            PutLE(r, 28, static_cast<uint64_t>(e.size >= 0 ? e.size : static_cast<int64_t>(e.stored.size())), 4);
            if (width >= 40) {
                PutLE(r, 32, e.stored.size(), 4);
                r[36] = static_cast<char>(e.comp);
            }
            if (width == 48) {
                r[37] = static_cast<char>(e.crcFlag);
                PutLE(r, 38, static_cast<uint64_t>(e.crc >= 0 ? e.crc : Crc16(e.stored)), 2);
                PutLE(r, 40, e.time, 8);
            }
            out += r;
        }
        if (width == 48 && trailingCrc) {
            std::string tail(2, '\0');
            PutLE(tail, 0, static_cast<uint16_t>(Crc16(out) + crcDelta), 2);
            out += tail;
        }
        return out;
    }
};

inline std::string Inverted(std::string s) {
    for (char& c : s) c = static_cast<char>(~c);
    return s;
}

// Bytes with some repetition, so that both codecs shrink them.
inline std::string TextLike(size_t n, uint32_t seed = 1) {
    static const char* const kWords[] = {"scene ", "sprite ", "alpha ", "0042 ", "voice\n", "bg_", "chara "};
    std::string s;
    uint32_t x = seed;
    while (s.size() < n) {
        x = x * 1103515245u + 12345u;
        s += kWords[(x >> 16) % 7];
    }
    s.resize(n);
    return s;
}

inline std::string Noise(size_t n, uint32_t seed = 7) {
    std::string s(n, '\0');
    uint32_t x = seed;
    for (char& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return s;
}
