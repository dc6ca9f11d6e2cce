// Runs a reader of outside files against a FIFO that nobody writes to. A reader that blocks
// on it would hang the test for good; the guard lets it go by opening the write end for a
// moment once the limit has passed (the blocked open returns, its reads see the end), and
// reports that it had to.
#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// True when `reader` came back by itself within `limit`.
inline bool ReturnsWithoutAWriter(const std::string& fifo, const std::function<void()>& reader,
                                  std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false, released = false;
    std::thread guard([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (changed.wait_for(lock, limit, [&] { return done; })) return;
        released = true;
        while (!done) {
            const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) close(fd);
            changed.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; });
        }
    });
    reader();
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    changed.notify_all();
    guard.join();
    return !released;
}
