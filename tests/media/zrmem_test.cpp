#include "media/zrmem.h"

#include <gtest/gtest.h>

#include <random>

#include "media/zrrgbraw.h"
#include "rows.h"

using testrows::Row;

namespace {

uint32_t Pixel(const uint8_t* p, unsigned n) {
    uint32_t v = 0;
    for (unsigned b = 0; b < n; ++b) v |= uint32_t(p[b]) << (8 * b);
    return v;
}

TEST(ZRMemcpy, CopiesAndMovesOverlappingBlocksBothWays) {
    std::mt19937 rng(1);
    for (unsigned n : {0u, 1u, 3u, 31u, 32u, 33u, 100u, 1000u}) {
        Row src = testrows::Random(n, rng), dst(n), dst2(n);
        ZRMemcpy(dst.data(), src.data(), n);
        ZRMemcpyS(dst2.data(), src.data(), n);
        EXPECT_EQ(dst.bytes(), src.bytes());
        EXPECT_EQ(dst2.bytes(), src.bytes());
        Row dst3(n);
        EXPECT_EQ(ZRMemcpyB(dst3.data(), src.data(), n), dst3.data());
        EXPECT_EQ(dst3.bytes(), src.bytes());
    }
    Row buf = testrows::Random(101, rng);
    const auto orig = buf.bytes();
    ZRMemcpyB(buf.data() + 1, buf.data(), 100);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(buf[i + 1], orig[i]);
    Row buf2(orig);
    ZRMemcpy(buf2.data(), buf2.data() + 1, 100);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(buf2[i], orig[i + 1]);
}

// Every pixel member against a pixel-by-pixel model, for every depth and length 0..40.
TEST(ZRMemcpy, PixelCopiesMatchTheirModelAtEveryDepth) {
    std::mt19937 rng(2);
    for (unsigned bpp = 1; bpp <= 4; ++bpp) {
        for (unsigned count = 0; count <= 40; ++count) {
            const std::size_t n = std::size_t(count) * bpp;
            Row src = testrows::Random(n, rng), before = testrows::Random(n, rng);
            // Make about a third of the source pixels equal the key.
            const uint32_t key = (count ? Pixel(src.data(), bpp) : 0) &
                                 (bpp == 4 ? 0xFFFFFFFF : (1u << (8 * bpp)) - 1);
            for (unsigned i = 0; i < count; ++i)
                if (rng() % 3 == 0 && count) std::memcpy(src.data() + i * bpp, &key, bpp);
            const uint8_t mask[3] = {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()),
                                     static_cast<uint8_t>(rng())};
            const unsigned maskBits = 1 + rng() % 24;
            auto bit = [&](unsigned i) {
                const unsigned b = i % maskBits;
                return (mask[b / 8] >> (7 - b % 8)) & 1;
            };
            Row r(before), k(before), rk(before), m(before), rm(before);
            RGBReverseProcTable[bpp](r.data(), src.data(), count);
            RGBKeyColorProcTable[bpp](k.data(), src.data(), count, key);
            RGBRevKeyColorProcTable[bpp](rk.data(), src.data(), count, key);
            RGBMaskColorProcTable[bpp](m.data(), src.data(), count, mask, maskBits);
            RGBRevMaskColorProcTable[bpp](rm.data(), src.data(), count, mask, maskBits);
            for (unsigned i = 0; i < count; ++i) {
                const unsigned j = count - 1 - i;
                const uint8_t* si = src.data() + i * bpp;
                const uint8_t* sj = src.data() + j * bpp;
                auto same = [&](const Row& row, unsigned at, const uint8_t* want) {
                    return std::memcmp(row.data() + at * bpp, want, bpp) == 0;
                };
                const bool keyI = Pixel(si, bpp) == key, keyJ = Pixel(sj, bpp) == key;
                ASSERT_TRUE(same(r, i, sj)) << bpp << " " << count << " " << i;
                ASSERT_TRUE(same(k, i, keyI ? before.data() + i * bpp : si));
                ASSERT_TRUE(same(rk, i, keyJ ? before.data() + i * bpp : sj));
                ASSERT_TRUE(same(m, i, bit(i) ? si : before.data() + i * bpp));
                ASSERT_TRUE(same(rm, j, bit(i) ? si : before.data() + j * bpp));
            }
        }
    }
}

