// The pictures the text windows load, at their sizes and cell counts, in plain colours: what
// a test writes into its game directory for the windows to set up; and the 1280x720 root
// panel and screen bitmap the windows are drawn through.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/zrstream.h"
#include "media/zrpng.h"
#include "widgets/nyrgbbits.h"
#include "widgets/nyrgbpanel.h"

namespace subwin_test {

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

// Every picture of the windows into DIR (which ends with a separator); black ones transparent.
inline void WritePictures(const std::string& dir) {
    for (const PictureSpec& p : Pictures()) WritePicture(dir + p.name, p.w, p.h, p.rgb, p.rgb != 0);
}

inline std::unique_ptr<TNyRGBPanel> MakeRootPanel() {
    auto root = std::make_unique<TNyRGBPanel>(nullptr);
    root->SetAutoSize(false);
    root->SetSizeX(1280);
    root->SetSizeY(720);
    root->Create();
    return root;
}

// A 32-bit 1280x720 screen bitmap, or null when it cannot be made.
inline std::unique_ptr<TNyRGBBits> MakeScreen() {
    auto screen = std::make_unique<TNyRGBBits>();
    screen->SetBitDepth(bd32);
    screen->SetPixFormat(pf32_888);
    screen->Resize(1280, 720);
    if (!screen->Create()) return nullptr;
    return screen;
}

}  // namespace subwin_test
