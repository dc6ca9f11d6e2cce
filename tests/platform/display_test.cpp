#include "platform/display.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/memorydisplay.h"
#include "platform/windowcomponent.h"

namespace {

using plat::DisplayRect;

TEST(RectListTest, KeepsCoveringAreasAndFallsBackToTheBounds) {
    plat::RectList l;
    l.Add({0, 0, 10, 10});
    l.Add({2, 2, 5, 5});  // inside: nothing new
    l.Add({0, 0, 0, 5});  // empty
    EXPECT_EQ(l.Rects().size(), 1u);
    l.Add({-5, -5, 20, 20});  // swallows the first
    ASSERT_EQ(l.Rects().size(), 1u);
    EXPECT_EQ(l.Rects()[0], (DisplayRect{-5, -5, 20, 20}));
    for (int i = 0; i < 32; ++i) l.Add({100 + 3 * i, 0, 101 + 3 * i, 1});
    ASSERT_EQ(l.Rects().size(), 1u);
    EXPECT_TRUE(l.Rects()[0].Contains({-5, -5, 20, 20}));
    EXPECT_TRUE(l.Rects()[0].Contains({193, 0, 194, 1}));
}

TEST(PixelConversionTest, ChannelsWidenToEightBits) {
    EXPECT_EQ(plat::ToXrgb(0xFFFF, plat::Rgb565()), 0xFFFFFFu);
    EXPECT_EQ(plat::ToXrgb(0xF800, plat::Rgb565()), 0xFF0000u);
    EXPECT_EQ(plat::ToXrgb(0x0010, plat::Rgb565()), 0x000084u);  // 10000b -> 10000100b
    const plat::PixelFormatDesc argb4444{
        plat::PixelFormatDesc::kRgb, 16, 0x0F00, 0x00F0, 0x000F, 0xF000};
    EXPECT_EQ(plat::ToXrgb(0xF1A2, argb4444), 0x11AA22u);
}

// A connection to a memory display presenting a 64 x 32 window client area.
struct Rig {
    Rig(int backBuffers = 0) {
        window.SetClientSize(64, 32);
        conn = display.Open();
        conn->SetCooperation(&window, backBuffers > 0);
        if (backBuffers > 0) conn->SetDisplayMode(640, 480, 32, 0);
        primary = conn->CreatePrimary(backBuffers);
    }
    plat::MemoryDisplay display;
    plat::WindowComponent window;
    std::unique_ptr<plat::DisplayConnection> conn;
    plat::SurfaceRef primary;
};

TEST(PresenterTest, NewerHandOffsReplaceWaitingOnesAndBusyPixelsRefuseWrites) {
    Rig rig;
    ASSERT_TRUE(rig.primary);
    plat::MemoryPresenter& screen = rig.display.Screen();
    screen.Hold(true);
    auto src = rig.conn->CreateSurface(8, 8, nullptr, false);
    ASSERT_EQ(src->Fill(nullptr, 0x00FF00), plat::BlitResult::Ok);
    const DisplayRect a{0, 0, 8, 8}, b{20, 10, 28, 18};
    ASSERT_EQ(rig.primary->Blit(&a, *src, nullptr), plat::BlitResult::Ok);
    ASSERT_EQ(rig.primary->Blit(&b, *src, nullptr), plat::BlitResult::Ok);
    const uint64_t last = screen.LastTicket();
    EXPECT_FALSE(screen.Acknowledged(last));
    EXPECT_FALSE(rig.primary->CanFlip());
    ASSERT_TRUE(screen.StartReading());
    // While the presenter reads the primary, writes into it fail and locks give up.
    EXPECT_FALSE(rig.primary->BlitDone());
    EXPECT_EQ(rig.primary->Fill(&a, 0), plat::BlitResult::Busy);
    uint8_t* bits;
    int32_t pitch;
    EXPECT_FALSE(rig.primary->Lock(&bits, &pitch));
    screen.FinishReading();
    EXPECT_TRUE(screen.Acknowledged(last));
    EXPECT_EQ(screen.Uploads(), 2);  // both areas in one hand-off
    std::vector<uint32_t> px;
    int32_t w, h;
    ASSERT_TRUE(screen.ReadScreen(px, w, h));
    EXPECT_EQ(w, 64);
    EXPECT_EQ(px[0] & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(px[10 * 64 + 20] & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(px[9 * 64 + 20], 0u);
    // A lock is a change of the whole surface once it ends.
    ASSERT_TRUE(rig.primary->Lock(&bits, &pitch));
    bits[pitch * 31 + 63 * 4] = 0x7F;
    rig.primary->Unlock();
    screen.Release();
    ASSERT_TRUE(screen.ReadScreen(px, w, h));
    EXPECT_EQ(px[31 * 64 + 63], 0x7Fu);
}

TEST(PresenterTest, AWaitingFlipWaitsAtMostAFrame) {
    Rig rig(1);
    ASSERT_TRUE(rig.primary);
    ASSERT_TRUE(rig.primary->BackBuffer());
    plat::MemoryPresenter& screen = rig.display.Screen();
    screen.Hold(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.primary->Flip(true, true), plat::BlitResult::Ok);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, screen.FramePeriod());
    // The acknowledgement never comes while held, so a flip that waited for it would not come
    // back at all; the limit is far above a frame because a busy machine may stretch that
    // wait by any amount.
    EXPECT_LT(waited, std::chrono::seconds(30));
    // Acknowledged from another thread, the wait ends early.
    std::thread helper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        screen.Release();
    });
    EXPECT_EQ(rig.primary->Flip(true, true), plat::BlitResult::Ok);
    helper.join();
    screen.Release();
    EXPECT_TRUE(rig.primary->CanFlip());
    // Flips need a chain, an unlocked one.
    Rig single;
    EXPECT_EQ(single.primary->Flip(false, true), plat::BlitResult::Invalid);
    EXPECT_EQ(single.primary->BackBuffer(), nullptr);
}

TEST(PresenterTest, WindowModeRefusesChainsAndFullScreenNeedsAListedMode) {
    plat::MemoryDisplay display;
    plat::WindowComponent window;
    auto conn = display.Open();
    conn->SetCooperation(&window, false);
    EXPECT_FALSE(conn->SetDisplayMode(640, 480, 32, 0));
    EXPECT_EQ(conn->CreatePrimary(1), nullptr);
    conn->SetCooperation(&window, true);
    EXPECT_FALSE(conn->SetDisplayMode(641, 480, 32, 0));
    EXPECT_EQ(conn->CreatePrimary(0), nullptr);  // no mode set yet
    EXPECT_TRUE(conn->SetDisplayMode(1280, 720, 16, 0));
    auto primary = conn->CreatePrimary(3);
    EXPECT_EQ(primary, nullptr);
    primary = conn->CreatePrimary(2);
    ASSERT_TRUE(primary);
    EXPECT_EQ(primary->Format(), plat::Rgb565());
    // A 16-bit screen is shown converted.
    const DisplayRect corner{0, 0, 1, 1};
    ASSERT_EQ(primary->BackBuffer()->Fill(&corner, 0xF800), plat::BlitResult::Ok);
    primary->Flip(false, true);
    std::vector<uint32_t> px;
    int32_t w, h;
    ASSERT_TRUE(display.Screen().ReadScreen(px, w, h));
    EXPECT_EQ(px[0], 0xFF0000u);
    EXPECT_TRUE(display.Screen().FullScreen());
}

}  // namespace
