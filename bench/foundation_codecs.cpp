// The archive codecs beside their peers on the same inputs: Pellum (three block sizes) against
// bzip2 at block size 1, Orvik against zlib at levels 1 and 6. Inputs are real files of this
// machine (C headers, a slice of an executable) and generated text and noise. Every row gives
// MB/s of uncompressed bytes and the compressed size. The block sort is also timed alone on
// blocks whose rotations share long prefixes.
#include <benchmark/benchmark.h>
#include <bzlib.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/zrblocksort.h"
#include "foundation/zrorvik.h"
#include "foundation/zrpellum.h"
#include "tests/foundation/codec_support.h"

namespace {

constexpr size_t kCorpusSize = 1 << 20;

Bytes ReadFile(const std::string& path, size_t offset, size_t limit) {
    Bytes b;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return b;
    if (std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0) {
        b.resize(limit);
        b.resize(std::fread(b.data(), 1, limit, f));
    }
    std::fclose(f);
    return b;
}

Bytes Headers() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator("/usr/include"))
        if (e.is_regular_file() && e.path().extension() == ".h") names.push_back(e.path());
    std::sort(names.begin(), names.end());
    Bytes all;
    for (const auto& n : names) {
        const Bytes b = ReadFile(n, 0, kCorpusSize);
        all.insert(all.end(), b.begin(), b.end());
        if (all.size() >= kCorpusSize) break;
    }
    all.resize(std::min(all.size(), kCorpusSize));
    return all;
}

Bytes Executable() {
    Bytes b = ReadFile("/usr/bin/cmake", kCorpusSize, kCorpusSize);
    if (b.size() < kCorpusSize / 2) b = ReadFile("/proc/self/exe", 0, kCorpusSize);
    return b;
}

// Output sink with room for the whole result, so the codecs are timed and not the copies.
struct Sink {
    const Bytes* in = nullptr;
    size_t pos = 0;
    Bytes out;
    size_t used = 0;
    int Read(void* buf, int n) {
        const int k = static_cast<int>(std::min<size_t>(n, in->size() - pos));
        std::memcpy(buf, in->data() + pos, k);
        pos += k;
        return k;
    }
    int Write(void* buf, int n) {
        if (used + n > out.size()) return 0;
        std::memcpy(out.data() + used, buf, n);
        used += n;
        return n;
    }
    void Reset(const Bytes& input, size_t room) {
        in = &input;
        pos = 0;
        used = 0;
        if (out.size() < room) out.resize(room);
    }
    ZRBaseCallback2<int, void*, int> R() { return {this, &Sink::Read}; }
    ZRBaseCallback2<int, void*, int> W() { return {this, &Sink::Write}; }
};

void Report(benchmark::State& state, size_t raw, size_t packed) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * raw));
    state.counters["MB/s"] = benchmark::Counter(static_cast<double>(raw) / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
    state.counters["packed"] = static_cast<double>(packed);
    state.counters["ratio%"] = 100.0 * static_cast<double>(packed) / static_cast<double>(raw);
}

template <typename Enc>
Bytes EncodeWith(const Bytes& data) {
    Enc enc;
    Sink s;
    s.Reset(data, 2 * data.size() + 64);
    if (!enc.Encode(static_cast<int>(data.size()), static_cast<int>(2 * data.size() + 64), s.R(),
                    s.W(), {}))
        return {};
    return Bytes(s.out.begin(), s.out.begin() + s.used);
}

template <typename Enc>
void StreamEncode(benchmark::State& state, const Bytes& data) {
    Enc enc;
    Sink s;
    for (auto _ : state) {
        s.Reset(data, 2 * data.size() + 64);
        if (!enc.Encode(static_cast<int>(data.size()), static_cast<int>(2 * data.size() + 64),
                        s.R(), s.W(), {}))
            state.SkipWithError("encode failed");
    }
    Report(state, data.size(), s.used);
}

template <typename Dec>
void StreamDecode(benchmark::State& state, const Bytes& data, const Bytes& packed) {
    Dec dec;
    Sink s;
    for (auto _ : state) {
        s.Reset(packed, data.size());
        if (!dec.Decode(static_cast<int>(packed.size()), static_cast<int>(data.size()), s.R(),
                        s.W(), {}))
            state.SkipWithError("decode failed");
    }
    if (s.used != data.size() || std::memcmp(s.out.data(), data.data(), data.size()) != 0)
        state.SkipWithError("decoded bytes differ");
    Report(state, data.size(), packed.size());
}

Bytes Bzip(const Bytes& data) {
    Bytes out(data.size() + data.size() / 100 + 600);
    unsigned int len = static_cast<unsigned int>(out.size());
    if (BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &len,
                                 const_cast<char*>(reinterpret_cast<const char*>(data.data())),
                                 static_cast<unsigned int>(data.size()), 1, 0, 0) != BZ_OK)
        return {};
    out.resize(len);
    return out;
}

void BzipCompress(benchmark::State& state, const Bytes& data) {
    size_t packed = 0;
    for (auto _ : state) packed = Bzip(data).size();
    Report(state, data.size(), packed);
}

void BzipDecompress(benchmark::State& state, const Bytes& data, const Bytes& packed) {
    Bytes out(data.size());
    for (auto _ : state) {
        unsigned int len = static_cast<unsigned int>(out.size());
        if (BZ2_bzBuffToBuffDecompress(reinterpret_cast<char*>(out.data()), &len,
                                       const_cast<char*>(reinterpret_cast<const char*>(packed.data())),
                                       static_cast<unsigned int>(packed.size()), 0, 0) != BZ_OK)
            state.SkipWithError("bzip2 decompress failed");
    }
    Report(state, data.size(), packed.size());
}

