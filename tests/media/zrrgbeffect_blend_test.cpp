#include <gtest/gtest.h>

#include <random>

#include "media/zrrgbeffect.h"
#include "media/zrrgbeffect_state.h"
#include "media/zrrgbraw.h"
#include "rows.h"

using testrows::Row;

namespace {

int FloorDiv128(int x) {
    return x >= 0 ? x / 128 : -((-x + 127) / 128);
}

struct Field {
    int shift, width;
};
struct Layout {
    ZRPixFormat format;
    Field f[3];
    uint32_t top;  // bits outside the colour fields
};
const Layout kLayouts[] = {
    {pf16_565, {{11, 5}, {5, 6}, {0, 5}}, 0},
    {pf16_555, {{10, 5}, {5, 5}, {0, 5}}, 0x8000},
    {pf16_5551, {{10, 5}, {5, 5}, {0, 5}}, 0x8000},
    {pf16_4444, {{8, 4}, {4, 4}, {0, 4}}, 0xF000},
};

enum Op { kAlpha, kHalf, kAdd, kSub };

// The 16-bit kernels field by field, with their rules for the bits outside the colour fields.
uint32_t Model16(const Layout& l, Op op, uint32_t a, uint32_t b, int rate) {
    uint32_t r = 0;
    for (const Field& f : l.f) {
        const int max = (1 << f.width) - 1;
        const int x = (a >> f.shift) & max, y = (b >> f.shift) & max;
        int v = 0;
        switch (op) {
            case kAlpha:
                v = x + FloorDiv128((y - x) * rate);
                break;
            case kHalf:
                v = (x + y) / 2;
                break;
            case kAdd:
                v = std::min(x + y, max);
                break;
            case kSub:
                v = std::max(x - y, 0);
                break;
        }
        r |= uint32_t(v) << f.shift;
    }
    if (l.top == 0x8000) {
        if (op == kHalf) r |= a & b & 0x8000;
        if (op == kAdd) r |= (a ^ b) & 0x8000;
    } else if (l.top == 0xF000) {
        if (op == kHalf) r |= (((a >> 12) + (b >> 12)) / 2) << 12;
        if (op == kAdd) r |= (((a >> 12) + (b >> 12)) & 15) << 12;
    }
    return r;
}

TEST(RGBBlend16, EveryFamilyMatchesTheFieldModel) {
    std::mt19937 rng(5);
    const ZRBlendProc* blend[2] = {RGBAlphaProcTable, RGBHalfProcTable};
    const ZRCombineProc* combine[2] = {RGBAddProcTable, RGBSubProcTable};
    for (int rate : {0, 1, 37, 64, 127, 128}) {
        SetAlphaParam(rate);
        for (const Layout& l : kLayouts) {
            // The 16-bit entries of the fast tables are the plain members.
            EXPECT_EQ(RGBAlphaMMXProcTable[l.format], RGBAlphaProcTable[l.format]);
            EXPECT_EQ(RGBAddMMXProcTable[l.format], RGBAddProcTable[l.format]);
            for (int n = 0; n < 3000; ++n) {
                uint16_t a = static_cast<uint16_t>(rng()), b = static_cast<uint16_t>(rng());
                if (n < 4) a = n & 1 ? 0xFFFF : 0, b = n & 2 ? 0xFFFF : 0;
                for (int op = 0; op < 4; ++op) {
                    if (op != kAlpha && rate != 64) continue;
                    uint16_t d = a;
                    if (op < 2) {
                        blend[op][l.format](&d, &a, &b, 1);
                    } else {
                        combine[op - 2][l.format](&d, &b, 1);
                    }
                    ASSERT_EQ(d, Model16(l, Op(op), a, b, rate))
                        << "format " << int(l.format) << " op " << op << " rate " << rate << " "
                        << std::hex << a << " " << b;
                }
            }
        }
    }
}

TEST(RGBBlend16, DocumentedValues) {
    uint16_t d = 0, a = 0xFFFF, b = 0;
    RGBHalf16_565(&d, &a, &b, 1);
    EXPECT_EQ(d, 0x7BEF);
    uint16_t x = 0xC000, y = 0x7000;
    RGBAdd16_4444(&x, &y, 1);
    EXPECT_EQ(x >> 12, 3);
    uint16_t s = 0xF000, t = 0x0000;
    RGBSub16_4444(&s, &t, 1);
    EXPECT_EQ(s >> 12, 0);
    SetAlphaParam(64);
    uint16_t p = 0xFFFF, q = 0xFFFF, r = 0;
    RGBAlpha16_5551(&r, &p, &q, 1);
    EXPECT_EQ(r, 0x7FFF);
}

uint8_t ModelByte(Op op, int x, int y, int rate) {
    switch (op) {
        case kAlpha:
            return static_cast<uint8_t>(x + FloorDiv128((y - x) * rate));
        case kHalf:
            return static_cast<uint8_t>((x + y) / 2);
        case kAdd:
            return static_cast<uint8_t>(std::min(x + y, 255));
        case kSub:
            return static_cast<uint8_t>(std::max(x - y, 0));
    }
    return 0;
}

struct ByteMember {
    Op op;
    unsigned px;
    ZRBlendProc plain2, fast2;
    ZRCombineProc plain1, fast1;
};

const ByteMember kByteMembers[] = {
    {kAlpha, 3, RGBAlpha24_888, RGBAlpha24_888_MMX, nullptr, nullptr},
    {kAlpha, 4, RGBAlpha32_888, RGBAlpha32_888_MMX, nullptr, nullptr},
    {kAlpha, 4, RGBAlpha32_8888, RGBAlpha32_8888_MMX, nullptr, nullptr},
    {kAlpha, 1, RGBAlpha8, RGBAlpha8_MMX, nullptr, nullptr},
    {kHalf, 3, RGBHalf24_888, RGBHalf24_888_MMX, nullptr, nullptr},
    {kHalf, 4, RGBHalf32_888, RGBHalf32_888_MMX, nullptr, nullptr},
    {kHalf, 4, RGBHalf32_8888, RGBHalf32_8888_MMX, nullptr, nullptr},
    {kHalf, 1, RGBHalf8, RGBHalf8_MMX, nullptr, nullptr},
    {kAdd, 3, nullptr, nullptr, RGBAdd24_888, RGBAdd24_888_MMX},
    {kAdd, 4, nullptr, nullptr, RGBAdd32_888, RGBAdd32_888_MMX},
    {kAdd, 4, nullptr, nullptr, RGBAdd32_8888, RGBAdd32_8888_MMX},
    {kSub, 3, nullptr, nullptr, RGBSub24_888, RGBSub24_888_MMX},
    {kSub, 4, nullptr, nullptr, RGBSub32_888, RGBSub32_888_MMX},
    {kSub, 4, nullptr, nullptr, RGBSub32_8888, RGBSub32_8888_MMX},
};

// Fast and plain byte-row members give the model's bytes for every length 0..70, on separate
// rows and with the destination being one of the operands.
void FastAndPlainMatchTheModelAtEveryLengthBody() {
    std::mt19937 rng(6);
    for (int rate : {0, 1, 63, 64, 65, 127, 128}) {
        SetAlphaParam(rate);
        for (const ByteMember& m : kByteMembers) {
            if (m.op != kAlpha && rate != 64) continue;
            for (unsigned count = 0; count <= 70; ++count) {
                const std::size_t n = count * m.px;
                Row a = testrows::Random(n, rng), b = testrows::Random(n, rng);
                for (int impl = 0; impl < 2; ++impl) {
                    for (int alias = 0; alias < 3; ++alias) {
                        Row x(a), y(b), out = testrows::Random(n, rng);
                        uint8_t* dst = alias == 0 ? out.data() : alias == 1 ? x.data() : y.data();
                        if (m.plain2) {
                            (impl ? m.fast2 : m.plain2)(dst, x.data(), y.data(), count);
                        } else {
                            if (alias == 2) continue;
                            if (alias == 0) std::memcpy(out.data(), a.data(), n);
                            (impl ? m.fast1 : m.plain1)(dst, y.data(), count);
                        }
                        for (std::size_t i = 0; i < n; ++i)
                            ASSERT_EQ(dst[i], ModelByte(m.op, a[i], b[i], rate))
                                << "op " << m.op << " px " << m.px << " impl " << impl << " rate "
                                << rate << " count " << count << " byte " << i;
                    }
                }
            }
        }
    }
}

// Both the 16-byte and, where the processor has them, the 32-byte block loops.
TEST(RGBBlendBytes, FastAndPlainMatchTheModelAtEveryLength) {
    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "wide" : "16-byte");
        zr_effect::SetWideVectors(wide);
        FastAndPlainMatchTheModelAtEveryLengthBody();
    }
}

TEST(RGBBlendBytes, RateIsClampedAndStepsAreFloored) {
    uint8_t a[3] = {0, 255, 10}, b[3] = {255, 0, 200}, d[3];
    SetAlphaParam(-5);
    RGBAlpha24_888(d, a, b, 1);
    EXPECT_EQ(std::vector<int>(d, d + 3), std::vector<int>(a, a + 3));
    SetAlphaParam(300);
    RGBAlpha24_888_MMX(d, a, b, 1);
    EXPECT_EQ(std::vector<int>(d, d + 3), std::vector<int>(b, b + 3));
    SetAlphaParam(64);
    RGBAlpha24_888(d, a, b, 1);
    EXPECT_EQ(d[0], 127);
    EXPECT_EQ(d[1], 127);
    uint8_t s1[3] = {200, 100, 0}, s2[3] = {100, 200, 0};
    RGBAdd24_888(s1, s2, 1);
    EXPECT_EQ(s1[0], 255);
    uint8_t t1[3] = {100, 0, 0}, t2[3] = {200, 0, 0};
    RGBSub24_888(t1, t2, 1);
    EXPECT_EQ(t1[0], 0);
}

}  // namespace
