#include "platform/periodic_timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "wait_for.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(TimerDevice, ReportsOneMillisecondAndRecordsPeriods) {
    plat::TimerCaps caps = plat::GetTimerCaps();
    EXPECT_EQ(caps.minPeriod, 1u);
    EXPECT_GE(caps.maxPeriod, 100u);
    EXPECT_FALSE(plat::BeginTimerPeriod(0));
    EXPECT_TRUE(plat::BeginTimerPeriod(5));
    EXPECT_TRUE(plat::BeginTimerPeriod(1));
    EXPECT_TRUE(plat::BeginTimerPeriod(5));
    EXPECT_EQ(plat::TimerPeriodsInForce(), (std::vector<uint32_t>{1, 5, 5}));
    EXPECT_TRUE(plat::EndTimerPeriod(5));
    EXPECT_FALSE(plat::EndTimerPeriod(7));
    EXPECT_TRUE(plat::EndTimerPeriod(1));
    EXPECT_TRUE(plat::EndTimerPeriod(5));
    EXPECT_TRUE(plat::TimerPeriodsInForce().empty());
}

TEST(PeriodicTimer, TicksAtTheIntervalAndStopsForGood) {
    plat::PeriodicTimer t;
    std::atomic<int> ticks{0};
    EXPECT_FALSE(t.Start(0, [&] { ++ticks; }));
    EXPECT_FALSE(t.IsRunning());
    auto start = Clock::now();
    ASSERT_TRUE(t.Start(10, [&] { ++ticks; }));
    // Ticks keep coming (how soon depends on the machine's load), never faster than the
    // interval, and none after Stop.
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(WaitFor([&] { return ticks.load() >= 6; }));
    t.Stop();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    int seen = ticks.load();
    EXPECT_LE(seen, ms / 10 + 1);
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(ticks.load(), seen);
}

TEST(PeriodicTimer, TicksKeepComingWhileACallIsSlow) {
    plat::PeriodicTimer t;
    std::atomic<int> calls{0}, inside{0}, most{0};
    ASSERT_TRUE(t.Start(2, [&] {
        int now = ++inside;
        int m = most.load();
        while (now > m && !most.compare_exchange_weak(m, now)) {
        }
        // The first call lasts until a tick has come in beside it.
        if (++calls == 1) WaitFor([&] { return most.load() >= 2; });
        --inside;
    }));
    EXPECT_TRUE(WaitFor([&] { return most.load() >= 2; }));
    t.Stop();
    EXPECT_EQ(inside.load(), 0);
}

TEST(PeriodicTimer, AfterASlowCallTicksGoOnAtTheIntervalWithoutRepeats) {
    // One slow call, then quick ones: the ticks that fell due meanwhile are delivered once
    // (beside the slow call or late), and the quick calls go on at the interval.
    plat::PeriodicTimer t;
    std::atomic<int> calls{0};
    std::atomic<bool> slowDone{false};
    const auto start = Clock::now();
    ASSERT_TRUE(t.Start(2, [&] {
        if (++calls == 1) {
            std::this_thread::sleep_for(30ms);
            slowDone = true;
        }
    }));
    EXPECT_TRUE(WaitFor([&] { return slowDone.load(); }));
    const int afterSlow = calls.load();
    EXPECT_TRUE(WaitFor([&] { return calls.load() >= afterSlow + 10; }));
    t.Stop();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_LE(calls.load(), ms.count() / 2 + 1);
}

TEST(PeriodicTimer, StopEndsAtOnceAndWaitsForEveryCallInProgress) {
    struct Case {
        const char* what;
        uint32_t interval;
        bool slowCalls;
    };
    const Case cases[] = {
        // Nothing due for a long while: Stop must not wait for the next deadline.
        {"idle, long interval", 60000, false},
        // Both threads in a call: Stop returns only when both are out.
        {"clock and second thread in calls", 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        plat::PeriodicTimer t;
        std::atomic<int> calls{0}, inside{0};
        std::atomic<bool> release{false};
        ASSERT_TRUE(t.Start(c.interval, [&] {
            ++inside;
            const int n = ++calls;
            if (c.slowCalls && n == 1) WaitFor([&] { return release.load(); });
            if (c.slowCalls && n == 2) {
                release = true;
                std::this_thread::sleep_for(20ms);
            }
            --inside;
        }));
        if (c.slowCalls) {
            EXPECT_TRUE(WaitFor([&] { return release.load(); }));
        }
        const auto before = Clock::now();
        t.Stop();
        // Far below the long interval, far above what a busy machine needs to end the calls.
        EXPECT_LT(Clock::now() - before, 30s);
        EXPECT_EQ(inside.load(), 0);
        const int seen = calls.load();
        std::this_thread::sleep_for(10ms);
        EXPECT_EQ(calls.load(), seen);
    }
}

TEST(PeriodicTimer, DestroyedFromItsOwnProcedure) {
    // The procedure's state lives on the heap: a detached worker may still be leaving the
    // procedure when the test returns.
    auto* t = new plat::PeriodicTimer;
    auto gone = std::make_shared<std::atomic<bool>>(false);
    ASSERT_TRUE(t->Start(1, [gone, t] {
        if (!gone->exchange(true)) delete t;
    }));
    EXPECT_TRUE(WaitFor([&] { return gone->load(); }));
    std::this_thread::sleep_for(20ms);
}

}  // namespace
