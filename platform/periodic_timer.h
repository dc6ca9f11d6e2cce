// The system's multimedia timer: a periodic call at a whole number of milliseconds, the
// device's period range, and the requests to raise the system timer's resolution.
//
// A clock thread sleeps to absolute CLOCK_MONOTONIC deadlines and calls the procedure itself,
// so a tick costs one wake-up. Ticks do not wait for a slow call: one that falls due while
// the clock thread's call is still running is delivered by a second thread (woken by a kernel
// timer only then), so the procedure must tolerate a second, concurrent call (the engine's
// timer only counts it). Ticks that no thread could take yet are delivered late, up to a
// second's worth; beyond that they are dropped rather than fired in a burst.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace plat {

struct TimerCaps {
    uint32_t minPeriod;  // milliseconds
    uint32_t maxPeriod;
};

TimerCaps GetTimerCaps();

// The clock always runs at 1 ms, so a resolution request changes nothing; requests are only
// recorded. Begin fails for a period outside the caps, End for one that is not in force.
bool BeginTimerPeriod(uint32_t ms);
bool EndTimerPeriod(uint32_t ms);
// The periods in force, one entry per request, in increasing order.
std::vector<uint32_t> TimerPeriodsInForce();

class PeriodicTimer {
  public:
    PeriodicTimer() = default;
    // Stops the timer. Destroying it from its own procedure leaves that call to finish on its
    // own; nothing else of the timer is touched afterwards.
    ~PeriodicTimer();
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    // Stops a running timer and calls proc every intervalMs milliseconds from now on. False
    // for an interval of 0 or when the threads cannot be made. Exceptions that escape proc
    // are logged to the standard error stream and the tick is dropped.
    bool Start(uint32_t intervalMs, std::function<void()> proc);
    // Once Stop returns, the procedure runs no more: Stop waits for a call in progress. Called
    // from the procedure itself, it cannot wait for its own call; that call finishes after
    // Stop returns, and its threads are collected by the next Start, Stop or the destructor.
    void Stop();
    bool IsRunning() const { return run_ != nullptr; }

  private:
    struct Run;
    void Collect();

    std::shared_ptr<Run> run_;
    std::vector<std::shared_ptr<Run>> retired_;  // stopped from their own threads
};

}  // namespace plat
