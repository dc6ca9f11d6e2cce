// A monkey on the demo: random logical buttons, mouse moves and clicks from a fixed seed over
// the whole game (title, story, menus, battles, album, music room, saves and loads into the
// scratch folder). Nothing may crash or report "GameErr", every save it made must load again,
// and the memory manager holds as much at every return to the title as at the first.
// ZR_MONKEY_FRAMES sets the length (a few thousand frames by default; the full run is
// 100000).
#include <cstdlib>
#include <random>

#include "demo_harness.h"

namespace flowtest {
namespace {

class DemoMonkey : public DemoHarness {};

TEST_F(DemoMonkey, RandomPlayLeavesNoFaultAndEverySaveLoads) {
    const char* env = std::getenv("ZR_MONKEY_FRAMES");
    const int frames = env ? std::atoi(env) : 4000;
    std::mt19937 rng(20261207);
    const Key keys[] = {kOk, kOk, kOk, kCancel, kUp, kDown, kLeft, kRight, kCtrl};
    testing::internal::CaptureStderr();
    Start(5);
    int starts = 1, titles = 0, inScene = 0, inBattle = 0, inMenus = 0;
    bool wasTitle = false;
    int32_t firstCount = -1, lastCount = -1;
    for (int f = 0; f < frames; ++f) {
        if (Finished()) {
            // The monkey found the exit: the next start goes on from there.
            Stop();
            Start(5 + starts++);
        }
        const bool title = OnTitle();
        if (title && !wasTitle) {
            ++titles;
            lastCount = MemMan->Count();
            if (firstCount < 0) firstCount = lastCount;
        }
        wasTitle = title;
        if (AvgUnit && Mode() == smAdventure) ++inScene;
        if (InBattle()) ++inBattle;
        if (AlbumMenu || SoundMenu || (SaveMenu && SaveMenu->RootPanel->GetParent())) ++inMenus;
        const uint32_t r = rng() % 100;
        if (InBattle() && r < 70) {
            // Random keys rarely stop a reel in time: most battle frames play it properly,
            // so the monkey gets past it into the rest of the story.
            BattleStep();
        } else if (r < 25) {
            Press(keys[rng() % (sizeof keys / sizeof keys[0])]);
        } else if (r < 35) {
            Click(static_cast<int>(rng() % 1280), static_cast<int>(rng() % 720));
            RunFrames(1);
        } else if (r < 45) {
            InputRecord move;
            move.kind = InputRecord::MouseMove;
            move.x = static_cast<int>(rng() % 1280);
            move.y = static_cast<int>(rng() % 720);
            form->PushInput(move);
            RunFrames(1);
        } else {
            RunFrames(1);
        }
    }
    Stop();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("GameErr"), std::string::npos) << err;
    // Every slot the monkey saved loads again.
    int saves = 0;
    for (int slot = 0; slot < 40; ++slot) {
        char name[32];
        std::snprintf(name, sizeof name, "SV%02d.sav", slot);
        if (!std::filesystem::exists(dir.Host(name))) continue;
        ++saves;
        GameState current, snapshot;
        uint32_t thumbSize = 0;
        std::vector<uint8_t> thumb(1 << 20);
        EXPECT_TRUE(LoadGameSlotData(slot, &current, &snapshot, thumbSize, thumb.data())) << name;
    }
    std::printf("monkey: %d steps (%d in the story, %d in battle, %d in the save menu, album or music room), "
                "%d starts, %d returns to the title, %d saves, memory manager %d then %d\n",
                frames, inScene, inBattle, inMenus, starts, titles, saves, firstCount,
                lastCount);
    if (firstCount >= 0) {
        EXPECT_EQ(lastCount, firstCount);
    }
}

}  // namespace
}  // namespace flowtest
