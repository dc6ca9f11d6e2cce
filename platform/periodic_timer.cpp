#include "platform/periodic_timer.h"

#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// The clock thread sleeps to each deadline and makes the call itself, so a quick call costs
// one wake-up a tick. While it is inside a call, a kernel timer stands at the next deadline:
// only a call that runs into that deadline wakes the second thread, which then delivers the
// ticks that fall due until the clock thread is free again.
struct PeriodicTimer::Run {
    using Clock = std::chrono::steady_clock;

    std::mutex mutex;
    std::condition_variable clockWake;
    bool stop = false;
    bool clockCalling = false;
    Clock::time_point next;  // the first deadline not yet counted
    int64_t pending = 0;     // ticks due and not yet taken
    int64_t maxPending = 0;
    std::chrono::milliseconds interval{0};
    std::function<void()> proc;
    int guard = -1;  // timerfd, armed at `next` while the clock thread is in a call
    std::thread clock;
    std::thread helper;

    ~Run() {
        if (guard >= 0) close(guard);
    }
    bool OnOwnThread() const {
        auto self = std::this_thread::get_id();
        return clock.get_id() == self || helper.get_id() == self;
    }
    void Join() {
        if (clock.joinable()) clock.join();
        if (helper.joinable()) helper.join();
    }
    void Detach() {
        if (clock.joinable()) clock.detach();
        if (helper.joinable()) helper.detach();
    }

    // Counts the deadlines passed by now; late wake-ups still deliver every one of them, up
    // to a second's worth. Under the mutex.
    void Advance() {
        const auto now = Clock::now();
        if (now < next) return;
        const int64_t passed = (now - next) / interval + 1;
        next += interval * passed;
        pending = std::min(maxPending, pending + passed);
    }
    // Points the guard at a steady-clock time point (the steady clock is CLOCK_MONOTONIC);
    // zero disarms it, a point already passed fires it at once. Under the mutex; a stopping
    // run keeps the guard as Stop left it.
    void SetGuard(Clock::duration at) {
        if (stop) return;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(at).count();
        itimerspec deadline{};
        deadline.it_value.tv_sec = ns / 1000000000;
        deadline.it_value.tv_nsec = ns % 1000000000;
        timerfd_settime(guard, TFD_TIMER_ABSTIME, &deadline, nullptr);
    }
    void ArmGuard() { SetGuard(next.time_since_epoch()); }
    void DisarmGuard() { SetGuard(Clock::duration::zero()); }
    // Under the mutex: the clock thread is told by its condition variable, the helper by its
    // guard firing at once.
    void Stopping() {
        SetGuard(std::chrono::nanoseconds(1));
        stop = true;
    }

    void ClockLoop();
    void HelperLoop();
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

void PeriodicTimer::Run::ClockLoop() {
    std::unique_lock lock(mutex);
    for (;;) {
        while (!stop && pending == 0) {
            clockWake.wait_until(lock, next);
            Advance();
        }
        if (stop) return;
        --pending;
        clockCalling = true;
        ArmGuard();
        lock.unlock();
        CallProc(proc);
        lock.lock();
        clockCalling = false;
        DisarmGuard();
        Advance();
    }
}

void PeriodicTimer::Run::HelperLoop() {
    for (;;) {
        pollfd p{guard, POLLIN, 0};
        if (poll(&p, 1, -1) < 0 && errno != EINTR) return;
        std::unique_lock lock(mutex);
        if (stop) return;
        // Empties the guard; non-blocking, as a guard disarmed after it fired has nothing to read.
        uint64_t expirations;
        [[maybe_unused]] const ssize_t got = read(guard, &expirations, sizeof expirations);
        Advance();
        // Ticks that fall due while the clock thread is still in its call are this thread's.
        while (!stop && clockCalling && pending > 0) {
            --pending;
            ArmGuard();
            lock.unlock();
            CallProc(proc);
            lock.lock();
            Advance();
        }
        if (stop) return;
        if (clockCalling)
            ArmGuard();
        else if (pending > 0)
            clockWake.notify_one();
    }
}

bool PeriodicTimer::Start(uint32_t intervalMs, std::function<void()> proc) {
    Stop();
    if (intervalMs == 0) return false;
    auto run = std::make_shared<Run>();
    run->interval = std::chrono::milliseconds(intervalMs);
    run->maxPending = std::max<int64_t>(1, 1000 / intervalMs);
    run->proc = std::move(proc);
    run->guard = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (run->guard < 0) return false;
    // The threads wait for the mutex, so none runs before the timer records its run.
    std::unique_lock lock(run->mutex);
    run->next = Run::Clock::now() + run->interval;
    try {
        run->helper = std::thread([run] { run->HelperLoop(); });
        run->clock = std::thread([run] { run->ClockLoop(); });
    } catch (const std::system_error&) {
        run->Stopping();
        lock.unlock();
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
            run_->Stopping();
        }
        run_->clockWake.notify_all();
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
