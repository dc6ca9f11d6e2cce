#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "bitmaps.h"
#include "foundation/zrstream.h"
#include "media/zrpng.h"

using namespace testbits;

namespace {

void Put16(std::vector<uint8_t>& v, uint32_t x) {
    v.push_back(x & 0xFF), v.push_back(x >> 8 & 0xFF);
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    Put16(v, x & 0xFFFF), Put16(v, x >> 16);
}

// A bottom-up BMP file: 24-bit from pixels (blue, green, red), or 8-bit with a grey palette
// from indices.
std::vector<uint8_t> Bmp(int w, int h, int bits, const std::vector<uint8_t>& data) {
    const int bpp = bits / 8, stride = (w * bpp + 3) / 4 * 4;
    const int colours = bits == 8 ? 256 : 0;
    const uint32_t offset = 14 + 40 + colours * 4;
    std::vector<uint8_t> f{'B', 'M'};
    Put32(f, offset + stride * h), Put32(f, 0), Put32(f, offset);
    Put32(f, 40), Put32(f, uint32_t(w)), Put32(f, uint32_t(h)), Put16(f, 1), Put16(f, bits);
    Put32(f, 0), Put32(f, uint32_t(stride * h)), Put32(f, 0), Put32(f, 0), Put32(f, colours);
    Put32(f, 0);
    for (int i = 0; i < colours; ++i)
        f.push_back(uint8_t(i)), f.push_back(uint8_t(i)), f.push_back(uint8_t(i)), f.push_back(0);
    for (int y = h - 1; y >= 0; --y) {
        const uint8_t* row = &data[size_t(y) * w * bpp];
        f.insert(f.end(), row, row + w * bpp);
        f.resize(f.size() + (stride - w * bpp), 0);
    }
    return f;
}

std::vector<uint8_t> RandomBytes(size_t n, std::mt19937& rng) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = uint8_t(rng());
    return v;
}

std::unique_ptr<TNyRGBBits> Unmade(ZRPixFormat f) {
    auto b = std::make_unique<TNyRGBBits>();
    b->SetPixFormat(f);
    return b;
}

TEST(NyRGBBitsStream, BmpCreatesTheBitmapAtItsPositionOrClipsIntoAnExistingOne) {
    std::mt19937 rng(51);
    const auto pixels = RandomBytes(5 * 3 * 3, rng);
    const auto file = Bmp(5, 3, 24, pixels);
    ZRMemoryStream s(file.data(), int(file.size()));
    auto b = Unmade(pf32_888);
    ASSERT_TRUE(b->DrawBmpStream(&s, 16, 8));
    ASSERT_TRUE(b->Created());
    EXPECT_EQ(b->Width(), 21);
    EXPECT_EQ(b->Height(), 11);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 21; ++x) {
            uint32_t want = 0;
            if (x >= 16 && y >= 8) {
                const uint8_t* p = &pixels[size_t((y - 8) * 5 + x - 16) * 3];
                want = p[0] | p[1] << 8 | p[2] << 16;
            }
            ASSERT_EQ(b->PGet(x, y), want) << x << "," << y;
        }

    plat::TMemoryStream ts;
    ts.Write(file.data(), int32_t(file.size()));
    ts.SetPosition(0);
    auto existing = Make(pf24_888, 8, 8, rng);
    const Image before = Snap(*existing);
    ASSERT_TRUE(existing->DrawBmpStream(&ts, 6, 0));
    const Image after = Snap(*existing);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool in = x >= 6 && y < 3;
            const uint8_t* p = &pixels[size_t(y * 5 + x - 6) * 3];
            ASSERT_EQ(after.at(x, y),
                      in ? uint32_t(p[0] | p[1] << 8 | p[2] << 16) : before.at(x, y));
        }
    ts.SetPosition(0);
    EXPECT_TRUE(existing->DrawBmpStream(&ts, 100, 0)) << "an image clipped away is still drawn";
}

TEST(NyRGBBitsStream, RefusedStreamsAndUncreatableSizesLeaveNothingCreated) {
    std::mt19937 rng(52);
    const std::vector<uint8_t> junk(64, 'x');
    ZRMemoryStream s(junk.data(), int(junk.size()));
    auto b = Unmade(pf24_888);
    bool refused = false;
    try {
        refused = !b->DrawBmpStream(&s, 0, 0);
    } catch (const std::exception&) {
        refused = true;
    }
    EXPECT_TRUE(refused);
    EXPECT_FALSE(b->Created());

    const auto file = Bmp(4, 4, 24, RandomBytes(48, rng));
    ZRMemoryStream img(file.data(), int(file.size()));
    EXPECT_FALSE(b->DrawBmpStream(&img, -4, 0)) << "a bitmap 0 pixels wide cannot be made";
    EXPECT_FALSE(b->Created());
    EXPECT_EQ(b->Width(), 640) << "the size is untouched";
}

