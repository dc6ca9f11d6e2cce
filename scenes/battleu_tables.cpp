// The battle tables: reel strips and the eight battle records, read from the game archive's
// CSV files.
#include <algorithm>
#include <cstdio>

#include "foundation/zrcsvread.h"
#include "foundation/zrfileman.h"
#include "foundation/zrstream.h"
#include "scenes/battleu_core.h"

ReelTable BattleReelTable = {};
BattleRecord BattleRecords[kBattles];

namespace {

int32_t GaugeOrDefault(int32_t v) {
    return v <= 0 ? 1000 : v;
}
int32_t NotBelowZero(int32_t v) {
    return v < 0 ? 0 : v;
}

}  // namespace

bool ReadBattleReels(ZRStream* stream, ReelTable& out) {
    if (!stream) return false;
    ZRCsvRead csv;
    if (!csv.Read(stream)) return false;
    if (csv.GetSizeY() < kReelSets * kReels || csv.GetSizeX() < kReelSymbols) return false;
    for (int s = 0; s < kReelSets; ++s)
        for (int r = 0; r < kReels; ++r)
            for (int i = 0; i < kReelSymbols; ++i) {
                const int v = csv.GetValue(i, s * kReels + r);
                out[s][r][i] = v >= 0 && v <= 8 ? v : 4;
            }
    return true;
}

bool ReadBattleData(ZRStream* stream, BattleRecord (&out)[kBattles]) {
    for (BattleRecord& r : out) r = BattleRecord{};
    if (!stream) return false;
    ZRCsvRead csv;
    // A table without a single data row is an empty table, not a missing one.
    if (!csv.Read(stream)) return true;
    for (int y = 0; y < csv.GetSizeY(); ++y) {
        const int n = csv.GetValue(0, y);
        if (n < 0 || n >= kBattles) continue;
        BattleRecord r;
        r.valid = true;
        csv.SetPos(1, y);
        r.enemyChar = csv.GetValue();
        r.enemyGauge = GaugeOrDefault(csv.GetValue());
        r.enemyDamage = NotBelowZero(csv.GetValue());
        r.missChance = csv.GetValue();
        r.enemyMovie = csv.GetValue();
        r.playerGauge = GaugeOrDefault(csv.GetValue());
        r.reelSet = csv.GetValue();
        for (int32_t& d : r.rDamage) d = NotBelowZero(csv.GetValue());
        r.rGuard = csv.GetValue();
        r.rEvade = csv.GetValue();
        for (int32_t& d : r.bDamage) d = NotBelowZero(csv.GetValue());
        r.bGuard = csv.GetValue();
        r.bEvade = csv.GetValue();
        out[n] = r;
    }
    return true;
}

bool LoadBattleTables(ZRFileMan* archive) {
    if (!archive) return false;
    ZRStream* reel = archive->Open("BtlReel.csv");
    if (!reel) return false;
    const bool reelsOk = ReadBattleReels(reel, BattleReelTable);
    archive->Close(reel);
    if (!reelsOk) return false;
    ZRStream* data = archive->Open("BtlData.csv");
    if (!data) {
        for (BattleRecord& r : BattleRecords) r = BattleRecord{};
        return false;
    }
    const bool dataOk = ReadBattleData(data, BattleRecords);
    archive->Close(data);
    return dataOk;
}

int32_t GaugeStep(int32_t maximum) {
    return std::max<int32_t>(1, maximum / 50);
}

int32_t DamageDigits(int64_t value, int32_t (&digits)[5]) {
    int32_t v = static_cast<int32_t>(std::clamp<int64_t>(value, 0, 99999));
    int32_t n = 0;
    for (int32_t& d : digits) d = 0;
    do {
        digits[n++] = v % 10;
        v /= 10;
    } while (v > 0 && n < 5);
    return n;
}
