#include "platform/eventgroup.h"

#include <chrono>

namespace plat {

void EventGroup::Set(int index) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (index < 0 || index >= Count()) return;
        set_[static_cast<size_t>(index)] = true;
    }
    cond_.notify_one();
}

void EventGroup::Reset(int index) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index >= 0 && index < Count()) set_[static_cast<size_t>(index)] = false;
}

int EventGroup::WaitAny(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    int found = -1;
    auto ready = [&] {
        for (size_t i = 0; i < set_.size(); ++i)
            if (set_[i]) {
                found = static_cast<int>(i);
                return true;
            }
        return false;
    };
    if (!cond_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) return -1;
    set_[static_cast<size_t>(found)] = false;
    return found;
}

}  // namespace plat
