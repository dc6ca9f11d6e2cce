// Reference save data for tests, benchmarks and fuzz seeds: states as a long play leaves
// them (every text field full of GBK text, the backlog wrapped round, frames and stack in
// use), states built by random sequences of the operations the game makes, a thumbnail, and
// the file images of slot and system saves made from them.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "game/gamedata.h"
#include "game/maint.h"

namespace savefixture {

// n bytes of GBK text: double-byte characters (ASCII where one byte is left).
inline std::string Gbk(size_t n, uint32_t seed = 1) {
    std::string s;
    std::mt19937 rng(seed);
    while (s.size() + 2 <= n) {
        s += static_cast<char>(0xB0 + rng() % 0x28);  // level-1 hanzi rows
        s += static_cast<char>(0xA1 + rng() % 0x5E);
    }
    if (s.size() < n) s += 'a';
    return s;
}

inline ZRString Z(const std::string& s) {
    return ZRString(s.c_str());
}

// A state with every field in use and every text field filled to its limit.
inline GameState FullState(uint32_t seed = 7) {
    GameState s;
    std::mt19937 rng(seed);
    for (int i = 0; i < GameState::kFlags; i += 3) s.SetFlag(i, true);
    for (int i = 0; i < GameState::kValues; ++i) s.SetValue(i, static_cast<int32_t>(rng()));
    for (int i = 0; i < GameState::kStringVars; ++i) s.SetStringVar(i, Z(Gbk(127, seed + i)));
    s.SetResult(-5);
    s.SetArg(77);
    s.SetStage(12);
    s.SetDate(1130);
    s.SetTime(2359);
    s.SetSeconds(42);
    s.SetLimitDate(1224);
    s.SetLimitTime(1800);
    s.SetRainPower(180);
    s.SetWeather(3);
    s.SetSceneName(Z(Gbk(63, seed)));
    for (int i = 0; i < 200; ++i) s.Push(rng());
    s.StackBase = 150;
    for (int i = 0; i < 40; ++i) s.PushFrame(i, rng(), rng(), i, i + 3, -i, i * 2);
    s.ScriptNo = 321;
    s.ScriptSum = 0xDEADBEEF;
    s.Pc = 0x1234;
    s.Halted = 0;
    s.BgShown = 512;
    s.BgStaged = 513;
    for (int i = 0; i < CharSlots::kSlots; ++i) {
        s.CharShown.ShowId[i] = i + 10;
        s.CharShown.MoveFrom[i] = i * 40;
        s.CharStaged.ShowId[i] = i + 20;
        s.SpeakShown[i] = i & 1;
    }
    s.PriorityShown = 2;
    s.NovelMode = 1;
    s.TextWindowShown = 1;
    s.PlaceCard = 9;
    s.SetMessage(33, Z(Gbk(255, seed)));
    for (int i = 0; i < 1100; ++i) {
        s.AddText(Z(Gbk(52, seed + i)));
        s.NewLine();
    }
    for (int i = 0; i < GameState::kPageLines; ++i) s.SetPageLine(i, Z(Gbk(52, seed * 3 + i)));
    s.PageLine = 15;
    for (int i = 0; i < GameState::kSelectTexts; ++i) s.SetSelectText(i, Z(Gbk(52, seed + 99 + i)));
    s.MusicTrack = 4;
    s.MusicVolume = 80;
    s.EnvTrack = 2;
    s.EnvPos[0] = 100;
    s.RainSoundLevel = 3;
    s.MovieNo = 5;
    return s;
}

// One of the operations scripts and scenes apply, chosen by the generator. Operations that
// raise EGameErr are part of the mix: the state must stay usable after them.
inline void RandomOp(GameState& s, std::mt19937& rng) {
    auto r = [&](int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
    };
    try {
        switch (r(0, 27)) {
            case 0:
                s.SetFlag(r(-2, 520), r(0, 1));
                break;
            case 1:
                s.SetValue(r(-1, 65), r(INT32_MIN, INT32_MAX));
                break;
            case 2:
                s.SetStringVar(r(-1, 16), Z(Gbk(static_cast<size_t>(r(0, 130)), rng())));
                break;
            case 3:
                s.SetDate(r(-100, 20000));
                break;
            case 4:
                s.SetTime(r(-100, 3000));
                break;
            case 5:
                s.SetLimitDate(r(0, 1300));
                break;
            case 6:
                s.SetLimitTime(r(0, 2500));
                break;
            case 7:
                s.AddDays(r(-800, 800));
                break;
            case 8:
                s.AddHours(r(INT32_MIN, INT32_MAX));
                break;
            case 9:
                s.AddMinutes(r(-5000, 5000));
                break;
            case 10:
                s.SetSeconds(r(-1, 70000));
                break;
            case 11:
                s.SetWeather(r(-1, 7));
                break;
            case 12:
                s.SetRainPower(r(-50, 400));
                break;
            case 13:
                s.Push(rng());
                break;
            case 14:
                s.Pop();
                break;
            case 15:
                s.PushFrame(r(0, 9), rng(), rng(), s.StackBase, s.StackTop, s.GetResult(),
                            s.GetArg());
                break;
            case 16: {
                CallFrame f;
                s.PopFrame(f);
                break;
            }
            case 17:
                s.SetMessage(r(-2, 70000), Z(Gbk(static_cast<size_t>(r(0, 300)), rng())));
                break;
            case 18:
                s.MarkMessageRead();
                break;
            case 19:
                s.AddText(Z(Gbk(static_cast<size_t>(r(0, 60)), rng())));
                break;
            case 20:
                s.NewLine();
                break;
            case 21:
                s.ClearPage();
                break;
            case 22:
                s.LocateText(r(-1, 27), r(-1, 17));
                break;
            case 23:
                for (int i = r(0, 1200); i > 0; --i) s.NewBacklogLine();
                break;
            case 24:
                s.SetSelectText(r(-1, 4), Z(Gbk(static_cast<size_t>(r(0, 60)), rng())));
                break;
            case 25:
                s.SetSceneName(Z(Gbk(static_cast<size_t>(r(0, 70)), rng())));
                break;
            case 26:
                s.ResetScreen();
                break;
            case 27:
                s.SetMonth(r(0, 13));
                s.SetDay(r(0, 32));
                break;
        }
    } catch (const EGameErr&) {
    }
}

inline GameState RandomState(uint32_t seed, int ops = 300) {
    GameState s;
    std::mt19937 rng(seed);
    for (int i = 0; i < ops; ++i) RandomOp(s, rng);
    return s;
}

// A 167 x 93 picture of 4-byte pixels, a gradient as the drawing code would give.
inline std::vector<uint8_t> Thumbnail() {
    std::vector<uint8_t> t(kThumbnailMaxSize);
    for (size_t i = 0; i < t.size(); i += 4) {
        const size_t px = i / 4;
        t[i] = static_cast<uint8_t>(px % 167);
        t[i + 1] = static_cast<uint8_t>(px / 167);
        t[i + 2] = static_cast<uint8_t>(px * 7);
        t[i + 3] = 0;
    }
    return t;
}

// A history of several scenes with ranges, one scene re-registered under a new version.
inline ReadHistory SampleHistory(int scenes = 40) {
    ReadHistory h;
    for (int sc = 0; sc < scenes; ++sc) {
        h.RegisterScene(static_cast<uint32_t>(sc * 3), 1000u + sc);
        for (uint32_t line = 1; line < 400; line += 1 + (line * 7 + sc) % 5)
            h.MarkRead(static_cast<uint32_t>(sc * 3) << 16 | line);
    }
    h.RegisterScene(3, 5);
    return h;
}

inline SystemData SampleSystem() {
    SystemData d;
    for (int i = 0; i < SystemData::kFlags; i += 5) d.SetFlag(i, true);
    for (int i = 0; i < SystemData::kValues; ++i) d.SetValue(i, 0x01020304u * (i + 1));
    for (int i = 0; i < SystemData::kAlbumBits; i += 3) d.SetAlbumBit(i);
    return d;
}

inline std::string SlotFile(const GameState& cur, const GameState& snap,
                            const std::vector<uint8_t>& thumb = {}) {
    std::string out;
    if (!EncodeSlotSave(cur, snap, static_cast<uint32_t>(thumb.size()), thumb.data(), out))
        out.clear();
    return out;
}

inline std::string SystemFile(const SystemData& sys, const ReadHistory& hist) {
    std::string out;
    if (!EncodeSystemSave(sys, hist, out)) out.clear();
    return out;
}

}  // namespace savefixture
