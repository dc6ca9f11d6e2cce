// Mode entries, the window's ownership of transition pictures, the transition mode ending the
// logic thread's wait, and capturing the screen in each display kind.
#include "form_harness.h"
#include "game/gameeffect.h"

namespace {

class LayersTest : public FormHarness {
  protected:
    void SetUp() override {
        FormHarness::SetUp();
        WriteData();
    }

    TNyRGBBits* Picture(int w, int h, uint32_t rgb) {
        TNyRGBBits* b = MemMan->CreateVCL<TNyRGBBits>(nullptr);
        b->SetBitDepth(WorkBitDepth);
        b->SetPixFormat(WorkBitDepth == bd32 ? pf32_888 : pf24_888);
        b->Resize(w, h);
        EXPECT_TRUE(b->Create());
        b->BoxFill(0, 0, w - 1, h - 1, rgb);
        return b;
    }

    void Click() {
        InputRecord r;
        r.kind = InputRecord::MouseDown;
        form->PushInput(r);
    }
};

TEST_F(LayersTest, ModeEntriesResetOnlyOnAChange) {
    Start();
    form->BeginMenuMode();
    Click();
    form->BeginMenuMode();
    EXPECT_EQ(form->QueuedInput(), 1u) << "entering the mode it is already in keeps the queue";

    TGameForm* f = form;
    const std::pair<std::function<void()>, uint8_t> entries[] = {
        {[f] { f->BeginAvgMode(); }, smAdventure}, {[f] { f->BeginBattleMode(); }, smBattle},
        {[f] { f->BeginMenuMode(); }, smMenu},     {[f] { f->BeginMovieMode(); }, smMovie},
        {[f] { f->BeginAvgMode(); }, smAdventure}, {[f] { f->BeginMenuMode(); }, smMenu}};
    for (const auto& e : entries) {
        Click();
        form->SetRootVisible(false);
        e.first();
        EXPECT_EQ(form->GetScreenMode(), e.second);
        EXPECT_EQ(form->QueuedInput(), 0u) << "clicks queued before the switch are dropped";
        EXPECT_TRUE(form->RootPanel->GetVisible());
    }
}

TEST_F(LayersTest, TheWindowOwnsEveryPairItIsGiven) {
    Start();
    const int before = MemMan->Count();
    // A refused start leaves the started mode; the pair is the window's all the same.
    EXPECT_FALSE(
        form->BeginTransitionMode(0, Picture(1280, 720, 0xFF0000), 100, Picture(640, 480, 0xFF)));
    EXPECT_EQ(form->GetScreenMode(), smStarted);
    EXPECT_TRUE(form->IsTransitionIdle());
    EXPECT_EQ(MemMan->Count(), before + 2);

    // The next start frees the refused pair; a running pair is freed by the one after it.
    EXPECT_TRUE(form->StartTransition(0, Picture(1280, 720, 0xFF0000), Picture(1280, 720, 0xFF)));
    EXPECT_EQ(MemMan->Count(), before + 2);
    EXPECT_FALSE(form->IsTransitionIdle());
    EXPECT_TRUE(form->StartTransition(3, Picture(1280, 720, 0xFF0000), Picture(1280, 720, 0xFF)));
    EXPECT_EQ(MemMan->Count(), before + 2);
    // Refused while one runs: the running effect must not keep the freed pictures.
    EXPECT_FALSE(form->StartTransition(3, Picture(16, 16, 0), Picture(16, 16, 0)));
    EXPECT_TRUE(form->IsTransitionIdle());
    EXPECT_EQ(form->Transition.from, nullptr);
    form->StopTransition();
    EXPECT_EQ(MemMan->Count(), before);
    // A pair left to the window at its end is freed with it (the leak check would see it).
    form->StartTransition(200, Picture(1280, 720, 0), Picture(1280, 720, 0));
}

TEST_F(LayersTest, TransitionModeEndsTheLogicThreadsWait) {
    class Script : public TMainThread {
      public:
        using TMainThread::TMainThread;
        ~Script() override { Shutdown(); }
        std::function<void(Script&)> body;
        TGameForm* F() { return Form; }

      protected:
        void Execute() override {
            Form->LogicLock->Enter();
            try {
                body(*this);
            } catch (const EGameEnd&) {
            }
            Form->LogicLock->Leave();
            Form->RequestClose();
        }
    };
    std::atomic<int> result{-1};
    std::atomic<uint8_t> modeAfter{0};
    std::atomic<uint32_t> shown{0};
    form = new TGameForm(nullptr, true, "scr_c", "scr_c");
    GameForm = form;
    form->MakeLogicThread = [&](TGameForm* f) {
        auto* s = new Script(f);
        s->body = [&](Script& self) {
            TGameForm* g = self.F();
            auto make = [this](uint32_t c) { return Picture(1280, 720, c); };
            // A kind without a routine shows the target at once; the next update ends it.
            if (!g->BeginTransitionMode(15, make(0xFF0000), 100, make(0x0000FF))) return;
            EXPECT_EQ(g->GetScreenMode(), smTransition);
            self.WaitFrame();
            modeAfter = g->GetScreenMode();
            shown = g->ConvertBits->PGet(640, 360) & 0xFFFFFF;
            // Last: the test thread reads the other two as soon as it sees this one.
            result = self.Result.load();
        };
        return s;
    };
    form->FormCreate();
    form->FormShow();
    ASSERT_TRUE(ServiceUntil([&] { return result.load() != -1; }));
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(modeAfter.load(), smStarted);
    EXPECT_EQ(shown.load(), 0x0000FFu);
    EXPECT_TRUE(form->IsTransitionIdle());
    EXPECT_EQ(form->TransitionFrom, nullptr);
}

TEST_F(LayersTest, CaptureReadsThePictureRowsOfEachDisplayKind) {
    Start();
    form->BeginMenuMode();
    TNyRGBBits* dest = Picture(1280, 720, 0x123456);
    struct Case {
        uint8_t kind;
        bool convert;  // the picture sits at row 0 of the conversion bitmap
        int firstRow;
    };
    for (const Case c : {Case{kDisplayWindow, true, 0}, Case{1, false, 152}}) {
        ASSERT_TRUE(form->ResetDisplay(c.kind));
        ASSERT_EQ(form->ConvertBits != nullptr, c.convert);
        TNyRGBBits* src = c.convert ? form->ConvertBits : form->Display->DrawSurface();
        const int rows = c.convert ? 720 : FullScreenHeight;
        src->BoxFill(0, 0, 1279, rows - 1, 0x808080);
        src->BoxFill(0, c.firstRow, 1279, c.firstRow, 0xFF0000);
        src->BoxFill(0, c.firstRow + 719, 1279, c.firstRow + 719, 0x00FF00);
        form->CaptureScreen(dest);
        EXPECT_EQ(dest->PGet(5, 0) & 0xFFFFFF, 0xFF0000u) << int(c.kind);
        EXPECT_EQ(dest->PGet(5, 719) & 0xFFFFFF, 0x00FF00u) << int(c.kind);
        EXPECT_EQ(dest->PGet(5, 360) & 0xFFFFFF, 0x808080u) << int(c.kind);
    }
    ASSERT_TRUE(form->ResetDisplay(kDisplayWindow));
    // Nothing that can be drawn: the capture is black rather than stale.
    MemMan->Delete(form->ConvertBits);
    form->Display->SetEnabled(false);
    form->CaptureScreen(dest);
    EXPECT_EQ(dest->PGet(5, 0) & 0xFFFFFF, 0u);
    MemMan->Delete(dest);
}

}  // namespace
