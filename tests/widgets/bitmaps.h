// Test helpers for bitmaps: random bitmaps in any format, a bottom-up variant with padded rows
// (negative pitch) as derived surfaces keep them, snapshots of the pixels as plain values that
// per-pixel models edit, and a fixture that runs each test on both kernel sets.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "media/zrcpuid.h"
#include "widgets/nyrgbbits.h"

namespace testbits {

constexpr ZRPixFormat kFormats[] = {pf16_565, pf16_555, pf16_5551, pf16_4444,
                                    pf24_888, pf32_888, pf32_8888};

// Rows bottom to top, each padded by 5 bytes: Bits is the top row and Pitch is negative.
class BottomUpBits : public TNyRGBBits {
  public:
    using TNyRGBBits::TNyRGBBits;
    ~BottomUpBits() override { BottomUpBits::Release(); }

    bool Create() override {
        if (FCreated || FWidth <= 0 || FHeight <= 0 || FPixFormat == pfNone) return false;
        const int step = FBitDepth * FWidth + 5;
        mem_ = static_cast<unsigned char*>(std::calloc(size_t(step) * FHeight, 1));
        FBits = mem_ + size_t(step) * (FHeight - 1);
        FPitch = -step;
        FCreated = true;
        return true;
    }
    void Release() override {
        if (!FCreated) return;
        std::free(mem_);
        mem_ = nullptr;
        FBits = nullptr;
        FCreated = false;
    }

  private:
    unsigned char* mem_ = nullptr;
};

inline uint32_t ReadPixel(const unsigned char* p, int bpp) {
    uint32_t v = 0;
    std::memcpy(&v, p, size_t(bpp));
    return v;
}
inline void WritePixel(unsigned char* p, int bpp, uint32_t v) {
    std::memcpy(p, &v, size_t(bpp));
}

// A bitmap's pixels as values, row-major, for models to edit and compare.
struct Image {
    int w = 0, h = 0, bpp = 0;
    ZRPixFormat format = pfNone;
    std::vector<uint32_t> px;

    uint32_t& at(int x, int y) { return px[size_t(y) * w + x]; }
    uint32_t at(int x, int y) const { return px[size_t(y) * w + x]; }
    bool Inside(int64_t x, int64_t y) const { return x >= 0 && x < w && y >= 0 && y < h; }
    friend bool operator==(const Image&, const Image&) = default;
};

inline Image Snap(const TNyRGBBits& b) {
    Image im{b.Width(), b.Height(), b.BitDepth(), b.PixFormat(), {}};
    im.px.resize(size_t(im.w) * im.h);
    for (int y = 0; y < im.h; ++y)
        for (int x = 0; x < im.w; ++x)
            im.at(x, y) =
                ReadPixel(b.Bits() + int64_t(y) * b.Pitch() + int64_t(x) * im.bpp, im.bpp);
    return im;
}

inline void Fill(TNyRGBBits& b, std::mt19937& rng) {
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            WritePixel(b.Bits() + int64_t(y) * b.Pitch() + int64_t(x) * b.BitDepth(), b.BitDepth(),
                       uint32_t(rng()));
}

// A created bitmap of random pixels; bottom-up with padded rows when asked.
inline std::unique_ptr<TNyRGBBits> Make(ZRPixFormat f, int w, int h, std::mt19937& rng,
                                        bool bottomUp = false) {
    std::unique_ptr<TNyRGBBits> b(bottomUp ? new BottomUpBits : new TNyRGBBits);
    b->SetPixFormat(f);
    b->SetWidth(w);
    b->SetHeight(h);
    EXPECT_TRUE(b->Create());
    Fill(*b, rng);
    return b;
}

// A created bitmap of black pixels.
inline std::unique_ptr<TNyRGBBits> Blank(ZRPixFormat f, int w, int h) {
    auto b = std::make_unique<TNyRGBBits>();
    b->SetPixFormat(f);
    b->SetWidth(w);
    b->SetHeight(h);
    EXPECT_TRUE(b->Create());
    return b;
}

inline std::unique_ptr<TNyAlpha> MakePlane(int w, int h, std::mt19937& rng) {
    auto a = std::make_unique<TNyAlpha>();
    a->SetWidth(w);
    a->SetHeight(h);
    EXPECT_TRUE(a->Create());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned k = rng() % 4;
            a->PSet(x, y, k == 0 ? 0 : k == 1 ? 255 : uint8_t(rng()));
        }
    return a;
}

// Runs a test with the plain kernels (false) and the fast ones (true); bitmaps take the set
// when they are constructed.
class BothKernels : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { SetMmxKernels(GetParam()); }
    void TearDown() override { SetMmxKernels(true); }
    bool Fast() const { return GetParam() && UseMmxKernels(CPUID()); }
};

}  // namespace testbits
