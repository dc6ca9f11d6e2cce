// Polls a condition that another thread makes true. The limit only guards against a hang: far
// above what any loaded machine needs, yet a fault still fails the test instead of hanging it.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
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

// Ends the test program with a message when the scope it guards has not left within the same
// limit: a wait that can only hang (a join, a lock) then fails instead.
class HangGuard {
  public:
    explicit HangGuard(const char* what)
        : watch_([this, what] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!left_.wait_for(lock, std::chrono::seconds(60), [this] { return done_; })) {
                  std::fprintf(stderr, "hung: %s\n", what);
                  std::_Exit(3);
              }
          }) {}
    ~HangGuard() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        left_.notify_all();
        watch_.join();
    }

  private:
    std::mutex mutex_;
    std::condition_variable left_;
    bool done_ = false;
    std::thread watch_;
};
