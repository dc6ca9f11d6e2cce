// Presents through SDL into a real window (run under a virtual X server) and reads back
// what the window shows.
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>

#include "devices/nyddraw.h"
#include "platform/sdldisplay.h"
#include "platform/windowcomponent.h"

namespace {

class WindowDisplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_TRUE(plat::SdlDisplay::Instance().Start());
        native = SDL_CreateWindow("display test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                  1280, 720, 0);
        ASSERT_NE(native, nullptr) << SDL_GetError();
        window = std::make_unique<plat::WindowComponent>(nullptr, native);
        device = new DirectX::TDDraw(window.get());
        device->SetScreenSize(ss1280x720);
        device->SetBitDepth(bd32);
        device->SetBackType(DirectX::btSystem);
    }
    void TearDown() override {
        window.reset();
        plat::SdlDisplay::Instance().Presenter().Shutdown();
        if (native) SDL_DestroyWindow(native);
        SDL_Quit();
    }

    bool Read(std::vector<uint32_t>& px, int32_t& w, int32_t& h) {
        SDL_PumpEvents();
        return device->Connection()->ReadScreen(px, w, h);
    }

    SDL_Window* native = nullptr;
    std::unique_ptr<plat::WindowComponent> window;
    DirectX::TDDraw* device = nullptr;
};

TEST_F(WindowDisplayTest, AWindowShowsTheFrameExactly) {
    device->SetFullScreen(false);
    device->SetEnabled(true);
    ASSERT_TRUE(device->Enabled());
    EXPECT_EQ(device->DesktopBitDepth(), bd32);
    DirectX::TDSurface* s = device->DrawSurface();
    for (int i = 0; i < 16; ++i)
        s->BoxFill(i * 80, 0, i * 80 + 79, 719, uint32_t(i * 0x0F0F0F) ^ 0x40);
    s->BoxFill(300, 300, 363, 363, 0xFF8000);
    device->FlipModifyRect(ZRRectSet{});
    std::vector<uint32_t> px;
    int32_t w = 0, h = 0;
    ASSERT_TRUE(Read(px, w, h));
    ASSERT_EQ(w, 1280);
    ASSERT_EQ(h, 720);
    for (int y = 0; y < 720; y += 7)
        for (int x = 0; x < 1280; x += 5)
            ASSERT_EQ(px[size_t(y) * 1280 + size_t(x)] & 0xFFFFFF, s->PGet(x, y) & 0xFFFFFF)
                << x << "," << y;
    // A small change reaches the window.
    s->BoxFill(10, 10, 73, 73, 0x00FF00);
    ZRRectSet one;
    one.UnionRect(ZRRect{10, 10, 74, 74});
    device->FlipModifyRect(one);
    ASSERT_TRUE(Read(px, w, h));
    EXPECT_EQ(px[20 * 1280 + 20] & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(px[320 * 1280 + 320] & 0xFFFFFF, 0xFF8000u);
}

TEST_F(WindowDisplayTest, FullScreenShowsTheFrameScaledIntoTheDesktop) {
    device->SetFullScreen(true);
    device->SetEnabled(true);
    ASSERT_TRUE(device->Enabled());
    EXPECT_EQ(device->BufferCount(), 3);
    device->DrawSurface()->BoxFill(0, 0, 1279, 719, 0x3366CC);
    for (int i = 0; i < 3; ++i) device->Flip();
    // The X server resizes the window in its own time.
    std::vector<uint32_t> px;
    int32_t w = 0, h = 0;
    auto centre = [&] { return px[size_t(h / 2) * size_t(w) + size_t(w / 2)] & 0xFFFFFF; };
    for (int tries = 0; tries < 100; ++tries) {
        ASSERT_TRUE(Read(px, w, h));
        ASSERT_GT(w, 0);
        if (centre() == 0x3366CCu) break;
        SDL_Delay(10);
    }
    EXPECT_EQ(centre(), 0x3366CCu);
    device->SetEnabled(false);
    // Back to a window of the screen's size.
    device->SetFullScreen(false);
    device->SetEnabled(true);
    ASSERT_TRUE(device->Enabled());
    ASSERT_TRUE(Read(px, w, h));
    EXPECT_EQ(w, 1280);
}

}  // namespace
