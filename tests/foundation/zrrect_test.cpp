#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "foundation/zrstd.h"

// Found by argument-dependent lookup, so they live beside ZRRect in the global namespace.
static bool operator==(const ZRRect& a, const ZRRect& b) {
    return a.EqualRect(b);
}

static void PrintTo(const ZRRect& r, std::ostream* os) {
    *os << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
}

namespace {

std::vector<ZRRect> Members(const ZRRectSet& s) {
    return {s.begin(), s.end()};
}

using Rects = std::vector<ZRRect>;

TEST(Rect, IntersectAndUnionHandleEmptyAndTouchingInputs) {
    ZRRect out{9, 9, 9, 9};
    ZRIntersectRect({0, 0, 10, 10}, {5, 2, 20, 8}, out);
    EXPECT_EQ(out, (ZRRect{5, 2, 10, 8}));
    ZRIntersectRect({0, 0, 10, 10}, {10, 0, 20, 10}, out);
    EXPECT_EQ(out, (ZRRect{0, 0, 0, 0})) << "touching edges share no pixel";
    ZRIntersectRect({0, 0, 10, 10}, {5, 5, 5, 20}, out);
    EXPECT_EQ(out, (ZRRect{0, 0, 0, 0}));

    ZRUnionRect({0, 0, 10, 10}, {20, 30, 25, 35}, out);
    EXPECT_EQ(out, (ZRRect{0, 0, 25, 35}));
    ZRUnionRect({3, 3, 3, 50}, {20, 30, 25, 35}, out);
    EXPECT_EQ(out, (ZRRect{20, 30, 25, 35})) << "an empty input does not stretch the box";
    ZRUnionRect({20, 30, 25, 35}, {-100, 0, -200, 10}, out);
    EXPECT_EQ(out, (ZRRect{20, 30, 25, 35}));
    ZRUnionRect({3, 3, 3, 50}, {1, 1, 0, 0}, out);
    EXPECT_EQ(out, (ZRRect{0, 0, 0, 0}));

    ZRRect a{0, 0, 10, 10};
    EXPECT_TRUE(a.IntersectRect(ZRRect{4, -5, 30, 6}));
    EXPECT_EQ(a, (ZRRect{4, 0, 10, 6}));
    EXPECT_FALSE(a.IntersectRect(ZRRect{100, 100, 101, 101}));
    EXPECT_TRUE(a.UnionRect(ZRRect{1, 1, 2, 2}, ZRRect{5, 5, 6, 6}));
    EXPECT_EQ(a, (ZRRect{1, 1, 6, 6}));
    EXPECT_TRUE(a.UnionRect(a));
    EXPECT_FALSE(a.UnionRect(ZRRect{0, 0, 0, 0}, ZRRect{4, 4, 1, 1}));
}

TEST(Rect, SubtractCutsOnlyWholeStrips) {
    const ZRRect a{0, 0, 10, 10};
    struct Case {
        ZRRect b, want;
    };
    const Case cases[] = {
        {{0, 0, 10, 4}, {0, 4, 10, 10}},    // top strip
        {{-5, 6, 15, 20}, {0, 0, 10, 6}},   // bottom strip
        {{0, -1, 3, 10}, {3, 0, 10, 10}},   // left strip
        {{7, 0, 10, 11}, {0, 0, 7, 10}},    // right strip
        {{-1, -1, 11, 11}, {0, 0, 0, 0}},   // covered
        {{0, 0, 10, 10}, {0, 0, 0, 0}},     // exactly covered
        {{2, 2, 4, 4}, {0, 0, 10, 10}},     // hole
        {{0, 3, 10, 6}, {0, 0, 10, 10}},    // full-width band through the middle
        {{3, 0, 6, 10}, {0, 0, 10, 10}},    // full-height band through the middle
        {{5, 5, 15, 15}, {0, 0, 10, 10}},   // corner
        {{0, 10, 10, 20}, {0, 0, 10, 10}},  // touching below
        {{-10, 0, 0, 10}, {0, 0, 10, 10}},  // touching left
    };
    for (const Case& c : cases) {
        ZRRect out{};
        ZRSubtractRect(a, c.b, out);
        EXPECT_EQ(out, c.want) << testing::PrintToString(c.b);
    }
    ZRRect self{0, 0, 10, 10};
    EXPECT_TRUE(self.SubtractRect(ZRRect{0, 0, 10, 4}));
    EXPECT_EQ(self, (ZRRect{0, 4, 10, 10}));
}

TEST(Rect, PointAndContainmentTestsTreatRightAndBottomAsExclusive) {
    const ZRRect r{0, 0, 10, 10};
    EXPECT_TRUE(r.InRect(9, 9));
    EXPECT_FALSE(r.InRect(10, 5));
    EXPECT_FALSE(r.InRect(5, 10));
    EXPECT_TRUE(r.InRect(ZRRect{0, 0, 10, 10}));
    EXPECT_FALSE(r.InRect(ZRRect{2, 2, 11, 5}));
    EXPECT_TRUE(r.IsCross(ZRRect{9, 9, 20, 20}));
    EXPECT_FALSE(r.IsCross(ZRRect{10, 0, 20, 10}));
}

TEST(Rect, MirroringSwapsTheExclusiveEdges) {
    ZRRect r{1, 2, 5, 7};
    r.FlipX();
    r.FlipY();
    EXPECT_EQ(r, (ZRRect{-5, -7, -1, -2}));
    EXPECT_FALSE(r.IsRectEmpty());
}

TEST(RectSet, NeighboursAlongAFullEdgeMerge) {
    ZRRectSet s;
    EXPECT_TRUE(s.UnionRect({0, 0, 10, 10}));
    EXPECT_TRUE(s.UnionRect({10, 0, 20, 10}));
    EXPECT_EQ(Members(s), (Rects{{0, 0, 20, 10}}));
    s.UnionRect({0, 10, 20, 15});  // below
    s.UnionRect({0, -5, 20, 0});   // above
    s.UnionRect({-3, -5, 0, 15});  // left
    EXPECT_EQ(Members(s), (Rects{{-3, -5, 20, 15}}));

    // Edges that only partly touch stay separate members.
    s.UnionRect({20, 0, 25, 15});
    EXPECT_EQ(s.size(), 2u);

    // A rectangle bridging two members collapses the chain into one.
    ZRRectSet chain;
    chain.UnionRect({0, 0, 10, 10});
    chain.UnionRect({20, 0, 30, 10});
    chain.UnionRect({0, 20, 30, 25});
    chain.UnionRect({10, 0, 20, 10});
    EXPECT_EQ(Members(chain), (Rects{{0, 20, 30, 25}, {0, 0, 30, 10}}));
    chain.UnionRect({0, 10, 30, 20});
    EXPECT_EQ(Members(chain), (Rects{{0, 0, 30, 25}}));
}

TEST(RectSet, OverlapSplitsIntoStripsAndBand) {
    ZRRectSet s;
    s.UnionRect({0, 0, 10, 10});
    s.UnionRect({5, 5, 15, 15});
    EXPECT_EQ(Members(s), (Rects{{0, 0, 10, 5}, {0, 5, 15, 10}, {5, 10, 15, 15}}));

    // The added rectangle above and below the member: its strips come first and last.
    ZRRectSet t;
    t.UnionRect({0, 5, 20, 10});
    t.UnionRect({5, 0, 10, 20});
    EXPECT_EQ(Members(t), (Rects{{5, 0, 10, 5}, {0, 5, 20, 10}, {5, 10, 10, 20}}));

    // Same top and bottom: only the band, which is their horizontal union.
    ZRRectSet u;
    u.UnionRect({0, 0, 10, 10});
    u.UnionRect({5, 0, 15, 10});
    EXPECT_EQ(Members(u), (Rects{{0, 0, 15, 10}}));
}

TEST(RectSet, ContainmentAndEmptyInputs) {
    ZRRectSet s;
    EXPECT_FALSE(s.UnionRect({5, 5, 5, 9}));
    EXPECT_TRUE(s.IsRectEmpty());
    s.UnionRect({0, 0, 10, 10});
    s.UnionRect({20, 0, 30, 10});
    const Rects before = Members(s);
    EXPECT_TRUE(s.UnionRect({2, 2, 8, 8}));
    EXPECT_TRUE(s.UnionRect({3, 3, 1, 1}));
    EXPECT_EQ(Members(s), before);

    s.UnionRect({40, 0, 45, 5});
    EXPECT_TRUE(s.UnionRect({-1, -1, 31, 11}));
    EXPECT_EQ(Members(s), (Rects{{40, 0, 45, 5}, {-1, -1, 31, 11}}));

    // A member passed back in is already covered, even though it aliases the set's storage.
    s.UnionRect(s[0]);
    EXPECT_EQ(s.size(), 2u);
}

TEST(RectSet, SubtractAndIntersectDropEmptiedMembers) {
    ZRRectSet s;
    s.UnionRect({0, 0, 10, 10});
    s.UnionRect({20, 0, 30, 10});
    s.UnionRect({40, 0, 50, 10});
    EXPECT_TRUE(s.SubtractRect({18, -1, 32, 12}));
    EXPECT_EQ(Members(s), (Rects{{0, 0, 10, 10}, {40, 0, 50, 10}}));
    EXPECT_TRUE(s.SubtractRect({0, 0, 10, 4}));
    EXPECT_EQ(Members(s), (Rects{{0, 4, 10, 10}, {40, 0, 50, 10}}));

    ZRRectSet copy = s;
    EXPECT_TRUE(copy.IntersectRect({45, 5, 100, 100}));
    EXPECT_EQ(Members(copy), (Rects{{45, 5, 50, 10}}));
    EXPECT_FALSE(copy.IntersectRect({0, 0, 45, 5}));
    EXPECT_TRUE(copy.IsRectEmpty());
    EXPECT_EQ(Members(s).size(), 2u) << "copies are independent";

    // Cutting by a member of the set itself must use its value from before the cut.
    ZRRectSet three;
    three.UnionRect({0, 0, 10, 10});
    three.UnionRect({0, 20, 10, 30});
    three.SubtractRect(three[0]);
    EXPECT_EQ(Members(three), (Rects{{0, 20, 10, 30}}));
}

TEST(RectSet, SetOperationsAndBoundingBox) {
    ZRRectSet a;
    a.UnionRect({0, 0, 10, 10});
    a.UnionRect({20, 20, 30, 30});
    ZRRectSet b;
    b.UnionRect({10, 0, 20, 10});
    EXPECT_TRUE(a.UnionRectSet(b));
    EXPECT_EQ(Members(a), (Rects{{20, 20, 30, 30}, {0, 0, 20, 10}}));
    EXPECT_TRUE(a.UnionRectSet(a));
    EXPECT_EQ(a.size(), 2u);

    const ZRRect box = a;
    EXPECT_EQ(box, (ZRRect{0, 0, 30, 30}));
    EXPECT_EQ(ZRRectSet{}.AllUnionRect(), (ZRRect{0, 0, 0, 0}));

    EXPECT_TRUE(a.OffsetRect(5, -5));
    EXPECT_EQ(a.AllUnionRect(), (ZRRect{5, -5, 35, 25}));

    ZRRectSet cut;
    cut.UnionRect({0, 0, 100, 10});
    cut.UnionRect({0, 10, 30, 100});
    EXPECT_TRUE(a.SubtractRectSet(cut));
    EXPECT_EQ(Members(a), (Rects{{30, 15, 35, 25}, {5, -5, 25, 0}}));

    EXPECT_TRUE(a.SubtractRectSet(a));
    EXPECT_TRUE(a.IsRectEmpty());
    EXPECT_TRUE(b.SetRectEmpty());
    EXPECT_TRUE(b.IsRectEmpty());
}

TEST(RectSet, IntersectRectSetKeepsTheAreaCommonToAllAndReportsWhatRemains) {
    ZRRectSet s;
    s.UnionRect({0, 0, 100, 100});
    ZRRectSet clips;
    clips.UnionRect({0, 0, 50, 50});
    clips.UnionRect({25, 50, 75, 100});
    EXPECT_FALSE(s.IntersectRectSet(clips)) << "the first clip leaves members, the second none";
    EXPECT_TRUE(s.IsRectEmpty());

    ZRRectSet t;
    t.UnionRect({0, 0, 100, 100});
    ZRRectSet nested;
    nested.UnionRect({10, 10, 60, 60});
    EXPECT_TRUE(t.IntersectRectSet(nested));
    EXPECT_EQ(Members(t), (Rects{{10, 10, 60, 60}}));
    EXPECT_FALSE(t.IntersectRectSet(ZRRectSet{}));
    EXPECT_EQ(t.size(), 1u);
}

// Property check on a small pixel grid: whatever is added, the members stay non-empty and
// disjoint and cover exactly the union of the inputs; cuts stay within the set.
constexpr int kGrid = 24;
using Grid = std::vector<bool>;

Grid Paint(const std::vector<ZRRect>& rs) {
    Grid g(kGrid * kGrid);
    for (const ZRRect& r : rs)
        for (int y = std::max(0, r.top); y < std::min(kGrid, r.bottom); ++y)
            for (int x = std::max(0, r.left); x < std::min(kGrid, r.right); ++x)
                g[y * kGrid + x] = true;
    return g;
}

void ExpectWellFormed(const ZRRectSet& s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        ASSERT_FALSE(s[i].IsRectEmpty());
        for (std::size_t j = i + 1; j < s.size(); ++j) ASSERT_FALSE(s[i].IsCross(s[j]));
    }
}

