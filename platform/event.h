// Events that threads wait on: manual reset (stays signalled until reset, releases every
// waiter) or auto reset (releases one waiter and clears itself). A pulse releases the
// threads waiting at that moment (all of them, or one for auto reset) and leaves the event
// clear; with nobody waiting it is lost. The frame clock relies on that.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/mainqueue.h"

namespace plat {

class Event {
  public:
    static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

    Event(bool manualReset, bool initiallySet);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    void Pulse();
    // True when the event released the caller, false after the timeout. On the main
    // thread the wait keeps running the main queue, or with callers only the calls those
    // threads are blocked on.
    bool WaitFor(uint32_t timeoutMs = kInfinite, const Callers& callers = nullptr);
    // Threads waiting now.
    int Waiters();

  private:
    struct Waiter {
        uint64_t pulseSeen;
    };
    bool TryTake(const Waiter& w);
    void Leave();
    void Notify(bool all);

    const bool manual_;
    std::mutex mutex_;
    std::condition_variable cond_;
    bool set_;
    uint64_t pulses_ = 0;   // manual reset: each pulse releases those waiting before it
    int autoReleases_ = 0;  // auto reset: waiters a pulse may still release
    int waiters_ = 0;
    int mainWaiters_ = 0;
};

}  // namespace plat
