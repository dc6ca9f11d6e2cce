// A stage set up over a scratch directory: the background and character archives as
// directories beside a game archive holding the flake sheet, and small pictures written on
// demand. The working directory is the scratch directory while the fixture lives.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "foundation/zrmemman.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "media/imagefixtures.h"
#include "scenes/stageu.h"
#include "tempdir.h"

namespace stagetest {

using imgfix::Bytes;
using imgfix::EncodePng;
using imgfix::PngSpec;

// A 24-bit BMP filled by colour(x, y) as 0xRRGGBB.
template <typename F>
std::string Bmp(int w, int h, F colour) {
    const int row = (w * 3 + 3) & ~3;
    std::string b(54 + row * h, '\0');
    auto put = [&b](int at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    b[0] = 'B', b[1] = 'M';
    put(2, static_cast<uint32_t>(b.size()), 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, w, 4);
    put(22, h, 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, row * h, 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) put(54 + (h - 1 - y) * row + x * 3, colour(x, y), 3);
    return b;
}

// An RGBA PNG: colour(x, y) gives 0xAARRGGBB.
template <typename F>
std::string Png(int w, int h, F colour) {
    PngSpec desc;
    desc.width = w;
    desc.height = h;
    desc.colourType = PNG_COLOR_TYPE_RGBA;
    std::vector<Bytes> rows;
    for (int y = 0; y < h; ++y) {
        Bytes r;
        for (int x = 0; x < w; ++x) {
            const uint32_t c = colour(x, y);
            r.push_back((c >> 16) & 0xFF);
            r.push_back((c >> 8) & 0xFF);
            r.push_back(c & 0xFF);
            r.push_back(c >> 24);
        }
        rows.push_back(r);
    }
    const Bytes out = EncodePng(desc, rows);
    return std::string(out.begin(), out.end());
}

inline std::string Solid(int w, int h, uint32_t rgb) {
    return Bmp(w, h, [rgb](int, int) { return rgb; });
}

class StageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedDepth_ = WorkBitDepth;
        WorkBitDepth = bd32;
        savedSettings_ = UserSettings;
        UserSettings.SimpleDisplay = false;
        MemMan = new ZRMemMan();
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        oldCwd_ = cwd;
        std::filesystem::create_directories(dir.Host("EvBG_Pak"));
        std::filesystem::create_directories(dir.Host("EvCG_Pak"));
        std::filesystem::create_directories(dir.Host("game"));
        ASSERT_EQ(chdir(dir.Host().c_str()), 0);
        // Four flakes side by side, brightest for the biggest.
        Game("Snow.bmp", Bmp(44, 14, [](int x, int) {
                 return x < 14 ? 0x808080u : x < 26 ? 0x606060u : x < 36 ? 0x404040u : 0x202020u;
             }));
        ASSERT_TRUE(archive.InitDir(ZRString(dir.Host("game").c_str())));
    }
    void TearDown() override {
        stage.reset();
        archive.Finish();
        if (chdir(oldCwd_.c_str()) != 0) ADD_FAILURE() << "cannot go back";
        delete MemMan;
        MemMan = nullptr;
        WorkBitDepth = savedDepth_;
        UserSettings = savedSettings_;
    }
    void BG(const std::string& name, const std::string& bytes) {
        dir.Write("EvBG_Pak/" + name, bytes);
    }
    void CG(const std::string& name, const std::string& bytes) {
        dir.Write("EvCG_Pak/" + name, bytes);
    }
    void Game(const std::string& name, const std::string& bytes) {
        dir.Write("game/" + name, bytes);
    }
    TStageUnit& Make() {
        stage = std::make_unique<TStageUnit>();
        EXPECT_TRUE(stage->Setup(&archive));
        stage->Reset();
        return *stage;
    }
    // The staged values, then an immediate transition.
    void Show(int32_t bg, int32_t period = 0, int32_t weather = 0) {
        stage->SetBackground(bg);
        stage->SetTimePeriod(period);
        stage->SetWeather(weather);
        stage->StageTransition(0);
    }
    uint32_t At(int x, int y) const { return stage->StagePicture()->PGet(x, y) & 0xFFFFFF; }
    uint32_t At(TNyRGBBits* b, int x, int y) const { return b->PGet(x, y) & 0xFFFFFF; }
    int Frames(int limit, bool skip = false) {
        int n = 0;
        while (n < limit && stage->StageFrame(1, skip)) ++n;
        return n + 1;
    }

    TempDir dir;
    ZRFileMan archive;
    std::unique_ptr<TStageUnit> stage;
    std::string oldCwd_;

  private:
    ZRBitDepth savedDepth_ = bdNone;
    UserConfig savedSettings_{};
};

}  // namespace stagetest
