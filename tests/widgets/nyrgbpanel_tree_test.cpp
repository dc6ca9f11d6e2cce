#include <gtest/gtest.h>

#include <stdexcept>

#include "panels.h"
#include "widgets/nyrgbpanel.h"

using namespace testpanels;

namespace {

std::vector<TNyRGBPanel*> Children(const TNyRGBPanel* p) {
    std::vector<TNyRGBPanel*> out;
    for (int i = 0; i < p->GetChildCount(); ++i) out.push_back(p->GetChild(i));
    return out;
}

TEST(PanelTree, DefaultsAndConstructionFireNothing) {
    Log log;
    plat::TComponent owner;
    auto* root = new TNyRGBPanel(&owner);
    auto* child = new TNyRGBPanel(&owner, root);
    Watch(root, "root", log);
    EXPECT_FALSE(root->GetCreated());
    EXPECT_TRUE(root->GetVisible());
    EXPECT_TRUE(root->GetMouseControl());
    EXPECT_FALSE(root->GetKeyControl());
    EXPECT_TRUE(root->GetAutoSize());
    EXPECT_EQ(root->GetSizeX(), 640);
    EXPECT_EQ(root->GetSizeY(), 480);
    EXPECT_EQ(root->GetNumBlock(), 1);
    EXPECT_EQ(child->GetParent(), root);
    EXPECT_EQ(Children(root), std::vector<TNyRGBPanel*>{child});
    EXPECT_FALSE(root->GetModified());
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(root->GetChild(1), nullptr);
    EXPECT_EQ(root->GetChild(-1), nullptr);
}

TEST(PanelTree, AllCreateFiresParentFirstAndAllReleaseChildrenFirst) {
    Log log;
    plat::TComponent owner;
    auto* root = new TNyRGBPanel(&owner);
    auto* a = new TNyRGBPanel(&owner, root);
    auto* b = new TNyRGBPanel(&owner, root);
    auto* a1 = new TNyRGBPanel(&owner, a);
    Watch(root, "root", log);
    Watch(a, "a", log);
    Watch(b, "b", log);
    Watch(a1, "a1", log);
    b->Hide();
    EXPECT_TRUE(root->AllCreate());
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"root:Create", "root:Show", "a:Create",
                                                     "a:Show", "a1:Create", "a1:Show",
                                                     "b:Create"}));
    EXPECT_TRUE(b->GetCreated());
    root->AllRelease();
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"a1:Hide", "a1:Release", "a:Hide",
                                                     "a:Release", "b:Release", "root:Hide",
                                                     "root:Release"}));
    EXPECT_FALSE(a1->GetCreated());

    // Hiding a released panel fires nothing but still clears its state.
    a->Hide();
    EXPECT_TRUE(log.lines.empty());
    EXPECT_TRUE(a->Show());
    EXPECT_TRUE(log.lines.empty());
    root->Create();
    log.Take();
    a->SetCreated(true);
    a->SetCreated(true);
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"a:Create", "a:Show"}));
    a->SetVisible(false);
    a->SetVisible(false);
    a->SetVisible(true);
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"a:Hide", "a:Show"}));
}

TEST(PanelTree, ThrowingCreateHandlerLeavesThePanelReleased) {
    Log log;
    plat::TComponent owner;
    auto* root = new TNyRGBPanel(&owner);
    auto* bad = new TNyRGBPanel(&owner, root);
    auto* after = new TNyRGBPanel(&owner, root);
    Watch(bad, "bad", log);
    Watch(after, "after", log);
    bad->OnShow = [](TNyRGBPanel*) { throw std::runtime_error("no picture"); };
    EXPECT_FALSE(bad->Create());
    EXPECT_FALSE(bad->GetCreated());
    EXPECT_EQ(log.Take(),
              (std::vector<std::string>{"bad:Create", "bad:Hide", "bad:Release"}));

    // One failing child makes AllCreate false but its siblings are still created.
    EXPECT_FALSE(root->AllCreate());
    EXPECT_TRUE(root->GetCreated());
    EXPECT_TRUE(after->GetCreated());
    EXPECT_FALSE(bad->GetCreated());
}

