// A widget tree shaped like a game screen (a 1280x720 background, 40 alpha-blended widgets of
// button and icon size, text-sized panels in a column) drawn into a 1280x720 frame: a full
// redraw, and a dirty-rectangle update after one small widget changed its block, beside
// memcpy of one frame.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbpanel.h"

namespace {

constexpr int kW = 1280, kH = 720;

std::unique_ptr<TNyRGBBits> Bits(int w, int h, std::mt19937& rng, ZRPixFormat f = pf32_888) {
    auto b = std::make_unique<TNyRGBBits>();
    b->SetPixFormat(f);
    b->Resize(w, h);
    b->Create();
    for (int y = 0; y < h; y += 4)
        for (int x = 0; x < w; x += 4) b->BoxFill(x, y, x + 3, y + 3, rng());
    return b;
}

std::unique_ptr<TNyAlpha> Plane(int w, int h, std::mt19937& rng) {
    auto a = std::make_unique<TNyAlpha>();
    a->Resize(w, h);
    a->Create();
    // Opaque cores with soft edges, as sprites and buttons usually are.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int edge = std::min(std::min(x, w - 1 - x), std::min(y, h - 1 - y));
            a->PSet(x, y, edge >= 4 ? 255 : uint8_t(rng() % 256));
        }
    return a;
}

struct Screen {
    std::mt19937 rng{5};
    plat::TComponent owner;
    std::vector<std::unique_ptr<TNyRGBBits>> pictures;
    std::vector<std::unique_ptr<TNyAlpha>> planes;
    std::unique_ptr<TNyRGBBits> frame;
    TNyRGBPanel* root;
    TNyRGBPanel* small = nullptr;

    TNyRGBPanel* Widget(TNyRGBPanel* parent, int x, int y, int w, int h, int blocks) {
        pictures.push_back(Bits(w, h * blocks, rng));
        planes.push_back(Plane(w, h * blocks, rng));
        auto* p = new TNyRGBPanel(&owner, parent);
        p->SetNumBlock(blocks);
        p->SetImage(pictures.back().get());
        p->SetAlpha(planes.back().get());
        p->SetMaskMode(1);
        p->SetOffsetX(x);
        p->SetOffsetY(y);
        return p;
    }

    Screen() {
        frame = Bits(kW, kH, rng);
        pictures.push_back(Bits(kW, kH, rng));
        root = new TNyRGBPanel(&owner);
        root->SetImage(pictures.back().get());
        // Buttons along the bottom, icons in a grid, text-sized labels down the side.
        for (int i = 0; i < 10; ++i) Widget(root, 40 + i * 120, 640, 110, 40, 3);
        for (int i = 0; i < 20; ++i) Widget(root, 300 + (i % 5) * 140, 80 + (i / 5) * 130, 96, 96, 2);
        for (int i = 0; i < 12; ++i) Widget(root, 20, 60 + i * 44, 240, 24, 1);
        small = Widget(root, 1200, 20, 48, 48, 2);
        root->AllCreate();
        root->Draw(frame.get(), 0, 0);
    }
};

void BM_FullRedraw(benchmark::State& state) {
    Screen s;
    for (auto _ : state) {
        s.root->Draw(s.frame.get(), 0, 0);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}
BENCHMARK(BM_FullRedraw);

void BM_UpdateOneSmallWidget(benchmark::State& state) {
    Screen s;
    int block = 0;
    for (auto _ : state) {
        block ^= 1;
        s.small->SetBlockIndex(block);
        s.root->Update(s.frame.get(), 0, 0);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_UpdateOneSmallWidget);

void BM_MemcpyFrame(benchmark::State& state) {
    std::vector<uint8_t> a(size_t(kW) * kH * 4, 1), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(a.size()));
}
BENCHMARK(BM_MemcpyFrame);

}  // namespace

BENCHMARK_MAIN();
