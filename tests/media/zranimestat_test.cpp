#include "media/zranimestat.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "foundation/zrstream.h"

namespace {

struct Frame {
    uint8_t mode, pattern;
    uint16_t wait;
};

// An ".anm" file: groups[g] lists group g's frames; extraFrames adds records no group names.
std::vector<uint8_t> AnmFile(const std::vector<std::vector<Frame>>& groups, uint16_t patCount = 8,
                             uint16_t version = kAnimeVersion, int countDelta = 0) {
    std::vector<uint8_t> out;
    auto u16 = [&](unsigned v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    size_t n = 0;
    for (const auto& g : groups) n += g.size();
    u16(version);
    u16(patCount);
    u16(static_cast<unsigned>(static_cast<int>(n) + countDelta));
    for (int g = 0; g < kAnimeGroups; ++g) u16(g < int(groups.size()) ? groups[g].size() : 0);
    for (const auto& g : groups)
        for (const Frame& f : g) {
            out.push_back(f.mode);
            out.push_back(f.pattern);
            u16(f.wait);
        }
    return out;
}

bool LoadBytes(ZRAnimeData& d, const std::vector<uint8_t>& bytes) {
    ZRMemoryStream s(bytes.data(), static_cast<int>(bytes.size()));
    return d.Load(&s);
}

// Player whose random draws are recorded and answered with bound - 1.
class FixedStat : public ZRAnimeStat {
  public:
    int MakeRandom(int n) override {
        bounds.push_back(n);
        return n - 1;
    }
    std::vector<int> bounds;
};

TEST(ZRAnimeData, LoadsOnlyExactlySizedFilesOfTheKnownVersion) {
    ZRAnimeData d;
    EXPECT_FALSE(d.IsEnable());
    EXPECT_EQ(d.GetPatCount(), 1);
    EXPECT_EQ(d.GetAnimeCount(0), 0);
    EXPECT_EQ(d.GetAnimeFrame(0, 0), nullptr);
    EXPECT_FALSE(d.Load(nullptr));

    auto one = AnmFile({{{1, 3, 0x1234}}}, 5);
    ASSERT_EQ(one.size(), 42u);
    ASSERT_TRUE(LoadBytes(d, one));
    EXPECT_TRUE(d.IsEnable());
    EXPECT_EQ(d.GetPatCount(), 5);
    EXPECT_EQ(d.GetAnimeCount(0), 1);
    const ZRAnimeFrame* f = d.GetAnimeFrame(0, 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->mode, 1);
    EXPECT_EQ(f->pattern, 3);
    EXPECT_EQ(f->wait, 0x1234);

    // The frame count says 2 but one record follows; the old content is gone after a refusal.
    auto claimsTwo = one;
    claimsTwo[4] = 2;
    EXPECT_FALSE(LoadBytes(d, claimsTwo));
    EXPECT_FALSE(d.IsEnable());
    EXPECT_EQ(d.GetPatCount(), 1);

    EXPECT_FALSE(LoadBytes(d, AnmFile({{{1, 3, 1}}}, 5, 0x0200)));
    auto trailing = one;
    trailing.push_back(0);
    EXPECT_FALSE(LoadBytes(d, trailing));
    EXPECT_FALSE(LoadBytes(d, std::vector<uint8_t>(one.begin(), one.begin() + 37)));
    EXPECT_FALSE(LoadBytes(d, {}));
}

TEST(ZRAnimeData, GroupsFollowOneAnotherAndMustFitTheFrames) {
    ZRAnimeData d;
    // One record more than the groups name is allowed.
    auto extra = AnmFile({{{0, 1, 1}, {0, 2, 1}}, {}, {{0, 3, 1}}}, 4, kAnimeVersion, 1);
    extra.insert(extra.end(), {0, 9, 0, 0});
    ASSERT_TRUE(LoadBytes(d, extra));
    EXPECT_EQ(d.GetAnimeCount(0), 2);
    EXPECT_EQ(d.GetAnimeCount(1), 0);
    EXPECT_EQ(d.GetAnimeCount(2), 1);
    EXPECT_EQ(d.GetAnimeCount(16), 0);
    EXPECT_EQ(d.GetAnimeCount(-1), 0);
    EXPECT_EQ(d.GetAnimeFrame(2, 0)->pattern, 3);
    EXPECT_EQ(d.GetAnimeFrame(0, 1)->pattern, 2);
    EXPECT_EQ(d.GetAnimeFrame(0, 2), nullptr);
    EXPECT_EQ(d.GetAnimeFrame(0, -1), nullptr);
    EXPECT_EQ(d.GetAnimeFrame(1, 0), nullptr);
    EXPECT_EQ(d.GetAnimeFrame(16, 0), nullptr);

    // Groups naming three frames where the head counts only two (and two are present).
    auto over = AnmFile({{{0, 1, 1}, {0, 2, 1}}, {{0, 3, 1}}});
    over[4] = 2;
    over.resize(over.size() - 4);
    EXPECT_FALSE(LoadBytes(d, over));
    EXPECT_FALSE(d.IsEnable());

    ZRAnimeInfoHead head{kAnimeVersion, 2, 2, {1, 2}};
    ZRAnimeFrame frames[2] = {{0, 1, 1}, {0, 2, 1}};
    EXPECT_FALSE(d.SetData(&head, frames));
    head.groupCount[1] = 1;
    EXPECT_TRUE(d.SetData(&head, frames));
    EXPECT_EQ(d.GetAnimeFrame(1, 0), &frames[1]);
    head.version = 0x0200;
    EXPECT_FALSE(d.Set(&head, frames));
    EXPECT_FALSE(d.IsEnable());
    EXPECT_FALSE(d.SetData(nullptr, frames));
}

// Builds data from the groups and a player bound to it, started at group 0.
struct Rig {
    explicit Rig(const std::vector<std::vector<Frame>>& groups) {
        EXPECT_TRUE(LoadBytes(data, AnmFile(groups)));
        stat.SetAnimeData(&data);
        stat.InitStat();
    }
    ZRAnimeData data;
    FixedStat stat;
};

TEST(ZRAnimeStat, NextFrameModeStepsThroughTheGroupAndRestsAfterTheLastWait) {
    Rig r({{{1, 4, 10}, {1, 5, 10}}});
    EXPECT_EQ(r.stat.GetPattern(), 4);
    EXPECT_TRUE(r.stat.CallFrame(25));
    EXPECT_EQ(r.stat.GetFrame(), 1);
    EXPECT_EQ(r.stat.GetPattern(), 5);
    EXPECT_EQ(r.stat.GetMode(), 0);
    EXPECT_EQ(r.stat.GetWait(), 10);
    EXPECT_EQ(r.stat.GetTicks(), 5);
    // The kept wait elapses once more, then the player rests and gathers ticks.
    EXPECT_FALSE(r.stat.CallFrame(5));
    EXPECT_EQ(r.stat.GetWait(), 0);
    EXPECT_EQ(r.stat.GetTicks(), 0);
    EXPECT_FALSE(r.stat.CallFrame(7));
    EXPECT_EQ(r.stat.GetTicks(), 7);
    EXPECT_EQ(r.stat.GetPattern(), 5);
}

TEST(ZRAnimeStat, EveryModeTickByTick) {
    // Mode 3 loops the group; the same pattern twice reports no change.
    Rig loop({{{1, 1, 2}, {1, 2, 1}, {3, 2, 1}}});
    std::vector<int> shown;
    std::vector<bool> changed;
    for (int t = 0; t < 8; ++t) {
        changed.push_back(loop.stat.CallFrame(1));
        shown.push_back(loop.stat.GetPattern());
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 2, 1, 1, 2, 2, 1}));
    EXPECT_EQ(changed, (std::vector<bool>{false, true, false, true, false, true, false, true}));

