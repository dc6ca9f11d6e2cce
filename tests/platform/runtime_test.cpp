#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/mainqueue.h"
#include "platform/thread.h"
#include "wait_for.h"

namespace {

using namespace std::chrono_literals;

// A thread running a given function; shuts down before the function goes.
class FnThread : public plat::Thread {
  public:
    explicit FnThread(std::function<void(FnThread&)> fn) : fn_(std::move(fn)) {}
    ~FnThread() override { Shutdown(); }
    using plat::Thread::SetReturnValue;

  protected:
    void Execute() override { fn_(*this); }

  private:
    std::function<void(FnThread&)> fn_;
};

// Starts n threads that each wait on the event once and count their release.
struct Waiters {
    Waiters(plat::Event& ev, int n, uint32_t timeout = plat::Event::kInfinite) {
        for (int i = 0; i < n; ++i)
            threads.emplace_back([&ev, this, timeout] {
                if (ev.WaitFor(timeout)) ++released;
            });
    }
    ~Waiters() { Join(); }
    void Join() {
        for (auto& t : threads)
            if (t.joinable()) t.join();
    }
    std::atomic<int> released{0};
    std::vector<std::thread> threads;
};

TEST(Event, ManualPulseReleasesEveryWaiterAndLeavesTheEventClear) {
    plat::Event ev(true, false);
    Waiters w(ev, 3);
    ASSERT_TRUE(WaitFor([&] { return ev.Waiters() == 3; }));
    ev.Pulse();
    w.Join();
    EXPECT_EQ(w.released.load(), 3);
    EXPECT_FALSE(ev.WaitFor(0));
}

TEST(Event, AutoPulseReleasesOneWaiterPerPulse) {
    plat::Event ev(false, false);
    Waiters w(ev, 3);
    ASSERT_TRUE(WaitFor([&] { return ev.Waiters() == 3; }));
    ev.Pulse();
    ASSERT_TRUE(WaitFor([&] { return w.released.load() == 1; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(w.released.load(), 1);
    EXPECT_EQ(ev.Waiters(), 2);
    ev.Pulse();
    ev.Pulse();  // may come before the second waiter leaves: still one each
    w.Join();
    EXPECT_EQ(w.released.load(), 3);
    EXPECT_FALSE(ev.WaitFor(0));
}

TEST(Event, PulseWithNobodyWaitingIsLost) {
    for (bool manual : {true, false}) {
        plat::Event ev(manual, false);
        ev.Pulse();
        EXPECT_FALSE(ev.WaitFor(30));
        Waiters w(ev, 1, 60);
        w.Join();
        EXPECT_EQ(w.released.load(), 0) << "a pulse must not wait for a later waiter";
    }
}

TEST(Event, SetReleasesOneAutoWaiterOrEveryManualWaiter) {
    plat::Event autoEv(false, false);
    Waiters a(autoEv, 3);
    ASSERT_TRUE(WaitFor([&] { return autoEv.Waiters() == 3; }));
    autoEv.Set();
    ASSERT_TRUE(WaitFor([&] { return a.released.load() == 1; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(a.released.load(), 1);
    autoEv.Set();
    ASSERT_TRUE(WaitFor([&] { return a.released.load() == 2; }));
    autoEv.Set();
    a.Join();
    EXPECT_FALSE(autoEv.WaitFor(0));

    plat::Event manualEv(true, false);
    Waiters m(manualEv, 3);
    ASSERT_TRUE(WaitFor([&] { return manualEv.Waiters() == 3; }));
    manualEv.Set();
    m.Join();
    EXPECT_EQ(m.released.load(), 3);
    EXPECT_TRUE(manualEv.WaitFor(0));
    manualEv.Reset();
    EXPECT_FALSE(manualEv.WaitFor(0));
}

TEST(Event, TimedWaitGivesUpAfterItsTimeout) {
    plat::Event ev(false, false);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(ev.WaitFor(50));
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 49ms);
    plat::Event initially(false, true);
    EXPECT_TRUE(initially.WaitFor(0));
    EXPECT_FALSE(initially.WaitFor(0));
}

TEST(Thread, RunsOnlyAfterItsGateOpensAndOnlyOnce) {
    std::atomic<int> runs{0};
    FnThread t([&](FnThread&) { ++runs; });
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(runs.load(), 0);
    EXPECT_FALSE(t.Finished());
    t.Start();
    t.Start();
    t.WaitFor();
    EXPECT_EQ(runs.load(), 1);
    EXPECT_TRUE(t.Finished());
}

TEST(Thread, NeverStartedThreadEndsWithoutRunning) {
    std::atomic<int> runs{0};
    {
        FnThread t([&](FnThread&) { ++runs; });
    }
    EXPECT_EQ(runs.load(), 0);
}

TEST(Thread, TerminateIsARequestTheThreadAnswers) {
    std::atomic<int> loops{0};
    FnThread t([&](FnThread& self) {
        while (!self.Terminated()) {
            ++loops;
            std::this_thread::sleep_for(1ms);
        }
        self.SetReturnValue(loops > 0 ? 7 : -1);
    });
    t.Start();
    // A loaded machine may start the thread late: wait until it has looped a few times.
    ASSERT_TRUE(WaitFor([&] { return loops.load() >= 3; }));
    EXPECT_FALSE(t.Finished());
    t.Terminate();
    EXPECT_EQ(t.WaitFor(), 7);
}

TEST(Thread, AnExceptionEndsTheThreadAndIsKept) {
    FnThread t([](FnThread&) { throw std::runtime_error("boom"); });
    t.Start();
    t.WaitFor();
    ASSERT_TRUE(t.FatalException());
    EXPECT_THROW(std::rethrow_exception(t.FatalException()), std::runtime_error);
}

TEST(Thread, SynchronizeWhileTheMainThreadJoinsDoesNotDeadlock) {
    ASSERT_TRUE(plat::IsMainThread());
    std::thread::id ranOn;
    FnThread t([&](FnThread& self) {
        std::this_thread::sleep_for(20ms);  // let the main thread be inside WaitFor
        for (int i = 0; i < 3; ++i) self.Synchronize([&] { ranOn = std::this_thread::get_id(); });
        self.SetReturnValue(5);
    });
    t.Start();
    EXPECT_EQ(t.WaitFor(), 5);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(Thread, SynchronizeHandsTheCallsExceptionBackToTheWorker) {
    std::atomic<bool> caught{false};
    FnThread t([&](FnThread& self) {
        try {
            self.Synchronize([] { throw std::logic_error("on main"); });
        } catch (const std::logic_error&) {
            caught = true;
        }
    });
    t.Start();
    t.WaitFor();
    EXPECT_TRUE(caught.load());
}

TEST(Thread, WaitForFromAnotherWorkerAndFromItselfRefused) {
    std::atomic<bool> selfRefused{false};
    FnThread t([&](FnThread& self) {
        try {
            self.WaitFor();
        } catch (const std::logic_error&) {
            selfRefused = true;
        }
        self.SetReturnValue(3);
    });
    std::atomic<int> seen{0};
    std::thread other([&] { seen = t.WaitFor(); });
    t.Start();
    other.join();
    EXPECT_EQ(seen.load(), 3);
    EXPECT_TRUE(selfRefused.load());
}

TEST(MainQueue, MainThreadWaitOnAnEventServesSynchronizedCalls) {
    plat::Event done(true, false);
    int value = 0;
    FnThread t([&](FnThread& self) {
        self.Synchronize([&] { value = 42; });
        done.Set();
    });
    t.Start();
    EXPECT_TRUE(done.WaitFor(5000));
    EXPECT_EQ(value, 42);
}

TEST(MainQueue, PostedCallsRunInOrderOnService) {
    auto& q = plat::MainQueue::Instance();
    q.Service();
    std::vector<int> order;
    q.Post([&] { order.push_back(1); });
    q.Post([&] {
        order.push_back(2);
        q.Post([&] { order.push_back(3); });
    });
    EXPECT_EQ(q.Service(), 2);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(q.HasPending());
    EXPECT_EQ(q.Service(), 1);
    EXPECT_EQ(order.back(), 3);
}

TEST(Clock, TickSourceCanBeReplacedAndRestored) {
    plat::ManualTicks manual(0xFFFFFFF0u);
    plat::SetTickSource(&manual);
    EXPECT_EQ(plat::GetTickCount(), 0xFFFFFFF0u);
    manual.Advance(0x20);
    EXPECT_EQ(plat::GetTickCount(), 0x10u);  // wraps like a 32-bit count
    plat::SetTickSource(nullptr);
    // Milliseconds: measured against the steady clock around it, however long the sleep took.
    const auto start = std::chrono::steady_clock::now();
    const uint32_t a = plat::GetTickCount();
    std::this_thread::sleep_for(15ms);
    const uint32_t d = plat::GetTickCount() - a;
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    EXPECT_GE(d, 14u);
    EXPECT_LE(static_cast<int64_t>(d), took.count() + 1);
}

}  // namespace
