// The character display list: references, layouts, the room each show code makes, swaps, the
// refused slots 7-15, and random sequences of operations that must never put two characters
// in one slot or lose one on the way back into the slots.
#include "script/scrchar.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "game/gamedata.h"

namespace {

// Characters 10 + s standing still in the given slots.
CharDisplayList Standing(std::initializer_list<int> slots) {
    CharSlots c;
    uint8_t speak[7] = {};
    for (int s : slots) c.ShowId[s] = 10 + s;
    CharDisplayList l;
    l.Build(c, speak);
    return l;
}

// slot -> id of the entries standing in 0-6, and from-slot -> to of those leaving.
std::map<int, int> Stands(const CharDisplayList& l) {
    std::map<int, int> m;
    for (const CharEntry& e : l.Entries())
        if (e.to >= 0 && e.to <= 6) m[e.to] = e.id;
    return m;
}
std::map<int, int> Leaves(const CharDisplayList& l) {
    std::map<int, int> m;
    for (const CharEntry& e : l.Entries())
        if (e.to < 0 || e.to > 6) {
            m[e.id] = e.to;
            EXPECT_EQ(e.flag, 1) << "a character leaving without its effect flag";
        }
    return m;
}

constexpr int X = 99;

TEST(CharList, HideSendsOffTheNearEdgeOrFadesInPlace) {
    CharDisplayList a = Standing({1});
    ASSERT_TRUE(a.Hide(0x101, 624, kCharModeAlone));
    EXPECT_EQ(Leaves(a), (std::map<int, int>{{11, -1}}));
    CharDisplayList b = Standing({3});
    ASSERT_TRUE(b.Hide(0x103, 624, kCharModeAlone));
    EXPECT_EQ(Leaves(b), (std::map<int, int>{{13, 23}}));
    // A slide that ends inside the stage still leaves: it fades where it ends.
    CharDisplayList c = Standing({4});
    ASSERT_TRUE(c.Hide(0x104, 512, kCharModeAlone));
    EXPECT_EQ(Leaves(c), (std::map<int, int>{{14, 22}}));
    // Codes a hide does not take.
    for (int code : {544, 608, 0x1FF, 0x300, 5})
        EXPECT_FALSE(Standing({3}).Hide(0x103, code, kCharModeAlone)) << code;
    EXPECT_FALSE(Standing({3}).Hide(0x103, 624, kCharModeInPlace));
}

// Sliding codes run on past the stage edge by as many columns as they say.
TEST(CharList, SlidesReachColumnsBeyondTheEdge) {
    const struct {
        const char* what;
        int slot, code;
        int to;
    } leaves[] = {
        {"hide slot 0 two to the left", 0, 512, -2},
        {"hide slot 1 seven to the left", 1, 519, -6},
        {"hide slot 6 two to the right", 6, 528, 8},
        {"hide slot 2 seven to the right", 2, 535, 9},
    };
    for (const auto& c : leaves) {
        SCOPED_TRACE(c.what);
        CharDisplayList l = Standing({c.slot});
        ASSERT_TRUE(l.Hide(0x100 + c.slot, c.code, kCharModeAlone));
        EXPECT_EQ(Leaves(l), (std::map<int, int>{{10 + c.slot, c.to}}));
    }
    CharDisplayList move = Standing({6});
    ASSERT_TRUE(move.Move(0x106, 535, kCharModeInPlace));
    EXPECT_EQ(Leaves(move), (std::map<int, int>{{16, 13}}));
    CharDisplayList all = Standing({0, 5});
    ASSERT_TRUE(all.AllMove(519));
    EXPECT_EQ(Leaves(all), (std::map<int, int>{{10, -7}, {15, -2}}));

    const struct {
        int slot, code, from;
    } shows[] = {{5, 519, 12}, {0, 535, -7}, {6, 513, 7}, {3, 531, 0}};
    for (const auto& c : shows) {
        SCOPED_TRACE(testing::Message() << "show into " << c.slot << " with " << c.code);
        CharDisplayList l = Standing({});
        ASSERT_TRUE(l.Show(X, c.slot, kCharModeInPlace, c.code));
        ASSERT_EQ(l.Entries().size(), 1u);
        EXPECT_EQ(l.Entries()[0].from, c.from);
        EXPECT_EQ(l.Entries()[0].to, c.slot);
        // Folded into the slots and out again, the far column survives.
        GameState st;
        l.WriteBack(st.CharStaged, st.SpeakStaged);
        EXPECT_EQ(st.CharStaged.MoveFrom[c.slot], c.from);
    }
}

TEST(CharList, LayoutsForOneToSixCharacters) {
    const std::vector<int> layouts[] = {
        {}, {3}, {1, 5}, {1, 3, 5}, {0, 2, 4, 6}, {1, 2, 3, 4, 5}, {0, 1, 2, 4, 5, 6}};
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE(n);
        // n + 1 characters side by side; the rightmost leaves and the rest close ranks.
        CharDisplayList l;
        CharSlots c;
        uint8_t speak[7] = {};
        for (int s = 0; s <= n; ++s) c.ShowId[s] = 10 + s;
        l.Build(c, speak);
        ASSERT_TRUE(l.Hide(0x100 + n, 624, kCharModeMakeRoom));
        std::map<int, int> want;
        for (int k = 0; k < n; ++k) want[layouts[n][static_cast<size_t>(k)]] = 10 + k;
        EXPECT_EQ(Stands(l), want);
    }
    CharDisplayList three = Standing({0, 3, 6});
    ASSERT_TRUE(three.Hide(0x103, 624, kCharModeMakeRoom));
    EXPECT_EQ(Stands(three), (std::map<int, int>{{1, 10}, {5, 16}}));
}

