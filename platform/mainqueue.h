// The main thread's task queue. The main thread owns the window and the message boxes; other
// threads hand it calls through this queue. Every wait the main thread makes (joining a
// thread, waiting on an event, the window's event loop) keeps running the queued calls, so a
// worker that needs the main thread can never deadlock it.
#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

namespace plat {

using Task = std::function<void()>;

// The main thread is the one that ran the program's static initialisation; SetMainThread
// moves the mark to the calling thread.
void SetMainThread();
bool IsMainThread();

class MainQueue {
  public:
    using Clock = std::chrono::steady_clock;

    static MainQueue& Instance();

    // Queues a call for the main thread; any thread may post.
    void Post(Task task);
    // Runs the call on the main thread and returns once it has run; on the main thread it
    // runs at once. An exception thrown by the call is rethrown here.
    void Invoke(const Task& task);
    // Runs the calls queued so far; returns how many ran.
    int Service();
    bool HasPending();
    // Makes waiting main-thread loops look at their condition again.
    void Wake();
    // Main thread: runs queued calls until done() holds or the deadline passes (none: no
    // limit). Returns done()'s last answer. Whoever makes done() true must call Wake().
    bool ServiceUntil(const std::function<bool()>& done,
                      std::optional<Clock::time_point> deadline = std::nullopt);
    // Called after every Post from the posting thread; the window host uses it to wake
    // its event loop. An empty hook removes it.
    void SetPostHook(std::function<void()> hook);

  private:
    MainQueue() = default;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Task> tasks_;
    uint64_t generation_ = 0;
    std::function<void()> postHook_;
};

}  // namespace plat
