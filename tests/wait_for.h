// Polls a condition that another thread makes true. The limit only guards against a hang: far
// above what any loaded machine needs, yet a fault still fails the test instead of hanging it.
#pragma once
#include <chrono>
#include <thread>

template <typename F>
bool WaitFor(F done) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
