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

struct PictureSpec {
    const char* name;
    int w, h;
    uint32_t rgb;
};

// Every picture of the windows, at its size and cell count.
inline const std::vector<PictureSpec>& Pictures() {
    static const std::vector<PictureSpec> specs = {
        {"MesBack.png", 1280, 196, 0x204060},     {"MesFrame.png", 1280, 250, 0x000000},
        {"MesWait.png", 51, 208, 0xFFFF00},       {"MesFF.png", 42, 228, 0x00FFFF},
        {"MesWing.png", 112, 464, 0x808080},      {"MesNameC.png", 38, 66, 0x602020},
        {"MesNameR.png", 58, 66, 0x206020},       {"MesHide.png", 19, 90, 0x404040},
        {"MesAuto.png", 19, 126, 0x404040},       {"MesSkip.png", 19, 126, 0x404040},
        {"SelBase8.png", 478, 240, 0x303080},     {"SelBase16.png", 780, 240, 0x303080},
        {"BacklogBar.png", 30, 510, 0x202020},    {"BacklogPos.png", 26, 26, 0xC0C0C0},
        {"BacklogUp.png", 30, 30, 0x606060},      {"BacklogDown.png", 30, 30, 0x606060},
        {"CalDateNum.png", 26, 240, 0xE0E0E0},    {"CalSlash.png", 9, 26, 0xE0E0E0},
        {"CalTimeNum.png", 22, 260, 0xE0E0E0},    {"CalColon.png", 8, 22, 0xE0E0E0},
        {"AvgPlace01.png", 300, 60, 0x806040},    {"MenuSysBase.png", 558, 513, 0x101040},
        {"MenuSysLight.png", 60, 40, 0xFFFFFF},   {"MenuSaveBase.png", 558, 481, 0x104010},
        {"MenuSaveLight.png", 60, 40, 0xFFFFFF},  {"MenuSysSaveLoad.png", 200, 80, 0x505050},
        {"MenuSysSkip.png", 200, 80, 0x505050},   {"MenuSysAuto.png", 200, 80, 0x505050},
        {"MenuSysView.png", 200, 80, 0x505050},   {"MenuSysBacklog.png", 200, 80, 0x505050},
        {"MenuSysConfig.png", 200, 80, 0x505050}, {"MenuSysTitle.png", 200, 80, 0x505050},
        {"MenuSysCancel.png", 200, 80, 0x505050}, {"MenuSaveSave.png", 160, 80, 0x505050},
        {"MenuSaveLoad.png", 160, 80, 0x505050},  {"MenuSaveCancel.png", 160, 80, 0x505050},
    };
    return specs;
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
