// Main-thread task queue.
#include "platform/mainqueue.h"

#include <algorithm>
#include <atomic>
#include <exception>

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
    Queue(std::move(task), std::thread::id());
}

void MainQueue::Queue(Task task, std::thread::id caller) {
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back({std::move(task), caller});
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
    Task run = [pending, &task] {
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
    };
    // Marked with the caller, which a wait for this thread serves.
    Queue(std::move(run), std::this_thread::get_id());
    std::unique_lock lock(pending->mutex);
    pending->done.wait(lock, [&] { return pending->finished; });
    if (pending->error) std::rethrow_exception(pending->error);
}

int MainQueue::Service() {
    std::deque<Entry> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(tasks_);
    }
    // Calls queued while these run wait for the next round, so a call that posts itself
    // cannot keep the caller here for ever.
    for (auto& e : batch) e.task();
    return static_cast<int>(batch.size());
}

void MainQueue::ServiceCallers(const std::vector<std::thread::id>& callers) {
    std::vector<Task> batch;
    {
        std::lock_guard lock(mutex_);
        for (auto it = tasks_.begin(); it != tasks_.end();) {
            const bool wanted =
                it->caller != std::thread::id() &&
                std::find(callers.begin(), callers.end(), it->caller) != callers.end();
            if (wanted) {
                batch.push_back(std::move(it->task));
                it = tasks_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& t : batch) t();
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
    return WaitServing([this] { Service(); }, done, deadline);
}

bool MainQueue::ServiceCallersUntil(const Callers& callers, const std::function<bool()>& done,
                                    std::optional<Clock::time_point> deadline) {
    return WaitServing([&] { ServiceCallers(callers()); }, done, deadline);
}

bool MainQueue::WaitServing(const std::function<void()>& serve, const std::function<bool()>& done,
                            std::optional<Clock::time_point> deadline) {
    for (;;) {
        uint64_t seen;
        {
            std::lock_guard lock(mutex_);
            seen = generation_;
        }
        serve();
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
