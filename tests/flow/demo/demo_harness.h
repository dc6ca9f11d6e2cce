// The lock-step harness on the demo's own data: every test links the files mkdemo made into
// its scratch game directory (the settings are copied, so the game can write its own) and
// drives the title, the story, the battles and the menus as a player would, with the keys.
#pragma once
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "flow/palbummenu.h"
#include "flow/psoundmenu.h"
#include "flow_harness.h"
#include "foundation/zrmemman.h"
#include "foundation/zrpack.h"
#include "scenes/battleu_core.h"
#include "scenes/stageu.h"

namespace flowtest {

class DemoHarness : public FlowHarness {
  protected:
    void SetUp() override {
        FlowHarness::SetUp();
        namespace fs = std::filesystem;
        ASSERT_TRUE(fs::exists(std::string(ZR_DEMO_DATA) + "/scr_c.pak")) << "mkdemo has not run";
        for (const auto& e : fs::directory_iterator(ZR_DEMO_DATA)) {
            const std::string name = e.path().filename().string();
            if (name == "made.stamp") continue;
            if (name == "Solvane.ini")
                fs::copy_file(e.path(), dir.Host(name));
            else
                fs::create_symlink(e.path(), dir.Host(name));
        }
        // A hosted game reads its scripts from the folder beside the archive only.
        ZRPack pack;
        ASSERT_TRUE(pack.LoadPack(dir.Host("scr_c.pak").c_str()));
        for (int i = 0; i < pack.GetFileNum(); ++i) {
            char name[64] = {};
            if (!pack.GetFileName(i, name)) continue;
            const std::string n = name;
            if (n != "Scene.tbl" && n.find(".vnx") == std::string::npos &&
                n.find(".csv") == std::string::npos)
                continue;
            std::unique_ptr<ZRStream> in(pack.ZRMakeStream(name));
            ASSERT_TRUE(in) << n;
            std::string bytes(static_cast<size_t>(in->GetSize()), '\0');
            in->Read(bytes.data(), in->GetSize());
            WriteFile(Data(n), bytes);
        }
    }

    // From the start through the title call and the opening movie to the waiting title, within
    // a minute of game time. The limit counts the frames this lets through, as RunUntil does:
    // the gate's clock also moves with the frames the wait thread runs by itself while the
    // logic thread loads, and how many those are depends on how busy the machine is.
    bool ToTitle() {
        const int64_t steps = gate.Clock().StepsFor(1800);
        for (int64_t i = 0; i < steps && !OnTitle() && !Finished(); ++i) {
            if (MovieUnit && MovieUnit->IsOpen()) {
                sawOpening = true;
                GiveMovieTime();
            }
            RunFrames(1);
        }
        return OnTitle();
    }
    // The frame gate waits for the movies' decoders before every step; this waits the same
    // way now, for a caller about to look at a movie's picture between frames.
    static void GiveMovieTime() { FrameGate::WaitForMovies(); }

    // The pixel of the presented screen at (x, y), 0xRRGGBB.
    uint32_t Seen(int x, int y) {
        std::vector<uint32_t> px;
        int32_t w = 0, h = 0;
        if (!display.Screen().ReadScreen(px, w, h) || x >= w || y >= h) return 0xDEADBEEF;
        return px[size_t(y) * w + x] & 0xFFFFFF;
    }
    // Distinct colours on a coarse grid over the screen: a drawn picture has many, a blank one.
    size_t Colours() {
        std::vector<uint32_t> px;
        int32_t w = 0, h = 0;
        if (!display.Screen().ReadScreen(px, w, h)) return 0;
        std::set<uint32_t> seen;
        for (int y = 8; y < h; y += 24)
            for (int x = 8; x < w; x += 24) seen.insert(px[size_t(y) * w + x] & 0xFFFFFF);
        return seen.size();
    }
    // The presented screen as a PNG in the build directory, for a person to look at.
    void KeyFrame(const std::string& name) {
        std::vector<uint32_t> px;
        int32_t w = 0, h = 0;
        if (!display.Screen().ReadScreen(px, w, h)) return;
        std::vector<unsigned char> rgb(size_t(w) * h * 3);
        for (size_t i = 0; i < px.size(); ++i) {
            rgb[i * 3] = px[i] & 0xFF;
            rgb[i * 3 + 1] = (px[i] >> 8) & 0xFF;
            rgb[i * 3 + 2] = (px[i] >> 16) & 0xFF;
        }
        std::filesystem::create_directories(std::string(ZR_DEMO_DATA) + "/../demo_frames");
        const std::string path = std::string(ZR_DEMO_DATA) + "/../demo_frames/" + name + ".png";
        ZRFileStream out(path.c_str(), zrfmCreate);
        SavePng(&out, rgb.data(), w, h, pf24_888);
    }

    bool InBattle() const { return BattleUnit && Mode() == smBattle && BattleUnit->Core().state; }

    // One step of a running battle: OK stops each reel as soon as one takes it and confirms
    // the first answer of every selection.
    void BattleStep() {
        const BattleCore& c = BattleUnit->Core();
        const bool stop =
            c.state == 2 && c.step == 0 &&
            (c.reels[0].state == 3 || (c.reels[1].state == 3 && c.reels[0].state == 0) ||
             (c.reels[2].state == 3 && c.reels[1].state == 0));
        const bool select =
            (c.state == 4 && (c.step == 2 || c.step == 7)) || (c.state == 5 && c.step == 2);
        if (stop || (select && c.selected == 0)) {
            Press(kOk);
        } else if (select) {
            Tap(kDown);
        } else {
            RunFrames(1);
        }
    }

    bool sawOpening = false;
};

}  // namespace flowtest
