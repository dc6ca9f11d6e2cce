#include <gtest/gtest.h>

#include <random>

#include "media/zrrgbeffect.h"
#include "media/zrrgbeffect_state.h"
#include "rows.h"

using testrows::Row;

namespace {

// Plain weight: (a + 1) >> 1 out of 128.
uint8_t PlainStep(int d, int s, int a) {
    return static_cast<uint8_t>(d + (((s - d) * ((a + 1) >> 1)) >> 7));
}
// Pair weight of the fast members: a out of 256, 256 for a = 255.
uint8_t PairStep(int d, int s, int a) {
    return static_cast<uint8_t>(d + (((s - d) * (a == 255 ? 256 : a)) >> 8));
}

struct AlphaMember {
    const char* name;
    unsigned px;
    bool in, mirror;
    void* (*plain3)(void*, const void*, const void*, unsigned);
    void* (*fast3)(void*, const void*, const void*, unsigned);
    void* (*plain2)(void*, const void*, unsigned);
    void* (*fast2)(void*, const void*, unsigned);
};

const AlphaMember kSingle[] = {
    {"Out", 3, false, false, RGBAlphaOutChannel, RGBAlphaOutChannel_MMX, nullptr, nullptr},
    {"Out32", 4, false, false, RGBAlphaOutChannel32, RGBAlphaOutChannel32_MMX, nullptr, nullptr},
    {"In", 4, true, false, nullptr, nullptr, RGBAlphaInChannel, RGBAlphaInChannel_MMX},
    {"OutR", 3, false, true, RGBAlphaOutChannelR, RGBAlphaOutChannelR_MMX, nullptr, nullptr},
    {"OutR32", 4, false, true, RGBAlphaOutChannelR32, RGBAlphaOutChannelR32_MMX, nullptr, nullptr},
    {"InR", 4, true, true, nullptr, nullptr, RGBAlphaInChannelR, RGBAlphaInChannelR_MMX},
};
const AlphaMember kDouble[] = {
    {"DOut", 3, false, false, RGBDoubleAlphaOutChannel, RGBDoubleAlphaOutChannel_MMX, nullptr,
     nullptr},
    {"DOut32", 4, false, false, RGBDoubleAlphaOutChannel32, RGBDoubleAlphaOutChannel32_MMX, nullptr,
     nullptr},
    {"DIn", 4, true, false, nullptr, nullptr, RGBDoubleAlphaInChannel, RGBDoubleAlphaInChannel_MMX},
    {"DOutR", 3, false, true, RGBDoubleAlphaOutChannelR, RGBDoubleAlphaOutChannelR_MMX, nullptr,
     nullptr},
    {"DOutR32", 4, false, true, RGBDoubleAlphaOutChannelR32, RGBDoubleAlphaOutChannelR32_MMX,
     nullptr, nullptr},
    {"DInR", 4, true, true, nullptr, nullptr, RGBDoubleAlphaInChannelR,
     RGBDoubleAlphaInChannelR_MMX},
};

// Runs a member on exact-size rows; mirrored members get pointers to the last source pixel and
// the last alpha byte.
void RunMember(const AlphaMember& m, bool fast, Row& dst, const Row& src, const Row& alpha,
               unsigned count) {
    const uint8_t* s = src.data();
    const uint8_t* a = alpha.data();
    if (m.mirror && count) {
        s += (count - 1) * m.px;
        a += count - 1;
    }
    if (m.in) {
        (fast ? m.fast2 : m.plain2)(dst.data(), s, count);
    } else {
        (fast ? m.fast3 : m.plain3)(dst.data(), s, a, count);
    }
}

// One random run of a member, plain and fast, from the same rows (InChannel sources carry the
// alpha bytes in byte 3).
struct Trial {
    Row src, alpha, before, plain, fast;
    Trial(const AlphaMember& m, unsigned count, std::mt19937& rng)
        : src(testrows::Random(count * m.px, rng)),
          alpha(testrows::Alphas(count, rng)),
          before(testrows::Random(count * m.px, rng)),
          plain(before),
          fast(before) {
        if (m.in)
            for (unsigned i = 0; i < count; ++i) src[i * 4 + 3] = alpha[i];
        RunMember(m, false, plain, src, alpha, count);
        RunMember(m, true, fast, src, alpha, count);
    }
};

// Checks every destination pixel against step(D, S, alpha, fastPixel).
template <typename Step>
void Check(const AlphaMember& m, const Row& before, const Row& after, const Row& src,
           const Row& alpha, unsigned count, Step step, const char* what) {
    for (unsigned i = 0; i < count; ++i) {
        const unsigned j = m.mirror ? count - 1 - i : i;
        const uint8_t* sp = src.data() + j * m.px;
        const int a = m.in ? sp[3] : alpha[j];
        for (unsigned c = 0; c < m.px; ++c) {
            const int d = before[i * m.px + c];
            const int want = c == 3 ? d : step(d, sp[c], a, i);
            ASSERT_EQ(after[i * m.px + c], want)
                << what << " " << m.name << " count " << count << " pixel " << i << " channel " << c
                << " alpha " << a;
        }
    }
}

// The plain members follow the plain weight everywhere; the fast ones the pair weight on the
// leading (count - 1) / 2 pairs and the plain weight on the last one or two pixels.
void FastMembersDifferOnlyWhereThePairWeightSaysSoBody() {
    std::mt19937 rng(7);
    for (const AlphaMember& m : kSingle) {
        for (unsigned count = 0; count <= 70; ++count) {
            Trial t(m, count, rng);
            const Row &src = t.src, &alpha = t.alpha, &before = t.before, &plain = t.plain,
                      &fast = t.fast;
            Check(
                m, before, plain, src, alpha, count,
                [](int d, int s, int a, unsigned) { return PlainStep(d, s, a); }, "plain");
            const unsigned paired = count ? (count - 1) / 2 * 2 : 0;
            Check(
                m, before, fast, src, alpha, count,
                [paired](int d, int s, int a, unsigned i) {
                    return i < paired ? PairStep(d, s, a) : PlainStep(d, s, a);
                },
                "fast");
        }
    }
}

// Both the 16-byte and, where the processor has them, the 32-byte block loops.
TEST(RGBAlphaChannel, FastMembersDifferOnlyWhereThePairWeightSaysSo) {
    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "wide" : "16-byte");
        zr_effect::SetWideVectors(wide);
        FastMembersDifferOnlyWhereThePairWeightSaysSoBody();
    }
}

