// The movie scene over real movie files: the skip guard, skipping, result codes, a missing
// file and both ways of drawing.
#include "scenes/movieu.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "../tempdir.h"
#include "devices/crisofdec.h"
#include "platform/moviewrite.h"
#include "widgets/nyrgbbits.h"

namespace {

// BGR of the test movie's every picture.
constexpr uint8_t kB = 40, kG = 160, kR = 220;

class MovieUnitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.Host("Movie"));
        plat::MovieWriteOptions o;
        o.width = 320;
        o.height = 192;
        o.frames = 150;
        auto bytes = plat::WriteMovie(
            o,
            [&](int32_t, uint8_t* bgra, int32_t pitch) {
                for (int32_t y = 0; y < o.height; ++y)
                    for (int32_t x = 0; x < o.width; ++x) {
                        uint8_t* p = bgra + y * pitch + x * 4;
                        p[0] = kB, p[1] = kG, p[2] = kR, p[3] = 255;
                    }
            },
            nullptr);
        ASSERT_FALSE(bytes.empty());
        std::ofstream(dir.Host("Movie/Clip.sfd"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(CriMwSystemInitAt(dir.Game(), nullptr, bd32));
    }
    void TearDown() override {
        while (CriMwSystemCount() > 0) CriMwSystemFinish();
    }
    // A set-up unit that records what it posts.
    std::unique_ptr<TMovieUnit> Unit(bool panel, int32_t code) {
        auto u = std::make_unique<TMovieUnit>();
        EXPECT_TRUE(u->Setup(nullptr, panel, code));
        u->PostResult = [this](int32_t r) { posted.push_back(r); };
        return u;
    }
    static bool NearColour(const uint8_t* p) {
        return std::abs(p[0] - kB) < 24 && std::abs(p[1] - kG) < 24 && std::abs(p[2] - kR) < 24;
    }

    TempDir dir;
    std::vector<int32_t> posted;
};

TEST_F(MovieUnitTest, TheGuardHoldsSkipsForThirtyTicks) {
    struct Case {
        bool canSkip;
        bool byKey;
        int32_t code;
        std::vector<int32_t> expect;
    } cases[] = {
        {true, false, 0, {0}}, {true, true, 7, {7}}, {true, false, -1, {}},
        {false, false, 0, {}}, {false, true, 0, {}},
    };
    for (const Case& c : cases) {
        posted.clear();
        auto u = Unit(true, c.code);
        u->SetCanSkip(c.canSkip);
        ASSERT_TRUE(u->Open("Clip.sfd"));
        ASSERT_TRUE(u->IsOpen());
        u->Start();
        for (int t = 0; t < 29; ++t) u->Frame(1);
        c.byKey ? u->KeySkip(false, true, false) : u->MoviePanelMouseDown();
        EXPECT_TRUE(posted.empty());
        EXPECT_TRUE(u->IsStarted()) << "a skip inside the guard is ignored";
        u->Frame(1);
        c.byKey ? u->KeySkip(false, false, true) : u->MoviePanelMouseDown();
        EXPECT_EQ(posted, c.expect);
        EXPECT_EQ(u->IsStarted(), !c.canSkip);
        u->Close();
        u->Release();
    }
}

TEST_F(MovieUnitTest, AMissingFileOpensAndEndsAtItsFirstFrame) {
    auto u = Unit(true, 0);
    EXPECT_TRUE(u->Open("Nowhere.sfd"));
    EXPECT_FALSE(u->IsOpen());
    EXPECT_TRUE(posted.empty());
    u->Start();
    u->Frame(1);
    EXPECT_EQ(posted, std::vector<int32_t>{0});
}

TEST_F(MovieUnitTest, BothDrawingPathsShowTheMoviesColour) {
    for (bool panel : {true, false}) {
        posted.clear();
        auto u = Unit(panel, 0);
        ASSERT_TRUE(u->Open("Clip.sfd"));
        u->Start();
        TNyRGBBits screen(nullptr);
        screen.SetBitDepth(bd32);
        screen.SetPixFormat(pf32_888);
        screen.SetWidth(1280);
        screen.SetHeight(720);
        ASSERT_TRUE(screen.Create());
        bool shown = false;
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::seconds(60);  // hang guard
        while (!shown && std::chrono::steady_clock::now() < until) {
            u->Frame(1);
            if (panel) {
                TNyRGBBits* f = u->Movie().Frame();
                ASSERT_NE(f, nullptr);
                shown = NearColour(f->Bits() + 96 * f->Pitch() + 160 * 4);
                EXPECT_EQ(u->MoviePanel->GetOffsetX(), (1280 - 320) / 2);
            } else {
                // What the main window's movie render does with the display's frame.
                u->DrawToBits(&screen, 0);
                shown = NearColour(screen.Bits() + 96 * screen.Pitch() + 160 * 4);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(shown) << (panel ? "panel" : "full screen");
        u->Close();
        u->Release();
    }
}

}  // namespace
