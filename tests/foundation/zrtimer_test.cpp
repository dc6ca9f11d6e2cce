#include "foundation/zrtimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "wait_for.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// An OnTimer target whose behaviour each test picks.
struct Sink {
    std::atomic<int> calls{0};
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::atomic<int> sleepMs{0};
    std::atomic<int> ticksPerCall{0};  // each call waits until the count reaches calls * this
    std::atomic<bool> starved{false};
    std::atomic<int> disableOnCall{0};
    std::atomic<int> restartOnCall{0};
    std::atomic<bool> fail{false};
    void* lastArg = nullptr;

    void OnTimer(void* arg) {
        if (inside.fetch_add(1) != 0) overlapped = true;
        lastArg = arg;
        int n = ++calls;
        auto* t = static_cast<ZRTimer*>(arg);
        if (n == disableOnCall) t->SetEnabled(false);
        if (n == restartOnCall) t->SetInterval(t->GetInterval() + 1);
        if (sleepMs) std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs.load()));
        if (ticksPerCall && !WaitFor([&] { return t->GetCount() >= n * ticksPerCall; })) {
            starved = true;
        }
        inside.fetch_sub(1);
        if (fail) throw std::runtime_error("callback failed");
    }
    ZRBaseCallback1<void, void*> Callback() { return {this, &Sink::OnTimer}; }
};

TEST(ZRTimer, ResolutionFollowsTheIntervalWithinTheDevice) {
    ZRTimer t;
    EXPECT_EQ(t.GetInterval(), 1000u);
    EXPECT_EQ(t.GetResolution(), 100u);
    t.SetInterval(33);
    EXPECT_EQ(t.GetResolution(), 33u);
    t.SetInterval(500);
    EXPECT_EQ(t.GetResolution(), 100u);
    t.SetInterval(0);
    EXPECT_EQ(t.GetResolution(), 1u);
    // Enabled with interval 0: nothing runs and no period is raised.
    t.SetEnabled(true);
    EXPECT_FALSE(t.IsRunning());
    EXPECT_EQ(t.GetPeriod(), 0u);
    EXPECT_TRUE(plat::TimerPeriodsInForce().empty());
}

TEST(ZRTimer, PeriodIsRaisedWhileRunningAndEndedOnDisableAndDestruction) {
    {
        ZRTimer t;
        t.SetInterval(33);
        t.SetEnabled(true);
        EXPECT_TRUE(t.IsRunning());
        EXPECT_EQ(t.GetPeriod(), 33u);
        EXPECT_EQ(plat::TimerPeriodsInForce(), (std::vector<uint32_t>{33}));
        t.SetInterval(250);
        EXPECT_EQ(plat::TimerPeriodsInForce(), (std::vector<uint32_t>{100}));
        t.SetEnabled(false);
        EXPECT_FALSE(t.IsRunning());
        EXPECT_EQ(t.GetPeriod(), 0u);
        EXPECT_TRUE(plat::TimerPeriodsInForce().empty());
        t.SetEnabled(true);
        EXPECT_EQ(plat::TimerPeriodsInForce(), (std::vector<uint32_t>{100}));
    }
    EXPECT_TRUE(plat::TimerPeriodsInForce().empty());
}

TEST(ZRTimer, CounterLimits) {
    ZRTimer t;
    t.CountDec();
    EXPECT_EQ(t.GetCount(), 0);
    t.CountInc();
    t.CountInc();
    t.CountDec();
    EXPECT_EQ(t.GetCount(), 1);
    t.CountClear();
    EXPECT_EQ(t.GetCount(), 0);
}

TEST(ZRTimer, TickDuringTheCallbackIsCountedNotCalled) {
    ZRTimer t;
    struct Nested {
        ZRTimer* timer;
        int calls = 0;
        void OnTimer(void*) {
            ++calls;
            timer->Timer();
            timer->Timer();
        }
    } nested{&t};
    t.SetOnTimer({&nested, &Nested::OnTimer});
    t.Timer();
    EXPECT_EQ(t.GetCount(), 3);
    EXPECT_EQ(nested.calls, 1);
    t.Timer();
    EXPECT_EQ(nested.calls, 2);
}

