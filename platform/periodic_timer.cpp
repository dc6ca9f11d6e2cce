#include "platform/periodic_timer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace plat {

namespace {

constexpr TimerCaps kCaps{1, 1000000};

std::mutex periodsMutex;
std::multiset<uint32_t> periods;

}  // namespace

TimerCaps GetTimerCaps() {
    return kCaps;
}

bool BeginTimerPeriod(uint32_t ms) {
    if (ms < kCaps.minPeriod || ms > kCaps.maxPeriod) return false;
    std::lock_guard lock(periodsMutex);
    periods.insert(ms);
    return true;
}

bool EndTimerPeriod(uint32_t ms) {
    std::lock_guard lock(periodsMutex);
    auto it = periods.find(ms);
    if (it == periods.end()) return false;
    periods.erase(it);
    return true;
}

std::vector<uint32_t> TimerPeriodsInForce() {
    std::lock_guard lock(periodsMutex);
    return std::vector<uint32_t>(periods.begin(), periods.end());
}

// Two workers take the ticks, so a slow call holds back no tick: while one worker is in
// a long call, the other delivers the ticks that fall due meanwhile.
struct PeriodicTimer::Run {
    std::mutex mutex;
    std::condition_variable clockWake;
    std::condition_variable workerWake;
    bool stop = false;
    int64_t pending = 0;  // ticks due and not yet taken by a worker
    int64_t maxPending = 0;
    std::chrono::milliseconds interval{0};
    std::function<void()> proc;
    std::thread clock;
    std::thread workers[2];

    bool OnOwnThread() const {
        auto self = std::this_thread::get_id();
        return clock.get_id() == self || workers[0].get_id() == self || workers[1].get_id() == self;
    }
    void Join() {
        if (clock.joinable()) clock.join();
        for (auto& w : workers) {
            if (w.joinable()) w.join();
        }
    }
    void Detach() {
        if (clock.joinable()) clock.detach();
        for (auto& w : workers) {
            if (w.joinable()) w.detach();
        }
    }
};

namespace {

void CallProc(const std::function<void()>& proc) {
    try {
        proc();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "periodic timer: tick dropped: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "periodic timer: tick dropped: unknown exception\n");
    }
}

}  // namespace

bool PeriodicTimer::Start(uint32_t intervalMs, std::function<void()> proc) {
    Stop();
    if (intervalMs == 0) return false;
    auto run = std::make_shared<Run>();
    run->interval = std::chrono::milliseconds(intervalMs);
    run->maxPending = std::max<int64_t>(1, 1000 / intervalMs);
    run->proc = std::move(proc);

    auto clockLoop = [run] {
        using Clock = std::chrono::steady_clock;
        auto next = Clock::now() + run->interval;
        std::unique_lock lock(run->mutex);
        while (!run->clockWake.wait_until(lock, next, [&] { return run->stop; })) {
            next += run->interval;
            // Late wake-ups still deliver every deadline passed, up to a second's worth.
            if (run->pending < run->maxPending) ++run->pending;
            run->workerWake.notify_one();
        }
    };
    auto workerLoop = [run] {
        std::unique_lock lock(run->mutex);
        for (;;) {
            run->workerWake.wait(lock, [&] { return run->stop || run->pending > 0; });
            if (run->stop) return;
            --run->pending;
            lock.unlock();
            CallProc(run->proc);
            lock.lock();
        }
    };
    // The threads wait for the mutex, so none runs before the timer records its run.
    std::unique_lock lock(run->mutex);
    try {
        for (auto& w : run->workers) w = std::thread(workerLoop);
        run->clock = std::thread(clockLoop);
    } catch (const std::system_error&) {
        run->stop = true;
        lock.unlock();
        run->workerWake.notify_all();
        run->Join();
        return false;
    }
    run_ = std::move(run);
    return true;
}

void PeriodicTimer::Stop() {
    if (run_) {
        {
            std::lock_guard lock(run_->mutex);
            run_->stop = true;
        }
        run_->clockWake.notify_all();
        run_->workerWake.notify_all();
        retired_.push_back(std::move(run_));
        run_.reset();
    }
    Collect();
}

void PeriodicTimer::Collect() {
    std::erase_if(retired_, [](const std::shared_ptr<Run>& r) {
        if (r->OnOwnThread()) return false;
        r->Join();
        return true;
    });
}

PeriodicTimer::~PeriodicTimer() {
    Stop();
    // Left only when destroyed from the procedure: its thread ends by itself, holding the run.
    for (auto& r : retired_) r->Detach();
}

}  // namespace plat