TEST(RectSet, RandomUnionsStayDisjointAndCoverExactlyTheInputs) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> coord(-2, kGrid - 2), len(-2, 12);
    auto random_rect = [&] {
        int l = coord(rng), t = coord(rng);
        return ZRRect{l, t, l + len(rng), t + len(rng)};
    };
    for (int round = 0; round < 1500; ++round) {
        ZRRectSet s;
        std::vector<ZRRect> added;
        const int n = 1 + round % 16;
        for (int i = 0; i < n; ++i) {
            ZRRect r = random_rect();
            added.push_back(r);
            const bool nonEmpty = s.UnionRect(r);
            ASSERT_NO_FATAL_FAILURE(ExpectWellFormed(s));
            ASSERT_EQ(nonEmpty, !s.IsRectEmpty());
            ASSERT_EQ(Paint(Members(s)), Paint(added)) << "round " << round << " step " << i;
        }
        ZRRect all{};
        for (const ZRRect& r : added) all.UnionRect(r);
        ASSERT_EQ(s.AllUnionRect(), all);

        const Grid before = Paint(Members(s));
        const ZRRect cut = random_rect();
        ZRRectSet sub = s;
        sub.SubtractRect(cut);
        ASSERT_NO_FATAL_FAILURE(ExpectWellFormed(sub));
        const Grid after = Paint(Members(sub)), hole = Paint({cut});
        for (int p = 0; p < kGrid * kGrid; ++p) {
            ASSERT_TRUE(!after[p] || before[p]);
            ASSERT_TRUE(after[p] || !before[p] || hole[p]);
        }

        ZRRectSet clipped = s;
        const bool left = clipped.IntersectRect(cut);
        ASSERT_NO_FATAL_FAILURE(ExpectWellFormed(clipped));
        ASSERT_EQ(left, !clipped.IsRectEmpty());
        Grid want = before;
        for (int p = 0; p < kGrid * kGrid; ++p) want[p] = before[p] && hole[p];
        ASSERT_EQ(Paint(Members(clipped)), want);
    }
}

}  // namespace