TEST(PanelTree, ParentsCyclesAndOrder) {
    plat::TComponent owner;
    auto* root = new TNyRGBPanel(&owner);
    auto* a = new TNyRGBPanel(&owner, root);
    auto* b = new TNyRGBPanel(&owner, root);
    auto* c = new TNyRGBPanel(&owner, root);
    auto* a1 = new TNyRGBPanel(&owner, a);
    EXPECT_TRUE(a1->SearchPanelToParent(root));
    EXPECT_TRUE(a1->SearchPanelToParent(a1));
    EXPECT_FALSE(a->SearchPanelToParent(a1));

    // A descendant cannot become the parent: the panel is left parentless.
    a->SetParent(a1);
    EXPECT_EQ(a->GetParent(), nullptr);
    EXPECT_EQ(Children(root), (std::vector<TNyRGBPanel*>{b, c}));
    EXPECT_EQ(Children(a), std::vector<TNyRGBPanel*>{a1});
    a->SetParent(a);
    EXPECT_EQ(a->GetParent(), nullptr);

    a->SetParent(root);
    EXPECT_EQ(Children(root), (std::vector<TNyRGBPanel*>{b, c, a}));
    b->SetParent(root);
    EXPECT_EQ(Children(root), (std::vector<TNyRGBPanel*>{c, a, b}));

    root->RaiseOrder(c, nullptr);
    EXPECT_EQ(Children(root), (std::vector<TNyRGBPanel*>{a, b, c}));
    root->DownOrder(c, nullptr);
    EXPECT_EQ(Children(root), (std::vector<TNyRGBPanel*>{c, a, b}));
    root->RaiseOrder(c, a);
    EXPECT_EQ(Children(root), (std::vector<TNyRGBPanel*>{a, c, b}));
    root->DownOrder(b, a);
    EXPECT_EQ(Children(root), (std::vector<TNyRGBPanel*>{b, a, c}));
    root->RaiseOrder(a, a);
    root->RaiseOrder(a1, nullptr);
    EXPECT_EQ(Children(root), (std::vector<TNyRGBPanel*>{b, a, c}));
    root->DownOrder(a, a1);
    EXPECT_EQ(Children(root), (std::vector<TNyRGBPanel*>{a, b, c}));

    int x = 5, y = 7;
    a->SetOffsetX(10);
    a1->SetOffsetY(100);
    root->SetOffsetX(1000);
    a1->ClientToScreen(x, y);
    EXPECT_EQ(x, 1015);
    EXPECT_EQ(y, 107);
    a1->ScreenToClient(x, y);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 7);
}

TEST(PanelTree, DestroyingDetachesFromBothSides) {
    Log log;
    auto root = std::make_unique<TNyRGBPanel>(nullptr);
    auto mid = std::make_unique<TNyRGBPanel>(nullptr, root.get());
    auto leaf = std::make_unique<TNyRGBPanel>(nullptr, mid.get());
    root->AllCreate();
    Watch(mid.get(), "mid", log);
    mid.reset();
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"mid:Hide", "mid:Release"}));
    EXPECT_EQ(root->GetChildCount(), 0);
    EXPECT_EQ(leaf->GetParent(), nullptr);
    EXPECT_TRUE(leaf->GetCreated());

    // An owner destroys what it owns; a panel destroyed first leaves its owner's list.
    plat::TComponent owner;
    auto* p = new TNyRGBPanel(&owner, root.get());
    EXPECT_EQ(owner.ComponentCount(), 1);
    delete p;
    EXPECT_EQ(owner.ComponentCount(), 0);
    EXPECT_EQ(root->GetChildCount(), 0);
}