    // Mode 4 runs on into the next group; mode 5 and above stay put whatever elapses.
    Rig chain({{{4, 1, 2}}, {{9, 6, 3}}});
    chain.stat.CallFrame(1);
    EXPECT_EQ(chain.stat.GetGroup(), 0);
    EXPECT_TRUE(chain.stat.CallFrame(1));
    EXPECT_EQ(chain.stat.GetGroup(), 1);
    EXPECT_EQ(chain.stat.GetPattern(), 6);
    EXPECT_FALSE(chain.stat.CallFrame(100));
    EXPECT_EQ(chain.stat.GetPattern(), 6);
    EXPECT_EQ(chain.stat.GetTicks(), 1);

    // Mode 0 shows its frame until the wait elapses, then rests there.
    Rig stop({{{0, 7, 3}, {1, 1, 1}}});
    for (int t = 0; t < 5; ++t) EXPECT_FALSE(stop.stat.CallFrame(1));
    EXPECT_EQ(stop.stat.GetPattern(), 7);
    EXPECT_EQ(stop.stat.GetWait(), 0);
}

TEST(ZRAnimeStat, ModeFourInTheLastGroupStops) {
    std::vector<std::vector<Frame>> groups(16);
    groups[15] = {{4, 2, 1}};
    Rig r(groups);
    EXPECT_TRUE(r.stat.StartGroup(15));
    EXPECT_EQ(r.stat.GetPattern(), 2);
    EXPECT_FALSE(r.stat.CallFrame(1));
    EXPECT_EQ(r.stat.GetGroup(), 15);
    EXPECT_EQ(r.stat.GetMode(), 0);
    EXPECT_EQ(r.stat.GetWait(), 1);
    r.stat.CallFrame(1);
    EXPECT_EQ(r.stat.GetWait(), 0);
}

