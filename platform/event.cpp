// Events with pulse semantics.
#include "platform/event.h"

#include <algorithm>
#include <chrono>

#include "platform/mainqueue.h"

namespace plat {

Event::Event(bool manualReset, bool initiallySet) : manual_(manualReset), set_(initiallySet) {}

void Event::Set() {
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    Notify(manual_);
}

void Event::Reset() {
    std::lock_guard lock(mutex_);
    set_ = false;
}

void Event::Pulse() {
    {
        std::lock_guard lock(mutex_);
        set_ = false;
        if (waiters_ == 0) return;
        if (manual_)
            ++pulses_;
        else
            autoReleases_ = std::min(autoReleases_ + 1, waiters_);
    }
    Notify(manual_);
}

void Event::Notify(bool all) {
    bool main;
    {
        std::lock_guard lock(mutex_);
        main = mainWaiters_ > 0;
    }
    // The main thread waits on the main queue, not on our condition; an auto-reset
    // wake-up may go to it and to a worker both, and the loser simply waits again.
    if (all || main)
        cond_.notify_all();
    else
        cond_.notify_one();
    if (main) MainQueue::Instance().Wake();
}

// Called with the lock held.
bool Event::TryTake(const Waiter& w) {
    if (set_) {
        if (!manual_) set_ = false;
        return true;
    }
    if (manual_) return pulses_ != w.pulseSeen;
    if (autoReleases_ > 0) {
        --autoReleases_;
        return true;
    }
    return false;
}

// Called with the lock held, when a waiter stops waiting for whatever reason: a pulse
// must never be left over for a thread that starts waiting later.
void Event::Leave() {
    --waiters_;
    autoReleases_ = std::min(autoReleases_, waiters_);
}

int Event::Waiters() {
    std::lock_guard lock(mutex_);
    return waiters_;
}

bool Event::WaitFor(uint32_t timeoutMs, const Callers& callers) {
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> deadline;
    if (timeoutMs != kInfinite) deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);

    std::unique_lock lock(mutex_);
    Waiter w{pulses_};
    if (TryTake(w)) return true;
    if (timeoutMs == 0) return false;
    ++waiters_;

    bool taken;
    if (IsMainThread()) {
        ++mainWaiters_;
        lock.unlock();
        auto done = [&] {
            std::lock_guard inner(mutex_);
            return TryTake(w);
        };
        taken = callers ? MainQueue::Instance().ServiceCallersUntil(callers, done, deadline)
                        : MainQueue::Instance().ServiceUntil(done, deadline);
        lock.lock();
        --mainWaiters_;
    } else if (deadline) {
        taken = cond_.wait_until(lock, *deadline, [&] { return TryTake(w); });
    } else {
        cond_.wait(lock, [&] { return TryTake(w); });
        taken = true;
    }
    Leave();
    return taken;
}

}  // namespace plat