TEST(CharList, References) {
    const CharDisplayList l = Standing({1, 2, 5, 6});
    auto id = [&](int ref) {
        const int i = l.Find(ref);
        return i < 0 ? -1 : l.Entries()[static_cast<size_t>(i)].id;
    };
    EXPECT_EQ(id(0x102), 12);
    EXPECT_EQ(id(0x103), -1);
    EXPECT_EQ(id(0x110), 11);
    EXPECT_EQ(id(0x113), 16);
    EXPECT_EQ(id(0x114), -1);
    EXPECT_EQ(id(0x130), 12);  // (4 - 1) / 2 = 1
    EXPECT_EQ(Standing({0, 4, 6}).Find(0x130), 1);
    EXPECT_EQ(Standing({}).Find(0x130), -1);
    for (int ref : {0x131, 0x1FF, 0x200, 0xFF, -1}) EXPECT_EQ(id(ref), -1) << ref;
    // 0x107-0x10F name no slot, not even one whose character leaves by the right edge.
    CharDisplayList leaving = Standing({6});
    ASSERT_TRUE(leaving.Hide(0x106, 624, kCharModeAlone));
    for (int ref = 0x107; ref <= 0x10F; ++ref) EXPECT_EQ(leaving.Find(ref), -1) << ref;
}

TEST(CharList, RoomForEachShowCode) {
    const struct {
        std::initializer_list<int> standing;
        int slot, code, mode;
        std::map<int, int> stands, leaves;
    } cases[] = {
        // From the right: the one in the slot leaves to the right, those left of it step aside.
        {{1, 3, 5}, 3, 512, kCharModeMakeRoom, {{3, X}, {5, 15}}, {{11, -1}, {13, 7}}},
        {{2, 3}, 3, 528, kCharModeMakeRoom, {{2, 12}, {3, X}}, {{13, -1}}},
        {{2, 3, 4}, 3, 544, kCharModeMakeRoom, {{2, 12}, {3, X}, {4, 14}}, {{13, 23}}},
        {{0, 1, 2, 4, 5},
         3,
         608,
         kCharModeMakeRoom,
         {{0, 11}, {2, 12}, {3, X}, {4, 14}, {6, 15}},
         {{10, -1}}},
        {{5, 6}, 6, 608, kCharModeMakeRoom, {{3, 15}, {6, X}}, {{16, 7}}},
        {{0, 1}, 0, 608, kCharModeMakeRoom, {{0, X}, {3, 11}}, {{10, -1}}},
        {{4}, 4, 576, kCharModeMakeRoom, {{4, X}}, {{14, 44}}},
        {{4}, 4, 592, kCharModeMakeRoom, {{4, X}}, {{14, 34}}},
        {{0, 6}, 3, 0x2A0, kCharModeMakeRoom, {{0, 10}, {3, X}, {6, 16}}, {}},
        // In place: only the one in the slot makes way, towards where the new one comes from.
        {{2, 3}, 3, 513, kCharModeInPlace, {{2, 12}, {3, X}, {4, 13}}, {}},
        // ...unless someone stands there: then it fades where it is.
        {{3, 4}, 3, 513, kCharModeInPlace, {{3, X}, {4, 14}}, {{13, 23}}},
        {{}, 2, 529, kCharModeInPlace, {{2, X}}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "slot " << c.slot << " code " << c.code << " mode " << c.mode);
        CharDisplayList l = Standing(c.standing);
        ASSERT_TRUE(l.Show(X, c.slot, c.mode, c.code));
        EXPECT_EQ(Stands(l), c.stands);
        EXPECT_EQ(Leaves(l), c.leaves);
    }
    for (int code : {520, 536, 560, 624, 0x1FF, 0x300})
        EXPECT_FALSE(Standing({}).Show(X, 3, kCharModeMakeRoom, code)) << code;
    EXPECT_FALSE(Standing({}).Show(X, 3, kCharModeAlone, 512));
    EXPECT_FALSE(Standing({}).Show(-1, 3, kCharModeMakeRoom, 512));
}

