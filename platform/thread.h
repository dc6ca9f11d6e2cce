// Worker threads in the shape the game's threads take: the thread is created held at a start
// gate and runs its Execute once Start opens the gate; stopping is a request the thread
// polls (Terminated), never a forced suspend or kill. Synchronize runs a call on the main
// thread, and WaitFor on the main thread keeps serving such calls, so a worker that
// synchronizes while the main thread joins it finishes instead of deadlocking.
#pragma once
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/mainqueue.h"

namespace plat {

class Thread {
  public:
    Thread();
    // Shuts the thread down. A derived class whose Execute uses its own members must call
    // Shutdown in its own destructor, before those members go.
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Opens the start gate; later calls do nothing.
    void Start();
    // A thread still held at its gate ends without running Execute; a running one is asked
    // to terminate and waited for. Later calls do nothing.
    void Shutdown();
    void Terminate() { terminated_.store(true); }
    bool Terminated() const { return terminated_.load(); }
    bool Finished();
    // Waits until Execute has returned and gives the return value. Not from the thread itself.
    int WaitFor();
    // Runs the call on the main thread and waits for it.
    void Synchronize(const Task& task) { MainQueue::Instance().Invoke(task); }

    int ReturnValue() const { return returnValue_.load(); }
    // What escaped Execute, if anything; the thread ends quietly and keeps it here.
    std::exception_ptr FatalException();

  protected:
    virtual void Execute() = 0;
    void SetReturnValue(int v) { returnValue_.store(v); }

  private:
    void Run();

    std::mutex mutex_;
    std::mutex joinMutex_;
    std::condition_variable cond_;
    bool gateOpen_ = false;
    bool cancelled_ = false;
    bool finished_ = false;
    std::exception_ptr fatal_;
    std::atomic<bool> terminated_{false};
    std::atomic<int> returnValue_{0};
    std::thread::id id_;
    std::thread thread_;
};

// Raises the calling thread one step above normal priority (one nice step) where the system
// allows it, which without privileges depends on the user's RLIMIT_NICE; false when the
// thread stays at normal priority.
bool RaiseThreadPriority();

}  // namespace plat
