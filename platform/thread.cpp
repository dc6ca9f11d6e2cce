// Worker threads with start gates.
#include "platform/thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace plat {

Thread::Thread() : thread_([this] { Run(); }) {
    id_ = thread_.get_id();
}

Thread::~Thread() {
    Shutdown();
}

void Thread::Shutdown() {
    {
        std::lock_guard lock(mutex_);
        if (!gateOpen_) {
            cancelled_ = true;
            gateOpen_ = true;
        }
    }
    cond_.notify_all();
    Terminate();
    if (id_ == std::this_thread::get_id()) {
        // Only reachable when Execute deletes its own object; the thread cannot join
        // itself, so it is let go.
        std::lock_guard join(joinMutex_);
        if (thread_.joinable()) thread_.detach();
        return;
    }
    WaitFor();
}

void Thread::Run() {
    bool cancelled;
    {
        std::unique_lock lock(mutex_);
        cond_.wait(lock, [this] { return gateOpen_; });
        cancelled = cancelled_;
    }
    std::exception_ptr fatal;
    if (!cancelled) {
        try {
            Execute();
        } catch (...) {
            fatal = std::current_exception();
        }
    }
    {
        std::lock_guard lock(mutex_);
        fatal_ = fatal;
        finished_ = true;
    }
    cond_.notify_all();
    MainQueue::Instance().Wake();
}

void Thread::Start() {
    {
        std::lock_guard lock(mutex_);
        if (gateOpen_) return;
        gateOpen_ = true;
    }
    cond_.notify_all();
}

bool Thread::Finished() {
    std::lock_guard lock(mutex_);
    return finished_;
}

std::exception_ptr Thread::FatalException() {
    std::lock_guard lock(mutex_);
    return fatal_;
}

int Thread::WaitFor() {
    if (id_ == std::this_thread::get_id())
        throw std::logic_error("a thread cannot wait for itself");
    if (IsMainThread()) {
        MainQueue::Instance().ServiceUntil([this] { return Finished(); });
    } else {
        std::unique_lock lock(mutex_);
        cond_.wait(lock, [this] { return finished_; });
    }
    std::lock_guard join(joinMutex_);
    if (thread_.joinable()) thread_.join();
    return ReturnValue();
}

bool RaiseThreadPriority() {
    // On Linux a thread id given to setpriority names that thread alone.
    const id_t self = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (errno != 0) return false;
    return setpriority(PRIO_PROCESS, self, now - 1) == 0;
}

}  // namespace plat
