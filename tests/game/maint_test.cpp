// The wait-for-frame protocol on a real logic thread, the wait thread, the low-memory warning
// and the command-line switches.
#include "form_harness.h"
#include "game/splashf.h"
#include "platform/locks.h"
#include "wait_for.h"

namespace {

// A logic thread that runs a test's body with the logic lock held, as the game's threads do.
class ScriptThread : public TMainThread {
  public:
    ScriptThread(TGameForm* form, std::function<void(ScriptThread&)> body)
        : TMainThread(form), body_(std::move(body)) {}
    ~ScriptThread() override { Shutdown(); }

    TGameForm* GetForm() { return Form; }

  protected:
    void Execute() override {
        Form->LogicLock->Enter();
        try {
            body_(*this);
        } catch (const EGameEnd&) {
        }
        Form->LogicLock->Leave();
        Form->RequestClose();
    }

  private:
    std::function<void(ScriptThread&)> body_;
};

// Ends every wait from inside the frame, twice, and counts the frames that ran.
struct Ender {
    ScriptThread* thread = nullptr;
    std::atomic<int> frames{0};
    void OnFrame(int) {
        ++frames;
        EndWait(1);
        EndWait(2);
    }
};

class MainThreadTest : public FormHarness {
  protected:
    void SetUp() override {
        FormHarness::SetUp();
        WriteData();
    }
    ScriptThread* StartWith(std::function<void(ScriptThread&)> body) {
        form = new TGameForm(nullptr, true, "scr_c", "scr_c");
        GameForm = form;
        form->MakeLogicThread = [body](TGameForm* f) { return new ScriptThread(f, body); };
        form->FormCreate();
        form->FormShow();
        return static_cast<ScriptThread*>(MainThread.load());
    }
};

TEST_F(MainThreadTest, EndWaitTwiceInAFrameEndsTheWaitOnceWithTheLastResult) {
    Ender ender;
    std::atomic<int> results{-1};
    std::atomic<int> framesAtEnd{0};
    StartWith([&](ScriptThread& t) {
        t.GetForm()->SetOnFrame(ZRBaseCallback1<void, int>(&ender, &Ender::OnFrame));
        t.WaitFrame();
        results = t.Result.load();
        framesAtEnd = ender.frames.load();
        t.GetForm()->SetOnFrame(ZRBaseCallback1<void, int>());
    });
    ASSERT_TRUE(ServiceUntil([&] { return results.load() != -1; }));
    EXPECT_EQ(results.load(), 2);
    EXPECT_EQ(framesAtEnd.load(), 1);
}

TEST_F(MainThreadTest, TerminatedThreadLeavesTheWaitWithoutAFrame) {
    std::atomic<bool> go{false}, ended{false}, otherGotLock{false}, checked{false};
    std::atomic<int32_t> consumedBefore{-1};
    std::thread other;
    ScriptThread* t = StartWith([&](ScriptThread& self) {
        while (!go.load()) std::this_thread::yield();
        consumedBefore = self.GetForm()->ConsumedTicks.load();
        try {
            self.WaitFrame();
        } catch (const EGameEnd& e) {
            ended = std::string(e.what()) == "GameEnd";
            // The logic lock is this thread's again: another thread cannot have it now.
            TGameForm* f = self.GetForm();
            other = std::thread([f, &otherGotLock] {
                f->LogicLock->Enter();
                otherGotLock = true;
                f->LogicLock->Leave();
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            checked = !otherGotLock.load();
        }
    });
    ASSERT_NE(t, nullptr);
    t->Terminate();
    go = true;
    ASSERT_TRUE(ServiceUntil([&] { return !MainThread.load(); }));
    other.join();
    EXPECT_TRUE(ended.load());
    EXPECT_TRUE(checked.load());
    EXPECT_TRUE(otherGotLock.load());
    EXPECT_EQ(form->ConsumedTicks.load(), consumedBefore.load());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(MainThreadTest, LowMemoryIsReportedOncePerThread) {
    SetAvailableMemoryProbe([] { return kLowMemoryBytes - 1; });
    std::atomic<int> waits{0};
    StartWith([&](ScriptThread& self) {
        for (int i = 0; i < 5; ++i) {
            self.GetForm()->WaitEnded.store(false);
            // Each wait runs several frames before the clock's tick ends it.
            struct Once {
                void OnFrame(int d) {
                    if (d > 0) EndWait(0);
                }
            } once;
            self.GetForm()->SetOnFrame(ZRBaseCallback1<void, int>(&once, &Once::OnFrame));
            self.WaitFrame();
            self.GetForm()->SetOnFrame(ZRBaseCallback1<void, int>());
            ++waits;
        }
    });
    ASSERT_TRUE(ServiceUntil([&] { return waits.load() == 5; }));
    const auto b = boxes.Boxes();
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0], "警告|メモリの残り容量が少なくなりました。\nゲームを再起動してください。");
}

TEST_F(MainThreadTest, WaitThreadRunsFramesOnlyInWaitAndHold) {
    std::atomic<int> stage{0};
    StartWith([&](ScriptThread& self) {
        self.BeginHoldMode();
        stage = 1;
        while (stage.load() != 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        self.BeginMenuMode();
        stage = 3;
        while (!self.Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    ASSERT_TRUE(ServiceUntil([&] { return stage.load() == 1; }));
    // The logic thread holds its lock and does not wait, yet frames run.
    const int32_t before = form->ConsumedTicks.load();
    ASSERT_TRUE(ServiceUntil([&] { return form->ConsumedTicks.load() > before + 2; }));
    stage = 2;
    ASSERT_TRUE(ServiceUntil([&] { return stage.load() == 3; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int32_t after = form->ConsumedTicks.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(form->ConsumedTicks.load(), after);
    // Waking the sleeping wait thread many times over never loses the next wait mode.
    for (int i = 0; i < 100; ++i) form->WaitThread->Resume();
}

// In the wait mode the wait thread renders on its own while the logic thread goes on, and a
// screen (the title's call) sets and clears the draw hooks from the logic thread meanwhile:
// every render that finds a hook set draws through it, and the two threads take turns at the
// hooks (ThreadSanitizer reports a race if the setter does not take the render's lock).
struct HookCounter {
    std::atomic<int> drawn{0};
    void Draw(TNyRGBBits*, int, ZRRectSet*) { ++drawn; }
};

TEST_F(MainThreadTest, DrawHooksChangeWhileTheWaitThreadRenders) {
    HookCounter counter;
    std::atomic<bool> done{false};
    StartWith([&](ScriptThread& self) {
        self.BeginWaitMode();
        TGameForm* f = self.GetForm();
        using Hook = ZRBaseCallback3<void, TNyRGBBits*, int, ZRRectSet*>;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (int i = 0; counter.drawn.load() < 20 && std::chrono::steady_clock::now() < limit;
             ++i) {
            f->SetOnDrawModified(i % 2 ? Hook() : Hook(&counter, &HookCounter::Draw));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        f->SetOnDrawModified(Hook());
        done = true;
        while (!self.Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    for (int i = 0; i < 6 && !done.load(); ++i) ServiceUntil([&] { return done.load(); });
    ASSERT_TRUE(done.load());
    EXPECT_GE(counter.drawn.load(), 20);
}

// The wait thread steps frames back to back in the wait mode while the logic thread waits for
// frames too. Each step is held, with the frame lock and asleep as the window's own pacing is,
// until the other thread queues for the lock, so the holder asks again the moment it lets go:
// the two must take strict turns, and the logic thread must leave its wait for a close while
// the wait thread keeps stepping.
TEST_F(MainThreadTest, LogicAndWaitThreadsTakeTurnsAtTheFrameLock) {
    constexpr size_t kSteps = 40;
    constexpr int kStepsAfterClose = 100;  // then a starved logic thread is let through
    std::atomic<uint32_t> logicId{0};
    std::string turns;  // written under the frame lock until it is full
    std::atomic<bool> recorded{false}, closing{false};
    std::atomic<int> waitStepsAfterClose{0};
    FramePacer = [&](TGameForm* f) {
        const bool logic = plat::CurrentThreadId() == logicId.load();
        if (turns.size() < kSteps) {
            turns += logic ? 'L' : 'W';
            if (turns.size() == kSteps) recorded = true;
        }
        if (!logic && closing.load() && ++waitStepsAfterClose == kStepsAfterClose)
            f->ScreenMode.store(smMenu);
        while (f->GetScreenMode() == smWait && f->FrameLock->Waiting() == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    };
    ScriptThread* t = StartWith([&](ScriptThread& self) {
        logicId = plat::CurrentThreadId();
        self.BeginWaitMode();
        self.WaitFrame();  // ended only by the close
    });
    ASSERT_NE(t, nullptr);
    ASSERT_TRUE(ServiceUntil([&] { return recorded.load(); }));
    EXPECT_EQ(turns.find("LL"), std::string::npos) << turns;
    EXPECT_EQ(turns.find("WW"), std::string::npos) << turns;
    // The close as the window's close button makes it, without the question.
    closing = true;
    t->Terminate();
    ASSERT_TRUE(ServiceUntil([&] { return !MainThread.load(); }));
    EXPECT_LE(waitStepsAfterClose.load(), 2);
}

// With no logic thread running, EndWait ends nothing: the window's frames go on calling the
// frame handlers, and a thread that is not the running one keeps its result.
TEST_F(MainThreadTest, EndWaitWithoutALogicThreadIsIgnored) {
    struct Count {
        void OnFrame(int) { ++frames; }
        int frames = 0;
    } count;
    Start();
    ASSERT_EQ(MainThread.load(), nullptr);
    form->SetOnFrame(ZRBaseCallback1<void, int>(&count, &Count::OnFrame));
    form->WaitEnded.store(false);
    ScriptThread idle(form, [](ScriptThread&) {});
    idle.Result.store(3);
    EndWait(5);
    EXPECT_FALSE(form->WaitEnded.load());
    EXPECT_EQ(idle.Result.load(), 3);
    EXPECT_FALSE(idle.Done.load());
    Tick(1);
    form->FrameStep();
    EXPECT_EQ(count.frames, 1);
    form->SetOnFrame(ZRBaseCallback1<void, int>());
}

TEST(GameErrorTest, Messages) {
    EXPECT_STREQ(EGameEnd().what(), "GameEnd");
    EGameEnd copy = EGameEnd();
    EXPECT_STREQ(copy.what(), "GameEnd");
    EXPECT_STREQ(EGameErr().what(), "GameErr");
}

TEST(SwitchTest, WindowAndFpsAfterDashOrSlashInAnyCase) {
    struct Case {
        const char* arg;
        bool window;
        bool fps;
    };
    const Case cases[] = {
        {"-WINDOW", true, false}, {"/window", true, false},   {"-WiNdOw", true, false},
        {"/fps", false, true},    {"WINDOW", false, false},   {"-", false, false},
        {"/", false, false},      {"-WINDOWS", false, false}, {"", false, false}};
    for (const Case& c : cases) {
        DisplayKind = 0;
        ShowFps = false;
        ApplySwitch(c.arg);
        EXPECT_EQ(DisplayKind == kDisplayWindow, c.window) << c.arg;
        EXPECT_EQ(ShowFps, c.fps) << c.arg;
    }
    DisplayKind = 0;
    ApplySwitch("-window");
    ApplySwitch("-FPS");
    EXPECT_EQ(DisplayKind, kDisplayWindow);
    EXPECT_TRUE(ShowFps);
    ShowFps = false;
}

}  // namespace
