#include "foundation/zrsync.h"

void ZRCriticalSectionEx::Acquire() {
    uint32_t me = plat::CurrentThreadId();
    guard_.Lock();
    if (count_ > 0 && owner_ == me) {
        ++count_;
        guard_.Unlock();
        return;
    }
    if (count_ == 0 && waiting_ == 0) {
        // Free with nobody queued: the lock is taken at once, so holding the guard is brief.
        lock_.Lock();
    } else {
        ++waiting_;
        guard_.Unlock();
        lock_.Lock();
        guard_.Lock();
        --waiting_;
    }
    owner_ = me;
    count_ = 1;
    guard_.Unlock();
}

bool ZRCriticalSectionEx::Check() {
    uint32_t me = plat::CurrentThreadId();
    guard_.Lock();
    bool taken = true;
    if (count_ > 0 && owner_ == me) {
        ++count_;
    } else if (count_ == 0 && waiting_ == 0) {
        lock_.Lock();
        owner_ = me;
        count_ = 1;
    } else {
        taken = false;
    }
    guard_.Unlock();
    return taken;
}

void ZRCriticalSectionEx::Release() {
    uint32_t me = plat::CurrentThreadId();
    guard_.Lock();
    if (count_ > 0 && owner_ == me && --count_ == 0) lock_.Unlock();
    guard_.Unlock();
}
