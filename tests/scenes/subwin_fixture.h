// The text windows set up over plain-coloured pictures written for the test, attached to a
// 1280x720 root panel that can be drawn onto a screen bitmap and probed.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/zrfileman.h"
#include "foundation/zrmemman.h"
#include "foundation/zrstream.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "media/zrpng.h"
#include "platform/codepage.h"
#include "scenes/subwin_pictures.h"
#include "scenes/subwinu.h"
#include "tempdir.h"

namespace subwin_test {

// A picture of one colour, opaque or wholly transparent.
inline void WritePicture(const std::string& path, int w, int h, uint32_t rgb, bool opaque = true) {
    std::vector<unsigned char> colour(size_t(w) * h * 3), alpha(size_t(w) * h, opaque ? 255 : 0);
    for (size_t i = 0; i < size_t(w) * h; ++i) {
        colour[i * 3] = rgb & 0xFF;
        colour[i * 3 + 1] = (rgb >> 8) & 0xFF;
        colour[i * 3 + 2] = (rgb >> 16) & 0xFF;
    }
    ZRFileStream out(path.c_str(), zrfmCreate);
    SavePng(&out, colour.data(), alpha.data(), w, h, pf24_888);
}

// Records the system sounds the windows play.
struct SoundLog : AvgAudio {
    std::vector<int> sounds;
    void PlaySystemSound(int n) override { sounds.push_back(n); }
};

class SubWinFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        savedDepth_ = WorkBitDepth;
        WorkBitDepth = bd32;
        if (!MemMan) {
            MemMan = new ZRMemMan();
            ownMemMan_ = true;
        }
        for (const PictureSpec& p : Pictures())
            WritePicture(dir.Host(p.name), p.w, p.h, p.rgb, p.rgb != 0);
        ASSERT_TRUE(files.InitDir(ZRString(dir.Host().c_str())));
        win = std::make_unique<TSubWinUnit>();
        win->BindState(&state);
        win->SetAudio(&sound);
        ASSERT_TRUE(win->Setup(&files));
        root = std::make_unique<TNyRGBPanel>(nullptr);
        root->SetAutoSize(false);
        root->SetSizeX(1280);
        root->SetSizeY(720);
        root->Create();
        win->SetParentPanel(root.get());
        win->AttachAll();
        screen = std::make_unique<TNyRGBBits>();
        screen->SetBitDepth(bd32);
        screen->SetPixFormat(pf32_888);
        screen->Resize(1280, 720);
        ASSERT_TRUE(screen->Create());
    }
    void TearDown() override {
        win.reset();
        root.reset();
        files.Finish();
        if (ownMemMan_) {
            delete MemMan;
            MemMan = nullptr;
        }
        WorkBitDepth = savedDepth_;
    }
    // The whole tree drawn onto a screen of one colour; the pixel at (x, y) as 0xRRGGBB.
    uint32_t Probe(int x, int y, uint32_t ground = 0x000000) {
        screen->BoxFill(0, 0, 1279, 719, screen->TNyRGBtoPixel(ZRRGB(ground)));
        root->Draw(screen.get(), 0, 0);
        return screen->PGet(x, y) & 0xFFFFFF;
    }
    static ZRString Gbk(const char* utf8) { return ZRString(plat::GbkText(utf8).c_str()); }

    TempDir dir;
    ZRFileMan files;
    GameState state;
    SoundLog sound;
    std::unique_ptr<TSubWinUnit> win;
    std::unique_ptr<TNyRGBPanel> root;
    std::unique_ptr<TNyRGBBits> screen;

  private:
    ZRBitDepth savedDepth_ = bdNone;
    bool ownMemMan_ = false;
};

}  // namespace subwin_test
