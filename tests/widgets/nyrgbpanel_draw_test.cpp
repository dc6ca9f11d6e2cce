#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <utility>

#include "bitmaps.h"
#include "panels.h"
#include "widgets/nyrgbpanel.h"

using namespace testpanels;

bool operator==(const ZRRect& a, const ZRRect& b) { return a.EqualRect(b); }

std::ostream& operator<<(std::ostream& os, const ZRRect& r) {
    return os << "(" << r.left << "," << r.top << "," << r.right << "," << r.bottom << ")";
}

namespace {

using RV = std::vector<ZRRect>;

std::vector<ZRRect> Rects(const ZRRectSet& s) { return std::vector<ZRRect>(s.begin(), s.end()); }

// Root 100x100 with children a (0,0 40x40), b (30,30 40x40) and a's child a1 (10,10 10x10).
struct Tree {
    Tree() {
        root = Place(&owner, nullptr, 0, 0, 100, 100);
        a = Place(&owner, root, 0, 0, 40, 40);
        b = Place(&owner, root, 30, 30, 40, 40);
        a1 = Place(&owner, a, 10, 10, 10, 10);
        root->AllCreate();
        root->ClrModifyToChild();
    }
    plat::TComponent owner;
    TNyRGBPanel *root, *a, *b, *a1;
};

TEST(PanelDirty, MarksSpreadToAncestorsSiblingsAndOverlappedDescendants) {
    std::vector<std::string> changes;
    Tree t;
    for (auto [p, n] : {std::pair{t.root, "root"}, {t.a, "a"}, {t.b, "b"}, {t.a1, "a1"}})
        p->OnChange = [&changes, n = std::string(n)](TNyRGBPanel*) { changes.push_back(n); };

    t.a->SetModifyRect(ZRRect{5, 5, 35, 35});
    // Down into a1 first, then a, then up: root, and the overlapped sibling b from root.
    EXPECT_EQ(changes, (std::vector<std::string>{"a1", "a", "b", "root"}));
    EXPECT_EQ(Rects(t.a->GetOwnModified()), (RV{ZRRect{5, 5, 35, 35}}));
    EXPECT_EQ(Rects(t.a1->GetOwnModified()), (RV{ZRRect{0, 0, 10, 10}}));
    EXPECT_EQ(Rects(t.b->GetOwnModified()), (RV{ZRRect{0, 0, 5, 5}}));
    EXPECT_EQ(Rects(t.root->GetOwnModified()), (RV{ZRRect{5, 5, 35, 35}}));
    changes.clear();

    // From a grandchild upwards it does not come back down into the grandchild.
    t.root->ClrModifyToChild();
    t.a1->SetModifyRect(ZRRect{0, 0, 2, 2});
    EXPECT_EQ(changes, (std::vector<std::string>{"a1", "a", "root"}));
    ZRRectSet all;
    t.root->GetModifiedRectSet(&all);
    EXPECT_EQ(Rects(all), (RV{ZRRect{10, 10, 12, 12}}));
    t.root->ClrModify();
    t.a->ClrModify();
    t.root->GetModifiedRectSet(&all);
    EXPECT_EQ(Rects(all), (RV{ZRRect{10, 10, 12, 12}}));
    ZRRect bound;
    t.root->GetModifiedRect(&bound);
    EXPECT_EQ(bound, (ZRRect{10, 10, 12, 12}));
    EXPECT_TRUE(t.root->GetModified());
    t.root->ClrModifyToChild();
    EXPECT_FALSE(t.root->GetModified());
}

TEST(PanelDirty, ChangeHandlersMayRearrangeTheChildrenBeingMarked) {
    Tree t;
    TNyRGBPanel* c = Place(&t.owner, t.root, 80, 80, 20, 20);
    c->Create();
    TNyRGBPanel* d = Place(&t.owner, t.root, 60, 60, 20, 20);
    d->Create();
    t.root->ClrModifyToChild();
    bool moved = false, left = false;
    // a adds enough children to move the parent's list, and deletes d, which comes later.
    t.a->OnChange = [&](TNyRGBPanel*) {
        if (std::exchange(moved, true)) return;
        for (int i = 0; i < 64; ++i) Place(&t.owner, t.root, 0, 0, 1, 1);
        delete d;
    };
    // b leaves its parent while the parent's marks go down; c, after it, is still marked.
    t.b->OnChange = [&](TNyRGBPanel* self) {
        if (!std::exchange(left, true)) self->SetParent(nullptr);
    };
    t.root->SetModify();
    EXPECT_EQ(Rects(c->GetOwnModified()), (RV{ZRRect{0, 0, 20, 20}}));
    EXPECT_EQ(t.root->GetChildCount(), 66);
}

TEST(PanelDirty, HiddenPanelsGainNothingButStillDirtyTheirOldArea) {
    int changes = 0;
    Tree t;
    t.b->OnChange = [&](TNyRGBPanel*) { ++changes; };
    t.b->Hide();
    t.root->ClrModifyToChild();
    t.b->SetModifyRect(ZRRect{0, 0, 5, 5});
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(t.root->GetModified());

    // The old area reaches the parent and the overlapped sibling; the new one nowhere.
    t.b->SetOffsetX(60);
    EXPECT_EQ(Rects(t.root->GetOwnModified()), (RV{ZRRect{30, 30, 70, 70}}));
    EXPECT_EQ(Rects(t.a->GetOwnModified()), (RV{ZRRect{30, 30, 40, 40}}));
    EXPECT_TRUE(t.b->GetOwnModified().IsRectEmpty());

    // Marks outside the parent are clipped to it or dropped.
    t.root->ClrModifyToChild();
    t.b->Show();
    t.root->ClrModifyToChild();
    t.b->SetModifyRect(ZRRect{30, 30, 60, 60});
    EXPECT_EQ(Rects(t.root->GetOwnModified()), (RV{ZRRect{90, 60, 100, 90}}));
    t.root->ClrModifyToChild();
    t.b->SetModifyRect(ZRRect{50, 0, 60, 10});
    EXPECT_TRUE(t.root->GetOwnModified().IsRectEmpty());

    // A hidden subtree is not collected.
    t.root->ClrModifyToChild();
    t.a1->SetModify();
    t.a->Hide();
    t.root->ClrModify();
    ZRRectSet all;
    t.root->GetModifiedRectSet(&all);
    EXPECT_TRUE(all.IsRectEmpty());
    EXPECT_TRUE(t.root->GetModified());

    // Updating with nothing dirty draws nothing.
    auto dest = testbits::Blank(pf24_888, 100, 100);
    t.root->ClrModifyToChild();
    t.root->OnDraw = [](TNyRGBPanel*, TNyRGBBits*, int, int, int, int, int, int) {
        ADD_FAILURE() << "drawn";
        return true;
    };
    EXPECT_TRUE(t.root->Update(dest.get(), 0, 0));
}

// Paints the panel's OnDraw areas into a list.
struct DrawLog {
    std::vector<ZRRect> areas;
    TNyDrawEvent Handler(bool result) {
        return [this, result](TNyRGBPanel*, TNyRGBBits*, int, int, int sx, int sy, int dx, int dy) {
            areas.push_back(ZRRect{sx, sy, sx + dx, sy + dy});
            return result;
        };
    }
};

TEST(PanelDraw, BlocksClipToPictureAndBlock) {
    plat::TComponent owner;
    auto dest = testbits::Blank(pf24_888, 50, 50);
    auto strip = Strip(20, 10, {0x111111, 0x222222});
    auto* p = Place(&owner, nullptr, 0, 0, 30, 30);
    p->SetAutoSize(false);
    p->SetNumBlock(2);
    p->SetImage(strip.get());
    p->SetBlockIndex(1);
    p->Create();
    ASSERT_TRUE(p->Draw(dest.get(), 5, 5));
    EXPECT_EQ(dest->PGet(5, 5), 0x222222u);
    EXPECT_EQ(dest->PGet(24, 14), 0x222222u);
    EXPECT_EQ(dest->PGet(25, 5), 0u);   // right of the picture
    EXPECT_EQ(dest->PGet(5, 15), 0u);   // below the block
    EXPECT_EQ(dest->PGet(4, 5), 0u);
    EXPECT_FALSE(p->GetModified());

    // A part: only (3, 2) to (8, 6) of the panel goes to the destination.
    dest->Cls();
    p->SetBlockIndex(0);
    ASSERT_TRUE(p->Draw(dest.get(), 0, 0, 3, 2, 5, 4));
    EXPECT_EQ(dest->PGet(3, 2), 0x111111u);
    EXPECT_EQ(dest->PGet(7, 5), 0x111111u);
    EXPECT_EQ(dest->PGet(8, 5), 0u);
    EXPECT_EQ(dest->PGet(2, 2), 0u);
    // The seven-argument form removes only what it drew from the panel's own set.
    ASSERT_TRUE(p->Draw(dest.get(), 0, 0, 0, 0, 30, 6));
    EXPECT_EQ(Rects(p->GetOwnModified()), (RV{ZRRect{0, 6, 30, 30}}));
    EXPECT_FALSE(p->Draw(nullptr, 0, 0));
}

TEST(PanelDraw, OpaqueChildrenSpareTheParentOnlyWhereTheyCoverEdgeToEdge) {
    DrawLog log;
    plat::TComponent owner;
    auto dest = testbits::Blank(pf24_888, 100, 100);
    auto pic = Picture(100, 50, 0x00FF00);
    auto* root = Place(&owner, nullptr, 0, 0, 100, 100);
    root->OnDraw = log.Handler(true);
    auto* top = new TNyRGBPanel(&owner, root);
    top->SetImage(pic.get());
    root->AllCreate();
    root->Draw(dest.get(), 0, 0);
    EXPECT_EQ(log.areas, (RV{ZRRect{0, 50, 100, 100}}));
    EXPECT_EQ(dest->PGet(50, 10), 0x00FF00u);

    // Covering only the middle leaves the parent's whole area painted; so does a child that
    // lets the parent show through.
    log.areas.clear();
    top->SetSizeX(50);
    top->SetOffsetX(25);
    root->Draw(dest.get(), 0, 0);
    EXPECT_EQ(log.areas, (RV{ZRRect{0, 0, 100, 100}}));
    log.areas.clear();
    top->SetOffsetX(0);
    top->SetSizeX(100);
    top->SetMaskMode(2);
    root->Draw(dest.get(), 0, 0);
    EXPECT_EQ(log.areas, (RV{ZRRect{0, 0, 100, 100}}));
}

TEST(PanelDraw, DrawHandlerReplacesOrUnderlaysThePictureButNotTheChildren) {
    plat::TComponent owner;
    auto dest = testbits::Blank(pf24_888, 20, 20);
    auto pic = Picture(10, 10, 0x0000FF);
    auto kid = Picture(2, 2, 0xFF0000);
    auto* p = new TNyRGBPanel(&owner);
    p->SetImage(pic.get());
    auto* c = new TNyRGBPanel(&owner, p);
    c->SetImage(kid.get());
    c->SetMaskMode(2);
    c->SetOffsetX(8);
    auto paint = [](bool result) {
        return [result](TNyRGBPanel*, TNyRGBBits* d, int x, int y, int, int, int dx, int dy) {
            d->BoxFill(x, y, x + dx - 1, y + dy - 1, 0x777777);
            return result;
        };
    };
    p->AllCreate();
    p->OnDraw = paint(true);
    ASSERT_TRUE(p->Draw(dest.get(), 0, 0));
    EXPECT_EQ(dest->PGet(0, 0), 0x777777u);
    EXPECT_EQ(dest->PGet(8, 0), 0xFF0000u);
    p->OnDraw = paint(false);
    ASSERT_TRUE(p->Draw(dest.get(), 0, 0));
    EXPECT_EQ(dest->PGet(0, 0), 0x0000FFu);
}

TEST(PanelDraw, EveryMaskMode) {
    plat::TComponent owner;
    auto pic = Picture(4, 1, 0);
    const uint32_t colours[4] = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
    for (int x = 0; x < 4; ++x) pic->PSet(x, 0, colours[x]);
    TNyAlpha alpha;
    alpha.Resize(4, 1);
    alpha.Create();
    const uint8_t levels[4] = {255, 0, 255, 0};
    for (int x = 0; x < 4; ++x) alpha.PSet(x, 0, levels[x]);
    auto own = Picture(4, 1, 0, pf32_8888);
    for (int x = 0; x < 4; ++x) own->PSet(x, 0, colours[x] | uint32_t(levels[x]) << 24);

    auto* p = new TNyRGBPanel(&owner);
    p->Create();
    const uint32_t under = 0x555555;
    auto drawn = [&](TNyRGBBits* image, TMaskMode mode, TNyAlpha* a) {
        auto dest = Picture(4, 1, under);
        p->SetImage(image);
        p->SetMaskMode(mode);
        p->SetAlpha(a);
        p->SetColorKey(ZRRGB(0x405060u));
        EXPECT_TRUE(p->Draw(dest.get(), 0, 0));
        std::vector<uint32_t> out;
        for (int x = 0; x < 4; ++x) out.push_back(dest->PGet(x, 0));
        return out;
    };
    using V = std::vector<uint32_t>;
    EXPECT_EQ(drawn(pic.get(), 0, &alpha), (V{colours[0], colours[1], colours[2], colours[3]}));
    EXPECT_EQ(drawn(pic.get(), 1, &alpha), (V{colours[0], under, colours[2], under}));
    EXPECT_EQ(drawn(pic.get(), 1, nullptr), (V{under, under, under, under}));
    EXPECT_EQ(drawn(own.get(), 1, nullptr), (V{colours[0], under, colours[2], under}));
    EXPECT_EQ(drawn(pic.get(), 2, nullptr), (V{colours[0], under, colours[2], colours[3]}));
    EXPECT_EQ(drawn(pic.get(), 3, &alpha), (V{under, under, under, under}));
}

// Random trees under an opaque root, changed at random: repainting only the dirty rectangles
// must leave exactly the pixels of a full redraw. The fast alpha kernels weigh odd alpha levels
// by where a pixel falls in the row, so with them the pictures keep to even levels and 255.
class PanelRedraw : public testbits::BothKernels {};

TEST_P(PanelRedraw, UpdatingDirtyRectanglesMatchesAFullRedraw) {
    const uint32_t alphaMask = GetParam() ? 0xFE : 0xFF;
    std::mt19937 rng(7);
    const int W = 160, H = 120;
    const uint32_t palette[3] = {0x102030, 0x808080, 0xF0E0D0};
    for (int round = 0; round < 40; ++round) {
        plat::TComponent owner;
        std::vector<std::unique_ptr<TNyRGBBits>> pictures;
        std::vector<std::unique_ptr<TNyAlpha>> planes;
        auto newPicture = [&](int blocks) {
            const int w = 4 + int(rng() % 50), h = 4 + int(rng() % 40);
            auto pic = Picture(w, h * blocks, 0, rng() % 4 == 0 ? pf32_8888 : pf32_888);
            for (int y = 0; y < h * blocks; y += 2)
                for (int x = 0; x < w; x += 2)
                    pic->BoxFill(x, y, x + 1, y + 1,
                                 palette[rng() % 3] | (rng() & alphaMask) << 24);
            pictures.push_back(std::move(pic));
            auto plane = testbits::MakePlane(w, h * blocks, rng);
            for (int y = 0; y < h * blocks; ++y)
                for (int x = 0; x < w; ++x)
                    if (plane->PGet(x, y) != 255) plane->PSet(x, y, plane->PGet(x, y) & alphaMask);
            planes.push_back(std::move(plane));
            return std::pair{pictures.back().get(), planes.back().get()};
        };

        auto rootPic = testbits::Make(pf32_888, W, H, rng);
        auto* root = new TNyRGBPanel(&owner);
        root->SetImage(rootPic.get());
        std::vector<TNyRGBPanel*> panels{root};
        const int count = 3 + int(rng() % 14);
        for (int i = 0; i < count; ++i) {
            auto* p = new TNyRGBPanel(&owner, panels[rng() % panels.size()]);
            const int blocks = 1 + int(rng() % 3);
            auto [pic, plane] = newPicture(blocks);
            p->SetNumBlock(blocks);
            p->SetImage(pic);
            p->SetBlockIndex(int(rng() % blocks));
            p->SetAlpha(rng() % 2 ? plane : nullptr);
            p->SetMaskMode(TMaskMode(rng() % 4));
            p->SetColorKey(ZRRGB(palette[rng() % 3]));
            p->SetOffsetX(int(rng() % (W + 20)) - 20);
            p->SetOffsetY(int(rng() % (H + 20)) - 20);
            if (rng() % 5 == 0) {
                const uint32_t fill = rng() & 0xFFFFFF;
                const bool painted = rng() % 2;
                p->OnDraw = [fill, painted](TNyRGBPanel*, TNyRGBBits* d, int x, int y, int, int,
                                            int dx, int dy) {
                    d->BoxFill(x, y, x + dx - 1, y + dy - 1, fill);
                    return painted;
                };
            }
            if (rng() % 6 == 0) p->Hide();
            panels.push_back(p);
        }
        root->AllCreate();

        auto full = testbits::Blank(pf32_888, W, H);
        auto partial = testbits::Blank(pf32_888, W, H);
        root->Draw(partial.get(), 0, 0);
        for (int step = 0; step < 25; ++step) {
            TNyRGBPanel* p = panels[1 + rng() % (panels.size() - 1)];
            switch (rng() % 10) {
                case 0: p->SetOffsetX(p->GetOffsetX() + int(rng() % 21) - 10); break;
                case 1: p->SetOffsetY(p->GetOffsetY() + int(rng() % 21) - 10); break;
                case 2: p->SetBlockIndex(int(rng() % p->GetNumBlock())); break;
                case 3: p->SetVisible(!p->GetVisible()); break;
                case 4: p->SetCreated(!p->GetCreated()); break;
                case 5: p->SetMaskMode(TMaskMode(rng() % 4)); break;
                case 6: {
                    auto [pic, plane] = newPicture(p->GetNumBlock());
                    p->SetImage(pic);
                    p->SetAlpha(plane);
                    break;
                }
                case 7: {
                    TNyRGBPanel* q = panels[rng() % panels.size()];
                    p->SetParent(q);
                    if (!p->GetParent()) p->SetParent(root);
                    break;
                }
                case 8: {
                    TNyRGBPanel* parent = p->GetParent();
                    if (rng() % 2) {
                        parent->RaiseOrder(p, parent->GetChild(int(rng() % 3)));
                    } else {
                        parent->DownOrder(p, parent->GetChild(int(rng() % 3)));
                    }
                    // Reordering leaves the marking to the caller.
                    p->SetModify();
                    break;
                }
                default: p->SetModifyRect(ZRRect{0, 0, 3, 3}); break;
            }
            ASSERT_TRUE(root->Update(partial.get(), 0, 0));
            ASSERT_TRUE(root->Draw(full.get(), 0, 0));
            ASSERT_EQ(testbits::Snap(*partial), testbits::Snap(*full))
                << "round " << round << " step " << step;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, PanelRedraw, ::testing::Bool());

}  // namespace
