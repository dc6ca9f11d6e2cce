#include "widgets/nyrgbbtn.h"

#include <gtest/gtest.h>

#include "panels.h"

using namespace testpanels;

namespace {

// A created button on a created 200x200 root, at (10, 10).
struct Rig {
    Rig() {
        root = Place(&owner, nullptr, 0, 0, 200, 200);
        btn = new TNyRGBBtn(&owner);
        btn->SetParent(root);
        btn->SetOffsetX(10);
        btn->SetOffsetY(10);
        btn->OnClick = [this](TNyRGBPanel*) { ++clicks; };
        btn->OnMouseDown = [this](TNyRGBPanel*, TMouseButton, TShiftState, int, int) { ++downs; };
        btn->OnMouseUp = [this](TNyRGBPanel*, TMouseButton, TShiftState, int, int) { ++ups; };
        btn->OnAnime = [this](TNyRGBPanel*) { ++animes; };
        root->AllCreate();
    }
    // Blocks shown over the next ticks.
    std::vector<int> Ticks(int n) {
        std::vector<int> out;
        for (int i = 0; i < n; ++i) {
            root->Anime();
            out.push_back(btn->GetBlockIndex());
        }
        return out;
    }
    int clicks = 0, downs = 0, ups = 0, animes = 0;
    plat::TComponent owner;
    TNyRGBPanel* root;
    TNyRGBBtn* btn;
};

using V = std::vector<int>;

TEST(Button, DefaultsAndRunSetters) {
    Rig r;
    EXPECT_EQ(r.btn->GetSizeX(), 98);
    EXPECT_EQ(r.btn->GetSizeY(), 31);
    TNyRGBBtn inTree(nullptr, r.root);
    EXPECT_EQ(inTree.GetSizeX(), 640);
    r.btn->SetPatNormal(0);
    EXPECT_EQ(r.btn->GetPatNormal(), 1);
    r.btn->SetPatFocus(3);
    EXPECT_EQ(r.btn->GetNumBlock(), 4);
    r.btn->SetPatDown(-1);
    r.btn->SetPatDisable(2);
    EXPECT_EQ(r.btn->GetNumBlock(), 6);
    r.btn->SetAnimeWait(-1);
    EXPECT_EQ(r.btn->GetAnimeWait(), 1);
}

TEST(Button, FocusFollowsThePointer) {
    Rig r;
    r.btn->SetPatFocus(1);
    EXPECT_EQ(r.btn->GetBlockIndex(), 0);
    r.root->MouseMove(0, 20, 20);
    EXPECT_TRUE(r.btn->GetFocus());
    EXPECT_EQ(r.btn->GetBlockIndex(), 1);
    r.root->MouseMove(0, 150, 150);
    EXPECT_EQ(r.btn->GetBlockIndex(), 0);
    // With AutoFocus the pointer decides; without it SetFocus does.
    r.btn->SetFocus(true);
    EXPECT_EQ(r.btn->GetBlockIndex(), 0);
    r.btn->SetAutoFocus(false);
    r.btn->SetFocus(true);
    EXPECT_EQ(r.btn->GetBlockIndex(), 1);
    r.root->MouseMove(0, 20, 20);
    r.root->MouseMove(0, 150, 150);
    EXPECT_EQ(r.btn->GetBlockIndex(), 1);
    r.btn->SetAutoFocus(true);
    EXPECT_FALSE(r.btn->GetFocus());
    EXPECT_EQ(r.btn->GetBlockIndex(), 0);
    // Hiding drops an automatic focus.
    r.root->MouseMove(0, 20, 20);
    r.btn->Hide();
    EXPECT_FALSE(r.btn->GetFocus());
}

TEST(Button, DownRunPlaysWhileHeldEveryThirdTick) {
    Rig r;
    r.btn->SetPatNormal(2);
    r.btn->SetPatDown(2);
    r.btn->SetAnimeWait(3);
    r.root->MouseDown(mbLeft, 0, 20, 20);
    EXPECT_EQ(r.btn->GetBlockIndex(), 2);
    EXPECT_EQ(r.Ticks(7), (V{2, 2, 3, 3, 3, 2, 2}));
    r.root->MouseUp(mbLeft, 0, 20, 20);
    EXPECT_EQ(r.btn->GetBlockIndex(), 0);
    EXPECT_EQ(r.clicks, 1);
    EXPECT_EQ(r.animes, 7);
    // The right button does not press it down.
    r.root->MouseDown(mbRight, 0, 20, 20);
    EXPECT_EQ(r.btn->GetBlockIndex(), 0);
    r.root->MouseUp(mbRight, 0, 20, 20);
    EXPECT_EQ(r.clicks, 1);
}

TEST(Button, RoundTripAndWraparound) {
    Rig r;
    r.btn->SetPatNormal(4);
    r.btn->SetAnimeType(batRoundtrip);
    EXPECT_EQ(r.Ticks(8), (V{1, 2, 3, 2, 1, 0, 1, 2}));
    r.btn->SetAnimeType(batWraparound);
    EXPECT_EQ(r.Ticks(3), (V{3, 0, 1}));
    // One-block runs stay put; a hidden button neither steps nor fires.
    r.btn->SetPatNormal(1);
    EXPECT_EQ(r.Ticks(2), (V{0, 0}));
    r.btn->SetPatNormal(3);
    const int fired = r.animes;
    r.btn->Hide();
    EXPECT_EQ(r.Ticks(3), (V{0, 0, 0}));
    EXPECT_EQ(r.animes, fired);
}

TEST(Button, SelectedAndDisabledLooks) {
    Rig r;
    r.btn->SetPatDown(2);
    r.btn->SetSelected(true);
    EXPECT_EQ(r.btn->GetBlockIndex(), 1);  // no selected run: the down run
    r.btn->SetPatSelected(1);
    EXPECT_EQ(r.btn->GetBlockIndex(), 1);
    EXPECT_EQ(r.btn->GetNumBlock(), 4);
    r.btn->SetPatDisable(1);
    r.btn->SetEnabled(false);
    EXPECT_EQ(r.btn->GetBlockIndex(), 4);
    r.btn->SetEnabled(true);
    r.btn->SetSelected(false);
    EXPECT_EQ(r.btn->GetBlockIndex(), 0);

    // Disabled without its own run: the other looks remain and clicks are swallowed.
    r.btn->SetPatDisable(0);
    r.btn->SetPatFocus(1);
    r.btn->SetEnabled(false);
    r.root->MouseMove(0, 20, 20);
    EXPECT_EQ(r.btn->GetBlockIndex(), 1);
    r.root->MouseDown(mbLeft, 0, 20, 20);
    EXPECT_EQ(r.btn->GetBlockIndex(), 3);
    r.root->MouseUp(mbLeft, 0, 20, 20);
    EXPECT_EQ(r.downs, 1);
    EXPECT_EQ(r.ups, 1);
    EXPECT_EQ(r.clicks, 0);
}

}  // namespace