TEST(PanelTree, ActiveChainFollowsTheFrontMostShownChildren) {
    Log log;
    plat::TComponent owner;
    auto* root = new TNyRGBPanel(&owner);
    auto* a = new TNyRGBPanel(&owner, root);
    auto* b = new TNyRGBPanel(&owner, root);
    auto* b1 = new TNyRGBPanel(&owner, b);
    auto* c = new TNyRGBPanel(&owner, root);
    for (auto [p, n] : {std::pair{a, "a"}, {b, "b"}, {b1, "b1"}, {c, "c"}}) Watch(p, n, log);
    c->Hide();
    root->Create();
    root->SetActive();
    EXPECT_TRUE(root->GetActive());
    // Built in one go, the chain is decided once: no panel is activated and then dropped.
    root->AllCreate();
    EXPECT_EQ(root->GetActivePanel(), b);
    EXPECT_EQ(log.Count("a:Activate"), 0);
    EXPECT_EQ(log.Count("b:Activate"), 1);
    EXPECT_EQ(log.Count("b1:Activate"), 1);
    log.Take();

    // Bringing a to the front moves the chain; b deactivates after its child.
    a->SetActive();
    EXPECT_EQ(Children(root), (std::vector<TNyRGBPanel*>{b, c, a}));
    EXPECT_EQ(log.Take(),
              (std::vector<std::string>{"b1:Deactivate", "b:Deactivate", "a:Activate"}));
    EXPECT_TRUE(a->GetActive());
    EXPECT_FALSE(b1->GetActive());

    // Releasing the front panel hands the chain back.
    a->Release();
    EXPECT_EQ(root->GetActivePanel(), b);
    EXPECT_TRUE(b->GetActive());
    EXPECT_TRUE(b1->GetActive());

    // A panel attached in front of an active chain joins it.
    auto* d = new TNyRGBPanel(&owner, root);
    Watch(d, "d", log);
    log.Take();
    d->Create();
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"d:Create", "d:Show", "b1:Deactivate",
                                                     "b:Deactivate", "d:Activate"}));
    c->Show();
    EXPECT_EQ(root->GetActivePanel(), d);
}

TEST(PanelTree, SettersAutoSizeAndBlocks) {
    plat::TComponent owner;
    auto* p = new TNyRGBPanel(&owner);
    auto pic = Picture(40, 60, 0x123456);
    p->SetNumBlock(3);
    p->SetImage(pic.get());
    EXPECT_EQ(p->GetSizeX(), 40);
    EXPECT_EQ(p->GetSizeY(), 20);
    p->SetNumBlock(0);
    p->SetNumBlock(-2);
    EXPECT_EQ(p->GetNumBlock(), 3);
    p->SetBlockIndex(2);
    p->SetBlockIndex(3);
    p->SetBlockIndex(-1);
    EXPECT_EQ(p->GetBlockIndex(), 2);
    p->SetNumBlock(2);
    EXPECT_EQ(p->GetBlockIndex(), 1);
    EXPECT_EQ(p->GetSizeY(), 20);

    // An uncreated picture does not size the panel; turning AutoSize back on does.
    auto* q = new TNyRGBPanel(&owner);
    q->SetAutoSize(false);
    q->SetImage(pic.get());
    EXPECT_EQ(q->GetSizeX(), 640);
    q->SetAutoSize(true);
    EXPECT_EQ(q->GetSizeX(), 40);
    EXPECT_EQ(q->GetSizeY(), 60);
    TNyRGBBits uncreated(nullptr);
    auto* r = new TNyRGBPanel(&owner);
    r->SetImage(&uncreated);
    EXPECT_EQ(r->GetSizeX(), 640);

    p->SetText("title.png");
    EXPECT_STREQ(p->GetText().c_str(), "title.png");
}

TEST(PanelTree, AnimeTicksCreatedSubtreesChildrenFirstEvenWhenHidden) {
    Log log;
    plat::TComponent owner;
    auto* root = new TNyRGBPanel(&owner);
    auto* a = new TNyRGBPanel(&owner, root);
    auto* b = new TNyRGBPanel(&owner, root);
    auto* a1 = new TNyRGBPanel(&owner, a);
    for (auto [p, n] : {std::pair{root, "root"}, {a, "a"}, {b, "b"}, {a1, "a1"}})
        p->OnAnime = [&log, n = std::string(n)](TNyRGBPanel*) { log.Add(n); };
    root->AllCreate();
    a->Hide();
    b->Release();
    root->Anime();
    EXPECT_EQ(log.Take(), (std::vector<std::string>{"a1", "a", "root"}));
    root->Release();
    root->Anime();
    EXPECT_TRUE(log.lines.empty());
}

}  // namespace
