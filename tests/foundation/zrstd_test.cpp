#include "foundation/zrstd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

TEST(ByteOrder, WritesAndReadsBothOrdersAtUnalignedOffsets) {
    unsigned char buf[9] = {};
    ZRPutBE32(buf + 1, 0x11223344u);
    EXPECT_EQ(buf[1], 0x11);
    EXPECT_EQ(buf[2], 0x22);
    EXPECT_EQ(buf[3], 0x33);
    EXPECT_EQ(buf[4], 0x44);
    EXPECT_EQ(ZRGetLE32(buf + 1), 0x44332211u);
    EXPECT_EQ(ZRGetBE32(buf + 1), 0x11223344u);

    ZRPutLE32(buf + 5, 0xA1B2C3D4u);
    const unsigned char le[4] = {0xD4, 0xC3, 0xB2, 0xA1};
    EXPECT_EQ(0, std::memcmp(buf + 5, le, 4));
    EXPECT_EQ(buf[0], 0) << "writers stay inside their four bytes";

    ZRPutLE16(buf, 0x8012);
    EXPECT_EQ(buf[0], 0x12);
    EXPECT_EQ(buf[1], 0x80);
    ZRPutBE16(buf + 2, 0x8012);
    EXPECT_EQ(buf[2], 0x80);
    EXPECT_EQ(buf[3], 0x12);
    EXPECT_EQ(ZRGetLE16(buf), 0x8012);
    EXPECT_EQ(ZRGetBE16(buf + 2), 0x8012);
    EXPECT_EQ(buf[4], 0x44) << "16-bit writers touch two bytes only";
}

