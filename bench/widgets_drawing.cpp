// Whole-frame drawing calls of the bitmap (1280x720, 32-bit) beside memcpy of the same frame and
// pixman's nearest operations on the same memory: Draw against a plain copy, AlphaBlend at rate
// 37 against OVER through a solid mask, DrawAlphaMask with a sprite-like plane against OVER
// through an a8 mask, and ToneChange against memcpy. Frames rotate through several sets so the
// figures are memory-bound as in the game.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "widgets/nyrgbbits.h"

namespace {

constexpr int kW = 1280, kH = 720, kSets = 6;

struct Set {
    std::unique_ptr<TNyRGBBits> dst, src;
    std::unique_ptr<TNyAlpha> plane;
    pixman_image_t *pdst = nullptr, *psrc = nullptr, *pmask = nullptr;
};

std::unique_ptr<TNyRGBBits> Frame(std::mt19937& rng) {
    auto b = std::make_unique<TNyRGBBits>();
    b->SetPixFormat(pf32_888);
    b->SetWidth(kW);
    b->SetHeight(kH);
    b->Create();
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) b->PSet(x, y, rng());
    return b;
}

// Sprites: opaque discs with a soft 4-pixel rim on a transparent ground.
std::unique_ptr<TNyAlpha> Sprites() {
    auto a = std::make_unique<TNyAlpha>();
    a->SetWidth(kW);
    a->SetHeight(kH);
    a->Create();
    a->Fill(0);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const int dx = x % 160 - 80, dy = y % 180 - 90;
            const int d = dx * dx + dy * dy;
            if (d < 60 * 60)
                a->PSet(x, y, 255);
            else if (d < 64 * 64)
                a->PSet(x, y, static_cast<unsigned char>(255 - (d - 3600) * 255 / 496));
        }
    return a;
}

std::vector<Set>& Sets() {
    static std::vector<Set> sets = [] {
        std::mt19937 rng(1);
        std::vector<Set> v(kSets);
        for (auto& s : v) {
            s.dst = Frame(rng);
            s.src = Frame(rng);
            s.plane = Sprites();
            s.pdst = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH,
                                              reinterpret_cast<uint32_t*>(s.dst->Bits()),
                                              s.dst->Pitch());
            s.psrc = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH,
                                              reinterpret_cast<uint32_t*>(s.src->Bits()),
                                              s.src->Pitch());
            s.pmask = pixman_image_create_bits(
                PIXMAN_a8, kW, kH, reinterpret_cast<uint32_t*>(s.plane->Bits()), s.plane->Pitch());
        }
        return v;
    }();
    return sets;
}

template <typename F>
void Run(benchmark::State& st, F draw) {
    auto& sets = Sets();
    int i = 0;
    for (auto _ : st) {
        draw(sets[i]);
        benchmark::ClobberMemory();
        i = (i + 1) % kSets;
    }
    st.SetItemsProcessed(st.iterations());
}

void Memcpy(benchmark::State& st) {
    Run(st, [](Set& s) { std::memcpy(s.dst->Bits(), s.src->Bits(), size_t(kW) * kH * 4); });
}
void Draw(benchmark::State& st) {
    Run(st, [](Set& s) { s.dst->Draw(0, 0, s.src.get(), 0, 0, kW, kH); });
}
void PixmanSrc(benchmark::State& st) {
    Run(st, [](Set& s) {
        pixman_image_composite32(PIXMAN_OP_SRC, s.psrc, nullptr, s.pdst, 0, 0, 0, 0, 0, 0, kW, kH);
    });
}
void AlphaBlend37(benchmark::State& st) {
    Run(st, [](Set& s) { s.dst->AlphaBlend(0, 0, s.src.get(), 0, 0, kW, kH, 37); });
}
void PixmanOverSolid37(benchmark::State& st) {
    const pixman_color_t c = {0, 0, 0, 37 * 512};
    pixman_image_t* solid = pixman_image_create_solid_fill(&c);
    Run(st, [&](Set& s) {
        pixman_image_composite32(PIXMAN_OP_OVER, s.psrc, solid, s.pdst, 0, 0, 0, 0, 0, 0, kW, kH);
    });
    pixman_image_unref(solid);
}
void DrawAlphaMask(benchmark::State& st) {
    Run(st, [](Set& s) { s.dst->DrawAlphaMask(0, 0, s.src.get(), 0, 0, kW, kH, s.plane.get()); });
}
void PixmanOverA8(benchmark::State& st) {
    Run(st, [](Set& s) {
        pixman_image_composite32(PIXMAN_OP_OVER, s.psrc, s.pmask, s.pdst, 0, 0, 0, 0, 0, 0, kW, kH);
    });
}
void ToneChange(benchmark::State& st) {
    Run(st, [](Set& s) { s.dst->ToneChange(0, 0, kW - 1, kH - 1, 0x808080); });
}

BENCHMARK(Memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(Draw)->Unit(benchmark::kMicrosecond);
BENCHMARK(PixmanSrc)->Unit(benchmark::kMicrosecond);
BENCHMARK(AlphaBlend37)->Unit(benchmark::kMicrosecond);
BENCHMARK(PixmanOverSolid37)->Unit(benchmark::kMicrosecond);
BENCHMARK(DrawAlphaMask)->Unit(benchmark::kMicrosecond);
BENCHMARK(PixmanOverA8)->Unit(benchmark::kMicrosecond);
BENCHMARK(ToneChange)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