TEST(CharList, SlotsSevenToFifteenAreRefused) {
    for (int slot : {7, 8, 15, 0x17, 0x2F, 256, -1}) {
        CharDisplayList l = Standing({});
        EXPECT_FALSE(l.Show(X, slot, kCharModeInPlace, 512)) << slot;
        EXPECT_TRUE(l.Entries().empty());
    }
    CharDisplayList l = Standing({});
    ASSERT_TRUE(l.Show(X, 0x13, kCharModeInPlace, 512));  // the low four bits are the slot
    EXPECT_EQ(Stands(l), (std::map<int, int>{{3, X}}));
}

TEST(CharList, MovesSwapSlideAndLeave) {
    CharDisplayList swap = Standing({1, 5});
    ASSERT_TRUE(swap.Move(0x101, 5, kCharModeInPlace));
    EXPECT_EQ(Stands(swap), (std::map<int, int>{{1, 15}, {5, 11}}));
    CharDisplayList slide = Standing({1, 5});
    ASSERT_TRUE(slide.Move(0x101, 4, kCharModeInPlace));
    EXPECT_EQ(Stands(slide), (std::map<int, int>{{4, 11}, {5, 15}}));
    CharDisplayList out = Standing({1, 5});
    ASSERT_TRUE(out.Move(0x105, 520, kCharModeMakeRoom));
    EXPECT_EQ(Stands(out), (std::map<int, int>{{3, 11}}));
    EXPECT_EQ(Leaves(out), (std::map<int, int>{{15, -1}}));
    // Moving right into an occupied slot pushes its character out by the left.
    CharDisplayList push = Standing({1, 3, 5});
    ASSERT_TRUE(push.Move(0x101, 5, kCharModeMakeRoom));
    EXPECT_EQ(Stands(push), (std::map<int, int>{{3, 13}, {5, 11}}));
    EXPECT_EQ(Leaves(push), (std::map<int, int>{{15, -1}}));
    CharDisplayList all = Standing({1, 3});
    ASSERT_TRUE(all.AllMove(512));
    EXPECT_EQ(Stands(all), (std::map<int, int>{{1, 13}}));
    EXPECT_EQ(Leaves(all), (std::map<int, int>{{11, -1}}));
    EXPECT_FALSE(Standing({1}).Move(0x101, 544, kCharModeInPlace));
    EXPECT_FALSE(Standing({1}).Move(0x102, 3, kCharModeInPlace));
    CharDisplayList change = Standing({2});
    EXPECT_FALSE(change.Change(0x102, -1));
    ASSERT_TRUE(change.Change(0x110, 7));
    EXPECT_EQ(Stands(change), (std::map<int, int>{{2, 7}}));
}

TEST(CharList, RandomSequencesKeepOneCharacterPerSlotAndWriteBackFaithfully) {
    std::mt19937 rng(1234);
    auto pick = [&](std::initializer_list<int> v) { return *(v.begin() + rng() % v.size()); };
    for (int round = 0; round < 300; ++round) {
        GameState st;
        st.CharStaged.Reset();
        for (int step = 0; step < 12; ++step) {
            const int code = rng() % 3 ? 0x200 + static_cast<int>(rng() % 0x50)
                                       : static_cast<int>(rng() % 0x300);
            const int ref = pick({0x100, 0x110, 0x130}) + static_cast<int>(rng() % 16);
            const int mode = pick({4096, 4097, 4098});
            switch (rng() % 7) {
                case 0:
                case 1:
                    CharShow(st, static_cast<int>(rng() % 20), static_cast<int>(rng() % 20), mode,
                             code);
                    break;
                case 2:
                    CharHide(st, ref, code, mode);
                    break;
                case 3:
                    CharMove(st, ref, code, mode);
                    break;
                case 4:
                    CharAllMove(st, code);
                    break;
                case 5:
                    CharChange(st, ref, static_cast<int>(rng() % 20));
                    break;
                default:
                    if (rng() % 4 == 0)
                        CharAllHide(st);
                    else
                        st.CharStaged.ClearMoves();  // a commit in between
            }
            CharDisplayList l;
            l.Build(st.CharStaged, st.SpeakStaged);
            std::set<int> slots;
            int standing = 0;
            for (const CharEntry& e : l.Entries())
                if (e.to >= 0 && e.to <= 6) {
                    ASSERT_TRUE(slots.insert(e.to).second) << "two characters in slot " << e.to;
                    ++standing;
                }
            CharSlots again;
            uint8_t speak[7] = {};
            l.WriteBack(again, speak);
            ASSERT_EQ(again, st.CharStaged);
            int shown = 0;
            for (int s = 0; s < 7; ++s) shown += again.ShowId[s] >= 0;
            ASSERT_EQ(shown, standing);
        }
    }
}

}  // namespace
