// The system's critical sections and thread identifiers, over the C++ standard library.
#pragma once
#include <cstdint>
#include <mutex>

namespace plat {

// A lock the holding thread may take again; each take needs its own release, from the same
// thread.
class RecursiveLock {
  public:
    void Lock() { mutex_.lock(); }
    void Unlock() { mutex_.unlock(); }
    bool TryLock() { return mutex_.try_lock(); }

  private:
    std::recursive_mutex mutex_;
};

// The kernel's identifier of the calling thread: never 0 and unique among the live threads
// of the process.
uint32_t CurrentThreadId();

}  // namespace plat