TEST(ZRTimer, CallbackExceptionBecomesTimerCallErrorAndClearsBusy) {
    ZRTimer t;
    Sink sink;
    sink.fail = true;
    t.SetOnTimer(sink.Callback());
    try {
        t.Timer();
        FAIL() << "no exception";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Timer Call Error");
    }
    EXPECT_THROW(t.Timer(), std::logic_error);
    EXPECT_EQ(sink.calls.load(), 2);
    EXPECT_EQ(sink.lastArg, &t);

    // On the timer thread the exception is dropped and ticking goes on.
    t.SetInterval(1);
    t.SetEnabled(true);
    EXPECT_TRUE(WaitFor([&] { return sink.calls.load() >= 5; }));
}

TEST(ZRTimer, CountsTicksOverHalfASecond) {
    ZRTimer t;
    Sink sink;
    t.SetOnTimer(sink.Callback());
    t.SetInterval(10);
    auto start = Clock::now();
    t.SetEnabled(true);
    std::this_thread::sleep_for(500ms);
    // A clock thread the machine holds back delivers its ticks late, not never.
    EXPECT_TRUE(WaitFor([&] { return t.GetCount() >= 500 / 10 / 5; }));
    t.SetEnabled(false);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    int count = t.GetCount();
    // Missed deadlines are delivered late, so only a starved clock thread loses ticks.
    EXPECT_LE(count, ms / 10 + 1);
    EXPECT_GE(count, 500 / 10 / 5);
    EXPECT_LE(sink.calls.load(), count);
    EXPECT_GE(sink.calls.load(), 1);
    EXPECT_FALSE(sink.overlapped);
}

TEST(ZRTimer, SlowCallbackIsNotReenteredAndDisableWaitsForIt) {
    ZRTimer t;
    Sink sink;
    // Each call returns only once further ticks have been counted while it ran.
    sink.ticksPerCall = 4;
    t.SetOnTimer(sink.Callback());
    t.SetInterval(2);
    t.SetEnabled(true);
    ASSERT_TRUE(WaitFor([&] { return sink.calls.load() >= 3; }));
    EXPECT_FALSE(sink.starved);
    EXPECT_FALSE(sink.overlapped);

    // Disabling during a call waits for it; no call runs or starts afterwards.
    sink.ticksPerCall = 0;
    sink.sleepMs = 40;
    int before = sink.calls.load();
    ASSERT_TRUE(WaitFor([&] { return sink.calls.load() > before; }));
    t.SetEnabled(false);
    EXPECT_EQ(sink.inside.load(), 0);
    int calls = sink.calls.load();
    int count = t.GetCount();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(sink.calls.load(), calls);
    EXPECT_EQ(t.GetCount(), count);
    EXPECT_FALSE(sink.overlapped);
}

TEST(ZRTimer, DisableOrRestartFromInsideTheCallback) {
    Sink sink;
    {
        ZRTimer t;
        sink.disableOnCall = 3;
        t.SetOnTimer(sink.Callback());
        t.SetInterval(1);
        t.SetEnabled(true);
        ASSERT_TRUE(WaitFor([&] { return sink.calls.load() >= 3 && sink.inside.load() == 0; }));
        EXPECT_FALSE(t.IsRunning());
        EXPECT_FALSE(t.GetEnabled());
        EXPECT_EQ(t.GetPeriod(), 0u);
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(sink.calls.load(), 3);

        sink.disableOnCall = 0;
        sink.restartOnCall = 5;
        t.SetEnabled(true);
        ASSERT_TRUE(WaitFor([&] { return sink.calls.load() >= 10 && sink.inside.load() == 0; }));
        EXPECT_EQ(t.GetInterval(), 2u);
        EXPECT_TRUE(t.IsRunning());
    }
    int calls = sink.calls.load();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(sink.calls.load(), calls);
    EXPECT_FALSE(sink.overlapped);
}

}  // namespace
