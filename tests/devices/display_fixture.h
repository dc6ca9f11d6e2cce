// A display device over the memory display, owned by a window component, with helpers that
// draw into the device's draw surface and compare the screen with it.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "devices/nyddraw.h"
#include "platform/memorydisplay.h"
#include "platform/windowcomponent.h"

class DisplayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plat::SetDisplayBackend(&display);
        window = std::make_unique<plat::WindowComponent>();
        device = new DirectX::TDDraw(window.get());
        device->SetScreenSize(ss1280x720);
        device->SetBitDepth(bd32);
        device->SetBackType(DirectX::btSystem);
    }
    void TearDown() override {
        window.reset();
        plat::SetDisplayBackend(nullptr);
    }

    // Full screen with a chain of `buffers` display buffers (1 to 3), or window mode for 0.
    bool Enable(int buffers) {
        device->SetFullScreen(buffers > 0);
        display.Offer().maxBackBuffers = std::max(buffers - 1, 0);
        device->SetEnabled(true);
        return device->Enabled();
    }

    std::vector<uint32_t> Screen() {
        std::vector<uint32_t> pixels;
        int32_t w = 0, h = 0;
        display.Screen().ReadScreen(pixels, w, h);
        return pixels;
    }

    // The draw surface as 32-bit pixels, the form the screen holds.
    std::vector<uint32_t> Drawn() {
        DirectX::TDSurface* s = device->DrawSurface();
        std::vector<uint32_t> out(size_t(s->Width()) * size_t(s->Height()));
        EXPECT_TRUE(
            s->GetPat(0, 0, s->Width(), s->Height(), reinterpret_cast<unsigned char*>(out.data())));
        for (uint32_t& p : out) p &= 0xFFFFFF;
        return out;
    }

    // Fills a few random boxes and returns the rectangles it changed.
    ZRRectSet DrawBoxes(std::mt19937& rng, int count) {
        ZRRectSet changed;
        DirectX::TDSurface* s = device->DrawSurface();
        for (int i = 0; i < count; ++i) {
            const int x = int(rng() % 1200), y = int(rng() % 680);
            const int w = 1 + int(rng() % 200), h = 1 + int(rng() % 150);
            s->BoxFill(x, y, x + w - 1, y + h - 1, rng() & 0xFFFFFF);
            changed.UnionRect(ZRRect{x, y, x + w, y + h});
        }
        return changed;
    }

    plat::MemoryDisplay display;
    std::unique_ptr<plat::WindowComponent> window;
    DirectX::TDDraw* device = nullptr;  // owned by the window
};

// Counts destructions of the components it watches.
class DeathCounter : public plat::ComponentWatcher {
  public:
    void Watch(plat::TComponent* c) { c->AddWatcher(this); }
    void ComponentDestroyed(plat::TComponent*) override { ++deaths; }
    int deaths = 0;
};
