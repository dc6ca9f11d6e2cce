// The monkey (demo_monkey.h) on the demo, briefly, at the game's default frame rate ("Full":
// ten frames to a tick, its keys landing in any of them): nothing may crash or report
// "GameErr" or a wrong release to the memory manager, every save it made must load again, and
// the memory manager holds as much at every return to the title as at the first. It prints
// what it covered.
// ZR_MONKEY_FRAMES sets the number of steps (1200 by default, which reaches every screen with
// the default seed; the full run is the benchmark's), ZR_MONKEY_SEED the seed.
#include <cstdlib>

#include "demo_monkey.h"

namespace flowtest {
namespace {

TEST_F(DemoMonkey, RandomPlayLeavesNoFaultAndEverySaveLoads) {
    const char* env = std::getenv("ZR_MONKEY_FRAMES");
    const int steps = env ? std::atoi(env) : 1200;
    const char* seedEnv = std::getenv("ZR_MONKEY_SEED");
    const uint32_t seed = seedEnv ? uint32_t(std::strtoul(seedEnv, nullptr, 10)) : kMonkeySeed;
    // At the game's default frame rate: most frames carry no tick, and the keys land in any.
    UsePacing(Pacing::Full);
    const MonkeyRun run = RunMonkey(seed, steps);
    EXPECT_EQ(run.err.find("GameErr"), std::string::npos) << run.err;
    EXPECT_EQ(run.memErrors, "");
    EXPECT_EQ(run.countFaults, "");
    EXPECT_EQ(run.unloadable, "");
    std::printf("%s", run.Summary().c_str());
}

}  // namespace
}  // namespace flowtest
