// Locks of the game core. ZRCriticalSection is a plain re-entrant lock. ZRCriticalSectionEx
// also knows which thread holds it and how deeply, and offers Check, a take that never blocks
// and gives way to threads already waiting: the frame loop uses it to skip a frame instead of
// waiting for the lock.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/locks.h"

class ZRCriticalSection {
  public:
    ZRCriticalSection() = default;
    ZRCriticalSection(const ZRCriticalSection&) = delete;
    ZRCriticalSection& operator=(const ZRCriticalSection&) = delete;

    void Enter() { lock_.Lock(); }
    void Leave() { lock_.Unlock(); }
    bool TryEnter() { return lock_.TryLock(); }

  private:
    plat::RecursiveLock lock_;
};

class ZRCriticalSectionEx {
  public:
    ZRCriticalSectionEx() = default;
    ZRCriticalSectionEx(const ZRCriticalSectionEx&) = delete;
    ZRCriticalSectionEx& operator=(const ZRCriticalSectionEx&) = delete;

    // Blocks until the calling thread holds the lock; a holder only counts up. A newcomer
    // queues behind threads already waiting.
    void Acquire();
    // True when the calling thread now holds the lock (first take or one level deeper);
    // false at once when another thread holds it or threads wait for it.
    bool Check();
    // Gives up one level of the calling thread's hold; does nothing for other threads or
    // when the lock is free. The last level hands the lock to the thread that has waited
    // longest: no newcomer, the releasing thread included, can take it first.
    void Release();
    // Threads blocked in Acquire.
    uint32_t Waiting();

  private:
    uint32_t owner_ = 0;  // the last holder stays here after the final release
    uint32_t count_ = 0;  // depth of the hold; 0 = free
    uint32_t waiting_ = 0;
    // Waiters are served in the order they came: each draws the next ticket and takes the
    // lock when it is free and its ticket is the one served.
    uint32_t nextTicket_ = 0;
    uint32_t served_ = 0;
    // Guards the three fields and is held only while they change, never while holding the
    // lock they describe.
    std::mutex guard_;
    std::condition_variable freed_;
};

// A lock held for a scope, so that every way out, an exception included, gives it back. A
// null lock is passed over: some locks exist only while the window does.
template <typename Lock, void (Lock::*Take)(), void (Lock::*Give)()>
class ZRScopeHold {
  public:
    explicit ZRScopeHold(Lock* lock) : lock_(lock) {
        if (lock_) (lock_->*Take)();
    }
    ~ZRScopeHold() {
        if (lock_) (lock_->*Give)();
    }
    ZRScopeHold(const ZRScopeHold&) = delete;
    ZRScopeHold& operator=(const ZRScopeHold&) = delete;

  private:
    Lock* lock_;
};

using ZRSectionHold =
    ZRScopeHold<ZRCriticalSection, &ZRCriticalSection::Enter, &ZRCriticalSection::Leave>;
// Taken in turn behind the threads already waiting.
using ZRSectionTurn =
    ZRScopeHold<ZRCriticalSectionEx, &ZRCriticalSectionEx::Acquire, &ZRCriticalSectionEx::Release>;
