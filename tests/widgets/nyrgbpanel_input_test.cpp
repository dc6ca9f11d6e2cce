#include <gtest/gtest.h>

#include "panels.h"
#include "widgets/nyrgbpanel.h"

using namespace testpanels;

namespace {

// Root 200x200; a at (10,10) 50x50 and, overlapping it in front, b at (40,40) 50x50; a1 inside
// a at (5,5) 10x10.
struct Tree {
    Tree() {
        root = Place(&owner, nullptr, 0, 0, 200, 200);
        a = Place(&owner, root, 10, 10, 50, 50);
        b = Place(&owner, root, 40, 40, 50, 50);
        a1 = Place(&owner, a, 5, 5, 10, 10);
        for (auto [p, n] : {std::pair{root, "root"}, {a, "a"}, {b, "b"}, {a1, "a1"}})
            Watch(p, n, log);
        root->AllCreate();
        log.Take();
    }
    Log log;
    plat::TComponent owner;
    TNyRGBPanel *root, *a, *b, *a1;
};

TEST(PanelInput, MovesTrackEnterAndLeaveAndEndAtTheDeepestTaker) {
    Tree t;
    EXPECT_TRUE(t.root->MouseMove(0, 16, 17));
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"a:Enter", "a1:Enter", "a1:Move 1,2"}));
    EXPECT_EQ(t.root->GetHoverChild(), t.a);
    EXPECT_EQ(t.a->GetHoverChild(), t.a1);

    // b lies in front of a where they overlap.
    t.root->MouseMove(0, 45, 45);
    EXPECT_EQ(t.log.Take(),
              (std::vector<std::string>{"a:Leave", "a1:Leave", "b:Enter", "b:Move 5,5"}));
    t.root->MouseMove(0, 150, 150);
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"b:Leave", "root:Move 150,150"}));

    // Without MouseControl a panel is passed over and its children cannot be reached.
    t.a->SetMouseControl(false);
    t.root->MouseMove(0, 16, 17);
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"root:Move 16,17"}));
    t.root->SetMouseControl(false);
    EXPECT_FALSE(t.root->MouseMove(0, 16, 17));
    t.root->Hide();
    EXPECT_FALSE(t.root->MouseMove(0, 45, 45));
}

TEST(PanelInput, PressCapturesAndAReleaseInsideClicks) {
    Tree t;
    EXPECT_TRUE(t.root->MouseDown(mbLeft, 0, 50, 50));
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"b:Down0 10,10"}));
    EXPECT_EQ(t.root->GetMouseCapture(), t.b);
    EXPECT_EQ(t.a1->GetMouseCapture(), t.b);
    EXPECT_TRUE(t.b->GetPressed());

    // Captured: moves go to b in its coordinates wherever the pointer is, with no enter/leave.
    t.root->MouseMove(0, 16, 17);
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"b:Move -24,-23"}));
    t.root->MouseMove(0, 45, 45);
    EXPECT_TRUE(t.root->MouseUp(mbLeft, 0, 45, 45));
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"b:Move 5,5", "b:Up0 5,5", "b:Click",
                                                       "b:Enter", "b:Move 5,5"}));
    EXPECT_EQ(t.root->GetMouseCapture(), nullptr);
    EXPECT_FALSE(t.b->GetPressed());

    // Down, out, up: no click.
    t.root->MouseDown(mbLeft, 0, 50, 50);
    t.root->MouseUp(mbLeft, 0, 150, 150);
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"b:Down0 10,10", "b:Up0 110,110",
                                                       "b:Leave", "root:Move 150,150"}));

    // The right button captures but never clicks.
    t.root->MouseDown(mbRight, 0, 50, 50);
    EXPECT_EQ(t.root->GetMouseCapture(), t.b);
    EXPECT_FALSE(t.b->GetPressed());
    t.root->MouseUp(mbRight, 0, 50, 50);
    EXPECT_EQ(t.log.Count("b:Click"), 0);
    EXPECT_EQ(t.log.Count("b:Up1 10,10"), 1);
}