TEST(ZRMemcpy, KeysCompareAtThePixelWidth) {
    const uint8_t src[3] = {0, 5, 0};
    uint8_t dst[3] = {9, 9, 9};
    ZRMemcpyK(dst, src, 3, 0xFFFFFF00);  // only the low byte is the key
    EXPECT_EQ(dst[0], 9);
    EXPECT_EQ(dst[1], 5);
    EXPECT_EQ(dst[2], 9);

    const uint8_t px[6] = {0, 0, 1, 0, 0, 1};  // two 24-bit pixels 0x010000
    uint8_t out[6] = {};
    ZRMemcpy3K(out, px, 2, 0x01010000);  // a key with a top byte never matches
    EXPECT_EQ(std::memcmp(out, px, 6), 0);
    uint8_t out2[6] = {7, 7, 7, 7, 7, 7};
    ZRMemcpy3RK(out2, px, 2, 0x010000);
    EXPECT_EQ(out2[2], 7);

    const uint32_t quad = 0xFF102030;
    uint32_t d4 = 0;
    ZRMemcpy4K(&d4, &quad, 1, 0x00102030);  // the alpha byte takes part
    EXPECT_EQ(d4, quad);
}

TEST(ZRMemcpy, MaskRestartsAfterItsLastBit) {
    const uint8_t src[6] = {1, 2, 3, 4, 5, 6};
    uint8_t dst[6] = {};
    const uint8_t mask = 0xA0;  // 1 0 1, repeated
    ZRMemcpyM(dst, src, 6, &mask, 3);
    EXPECT_EQ(std::vector<int>(dst, dst + 6), (std::vector<int>{1, 0, 3, 4, 0, 6}));
    uint8_t rdst[6] = {};
    ZRMemcpyRM(rdst, src, 6, &mask, 3);
    EXPECT_EQ(std::vector<int>(rdst, rdst + 6), (std::vector<int>{6, 0, 4, 3, 0, 1}));
}

TEST(ZRMemcpy, MirroredCopiesOfShortRows) {
    const uint8_t src[3] = {1, 2, 3};
    uint8_t dst[3];
    ZRMemcpyR(dst, src, 3);
    EXPECT_EQ(std::vector<int>(dst, dst + 3), (std::vector<int>{3, 2, 1}));
    uint8_t one[3];
    ZRMemcpy3R(one, src, 1);
    EXPECT_EQ(std::vector<int>(one, one + 3), (std::vector<int>{1, 2, 3}));
}

TEST(ZRMemset, FillsEveryWidthExactly) {
    for (unsigned count : {0u, 1u, 3u, 4u, 5u, 13u}) {
        Row b1(count), b2(count * 2), b3(count * 3), b4(count * 4);
        RGBFillProcTable[bd8](b1.data(), 0x1234, count);
        RGBFillProcTable[bd16](b2.data(), 0xAB1234, count);
        RGBFillProcTable[bd24](b3.data(), 0xFF112233, count);
        RGBFillProcTable[bd32](b4.data(), 0x01020304, count);
        for (unsigned i = 0; i < count; ++i) {
            EXPECT_EQ(b1[i], 0x34);
            EXPECT_EQ(Pixel(b2.data() + 2 * i, 2), 0x1234u);
            EXPECT_EQ(b3[3 * i], 0x33);
            EXPECT_EQ(b3[3 * i + 1], 0x22);
            EXPECT_EQ(b3[3 * i + 2], 0x11);
            EXPECT_EQ(Pixel(b4.data() + 4 * i, 4), 0x01020304u);
        }
    }
}

}  // namespace
