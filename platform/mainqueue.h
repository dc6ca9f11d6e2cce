// The main thread's task queue. The main thread owns the window and the message boxes; other
// threads hand it calls through this queue. Every wait the main thread makes (joining a
// thread, waiting on an event, the window's event loop) keeps running the queued calls, so a
// worker that needs the main thread can never deadlock it. A wait that must not run what was
// queued before it (a call that frees what the waiting call still uses) runs only the calls
// the threads it waits for are blocked on.
#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace plat {

using Task = std::function<void()>;
// Names the threads whose Invoke calls a wait runs.
using Callers = std::function<std::vector<std::thread::id>()>;

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
    // Main thread: as ServiceUntil, but runs only the calls that the threads callers() names
    // are blocked on in Invoke; every other call stays queued, in its order. callers() is
    // asked again each round, without the queue's lock held.
    bool ServiceCallersUntil(const Callers& callers, const std::function<bool()>& done,
                             std::optional<Clock::time_point> deadline = std::nullopt);
    // Called after every Post from the posting thread; the window host uses it to wake
    // its event loop. An empty hook removes it.
    void SetPostHook(std::function<void()> hook);

  private:
    MainQueue() = default;
    void Queue(Task task, std::thread::id caller);
    // Runs the queued calls of the given Invoke callers.
    void ServiceCallers(const std::vector<std::thread::id>& callers);
    bool WaitServing(const std::function<void()>& serve, const std::function<bool()>& done,
                     std::optional<Clock::time_point> deadline);

    struct Entry {
        Task task;
        std::thread::id caller;  // the thread blocked in Invoke on it; none for a Post
    };
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Entry> tasks_;
    uint64_t generation_ = 0;
    std::function<void()> postHook_;
};

}  // namespace plat
