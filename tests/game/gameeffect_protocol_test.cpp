// The transition frame protocol without routines: what Start accepts, how Advance paces, and a
// kind without a routine showing its target at once.
#include <gtest/gtest.h>

#include <memory>

#include "game/gameeffect.h"

namespace {

std::unique_ptr<TNyRGBBits> Bits(int w, int h, uint32_t fill, bool create = true) {
    auto b = std::make_unique<TNyRGBBits>(nullptr);
    b->SetBitDepth(bd32);
    b->SetPixFormat(pf32_888);
    b->Resize(w, h);
    if (create) {
        EXPECT_TRUE(b->Create());
        b->BoxFill(0, 0, w - 1, h - 1, fill);
    }
    return b;
}

TEST(TransitionProtocol, StartAcceptsOnlyTwoCreatedScreenPictures) {
    auto good = Bits(1280, 720, 0x112233), other = Bits(1280, 720, 0x445566);
    auto small = Bits(1280, 719, 0), uncreated = Bits(1280, 720, 0, false);
    TransitionEffect e;
    EXPECT_TRUE(e.IsIdle());
    const struct {
        TNyRGBBits *from, *to;
    } refused[] = {{good.get(), small.get()},
                   {small.get(), good.get()},
                   {good.get(), uncreated.get()},
                   {nullptr, good.get()},
                   {good.get(), nullptr}};
    for (const auto& r : refused) {
        EXPECT_FALSE(e.Start(3, r.from, 50, r.to));
        EXPECT_TRUE(e.IsIdle());
        EXPECT_EQ(e.from, nullptr);
    }
    ASSERT_TRUE(e.Start(3, good.get(), 150, other.get()));
    EXPECT_EQ(e.last, -1);
    // Progress is ticks x speed / 100, truncated, over the running total.
    EXPECT_EQ(e.Advance(1), 1);
    EXPECT_EQ(e.Advance(1), 3);
    EXPECT_EQ(e.Advance(0), 3);
    EXPECT_FALSE(e.Start(3, good.get(), 100, small.get())) << "a refused start changes nothing";
    EXPECT_EQ(e.progress, 3);
    EXPECT_EQ(e.speed, 150);
    e.Stop();
    EXPECT_TRUE(e.IsIdle());
    EXPECT_EQ(e.from, nullptr);
    EXPECT_EQ(e.Advance(5), 3) << "an idle effect does not advance";
    // A long transition at a high speed does not overflow.
    ASSERT_TRUE(e.Start(0, good.get(), 1000000, other.get()));
    EXPECT_EQ(e.Advance(100000), 1000000000);
}

TEST(TransitionProtocol, AKindWithoutARoutineShowsItsTargetAndEnds) {
    auto from = Bits(1280, 720, 0x0000FF), to = Bits(1280, 720, 0xFF0000);
    for (int kind : {15, 200}) {
        for (int yoff : {0, 152}) {
            auto target = Bits(1280, 1024, 0x00FF00);
            TransitionEffect e;
            ASSERT_TRUE(e.Start(static_cast<uint8_t>(kind), from.get(), to.get()));
            ZRRectSet dirty;
            e.Draw(target.get(), yoff, &dirty);
            EXPECT_TRUE(e.IsIdle()) << kind;
            EXPECT_EQ(target->PGet(640, yoff) & 0xFFFFFF, 0xFF0000u);
            EXPECT_EQ(target->PGet(640, yoff + 719) & 0xFFFFFF, 0xFF0000u);
            EXPECT_EQ(target->PGet(640, yoff + 720) & 0xFFFFFF, 0x00FF00u);
            const ZRRect r = dirty.AllUnionRect();
            EXPECT_EQ(r.top, yoff);
            EXPECT_EQ(r.bottom, yoff + 720);
            // Idle: nothing more is drawn, nothing reported.
            target->BoxFill(0, 0, 1279, 1023, 0);
            ZRRectSet none;
            e.Draw(target.get(), yoff, &none);
            EXPECT_TRUE(none.IsRectEmpty());
            EXPECT_EQ(target->PGet(640, yoff) & 0xFFFFFF, 0u);
        }
    }
}

}  // namespace
