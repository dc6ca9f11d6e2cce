#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "display_fixture.h"
#include "media/zrpng.h"

namespace {

using DirectX::TDSurface;

std::vector<uint32_t> Masked(std::vector<uint32_t> v) {
    for (uint32_t& p : v) p &= 0xFFFFFF;
    return v;
}

ZRRectSet One(const ZRRect& r) {
    ZRRectSet s;
    s.UnionRect(r);
    return s;
}

bool SetIsScreen(const ZRRectSet& s) {
    return s.size() == 1 && s[0].EqualRect(ZRRect{0, 0, 1280, 720});
}

// Whatever mix of whole and changed-rectangle flips, the screen shows what was drawn.
class ChainTest : public DisplayTest, public ::testing::WithParamInterface<int> {};

TEST_P(ChainTest, WholeAndChangedRectangleFlipsShowTheDrawnFrame) {
    const int buffers = GetParam();
    ASSERT_TRUE(Enable(buffers));
    EXPECT_EQ(device->BufferCount(), buffers);
    EXPECT_EQ(device->FlipChain(), buffers > 1);
    std::mt19937 rng(buffers + 7);
    for (int frame = 0; frame < 40; ++frame) {
        const ZRRectSet changed = DrawBoxes(rng, 1 + frame % 4);
        if (frame % 7 == 3)
            device->Flip();
        else
            device->FlipModifyRect(changed);
        ASSERT_EQ(Masked(Screen()), Drawn()) << "frame " << frame;
    }
    // Small changes upload small areas, in a window too: only the backlog of the buffer
    // shown, or in a window what changed.
    for (int i = 0; i < buffers; ++i) device->FlipModifyRect(ZRRectSet{});
    display.Screen().ResetCounts();
    device->DrawSurface()->BoxFill(10, 10, 73, 73, 0x123456);
    ZRRectSet one;
    one.UnionRect(ZRRect{10, 10, 74, 74});
    for (int i = 0; i < 4; ++i) device->FlipModifyRect(i == 0 ? one : ZRRectSet{});
    EXPECT_EQ(Masked(Screen()), Drawn());
    EXPECT_LE(display.Screen().UploadedArea(), 64 * 64 * 4);
}

TEST_P(ChainTest, LostSurfacesAreRestoredAndTheWholeScreenRepainted) {
    const int buffers = GetParam();
    ASSERT_TRUE(Enable(buffers));
    std::mt19937 rng(3);
    // The owner of the draw surface redraws it when told it was restored.
    struct Redraw {
        std::vector<uint32_t> frame;
        int calls = 0;
        void OnRestore(plat::TComponent* sender) {
            ++calls;
            auto* s = static_cast<TDSurface*>(sender);
            s->PutPat(0, 0, s->Width(), s->Height(),
                      reinterpret_cast<unsigned char*>(frame.data()));
        }
    } redraw;
    device->DrawSurface()->OnRestore = TNotifyEvent(&redraw, &Redraw::OnRestore);
    for (int frame = 0; frame < 5; ++frame) device->FlipModifyRect(DrawBoxes(rng, 2));
    redraw.frame = Drawn();
    display.LoseAll();
    EXPECT_TRUE(device->PrimarySurface()->IsLost());
    device->FlipModifyRect(ZRRectSet{});
    EXPECT_EQ(redraw.calls, 1);
    EXPECT_FALSE(device->PrimaryLost());
    for (int frame = 0; frame < 3; ++frame) device->FlipModifyRect(ZRRectSet{});
    EXPECT_EQ(Masked(Screen()), redraw.frame);
    for (int frame = 0; frame < 5; ++frame) {
        device->FlipModifyRect(DrawBoxes(rng, 2));
        ASSERT_EQ(Masked(Screen()), Drawn());
    }
}

TEST_P(ChainTest, ABusyDisplayBufferKeepsItsBacklogUntilItsNextTurn) {
    const int buffers = GetParam();
    ASSERT_TRUE(Enable(buffers));
    std::mt19937 rng(11);
    plat::MemoryPresenter& screen = display.Screen();
    for (int frame = 0; frame < 30; ++frame) {
        const ZRRectSet changed = DrawBoxes(rng, 2);
        // Every third frame the presenter is still reading the frame before while the
        // next one is drawn and presented.
        if (frame % 3 == 1) {
            screen.Hold(true);
            device->FlipModifyRect(changed);
            ASSERT_TRUE(screen.StartReading());
            device->FlipModifyRect(DrawBoxes(rng, 1));
            screen.FinishReading();
            screen.Hold(false);
            screen.Release();
        } else {
            device->FlipModifyRect(changed);
        }
    }
    for (int i = 0; i < buffers; ++i) device->FlipModifyRect(ZRRectSet{});
    EXPECT_EQ(Masked(Screen()), Drawn());
}

INSTANTIATE_TEST_SUITE_P(Buffers, ChainTest, ::testing::Values(0, 1, 2, 3),
                         [](const auto& info) { return "Chain" + std::to_string(info.param); });

TEST_F(DisplayTest, BacklogSetsFollowEachBuffersTurn) {
    ASSERT_TRUE(Enable(3));
    // After opening and before any presentation every buffer lacks the whole screen.
    device->DDrawRelease();
    ASSERT_TRUE(device->DDrawCreate());
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(SetIsScreen(device->ModifyRects(i)));
    device->FlipModifyRect(ZRRectSet{});
    EXPECT_TRUE(device->ModifyRects(0).IsRectEmpty());
    EXPECT_TRUE(SetIsScreen(device->ModifyRects(1)));
    EXPECT_EQ(device->CurrentBuffer(), 1);
    // A whole flip from buffer 1: the other two lack everything, 1 nothing.
    device->Flip();
    EXPECT_TRUE(SetIsScreen(device->ModifyRects(0)));
    EXPECT_TRUE(device->ModifyRects(1).IsRectEmpty());
    EXPECT_TRUE(SetIsScreen(device->ModifyRects(2)));
    EXPECT_EQ(device->CurrentBuffer(), 2);
    device->FlipModifyRect(ZRRectSet{});
    device->FlipModifyRect(ZRRectSet{});
    device->FlipModifyRect(ZRRectSet{});
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(device->ModifyRects(i).IsRectEmpty());
    // Outside the screen changes nothing; inside is clipped and owed by every buffer.
    device->SetModifyRect(ZRRect{1300, 0, 1400, 50});
    device->SetModifyRect(ZRRect{-5, -5, -1, -1});
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(device->ModifyRects(i).IsRectEmpty());
    device->SetModifyRect(ZRRect{1270, 700, 1300, 800});
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(device->ModifyRects(i).size(), 1u);
        EXPECT_TRUE(device->ModifyRects(i)[0].EqualRect(ZRRect{1270, 700, 1280, 720}));
    }
}

