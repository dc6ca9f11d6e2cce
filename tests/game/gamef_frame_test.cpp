// The frame clock and the frame step, driven in lock step.
#include <algorithm>
#include <new>
#include <numeric>
#include <stdexcept>

#include "form_harness.h"
#include "platform/clock.h"
#include "platform/exception.h"

namespace {

// Counts the frame callbacks and remembers the last elapsed-tick argument.
struct FrameProbe {
    void OnFrame(int d) {
        ++frames;
        last = d;
        if (throwClassLibrary) throw plat::Exception("dropped");
        if (throwOther) throw std::runtime_error("fatal");
    }
    bool OnMovie(TNyRGBBits*, int) {
        ++movies;
        if (throwFromDraw) throw std::bad_alloc();
        return true;
    }
    void OnDraw(TNyRGBBits*, int) {
        if (throwFromDraw) throw std::bad_alloc();
    }
    void OnDrawModified(TNyRGBBits*, int, ZRRectSet*) {
        if (throwFromDraw) throw std::runtime_error("fatal");
    }
    void OnRestore(bool) {
        if (throwFromDraw) throw std::runtime_error("fatal");
    }
    int frames = 0;
    int last = -1;
    int movies = 0;
    bool throwClassLibrary = false;
    bool throwOther = false;
    bool throwFromDraw = false;
};

class FrameTest : public FormHarness {
  protected:
    void SetUp() override {
        FormHarness::SetUp();
        WriteData();
        Start();
        form->SetOnFrame(ZRBaseCallback1<void, int>(&probe, &FrameProbe::OnFrame));
        form->WaitEnded.store(false);
    }
    FrameProbe probe;
};

TEST_F(FrameTest, TimerMakesThirtyTicksASecondInEitherPeriod) {
    for (int period : {10, 5, 7}) {
        form->TimerPeriod = period;
        form->ResetFrameClock();
        const int calls = period == 10 ? 100 : 200;
        std::vector<int> at;
        for (int i = 1; i <= calls; ++i) {
            const int32_t before = form->FrameTicks.load();
            form->TimerTick();
            if (form->FrameTicks.load() != before) at.push_back(i);
        }
        ASSERT_EQ(at.size(), 30u) << period;
        if (period == 10)
            EXPECT_EQ((std::vector<int>{at[0], at[1], at[2], at[3]}),
                      (std::vector<int>{3, 6, 10, 13}));
        else
            EXPECT_EQ((std::vector<int>{at[0], at[1], at[2], at[3]}),
                      (std::vector<int>{6, 13, 20, 26}));
    }
    // Created and closing windows produce no ticks.
    for (uint8_t mode : {smCreated, smClosing}) {
        form->ScreenMode.store(mode);
        form->ResetFrameClock();
        for (int i = 0; i < 50; ++i) form->TimerTick();
        EXPECT_EQ(form->FrameTicks.load(), 0);
        EXPECT_EQ(form->SubTick.load(), 0);
    }
    form->ScreenMode.store(smStarted);
}

TEST_F(FrameTest, FrameRateModesDecideWhichStepsRun) {
    // 15 fps: one tick is not enough, the second brings d = 2.
    form->FrameRateMode = 0;
    Tick(1);
    form->FrameStep();
    EXPECT_EQ(probe.frames, 0);
    EXPECT_EQ(form->ConsumedTicks.load(), 0);
    Tick(1);
    form->FrameStep();
    EXPECT_EQ(probe.frames, 1);
    EXPECT_EQ(probe.last, 2);

    // 30 fps: every tick, nothing without one.
    form->FrameRateMode = 1;
    form->FrameStep();
    EXPECT_EQ(probe.frames, 1);
    Tick(1);
    form->FrameStep();
    EXPECT_EQ(probe.frames, 2);
    EXPECT_EQ(probe.last, 1);

    // Full speed: every step, with whatever ticks passed.
    form->FrameRateMode = 2;
    form->FrameStep();
    EXPECT_EQ(probe.frames, 3);
    EXPECT_EQ(probe.last, 0);
    Tick(3);
    form->FrameStep();
    EXPECT_EQ(probe.last, 3);
}

TEST_F(FrameTest, MovieModeRunsEveryStepAndRendersTheMovie) {
    form->FrameRateMode = 1;
    form->SetOnMovieDraw(ZRBaseCallback2<bool, TNyRGBBits*, int>(&probe, &FrameProbe::OnMovie));
    form->ScreenMode.store(smMovie);
    form->FrameStep();
    EXPECT_EQ(probe.frames, 1);
    EXPECT_EQ(probe.last, 0);
    EXPECT_EQ(probe.movies, 1);
}

TEST_F(FrameTest, CounterWrapKeepsTicksThatArrived) {
    form->FrameRateMode = 1;
    form->ConsumedTicks.store(1000001);
    form->FrameTicks.store(1000004);
    form->FrameStep();
    EXPECT_EQ(probe.last, 3);
    EXPECT_EQ(form->FrameTicks.load(), 3);
    EXPECT_EQ(form->ConsumedTicks.load(), 3);
}

// A mode change on the logic thread resets the clock while the wait thread may be stepping:
// here the reset comes after a step has read 40 ticks and before it has marked them consumed.
// At 15 fps the second tick after the reset must bring a frame again, not the 42nd.
TEST_F(FrameTest, ClockResetDuringAStepKeepsTheClockWhole) {
    form->FrameRateMode = 0;
    FramePacer = [](TGameForm*) {};
    Tick(40);
    std::atomic<bool> atProbe{false}, goOn{false}, resetDone{false};
    FrameClockProbe = [&](TGameForm*) {
        atProbe = true;
        while (!goOn.load()) std::this_thread::yield();
    };
    std::thread stepper([this] { form->FrameStep(); });
    while (!atProbe.load()) std::this_thread::yield();
    std::thread resetter([&] {
        form->ResetFrameClock();
        resetDone = true;
    });
    // The reset either lands now or waits for the step to finish.
    while (!resetDone.load() && form->ClockLock.Waiting() == 0) std::this_thread::yield();
    goOn = true;
    stepper.join();
    resetter.join();
    FrameClockProbe = nullptr;
    EXPECT_EQ(probe.frames, 1);
    EXPECT_EQ(probe.last, 40);
    Tick(2);
    form->FrameStep();
    EXPECT_EQ(probe.frames, 2);
    EXPECT_EQ(probe.last, 2);
}

TEST_F(FrameTest, ExceptionsOutOfAFrame) {
    // The class library's exceptions from a callback are dropped; the game goes on.
    probe.throwClassLibrary = true;
    form->FrameStep();
    EXPECT_EQ(probe.frames, 1);
    EXPECT_EQ(form->GetScreenMode(), smStarted);
    // Anything else closes the game, and the frame lock is free again.
    probe.throwClassLibrary = false;
    probe.throwOther = true;
    form->FrameStep();
    EXPECT_EQ(form->GetScreenMode(), smClosing);
    form->FrameStep();
    EXPECT_EQ(probe.frames, 2);
    std::thread other([this] { form->FrameStep(); });
    other.join();
    probe.throwOther = false;

    // A draw that throws out of any of the three renders closes the game too, and gives back
    // every lock and hold of the render: the close waits for the logic lock on another thread.
    // A display reset whose restore handler throws gives back its locks the same way.
    form->SetOnDraw(ZRBaseCallback2<void, TNyRGBBits*, int>(&probe, &FrameProbe::OnDraw));
    form->SetOnDrawModified(
        ZRBaseCallback3<void, TNyRGBBits*, int, ZRRectSet*>(&probe, &FrameProbe::OnDrawModified));
    form->SetOnMovieDraw(ZRBaseCallback2<bool, TNyRGBBits*, int>(&probe, &FrameProbe::OnMovie));
    const struct {
        const char* name;
        uint8_t mode;
        bool full;
        bool reset;
    } renders[] = {{"full", smMenu, true, false},
                   {"modified", smMenu, false, false},
                   {"movie", smMovie, false, false},
                   {"display reset", smMenu, false, true}};
    for (const auto& r : renders) {
        SCOPED_TRACE(r.name);
        form->ScreenMode.store(r.mode);
        form->FullRenderPending.store(r.full);
        probe.throwFromDraw = true;
        if (r.reset) {
            form->RestoreHandlers.emplace_back(&probe, &FrameProbe::OnRestore);
            EXPECT_THROW(form->ResetDisplay(DisplayKind), std::runtime_error);
            form->RestoreHandlers.clear();
        } else {
            form->FrameStep();
            EXPECT_EQ(form->GetScreenMode(), smClosing);
        }
        probe.throwFromDraw = false;
        bool logicFree = false, drawFree = false, gateFree = false;
        std::thread closer([&] {
            if ((logicFree = form->LogicLock->TryEnter())) form->LogicLock->Leave();
            if ((drawFree = form->DrawLock->TryEnter())) form->DrawLock->Leave();
            if ((gateFree = form->RenderGate->Check())) form->RenderGate->Release();
        });
        closer.join();
        EXPECT_TRUE(logicFree);
        EXPECT_TRUE(drawFree);
        EXPECT_TRUE(gateFree);
        EXPECT_FALSE(form->ConvertBits->Locked());
        EXPECT_FALSE(form->Display->DrawSurface()->Locked());
    }
    form->SetOnDraw(ZRBaseCallback2<void, TNyRGBBits*, int>());
    form->SetOnDrawModified(ZRBaseCallback3<void, TNyRGBBits*, int, ZRRectSet*>());
    form->SetOnMovieDraw(ZRBaseCallback2<bool, TNyRGBBits*, int>());
}

TEST_F(FrameTest, NoCallbacksAfterTheWaitEnded) {
    form->WaitEnded.store(true);
    form->FrameStep();
    EXPECT_EQ(probe.frames, 0);
    // An empty slot is never called, so no "Invalid Callback" comes out of a frame.
    form->SetOnFrame(ZRBaseCallback1<void, int>());
    form->WaitEnded.store(false);
    form->FrameStep();
    EXPECT_EQ(form->GetScreenMode(), smStarted);
}

// What the lock-step harness's pacings give the game: under "Full" about ten frames share a
// tick and most see none, a key pressed before one of those is a first press there all the
// same; under "15FPS" every frame sees two ticks.
struct InputProbe {
    void OnInput(int d, TDInputUnit* input) {
        ds.push_back(d);
        if (input->IsPush(0)) pushedAt.push_back(d);
    }
    std::vector<int> ds, pushedAt;
};

TEST_F(FrameTest, PacingsFrameAsTheGameDoes) {
    InputProbe in;
    form->SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>(&in, &InputProbe::OnInput));
    struct Case {
        Pacing pacing;
        uint8_t mode;  // the window's frame-rate mode under it
        int frames, zeroTickFrames, ticks;
    };
    for (const Case& c : {Case{Pacing::Full, 2, 30, 27, 3}, Case{Pacing::Fps15, 0, 15, 0, 30},
                          Case{Pacing::OneTick, 2, 30, 0, 30}}) {
        in.ds.clear();
        form->FrameRateMode = 2;
        UsePacing(c.pacing);
        form->ResetFrameClock();
        Steps(c.pacing == Pacing::Fps15 ? 15 : 30);
        EXPECT_EQ(form->FrameRateMode, c.mode);
        EXPECT_EQ(int(in.ds.size()), c.frames);
        EXPECT_EQ(std::count(in.ds.begin(), in.ds.end(), 0), c.zeroTickFrames);
        EXPECT_EQ(std::accumulate(in.ds.begin(), in.ds.end(), 0), c.ticks);
    }
    UsePacing(Pacing::Full);
    ToZeroTickStep();
    input.Press(0x1C, 0x0D, true);  // Enter: button 0
    form->FrameStep();
    input.Press(0x1C, 0x0D, false);
    form->FrameStep();
    EXPECT_EQ(in.pushedAt, std::vector<int>{0});
    form->SetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>());
}

