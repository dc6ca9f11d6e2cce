// A group of auto-reset events that one thread waits on together: a wait returns the lowest
// signalled event, clearing it, or reports that its time ran out. Stands in for waiting on
// several event handles at once; setters may be on any thread.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace plat {

class EventGroup {
public:
    explicit EventGroup(int count) : set_(count > 0 ? static_cast<size_t>(count) : 0, false) {}
    EventGroup(const EventGroup&) = delete;
    EventGroup& operator=(const EventGroup&) = delete;

    int Count() const { return static_cast<int>(set_.size()); }
    void Set(int index);
    void Reset(int index);
    // The index of the event that released the caller, or -1 after timeoutMs.
    int WaitAny(uint32_t timeoutMs);

private:
    std::mutex mutex_;
    std::condition_variable cond_;
    std::vector<bool> set_;
};

}  // namespace plat
