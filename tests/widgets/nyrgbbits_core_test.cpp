#include <gtest/gtest.h>

#include <vector>

#include "bitmaps.h"
#include "widgets/nyrgbbits.h"

using namespace testbits;

namespace {

struct Recorder {
    std::vector<plat::TComponent*> senders;
    std::vector<ZRRect> rects;
    void Note(plat::TComponent* s) {
        senders.push_back(s);
        ZRRect r;
        static_cast<TNyRGBBits*>(s)->GetModifiedRect(&r);
        rects.push_back(r);
    }
    void Overrun(plat::TComponent* s) { senders.push_back(s); }
};

bool Same(const ZRRect& a, const ZRRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(NyRGBBits, CreateAllocatesZeroedPixelsFollowedByGuardBytes) {
    TNyRGBBits b;
    EXPECT_EQ(b.Width(), 640);
    EXPECT_EQ(b.BitDepth(), bd24);
    ASSERT_TRUE(b.Create());
    EXPECT_EQ(b.Pitch(), 1920);
    const unsigned char* p = b.Bits();
    for (int i = 0; i < 921600; i += 997) ASSERT_EQ(p[i], 0);
    for (int i = 0; i < kNyGuardBytes; ++i) ASSERT_EQ(p[921600 + i], 0x55);
    EXPECT_FALSE(b.Create());
}

TEST(NyRGBBits, DepthAndFormatFollowEachOtherOnlyWhileNotCreated) {
    TNyRGBBits b;
    b.SetPixFormat(pf32_8888);
    EXPECT_EQ(b.BitDepth(), bd32);
    b.SetBitDepth(bd16);
    EXPECT_EQ(b.PixFormat(), pf16_565);
    b.SetBitDepth(bd8);
    EXPECT_EQ(b.PixFormat(), pfNone);
    EXPECT_FALSE(b.Create());
    b.SetBitDepth(bd24);
    EXPECT_EQ(b.PixFormat(), pfNone);
    b.SetPixFormat(pf24_888);
    ASSERT_TRUE(b.Create());
    b.SetPixFormat(pf32_888);
    b.SetBitDepth(bd16);
    EXPECT_EQ(b.PixFormat(), pf24_888);
    EXPECT_EQ(b.BitDepth(), bd24);
}

TEST(NyRGBBits, ResizeAndLockRules) {
    TNyRGBBits b;
    EXPECT_FALSE(b.Resize(0, 10));
    EXPECT_TRUE(b.Resize(4, 3));
    EXPECT_FALSE(b.Created());
    EXPECT_FALSE(b.Unlock());
    EXPECT_FALSE(b.Lock());
    ASSERT_TRUE(b.Create());
    EXPECT_FALSE(b.Unlock());
    b.Lock(), b.Lock(), b.Lock();
    EXPECT_EQ(b.LockCount(), 3);
    EXPECT_FALSE(b.Resize(8, 8));
    b.Release();
    EXPECT_FALSE(b.Created());
    EXPECT_EQ(b.LockCount(), 0);
    EXPECT_FALSE(b.Locked());

    ASSERT_TRUE(b.Create());
    b.BoxFill(0, 0, 3, 2, 0xFFFFFF);
    b.SetHeight(5);
    EXPECT_EQ(b.Height(), 5);
    EXPECT_EQ(b.Pitch(), 12);
    EXPECT_EQ(b.PGet(1, 1), 0u) << "old pixels are not carried over";
}

TEST(NyRGBBits, SizesThatCannotBeAddressedAreRefused) {
    TNyRGBBits b;
    b.SetPixFormat(pf32_888);
    b.SetWidth(1 << 20);
    b.SetHeight(1 << 20);
    EXPECT_FALSE(b.Create());
    b.SetWidth(600000000);
    b.SetHeight(1);
    EXPECT_FALSE(b.Create()) << "4 x width alone passes 32 bits";
    b.SetWidth(8);
    b.SetHeight(8);
    ASSERT_TRUE(b.Create());
    EXPECT_FALSE(b.Resize(70000, 70000));
    EXPECT_EQ(b.Width(), 8);
    EXPECT_TRUE(b.PSet(7, 7, 1));

    TNyAlpha a;
    a.SetWidth(70000);
    a.SetHeight(70000);
    EXPECT_FALSE(a.Create());
}

TEST(NyRGBBits, ModifiedRectanglesAreOrderedClippedAndAnnouncedOnce) {
    TNyRGBBits b;
    Recorder rec;
    b.OnChange = TNotifyEvent(&rec, &Recorder::Note);
    b.SetWidth(100);
    b.SetHeight(50);
    b.SetModified(5, 5, 2, 2);
    EXPECT_TRUE(rec.senders.empty()) << "nothing is recorded before Create";
    ASSERT_TRUE(b.Create());
    b.SetModified(5, 5, 2, 2);
    ASSERT_EQ(rec.rects.size(), 1u);
    EXPECT_TRUE(Same(rec.rects[0], {2, 2, 6, 6}));
    EXPECT_EQ(rec.senders[0], &b);
    ZRRect after;
    b.GetModifiedRect(&after);
    EXPECT_TRUE(after.IsRectEmpty());

    b.SetModified(200, 200, 300, 300);
    ASSERT_EQ(rec.rects.size(), 2u);
    EXPECT_TRUE(rec.rects[1].IsRectEmpty());

    b.ModifiedOff();
    b.ModifiedOff();
    b.SetModified(-10, 40, 10, 60);
    b.SetModified(90, 0, 95, 3);
    b.ModifiedOn();
    EXPECT_EQ(rec.rects.size(), 2u);
    b.ModifiedOn();
    ASSERT_EQ(rec.rects.size(), 3u);
    EXPECT_TRUE(Same(rec.rects[2], {0, 0, 96, 50}));
    b.ModifiedOn();
    EXPECT_TRUE(b.ModifiedSw());
}

TEST(NyRGBBits, DamagedGuardIsReportedWhenMemoryIsGivenUp) {
    Recorder rec;
    SetOnBitsBufferOverRun(TNotifyEvent(&rec, &Recorder::Overrun));
    {
        TNyRGBBits b;
        b.SetWidth(3);
        b.SetHeight(2);
        ASSERT_TRUE(b.Create());
        b.Bits()[18] = 0;
        EXPECT_FALSE(b.CheckBufferOverRun());
        b.Release();
        EXPECT_TRUE(b.CheckBufferOverRun());
        ASSERT_EQ(rec.senders.size(), 1u);
        EXPECT_EQ(rec.senders[0], &b);
        ASSERT_TRUE(b.Create());
        b.Bits()[6 * 3 + 255] = 1;
        EXPECT_TRUE(b.Resize(2, 2));
        EXPECT_EQ(rec.senders.size(), 2u);
        EXPECT_TRUE(b.CheckBufferOverRun()) << "the flag stays";
    }
    EXPECT_EQ(rec.senders.size(), 2u) << "the resized memory was intact";
    SetOnBitsBufferOverRun(TNotifyEvent());

    SetOnAlphaBufferOverRun(TNotifyEvent(&rec, &Recorder::Overrun));
    {
        TNyAlpha a;
        a.SetWidth(4);
        a.SetHeight(4);
        ASSERT_TRUE(a.Create());
        a.Bits()[16] = 7;
    }
    EXPECT_EQ(rec.senders.size(), 3u) << "the destructor releases";
    SetOnAlphaBufferOverRun(TNotifyEvent());
}

TEST(NyRGBBits, IdentifierPackingAndOwnership) {
    TNyRGBBits b;
    b.SetID("abc");
    EXPECT_EQ(b.GetID().bytes(), std::string("abc") + std::string(13, '\0'));
    b.SetID("0123456789abcdefXYZ");
    EXPECT_EQ(b.GetID().bytes(), "0123456789abcdef");

    b.SetPixFormat(pf16_565);
    EXPECT_EQ(b.TNyRGBtoPixel(ZRRGB(255, 0, 0)), 0xF800u);
    EXPECT_EQ(b.PixeltoTNyRGB(0x07E0).ToDWORD(), 0x00FF00u);

    plat::TComponent owner;
    auto* owned = new TNyRGBBits(&owner);
    auto* plane = new TNyAlpha(&owner);
    ASSERT_TRUE(owned->Create());
    ASSERT_TRUE(plane->Create());
    EXPECT_EQ(owner.ComponentCount(), 2);
}

TEST(NyRGBBits, ClipRectAccumulatesTheLargerCuts) {
    int l = 0, t = 0, r = 0, btm = 0;
    TNyRGBBits::ClipRect({-3, 2, 10, 12}, {0, 0, 8, 20}, l, t, r, btm);
    EXPECT_EQ(l, 3);
    EXPECT_EQ(t, 0) << "cuts never fall below their starting value";
    EXPECT_EQ(r, 2);
    EXPECT_EQ(btm, 0);
    TNyRGBBits::ClipRect({-3, 2, 10, 12}, {-5, 4, 10, 10}, l, t, r, btm);
    EXPECT_EQ(l, 3);
    EXPECT_EQ(t, 2);
    EXPECT_EQ(r, 2);
    EXPECT_EQ(btm, 2);
}

TEST(NyRGBBits, ClsClearsEveryRowAndReportsTheWholeBitmap) {
    std::mt19937 rng(1);
    auto b = Make(pf32_888, 5, 4, rng, true);
    Recorder rec;
    b->OnChange = TNotifyEvent(&rec, &Recorder::Note);
    b->Cls();
    for (uint32_t v : Snap(*b).px) ASSERT_EQ(v, 0u);
    ASSERT_EQ(rec.rects.size(), 1u);
    EXPECT_TRUE(Same(rec.rects[0], {0, 0, 5, 4}));
}

}  // namespace
