// The pixel kernels, plain and fast, on one 1280-pixel row in cache, on odd widths, and on whole
// 1280x720 frames rotated through enough buffers to stay out of cache; beside memcpy moving the
// same traffic (the physical limit) and pixman's nearest operations. Every figure is reported as
// bytes of traffic per second (reads plus writes), so the columns compare directly.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "media/zrmem.h"
#include "media/zrrgbcopy.h"
#include "media/zrrgbeffect.h"

namespace {

constexpr unsigned kW = 1280, kH = 720;
constexpr std::size_t kStride = kW * 4;
constexpr std::size_t kFrame = kStride * kH;
// Three 32-bit frames and one alpha plane per set; eight sets are about 95 MB, three times the
// largest last-level cache this is meant to run on.
constexpr int kSets = 8;

struct Pool {
    std::vector<uint8_t> quads, planes;
    Pool() : quads(kFrame * 3 * kSets), planes(std::size_t(kW) * kH * kSets) {
        std::mt19937 rng(42);
        for (auto& b : quads) b = static_cast<uint8_t>(rng());
        for (auto& b : planes) b = static_cast<uint8_t>(rng());
    }
    uint8_t* Quad(int set, int i) { return quads.data() + (std::size_t(set) * 3 + i) * kFrame; }
    uint8_t* Plane(int set) { return planes.data() + std::size_t(set) * kW * kH; }
};

Pool& ThePool() {
    static Pool pool;
    return pool;
}

// (dst, a, b, alpha plane, count) for one row.
using RowFn = std::function<void(uint8_t*, uint8_t*, uint8_t*, uint8_t*, unsigned)>;

void RunRows(benchmark::State& st, bool frame, double bytesPerPixel, const RowFn& fn) {
    Pool& pool = ThePool();
    const unsigned w = frame ? kW : static_cast<unsigned>(st.range(0));
    const unsigned rows = frame ? kH : 1;
    int set = 0;
    for (auto _ : st) {
        uint8_t *d = pool.Quad(set, 0), *a = pool.Quad(set, 1), *b = pool.Quad(set, 2);
        uint8_t* al = pool.Plane(set);
        for (unsigned r = 0; r < rows; ++r)
            fn(d + r * kStride, a + r * kStride, b + r * kStride, al + std::size_t(r) * kW, w);
        benchmark::ClobberMemory();
        if (frame) set = (set + 1) % kSets;
    }
    st.SetBytesProcessed(static_cast<int64_t>(double(st.iterations()) * rows * w * bytesPerPixel));
}

// A pixman operation on images wrapping the pool's buffers, one image set per buffer set.
struct PixmanOp {
    pixman_op_t op;
    pixman_format_code_t srcFormat, dstFormat;
    enum Mask { kNone, kPlane, kSolid } mask;
};

void RunPixman(benchmark::State& st, bool frame, double bytesPerPixel, PixmanOp p) {
    Pool& pool = ThePool();
    const int w = frame ? int(kW) : int(st.range(0));
    const int h = frame ? int(kH) : 1;
    const int sets = frame ? kSets : 1;
    std::vector<pixman_image_t*> dst(sets), src(sets), mask(sets, nullptr);
    for (int s = 0; s < sets; ++s) {
        dst[s] = pixman_image_create_bits(p.dstFormat, w, h,
                                          reinterpret_cast<uint32_t*>(pool.Quad(s, 0)), kStride);
        src[s] = pixman_image_create_bits(p.srcFormat, w, h,
                                          reinterpret_cast<uint32_t*>(pool.Quad(s, 1)), kStride);
        if (p.mask == PixmanOp::kPlane)
            mask[s] = pixman_image_create_bits(PIXMAN_a8, w, h,
                                               reinterpret_cast<uint32_t*>(pool.Plane(s)), kW);
        if (p.mask == PixmanOp::kSolid) {
            const pixman_color_t c = {0, 0, 0, 77 * 2 * 256};
            mask[s] = pixman_image_create_solid_fill(&c);
        }
    }
    int set = 0;
    for (auto _ : st) {
        pixman_image_composite32(p.op, src[set], mask[set], dst[set], 0, 0, 0, 0, 0, 0, w, h);
        benchmark::ClobberMemory();
        set = (set + 1) % sets;
    }
    for (int s = 0; s < sets; ++s) {
        pixman_image_unref(dst[s]);
        pixman_image_unref(src[s]);
        if (mask[s]) pixman_image_unref(mask[s]);
    }
    st.SetBytesProcessed(static_cast<int64_t>(double(st.iterations()) * h * w * bytesPerPixel));
}

struct Kernel {
    std::string name;
    double bytesPerPixel;
    RowFn plain, fast;  // fast may be empty
};

std::vector<Kernel> Kernels() {
    using U = uint8_t*;
    auto blend = [](ZRBlendProc f) { return [f](U d, U a, U b, U, unsigned n) { f(d, a, b, n); }; };
    auto combine = [](ZRCombineProc f) { return [f](U d, U a, U, U, unsigned n) { f(d, a, n); }; };
    using Out = void* (*)(void*, const void*, const void*, unsigned);
    using In = void* (*)(void*, const void*, unsigned);
    auto out = [](Out f) { return [f](U d, U a, U, U al, unsigned n) { f(d, a, al, n); }; };
    auto outR = [](Out f) {
        return [f](U d, U a, U, U al, unsigned n) { f(d, a + (n - 1) * 4, al + n - 1, n); };
    };
    auto in = [](In f) { return [f](U d, U a, U, U, unsigned n) { f(d, a, n); }; };
    using Tone = void* (*)(void*, const void*, uint32_t, unsigned);
    auto tone = [](Tone f) { return [f](U d, U a, U, U, unsigned n) { f(d, a, 0x00A08060, n); }; };
    using Plane = void* (*)(void*, const void*, int, unsigned);
    // Into the destination buffer, so the shared alpha planes stay random for the other kernels.
    auto plane = [](Plane f) { return [f](U d, U, U, U al, unsigned n) { f(d, al, 7, n); }; };
    using Conv = ZRRowConvertProc;
    auto conv = [](Conv f) { return [f](U d, U a, U, U, unsigned n) { f(d, a, n); }; };
    const uint8_t* mask = reinterpret_cast<const uint8_t*>("\xF0\x0F\xAA\x55\xFF\x00\x81\x7E");
    return {
        {"RGBAlpha32", 12, blend(RGBAlpha32_888), blend(RGBAlpha32_888_MMX)},
        {"RGBAlpha24", 9, blend(RGBAlpha24_888), blend(RGBAlpha24_888_MMX)},
        {"RGBHalf32", 12, blend(RGBHalf32_888), blend(RGBHalf32_888_MMX)},
        {"RGBAdd32", 12, combine(RGBAdd32_888), combine(RGBAdd32_888_MMX)},
        {"RGBSub32", 12, combine(RGBSub32_888), combine(RGBSub32_888_MMX)},
        {"RGBAdd24", 9, combine(RGBAdd24_888), combine(RGBAdd24_888_MMX)},
        {"RGBAlpha16_565", 6, blend(RGBAlpha16_565), nullptr},
        {"RGBAlphaOutChannel32", 13, out(RGBAlphaOutChannel32), out(RGBAlphaOutChannel32_MMX)},
        {"RGBAlphaOutChannelR32", 13, outR(RGBAlphaOutChannelR32), outR(RGBAlphaOutChannelR32_MMX)},
        {"RGBAlphaOutChannel24", 10, out(RGBAlphaOutChannel), out(RGBAlphaOutChannel_MMX)},
        {"RGBAlphaInChannel", 12, in(RGBAlphaInChannel), in(RGBAlphaInChannel_MMX)},
        {"RGBDoubleAlphaOutChannel32", 13, out(RGBDoubleAlphaOutChannel32),
         out(RGBDoubleAlphaOutChannel32_MMX)},
        {"RGBTone32", 8, tone(RGBTone32), tone(RGBTone32_MMX)},
        {"RGBTone24", 6, tone(RGBTone24), tone(RGBTone24_MMX)},
        {"RGBMonochrome32", 8, in(RGBMonochrome32), nullptr},
        {"RGBExtractAlpha", 2, plane(RGBExtractAlpha), plane(RGBExtractAlpha_MMX)},
        {"RGBSAddAlpha", 2, plane(RGBSAddAlpha), plane(RGBSAddAlpha_MMX)},
        {"RGBQUADcpyTo16_565", 6, conv(RGBQUADcpyTo16_565), nullptr},
        {"RGBQUADcpyFrom16_565", 6, conv(RGBQUADcpyFrom16_565), nullptr},
        {"RGBQUADcpyTo24_888", 7, conv(RGBQUADcpyTo24_888), nullptr},
        {"RGBTRIPLEcpyTo32_888", 7, conv(RGBTRIPLEcpyTo32_888), nullptr},
        {"ZRMemcpy", 8, [](U d, U a, U, U, unsigned n) { ZRMemcpy(d, a, n * 4); }, nullptr},
        {"ZRMemcpy4R", 8, [](U d, U a, U, U, unsigned n) { ZRMemcpy4R(d, a, n); }, nullptr},
        {"ZRMemcpy4K", 8, [](U d, U a, U, U, unsigned n) { ZRMemcpy4K(d, a, n, 0x00123456); },
         nullptr},
        {"ZRMemcpy4M", 8, [mask](U d, U a, U, U, unsigned n) { ZRMemcpy4M(d, a, n, mask, 64); },
         nullptr},
        {"ZRMemcpy3R", 6, [](U d, U a, U, U, unsigned n) { ZRMemcpy3R(d, a, n); }, nullptr},
        {"ZRMemset4", 4, [](U d, U, U, U, unsigned n) { ZRMemset4(d, 0x00123456, n); }, nullptr},
        {"ZRMemset3", 3, [](U d, U, U, U, unsigned n) { ZRMemset3(d, 0x00123456, n); }, nullptr},
        // The physical limit: the same traffic as memcpy (8 bytes per pixel read plus written).
        {"memcpy", 8, [](U d, U a, U, U, unsigned n) { std::memcpy(d, a, std::size_t(n) * 4); },
         nullptr},
    };
}

struct PixmanPeer {
    std::string name;
    double bytesPerPixel;
    PixmanOp op;
};

const PixmanPeer kPixman[] = {
    {"pixman_OVER_x888_a8mask",
     13,
     {PIXMAN_OP_OVER, PIXMAN_x8r8g8b8, PIXMAN_x8r8g8b8, PixmanOp::kPlane}},
    {"pixman_OVER_x888_solidmask",
     12,
     {PIXMAN_OP_OVER, PIXMAN_x8r8g8b8, PIXMAN_x8r8g8b8, PixmanOp::kSolid}},
    {"pixman_ADD_8888", 12, {PIXMAN_OP_ADD, PIXMAN_a8r8g8b8, PIXMAN_a8r8g8b8, PixmanOp::kNone}},
    {"pixman_SRC_blt", 8, {PIXMAN_OP_SRC, PIXMAN_x8r8g8b8, PIXMAN_x8r8g8b8, PixmanOp::kNone}},
};

void RunBlt(benchmark::State& st, bool frame) {
    Pool& pool = ThePool();
    const int w = frame ? int(kW) : int(st.range(0)), h = frame ? int(kH) : 1;
    int set = 0;
    for (auto _ : st) {
        pixman_blt(reinterpret_cast<uint32_t*>(pool.Quad(set, 1)),
                   reinterpret_cast<uint32_t*>(pool.Quad(set, 0)), kStride / 4, kStride / 4, 32, 32,
                   0, 0, 0, 0, w, h);
        benchmark::ClobberMemory();
        if (frame) set = (set + 1) % kSets;
    }
    st.SetBytesProcessed(static_cast<int64_t>(double(st.iterations()) * w * h * 8));
}

void RunFill(benchmark::State& st, bool frame) {
    Pool& pool = ThePool();
    const int w = frame ? int(kW) : int(st.range(0)), h = frame ? int(kH) : 1;
    int set = 0;
    for (auto _ : st) {
        pixman_fill(reinterpret_cast<uint32_t*>(pool.Quad(set, 0)), kStride / 4, 32, 0, 0, w, h,
                    0x00123456);
        benchmark::ClobberMemory();
        if (frame) set = (set + 1) % kSets;
    }
    st.SetBytesProcessed(static_cast<int64_t>(double(st.iterations()) * w * h * 4));
}

void Register() {
    SetAlphaParam(77);
    SetDoubleAlphaParam(100);
    for (bool frame : {false, true}) {
        const std::string scope = frame ? "frame1280x720/" : "row/";
        auto widths = [frame](benchmark::internal::Benchmark* b) {
            if (!frame) b->Arg(1280)->Arg(1279)->Arg(37);
        };
        for (const Kernel& k : Kernels()) {
            widths(benchmark::RegisterBenchmark((scope + k.name + "/plain").c_str(),
                                                [k, frame](benchmark::State& st) {
                                                    RunRows(st, frame, k.bytesPerPixel, k.plain);
                                                }));
            if (k.fast)
                widths(benchmark::RegisterBenchmark((scope + k.name + "/fast").c_str(),
                                                    [k, frame](benchmark::State& st) {
                                                        RunRows(st, frame, k.bytesPerPixel, k.fast);
                                                    }));
        }
        for (const PixmanPeer& p : kPixman)
            widths(benchmark::RegisterBenchmark(
                (scope + p.name).c_str(),
                [p, frame](benchmark::State& st) { RunPixman(st, frame, p.bytesPerPixel, p.op); }));
        widths(benchmark::RegisterBenchmark((scope + "pixman_blt").c_str(),
                                            [frame](benchmark::State& st) { RunBlt(st, frame); }));
        widths(benchmark::RegisterBenchmark((scope + "pixman_fill").c_str(),
                                            [frame](benchmark::State& st) { RunFill(st, frame); }));
    }
}

}  // namespace

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
