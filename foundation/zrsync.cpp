#include "foundation/zrsync.h"

void ZRCriticalSectionEx::Acquire() {
    uint32_t me = plat::CurrentThreadId();
    std::unique_lock lock(guard_);
    if (count_ > 0 && owner_ == me) {
        ++count_;
        return;
    }
    if (count_ > 0 || waiting_ > 0) {
        const uint32_t ticket = nextTicket_++;
        ++waiting_;
        freed_.wait(lock, [&] { return count_ == 0 && served_ == ticket; });
        ++served_;
        --waiting_;
    }
    owner_ = me;
    count_ = 1;
}

bool ZRCriticalSectionEx::Check() {
    uint32_t me = plat::CurrentThreadId();
    std::lock_guard lock(guard_);
    if (count_ > 0 && owner_ == me) {
        ++count_;
        return true;
    }
    if (count_ > 0 || waiting_ > 0) return false;
    owner_ = me;
    count_ = 1;
    return true;
}

void ZRCriticalSectionEx::Release() {
    uint32_t me = plat::CurrentThreadId();
    std::lock_guard lock(guard_);
    if (count_ == 0 || owner_ != me) return;
    // Every waiter wakes to compare its ticket; only the one served takes the lock.
    if (--count_ == 0 && waiting_ > 0) freed_.notify_all();
}

uint32_t ZRCriticalSectionEx::Waiting() {
    std::lock_guard lock(guard_);
    return waiting_;
}
