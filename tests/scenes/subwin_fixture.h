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
        WritePictures(dir.Host() + "/");
        ASSERT_TRUE(files.InitDir(ZRString(dir.Host().c_str())));
        win = std::make_unique<TSubWinUnit>();
        win->BindState(&state);
        win->SetAudio(&sound);
        ASSERT_TRUE(win->Setup(&files));
        root = MakeRootPanel();
        win->SetParentPanel(root.get());
        win->AttachAll();
        screen = MakeScreen();
        ASSERT_TRUE(screen);
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
