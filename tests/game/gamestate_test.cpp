#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "foundation/zrstd.h"
#include "game/gamedata.h"
#include "game/maint.h"
#include "tests/game/savefixture.h"

namespace {

using Image = std::vector<uint8_t>;
using savefixture::Gbk;
using savefixture::Z;

// The first offset where two images differ, for readable failures.
size_t FirstDiff(const Image& a, const Image& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i]) return i;
    return a.size() == b.size() ? SIZE_MAX : std::min(a.size(), b.size());
}

Image Encoded(const GameState& s) {
    Image img(kGameStateSize);
    s.Encode(img.data());
    return img;
}

// One number of the stored image: where it sits, how wide it is, and how the decoded state
// shows it.
struct Field {
    size_t offset;
    int width;
    int64_t value;
    std::function<int64_t(const GameState&)> get;
};

void Poke(Image& img, size_t offset, int width, int64_t value) {
    for (int i = 0; i < width; ++i)
        img[offset + i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
}

#define F(off, w, v, expr)                                              \
    Field {                                                             \
        off, w, v, [](const GameState& s) -> int64_t { return (expr); } \
    }

// Every field with a value unlike its reset value; texts are checked separately.
const std::vector<Field>& Fields() {
    static const std::vector<Field> fields = {
        F(0, 1, 4, s.GetWaitState()),
        F(1, 1, 0x80, s.GetFlag(7) * 0x80),
        F(64, 1, 0x80, s.GetFlag(511) * 0x80),
        F(72, 1, 0x80, s.GetSysFlagCopy(63) * 0x80),
        F(76, 4, -3, s.GetValue(0)),
        F(328, 4, 123456, s.GetValue(63)),
        F(360, 4, 9, s.GetSysValueCopy(7)),
        F(2412, 4, -7, s.GetResult()),
        F(2416, 4, 8, s.GetArg()),
        F(2420, 4, 3, s.Stage),
        F(2424, 1, 12, s.Month),
        F(2425, 1, 31, s.Day),
        F(2426, 1, 23, s.Hour),
        F(2427, 1, 59, s.Minute),
        F(2428, 4, 59999000, s.Millis),
        F(2432, 4, 2, s.Period),
        F(2436, 1, 4, s.LimitMonth),
        F(2437, 1, 3, s.LimitDay),
        F(2438, 1, 12, s.LimitHour),
        F(2439, 1, 30, s.LimitMinute),
        F(2440, 4, 200, s.GetRainPower()),
        F(2508, 4, 0xCAFEBABE, s.Stack[0]),
        F(3528, 4, 0x11223344, s.Stack[255]),
        F(3532, 4, 2, s.StackBase),
        F(3536, 4, 5, s.StackTop),
        F(3540, 4, 17, s.ScriptNo),
        F(3544, 4, 0x89ABCDEF, s.ScriptSum),
        F(3548, 4, 0x4321, s.Pc),
        F(3552, 1, 0, s.Halted),
        F(3553, 1, 1, s.Waiting),
        F(3556, 4, 5, s.Frames[0].ScriptNo),
        F(3560, 4, 6, s.Frames[0].Checksum),
        F(3564, 4, 7, s.Frames[0].ReturnPc),
        F(3568, 4, 1, s.Frames[0].Base),
        F(3572, 4, 2, s.Frames[0].Top),
        F(3576, 4, -1, s.Frames[0].Result),
        F(3580, 4, 9, s.Frames[0].Arg),
        F(3556 + 63 * 28, 4, 44, s.Frames[63].ScriptNo),
        F(5344, 4, 45, s.Frames[63].Arg),
        F(5348, 4, 2, s.CallDepth),
        F(5352, 4, 5, s.GetWeather()),
        F(5356, 4, 998, s.BgShown),
        F(5360, 4, 500, s.BgStaged),
        F(5364, 4, 7, s.FadeSpeed),
        F(5368, 4, 3, s.CharShown.ShowId[0]),
        F(5368 + 52, 4, 55, s.CharShown.MoveFrom[6]),
        F(5368 + 62, 1, 1, s.CharShown.ShowFlag[6]),
        F(5368 + 64, 4, 4, s.CharShown.LeaveId[0]),
        F(5368 + 116, 4, 77, s.CharShown.MoveTo[6]),
        F(5368 + 126, 1, 1, s.CharShown.LeaveFlag[6]),
        F(5500, 4, 8, s.CharStaged.ShowId[1]),
        F(5622, 1, 1, s.CharStaged.LeaveFlag[6]),
        F(5630, 1, 1, s.SpeakShown[6]),
        F(5631, 1, 1, s.SpeakStaged[0]),
        F(5640, 4, 3, s.PriorityShown),
        F(5644, 4, 1, s.PriorityStaged),
        F(5648, 1, 1, s.NovelMode),
        F(5649, 1, 1, s.TextWindowShown),
        F(5650, 1, 5, s.Reserved[0]),
        F(5651, 1, 6, s.Reserved[1]),
        F(5652, 1, 0, s.CursorShown),
        F(5653, 1, 1, s.SkipDisabled),
        F(5656, 4, 4, s.PlaceCard),
        F(5916, 4, 42, s.MessageId),
        F(5920, 1, 1, s.MessageRead),
        F(6772, 4, 15, s.PageLine),
        F(6776, 4, 3000, s.TextSpeed),
        F(59780, 4, 998, s.BacklogHead),
        F(59784, 4, 1, s.BacklogTail),
        F(60000, 4, 6, s.MusicTrack),
        F(60004, 4, 50, s.MusicVolume),
        F(60008, 4, 40, s.VoiceVolume),
        F(60012, 4, 1, s.VoicePos[0]),
        F(60016, 4, 2, s.VoicePos[1]),
        F(60020, 4, 30, s.SeVolume),
        F(60024, 4, 3, s.SePos[0]),
        F(60028, 4, 4, s.SePos[1]),
        F(60032, 4, 7, s.EnvTrack),
        F(60036, 4, 20, s.EnvVolume),
        F(60040, 4, 5, s.EnvPos[0]),
        F(60044, 4, 6, s.EnvPos[1]),
        F(60048, 4, 7, s.EnvNextPos[0]),
        F(60052, 4, 8, s.EnvNextPos[1]),
        F(60056, 4, 2, s.RainSoundLevel),
        F(60060, 4, 10, s.RainVolume),
        F(60064, 4, 11, s.ExSelArg),
        F(60068, 4, 12, s.MovieNo),
        F(60072, 4, 1, s.BattleResult),
    };
    return fields;
}

struct TextField {
    size_t offset;
    const char* text;
    std::function<ZRString(const GameState&)> get;
};

#define T(off, text, expr)                                   \
    TextField {                                              \
        off, text, [](const GameState& s) { return (expr); } \
    }

const std::vector<TextField>& Texts() {
    static const std::vector<TextField> texts = {
        T(364, "abc", s.GetStringVar(0)),
        T(364 + 15 * 128, "xyz", s.GetStringVar(15)),
        T(2444, "Scene01", s.GetSceneName()),
        T(5660, "message", s.GetMessageText()),
        T(5921, "p0", s.GetPageLine(0)),
        T(5921 + 15 * 53, "p15", s.GetPageLine(15)),
        // Head 998, tail 1: the ring's lines 1 and 2 sit in slots 999 and 0.
        T(6780 + 999 * 53, "b999", s.GetBacklogLine(1)),
        T(6780, "b0", s.GetBacklogLine(2)),
        T(59788, "s0", s.GetSelectText(0)),
        T(59788 + 3 * 53, "s3", s.GetSelectText(3)),
    };
    return texts;
}

Image ReferenceImage() {
    Image img(kGameStateSize, 0);
    for (const Field& f : Fields()) Poke(img, f.offset, f.width, f.value);
    for (const TextField& t : Texts()) std::memcpy(&img[t.offset], t.text, std::strlen(t.text));
    return img;
}

TEST(GameStateImage, ReferenceImageDecodesFieldByFieldAndReencodesToTheSameBytes) {
    EXPECT_EQ(kGameStateSize, 60076u);
    EXPECT_EQ(kCharSlotsSize, 128u);
    EXPECT_EQ(kSystemDataSize, 68u);
    const Image img = ReferenceImage();
    GameState s;
    ASSERT_TRUE(s.Decode(img.data(), img.size()));
    for (const Field& f : Fields()) EXPECT_EQ(f.get(s), f.value) << "offset " << f.offset;
    for (const TextField& t : Texts())
        EXPECT_STREQ(t.get(s).c_str(), t.text) << "offset " << t.offset;
    EXPECT_EQ(s.GetBacklogCount(), 4);
    EXPECT_EQ(FirstDiff(Encoded(s), img), SIZE_MAX);
}

TEST(GameStateImage, ResetValuesSitAtTheirOffsets) {
    Image want(kGameStateSize, 0);
    const std::vector<std::tuple<size_t, int, int64_t>> resets = {
        {2424, 1, 1},    {2425, 1, 1},    {2426, 1, 10},  {2440, 4, 100},  {3552, 1, 1},
        {5356, 4, 999},  {5360, 4, 999},  {5364, 4, 100}, {5650, 1, 1},    {5651, 1, 1},
        {5652, 1, 1},    {5916, 4, -1},   {6776, 4, 100}, {60000, 4, -1},  {60004, 4, 100},
        {60008, 4, 100}, {60020, 4, 100}, {60032, 4, -1}, {60036, 4, 100}, {60056, 4, -1},
        {60060, 4, 100}, {60068, 4, -1}};
    for (auto [off, w, v] : resets) Poke(want, off, w, v);
    for (size_t half : {5368u, 5496u}) {
        for (size_t part : {0u, 64u}) {
            for (int i = 0; i < 7; ++i) {
                Poke(want, half + part + 4 * i, 4, -1);
                Poke(want, half + part + 28 + 4 * i, 4, -100);
            }
        }
    }
    GameState s;
    EXPECT_EQ(FirstDiff(Encoded(s), want), SIZE_MAX);
    s = savefixture::FullState();
    s.Reset();
    EXPECT_EQ(s.GetArg(), 77);  // the argument register and the checksum survive a new game
    EXPECT_EQ(s.ScriptSum, 0xDEADBEEFu);
    // So do the frames' checksums and saved registers: only the words the VM reads back
    // through the depth are cleared.
    for (CallFrame& f : s.Frames) EXPECT_EQ(f.ScriptNo + f.ReturnPc + f.Base + f.Top, 0u);
    for (CallFrame& f : s.Frames) f = CallFrame();
    s.SetArg(0);
    s.ScriptSum = 0;
    EXPECT_EQ(FirstDiff(Encoded(s), want), SIZE_MAX);
}

// Each field the game uses as an index, divisor or bound, set just outside what the game
// can produce: the image is refused and the state keeps what it held.
TEST(GameStateImage, DecodeRefusesEveryFieldOutOfRange) {
    const std::vector<std::tuple<const char*, size_t, int, int64_t>> bad = {
        {"wait kind", 0, 1, 5},        {"month 0", 2424, 1, 0},       {"month 13", 2424, 1, 13},
        {"day 32", 2425, 1, 32},       {"hour 24", 2426, 1, 24},      {"minute 60", 2427, 1, 60},
        {"millis", 2428, 4, 59999001}, {"period", 2432, 4, 4},        {"limit month", 2436, 1, 13},
        {"limit day", 2437, 1, 32},    {"limit hour", 2438, 1, -1},   {"limit minute", 2439, 1, 60},
        {"rain", 2440, 4, 256},        {"base", 3532, 4, -1},         {"top < base", 3536, 4, 1},
        {"top", 3536, 4, 257},         {"depth", 5348, 4, 65},        {"depth < 0", 5348, 4, -1},
        {"frame top", 3572, 4, 257},   {"frame base", 3568, 4, 3},    {"weather", 5352, 4, 6},
        {"fade 0", 5364, 4, 0},        {"priority", 5640, 4, 4},      {"priority", 5644, 4, -1},
        {"page line", 6772, 4, -1},    {"text speed", 6776, 4, 3001}, {"head", 59780, 4, 1000},
        {"tail", 59784, 4, -1},
    };
    const Image good = ReferenceImage();  // depth 2, frame 0 base 1 top 2, stack base 2
    for (auto [name, off, w, v] : bad) {
        Image img = good;
        Poke(img, off, w, v);
        GameState s = savefixture::FullState();
        const Image before = Encoded(s);
        EXPECT_FALSE(s.Decode(img.data(), img.size())) << name;
        EXPECT_EQ(Encoded(s), before) << name;
    }
    // A text field without its NUL: each kind of field, at its last byte.
    const std::pair<size_t, size_t> textFields[] = {{364 + 15 * 128, 128}, {2444, 64},
                                                    {5660, 256},           {5921 + 15 * 53, 53},
                                                    {6780 + 999 * 53, 53}, {59788 + 3 * 53, 53}};
    for (auto [off, size] : textFields) {
        Image img = good;
        std::memset(&img[off], 'x', size);
        GameState s;
        EXPECT_FALSE(s.Decode(img.data(), img.size())) << "text at " << off;
    }
    // Frames above the depth are not in use; saves hold whatever was left there.
    Image img = good;
    Poke(img, 3556 + 5 * 28 + 16, 4, 999);
    GameState s;
    EXPECT_TRUE(s.Decode(img.data(), img.size()));
    // Pages that ran over in older games load as a full page.
    Poke(img, 6772, 4, 40);
    ASSERT_TRUE(s.Decode(img.data(), img.size()));
    EXPECT_EQ(s.PageLine, 16);
    EXPECT_FALSE(s.Decode(img.data(), img.size() - 1));
}

// ---- operations ----

TEST(GameStateOps, StackAndFrameFaultsRaiseAndChangeNothing) {
    const std::vector<std::pair<const char*, std::function<void(GameState&)>>> cases = {
        {"pop empty", [](GameState& g) { g.Pop(); }},
        {"peek empty", [](GameState& g) { g.Peek(); }},
        {"pop at base",
         [](GameState& g) {
             g.Push(1);
             g.Push(2);
             g.StackBase = 2;
             g.Pop();
         }},
        {"push full",
         [](GameState& g) {
             for (int i = 0; i < 257; ++i) g.Push(i);
         }},
        {"frame at 64",
         [](GameState& g) {
             for (int i = 0; i < 65; ++i) g.PushFrame(CallFrame());
         }},
        {"pop frame at 0",
         [](GameState& g) {
             CallFrame f;
             g.PopFrame(f);
         }},
        {"string var 128", [](GameState& g) { g.SetStringVar(3, Z(std::string(128, 'a'))); }},
        {"scene name 64", [](GameState& g) { g.SetSceneName(Z(std::string(64, 'a'))); }},
    };
    for (const auto& [name, op] : cases) {
        GameState g;
        bool thrown = false;
        try {
            op(g);
        } catch (const EGameErr& e) {
            thrown = true;
            EXPECT_STREQ(e.what(), "GameErr");
        }
        EXPECT_TRUE(thrown) << name;
        EXPECT_TRUE(g.IsValid()) << name;
    }
    GameState s;
    s.Push(7);
    s.Push(8);
    const Image before = Encoded(s);
    s.StackBase = 2;
    EXPECT_THROW(s.Pop(), EGameErr);
    s.StackBase = 0;
    EXPECT_EQ(Encoded(s), before);
    for (int i = 0; i < 254; ++i) s.Push(i);
    const Image full = Encoded(s);
    EXPECT_THROW(s.Push(1), EGameErr);
    EXPECT_EQ(Encoded(s), full);
    GameState g;
    g.SetStringVar(3, "old");
    EXPECT_THROW(g.SetStringVar(3, Z(std::string(128, 'a'))), EGameErr);
    EXPECT_STREQ(g.GetStringVar(3).c_str(), "");  // the slot is cleared before the check
    g.SetSceneName("keep");
    EXPECT_THROW(g.SetSceneName(Z(std::string(64, 'a'))), EGameErr);
    EXPECT_STREQ(g.GetSceneName().c_str(), "keep");
    g.PushFrame(1, 2, 3, 4, 5, 6, 7);
    CallFrame f;
    g.PopFrame(f);
    EXPECT_EQ(f.ScriptNo + f.Checksum + f.ReturnPc + f.Base + f.Top + f.Result + f.Arg, 28u);
}

TEST(GameStateOps, TextCutsKeepDoubleByteCharactersWhole) {
    const std::string han = "\xB0\xA1";  // one GBK character
    struct Case {
        std::string text;
        size_t line, message;
    };
    const std::vector<Case> cases = {
        {std::string(51, 'a') + han, 51, 53},         // byte 52 is a lead byte: cut at 51
        {std::string(50, 'a') + han + "bb", 52, 54},  // ends on a trail byte: 52
        {std::string(60, 'a'), 52, 60},
        {std::string(254, 'a') + han + std::string(44, 'a'), 52, 254},  // 300 bytes: 254
        {Gbk(300), 52, 254},
    };
    for (const Case& c : cases) {
        GameState s;
        s.SetPageLine(2, Z(c.text));
        s.SetSelectText(1, Z(c.text));
        s.SetBacklogLine(0, Z(c.text));
        s.SetMessageText(Z(c.text));
        EXPECT_EQ(static_cast<size_t>(s.GetPageLine(2).Length()), c.line);
        EXPECT_EQ(static_cast<size_t>(s.GetSelectText(1).Length()), c.line);
        EXPECT_EQ(static_cast<size_t>(s.GetBacklogLine(0).Length()), c.line);
        EXPECT_EQ(static_cast<size_t>(s.GetMessageText().Length()), c.message);
    }
}

TEST(GameStateOps, PageAndBacklog) {
    GameState s;
    // A name line goes to the backlog in brackets, body lines without.
    s.AddText("Mei");
    s.NewLine();
    s.AddText("Hello");
    s.AddText(" there");
    EXPECT_EQ(std::string(s.GetBacklogLine(0).c_str()), "\xA1\xBEMei\xA1\xBF");
    EXPECT_STREQ(s.GetBacklogLine(1).c_str(), "Hello there");
    EXPECT_STREQ(s.GetPageLine(1).c_str(), "Hello there");
    s.ClearPage();
    EXPECT_EQ(s.GetBacklogCount(), 3);
    // An empty name line opens no backlog line on the first NewLine.
    s.NewLine();
    EXPECT_EQ(s.GetBacklogCount(), 3);
    s.ClearBacklog();

    GameState f;
    f.LocateText(3, 0);
    EXPECT_EQ(std::string(f.GetPageLine(0).c_str()), "\xA1\xA1\xA1\xA1\xA1\xA1");
    EXPECT_EQ(f.GetBacklogCount(), 2);
    EXPECT_EQ(std::string(f.GetBacklogLine(1).c_str()), "\xA1\xA1\xA1\xA1\xA1\xA1");
    f.LocateText(26, 0);  // out of range: nothing
    f.LocateText(0, 16);
    EXPECT_EQ(f.GetBacklogCount(), 2);
    f.LocateText(1, 0);  // line 0 is longer than 2 bytes: the page is cleared first
    EXPECT_EQ(std::string(f.GetPageLine(0).c_str()), "\xA1\xA1");

    // The 1,001st line drops the oldest.
    GameState b;
    b.AppendBacklogLine("first");
    for (int i = 0; i < 999; ++i) b.NewBacklogLine();
    EXPECT_EQ(b.GetBacklogCount(), 1000);
    EXPECT_STREQ(b.GetBacklogLine(0).c_str(), "first");
    b.NewBacklogLine();
    EXPECT_EQ(b.BacklogHead, 1);
    EXPECT_EQ(b.GetBacklogCount(), 1000);
    EXPECT_STREQ(b.GetBacklogLine(0).c_str(), "");

    // A page that runs over stays a valid, saveable state, and lines still reach the backlog.
    GameState p;
    for (int i = 0; i < 40; ++i) {
        p.AddText("x");
        p.NewLine();
    }
    EXPECT_EQ(p.PageLine, 16);
    EXPECT_EQ(p.GetBacklogCount(), 41);
    GameState q;
    const Image img = Encoded(p);
    EXPECT_TRUE(q.Decode(img.data(), img.size()));
}

TEST(GameStateOps, MessagesAreKeyedIntoTheReadHistory) {
    ReadHist.Clear();
    ReadHist.RegisterScene(5, 1);
    GameState s;
    s.ScriptNo = 5;
    s.SetMessage(9, "hello");
    EXPECT_EQ(s.MessageRead, 0);
    s.MarkMessageRead();
    EXPECT_EQ(s.MessageId, -1);
    EXPECT_TRUE(ReadHist.IsRead(5u << 16 | 9));
    s.SetMessage(9, "again");
    EXPECT_EQ(s.MessageRead, 1);
    s.MarkMessageRead();
    EXPECT_EQ(s.MessageId, 9);  // already read: unchanged
    s.SetMessage(70000, "x");   // no key, but the id is still consumed
    s.MarkMessageRead();
    EXPECT_EQ(s.MessageId, -1);
    s.ScriptNo = 70000;
    s.SetMessage(9, "x");
    EXPECT_EQ(s.MessageRead, 0);
    ReadHist.Clear();
}

TEST(GameStateOps, FlagsValuesAndSystemCopies) {
    SystemData d = savefixture::SampleSystem();
    GameState s;
    s.CopySysFlags(d);
    s.CopySysValues(d);
    for (int i = -1; i <= 64; ++i) EXPECT_EQ(s.GetSysFlagCopy(i), d.GetFlag(i)) << i;
    for (int i = -1; i <= 8; ++i)
        EXPECT_EQ(static_cast<uint32_t>(s.GetSysValueCopy(i)), d.GetValue(i));
    s.SetFlag(511, true);
    s.SetFlag(512, true);
    s.SetFlag(-1, true);
    EXPECT_TRUE(s.GetFlag(511));
    EXPECT_FALSE(s.GetFlag(512));
    EXPECT_EQ(s.Flags[63], 0x80);
    d.SetAlbumBit(200);
    d.SetAlbumBit(199);
    EXPECT_EQ(d.Album[24] & 0x80, 0x80);
    EXPECT_TRUE(d.GetAlbumBit(199));
    EXPECT_FALSE(d.GetAlbumBit(200));
    s.SetRainPower(999);
    EXPECT_EQ(s.GetRainLevel(), 4);
    s.SetRainPower(149);
    EXPECT_EQ(s.GetRainLevel(), 2);
}

// ---- calendar ----

constexpr int kDays[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// The story's calendar as plain walks, one unit at a time; long walks settle on a real date
// first and then use the year's length, as a walk of that length would.
struct Model {
    int month, day, hour, minute;
    void Next() {
        if (day + 1 > kDays[month]) {
            day = 1;
            month = month == 12 ? 1 : month + 1;
        } else {
            ++day;
        }
    }
    void Prev() {
        if (day - 1 < 1) {
            month = month == 1 ? 12 : month - 1;
            day = kDays[month];
        } else {
            --day;
        }
    }
    void Days(int64_t n) {
        while (n != 0 && (day < 1 || day > kDays[month])) {
            n > 0 ? Next() : Prev();
            n += n > 0 ? -1 : 1;
        }
        if (std::llabs(n) < 2000) {
            for (; n > 0; --n) Next();
            for (; n < 0; ++n) Prev();
            return;
        }
        int doy = day - 1;
        for (int m = 1; m < month; ++m) doy += kDays[m];
        doy = static_cast<int>(((doy + n) % 365 + 365) % 365);
        month = 1;
        while (doy >= kDays[month]) doy -= kDays[month++];
        day = doy + 1;
    }
    void Hours(int64_t n) {
        int64_t h = hour + n;
        int64_t d = 0;
        if (std::llabs(n) < 5000) {
            while (h < 0) h += 24, --d;
            while (h >= 24) h -= 24, ++d;
        } else {
            d = h >= 0 ? h / 24 : -((-h + 23) / 24);
            h -= d * 24;
        }
        Days(d);
        hour = static_cast<int>(h);
    }
    void Minutes(int64_t n) {
        int64_t m = minute + n;
        int64_t h = m >= 0 ? m / 60 : -((-m + 59) / 60);
        Hours(h);
        minute = static_cast<int>(m - h * 60);
    }
};

void Expect(const GameState& s, const Model& m, const char* what, int64_t n) {
    ASSERT_TRUE(s.Month == m.month && s.Day == m.day && s.Hour == m.hour && s.Minute == m.minute)
        << what << "(" << n << ") gave " << int(s.Month) << "/" << int(s.Day) << " " << int(s.Hour)
        << ":" << int(s.Minute) << ", model " << m.month << "/" << m.day << " " << m.hour << ":"
        << m.minute;
}

TEST(GameStateCalendar, EveryMinuteOfTheYearAgainstAPlainWalk) {
    GameState s;
    const int64_t steps[] = {1, -1, -61, 1441, 60 * 24 * 3 + 7};
    for (int month = 1; month <= 12; ++month) {
        for (int day = 1; day <= kDays[month]; ++day) {
            for (int minuteOfDay = 0; minuteOfDay < 1440; ++minuteOfDay) {
                for (int64_t n : steps) {
                    s.Month = static_cast<int8_t>(month);
                    s.Day = static_cast<int8_t>(day);
                    s.Hour = static_cast<int8_t>(minuteOfDay / 60);
                    s.Minute = static_cast<int8_t>(minuteOfDay % 60);
                    Model m{month, day, minuteOfDay / 60, minuteOfDay % 60};
                    s.AddMinutes(static_cast<int32_t>(n));
                    m.Minutes(n);
                    Expect(s, m, "AddMinutes", n);
                }
            }
        }
    }
}

TEST(GameStateCalendar, HugeStepsFromEveryReachableDateEndWhereTheWalkWould) {
    // Every month/day pair the setters and steps can leave, including 31 February and the
    // day 0 a limit without a day leaves.
    const int64_t big[] = {INT32_MAX, INT32_MIN, 730,         731,  -731,
                           1095,      -1096,     365 * 3 + 2, 5000, -5000};
    GameState s;
    for (int month = 1; month <= 12; ++month) {
        for (int day = 0; day <= 31; ++day) {
            for (int64_t n : big) {
                for (int kind = 0; kind < 3; ++kind) {
                    s.Month = static_cast<int8_t>(month);
                    s.Day = static_cast<int8_t>(day);
                    s.Hour = 13;
                    s.Minute = 45;
                    Model m{month, day, 13, 45};
                    const int32_t n32 = static_cast<int32_t>(n);
                    if (kind == 0) s.AddDays(n32), m.Days(n);
                    if (kind == 1) s.AddHours(n32), m.Hours(n);
                    if (kind == 2) s.AddMinutes(n32), m.Minutes(n);
                    Expect(s, m, kind == 0 ? "AddDays" : kind == 1 ? "AddHours" : "AddMinutes", n);
                    if (kind == 1) {
                        EXPECT_EQ(s.Period, (s.Hour >= 17 && s.Hour <= 18)  ? 1
                                            : (s.Hour >= 19 || s.Hour <= 5) ? 2
                                            : s.Hour <= 9                   ? 3
                                                                            : 0);
                    }
                }
            }
        }
    }
}

TEST(GameStateCalendar, EdgeCases) {
    struct Case {
        const char* name;
        std::function<void(GameState&)> op;
        int month, day, hour, minute;
    };
    const std::vector<Case> cases = {
        {"31 Dec + 1",
         [](GameState& s) {
             s.SetDate(1231);
             s.NextDay();
         },
         1, 1, 10, 0},
        {"1 Jan - 1", [](GameState& s) { s.PrevDay(); }, 12, 31, 10, 0},
        {"28 Feb + 1",
         [](GameState& s) {
             s.SetDate(228);
             s.AddDays(1);
         },
         3, 1, 10, 0},
        {"00:00 - 1 minute",
         [](GameState& s) {
             s.SetTime(0);
             s.AddMinutes(-1);
         },
         12, 31, 23, 59},
        {"limit",
         [](GameState& s) {
             s.SetDate(403);
             s.SetTime(1130);
             s.SetLimitDate(403);
             s.SetLimitTime(1200);
             s.AddMinutes(45);
             s.AddDays(1);
         },
         4, 3, 12, 0},
        {"SetDate(1332)", [](GameState& s) { s.SetDate(1332); }, 1, 1, 10, 0},
        {"SetDate(20431)", [](GameState& s) { s.SetDate(20431); }, 4, 1, 10, 0},
        {"day of the month",
         [](GameState& s) {
             s.SetDate(230);
             s.SetMonth(2);
             s.SetDay(29);
         },
         2, 1, 10, 0},
        {"31 Feb is kept",
         [](GameState& s) {
             s.SetDay(31);
             s.SetMonth(2);
         },
         2, 31, 10, 0},
        {"31 Feb + 1",
         [](GameState& s) {
             s.SetDay(31);
             s.SetMonth(2);
             s.NextDay();
         },
         3, 1, 10, 0},
        {"31 Feb - 1",
         [](GameState& s) {
             s.SetDay(31);
             s.SetMonth(2);
             s.PrevDay();
         },
         2, 30, 10, 0},
        {"bad hour refused", [](GameState& s) { s.SetTime(2460); }, 1, 1, 10, 0},
        {"SetTime",
         [](GameState& s) {
             s.SetSeconds(30);
             s.SetTime(1805);
         },
         1, 1, 18, 5},
    };
    for (const Case& c : cases) {
        GameState s;
        c.op(s);
        EXPECT_TRUE(s.Month == c.month && s.Day == c.day && s.Hour == c.hour &&
                    s.Minute == c.minute)
            << c.name << ": " << int(s.Month) << "/" << int(s.Day) << " " << int(s.Hour) << ":"
            << int(s.Minute);
    }
    GameState s;
    s.SetTime(0);
    s.AddMinutes(-1);
    EXPECT_EQ(s.Period, 2);
    s.SetTime(1805);
    EXPECT_EQ(s.Period, 1);
    EXPECT_EQ(s.Millis, 0u);
    s.SetDate(403);
    s.SetTime(1130);
    s.SetSeconds(10);
    s.SetLimitDate(403);
    s.SetLimitTime(1200);
    s.AddMinutes(45);
    EXPECT_EQ(s.Millis, 0u);
    EXPECT_TRUE(s.IsWithinLimit());  // held at the limit, not past it
    s.AddDays(1);
    EXPECT_EQ(s.Day, 3);
    EXPECT_EQ(GetWeekdayOf(1, 1), 0);
    EXPECT_EQ(GetWeekdayOf(3, 1), 59 % 7);
    EXPECT_EQ(GetWeekdayOf(13, 1), 0);
    EXPECT_EQ(CompareDateTime(4, 3, 12, 0, 4, 3, 12, 0), 0);
    EXPECT_EQ(CompareDateTime(4, 3, 11, 59, 4, 3, 12, 0), -1);
    EXPECT_EQ(CompareDateTime(5, 1, 0, 0, 4, 30, 23, 59), 1);
}

// Whatever sequence of operations the game runs, the state stays one a save can hold.
TEST(GameStateOps, RandomOperationsKeepTheStateValid) {
    for (uint32_t seed = 1; seed <= 30; ++seed) {
        GameState s;
        std::mt19937 rng(seed);
        for (int i = 0; i < 400; ++i) {
            savefixture::RandomOp(s, rng);
            ASSERT_TRUE(s.IsValid()) << "seed " << seed << " step " << i;
        }
        const Image img = Encoded(s);
        GameState t;
        ASSERT_TRUE(t.Decode(img.data(), img.size()));
        EXPECT_EQ(Encoded(t), img);
    }
}

}  // namespace
