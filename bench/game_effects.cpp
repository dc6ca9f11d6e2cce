// Cost of one frame of every transition kind on a 1280x720 32-bit screen, one entry for each
// phase whose work differs (the water's blend steps, the halo's levels, the mask wipe's three
// plane functions), beside the peer that bounds them: copying the frame with memcpy. The goal
// is under 2 ms a frame. Then the memory 100 whole transitions leave behind, with their
// resources loaded from files and freed after each one (goal: none).
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "foundation/zrfileman.h"
#include "game/gameeffect.h"
#include "game/gameeffect_kinds.h"
#include "game/gameeffect_res.h"

namespace {

constexpr int W = 1280, H = 720;

TNyRGBBits* Picture(int seed) {
    auto* b = new TNyRGBBits(nullptr);
    b->SetBitDepth(bd32);
    b->SetPixFormat(pf32_888);
    b->Resize(W, H);
    b->Create();
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; x += 16)
            b->BoxFill(x, y, x + 15, y, uint32_t((x * 7 + y * seed) & 0xFFFFFF));
    return b;
}

void WriteBytes(const std::filesystem::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A BMP of 8 bits (grey palette) or 24 bits, every pixel given by value(x, y).
template <typename F>
void WriteBmp(const std::filesystem::path& p, int w, int h, int bits, F value) {
    const int bpp = bits / 8;
    const uint32_t row = (uint32_t(w) * bpp + 3) & ~3u;
    const uint32_t palette = bits == 8 ? 1024 : 0;
    std::vector<uint8_t> f;
    auto put = [&f](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) f.push_back(uint8_t(v >> (8 * i)));
    };
    f.push_back('B');
    f.push_back('M');
    put(54 + palette + row * h, 4);
    put(0, 4);
    put(54 + palette, 4);
    put(40, 4);
    put(w, 4);
    put(h, 4);
    put(1, 2);
    put(bits, 2);
    for (int i = 0; i < 6; ++i) put(i == 4 && bits == 8 ? 256 : 0, 4);
    if (bits == 8)
        for (int i = 0; i < 256; ++i) put(uint32_t(i) * 0x010101, 4);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) put(value(x, y), bpp);
        for (uint32_t i = uint32_t(w) * bpp; i < row; ++i) f.push_back(0);
    }
    WriteBytes(p, f);
}

// The resource files in a scratch directory, served by a file manager.
struct Data {
    std::filesystem::path dir;
    ZRFileMan files;
    Data() {
        dir =
            std::filesystem::temp_directory_path() / ("bench_effects_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        std::vector<uint8_t> dist(kWaterDistBytes), sine(256), amp(kWaterMultiBytes);
        for (int r = 0; r < 360; ++r)
            for (int c = 0; c < 640; ++c) {
                const int d = int(std::sqrt(double(r * r + c * c)));
                dist[(r * 640 + c) * 2] = uint8_t(d);
                dist[(r * 640 + c) * 2 + 1] = uint8_t(d >> 8);
            }
        for (int k = 0; k < 256; ++k) sine[k] = uint8_t(127 + 127 * std::sin(k * 2 * M_PI / 256));
        for (int a = 0; a < 32; ++a)
            for (int s = 0; s < 255; ++s) amp[a * 255 + s] = uint8_t(127 + (s - 127) * a / 124);
        WriteBytes(dir / "WaterDistTbl.bin", dist);
        WriteBytes(dir / "WaterSinTbl.bin", sine);
        WriteBytes(dir / "WaterMultiTbl.bin", amp);
        WriteBmp(dir / "Mask.bmp", W, H, 8,
                 [](int x, int y) { return uint32_t((x + y) / 8 & 0xFF); });
        for (int i = 0; i <= kHaloLayers; ++i) {
            const int w = i == 0 ? W : 128 + 64 * i, h = i == 0 ? H : 96 + 48 * i;
            WriteBmp(dir / kHaloFiles[i], w, h, 24, [w, h](int x, int y) {
                const int dx = x - w / 2, dy = y - h / 2;
                const int v =
                    std::max(0, 120 - int(std::sqrt(double(dx * dx + dy * dy))) * 240 / w);
                return uint32_t(v * 0x010101);
            });
        }
        files.InitDir((dir.string() + "/").c_str());
    }
    ~Data() { std::filesystem::remove_all(dir); }
};

Data& Files() {
    static Data d;
    return d;
}

struct Scene {
    TNyRGBBits *from = Picture(3), *to = Picture(5), *target = Picture(1);
    TransitionEffect effect;
    Scene() {
        Data& d = Files();
        effect.water.LoadTables(&d.files);
        effect.mask.Load(&d.files, "Mask.bmp");
        effect.halo.Load(&d.files, bd32);
    }
    ~Scene() {
        delete from;
        delete to;
        delete target;
    }
};

void BM_MemcpyFrame(benchmark::State& state) {
    std::vector<uint8_t> a(size_t(W) * H * 4, 1), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(a.size()));
}
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMicrosecond);

