// Archive speed beside its peers: name lookup through the index against the plain table scan
// it replaced, on 20,000 entries; and whole-entry reads (stored, Orvik, Pellum) against
// reading the same bytes with fread.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/zrpack.h"

namespace {

constexpr int kEntries = 20000;
constexpr int kBigEntry = 16 << 20;

void PutLE(std::string& s, size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

std::string EntryName(int i) { return "scene" + std::to_string(i) + ".csv"; }

// 20,000 stored 16-byte entries, laid out as the format says.
std::string ManyEntries() {
    std::string data, table;
    for (int i = 0; i < kEntries; ++i) {
        std::string r(48, '\0');
        std::string stem = "scene" + std::to_string(i);
        r.replace(0, stem.size(), stem);
        r.replace(21, 3, "csv");
        PutLE(r, 24, static_cast<uint32_t>(data.size()), 4);
        PutLE(r, 28, 16, 4);
        PutLE(r, 32, 16, 4);
        data += std::string(16, static_cast<char>(i));
        table += r;
    }
    std::string out(16, '\0');
    out.replace(0, 6, "NyPack");
    PutLE(out, 6, 0x0300, 2);
    PutLE(out, 8, static_cast<uint32_t>(data.size()), 4);
    PutLE(out, 12, kEntries, 4);
    return out + data + table;
}

struct ManyFixture {
    ManyFixture() : bytes(ManyEntries()), stream(bytes.data(), static_cast<int>(bytes.size())) {
        pack.LoadPackStream(&stream);
        for (int i = 0; i < kEntries; ++i) names.push_back(EntryName(i));
    }
    std::string bytes;
    ZRMemoryStream stream;
    ZRPack pack;
    std::vector<std::string> names;
};

ManyFixture& Many() {
    static ManyFixture f;
    return f;
}

void BM_LookupIndexed(benchmark::State& state) {
    ManyFixture& f = Many();
    for (auto _ : state) {
        for (const std::string& n : f.names) benchmark::DoNotOptimize(f.pack.CheckFileName(n.c_str()));
    }
    state.SetItemsProcessed(state.iterations() * kEntries);
}
BENCHMARK(BM_LookupIndexed)->Unit(benchmark::kMillisecond);

// The lookup as the table scan does it: upper-case the name and every entry's full name.
int ScanLookup(ZRPack& pack, const char* name) {
    if (std::strlen(name) > 25) return -1;
    ZRString want = ZRString(name).UpperCase();
    char entry[26];
    for (int i = 0; i < pack.GetFileNum(); ++i) {
        pack.GetFileName(i, entry);
        if (ZRString(entry).UpperCase() == want) return i;
    }
    return -1;
}

void BM_LookupPlainScan(benchmark::State& state) {
    ManyFixture& f = Many();
    // Every 100th name: the whole list would take minutes.
    for (auto _ : state) {
        for (int i = 0; i < kEntries; i += 100) benchmark::DoNotOptimize(ScanLookup(f.pack, f.names[i].c_str()));
    }
    state.SetItemsProcessed(state.iterations() * (kEntries / 100));
}
BENCHMARK(BM_LookupPlainScan)->Unit(benchmark::kMillisecond);

// One archive on disk holding the same 16 MiB three ways.
struct BigFixture {
    BigFixture() {
        const char* tmp = std::getenv("TMPDIR");
        dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/nypack_bench_" + std::to_string(getpid());
        std::string source = dir + ".src", archive = dir + ".pak";
        std::string bytes;
        uint32_t x = 1;
        static const char* const kWords[] = {"alpha ", "sprite ", "0042 ", "voice\n", "bg_", "chara "};
        while (bytes.size() < static_cast<size_t>(kBigEntry)) {
            x = x * 1103515245u + 12345u;
            bytes += kWords[(x >> 16) % 6];
            bytes += static_cast<char>('a' + (x >> 8) % 26);
        }
        bytes.resize(kBigEntry);
        FILE* f = std::fopen(source.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        ZRPack w;
        w.SetReadOnly(false);
        w.NewPack(archive.c_str());
        w.AddFile("stored.txt", source.c_str(), 0, false);
        w.AddFile("orvik.txt", source.c_str(), 1, false);
        w.AddFile("pellum.txt", source.c_str(), 2, false);
        w.EndPack();
        std::remove(source.c_str());
        path = archive;
        pack.OpenPack(archive.c_str());
        storedAt = 16 + static_cast<long>(pack.GetFileTable(0)->offset);
    }
    ~BigFixture() { std::remove(path.c_str()); }
    std::string dir, path;
    ZRPack pack;
    long storedAt = 0;
};

BigFixture& Big() {
    static BigFixture f;
    return f;
}

void ReadWhole(benchmark::State& state, const char* name) {
    BigFixture& f = Big();
    for (auto _ : state) {
        std::unique_ptr<ZRStream> s(f.pack.ZRMakeStream(name));
        if (!s || s->GetSize() != kBigEntry) state.SkipWithError("entry did not read");
        benchmark::DoNotOptimize(s.get());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBigEntry));
}

void BM_ReadStored(benchmark::State& state) { ReadWhole(state, "stored.txt"); }
void BM_ReadOrvik(benchmark::State& state) { ReadWhole(state, "orvik.txt"); }
void BM_ReadPellum(benchmark::State& state) { ReadWhole(state, "pellum.txt"); }

// The peer: the same bytes into fresh memory with fread.
void BM_Fread(benchmark::State& state) {
    BigFixture& f = Big();
    FILE* file = std::fopen(f.path.c_str(), "rb");
    for (auto _ : state) {
        std::unique_ptr<char[]> buffer(new char[kBigEntry]);
        std::fseek(file, f.storedAt, SEEK_SET);
        if (std::fread(buffer.get(), 1, kBigEntry, file) != static_cast<size_t>(kBigEntry)) {
            state.SkipWithError("short fread");
        }
        benchmark::DoNotOptimize(buffer.get());
    }
    std::fclose(file);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBigEntry));
}

BENCHMARK(BM_Fread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadStored)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadOrvik)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPellum)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