TEST(ZRAnimeStat, RandomWaitsUseTheStoredWaitAsBoundAndZeroStaysZero) {
    Rig r({{{2, 1, 5}, {2, 2, 0}, {2, 3, 0}, {2, 4, 1}}});
    EXPECT_EQ(r.stat.bounds, (std::vector<int>{5}));
    EXPECT_EQ(r.stat.GetWait(), 4);
    // The elapsed wait moves on, and the pass that spent ticks allows one more step.
    EXPECT_TRUE(r.stat.CallFrame(4));
    EXPECT_EQ(r.stat.GetPattern(), 3);
    EXPECT_EQ(r.stat.GetWait(), 0);
    // A zero-wait frame advances one frame per call.
    EXPECT_TRUE(r.stat.CallFrame(0));
    EXPECT_EQ(r.stat.GetPattern(), 4);
    EXPECT_EQ(r.stat.bounds, (std::vector<int>{5, 1}));

    // The real generator stays below the bound.
    ZRAnimeData d;
    ASSERT_TRUE(LoadBytes(d, AnmFile({{{2, 1, 3}}, {{2, 1, 0}}})));
    ZRAnimeStat real;
    real.SetAnimeData(&d);
    for (int i = 0; i < 200; ++i) {
        real.StartGroup(0);
        EXPECT_LT(real.GetWait(), 3);
    }
    real.StartGroup(1);
    EXPECT_EQ(real.GetWait(), 0);
}

TEST(ZRAnimeStat, GroupsStartsPauseAndMissingData) {
    FixedStat unbound;
    EXPECT_TRUE(unbound.CheckModified());
    EXPECT_FALSE(unbound.CallFrame(1));
    EXPECT_FALSE(unbound.StartFrame(0));
    EXPECT_TRUE(unbound.StartGroup(3));
    EXPECT_EQ(unbound.GetGroup(), 3);
    EXPECT_EQ(unbound.GetPattern(), 0);

    Rig r({{{1, 1, 1}, {1, 2, 1}}, {}, {{0, 4, 0}}});
    EXPECT_FALSE(r.stat.StartGroup(-1));
    EXPECT_FALSE(r.stat.StartGroup(16));
    EXPECT_EQ(r.stat.GetGroup(), 0);
    // An empty group shows pattern 0 and rests.
    EXPECT_TRUE(r.stat.StartGroup(1));
    EXPECT_EQ(r.stat.GetPattern(), 0);
    EXPECT_EQ(r.stat.GetMode(), 0);
    EXPECT_FALSE(r.stat.CallFrame(5));
    // A frame beyond the group is an empty frame.
    r.stat.StartGroup(0);
    EXPECT_TRUE(r.stat.StartFrame(7));
    EXPECT_EQ(r.stat.GetPattern(), 0);

    r.stat.StartGroup(0);
    r.stat.SetPause(true);
    EXPECT_FALSE(r.stat.CallFrame(10));
    EXPECT_EQ(r.stat.GetTicks(), 0);
    r.stat.SetPause(false);
    EXPECT_TRUE(r.stat.CallFrame(1));
    EXPECT_EQ(r.stat.GetFrame(), 1);

    r.stat.SetPause(true);
    r.stat.InitStat();
    EXPECT_FALSE(r.stat.GetPause());
    EXPECT_EQ(r.stat.GetFrame(), 0);
    EXPECT_TRUE(r.stat.CheckModified());
}

TEST(ZRAnimeStat, OnceIsClearedWhenThePlayerComesToRestOrMovesOn) {
    Rig r({{{1, 1, 1}, {0, 2, 1}}, {{3, 3, 2}}, {{4, 5, 1}}, {{0, 6, 0}}});
    r.stat.SetOnceFlag();
    r.stat.CallFrame(1);
    EXPECT_TRUE(r.stat.CheckOnceFlag());
    r.stat.CallFrame(1);
    EXPECT_FALSE(r.stat.CheckOnceFlag());

    // Already resting: the flag stays set.
    r.stat.SetOnceFlag();
    r.stat.CallFrame(1);
    EXPECT_TRUE(r.stat.CheckOnceFlag());

    r.stat.StartGroup(1);
    r.stat.SetOnceFlag();
    r.stat.CallFrame(2);
    EXPECT_FALSE(r.stat.CheckOnceFlag());

    r.stat.StartGroup(2);
    r.stat.SetOnceFlag();
    r.stat.CallFrame(1);
    EXPECT_EQ(r.stat.GetGroup(), 3);
    EXPECT_FALSE(r.stat.CheckOnceFlag());
}

TEST(ZRAnimeStat, TicksSaturateInsteadOfOverflowing) {
    Rig r({{{0, 1, 0}}});
    r.stat.CallFrame(0x7FFFFFF0);
    r.stat.CallFrame(0x7FFFFFF0);
    EXPECT_EQ(r.stat.GetTicks(), 0x7FFFFFFF);
}

}  // namespace