Bytes Deflate(const Bytes& data, int level) {
    uLongf len = compressBound(data.size());
    Bytes out(len);
    if (compress2(out.data(), &len, data.data(), data.size(), level) != Z_OK) return {};
    out.resize(len);
    return out;
}

void ZlibCompress(benchmark::State& state, const Bytes& data, int level) {
    size_t packed = 0;
    for (auto _ : state) packed = Deflate(data, level).size();
    Report(state, data.size(), packed);
}

void ZlibInflate(benchmark::State& state, const Bytes& data, const Bytes& packed) {
    Bytes out(data.size());
    for (auto _ : state) {
        uLongf len = out.size();
        if (uncompress(out.data(), &len, packed.data(), packed.size()) != Z_OK)
            state.SkipWithError("inflate failed");
    }
    Report(state, data.size(), packed.size());
}

// The block sort alone on whole blocks whose rotations share long prefixes (periodic, one
// long run) beside text and noise: the refinement must keep all of them near n log n.
void BlockSort(benchmark::State& state, const Bytes& block) {
    ZRBWTEncode enc;
    if (!enc.Create()) {
        state.SkipWithError("no tables");
        return;
    }
    Bytes out(block.size() + 2);
    for (auto _ : state)
        if (!enc.Encode(block.data(), out.data(), static_cast<int>(block.size())))
            state.SkipWithError("encode failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * block.size()));
    state.counters["rows keyed"] = static_cast<double>(enc.RowsKeyed());
}

void RegisterBlockSorts() {
    static const std::vector<std::pair<std::string, Bytes>> blocks = [] {
        std::vector<std::pair<std::string, Bytes>> b = {
            {"periodic_ab", gen::Periodic(65536, "ab")},
            {"periodic_abcdefg", gen::Periodic(65536, "abcdefg")},
            {"text", gen::Text(65536, 3)},
            {"random", gen::Random(65536, 4)}};
        Bytes runs(65536, 'a');
        runs[40000] = 'b';
        b.push_back({"one_run", runs});
        return b;
    }();
    for (const auto& [name, block] : blocks)
        benchmark::RegisterBenchmark(("BlockSort64K/" + name).c_str(),
                                     [&block](benchmark::State& s) { BlockSort(s, block); });
}

struct Corpus {
    std::string name;
    Bytes data;
};

std::vector<Corpus>& Corpora() {
    static std::vector<Corpus> corpora;
    return corpora;
}

void Register(const Corpus& c) {
    using benchmark::RegisterBenchmark;
    const Bytes& d = c.data;
    const auto name = [&](const char* what) { return std::string(what) + "/" + c.name; };

    RegisterBenchmark(name("PellumEncode32K").c_str(), [&d](benchmark::State& s) { StreamEncode<ZRPellumEncode>(s, d); });
    RegisterBenchmark(name("PellumEncode8K").c_str(), [&d](benchmark::State& s) { StreamEncode<ZRPellumLEEncode>(s, d); });
    RegisterBenchmark(name("PellumEncode1K").c_str(), [&d](benchmark::State& s) { StreamEncode<ZRPellumMiniEncode>(s, d); });
    RegisterBenchmark(name("Bzip2Compress1").c_str(), [&d](benchmark::State& s) { BzipCompress(s, d); });
    const Bytes p32 = EncodeWith<ZRPellumEncode>(d), p8 = EncodeWith<ZRPellumLEEncode>(d),
                p1 = EncodeWith<ZRPellumMiniEncode>(d), bz = Bzip(d);
    RegisterBenchmark(name("PellumDecode32K").c_str(), [&d, p32](benchmark::State& s) { StreamDecode<ZRPellumDecode>(s, d, p32); });
    RegisterBenchmark(name("PellumDecode8K").c_str(), [&d, p8](benchmark::State& s) { StreamDecode<ZRPellumDecode>(s, d, p8); });
    RegisterBenchmark(name("PellumDecode1K").c_str(), [&d, p1](benchmark::State& s) { StreamDecode<ZRPellumDecode>(s, d, p1); });
    RegisterBenchmark(name("Bzip2Decompress").c_str(), [&d, bz](benchmark::State& s) { BzipDecompress(s, d, bz); });

    RegisterBenchmark(name("OrvikEncode").c_str(), [&d](benchmark::State& s) { StreamEncode<ZROrvikEncode>(s, d); });
    RegisterBenchmark(name("ZlibCompress1").c_str(), [&d](benchmark::State& s) { ZlibCompress(s, d, 1); });
    RegisterBenchmark(name("ZlibCompress6").c_str(), [&d](benchmark::State& s) { ZlibCompress(s, d, 6); });
    const Bytes ov = EncodeWith<ZROrvikEncode>(d), z6 = Deflate(d, 6);
    RegisterBenchmark(name("OrvikDecode").c_str(), [&d, ov](benchmark::State& s) { StreamDecode<ZROrvikDecode>(s, d, ov); });
    RegisterBenchmark(name("ZlibInflate").c_str(), [&d, z6](benchmark::State& s) { ZlibInflate(s, d, z6); });
}

}  // namespace

int main(int argc, char** argv) {
    auto& corpora = Corpora();
    corpora.push_back({"headers", Headers()});
    corpora.push_back({"executable", Executable()});
    corpora.push_back({"gentext", gen::Text(kCorpusSize, 11)});
    corpora.push_back({"genbinary", gen::Binary(kCorpusSize, 12)});
    corpora.push_back({"random", gen::Random(kCorpusSize / 4, 13)});
    for (const Corpus& c : corpora) {
        std::printf("corpus %-10s %8zu bytes\n", c.name.c_str(), c.data.size());
        if (!c.data.empty()) Register(c);
    }
    RegisterBlockSorts();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