TEST_F(DisplayTest, OneBackBufferAlternatesTwoSets) {
    ASSERT_TRUE(Enable(2));
    EXPECT_EQ(device->BufferCount(), 2);
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        seen.push_back(device->CurrentBuffer());
        device->FlipModifyRect(ZRRectSet{});
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 0, 1, 0}));
}

TEST_F(DisplayTest, AWholeFlipThatCannotCopyLeavesTheBufferOwingTheFrame) {
    ASSERT_TRUE(Enable(2));
    plat::MemoryPresenter& screen = display.Screen();
    screen.Hold(true);
    device->Flip();  // hands buffer A
    ASSERT_TRUE(screen.StartReading());
    device->Flip();  // B shown; A becomes the back buffer while still being read
    const int busy = device->CurrentBuffer();
    device->Flip();  // the copy into A fails
    EXPECT_TRUE(SetIsScreen(device->ModifyRects(busy)));
    screen.FinishReading();
    screen.Hold(false);
    screen.Release();
    std::mt19937 rng(5);
    for (int i = 0; i < 3; ++i) device->FlipModifyRect(DrawBoxes(rng, 1));
    EXPECT_EQ(Masked(Screen()), Drawn());
}

TEST_F(DisplayTest, WindowModeCopiesTheFrameIntoTheClientArea) {
    display.Offer().clientX = 100;
    display.Offer().clientY = 40;
    ASSERT_TRUE(Enable(0));
    EXPECT_EQ(device->BufferCount(), 0);
    EXPECT_EQ(device->PrimarySurface()->Width(), 1920);
    EXPECT_FALSE(display.Screen().FullScreen());
    const ZRRect before = device->ModifyRects(0).AllUnionRect();
    device->SetModifyRect(ZRRect{2000, 0, 2010, 10});
    device->SetModifyRect(ZRRect{0, 0, 10, 10});
    EXPECT_TRUE(device->ModifyRects(0).AllUnionRect().EqualRect(before));
    std::mt19937 rng(2);
    device->FlipModifyRect(DrawBoxes(rng, 3));
    EXPECT_EQ(Masked(Screen()), Drawn());
    // The frame sits at the client origin of the desktop-sized primary; nothing outside.
    TDSurface* primary = device->PrimarySurface();
    ASSERT_TRUE(primary->Lock());
    EXPECT_EQ(primary->PGet(100, 40) & 0xFFFFFF, Drawn()[0]);
    EXPECT_EQ(primary->PGet(99, 40), 0u);
    EXPECT_EQ(primary->PGet(1380, 40), 0u);
    primary->Unlock();
    EXPECT_TRUE(device->CanFlip());
    EXPECT_TRUE(device->CanDraw());
}