TEST(RGBAlphaChannel, OddAlphaStaysOneLevelCloserInsidePairs) {
    for (unsigned count : {1u, 2u, 5u, 6u, 9u, 10u, 33u}) {
        Row dst(count * 3), src(count * 3), alpha(count);
        std::memset(dst.data(), 0, dst.size());
        std::memset(src.data(), 255, src.size());
        std::memset(alpha.data(), 127, count);
        RGBAlphaOutChannel_MMX(dst.data(), src.data(), alpha.data(), count);
        const unsigned tail = count % 2 ? 1 : 2;
        for (unsigned i = 0; i < count; ++i)
            EXPECT_EQ(dst[i * 3], i < count - tail ? 126 : 127) << count << " " << i;
        Row plain(count * 3);
        std::memset(plain.data(), 0, plain.size());
        RGBAlphaOutChannel(plain.data(), src.data(), alpha.data(), count);
        for (unsigned i = 0; i < count; ++i) EXPECT_EQ(plain[i * 3], 127);
    }
    uint8_t d[3] = {10, 20, 30}, s[3] = {200, 100, 0}, a255 = 255, a0 = 0, a1 = 1;
    RGBAlphaOutChannel(d, s, &a0, 1);
    EXPECT_EQ(d[0], 10);
    RGBAlphaOutChannel(d, s, &a255, 1);
    EXPECT_EQ(std::vector<int>(d, d + 3), std::vector<int>(s, s + 3));
    uint8_t z[3] = {0, 0, 0}, w[3] = {255, 255, 255};
    RGBAlphaOutChannel(z, w, &a1, 1);
    EXPECT_EQ(z[0], 1);
}

// Double alpha: fast and plain agree byte for byte for rates on and off the constant tables.
void FastEqualsPlainForEveryRateBody() {
    std::mt19937 rng(8);
    for (int rate : {0, 16, 50, 64, 100, 112, 127, 128, 200, -3}) {
        SetDoubleAlphaParam(rate);
        const int r = std::clamp(rate, 0, 128);
        for (const AlphaMember& m : kDouble) {
            for (unsigned count = 0; count <= 70; ++count) {
                Trial t(m, count, rng);
                const Row &src = t.src, &alpha = t.alpha, &before = t.before, &plain = t.plain,
                          &fast = t.fast;
                auto step = [r](int d, int s, int a, unsigned) {
                    const int k = a * r / 255;
                    return static_cast<uint8_t>(d + (((s - d) * k) >> 7));
                };
                Check(m, before, plain, src, alpha, count, step, "plain");
                ASSERT_EQ(plain.bytes(), fast.bytes())
                    << m.name << " rate " << rate << " " << count;
            }
        }
    }
    SetDoubleAlphaParam(64);
    uint8_t d[4] = {0, 100, 255, 7}, s[4] = {255, 201, 0, 9}, a = 255;
    RGBDoubleAlphaOutChannel32(d, s, &a, 1);
    EXPECT_EQ(std::vector<int>(d, d + 4), (std::vector<int>{127, 150, 127, 7}));
    // Returning to an off-table rate after a table rate recomputes nothing but still applies.
    SetDoubleAlphaParam(50);
    SetDoubleAlphaParam(32);
    SetDoubleAlphaParam(50);
    uint8_t e[3] = {0, 0, 0}, f[3] = {255, 255, 255};
    RGBDoubleAlphaOutChannel(e, f, &a, 1);
    EXPECT_EQ(e[0], (255 * 50 / 255 * 255) >> 7);
}

