#include "foundation/zrtimer.h"

#include <stdexcept>

#include "platform/codepage.h"

ZRTimer::ZRTimer() : caps_(plat::GetTimerCaps()) {
    resolution_ = ClampResolution(100);
}

ZRTimer::~ZRTimer() {
    enabled_ = false;
    UpdateTimer();
}

uint32_t ZRTimer::ClampResolution(uint32_t ms) const {
    if (ms < caps_.minPeriod) return caps_.minPeriod;
    if (ms > caps_.maxPeriod) return caps_.maxPeriod;
    return ms;
}

void ZRTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    UpdateTimer();
}

void ZRTimer::SetInterval(unsigned int interval) {
    caps_ = plat::GetTimerCaps();
    if (interval == interval_) return;
    interval_ = interval;
    resolution_ = ClampResolution(interval < 100 ? interval : 100);
    UpdateTimer();
}

void ZRTimer::SetOnTimer(ZRBaseCallback1<void, void*> callback) {
    // The timer thread reads the callback; it must be stopped before the callback changes.
    tick_.Stop();
    onTimer_ = callback;
    UpdateTimer();
}

void ZRTimer::CountInc() {
    int32_t c = count_.load();
    while (c != 0x7FFFFFFF && !count_.compare_exchange_weak(c, c + 1)) {
    }
}

void ZRTimer::CountDec() {
    int32_t c = count_.load();
    while (c > 0 && !count_.compare_exchange_weak(c, c - 1)) {
    }
}

void ZRTimer::Timer() {
    count_.fetch_add(1);
    if (busy_.exchange(true)) return;
    try {
        if (onTimer_.IsSet()) onTimer_.Call(this);
    } catch (...) {
        busy_ = false;
        throw std::logic_error("Timer Call Error");
    }
    busy_ = false;
}

void ZRTimer::UpdateTimer() {
    tick_.Stop();
    if (period_ != 0 && (period_ != resolution_ || !enabled_)) {
        plat::EndTimerPeriod(period_);
        period_ = 0;
    }
    if (interval_ == 0 || !enabled_) return;
    if (resolution_ != period_) {
        if (plat::BeginTimerPeriod(resolution_)) {
            period_ = resolution_;
        } else if (plat::BeginTimerPeriod(100)) {
            period_ = 100;
        } else {
            throw std::runtime_error(plat::SjisText("ﾏﾙﾁﾒﾃﾞｨｱﾀｲﾏｰの最小分解能を設定できません"));
        }
    }
    if (!tick_.Start(interval_, [this] { Timer(); })) {
        throw std::runtime_error(plat::SjisText("ﾏﾙﾁﾒﾃﾞｨｱﾀｲﾏｰを取得できません"));
    }
}
