#include <gtest/gtest.h>

#include "display_fixture.h"

namespace {

using DirectX::TDSurface;

constexpr uint32_t kKey = 0xFF00FF;

class SpriteTest : public DisplayTest {
  protected:
    void SetUp() override {
        DisplayTest::SetUp();
        device->SetSpritePage(2);
        ASSERT_TRUE(Enable(3));
        ASSERT_EQ(device->SpritePage(), 2);
        // Page 0: a 32x32 red pattern with a keyed hole at (0, 0) and a green one beside it.
        TDSurface* page = device->GetSpSurface(0);
        page->BoxFill(0, 0, 31, 31, 0xFF0000);
        page->BoxFill(0, 0, 3, 3, kKey);
        page->BoxFill(32, 0, 63, 31, 0x00FF00);
        ASSERT_TRUE(device->SpSetPattern(0, 0, 0, 0, 32, 32, ZRRGB(kKey)));
        ASSERT_TRUE(device->SpSetPattern(1, 0, 32, 0, 32, 32, ZRRGB(0x000001)));
    }

    uint32_t ScreenAt(int x, int y) { return Screen()[size_t(y) * 1280 + size_t(x)] & 0xFFFFFF; }
};

TEST_F(SpriteTest, ShownSpritesAreDrawnOverEachFrameInLayerOrder) {
    device->DrawSurface()->BoxFill(0, 0, 1279, 719, 0x0000FF);
    EXPECT_EQ(device->SpAddSprite(100, 100, 0, 3), 0);
    EXPECT_EQ(device->SpAddSprite(110, 100, 1, 3), 1);  // same layer, higher number: below
    EXPECT_EQ(device->SpAddSprite(-10, 200, 0, 0), 2);
    EXPECT_EQ(device->SpAddSprite(120, 100, 1, 1), 3);  // lower layer: on top of sprite 0
    device->SpriteShow();
    device->Flip();
    EXPECT_EQ(ScreenAt(100, 100), 0x0000FFu);  // key colour shows the frame
    EXPECT_EQ(ScreenAt(104, 104), 0xFF0000u);
    EXPECT_EQ(ScreenAt(115, 110), 0xFF0000u);  // sprite 0 above sprite 1
    EXPECT_EQ(ScreenAt(125, 110), 0x00FF00u);  // sprite 3's layer above sprite 0
    // The right 22 columns of a sprite at x = -10 sit at the left edge.
    EXPECT_EQ(ScreenAt(0, 210), 0xFF0000u);
    EXPECT_EQ(ScreenAt(21, 210), 0xFF0000u);
    EXPECT_EQ(ScreenAt(22, 210), 0x0000FFu);
    // Moving a shown sprite repaints where it was, through the changed rectangles.
    device->FlipModifyRect(ZRRectSet{});
    EXPECT_TRUE(device->SpMoveSprite(2, 600, 600));
    for (int i = 0; i < 3; ++i) device->FlipModifyRect(ZRRectSet{});
    EXPECT_EQ(ScreenAt(0, 210), 0x0000FFu);
    EXPECT_EQ(ScreenAt(610, 610), 0xFF0000u);
    device->SpriteHide();
    for (int i = 0; i < 3; ++i) device->FlipModifyRect(ZRRectSet{});
    EXPECT_EQ(ScreenAt(610, 610), 0x0000FFu);
}

TEST_F(SpriteTest, ChangesOfHiddenSpritesOweNothing) {
    for (int i = 0; i < 4; ++i) device->FlipModifyRect(ZRRectSet{});
    EXPECT_TRUE(device->SpSetSprite(5, 10, 10, 0, 0));
    EXPECT_TRUE(device->SpMoveSprite(5, 50, 50));
    EXPECT_TRUE(device->ModifyRects(0).IsRectEmpty());
    device->SpriteShow();
    for (int i = 0; i < 4; ++i) device->FlipModifyRect(ZRRectSet{});
    EXPECT_TRUE(device->SpMoveSprite(5, 60, 50));
    ASSERT_FALSE(device->ModifyRects(0).IsRectEmpty());
    EXPECT_TRUE(device->ModifyRects(0).AllUnionRect().EqualRect(ZRRect{50, 50, 92, 82}));
    EXPECT_TRUE(device->SpChangeSprite(5, 1));
    EXPECT_TRUE(device->SpClrSprite(5));
    EXPECT_FALSE(device->Sprite(5)->Used);
}

TEST_F(SpriteTest, OutOfRangeNumbersChangeNothing) {
    EXPECT_FALSE(device->SpSetSprite(1024, 0, 0, 0, 0));
    EXPECT_FALSE(device->SpSetSprite(0, 0, 0, 1024, 0));
    EXPECT_FALSE(device->SpSetSprite(0, 0, 0, 0, 16));
    EXPECT_FALSE(device->SpMoveSprite(-1, 0, 0));
    EXPECT_FALSE(device->SpChangeSprite(0, -1));
    EXPECT_FALSE(device->SpClrPattern(1024));
    EXPECT_FALSE(device->SpSetPattern(2, 2, 0, 0, 8, 8, ZRRGB()));  // no page 2
    EXPECT_FALSE(device->SpSetPattern(2, 0, -1, 0, 8, 8, ZRRGB()));
    EXPECT_FALSE(device->SpSetPattern(2, 0, 0, 0, 641, 8, ZRRGB()));  // wider than the page
    EXPECT_FALSE(device->SpritePatternWrite(device->DrawSurface(), 1024, 0, 0));
    EXPECT_FALSE(device->Pattern(2)->Used);
    device->SetSpritePage(17);
    device->SetSpritePage(-1);
    EXPECT_EQ(device->SpritePage(), 2);
    for (int i = 0; i < 1024; ++i) ASSERT_EQ(device->SpAddSprite(0, 0, 0, 0), i);
    EXPECT_EQ(device->SpAddSprite(0, 0, 0, 0), -1);
    // Dropping a page drops the patterns on it.
    device->SetSpritePage(0);
    EXPECT_EQ(device->GetSpSurface(0), nullptr);
    EXPECT_FALSE(device->Pattern(0)->Used);
    device->SetSpritePage(3);
    EXPECT_NE(device->GetSpSurface(2), nullptr);
    // A pattern without a key takes its first pixel's colour.
    device->GetSpSurface(1)->BoxFill(0, 0, 0, 0, 0x123456);
    EXPECT_TRUE(device->SpSetPattern(9, 1, 0, 0, 4, 4));
    EXPECT_EQ(device->Pattern(9)->Key.ToDWORD(), 0x123456u);
}

TEST_F(SpriteTest, LostPagesAreRestoredAndReported) {
    struct Reload {
        std::vector<int> pages;
        void On(TDSurface*, int page) { pages.push_back(page); }
    } reload;
    device->OnSpriteRestore = DirectX::TSpriteRestoreEvent(&reload, &Reload::On);
    device->SpriteShow();
    display.LoseAll();
    device->Flip();
    EXPECT_EQ(reload.pages, (std::vector<int>{0, 1}));
    display.LoseAll();
    display.RefuseRestore(true);
    EXPECT_FALSE(device->SpriteDraw(device->FlipSurface()));
    display.RefuseRestore(false);
}

TEST_F(SpriteTest, TheSoftwareFormDrawsTheSameAsTheDisplayForm) {
    device->SpSetSprite(0, -10, 5, 0, 2);
    device->SpSetSprite(1, 20, 20, 1, 2);
    device->SpSetSprite(2, 30, 25, 0, 1);
    TNyRGBBits page, dest, expected;
    page.SetBitDepth(bd32);
    ASSERT_TRUE(page.Resize(640, 480));
    ASSERT_TRUE(page.Create());
    ASSERT_TRUE(page.Draw(0, 0, device->GetSpSurface(0), 0, 0, 640, 480));
    TNyRGBBits* pages[16] = {&page};
    dest.SetBitDepth(bd32);
    ASSERT_TRUE(dest.Resize(100, 80));
    ASSERT_TRUE(dest.Create());
    dest.BoxFill(0, 0, 99, 79, 0x0000FF);
    ASSERT_TRUE(device->SpriteDraw(&dest, pages));
    TDSurface* shown = device->CreateSurface(bd32, pf32_888, 100, 80, false);
    shown->BoxFill(0, 0, 99, 79, 0x0000FF);
    ASSERT_TRUE(device->SpriteDraw(shown));
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(dest.PGet(x, y) & 0xFFFFFF, shown->PGet(x, y) & 0xFFFFFF) << x << "," << y;
    EXPECT_EQ(dest.PGet(22, 10) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(dest.PGet(0, 10) & 0xFFFFFF, 0xFF0000u);
    // A smaller page than the pattern was defined on is read only where it exists.
    TNyRGBBits tiny;
    tiny.SetBitDepth(bd32);
    ASSERT_TRUE(tiny.Resize(40, 8));
    ASSERT_TRUE(tiny.Create());
    TNyRGBBits* tinyPages[16] = {&tiny};
    EXPECT_TRUE(device->SpritePatternWrite(&dest, tinyPages, 1, 0, 0));
    EXPECT_TRUE(device->SpritePatternWrite(&dest, tinyPages, 5, 0, 0));  // undefined: nothing
}

}  // namespace
