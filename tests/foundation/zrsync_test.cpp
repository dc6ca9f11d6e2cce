#include "foundation/zrsync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "wait_for.h"

namespace {

using namespace std::chrono_literals;

// Check from a thread of its own; a successful take is given back there too.
bool CheckElsewhere(ZRCriticalSectionEx& cs) {
    return std::async(std::launch::async,
                      [&] {
                          bool ok = cs.Check();
                          if (ok) cs.Release();
                          return ok;
                      })
        .get();
}

TEST(ZRCriticalSectionEx, NestedChecksNeedAsManyReleasesAndExtraReleasesDoNothing) {
    ZRCriticalSectionEx cs;
    EXPECT_TRUE(cs.Check());
    EXPECT_TRUE(cs.Check());
    cs.Acquire();
    cs.Release();
    cs.Release();
    EXPECT_FALSE(CheckElsewhere(cs));
    cs.Release();
    EXPECT_TRUE(CheckElsewhere(cs));
    cs.Release();
    EXPECT_TRUE(CheckElsewhere(cs));
}

TEST(ZRCriticalSectionEx, OtherThreadsFailCheckAndBlockInAcquireUntilTheLastRelease) {
    ZRCriticalSectionEx cs;
    cs.Acquire();
    cs.Acquire();
    std::atomic<bool> taken{false};
    std::promise<void> released;
    std::thread b([&] {
        EXPECT_FALSE(cs.Check());
        cs.Acquire();
        taken = true;
        released.get_future().wait();
        // A Release from a thread that does not hold it changes nothing.
        cs.Release();
    });
    // B must have tried while both levels were held, however late the machine starts it.
    EXPECT_TRUE(WaitFor([&] { return cs.Waiting() == 1; }));
    EXPECT_FALSE(taken);
    cs.Release();
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(taken);
    EXPECT_FALSE(CheckElsewhere(cs));
    cs.Release();
    while (!taken) std::this_thread::sleep_for(1ms);
    // B holds it now; our own Releases and Checks do not touch B's hold.
    cs.Release();
    EXPECT_FALSE(cs.Check());
    released.set_value();
    b.join();
    EXPECT_TRUE(cs.Check());
    std::thread([&] { cs.Release(); }).join();
    EXPECT_FALSE(CheckElsewhere(cs));
    cs.Release();
    EXPECT_TRUE(CheckElsewhere(cs));
}

TEST(ZRCriticalSectionEx, TheReleasingThreadQueuesBehindTheWaiter) {
    ZRCriticalSectionEx cs;
    std::vector<char> order;  // written only by the holder
    cs.Acquire();
    std::thread b([&] {
        cs.Acquire();
        order.push_back('B');
        cs.Release();
    });
    EXPECT_TRUE(WaitFor([&] { return cs.Waiting() == 1; }));
    cs.Release();
    cs.Acquire();
    order.push_back('A');
    cs.Release();
    b.join();
    EXPECT_EQ(order, (std::vector<char>{'B', 'A'}));
}

TEST(ZRCriticalSectionEx, TakesFromManyThreadsExcludeEachOther) {
    ZRCriticalSectionEx cs;
    long shared = 0;
    std::atomic<long> takes{0};
    std::atomic<int> inside{0};
    std::atomic<bool> overlap{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                bool ok = true;
                if ((i + t) % 2) {
                    cs.Acquire();
                } else {
                    ok = cs.Check();
                }
                if (!ok) continue;
                if (inside.fetch_add(1) != 0) overlap = true;
                ++shared;
                ++takes;
                inside.fetch_sub(1);
                cs.Release();
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_FALSE(overlap);
    EXPECT_EQ(shared, takes.load());
    EXPECT_GE(takes.load(), 4000);
}

TEST(ZRCriticalSection, ReentersAndExcludesOtherThreads) {
    ZRCriticalSection cs;
    cs.Enter();
    cs.Enter();
    std::atomic<bool> entered{false};
    std::thread other([&] {
        cs.Enter();
        entered = true;
        cs.Leave();
    });
    cs.Leave();
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(entered);
    cs.Leave();
    other.join();
    EXPECT_TRUE(entered);
}

}  // namespace
