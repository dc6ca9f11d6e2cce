// Main-thread task queue.
#include "platform/mainqueue.h"

#include <atomic>
#include <exception>
#include <thread>

namespace plat {

namespace {
// Set while static objects are built, which happens on the thread that runs main().
std::atomic<std::thread::id> g_mainThread{std::this_thread::get_id()};
}  // namespace

void SetMainThread() {
    g_mainThread.store(std::this_thread::get_id());
}
bool IsMainThread() {
    return g_mainThread.load() == std::this_thread::get_id();
}

MainQueue& MainQueue::Instance() {
    static MainQueue queue;
    return queue;
}

void MainQueue::Post(Task task) {
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        ++generation_;
        hook = postHook_;
    }
    wake_.notify_all();
    if (hook) hook();
}

void MainQueue::Invoke(const Task& task) {
    if (IsMainThread()) {
        task();
        return;
    }
    struct Pending {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        std::exception_ptr error;
    };
    auto pending = std::make_shared<Pending>();
    Post([pending, &task] {
        std::exception_ptr error;
        try {
            task();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard lock(pending->mutex);
        pending->error = error;
        pending->finished = true;
        pending->done.notify_all();
    });
    std::unique_lock lock(pending->mutex);
    pending->done.wait(lock, [&] { return pending->finished; });
    if (pending->error) std::rethrow_exception(pending->error);
}

int MainQueue::Service() {
    std::deque<Task> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(tasks_);
    }
    // Calls queued while these run wait for the next round, so a call that posts itself
    // cannot keep the caller here for ever.
    for (auto& t : batch) t();
    return static_cast<int>(batch.size());
}

bool MainQueue::HasPending() {
    std::lock_guard lock(mutex_);
    return !tasks_.empty();
}

void MainQueue::Wake() {
    {
        std::lock_guard lock(mutex_);
        ++generation_;
    }
    wake_.notify_all();
}

bool MainQueue::ServiceUntil(const std::function<bool()>& done,
                             std::optional<Clock::time_point> deadline) {
    for (;;) {
        uint64_t seen;
        {
            std::lock_guard lock(mutex_);
            seen = generation_;
        }
        Service();
        if (done()) return true;
        std::unique_lock lock(mutex_);
        auto changed = [&] { return generation_ != seen; };
        if (deadline) {
            if (!wake_.wait_until(lock, *deadline, changed)) {
                lock.unlock();
                return done();
            }
        } else {
            wake_.wait(lock, changed);
        }
    }
}

void MainQueue::SetPostHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    postHook_ = std::move(hook);
}

}  // namespace plat