TEST(NyRGBBitsStream, PngFillsBitmapAndPlaneCreatingBoth) {
    std::mt19937 rng(53);
    const int w = 6, h = 4;
    const auto colour = RandomBytes(size_t(w) * h * 3, rng);
    const auto alpha = RandomBytes(size_t(w) * h, rng);
    ZRMemoryStream rgba;
    ASSERT_TRUE(SavePng(&rgba, colour.data(), alpha.data(), w, h, pf24_888));
    ZRMemoryStream rgb;
    ASSERT_TRUE(SavePng(&rgb, colour.data(), w, h, pf24_888));

    auto b = Unmade(pf24_888);
    TNyAlpha plane;
    rgba.SetPosition(0);
    ASSERT_TRUE(b->DrawPngStream(&rgba, 1, 2, &plane));
    ASSERT_TRUE(plane.Created());
    EXPECT_EQ(plane.Width(), 7);
    EXPECT_EQ(plane.Height(), 6);
    EXPECT_EQ(b->Width(), 7);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &colour[size_t(y * w + x) * 3];
            ASSERT_EQ(b->PGet(x + 1, y + 2), uint32_t(p[0] | p[1] << 8 | p[2] << 16));
            ASSERT_EQ(plane.PGet(x + 1, y + 2), alpha[size_t(y) * w + x]);
        }
    EXPECT_EQ(plane.PGet(0, 0), 255);

    TNyAlpha opaque;
    auto c = Unmade(pf16_565);
    rgb.SetPosition(0);
    ASSERT_TRUE(c->DrawPngStream(&rgb, 0, 0, &opaque));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(opaque.PGet(x, y), 255);

    // Without a plane an RGBA file gives its alpha only to formats that hold one.
    auto q = Unmade(pf32_8888);
    rgba.SetPosition(0);
    ASSERT_TRUE(q->DrawPngStream(&rgba, 0, 0));
    EXPECT_EQ(q->PGet(2, 1) >> 24, alpha[size_t(1) * w + 2]);
    EXPECT_EQ(q->PGet(2, 1) & 0xFFFFFF, uint32_t(colour[24] | colour[25] << 8 | colour[26] << 16));

    plat::TMemoryStream ts;
    rgba.SetPosition(0);
    std::vector<uint8_t> bytes(size_t(rgba.GetSize()));
    rgba.ReadBuffer(bytes.data(), int(bytes.size()));
    ts.Write(bytes.data(), int32_t(bytes.size()));
    ts.SetPosition(0);
    auto wm = Unmade(pf32_888);
    TNyAlpha wmPlane;
    ASSERT_TRUE(wm->DrawPngWMStream(&ts, 0, 0, &wmPlane));
    EXPECT_EQ(wmPlane.PGet(3, 3), alpha[size_t(3) * w + 3]);
}

TEST(NyRGBBitsStream, GnyIsUnscrambledWithTheCallersTable) {
    std::mt19937 rng(54);
    std::vector<uint8_t> table = RandomBytes(256, rng);
    const int w = 3, h = 2;
    const auto pixels = RandomBytes(size_t(w) * h * 3, rng);
    std::vector<uint8_t> file;
    Put32(file, w), Put32(file, h);
    file.insert(file.end(), pixels.begin(), pixels.end());
    for (size_t k = 0; k < file.size(); ++k) file[k] ^= table[k % 256];
    ZRMemoryStream s(file.data(), int(file.size()));
    auto b = Unmade(pf24_888);
    ASSERT_TRUE(b->DrawGnyStream(&s, 0, 0, table.data()));
    EXPECT_EQ(b->PGet(2, 1), uint32_t(pixels[15] | pixels[16] << 8 | pixels[17] << 16));
}

TEST(NyAlphaStream, PlanesLoadGreyLevelsOrIndices) {
    std::vector<uint8_t> idx(100 * 50);
    for (size_t i = 0; i < idx.size(); ++i) idx[i] = uint8_t(i * 7);
    const auto file = Bmp(100, 50, 8, idx);
    ZRMemoryStream s(file.data(), int(file.size()));
    TNyAlpha a;
    ASSERT_TRUE(a.LoadAlphaStream(&s, 10, 20));
    EXPECT_EQ(a.Width(), 110);
    EXPECT_EQ(a.Height(), 70);
    EXPECT_EQ(a.PGet(9, 69), 255);
    EXPECT_EQ(a.PGet(109, 19), 255);
    EXPECT_EQ(a.PGet(10 + 3, 20 + 2), idx[2 * 100 + 3]);

    plat::TMemoryStream ts;
    ts.Write(file.data(), int32_t(file.size()));
    ts.SetPosition(0);
    TNyAlpha b;
    b.SetWidth(20);
    b.SetHeight(20);
    ASSERT_TRUE(b.Create());
    ASSERT_TRUE(b.LoadIndexStream(&ts, -90, -40));
    EXPECT_EQ(b.PGet(5, 5), idx[45 * 100 + 95]);
    EXPECT_EQ(b.PGet(10, 10), 255);

    s.SetPosition(0);
    TNyAlpha none;
    EXPECT_FALSE(none.LoadAlphaStream(&s, -200, 0));
    EXPECT_FALSE(none.Created());
}

}  // namespace
