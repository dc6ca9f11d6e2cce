#include <gtest/gtest.h>

#include <stdexcept>

#include "foundation/zrstd.h"
#include "media/imagefixtures.h"
#include "widgets/nybmp.h"
#include "widgets/nygny.h"
#include "widgets/nyjpeg.h"
#include "widgets/nypng.h"

namespace {

using imgfix::Bytes;
using imgfix::Owned;

// A class-library stream holding junk, the image, then more junk, positioned at the image.
struct Embedded {
    plat::TMemoryStream stream;
    int64_t start = 5;
    int64_t end = 0;
    explicit Embedded(const Bytes& image) {
        const Bytes junk(5, 0xAB);
        stream.Write(junk.data(), 5);
        stream.Write(image.data(), static_cast<int32_t>(image.size()));
        end = stream.GetPosition();
        stream.Write(junk.data(), 5);
        stream.SetPosition(start);
    }
};

Bytes RgbaPng() {
    imgfix::PngSpec desc;
    desc.width = 2;
    desc.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    return imgfix::EncodePng(desc, {{10, 20, 30, 40, 50, 60, 70, 80}});
}

TEST(ImageGlue, PngFromTheMiddleOfAClassLibraryStream) {
    Embedded e(RgbaPng());
    EXPECT_EQ(ChkChannelPng(&e.stream), 4);
    e.stream.SetPosition(e.start);
    Owned colour, alpha;
    int w = 0, h = 0;
    ASSERT_TRUE(LoadPng(&e.stream, &colour.p, &alpha.p, &w, &h, pf32_8888));
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(Bytes(colour.p, colour.p + 8), Bytes({30, 20, 10, 40, 70, 60, 50, 80}));
    EXPECT_EQ(Bytes(alpha.p, alpha.p + 2), Bytes({40, 80}));
    EXPECT_EQ(e.stream.GetPosition(), e.end);

    // The short forms never produce an alpha plane.
    e.stream.SetPosition(e.start);
    Owned shortColour;
    ASSERT_TRUE(LoadPngWhiteMat(&e.stream, &shortColour.p, &w, &h, pf24_888));
    e.stream.SetPosition(e.start);
    Owned plain;
    ASSERT_TRUE(LoadPng(&e.stream, &plain.p, &w, &h, pf24_888));
    EXPECT_EQ(Bytes(plain.p, plain.p + 6), Bytes({30, 20, 10, 70, 60, 50}));
}

TEST(ImageGlue, SavePngWritesAtTheStreamPosition) {
    const Bytes colour = {1, 2, 3, 4, 5, 6};
    const Bytes alpha = {200, 100};
    plat::TMemoryStream out;
    out.Write("xx", 2);
    ASSERT_TRUE(SavePng(&out, colour.data(), alpha.data(), 2, 1, pf24_888));
    const int64_t firstEnd = out.GetPosition();
    ASSERT_TRUE(SavePng(&out, colour.data(), 2, 1, pf24_888));
    out.SetPosition(2);
    Owned c, a;
    int w = 0, h = 0;
    ASSERT_TRUE(LoadPng(&out, &c.p, &a.p, &w, &h, pf24_888));
    EXPECT_EQ(Bytes(c.p, c.p + 6), colour);
    EXPECT_EQ(Bytes(a.p, a.p + 2), alpha);
    out.SetPosition(firstEnd);
    EXPECT_EQ(ChkChannelPng(&out), 3);
}

TEST(ImageGlue, BmpJpegAndGnyDecodeAndExceptionsPassThrough) {
    // 1 x 1 24-bit BMP: headers, then one padded row.
    Bytes bmp(54, 0);
    ZRPutLE32(&bmp[18], 1);
    ZRPutLE32(&bmp[22], 1);
    ZRPutLE16(&bmp[28], 24);
    bmp.insert(bmp.end(), {9, 8, 7, 0});
    Embedded e(bmp);
    Owned pixels;
    ASSERT_TRUE(LoadBmp(&e.stream, &pixels.p, nullptr, nullptr, pf24_888));
    EXPECT_EQ(Bytes(pixels.p, pixels.p + 3), Bytes({9, 8, 7}));
    EXPECT_EQ(e.stream.GetPosition(), e.end);
    e.stream.SetPosition(e.start);
    int w = 0, h = 0;
    EXPECT_FALSE(LoadAlpha(&e.stream, nullptr, &w, &h));
    EXPECT_EQ(w, 1);
    e.stream.SetPosition(e.start);
    EXPECT_FALSE(LoadPalette(&e.stream, nullptr, nullptr, &w, &h));

    plat::TMemoryStream cut;
    cut.Write(bmp.data(), 56);
    cut.SetPosition(0);
    Owned partial;
    EXPECT_THROW(LoadBmp(&cut, &partial.p, nullptr, nullptr, pf16_565), std::runtime_error);

    const Bytes jpeg = imgfix::EncodeJpeg({4, 3, 3, false, 1, 1}, Bytes(36, 128));
    Embedded ej(jpeg);
    Owned jp;
    ASSERT_TRUE(LoadJpeg(&ej.stream, &jp.p, &w, &h, pf32_888));
    EXPECT_EQ(w, 4);
    EXPECT_EQ(h, 3);

    const Bytes table(256, 0x11);
    Bytes gny = {1, 0, 0, 0, 1, 0, 0, 0, 5, 6, 7};
    for (size_t k = 0; k < gny.size(); ++k) gny[k] ^= table[k];
    Embedded eg(gny);
    Owned gp;
    ASSERT_TRUE(LoadGny(&eg.stream, &gp.p, &w, &h, pf24_888, table.data()));
    EXPECT_EQ(Bytes(gp.p, gp.p + 3), Bytes({5, 6, 7}));
}

}  // namespace