TEST_F(DisplayTest, StripCopiesGiveTheSameScreen) {
    device->Blt4Div = true;
    for (int buffers : {0, 3}) {
        ASSERT_TRUE(Enable(buffers));
        std::mt19937 rng(9);
        for (int frame = 0; frame < 6; ++frame) {
            const ZRRectSet changed = DrawBoxes(rng, 3);
            if (frame == 2)
                device->Flip();
            else
                device->FlipModifyRect(changed);
            ASSERT_EQ(Masked(Screen()), Drawn());
        }
        device->SetEnabled(false);
    }
}

TEST_F(DisplayTest, DirectWritesReachTheScreen) {
    ASSERT_TRUE(Enable(1));
    TDSurface* src = device->CreateSurface(1280, 720, false);
    ASSERT_NE(src, nullptr);
    src->BoxFill(0, 0, 1279, 719, 0x00FF00);
    device->Write(src);  // into the back surface
    EXPECT_EQ(device->BackSurface()->PGet(5, 5), 0x00FF00u);
    device->Flip();
    EXPECT_EQ(Screen()[0] & 0xFFFFFF, 0x00FF00u);
    src->BoxFill(0, 0, 9, 9, 0xFF0000);
    EXPECT_TRUE(device->DrawPrimary(20, 30, src, 0, 0, 10, 10));
    EXPECT_EQ(Screen()[30 * 1280 + 20] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(Screen()[30 * 1280 + 30] & 0xFFFFFF, 0x00FF00u);
}

// A window shows its frames straight from the back surface; a copy straight into the window's
// primary still lands on top of the frames before it and under the frames after it, whether
// the presenter kept up or read them all together later.
TEST_F(DisplayTest, WindowFramesAndDirectCopiesReachTheScreenInOrder) {
    display.Offer().clientX = 100;
    display.Offer().clientY = 40;
    for (bool late : {false, true}) {
        ASSERT_TRUE(Enable(0));
        plat::MemoryPresenter& screen = display.Screen();
        TDSurface* red = device->CreateSurface(64, 64, false);
        ASSERT_NE(red, nullptr);
        red->BoxFill(0, 0, 63, 63, 0xFF0000);
        TDSurface* back = device->DrawSurface();
        back->BoxFill(0, 0, 1279, 719, 0x102030);
        device->Flip();
        screen.Hold(late);
        back->BoxFill(0, 0, 299, 99, 0x00FF00);
        device->FlipModifyRect(One(ZRRect{0, 0, 300, 100}));
        ASSERT_TRUE(device->DrawPrimary(200, 50, red, 0, 0, 64, 64));
        back->BoxFill(600, 0, 699, 99, 0x0000FF);
        device->FlipModifyRect(One(ZRRect{600, 0, 700, 100}));
        screen.Hold(false);
        screen.Release();
        const std::vector<uint32_t> px = Masked(Screen());
        ASSERT_EQ(px.size(), 1280u * 720u) << late;
        EXPECT_EQ(px[20 * 1280 + 20], 0x00FF00u) << late;
        EXPECT_EQ(px[60 * 1280 + 210], 0xFF0000u) << late;
        EXPECT_EQ(px[20 * 1280 + 210], 0x00FF00u) << late;
        EXPECT_EQ(px[20 * 1280 + 650], 0x0000FFu) << late;
        EXPECT_EQ(px[500 * 1280 + 700], 0x102030u) << late;
        // The copy went to the screen only, and the next whole frame covers it.
        EXPECT_EQ(back->PGet(210, 60) & 0xFFFFFF, 0x00FF00u) << late;
        device->Flip();
        EXPECT_EQ(Masked(Screen()), Drawn()) << late;
        device->SetEnabled(false);
    }
}

// A frame handed while its pixels are being written is shown once the writer is done, without
// waiting for another frame.
TEST_F(DisplayTest, AFrameHandedDuringAWriteIsShownWhenTheWriteEnds) {
    ASSERT_TRUE(Enable(0));
    TDSurface* back = device->DrawSurface();
    back->BoxFill(0, 0, 1279, 719, 0x336699);
    ASSERT_TRUE(back->Lock());
    device->Flip();
    EXPECT_NE(Masked(Screen())[0], 0x336699u);
    back->Unlock();
    EXPECT_EQ(Masked(Screen()), Drawn());
}

// A surface that goes away before the presenter read what it was handed is not read at all.
TEST_F(DisplayTest, AFrameOfAReleasedDisplayIsNotReadLater) {
    ASSERT_TRUE(Enable(0));
    plat::MemoryPresenter& screen = display.Screen();
    device->DrawSurface()->BoxFill(0, 0, 1279, 719, 0x445566);
    screen.Hold(true);
    device->Flip();
    device->SetEnabled(false);
    screen.ResetCounts();
    screen.Hold(false);
    screen.Release();
    EXPECT_EQ(screen.Uploads(), 0);
}

TEST_F(DisplayTest, APresentedFrameIsDumpedAsPng) {
    ASSERT_TRUE(Enable(3));
    device->DrawSurface()->BoxFill(0, 0, 639, 719, 0x204080);
    device->Flip();
    ZRMemoryStream png;
    ASSERT_TRUE(device->DumpFrame(&png));
    png.Reset();
    unsigned char* pixels = nullptr;
    int w = 0, h = 0;
    ASSERT_TRUE(LoadPng(&png, &pixels, &w, &h, pf32_888));
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 720);
    uint32_t left, right;
    std::memcpy(&left, pixels + (100 * 1280 + 5) * 4, 4);
    std::memcpy(&right, pixels + (100 * 1280 + 700) * 4, 4);
    std::free(pixels);
    EXPECT_EQ(left & 0xFFFFFF, 0x204080u);
    EXPECT_EQ(right & 0xFFFFFF, 0u);
    DirectX::TDDraw idle(window.get());
    EXPECT_FALSE(idle.DumpFrame(&png));
}

}  // namespace
