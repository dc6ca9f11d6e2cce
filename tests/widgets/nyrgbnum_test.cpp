#include "widgets/nyrgbnum.h"

#include <gtest/gtest.h>

#include "bitmaps.h"
#include "panels.h"

using namespace testpanels;

namespace {

// Digits 20 wide and 4 high, digit d filled with colour 0x10 * (d + 1).
std::unique_ptr<TNyRGBBits> Digits() {
    std::vector<uint32_t> colours;
    for (uint32_t d = 0; d < 10; ++d) colours.push_back(0x10 * (d + 1));
    return Strip(20, 4, colours);
}

// The digit shown in each 20-pixel cell of row 0 (-1 for an empty cell).
std::vector<int> Cells(TNyRGBBits& dest) {
    std::vector<int> out;
    for (int x = 18; x + 20 <= 98; x += 20) {
        const uint32_t c = dest.PGet(x, 0);
        out.push_back(c == 0 ? -1 : int(c / 0x10) - 1);
    }
    return out;
}

struct Rig {
    Rig() {
        num = new TNyRGBNum(&owner);
        num->SetNumBlock(10);
        num->SetImage(digits.get());
        num->SetColumn(5);
        num->Create();
    }
    std::vector<int> Shown(int n) {
        num->SetNumber(n);
        dest->Cls();
        num->Draw(dest.get(), 0, 0);
        return Cells(*dest);
    }
    std::unique_ptr<TNyRGBBits> digits = Digits();
    std::unique_ptr<TNyRGBBits> dest = testbits::Blank(pf24_888, 98, 31);
    plat::TComponent owner;
    TNyRGBNum* num;
};

using V = std::vector<int>;

TEST(NumberPanel, RightAlignedWithoutLeadingZeros) {
    Rig r;
    EXPECT_EQ(r.num->GetSizeX(), 98);
    EXPECT_FALSE(r.num->GetAutoSize());
    // Cells start at x = 18, 38, 58, 78.
    EXPECT_EQ(r.Shown(507), (V{-1, 5, 0, 7}));
    EXPECT_EQ(r.dest->PGet(38, 0), 0x60u);
    EXPECT_EQ(r.dest->PGet(37, 0), 0u);
    EXPECT_EQ(r.dest->PGet(78, 4), 0u);
    EXPECT_EQ(r.Shown(0), (V{-1, -1, -1, 0}));
    r.num->SetColumn(3);
    EXPECT_EQ(r.Shown(1234), (V{-1, 2, 3, 4}));
    r.num->SetColumn(11);
    EXPECT_EQ(r.num->GetColumn(), 3);
    r.num->SetColumn(0);
    EXPECT_EQ(r.Shown(9), (V{-1, -1, -1, -1}));
    // Negative values show nothing at all, not even the picture.
    r.num->SetColumn(5);
    EXPECT_EQ(r.Shown(-12), (V{-1, -1, -1, -1}));
}

TEST(NumberPanel, RepaintsOnlyTheCellsInTheArea) {
    Rig r;
    r.Shown(507);
    r.dest->Cls();
    r.num->Draw(r.dest.get(), 0, 0, 78, 0, 20, 4);
    EXPECT_EQ(Cells(*r.dest), (V{-1, -1, -1, 7}));
    r.dest->Cls();
    r.num->Draw(r.dest.get(), 0, 0, 70, 0, 12, 4);
    EXPECT_EQ(r.dest->PGet(70, 0), 0x10u);
    EXPECT_EQ(r.dest->PGet(81, 0), 0x80u);
    EXPECT_EQ(r.dest->PGet(82, 0), 0u);

    // A number change marks the panel only while it can be seen.
    r.num->ClrModify();
    r.num->SetNumber(8);
    EXPECT_TRUE(r.num->GetModified());
    r.num->Hide();
    r.num->ClrModify();
    r.num->SetNumber(9);
    EXPECT_FALSE(r.num->GetModified());
}

TEST(NumberPanel, DrawHandlerThatPaintedWinsAndMasksApply) {
    Rig r;
    int calls = 0;
    r.num->OnDraw = [&](TNyRGBPanel*, TNyRGBBits*, int, int, int, int, int, int) {
        ++calls;
        return true;
    };
    EXPECT_EQ(r.Shown(42), (V{-1, -1, -1, -1}));
    EXPECT_EQ(calls, 1);
    r.num->OnDraw = nullptr;

    // Colour key: digit 2's colour is skipped; alpha without a plane draws no digits.
    r.num->SetMaskMode(2);
    r.num->SetColorKey(ZRRGB(0x30u));
    EXPECT_EQ(r.Shown(21), (V{-1, -1, -1, 1}));
    r.num->SetMaskMode(1);
    EXPECT_EQ(r.Shown(21), (V{-1, -1, -1, -1}));
    TNyAlpha alpha;
    alpha.Resize(20, 40);
    alpha.Create();
    r.num->SetAlpha(&alpha);
    EXPECT_EQ(r.Shown(21), (V{-1, -1, 2, 1}));
    r.num->SetMaskMode(3);
    EXPECT_EQ(r.Shown(21), (V{-1, -1, -1, -1}));

    // A picture too short for ten digits is drawn as a plain panel picture.
    auto shortPic = Picture(20, 9, 0x77);
    r.num->SetMaskMode(0);
    r.num->SetImage(shortPic.get());
    r.num->SetNumBlock(1);
    EXPECT_EQ(r.Shown(3).front(), 0x77 / 0x10 - 1);
}

}  // namespace
