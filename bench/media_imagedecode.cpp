// Decoding a 1280x720 PNG and JPEG into pf32_888 through the engine's readers, beside the
// same decode through the libraries' own interfaces (libpng's simplified reader, libjpeg's
// scanline loop writing blue-green-red-x rows): the ratio is the readers' overhead.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

#include "media/zrjpeg.h"
#include "media/zrpng.h"
#include "jpeg_peer.h"
#include "tests/media/imagefixtures.h"

namespace {

using imgfix::Bytes;

constexpr int kW = 1280, kH = 720;

// A picture with gradients, shapes and a little noise, as rendered stills look.
Bytes Picture(int channels) {
    std::mt19937 rng(5);
    Bytes b(static_cast<size_t>(kW) * kH * channels);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint8_t* p = &b[(static_cast<size_t>(y) * kW + x) * channels];
            const bool disc = (x - 640) * (x - 640) + (y - 360) * (y - 360) < 200 * 200;
            p[0] = uint8_t(x / 5 + (rng() & 3));
            p[1] = uint8_t(disc ? 220 : y / 3);
            p[2] = uint8_t((x + y) / 8);
            if (channels == 4) p[3] = uint8_t(disc ? 255 : 128 + x / 10);
        }
    return b;
}

const Bytes& PngFile() {
    static const Bytes file = [] {
        const Bytes px = Picture(4);
        std::vector<Bytes> rows;
        for (int y = 0; y < kH; ++y)
            rows.emplace_back(px.begin() + y * kW * 4, px.begin() + (y + 1) * kW * 4);
        imgfix::PngSpec desc;
        desc.width = kW;
        desc.height = kH;
        desc.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
        return imgfix::EncodePng(desc, rows);
    }();
    return file;
}

const Bytes& JpegFile() {
    static const Bytes file = imgfix::EncodeJpeg({kW, kH, 3, false, 2, 2}, Picture(3));
    return file;
}

void BM_LoadPng(benchmark::State& state) {
    const Bytes& file = PngFile();
    unsigned char* out = static_cast<unsigned char*>(std::malloc(kW * kH * 4));
    for (auto _ : state) {
        ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
        int w, h;
        if (!LoadPng(&s, &out, &w, &h, pf32_888)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out);
    }
    std::free(out);
}

void BM_LibpngSimplified(benchmark::State& state) {
    const Bytes& file = PngFile();
    Bytes out(static_cast<size_t>(kW) * kH * 4);
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        png_image_begin_read_from_memory(&image, file.data(), file.size());
        image.format = PNG_FORMAT_BGRA;
        if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_LoadJpeg(benchmark::State& state) {
    const Bytes& file = JpegFile();
    unsigned char* out = static_cast<unsigned char*>(std::malloc(kW * kH * 4));
    for (auto _ : state) {
        ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
        int w, h;
        if (!LoadJpeg(&s, &out, &w, &h, pf32_888)) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(out);
    }
    std::free(out);
}

void BM_LibjpegScanlines(benchmark::State& state) {
    const Bytes& file = JpegFile();
    Bytes out(static_cast<size_t>(kW) * kH * 4);
    for (auto _ : state) {
        LibjpegDecodeBgrx(file.data(), file.size(), out.data(), kW);
        benchmark::DoNotOptimize(out.data());
    }
}

BENCHMARK(BM_LoadPng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibpngSimplified)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibjpegScanlines)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