TEST(FpsCounterTest, CountsFramesOfTheLastFourQuarterSeconds) {
    plat::ManualTicks ticks(10000);
    plat::SetTickSource(&ticks);
    FpsCounter fps;
    fps.Reset();
    // 10 frames in each quarter second for two seconds.
    for (int q = 0; q < 8; ++q)
        for (int i = 0; i < 10; ++i) {
            fps.Count();
            ticks.Advance(25);
        }
    EXPECT_EQ(fps.Count(), 40);
    // A pause of a second starts it over.
    ticks.Advance(1500);
    EXPECT_EQ(fps.Count(), 0);
    plat::SetTickSource(nullptr);
}

}  // namespace

namespace {

// The real clock: frames run at the mode's rate when the frame step is called in a loop. A
// loaded machine may stall the loop or the timer for whole frames, so the figures are held to
// what the pacing guarantees whatever the load: no frame without its ticks, no tick lost or
// counted twice, and never more ticks than the clock's 30 a second.
class PacingTest : public FormHarness {
  protected:
    struct Run {
        int steps = 0, frames = 0, ticksSeen = 0, produced = 0, fewest = 1 << 30;
        double seconds = 0;
    };
    struct Probe {
        void OnFrame(int d) {
            ++run->frames;
            run->ticksSeen += d;
            run->fewest = std::min(run->fewest, d);
        }
        Run* run;
    };
    // Steps frames for a second, and on until the timer has produced a few ticks.
    Run Pace(uint8_t mode) {
        Run run;
        Probe probe{&run};
        form->SetOnFrame(ZRBaseCallback1<void, int>(&probe, &Probe::OnFrame));
        form->FrameRateMode = mode;
        form->WaitEnded.store(false);
        form->ResetFrameClock();
        const auto start = std::chrono::steady_clock::now();
        form->Timer->SetEnabled(true);
        const auto until = start + std::chrono::seconds(1);
        const auto limit = start + std::chrono::seconds(20);
        while ((std::chrono::steady_clock::now() < until || form->FrameTicks.load() < 6) &&
               std::chrono::steady_clock::now() < limit) {
            form->FrameStep();
            ++run.steps;
        }
        form->Timer->SetEnabled(false);
        run.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        run.produced = form->FrameTicks.load();
        // One more step takes the ticks that came after the last, and the next sees none.
        for (int i = 0; i < 2; ++i) {
            form->FrameStep();
            ++run.steps;
        }
        form->SetOnFrame(ZRBaseCallback1<void, int>());
        return run;
    }
};

TEST_F(PacingTest, ModesRunAtTheirRates) {
    WriteData();
    Start();
    // 30 fps: a frame for every step that saw a tick, each with what arrived.
    Run r = Pace(1);
    ASSERT_GE(r.produced, 6);
    EXPECT_LE(r.produced, r.seconds * 30 + 3);
    EXPECT_EQ(r.ticksSeen, r.produced);
    EXPECT_GE(r.fewest, 1);
    EXPECT_LE(r.frames, r.produced);
    // 15 fps: two ticks at least for each frame.
    r = Pace(0);
    ASSERT_GE(r.produced, 6);
    EXPECT_LE(r.produced, r.seconds * 30 + 3);
    EXPECT_GE(r.fewest, 2);
    EXPECT_LE(r.frames, r.produced / 2);
    EXPECT_GE(r.ticksSeen, r.produced - 1);  // one odd tick may wait for its partner
    // Full speed: every step is a frame, one that saw no tick too.
    r = Pace(2);
    ASSERT_GE(r.produced, 6);
    EXPECT_LE(r.produced, r.seconds * 30 + 3);
    EXPECT_EQ(r.frames, r.steps);
    EXPECT_EQ(r.ticksSeen, r.produced);
    EXPECT_EQ(r.fewest, 0);
}

}  // namespace
