// Test helpers for the streaming codecs: an in-memory source and sink behind the read and
// write callbacks, generated inputs of the usual shapes, and one-call encode/decode wrappers.
#pragma once
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "foundation/zrcallback.h"

using Bytes = std::vector<unsigned char>;

inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

class MemIO {
public:
    explicit MemIO(Bytes input = {}) : in(std::move(input)) {}

    int Read(void* buf, int count) {
        requested += count;
        if (count > maxRead) maxRead = count;
        int n = std::min<int64_t>(count, static_cast<int64_t>(in.size()) - pos);
        if (n < 0) n = 0;
        if (shortReads && n > 0) --n;
        std::memcpy(buf, in.data() + pos, n);
        pos += n;
        return n;
    }
    int Write(void* buf, int count) {
        if (count > maxWrite) maxWrite = count;
        const auto* p = static_cast<unsigned char*>(buf);
        const int n = shortWrites && count > 0 ? count - 1 : count;
        out.insert(out.end(), p, p + n);
        return n;
    }
    bool Progress(int percent) {
        progress.push_back(percent);
        return true;
    }
    ZRBaseCallback2<int, void*, int> R() { return {this, &MemIO::Read}; }
    ZRBaseCallback2<int, void*, int> W() { return {this, &MemIO::Write}; }
    ZRBaseCallback1<bool, int> P() { return {this, &MemIO::Progress}; }

    Bytes in, out;
    int64_t pos = 0;
    int64_t requested = 0;
    int maxRead = 0, maxWrite = 0;
    bool shortReads = false, shortWrites = false;
    std::vector<int> progress;
};

namespace gen {

inline Bytes Random(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& c : b) c = static_cast<unsigned char>(rng());
    return b;
}

// Words from a small vocabulary with spaces and line breaks: compresses like prose.
inline Bytes Text(size_t n, uint32_t seed) {
    static const char* const words[] = {"the", "engine", "reads", "a", "scene", "and",
                                        "draws", "text", "window", "of", "story", "NyPack",
                                        "archive", "voice", "music", "choice", "\n", "save"};
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) {
        const char* w = words[rng() % (sizeof(words) / sizeof(words[0]))];
        b.insert(b.end(), w, w + std::strlen(w));
        b.push_back(' ');
    }
    b.resize(n);
    return b;
}

// Small integers in little-endian records with runs of zeros, like tables in a binary.
inline Bytes Binary(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) {
        const uint32_t v = rng() % 4 == 0 ? rng() : rng() % 300;
        for (int k = 0; k < 4; ++k) b.push_back(static_cast<unsigned char>(v >> (8 * k)));
        if (rng() % 16 == 0) b.insert(b.end(), rng() % 40, 0);
    }
    b.resize(n);
    return b;
}

inline Bytes Zeros(size_t n) { return Bytes(n, 0); }

inline Bytes Periodic(size_t n, const std::string& pattern) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>(pattern[i % pattern.size()]);
    return b;
}

// Every shape at the given size, with a name for failure messages.
inline std::vector<std::pair<std::string, Bytes>> AllShapes(size_t n) {
    return {{"text", Text(n, 1)},
            {"binary", Binary(n, 2)},
            {"zeros", Zeros(n)},
            {"periodic", Periodic(n, "abcab")},
            {"random", Random(n, 3)}};
}

}  // namespace gen

// Runs enc.Encode over data with the given limit (twice the size by default).
template <typename Enc>
std::optional<Bytes> Compress(Enc& enc, const Bytes& data, int limit = -1) {
    MemIO io(data);
    if (limit < 0) limit = 2 * static_cast<int>(data.size());
    if (!enc.Encode(static_cast<int>(data.size()), limit, io.R(), io.W(), {})) return std::nullopt;
    if (enc.GetCompressedSize() != static_cast<int>(io.out.size())) return std::nullopt;
    return io.out;
}

template <typename Dec>
std::optional<Bytes> Decompress(Dec& dec, const Bytes& packed, int size) {
    MemIO io(packed);
    if (!dec.Decode(static_cast<int>(packed.size()), size, io.R(), io.W(), {})) return std::nullopt;
    return io.out;
}
