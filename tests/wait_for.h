// Polls a condition that another thread makes true. The limit only guards against a hang: far
// above what any loaded machine needs, yet a fault still fails the test instead of hanging it.
#pragma once
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/event.h"

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
              if (!left_.WaitFor(60 * 1000)) {
                  std::fprintf(stderr, "hung: %s\n", what);
                  std::_Exit(3);
              }
          }) {}
    ~HangGuard() {
        left_.Set();
        watch_.join();
    }

  private:
    plat::Event left_{true, false};
    std::thread watch_;
};
