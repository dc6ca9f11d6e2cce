#include "platform/periodic_timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <chrono>
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