// Both the 16-byte and, where the processor has them, the 32-byte block loops.
TEST(RGBDoubleAlpha, FastEqualsPlainForEveryRate) {
    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "wide" : "16-byte");
        zr_effect::SetWideVectors(wide);
        FastEqualsPlainForEveryRateBody();
    }
}

TEST(RGBTone, FastMatchesPlainAndTonesByte3Only32) {
    std::mt19937 rng(9);
    for (uint32_t tone : {0x00808080u, 0x00FF0000u, 0xFF00FF80u, 0x12345678u, 0x80808080u}) {
        for (unsigned count = 0; count <= 70; ++count) {
            Row src = testrows::Random(count * 4, rng), before = testrows::Random(count * 4, rng);
            Row plain(before), fast(before);
            RGBTone32(plain.data(), src.data(), tone, count);
            RGBTone32_MMX(fast.data(), src.data(), tone, count);
            for (unsigned i = 0; i < count * 4; ++i) {
                const int f = (tone >> (8 * (i % 4))) & 0xFF;
                const int want = std::min(255, (src[i] * f) >> 7);
                ASSERT_EQ(fast[i], want) << tone << " " << count << " " << i;
                ASSERT_EQ(plain[i], i % 4 == 3 ? before[i] : want);
            }
            Row s3 = testrows::Random(count * 3, rng), b3 = testrows::Random(count * 3, rng);
            Row p3(b3), f3(b3);
            RGBTone24(p3.data(), s3.data(), tone, count);
            RGBTone24_MMX(f3.data(), s3.data(), tone, count);
            for (unsigned i = 0; i < count * 3; ++i) {
                const int f = (tone >> (8 * (i % 3))) & 0xFF;
                ASSERT_EQ(p3[i], std::min(255, (s3[i] * f) >> 7));
            }
            ASSERT_EQ(p3.bytes(), f3.bytes()) << tone << " " << count;
        }
    }
}

TEST(RGBMonochrome, GreyIsTheTruncatedMeanAndByte3Stays) {
    const uint8_t src[8] = {1, 2, 4, 9, 255, 255, 254, 0};
    uint8_t d32[8] = {0, 0, 0, 77, 0, 0, 0, 88};
    RGBMonochrome32(d32, src, 2);
    EXPECT_EQ(std::vector<int>(d32, d32 + 8), (std::vector<int>{2, 2, 2, 77, 254, 254, 254, 88}));
    uint8_t d24[6];
    RGBMonochrome24(d24, src, 2);
    EXPECT_EQ(std::vector<int>(d24, d24 + 6), (std::vector<int>{2, 2, 2, 173, 173, 173}));
}

TEST(RGBAlphaPlane, FastMatchesPlainAndModel) {
    std::mt19937 rng(10);
    for (int v : {0, 1, 10, 20, 239, 255, 256 + 15, -1}) {
        const int w = v & 0xFF;
        for (unsigned count = 0; count <= 70; ++count) {
            Row src = testrows::Random(count, rng);
            Row e(count), ef(count), a(count), af(count), s(count), sf(count);
            RGBExtractAlpha(e.data(), src.data(), v, count);
            RGBExtractAlpha_MMX(ef.data(), src.data(), v, count);
            RGBSAddAlpha(a.data(), src.data(), v, count);
            RGBSAddAlpha_MMX(af.data(), src.data(), v, count);
            RGBSSubAlpha(s.data(), src.data(), v, count);
            RGBSSubAlpha_MMX(sf.data(), src.data(), v, count);
            for (unsigned i = 0; i < count; ++i) {
                const int t = std::min(255, src[i] + w);
                ASSERT_EQ(e[i], t >= 240 ? (t - 240) * 17 : 0);
                ASSERT_EQ(a[i], t);
                ASSERT_EQ(s[i], std::max(0, src[i] - w));
            }
            ASSERT_EQ(e.bytes(), ef.bytes());
            ASSERT_EQ(a.bytes(), af.bytes());
            ASSERT_EQ(s.bytes(), sf.bytes());
        }
    }
    uint8_t src[2] = {250, 239}, out[2];
    RGBExtractAlpha(out, src, 0, 2);
    EXPECT_EQ(out[0], 170);
    EXPECT_EQ(out[1], 0);
    RGBExtractAlpha_MMX(out, src, 20, 1);
    EXPECT_EQ(out[0], 255);
}

}  // namespace
