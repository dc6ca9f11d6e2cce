// Reads both battle tables from one input (the first byte sets where the reel table ends),
// checks the set-up of every battle number from -1 to 8, then plays a battle with the rest of
// the input as its random numbers and stop key.
#include <cstddef>
#include <cstdint>

#include "foundation/zrstream.h"
#include "scenes/battleu_core.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 1 << 16) return 0;
    const size_t split = 1 + (size - 1) * data[0] / 255;
    static ReelTable reels;
    static BattleRecord records[kBattles];
    ZRMemoryStream reelStream(data + 1, static_cast<int>(split - 1));
    ZRMemoryStream dataStream(data + split, static_cast<int>(size - split));
    if (!ReadBattleReels(&reelStream, reels)) return 0;
    ReadBattleData(&dataStream, records);
    for (const auto& set : reels)
        for (const auto& reel : set)
            for (int32_t s : reel)
                if (s < 0 || s > 8) __builtin_trap();

    size_t pos = 0;
    auto next = [&]() -> uint8_t { return size ? data[pos++ % size] : 0; };
    BattleCore core([&](int n) { return n > 0 ? next() % n : 0; });
    for (int n = -1; n <= kBattles; ++n) {
        const bool ok = core.Prepare(n, reels, records);
        const bool expect = n >= 0 && n < kBattles && records[n].valid && records[n].reelSet >= 0 &&
                            records[n].reelSet < kReelSets;
        if (ok != expect) __builtin_trap();
    }
    int battle = -1;
    for (int n = 0; n < kBattles && battle < 0; ++n)
        if (core.Prepare(n, reels, records)) battle = n;
    if (battle < 0) return 0;
    core.Start();
    for (int f = 0; f < 3000 && !core.finished; ++f) {
        BattleInput in;
        const uint8_t key = next();
        in.confirm = key & 1;
        in.direction = (key >> 1) & 7;
        core.Step(1 + (key >> 7), in);
        if (core.playerGauge < 0 || core.enemyGauge < 0) __builtin_trap();
        for (const ReelRecord& r : core.reels)
            if (r.position < 0 || r.position >= kReelUnits) __builtin_trap();
        if (core.digitCount < 0 || core.digitCount > 5) __builtin_trap();
    }
    return 0;
}
