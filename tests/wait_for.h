// Polls a condition that another thread makes true, giving up after five seconds: long enough
// for a loaded machine, short enough that a fault fails the test instead of hanging it.
#pragma once
#include <chrono>
#include <thread>

template <typename F>
bool WaitFor(F done) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
