// The logic thread, the wait thread and the end of a wait.
#include "game/maint.h"

#include <chrono>
#include <thread>

#include "foundation/zrsys.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "platform/clock.h"
#include "platform/messagebox.h"

std::atomic<TMainThread*> MainThread{nullptr};

namespace {

std::mutex probeMutex;
std::function<uint64_t()> memoryProbe;

// What the system can still give without swapping: free address space never runs low on a
// 64-bit machine, so it would never warn.
uint64_t AvailableMemory() {
    std::function<uint64_t()> probe;
    {
        std::lock_guard<std::mutex> lock(probeMutex);
        probe = memoryProbe;
    }
    if (probe) return probe();
    // The wait loops ask on every frame step, up to 300 times a second; the system's figure
    // moves far slower than that, so it is read again at most four times a second.
    static std::mutex cacheMutex;
    static std::chrono::steady_clock::time_point readAt;
    static uint64_t cached = 0;
    std::lock_guard<std::mutex> lock(cacheMutex);
    const auto now = std::chrono::steady_clock::now();
    if (cached == 0 || now - readAt >= std::chrono::milliseconds(250)) {
        cached = ZRAvailPhysicalMemory();
        readAt = now;
    }
    return cached;
}

}  // namespace

void SetAvailableMemoryProbe(std::function<uint64_t()> probe) {
    std::lock_guard<std::mutex> lock(probeMutex);
    memoryProbe = std::move(probe);
}

void EndWait(int32_t result) {
    TMainThread* t = MainThread.load();
    if (!t) return;
    t->Result.store(result);
    if (GameForm) GameForm->WaitEnded.store(true);
    t->Done.store(true);
}

TMainThread::TMainThread(TGameForm* form) : Form(form) {
    const uint32_t draws = plat::GetTickCount() & 0xFFF;
    for (uint32_t i = 0; i < draws; ++i) GameRandom.Rnd();
}

TMainThread::~TMainThread() {
    Shutdown();
}

template <typename F>
void TMainThread::Unlocked(F&& call) {
    Form->LogicLock->Leave();
    struct Retake {
        ZRCriticalSection* lock;
        ~Retake() { lock->Enter(); }
    } retake{Form->LogicLock};
    call();
}

void TMainThread::WaitFrame() {
    Done.store(false);
    Form->WaitEnded.store(false);
    Unlocked([this] {
        while (!Terminated() && !Done.load()) {
            Form->FrameStep();
            if (!MemoryWarned.load() && AvailableMemory() < kLowMemoryBytes)
                Synchronize([this] { LowMemoryWarning(); });
        }
        CheckTerminated();
    });
}

void TMainThread::WaitVoiceEnd() {
    Unlocked([this] {
        while (!Terminated() && Form->IsVoicePlaying())
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        CheckTerminated();
    });
}

void TMainThread::PlayBGM(int32_t track, bool loop, bool fade) {
    Unlocked([&] { Form->PlayBGM(track, loop, fade); });
}

void TMainThread::StopBGM(bool fade) {
    Unlocked([&] { Form->StopBGM(fade); });
}

void TMainThread::FrameTrampoline(int ticks) {
    if (OnFrameSlot.IsSet()) OnFrameSlot.Call(ticks);
}

void TMainThread::InputTrampoline(int ticks, TDInputUnit* input) {
    if (OnInputSlot.IsSet()) OnInputSlot.Call(ticks, input);
}

void TMainThread::CheckTerminated() {
    if (Terminated()) ThrowGameEnd();
}

void TMainThread::ThrowGameEnd() {
    throw EGameEnd();
}

void TMainThread::TerminateAndEnd() {
    Terminate();
    ThrowGameEnd();
}

void TMainThread::LowMemoryWarning() {
    if (MemoryWarned.exchange(true)) return;
    plat::ShowMessage(
        plat::SjisText("メモリの残り容量が少なくなりました。\nゲームを再起動してください。"),
        plat::SjisText("警告"), plat::CodePage::ShiftJis, plat::MsgButtons::Ok,
        plat::MsgIcon::Warning);
}

void TMainThread::BeginWaitMode() {
    Unlocked([this] { Form->BeginWaitMode(); });
}

void TMainThread::BeginHoldMode() {
    Unlocked([this] { Form->BeginHoldMode(); });
}

void TMainThread::BeginMenuMode() {
    Unlocked([this] { Form->BeginMenuMode(); });
}

void TMainThread::Execute() {
    const ZRSectionHold logic(Form->LogicLock);
    try {
        Result.store(0);
        BeginWaitMode();
        while (!Terminated()) WaitFrame();
    } catch (...) {
    }
    Form->RequestClose();
}

TWaitThread::TWaitThread(TGameForm* form) : Form(form) {}

TWaitThread::~TWaitThread() {
    Stop();
    Shutdown();
}

void TWaitThread::Resume() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wake_ = true;
    }
    cond_.notify_one();
    Start();
}

void TWaitThread::Stop() {
    Terminate();
    Resume();
}

void TWaitThread::Execute() {
    while (!Terminated()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            wake_ = false;
        }
        while (!Terminated()) {
            const uint8_t mode = Form->GetScreenMode();
            if (mode != smWait && mode != smHold) break;
            Form->FrameStep();
        }
        if (Terminated()) break;
        std::unique_lock<std::mutex> lock(mutex_);
        cond_.wait(lock, [this] { return wake_ || Terminated(); });
    }
}
