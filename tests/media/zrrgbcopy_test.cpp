#include "media/zrrgbcopy.h"

#include <gtest/gtest.h>

#include <random>

#include "rows.h"

using testrows::Row;

namespace {

const unsigned kBytes[8] = {0, 2, 2, 2, 2, 3, 4, 4};

uint32_t Get(const uint8_t* p, unsigned n) {
    uint32_t v = 0;
    for (unsigned b = 0; b < n; ++b) v |= uint32_t(p[b]) << (8 * b);
    return v;
}

TEST(Packing, BoundaryColours) {
    EXPECT_EQ(RGBto16_565(0x00FFFFFF), 0xFFFFu);
    EXPECT_EQ(RGBto16_565(0x00080400), 0x0820u);
    EXPECT_EQ(RGBfrom16_565(0xFFFF), 0x00FFFFFFu);
    EXPECT_EQ(RGBfrom16_565(0x8000), 0x00840000u);
    EXPECT_EQ(RGBfrom16_5551(0xFFFF), 0x01FFFFFFu);
    EXPECT_EQ(RGBfrom16_555(0x7FFF), 0x00FFFFFFu);
    EXPECT_EQ(RGBfrom16_4444(0xFFFF), 0xFFFFFFFFu);
    EXPECT_EQ(RGBfrom16_4444(0x1234), 0x11223344u);
    EXPECT_EQ(RGBfrom32_8888(0x80102030), 0x00102030u);
    EXPECT_EQ(RGBfrom32_888(0x80102030), 0x80102030u);
    EXPECT_EQ(RGBto16_4444(0x00FFFFFF), 0x0FFFu);
    EXPECT_EQ(RGBto16_4444(0xF0FFFFFF), 0xFFFFu);
    // The alpha byte rides in bits 16-23 of the 16-bit packers' results, never in bit 15.
    EXPECT_EQ(RGBto16_5551(0xFFFFFFFF), 0x00FF7FFFu);
    EXPECT_EQ(RGBto16_565(0xAB000000), 0x00AB0000u);
    for (uint32_t c : {0x00000000u, 0x00FFFFFFu, 0x00123456u, 0xFF808080u}) {
        EXPECT_EQ(RGBto16_5551(c) & 0x8000, 0u);
        EXPECT_EQ(RGBto24_888(c), c);
        EXPECT_EQ(RGBto32_8888(c), c);
    }
}

// Unpacking widens every field so that packing again returns the pixel: the round trip holds
// for every 16-bit value (bit 15 of 555 and 5551 excepted, which the packers never set).
TEST(Packing, EveryPixelSurvivesARoundTrip) {
    for (uint32_t p = 0; p < 0x10000; ++p) {
        ASSERT_EQ(RGBto16_565(RGBfrom16_565(p)) & 0xFFFF, p);
        ASSERT_EQ(RGBto16_555(RGBfrom16_555(p)) & 0xFFFF, p & 0x7FFF);
        ASSERT_EQ(RGBto16_4444(RGBfrom16_4444(p)), p);
    }
}

// Every row converter against its packer or unpacker, over lengths 0..70, on rows allocated at
// their exact size so a byte touched past either end fails under AddressSanitizer.
TEST(RowConversion, EveryConverterMatchesThePerPixelArithmetic) {
    std::mt19937 rng(3);
    for (int f = 1; f < 8; ++f) {
        const unsigned px = kBytes[f];
        for (unsigned count = 0; count <= 70; ++count) {
            Row quads = testrows::Random(count * 4, rng),
                triples = testrows::Random(count * 3, rng);
            Row pixels = testrows::Random(count * px, rng);
            Row toFromQuad(count * px), toFromTriple(count * px);
            Row quadFrom(count * 4), tripleFrom(count * 3);
            RGBQUADcpyToProcTable[f](toFromQuad.data(), quads.data(), count);
            RGBTRIPLEcpyToProcTable[f](toFromTriple.data(), triples.data(), count);
            RGBQUADcpyFromProcTable[f](quadFrom.data(), pixels.data(), count);
            RGBTRIPLEcpyFromProcTable[f](tripleFrom.data(), pixels.data(), count);
            const uint32_t pxMask = px == 4 ? 0xFFFFFFFF : (1u << (8 * px)) - 1;
            for (unsigned i = 0; i < count; ++i) {
                const uint32_t q = Get(quads.data() + 4 * i, 4);
                const uint32_t t = Get(triples.data() + 3 * i, 3);
                const uint32_t p = Get(pixels.data() + px * i, px);
                // Quads to 5551 write alpha bit 0; to 24 bits drop the fourth byte.
                uint32_t wantQ = ConvertRGBtoProcTable[f](q) & pxMask;
                ASSERT_EQ(Get(toFromQuad.data() + px * i, px), wantQ) << f << " " << count;
                ASSERT_EQ(Get(toFromTriple.data() + px * i, px),
                          ConvertRGBtoProcTable[f](t) & pxMask);
                uint32_t wantFromQ = ConvertRGBfromProcTable[f](p);
                if (f == pf16_555 || f == pf16_5551 || f == pf16_565) wantFromQ &= 0x00FFFFFF;
                if (f == pf32_8888) wantFromQ = p;  // a whole-quad copy keeps alpha
                ASSERT_EQ(Get(quadFrom.data() + 4 * i, 4), wantFromQ) << f << " " << count;
                ASSERT_EQ(Get(tripleFrom.data() + 3 * i, 3),
                          ConvertRGBfromProcTable[f](p) & 0xFFFFFF);
            }
        }
    }
}

TEST(RowConversion, OpenValuesAreZero) {
    const uint8_t triple[3] = {0xFF, 0xFF, 0xFF};
    uint8_t out4[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    RGBTRIPLEcpyTo32_8888(out4, triple, 1);
    EXPECT_EQ(out4[3], 0);  // transparent by its alpha byte
    uint16_t p4444 = 0;
    RGBTRIPLEcpyTo16_4444(&p4444, triple, 1);
    EXPECT_EQ(p4444, 0x0FFF);
    const uint16_t p555 = 0xFFFF;
    uint8_t q[4] = {1, 1, 1, 1};
    RGBQUADcpyFrom16_5551(q, &p555, 1);
    EXPECT_EQ(Get(q, 4), 0x00FFFFFFu);
    uint16_t back = 0;
    RGBQUADcpyTo16_5551(&back, q, 1);
    EXPECT_EQ(back, 0x7FFF);
}

// Any format to any other through the quad and the triple forms, on boundary colours: black and
// white stay exact, and a converted pixel equals the packer applied to the unpacked colour.
TEST(RowConversion, EveryPairOfFormatsOnBoundaryColours) {
    const uint32_t colours[] = {0x00000000, 0x00FFFFFF, 0x00FF0000, 0x0000FF00, 0x000000FF,
                                0x00808080, 0x007F7F7F, 0x00F8FCF8, 0x00070307, 0x00010101};
    for (int a = 1; a < 8; ++a) {
        for (int b = 1; b < 8; ++b) {
            for (uint32_t c : colours) {
                uint8_t pa[4] = {}, quad[4] = {}, triple[3] = {}, viaQuad[4] = {},
                        viaTriple[4] = {};
                const uint32_t packed = ConvertRGBtoProcTable[a](c);
                std::memcpy(pa, &packed, kBytes[a]);
                RGBQUADcpyFromProcTable[a](quad, pa, 1);
                RGBTRIPLEcpyFromProcTable[a](triple, pa, 1);
                RGBQUADcpyToProcTable[b](viaQuad, quad, 1);
                RGBTRIPLEcpyToProcTable[b](viaTriple, triple, 1);
                const uint32_t mask = kBytes[b] == 4 ? 0xFFFFFF : (1u << (8 * kBytes[b])) - 1;
                const uint32_t colour = ConvertRGBfromProcTable[a](packed) & 0xFFFFFF;
                const uint32_t want = ConvertRGBtoProcTable[b](colour) & mask;
                EXPECT_EQ(Get(viaQuad, kBytes[b]) & mask, want) << a << "->" << b << " " << c;
                EXPECT_EQ(Get(viaTriple, kBytes[b]) & mask, want) << a << "->" << b << " " << c;
                if (c == 0x00FFFFFF || c == 0) {
                    EXPECT_EQ(ConvertRGBfromProcTable[b](want) & 0xFFFFFF, c);
                }
            }
        }
    }
}

TEST(RowConversion, PaletteExpansion) {
    uint8_t palette[256 * 4];
    for (int i = 0; i < 256 * 4; ++i) palette[i] = static_cast<uint8_t>(i * 7);
    std::mt19937 rng(4);
    for (unsigned count = 0; count <= 70; ++count) {
        Row idx = testrows::Random(count, rng), q(count * 4), t(count * 3);
        RGBQUADcpyFrom8(q.data(), idx.data(), palette, count);
        RGBTRIPLEcpyFrom8(t.data(), idx.data(), palette, count);
        for (unsigned i = 0; i < count; ++i) {
            ASSERT_EQ(std::memcmp(q.data() + 4 * i, palette + 4 * idx[i], 4), 0);
            ASSERT_EQ(std::memcmp(t.data() + 3 * i, palette + 4 * idx[i], 3), 0);
        }
    }
}

}  // namespace

namespace {

// The triple-to-quad converters take four pixels at a time: every length around that step,
// with rows ending exactly at their allocation.
TEST(RowConversion, TriplesToQuadsAtEveryLengthAroundTheFourPixelStep) {
    std::mt19937 rng(7);
    for (unsigned n = 0; n <= 21; ++n) {
        Row src = testrows::Random(n * 3, rng);
        for (auto fn : {RGBTRIPLEcpyTo32_888, RGBTRIPLEcpyTo32_8888}) {
            Row dst(n * 4);
            fn(dst.data(), src.data(), n);
            for (unsigned i = 0; i < n; ++i) {
                ASSERT_EQ(dst[i * 4 + 0], src[i * 3 + 0]) << n << ":" << i;
                ASSERT_EQ(dst[i * 4 + 1], src[i * 3 + 1]) << n << ":" << i;
                ASSERT_EQ(dst[i * 4 + 2], src[i * 3 + 2]) << n << ":" << i;
                ASSERT_EQ(dst[i * 4 + 3], 0) << n << ":" << i;
            }
        }
    }
}

}  // namespace
