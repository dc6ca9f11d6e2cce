#include "media/zrbmp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <stdexcept>

#include "foundation/zrstd.h"
#include "media/imagefixtures.h"

namespace {

using imgfix::Bytes;
using imgfix::Owned;

struct BmpFile {
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bits = 8;
    uint32_t colourField = 0;  // 0 means 256
    std::vector<ZRQuad> palette;
    Bytes pixels;  // top-down: indices for 8 bits, blue-green-red for 24 bits
};

// Writes a bottom-up, row-padded file the way Windows stores it.
Bytes WriteBmp(const BmpFile& f) {
    Bytes out(54, 0);
    out[0] = 'B';
    out[1] = 'M';
    ZRPutLE32(&out[14], 40);
    ZRPutLE32(&out[18], static_cast<uint32_t>(f.width));
    ZRPutLE32(&out[22], static_cast<uint32_t>(f.height));
    ZRPutLE16(&out[26], 1);
    ZRPutLE16(&out[28], f.bits);
    ZRPutLE32(&out[46], f.colourField);
    for (const ZRQuad& q : f.palette) out.insert(out.end(), {q.blue, q.green, q.red, q.reserved});
    if (f.width <= 0 || f.height <= 0 || f.pixels.empty()) return out;
    const size_t row = static_cast<size_t>(f.width) * (f.bits / 8);
    const size_t padded = (row + 3) & ~size_t{3};
    for (int y = f.height - 1; y >= 0; --y) {
        out.insert(out.end(), f.pixels.begin() + y * row, f.pixels.begin() + (y + 1) * row);
        out.insert(out.end(), padded - row, 0xEE);
    }
    return out;
}

BmpFile Paletted(int w, int h, int colours, std::mt19937& rng) {
    BmpFile f;
    f.width = w;
    f.height = h;
    f.colourField = colours == 256 ? 0 : colours;
    for (int i = 0; i < colours; ++i)
        f.palette.push_back(ZRQuad{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
    for (int i = 0; i < w * h; ++i) f.pixels.push_back(uint8_t(rng() % colours));
    return f;
}

template <typename Fn>
auto FromBytes(const Bytes& b, Fn fn) {
    ZRMemoryStream s(b.data(), static_cast<int>(b.size()));
    return fn(s);
}

TEST(LoadBmp, PalettedImagesOfEveryWidthAndPaletteSizeInEveryFormat) {
    std::mt19937 rng(7);
    for (int colours : {16, 256})
        for (int w = 1; w <= 5; ++w)
            for (int h : {1, 3}) {
                const BmpFile f = Paletted(w, h, colours, rng);
                const Bytes file = WriteBmp(f);
                for (ZRPixFormat fmt : imgfix::kFormats) {
                    ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
                    Owned img;
                    int gw = 0, gh = 0;
                    ASSERT_TRUE(LoadBmp(&s, &img.p, &gw, &gh, fmt));
                    EXPECT_EQ(gw, w);
                    EXPECT_EQ(gh, h);
                    EXPECT_EQ(s.GetPosition(), s.GetSize());
                    for (int i = 0; i < w * h; ++i) {
                        const ZRQuad q = f.palette[f.pixels[i]];
                        ASSERT_EQ(imgfix::Pixel(img.p, i, fmt),
                                  imgfix::FromQuad(fmt, q.blue, q.green, q.red, q.reserved))
                            << "colours " << colours << " w " << w << " fmt " << int(fmt);
                    }
                }
            }
}

TEST(LoadBmp, TrueColourImagesOfEveryWidthInEveryFormat) {
    std::mt19937 rng(8);
    for (int w = 1; w <= 5; ++w) {
        BmpFile f;
        f.width = w;
        f.height = 2;
        f.bits = 24;
        for (int i = 0; i < w * 2 * 3; ++i) f.pixels.push_back(uint8_t(rng()));
        const Bytes file = WriteBmp(f);
        for (ZRPixFormat fmt : imgfix::kFormats) {
            ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
            Owned img;
            ASSERT_TRUE(LoadBmp(&s, &img.p, nullptr, nullptr, fmt));
            for (int i = 0; i < w * 2; ++i) {
                const uint8_t* t = &f.pixels[i * 3];
                ASSERT_EQ(imgfix::Pixel(img.p, i, fmt), imgfix::FromTriple(fmt, t[0], t[1], t[2]));
            }
        }
    }
}

TEST(LoadBmp, CallerBufferIsFilledAndTopRowComesFirst) {
    BmpFile f;
    f.width = 1;
    f.height = 2;
    f.bits = 24;
    f.pixels = {1, 2, 3, 4, 5, 6};
    const Bytes file = WriteBmp(f);
    ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
    unsigned char buf[6] = {};
    unsigned char* p = buf;
    ASSERT_TRUE(LoadBmp(&s, &p, nullptr, nullptr, pf24_888));
    EXPECT_EQ(p, buf);
    EXPECT_EQ(Bytes(buf, buf + 6), f.pixels);
}

TEST(LoadBmp, PaletteEntriesTheFileDoesNotGiveAreBlack) {
    std::mt19937 rng(9);
    BmpFile f = Paletted(4, 1, 16, rng);
    f.pixels = {0, 15, 16, 255};
    const Bytes file = WriteBmp(f);
    ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
    Owned img;
    ASSERT_TRUE(LoadBmp(&s, &img.p, nullptr, nullptr, pf32_8888));
    EXPECT_EQ(imgfix::Pixel(img.p, 2, pf32_8888), Bytes(4, 0));
    EXPECT_EQ(imgfix::Pixel(img.p, 3, pf32_8888), Bytes(4, 0));
    EXPECT_EQ(imgfix::Pixel(img.p, 1, pf32_8888),
              Bytes({f.palette[15].blue, f.palette[15].green, f.palette[15].red,
                     f.palette[15].reserved}));
}

TEST(LoadBmp, RefusesWhatCannotBeHeld) {
    std::mt19937 rng(10);
    auto refused = [](BmpFile f, ZRPixFormat fmt) {
        const Bytes file = WriteBmp(f);
        ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
        Owned img;
        int w = 0, h = 0;
        const bool ok = LoadBmp(&s, &img.p, &w, &h, fmt);
        EXPECT_EQ(w, f.width);
        EXPECT_EQ(h, f.height);
        EXPECT_EQ(img.p, nullptr);
        return !ok;
    };
    BmpFile many = Paletted(2, 2, 16, rng);
    many.colourField = 300;
    EXPECT_TRUE(refused(many, pf32_888));
    BmpFile topDown = Paletted(2, 2, 16, rng);
    topDown.height = -2;
    EXPECT_TRUE(refused(topDown, pf32_888));
    BmpFile negativeWidth = topDown;
    negativeWidth.height = 2;
    negativeWidth.width = -2;
    EXPECT_TRUE(refused(negativeWidth, pf16_565));
    BmpFile empty;
    empty.height = 0x1000000;
    empty.width = 0;
    EXPECT_TRUE(refused(empty, pf24_888));
    empty.width = 5;
    empty.height = 0;
    EXPECT_TRUE(refused(empty, pf24_888));
    BmpFile huge;
    huge.bits = 24;
    huge.width = 0x10000;
    huge.height = 0x4000;  // x 4 bytes = 2^32
    EXPECT_TRUE(refused(huge, pf32_888));
    huge.width = 0x7FFFFFFF;
    huge.height = 1;  // padded stored row beyond 32 bits
    EXPECT_TRUE(refused(huge, pf16_565));
    for (uint16_t bits : {1, 4, 16, 32}) {
        BmpFile other;
        other.bits = bits;
        EXPECT_TRUE(refused(other, pf24_888)) << bits;
    }
}

TEST(LoadBmp, NoFormatReadsNothingAndNoBufferReadsOnlyTheHeaders) {
    std::mt19937 rng(11);
    const Bytes file = WriteBmp(Paletted(3, 2, 16, rng));
    ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
    Owned img;
    EXPECT_FALSE(LoadBmp(&s, &img.p, nullptr, nullptr, pfNone));
    EXPECT_EQ(s.GetPosition(), 0);
    int w = 0, h = 0;
    EXPECT_TRUE(LoadBmp(&s, nullptr, &w, &h, pf16_565));
    EXPECT_EQ(s.GetPosition(), 54);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
}

TEST(LoadBmp, ShortFilesThrowReadErrorAndKeepTheOutputWithTheCaller) {
    std::mt19937 rng(12);
    Bytes file = WriteBmp(Paletted(3, 3, 256, rng));
    for (size_t cut : {size_t{10}, size_t{60}, file.size() - 1}) {
        const Bytes part(file.begin(), file.begin() + cut);
        ZRMemoryStream s(part.data(), static_cast<int>(part.size()));
        Owned img;
        try {
            LoadBmp(&s, &img.p, nullptr, nullptr, pf24_888);
            ADD_FAILURE() << "no exception at " << cut;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Read Error");
        }
        // The pixel data is found missing before the output is made.
        EXPECT_EQ(img.p, nullptr);
    }
}

// A header that declares far more pixel data than the file holds fails with "Read Error",
// with the size reported, before any buffer is sized from it. Each reader, each bit count
// it takes, and a file that is one byte short of its pixel data.
TEST(BmpReaders, DeclaredPixelDataBeyondTheFileFailsBeforeAllocating) {
    std::mt19937 rng(14);
    struct Case {
        const char* name;
        uint16_t bits;
        int32_t w, h;
        int reader;  // 0 LoadBmp, 1 LoadAlpha, 2 LoadPalette
        bool oneShort;
    };
    const Case cases[] = {
        {"LoadBmp 24-bit, no pixels", 24, 4000, 3000, 0, false},
        {"LoadBmp 8-bit, no pixels", 8, 4000, 3000, 0, false},
        {"LoadAlpha, no pixels", 8, 4000, 3000, 1, false},
        {"LoadPalette, no pixels", 8, 4000, 3000, 2, false},
        {"LoadBmp 24-bit, one byte short", 24, 333, 201, 0, true},
        {"LoadAlpha, one byte short", 8, 333, 201, 1, true},
        {"LoadPalette, one byte short", 8, 333, 201, 2, true},
    };
    for (const Case& c : cases) {
        BmpFile f = c.bits == 8 ? Paletted(c.oneShort ? c.w : 1, c.oneShort ? c.h : 1, 256, rng)
                                : BmpFile{};
        f.bits = c.bits;
        if (c.bits == 24 && c.oneShort)
            for (int i = 0; i < c.w * c.h * 3; ++i) f.pixels.push_back(uint8_t(rng()));
        f.width = c.w;
        f.height = c.h;
        if (!c.oneShort) f.pixels.clear();
        Bytes file = WriteBmp(f);
        // LoadPalette does not read the last row's padding, so its file loses a pixel.
        if (c.oneShort) {
            const int cut = (c.reader == 2 ? (4 - c.w % 4) % 4 : 0) + 1;
            file.erase(file.end() - cut, file.end());
        }
        ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
        Owned out;
        int w = 0, h = 0;
        try {
            if (c.reader == 0) LoadBmp(&s, &out.p, &w, &h, pf32_8888);
            if (c.reader == 1) LoadAlpha(&s, &out.p, &w, &h);
            if (c.reader == 2) LoadPalette(&s, nullptr, &out.p, &w, &h);
            ADD_FAILURE() << c.name << ": no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Read Error") << c.name;
        }
        EXPECT_EQ(out.p, nullptr) << c.name;
        EXPECT_EQ(w, c.w) << c.name;
        EXPECT_EQ(h, c.h) << c.name;
    }
}

TEST(LoadAlpha, GreyOfEachPaletteEntryWithPaddedRows) {
    BmpFile f;
    f.width = 3;
    f.height = 2;
    f.colourField = 2;
    f.palette = {ZRQuad{30, 60, 91, 0}, ZRQuad{255, 255, 254, 9}};
    f.pixels = {0, 1, 0, 1, 1, 7};
    const Bytes file = WriteBmp(f);
    ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
    Owned alpha;
    int w = 0, h = 0;
    ASSERT_TRUE(LoadAlpha(&s, &alpha.p, &w, &h));
    EXPECT_EQ(Bytes(alpha.p, alpha.p + 6), Bytes({60, 254, 60, 254, 254, 0}));
    EXPECT_EQ(s.GetPosition(), s.GetSize());
}

TEST(LoadAlpha, RefusesTrueColourButReportsTheSize) {
    BmpFile f;
    f.bits = 24;
    f.width = 5;
    f.height = 4;
    f.pixels.assign(60, 1);
    const Bytes file = WriteBmp(f);
    ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
    Owned alpha;
    int w = 0, h = 0;
    EXPECT_FALSE(LoadAlpha(&s, &alpha.p, &w, &h));
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 4);
    EXPECT_EQ(alpha.p, nullptr);
    f.bits = 8;
    f.colourField = 257;
    f.palette.assign(257, ZRQuad{});
    f.pixels.assign(20, 0);
    const Bytes many = WriteBmp(f);
    ZRMemoryStream s2(many.data(), static_cast<int>(many.size()));
    EXPECT_FALSE(LoadAlpha(&s2, &alpha.p, &w, &h));
}

TEST(LoadPalette, RawIndicesSkipThePaddingAndThePaletteIsZeroFilled) {
    std::mt19937 rng(13);
    const BmpFile f = Paletted(3, 3, 16, rng);
    const Bytes file = WriteBmp(f);
    ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
    ZRQuad given[256];
    std::memset(given, 0x5A, sizeof given);
    ZRQuad* pal = given;
    Owned idx;
    ASSERT_TRUE(LoadPalette(&s, &pal, &idx.p, nullptr, nullptr));
    EXPECT_EQ(Bytes(idx.p, idx.p + 9), f.pixels);
    for (int i = 0; i < 256; ++i) {
        const ZRQuad want = i < 16 ? f.palette[i] : ZRQuad{};
        ASSERT_EQ(std::memcmp(&given[i], &want, 4), 0) << i;
    }

    ZRMemoryStream s2(file.data(), static_cast<int>(file.size()));
    Owned idx2;
    ASSERT_TRUE(LoadPalette(&s2, nullptr, &idx2.p, nullptr, nullptr));
    EXPECT_EQ(Bytes(idx2.p, idx2.p + 9), f.pixels);

    ZRMemoryStream s3(file.data(), static_cast<int>(file.size()));
    ZRQuad* fresh = nullptr;
    ASSERT_TRUE(LoadPalette(&s3, &fresh, nullptr, nullptr, nullptr));
    EXPECT_EQ(s3.GetPosition(), 54 + 16 * 4);
    EXPECT_EQ(std::memcmp(&fresh[3], &f.palette[3], 4), 0);
    EXPECT_EQ(fresh[200].red, 0);
    std::free(fresh);
}

}  // namespace
