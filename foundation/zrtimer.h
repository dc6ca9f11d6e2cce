// ZRTimer: a periodic tick at an interval in milliseconds, with the system timer resolution
// raised while it runs, a tick counter the owner consumes, and a bound callback (OnTimer)
// called on the timer's own thread at every tick. The game core drives its frame clock from it.
//
// The tick counter and the busy flag are shared with the timer thread without a lock. A tick
// that falls due while OnTimer still runs is counted and does not call it again. The setters
// belong to the owner's thread or to OnTimer itself; destroying the timer from OnTimer is not
// allowed.
#pragma once
#include <atomic>
#include <cstdint>

#include "foundation/zrcallback.h"
#include "platform/periodic_timer.h"

class ZRTimer {
  public:
    ZRTimer();
    ~ZRTimer();
    ZRTimer(const ZRTimer&) = delete;
    ZRTimer& operator=(const ZRTimer&) = delete;

    // Each setter re-applies the settings: a running tick restarts, and once a setter that
    // stops the tick returns, OnTimer runs no more (unless it was called from OnTimer, whose
    // own call then finishes).
    void SetEnabled(bool enabled);
    void SetInterval(unsigned int interval);
    // OnTimer is called with the timer itself.
    void SetOnTimer(ZRBaseCallback1<void, void*> callback);

    bool GetEnabled() const { return enabled_; }
    unsigned int GetInterval() const { return interval_; }
    // The precision asked of the system: min(interval, 100) within the device's range.
    unsigned int GetResolution() const { return resolution_; }
    // The resolution granted while the timer runs; 0 when none is in force.
    unsigned int GetPeriod() const { return period_; }
    bool IsRunning() const { return tick_.IsRunning(); }

    int GetCount() const { return count_.load(); }
    void CountClear() { count_.store(0); }
    // +1 unless at 0x7FFFFFFF.
    void CountInc();
    // -1 unless at 0 or below.
    void CountDec();

    // One tick: counts it and calls OnTimer unless OnTimer is still running. An exception
    // from OnTimer becomes std::logic_error "Timer Call Error".
    void Timer();
    // Applies the settings; throws std::runtime_error when the system grants no resolution or
    // no timer.
    void UpdateTimer();

  private:
    uint32_t ClampResolution(uint32_t ms) const;

    uint32_t interval_ = 1000;
    uint32_t resolution_ = 100;
    uint32_t period_ = 0;
    plat::TimerCaps caps_;
    ZRBaseCallback1<void, void*> onTimer_;
    bool enabled_ = false;
    std::atomic<int32_t> count_{0};
    std::atomic<bool> busy_{false};
    plat::PeriodicTimer tick_;
};
