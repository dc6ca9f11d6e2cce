#include "widgets/nyrgbanime.h"

#include <gtest/gtest.h>

#include "panels.h"

using namespace testpanels;

namespace {

using V = std::vector<int>;

template <class P>
std::vector<int> Ticks(P* p, int n) {
    std::vector<int> out;
    for (int i = 0; i < n; ++i) {
        p->Anime();
        out.push_back(p->GetBlockIndex());
    }
    return out;
}

TEST(SimpleAnime, PlayModesTickByTick) {
    int fired = 0;
    plat::TComponent owner;
    auto* p = new TNyRGBSimple(&owner);
    EXPECT_EQ(p->GetSizeX(), 16);
    p->OnAnime = [&](TNyRGBPanel*) { ++fired; };
    p->Create();
    p->SetFrameNum1(4);
    p->SetAnimeWait(2);
    EXPECT_EQ(Ticks(p, 10), (V{0, 1, 1, 2, 2, 3, 3, 0, 0, 1}));
    p->SetAnimeWait(1);
    p->SetAnimeType(patTurn);
    p->SetGroupIndex(1);
    p->SetGroupIndex(0);
    EXPECT_EQ(Ticks(p, 8), (V{1, 2, 3, 2, 1, 0, 1, 2}));
    p->SetAnimeType(patStop);
    p->ChangedState();
    EXPECT_EQ(Ticks(p, 6), (V{1, 2, 3, 3, 3, 3}));
    EXPECT_EQ(fired, 24);
    // Turning a stopped panel round plays it backwards.
    p->SetAnimeType(patTurn);
    EXPECT_EQ(Ticks(p, 2), (V{2, 1}));
    // Hidden panels do not step but still fire.
    p->Hide();
    EXPECT_EQ(Ticks(p, 2), (V{1, 1}));
    EXPECT_EQ(fired, 28);
}

TEST(SimpleAnime, GroupsLieOneAfterAnother) {
    plat::TComponent owner;
    auto* p = new TNyRGBSimple(&owner);
    p->Create();
    p->SetFrameNum1(0);
    EXPECT_EQ(p->GetFrameNum1(), 1);
    p->SetFrameNum(1, 2);
    p->SetFrameNum(2, 3);
    p->SetFrameNum(8, 3);
    p->SetFrameNum(3, -1);
    EXPECT_EQ(p->GetNumBlock(), 6);
    p->SetGroupIndex(2);
    EXPECT_EQ(p->GetBlockIndex(), 3);
    EXPECT_EQ(Ticks(p, 4), (V{4, 5, 3, 4}));
    // A one-frame group stops at once; a longer one plays again.
    p->SetGroupIndex(0);
    EXPECT_EQ(Ticks(p, 2), (V{0, 0}));
    p->SetGroupIndex(1);
    EXPECT_EQ(Ticks(p, 3), (V{2, 1, 2}));
    // Without frames the panel shows block 0.
    p->SetGroupIndex(5);
    EXPECT_EQ(p->GetBlockIndex(), 0);
    EXPECT_EQ(Ticks(p, 2), (V{0, 0}));
    p->SetGroupIndex(-1);
    EXPECT_EQ(p->GetGroupIndex(), 5);
}

TEST(SimpleAnime, OneFrameGroupStopsInEveryPlayMode) {
    for (TPanelAnimeType type : {patLoop, patTurn, patStop}) {
        SCOPED_TRACE(static_cast<int>(type));
        plat::TComponent owner;
        auto* p = new TNyRGBSimple(&owner);
        p->Create();
        p->SetFrameNum(1, 3);
        p->SetAnimeType(type);
        EXPECT_EQ(Ticks(p, 3), (V{0, 0, 0}));
        EXPECT_TRUE(p->Stopped());
        p->SetGroupIndex(1);
        EXPECT_FALSE(p->Stopped());
        EXPECT_EQ(Ticks(p, 2), (V{2, 3}));
    }
}

TEST(SimpleButton, GroupFollowsPointerPressAndState) {
    int clicks = 0;
    plat::TComponent owner;
    auto* root = Place(&owner, nullptr, 0, 0, 100, 100);
    auto* b = new TNyRGBSBtn(&owner, root);
    b->SetSizeX(20);
    b->SetSizeY(20);
    b->OnClick = [&](TNyRGBPanel*) { ++clicks; };
    b->SetPatNormal(1);
    b->SetPatFocus(2);
    EXPECT_EQ(b->GetPatFocus(), 2);
    root->AllCreate();
    root->MouseMove(0, 5, 5);
    EXPECT_EQ(b->GetGroupIndex(), 1);
    EXPECT_EQ(Ticks(b, 3), (V{2, 1, 2}));
    root->MouseMove(0, 50, 50);
    EXPECT_EQ(b->GetBlockIndex(), 0);

    // Disabled without a disabled group: other looks stay, clicks do not.
    b->SetPatDown(1);
    b->SetEnabled(false);
    root->MouseDown(mbLeft, 0, 5, 5);
    EXPECT_EQ(b->GetGroupIndex(), 3);
    EXPECT_EQ(b->GetBlockIndex(), 3);
    root->MouseUp(mbLeft, 0, 5, 5);
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(b->GetGroupIndex(), 1);
    b->SetPatDisable(1);
    EXPECT_EQ(b->GetGroupIndex(), 4);
    b->SetEnabled(true);
    b->SetSelected(true);
    EXPECT_EQ(b->GetGroupIndex(), 3);
    b->SetPatSelected(1);
    EXPECT_EQ(b->GetGroupIndex(), 2);
    b->SetSelected(false);
    root->MouseDown(mbLeft, 0, 5, 5);
    root->MouseUp(mbLeft, 0, 5, 5);
    EXPECT_EQ(clicks, 1);

    // Focus by hand only without AutoFocus; hiding drops it either way.
    b->SetAutoFocus(false);
    b->SetFocus(true);
    EXPECT_EQ(b->GetGroupIndex(), 1);
    b->Hide();
    EXPECT_FALSE(b->GetFocus());
}

// Program data: group 0 patterns 1, 2 (waits 2, 1) then rest; group 1 loops pattern 3, 4.
struct Program {
    ZRAnimeInfoHead head{kAnimeVersion, 5, 4, {2, 2}};
    ZRAnimeFrame frames[4] = {{1, 1, 2}, {1, 2, 1}, {1, 3, 1}, {3, 4, 1}};
    ZRAnimeData data;
    Program() { EXPECT_TRUE(data.SetData(&head, frames)); }
};

TEST(ProgramAnime, PlaysItsProgramOneTickAtATime) {
    Program prog;
    plat::TComponent owner;
    auto pic = Strip(8, 8, {0, 1, 2, 3, 4});
    auto* p = new TNyRGBProgram(&owner);
    p->SetImage(pic.get());
    EXPECT_EQ(p->GetSizeY(), 40);
    p->Create();
    EXPECT_TRUE(p->SetAnimeData(&prog.data));
    EXPECT_EQ(p->GetNumBlock(), 5);
    EXPECT_EQ(p->GetSizeY(), 8);
    EXPECT_EQ(p->GetBlockIndex(), 1);
    EXPECT_EQ(Ticks(p, 5), (V{1, 2, 2, 2, 2}));
    EXPECT_EQ(p->GetFrameIndex(), 1);
    p->SetGroupIndex(1);
    EXPECT_EQ(p->GetBlockIndex(), 3);
    EXPECT_EQ(Ticks(p, 4), (V{4, 3, 4, 3}));
    EXPECT_EQ(p->GetFrameMax(1), 2);
    EXPECT_EQ(p->GetFrameMax(16), 0);
    p->GetAnimeStat().SetPause(true);
    EXPECT_EQ(Ticks(p, 2), (V{3, 3}));
    p->GetAnimeStat().SetPause(false);
    p->SetFrameIndex(1);
    EXPECT_EQ(p->GetBlockIndex(), 4);
    p->SetAnimeData(nullptr);
    EXPECT_EQ(p->GetAnimeData(), nullptr);
    // Without a program the player shows pattern 0 and stands still.
    EXPECT_EQ(Ticks(p, 2), (V{0, 0}));
}

TEST(ProgramButton, SwitchesProgramGroupsWithItsState) {
    Program prog;
    plat::TComponent owner;
    auto* root = Place(&owner, nullptr, 0, 0, 100, 100);
    auto* b = new TNyRGBPBtn(&owner, root);
    b->SetSizeX(20);
    b->SetSizeY(20);
    root->AllCreate();
    b->SetAnimeData(&prog.data);
    EXPECT_EQ(b->GetGroupIndex(), 0);
    root->MouseMove(0, 5, 5);
    EXPECT_EQ(b->GetGroupIndex(), 1);
    EXPECT_EQ(b->GetBlockIndex(), 3);
    root->MouseMove(0, 50, 50);
    EXPECT_EQ(b->GetGroupIndex(), 0);
    b->SetEnabled(false);
    EXPECT_EQ(b->GetGroupIndex(), 4);
}

}  // namespace
