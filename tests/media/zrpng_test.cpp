#include "media/zrpng.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>

#include "foundation/zrstd.h"
#include "media/imagefixtures.h"

namespace {

using imgfix::Bytes;
using imgfix::Owned;
using imgfix::PngSpec;

bool KeepsAlpha(ZRPixFormat f) { return f == pf32_8888 || f == pf16_4444; }

struct Decoded {
    bool ok = false;
    std::string error;
    int width = 0;
    int height = 0;
    Owned colour;
    Owned alpha;
};

void Decode(const Bytes& file, ZRPixFormat fmt, bool whiteMatte, Decoded& d) {
    ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
    try {
        d.ok = whiteMatte
                   ? LoadPngWhiteMat(&s, &d.colour.p, &d.alpha.p, &d.width, &d.height, fmt)
                   : LoadPng(&s, &d.colour.p, &d.alpha.p, &d.width, &d.height, fmt);
    } catch (const std::runtime_error& e) {
        d.error = e.what();
    }
}

// Source image as 8-bit red, green, blue, alpha per pixel, and its samples at a given depth.
struct Source {
    int w, h;
    Bytes rgba;
};

Source RandomSource(int w, int h, std::mt19937& rng) {
    Source s{w, h, Bytes(static_cast<size_t>(w) * h * 4)};
    for (auto& v : s.rgba) v = uint8_t(rng());
    return s;
}

std::vector<Bytes> TrueColourRows(const Source& s, int channels, int depth) {
    std::vector<Bytes> rows;
    for (int y = 0; y < s.h; ++y) {
        Bytes r;
        for (int x = 0; x < s.w; ++x)
            for (int c = 0; c < channels; ++c) {
                const uint8_t v = s.rgba[(y * s.w + x) * 4 + c];
                r.push_back(v);
                if (depth == 16) r.push_back(uint8_t(v ^ 0x5A));  // low byte, dropped on read
            }
        rows.push_back(r);
    }
    return rows;
}

TEST(LoadPng, TrueColourOfEveryDepthInterlacedOrNotInEveryFormat) {
    std::mt19937 rng(41);
    for (int channels : {3, 4})
        for (int depth : {8, 16})
            for (bool interlaced : {false, true}) {
                const Source src = RandomSource(13, 11, rng);
                PngSpec desc;
                desc.width = src.w;
                desc.height = src.h;
                desc.bitDepth = depth;
                desc.colourType = channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
                desc.interlaced = interlaced;
                const Bytes file = imgfix::EncodePng(desc, TrueColourRows(src, channels, depth));
                for (ZRPixFormat fmt : imgfix::kFormats) {
                    Decoded d;
                    Decode(file, fmt, false, d);
                    ASSERT_TRUE(d.ok) << d.error;
                    ASSERT_EQ(d.width, src.w);
                    ASSERT_EQ(d.height, src.h);
                    for (int i = 0; i < src.w * src.h; ++i) {
                        const uint8_t* p = &src.rgba[i * 4];
                        const uint8_t a = channels == 4 ? p[3] : 255;
                        const uint8_t fourth = KeepsAlpha(fmt) ? a : 0;
                        ASSERT_EQ(imgfix::Pixel(d.colour.p, i, fmt),
                                  imgfix::FromQuad(fmt, p[2], p[1], p[0], fourth))
                            << channels << "ch " << depth << "bit fmt " << int(fmt) << " px " << i;
                        ASSERT_EQ(d.alpha.p[i], a);
                    }
                }
            }
}

TEST(LoadPng, PaletteImagesLookUpAZeroedTableAndIgnoreTransparency) {
    for (bool interlaced : {false, true}) {
        PngSpec desc;
        desc.width = 5;
        desc.height = 2;
        desc.colourType = PNG_COLOR_TYPE_PALETTE;
        desc.interlaced = interlaced;
        desc.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
        desc.trns = {0, 128};
        const Bytes file = imgfix::EncodePng(desc, {{0, 1, 2, 1, 0}, {2, 2, 1, 0, 0}});
        const Bytes indices = {0, 1, 2, 1, 0, 2, 2, 1, 0, 0};
        for (ZRPixFormat fmt : imgfix::kFormats) {
            Decoded d;
            Decode(file, fmt, true, d);
            ASSERT_TRUE(d.ok) << d.error;
            for (int i = 0; i < 10; ++i) {
                const png_color& c = desc.palette[indices[i]];
                ASSERT_EQ(imgfix::Pixel(d.colour.p, i, fmt),
                          imgfix::FromQuad(fmt, c.blue, c.green, c.red, KeepsAlpha(fmt) ? 255 : 0));
                ASSERT_EQ(d.alpha.p[i], 255);
            }
        }
    }
}

// Indices past the palette: libpng's writer refuses them, so the file is made with a full
// palette and its PLTE chunk is then cut to two entries with a fresh CRC.
uint32_t Crc(const uint8_t* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

Bytes Chunk(const char* type, const Bytes& data) {
    Bytes out(4);
    ZRPutBE32(out.data(), static_cast<uint32_t>(data.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    Bytes crc(4);
    ZRPutBE32(crc.data(), Crc(out.data() + 4, data.size() + 4));
    out.insert(out.end(), crc.begin(), crc.end());
    return out;
}

// Splits a file into its chunks (signature first) so tests can swap or damage one.
std::vector<Bytes> Chunks(const Bytes& file) {
    std::vector<Bytes> out{Bytes(file.begin(), file.begin() + 8)};
    for (size_t at = 8; at < file.size();) {
        const size_t n = ZRGetBE32(&file[at]) + 12;
        out.emplace_back(file.begin() + at, file.begin() + at + n);
        at += n;
    }
    return out;
}

Bytes Join(const std::vector<Bytes>& chunks) {
    Bytes out;
    for (const Bytes& c : chunks) out.insert(out.end(), c.begin(), c.end());
    return out;
}

TEST(LoadPng, IndicesPastThePaletteGiveBlack) {
    PngSpec desc;
    desc.width = 3;
    desc.colourType = PNG_COLOR_TYPE_PALETTE;
    desc.palette.assign(256, png_color{200, 150, 100});
    std::vector<Bytes> chunks = Chunks(imgfix::EncodePng(desc, {{1, 7, 255}}));
    ASSERT_EQ(std::string(chunks[2].begin() + 4, chunks[2].begin() + 8), "PLTE");
    chunks[2] = Chunk("PLTE", {1, 2, 3, 4, 5, 6});
    Decoded d;
    Decode(Join(chunks), pf32_888, false, d);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(Bytes(d.colour.p, d.colour.p + 12), Bytes({6, 5, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(LoadPng, GreyImagesAndNarrowPalettesAreRefusedWithTheirMessages) {
    const struct {
        int type, depth;
        const char* message;
    } cases[] = {
        {PNG_COLOR_TYPE_GRAY, 1, "LoadPng Error:GrayScale.Not Support"},
        {PNG_COLOR_TYPE_GRAY, 8, "LoadPng Error:GrayScale.Not Support"},
        {PNG_COLOR_TYPE_GRAY, 16, "LoadPng Error:GrayScale.Not Support"},
        {PNG_COLOR_TYPE_GRAY_ALPHA, 8, "LoadPng Error:GrayScale.Not Support"},
        {PNG_COLOR_TYPE_GRAY_ALPHA, 16, "LoadPng Error:GrayScale.Not Support"},
        {PNG_COLOR_TYPE_PALETTE, 1, "LoadPng Error:Bit Depth.Not Support"},
        {PNG_COLOR_TYPE_PALETTE, 2, "LoadPng Error:Bit Depth.Not Support"},
        {PNG_COLOR_TYPE_PALETTE, 4, "LoadPng Error:Bit Depth.Not Support"},
    };
    for (const auto& c : cases) {
        PngSpec desc;
        desc.width = 4;
        desc.height = 2;
        desc.colourType = c.type;
        desc.bitDepth = c.depth;
        if (c.type == PNG_COLOR_TYPE_PALETTE) desc.palette.assign(2, png_color{1, 2, 3});
        const int channels = c.type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
        const Bytes row(static_cast<size_t>(4 * channels * c.depth + 7) / 8, 0);
        const Bytes file = imgfix::EncodePng(desc, {row, row});
        Decoded d;
        Decode(file, pf24_888, false, d);
        EXPECT_EQ(d.error, c.message) << c.type << "/" << c.depth;
        EXPECT_EQ(d.colour.p, nullptr);

        // Only the size was asked: no refusal.
        ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
        int w = 0, h = 0;
        EXPECT_TRUE(LoadPng(&s, nullptr, nullptr, &w, &h, pf24_888));
        EXPECT_EQ(w, 4);
        EXPECT_EQ(h, 2);
    }
}

TEST(LoadPngWhiteMat, RgbaColoursAreCorrectedThroughTheTable) {
    // (stored colour, alpha) -> corrected colour, the wrap for c + a < 255 included.
    const struct {
        uint8_t c, a, want;
    } cases[] = {{200, 128, 145}, {0, 128, 3},   {77, 255, 77}, {255, 9, 255},
                 {155, 100, 0},   {123, 0, 0},   {255, 0, 0},   {0, 1, 254}};
    const int n = static_cast<int>(std::size(cases));
    Bytes row;
    for (const auto& c : cases) row.insert(row.end(), {c.c, c.c, c.c, c.a});
    PngSpec desc;
    desc.width = n;
    desc.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    const Bytes file = imgfix::EncodePng(desc, {row});
    Decoded d;
    Decode(file, pf32_8888, true, d);
    ASSERT_TRUE(d.ok) << d.error;
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(imgfix::Pixel(d.colour.p, i, pf32_8888),
                  Bytes({cases[i].want, cases[i].want, cases[i].want, cases[i].a}))
            << int(cases[i].c) << "/" << int(cases[i].a);
        EXPECT_EQ(d.alpha.p[i], cases[i].a);
    }
    Decoded plain;
    Decode(file, pf32_8888, false, plain);
    EXPECT_EQ(plain.colour.p[0], 200);
    EXPECT_TRUE(WhiteMatInit());
}

TEST(LoadPng, BrokenInputIsFalseOrAReadError) {
    PngSpec desc;
    desc.width = 4;
    desc.height = 4;
    const Bytes good = imgfix::EncodePng(desc, std::vector<Bytes>(4, Bytes(12, 99)));
    auto decode = [](const Bytes& file, Decoded& d) { Decode(file, pf24_888, false, d); };

    Decoded notPng;
    decode(Bytes(good.begin(), good.begin() + 7), notPng);
    EXPECT_FALSE(notPng.ok);
    EXPECT_EQ(notPng.error, "");
    Bytes wrongSig = good;
    wrongSig[1] = 'Q';
    Decoded wrong;
    decode(wrongSig, wrong);
    EXPECT_FALSE(wrong.ok);
    EXPECT_EQ(wrong.error, "");

    Decoded cut;
    decode(Bytes(good.begin(), good.begin() + 8), cut);
    EXPECT_EQ(cut.error, "Png Error. Read Error.");
    Decoded cutLate;
    decode(Bytes(good.begin(), good.end() - 6), cutLate);
    EXPECT_EQ(cutLate.error, "Png Error. Read Error.");

    std::vector<Bytes> chunks = Chunks(good);
    chunks[1] = Chunk("IHDR", {0, 0, 0, 4, 0, 0, 0, 4, 3, 2, 0, 0, 0});  // depth 3
    Decoded badHeader;
    decode(Join(chunks), badHeader);
    EXPECT_FALSE(badHeader.ok);
    EXPECT_EQ(badHeader.error, "");

    Bytes damaged = good;
    damaged[Chunks(good)[0].size() + Chunks(good)[1].size() + 10] ^= 0xFF;  // IDAT data
    Decoded crc;
    decode(damaged, crc);
    EXPECT_FALSE(crc.ok);
    EXPECT_EQ(crc.error, "");
    EXPECT_EQ(crc.colour.p, nullptr);

    // The pixel data is never decoded when no plane is asked for.
    ZRMemoryStream s(damaged.data(), static_cast<int>(damaged.size()));
    int w = 0, h = 0;
    EXPECT_TRUE(LoadPng(&s, nullptr, nullptr, &w, &h, pf24_888));
    EXPECT_EQ(w, 4);
    EXPECT_FALSE(LoadPng(&s, nullptr, nullptr, &w, &h, pfNone));
}

TEST(LoadPng, AStreamExceptionLeavesThroughTheLibraryUnchanged) {
    std::mt19937 rng(42);
    const Source src = RandomSource(64, 64, rng);
    PngSpec desc;
    desc.width = 64;
    desc.height = 64;
    desc.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    const Bytes file = imgfix::EncodePng(desc, TrueColourRows(src, 4, 8));
    for (int limit : {4, 20, static_cast<int>(file.size()) - 20}) {
        imgfix::FailingStream s(file, limit, true);
        Owned colour;
        EXPECT_THROW(LoadPng(&s, &colour.p, nullptr, nullptr, pf16_565), std::logic_error);
        imgfix::FailingStream s2(file, limit, true);
        if (limit < 40) {
            EXPECT_THROW(ChkChannelPng(&s2), std::logic_error);
        }
    }
}

TEST(ChkChannelPng, CountsChannelsOfEachColourType) {
    auto channels = [](int type, int depth) {
        PngSpec desc;
        desc.colourType = type;
        desc.bitDepth = depth;
        if (type == PNG_COLOR_TYPE_PALETTE) desc.palette.assign(1, png_color{1, 2, 3});
        const Bytes file = imgfix::EncodePng(desc, {Bytes(8, 0)});
        ZRMemoryStream s(file.data(), static_cast<int>(file.size()));
        return ChkChannelPng(&s);
    };
    EXPECT_EQ(channels(PNG_COLOR_TYPE_PALETTE, 8), 1);
    EXPECT_EQ(channels(PNG_COLOR_TYPE_PALETTE, 4), 1);
    EXPECT_EQ(channels(PNG_COLOR_TYPE_RGB, 16), 3);
    EXPECT_EQ(channels(PNG_COLOR_TYPE_RGB_ALPHA, 8), 4);
    EXPECT_EQ(channels(PNG_COLOR_TYPE_GRAY, 8), 0);
    EXPECT_EQ(channels(PNG_COLOR_TYPE_GRAY_ALPHA, 8), 0);

    const Bytes text(40, 'x');
    ZRMemoryStream notPng(text.data(), static_cast<int>(text.size()));
    EXPECT_EQ(ChkChannelPng(&notPng), 0);

    PngSpec desc;
    std::vector<Bytes> chunks = Chunks(imgfix::EncodePng(desc, {Bytes(3, 0)}));
    chunks[1][20] ^= 1;  // IHDR CRC
    const Bytes bad = Join(chunks);
    ZRMemoryStream s(bad.data(), static_cast<int>(bad.size()));
    EXPECT_EQ(ChkChannelPng(&s), 0);

    const Bytes cut(bad.begin(), bad.begin() + 12);
    ZRMemoryStream sc(cut.data(), static_cast<int>(cut.size()));
    try {
        ChkChannelPng(&sc);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Png Error. Read Error.");
    }
}

TEST(SavePng, RoundTripsEveryFormatWithAndWithoutAlpha) {
    std::mt19937 rng(43);
    const int w = 7, h = 5;
    for (ZRPixFormat fmt : imgfix::kFormats)
        for (bool withAlpha : {false, true}) {
            const Bytes colour = [&] {
                Bytes b(static_cast<size_t>(w) * h * imgfix::Bpp(fmt));
                for (auto& v : b) v = uint8_t(rng());
                return b;
            }();
            Bytes alpha(static_cast<size_t>(w) * h);
            for (auto& v : alpha) v = uint8_t(rng());
            ZRMemoryStream out;
            ASSERT_TRUE(SavePng(&out, colour.data(), withAlpha ? alpha.data() : nullptr, w, h,
                                fmt));
            const Bytes file = imgfix::StreamBytes(out);
            ZRMemoryStream probe(file.data(), static_cast<int>(file.size()));
            EXPECT_EQ(ChkChannelPng(&probe), withAlpha ? 4 : 3);
            Decoded d;
            Decode(file, fmt, false, d);
            ASSERT_TRUE(d.ok) << d.error;
            ASSERT_EQ(d.width, w);
            ASSERT_EQ(d.height, h);
            for (int i = 0; i < w * h; ++i) {
                uint8_t t[3];
                RGBTRIPLEcpyFromProcTable[fmt](t, colour.data() + i * imgfix::Bpp(fmt), 1);
                const uint8_t a = withAlpha ? alpha[i] : 255;
                ASSERT_EQ(imgfix::Pixel(d.colour.p, i, fmt),
                          imgfix::FromQuad(fmt, t[0], t[1], t[2], KeepsAlpha(fmt) ? a : 0))
                    << int(fmt) << " alpha " << withAlpha << " px " << i;
                ASSERT_EQ(d.alpha.p[i], a);
            }
        }
}

TEST(SavePng, RefusesWhatItCannotWriteAndReportsShortWrites) {
    const Bytes colour(16 * 4, 7);
    ZRMemoryStream out;
    EXPECT_FALSE(SavePng(&out, nullptr, 4, 4, pf32_888));
    EXPECT_FALSE(SavePng(&out, colour.data(), 4, 4, pfNone));
    EXPECT_FALSE(SavePng(&out, colour.data(), 0, 4, pf32_888));
    EXPECT_FALSE(SavePng(&out, colour.data(), 4, -1, pf32_888));
    EXPECT_EQ(out.GetSize(), 0);

    for (int limit : {0, 30, 60}) {
        imgfix::ShortWriteStream s(limit);
        try {
            SavePng(&s, colour.data(), 4, 4, pf32_888);
            ADD_FAILURE() << "no exception at " << limit;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Png Error. Write Error.");
        }
    }
}

}  // namespace