TEST(ByteOrder, HighBytesDoNotSignExtend) {
    const unsigned char ff[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(ZRGetLE32(ff), 0xFFFFFFFFu);
    EXPECT_EQ(ZRGetBE32(ff), 0xFFFFFFFFu);
    EXPECT_EQ(ZRGetLE16(ff), 0xFFFF);
    const unsigned char top[4] = {0x00, 0x00, 0x00, 0x80};
    EXPECT_EQ(ZRGetLE32(top), 0x80000000u);
    EXPECT_EQ(ZRGetBE32(top), 0x80u);
}

TEST(Counter, ConstructorsClampMaxAndStep) {
    EXPECT_EQ(ZRCounter().GetMaxVal(), 9999);
    EXPECT_EQ(ZRCounter(-7).GetMaxVal(), 1);
    EXPECT_EQ(ZRCounter(5, 9).GetAddVal(), 5);
    EXPECT_EQ(ZRCounter(5, -2).GetAddVal(), 0);
}

TEST(Counter, IncrementsWrapOnceAndDecrementsStopAtZero) {
    ZRCounter c(10);
    for (int i = 0; i < 9; ++i) EXPECT_FALSE(c.IncVal()) << i;
    EXPECT_EQ(c.GetCount(), 9);
    EXPECT_TRUE(c.IncVal());
    EXPECT_EQ(c.GetCount(), 0);
    EXPECT_TRUE(c.DecVal());
    EXPECT_EQ(c.GetCount(), 0);

    ZRCounter s(10, 4);
    EXPECT_FALSE(s.IncVal());
    EXPECT_FALSE(s.IncVal());
    EXPECT_TRUE(s.IncVal());
    EXPECT_EQ(s.GetCount(), 2) << "the remainder past the top is kept";
    EXPECT_TRUE(s.DecVal());
    EXPECT_EQ(s.GetCount(), 0) << "subtraction does not wrap";

    // A single wrap only: an amount beyond the modulus leaves the count above it.
    ZRCounter big(10);
    EXPECT_TRUE(big.AddVal(25));
    EXPECT_EQ(big.GetCount(), 15);
    EXPECT_FALSE(big.SubVal(15));
    EXPECT_TRUE(big.IsZero());
}

TEST(Counter, SettersKeepStepAndCountInsideTheModulus) {
    ZRCounter c(100, 50);
    c.SetCount(80);
    c.SetMaxVal(20);
    EXPECT_EQ(c.GetMaxVal(), 20);
    EXPECT_EQ(c.GetAddVal(), 20);
    EXPECT_EQ(c.GetCount(), 19);
    c.SetMaxVal(0);
    EXPECT_EQ(c.GetMaxVal(), 1);
    EXPECT_EQ(c.GetAddVal(), 1);
    EXPECT_EQ(c.GetCount(), 0);

    c.SetMaxVal(30);
    c.SetAddVal(31);
    EXPECT_EQ(c.GetAddVal(), 30);
    c.SetAddVal(-1);
    EXPECT_EQ(c.GetAddVal(), 0);
    EXPECT_FALSE(c.IncVal()) << "a zero step never moves";

    c.SetCount(500);
    EXPECT_EQ(c.GetCount(), 29);
    c.SetCount(-12);
    EXPECT_EQ(c.GetCount(), -12) << "no lower bound";
    EXPECT_FALSE(c.AddVal(12));
    EXPECT_TRUE(c.IsZero());

    ZRCounter copy = c;
    copy.SetCount(3);
    EXPECT_EQ(copy.GetMaxVal(), 30);
    EXPECT_EQ(c.GetCount(), 0);
}

TEST(Counter, ExtremeAmountsAreDefined) {
    ZRCounter c(INT_MAX);
    c.SetCount(INT_MAX - 1);
    // Sums past the machine word wrap as two's complement instead of being undefined.
    EXPECT_FALSE(c.AddVal(INT_MAX));
    EXPECT_EQ(c.GetCount(), -3);
    c.SetCount(0);
    EXPECT_FALSE(c.SubVal(INT_MIN + 1));
    EXPECT_EQ(c.GetCount(), INT_MAX);
    EXPECT_TRUE(c.SubVal(INT_MIN));
    EXPECT_TRUE(c.IsZero());
}

// The generator as a sequence: x[n] = x[n-32] + x[n-7] mod 2^16, where the 32 values before
// x[0] are F(33), F(2), F(3), ..., F(32) (Fibonacci numbers mod 2^16).
std::vector<uint16_t> ReferenceSequence(int count) {
    std::array<uint16_t, 34> fib{};
    fib[1] = fib[2] = 1;
    for (int i = 3; i <= 33; ++i) fib[i] = static_cast<uint16_t>(fib[i - 1] + fib[i - 2]);
    std::vector<uint16_t> x;
    x.push_back(fib[33]);
    for (int i = 2; i <= 32; ++i) x.push_back(fib[i]);
    for (int n = 0; n < count; ++n) x.push_back(static_cast<uint16_t>(x[n] + x[n + 25]));
    return std::vector<uint16_t>(x.begin() + 32, x.end());
}

TEST(Random, FreshGeneratorFollowsTheLaggedFibonacciSequence) {
    ZRRandom g;
    EXPECT_EQ(g.Rnd(), 41491);
    EXPECT_EQ(g.Rnd(), 65347);
    const std::vector<uint16_t> want = ReferenceSequence(5000);
    ZRRandom h;
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(h.Rnd(), want[i]) << i;

    ZRRandom copy;
    copy = h;
    for (int i = 0; i < 100; ++i) ASSERT_EQ(copy.Rnd(), h.Rnd());
}

TEST(Random, SmallAndInvalidRangesConsumeNothing) {
    ZRRandom g, twin;
    EXPECT_EQ(g.Random(1), 0);
    EXPECT_EQ(g.Random(0), -1);
    EXPECT_EQ(g.Random(-3), -1);
    EXPECT_EQ(g.NormalDistribution(0), 0);
    EXPECT_EQ(g.NormalDistribution(65537), 0);
    EXPECT_EQ(g.Rnd(), twin.Rnd());
}

TEST(Random, RandomMasksToThePowerOfTwoAboveAndRejects) {
    ZRRandom g, twin;
    int rejected = 0;
    for (int i = 0; i < 2000; ++i) {
        int want;
        while ((want = twin.Rnd() & 7) >= 5) ++rejected;
        ASSERT_EQ(g.Random(5), want) << i;
    }
    EXPECT_GT(rejected, 0);

    ZRRandom a, b;
    for (int i = 0; i < 200; ++i) ASSERT_EQ(a.Random(2), b.Rnd() & 1);
    ZRRandom c, d;
    for (int i = 0; i < 200; ++i) ASSERT_EQ(c.Random(65536), d.Rnd());
}

TEST(Random, RangesBeyondSixteenBitsTerminateBelow65536) {
    ZRRandom g;
    for (int n : {65537, 1 << 20, INT_MAX})
        for (int i = 0; i < 1000; ++i) ASSERT_LE(g.Random(n), 65535);
}

TEST(Random, NormalDistributionSumsThreeDrawsInOrder) {
    ZRRandom g, twin;
    for (int i = 0; i < 500; ++i) {
        int want = twin.Random(3) + twin.Random(3) + twin.Random(3) - 3;
        ASSERT_EQ(g.NormalDistribution(3), want);
    }
    ZRRandom h, twin2;
    for (int i = 0; i < 500; ++i) {  // n = 10: a = 6, b = 8
        int want = twin2.Random(7) + twin2.Random(7) + twin2.Random(9) - 10;
        ASSERT_EQ(h.NormalDistribution(10), want);
    }
}

TEST(Random, NormalDistributionCoversMinusNToN) {
    ZRRandom g;
    for (int n : {1, 2, 3, 4, 5, 1000, 65536}) {
        int lo = INT_MAX, hi = INT_MIN;
        std::vector<int> hist(2 * n + 1);
        for (int i = 0; i < 20000; ++i) {
            int v = g.NormalDistribution(n);
            ASSERT_GE(v, -n);
            ASSERT_LE(v, n);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
            ++hist[v + n];
        }
        if (n <= 5) {
            EXPECT_EQ(lo, -n) << n;
            EXPECT_EQ(hi, n) << n;
            EXPECT_GT(hist[n], hist[0]) << "bell-shaped, centred on zero: " << n;
        }
    }
}

}  // namespace