// One frame of a kind at a level: arguments (kind, level).
void BM_KindFrame(benchmark::State& state) {
    Scene s;
    const uint8_t kind = uint8_t(state.range(0));
    const int32_t level = int32_t(state.range(1));
    const effect::Frame f{s.target, 0, s.from, s.to};
    const effect::Resources r{&s.effect.water, &s.effect.mask, &s.effect.halo};
    for (auto _ : state) {
        effect::DrawKind(kind, f, r, level);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_KindFrame)
    ->Unit(benchmark::kMicrosecond)
    ->ArgNames({"kind", "level"})
    ->Args({0, 64})
    ->Args({1, 64})
    ->Args({2, 64})
    ->Args({3, 80})
    ->Args({4, 80})
    ->Args({5, 80})
    ->Args({6, 80})
    ->Args({7, 10})  // zoom and the blend back into from
    ->Args({7, 34})  // zoom only
    ->Args({8, 10})
    ->Args({9, 10})
    ->Args({10, 5})    // stretch, blend and copy back
    ->Args({10, 17})   // blend only
    ->Args({11, 10})   // ripple of from
    ->Args({11, 35})   // blend step and ripple
    ->Args({11, 50})   // ripple of to
    ->Args({12, 1})    // tone, back picture and blend
    ->Args({12, 3})    // blend
    ->Args({12, 20})   // cross-fade and five layers
    ->Args({13, 100})  // SSub
    ->Args({13, 255})  // the mask itself
    ->Args({13, 300})  // SAdd
    ->Args({14, 100});

// 100 whole transitions, each loading its kind's resource from files and freeing it after,
// at one tick a frame; reports the heap in use afterwards minus before.
void BM_HundredTransitions(benchmark::State& state) {
    Data& d = Files();
    TNyRGBBits *from = Picture(3), *to = Picture(5), *target = Picture(1);
    auto run = [&](int n) {
        TransitionEffect e;
        for (int i = 0; i < n; ++i) {
            const uint8_t kind = uint8_t(i % 15);
            if (kind == 11) e.water.LoadTables(&d.files);
            if (kind == 12) e.halo.Load(&d.files, bd32);
            if (kind >= 13) e.mask.Load(&d.files, "Mask.bmp");
            e.Start(kind, from, 400, to);
            for (int guard = 0; !e.IsIdle() && guard < 1000; ++guard) {
                e.Advance(1);
                e.Draw(target, 0, nullptr);
            }
            e.water.Free();
            e.halo.Free();
            e.mask.Free();
        }
    };
    run(15);  // every kind once, so the allocator's own pools are grown before measuring
    for (auto _ : state) {
        const size_t before = mallinfo2().uordblks;
        run(100);
        const size_t after = mallinfo2().uordblks;
        state.counters["heap_growth_bytes"] = double(int64_t(after) - int64_t(before));
    }
    delete from;
    delete to;
    delete target;
}
BENCHMARK(BM_HundredTransitions)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