TEST(PanelInput, CaptureIsDroppedWhenTheCapturingPanelGoes) {
    Tree t;
    t.root->MouseDown(mbLeft, 0, 16, 16);
    EXPECT_EQ(t.root->GetMouseCapture(), t.a1);
    t.a->Release();
    EXPECT_EQ(t.root->GetMouseCapture(), nullptr);
    EXPECT_FALSE(t.a1->GetPressed());

    t.a->Create();
    t.root->MouseDown(mbLeft, 0, 16, 16);
    t.a->Hide();
    EXPECT_EQ(t.root->GetMouseCapture(), nullptr);

    t.a->Show();
    t.root->MouseDown(mbLeft, 0, 16, 16);
    t.a->SetParent(nullptr);
    EXPECT_EQ(t.root->GetMouseCapture(), nullptr);
    EXPECT_EQ(t.a1->GetMouseCapture(), nullptr);
    t.a->SetParent(t.root);

    // A captured panel released behind the tree's back: the release is unhandled.
    t.root->MouseDown(mbLeft, 0, 16, 16);
    EXPECT_EQ(t.root->GetMouseCapture(), t.a1);
    t.log.Take();
    t.a1->SetMouseCapToChild(nullptr);
    t.a1->Release();
    ASSERT_EQ(t.root->GetMouseCapture(), t.a1);
    EXPECT_FALSE(t.root->MouseUp(mbLeft, 0, 16, 16));
    EXPECT_EQ(t.root->GetMouseCapture(), nullptr);
    EXPECT_EQ(t.log.Count("a1:Click"), 0);

    // A child attached under a captured tree takes the capture value over.
    t.root->MouseDown(mbLeft, 0, 80, 80);
    auto* late = new TNyRGBPanel(&t.owner, t.b);
    EXPECT_EQ(late->GetMouseCapture(), t.b);
}

TEST(PanelInput, TransparentPixelsLetThePointerThrough) {
    Tree t;
    auto pic = Picture(50, 50, 0x00FF00);
    pic->BoxFill(0, 0, 9, 9, 0xFF00FF);
    TNyAlpha alpha;
    alpha.Resize(50, 50);
    alpha.Create();
    alpha.BoxFill(0, 0, 9, 9, 0);
    t.b->SetImage(pic.get());
    t.b->SetAlpha(&alpha);
    t.b->SetMaskMode(1);
    // Opaque to the mouse until MouseTrans is set.
    EXPECT_EQ(t.root->FindPosPanel(45, 45, true), t.b);
    t.b->SetMouseTrans(true);
    EXPECT_EQ(t.root->FindPosPanel(45, 45, true), t.a);
    EXPECT_EQ(t.root->FindPosPanel(45, 45, false), t.b);
    EXPECT_EQ(t.root->FindPosPanel(55, 55, true), t.b);
    t.root->MouseDown(mbLeft, 0, 45, 45);
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"a:Down0 35,35"}));
    t.root->MouseUp(mbLeft, 0, 45, 45);
    t.log.Take();

    // Colour key: key-coloured pixels are transparent; the block shown counts.
    t.b->SetMaskMode(2);
    t.b->SetColorKey(ZRRGB(0xFF00FFu));
    EXPECT_TRUE(t.b->PosIsTrans(5, 5));
    EXPECT_FALSE(t.b->PosIsTrans(15, 15));
    t.b->SetNumBlock(5);
    t.b->SetBlockIndex(1);
    EXPECT_FALSE(t.b->PosIsTrans(5, 5));
    t.b->SetBlockIndex(0);

    // Mode 3 consults the alpha plane; opaque mode never lets through; no picture always does.
    t.b->SetMaskMode(3);
    EXPECT_TRUE(t.b->PosIsTrans(5, 5));
    t.b->SetMaskMode(0);
    EXPECT_FALSE(t.b->PosIsTrans(5, 5));
    t.b->SetImage(nullptr);
    EXPECT_TRUE(t.b->PosIsTrans(30, 30));
    // A transparent point still hits through a child that lies there.
    t.a->SetMouseTrans(true);
    EXPECT_TRUE(t.a->PosInPanel(6, 6, true));
    EXPECT_FALSE(t.a->PosInPanel(30, 30, true));
    EXPECT_TRUE(t.a->PosInPanel(30, 30, false));
}

