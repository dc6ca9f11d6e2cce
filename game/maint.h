// The logic thread and its wait-for-frame protocol. The game runs as plain sequential code on
// one logic thread that holds the main window's logic lock; whenever it waits for the player
// it calls WaitFrame, which hands the lock to the frame loop and runs frame steps until a
// handler inside one of them calls EndWait. Ending the game unwinds the thread with EGameEnd.
// The wait thread keeps frames running in the wait and hold screen modes, while the logic
// thread loads or sleeps with the lock held.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>

#include "foundation/zrcallback.h"
#include "platform/thread.h"

class TGameForm;
class TDInputUnit;
class TNyRGBBits;
class TNyRGBPanel;

// A fault of the game's own logic (stack overflow, bad ids, code read past the end). Not of
// the class library's exception family, so a frame that lets it out closes the game.
class EGameErr : public std::exception {
  public:
    EGameErr() = default;
    const char* what() const noexcept override { return "GameErr"; }
};

// Unwinds the logic thread when the game ends.
class EGameEnd : public std::exception {
  public:
    EGameEnd() : message_("GameEnd") {}
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

// Below this much memory left the player is told to restart, once per thread.
inline constexpr uint64_t kLowMemoryBytes = 64ull * 1024 * 1024;

class TMainThread : public plat::Thread {
  public:
    // Held at its start gate until Resume.
    explicit TMainThread(TGameForm* form);
    ~TMainThread() override;

    void Resume() { Start(); }

    // Runs frames with the logic lock released until EndWait; the caller holds the logic lock
    // on entry and holds it again when this returns or unwinds. Throws EGameEnd once the
    // thread is terminated.
    void WaitFrame();
    // Sleeps with the lock released while a voice plays; EGameEnd once terminated.
    void WaitVoiceEnd();

    void SetOnFrame(const ZRBaseCallback1<void, int>& slot) { OnFrameSlot = slot; }
    void GetOnFrame(ZRBaseCallback1<void, int>& out) const { out = OnFrameSlot; }
    void SetOnInput(const ZRBaseCallback2<void, int, TDInputUnit*>& slot) { OnInputSlot = slot; }
    void GetOnInput(ZRBaseCallback2<void, int, TDInputUnit*>& out) const { out = OnInputSlot; }
    // What the flow threads put in the main window's frame and input slots, so a screen only
    // ever fills the thread's own two.
    void FrameTrampoline(int ticks);
    void InputTrampoline(int ticks, TDInputUnit* input);

    void CheckTerminated();
    [[noreturn]] void ThrowGameEnd();
    [[noreturn]] void TerminateAndEnd();

    // Window thread: shows the low-memory message once.
    void LowMemoryWarning();

    // The main window's mode-entry operations with the logic lock released around the call.
    void BeginWaitMode();
    void BeginHoldMode();
    void BeginMenuMode();
    // The main window's music channel with the logic lock released around the call.
    void PlayBGM(int32_t track, bool loop, bool fade);
    void StopBGM(bool fade);

    // Screen changes through the window's transition: the screen now shown turns into a
    // cleared, black or white screen, into a panel tree, or `from` into `to`, while this
    // thread waits. The number picks the kind and the resource it needs; the wait's result
    // from before the transition is kept. A resource that cannot be loaded shows the next
    // picture at once. The window owns both pictures of FadeTransition once it is called,
    // whatever happens.
    void MaskTransitionToClear(int8_t number);
    void MaskTransitionToBlack(int8_t number);
    void MaskTransitionToWhite(int8_t number);
    void MaskTransitionToPanel(int8_t number, TNyRGBPanel* panel);
    void FadeTransition(int8_t number, TNyRGBBits* from, TNyRGBBits* to);

    std::atomic<int32_t> Result{0};
    std::atomic<bool> Done{false};
    ZRBaseCallback1<void, int> OnFrameSlot;
    ZRBaseCallback2<void, int, TDInputUnit*> OnInputSlot;
    int32_t MaskSpeed = 100;
    std::atomic<bool> MemoryWarned{false};

  protected:
    // Until the game flow exists: wait for frames until the window closes.
    void Execute() override;

    TGameForm* Form;

  private:
    template <typename F>
    void Unlocked(F&& call);
};

// Runs frame steps while the main window is in its wait or hold mode, and sleeps otherwise.
class TWaitThread : public plat::Thread {
  public:
    explicit TWaitThread(TGameForm* form);
    ~TWaitThread() override;

    // Wakes the thread (a screen mode 7 or 8 begins, start-up, termination). A wake that comes
    // while the thread is still running frames is kept, so it never sleeps through one.
    void Resume();
    // Terminates and wakes the thread.
    void Stop();

  protected:
    void Execute() override;

  private:
    TGameForm* Form;
    std::mutex mutex_;
    std::condition_variable cond_;
    bool wake_ = false;
};

// The running logic thread, null when none.
extern std::atomic<TMainThread*> MainThread;

// Ends the current wait of the logic thread with a result; ignored when none runs.
void EndWait(int32_t result);

// Tests only: replaces the memory figure of the low-memory check; an empty probe restores it.
void SetAvailableMemoryProbe(std::function<uint64_t()> probe);