TEST(PanelInput, PressesPassThroughPanelsThatIgnoreTheMouse) {
    Tree t;
    t.a->SetMouseControl(false);
    EXPECT_EQ(t.root->FindPosPanel(16, 16, true), nullptr);
    EXPECT_TRUE(t.root->MouseDown(mbLeft, 0, 16, 16));
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"a1:Down0 1,1"}));
    EXPECT_TRUE(t.root->MouseUp(mbLeft, 0, 16, 16));
    EXPECT_EQ(t.log.Count("a1:Click"), 1);
    t.log.Take();
    // Without capture a release goes by rectangle to the front-most taker.
    EXPECT_TRUE(t.root->MouseUp(mbLeft, 0, 50, 50));
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"b:Up0 10,10"}));
    t.root->SetMouseControl(false);
    EXPECT_FALSE(t.root->MouseUp(mbLeft, 0, 150, 150));
    EXPECT_FALSE(t.root->MouseDown(mbLeft, 0, 150, 150));
}

TEST(PanelInput, WheelReachesTheFrontMostChildFirstWherestheverThePointerIs) {
    Tree t;
    bool handled = false;
    t.root->MouseWheel(0, 120, TPoint{150, 150}, handled);
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"b:Wheel 120 110,110", "a1:Wheel 120 135,135",
                                                       "a:Wheel 120 140,140",
                                                       "root:Wheel 120 150,150"}));
    t.b->OnMouseWheel = [](TNyRGBPanel*, TShiftState, int, const TPoint&, bool& h) { h = true; };
    handled = false;
    t.root->MouseWheel(0, -120, TPoint{0, 0}, handled);
    EXPECT_TRUE(handled);
    EXPECT_TRUE(t.log.lines.empty());
}

TEST(PanelInput, KeysTravelTheActiveChainToTheDeepestTaker) {
    Tree t;
    uint16_t key = 13;
    EXPECT_FALSE(t.root->KeyDown(key, 0));
    t.root->SetKeyControl(true);
    EXPECT_TRUE(t.root->KeyDown(key, 0));
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"root:KeyDown 13"}));

    // a is behind b; bringing it forward routes keys through it to a1.
    t.a1->SetKeyControl(true);
    t.a->SetActive();
    t.log.Take();
    t.a1->OnKeyDown = [&](TNyRGBPanel*, uint16_t& k, TShiftState) {
        t.log.Add("a1:KeyDown " + std::to_string(k));
        k = 0;
    };
    EXPECT_TRUE(t.root->KeyDown(key, 0));
    EXPECT_EQ(key, 0);
    EXPECT_TRUE(t.root->KeyUp(key, 0));
    char c = 'x';
    EXPECT_TRUE(t.root->KeyPress(c));
    EXPECT_EQ(t.log.Take(),
              (std::vector<std::string>{"a1:KeyDown 13", "a1:KeyUp 0", "a1:KeyPress x"}));
    t.a1->Hide();
    t.log.Take();
    EXPECT_TRUE(t.root->KeyPress(c));
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"root:KeyPress x"}));
}

TEST(PanelInput, RebuildingTheHoverStateAfterStatusClear) {
    Tree t;
    t.root->MouseMove(0, 16, 16);
    t.log.Take();
    t.root->StatusClear();
    EXPECT_EQ(t.root->GetHoverChild(), nullptr);
    EXPECT_EQ(t.a->GetHoverChild(), nullptr);
    t.root->MouseEnter(16, 16);
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"root:Enter", "a:Enter", "a1:Enter"}));
    t.root->MouseLeave();
    EXPECT_EQ(t.log.Take(), (std::vector<std::string>{"root:Leave", "a:Leave", "a1:Leave"}));
    EXPECT_EQ(t.root->GetHoverChild(), nullptr);
}

}  // namespace
