// The keyboard and joystick as the input unit reads them: a keyboard device that must be
// acquired and gives the key states by scan code, the system's key-state array by virtual-key
// code, and the first joystick with its two axes (-100..100) and 32 buttons (bit 7 = down).
// The SDL backend keeps snapshots that the main thread updates from window and joystick
// events; the fake backend lets tests set every state and result.
#pragma once
#include <cstdint>
#include <functional>
#include <mutex>

union SDL_Event;
struct _SDL_Joystick;

namespace plat {

enum class InputResult { Ok, InputLost, NotAcquired, Failed };

struct JoystickState {
    int32_t x = 0;
    int32_t y = 0;
    uint8_t buttons[32] = {};
};

using JoystickId = int32_t;

class InputBackend {
public:
    virtual ~InputBackend() = default;
    // The program's window has the input focus.
    virtual bool AppActive() = 0;

    virtual bool AcquireKeyboard() = 0;
    virtual void UnacquireKeyboard() = 0;
    virtual InputResult ReadScanCodes(uint8_t states[256]) = 0;
    virtual bool ReadVirtualKeys(uint8_t states[256]) = 0;

    // The first attached joystick, if any.
    virtual bool FindJoystick(JoystickId* id) = 0;
    virtual bool OpenJoystick(JoystickId id) = 0;
    virtual void CloseJoystick() = 0;
    virtual InputResult ReadJoystick(JoystickState* state) = 0;

    // Forgets the presses of keys and buttons made since the last read that are up again, so
    // that a screen which starts now does not act on them; what is still held stays down.
    virtual void ForgetTaps() = 0;
};

// The process's input backend: the installed one, else the SDL backend once its joystick
// support has started; null when it cannot start.
InputBackend* OpenInputBackend();
// Installs a backend for the whole process (tests); null returns to SDL.
void SetInputBackend(InputBackend* backend);

class SdlInput : public InputBackend {
public:
    static SdlInput& Instance();
    bool Start();

    // The main thread hands every event here: keys, focus, and the opened joystick's axes,
    // buttons and removal.
    void HandleEvent(const SDL_Event& e);

    bool AppActive() override;
    bool AcquireKeyboard() override;
    void UnacquireKeyboard() override;
    InputResult ReadScanCodes(uint8_t states[256]) override;
    bool ReadVirtualKeys(uint8_t states[256]) override;
    bool FindJoystick(JoystickId* id) override;
    bool OpenJoystick(JoystickId id) override;
    void CloseJoystick() override;
    InputResult ReadJoystick(JoystickState* state) override;
    void ForgetTaps() override;

    // Tests: runs on the opening thread between the joystick's open and the moment this
    // backend starts following its events.
    void SetOpenHook(std::function<void()> hook) { openHook_ = std::move(hook); }

private:
    SdlInput() = default;
    void Rebuild();
    void MarkRead();  // under mutex_
    void ClearKeys();
    void ClearJoystick();  // under mutex_

    std::mutex mutex_;
    bool started_ = false;
    bool active_ = true;
    bool acquired_ = false;
    bool down_[512] = {};  // by SDL scancode
    bool unread_[512] = {};  // went down since the last read: shown down to that read
    uint8_t scan_[256] = {};
    uint8_t vk_[256] = {};
    _SDL_Joystick* joystick_ = nullptr;
    JoystickId joystickId_ = -1;
    bool joystickLost_ = false;
    int32_t axes_[2] = {};
    bool buttonDown_[32] = {};
    bool buttonUnread_[32] = {};  // went down since the last read, as unread_ for keys
    std::function<void()> openHook_;
};

// Every state and result is a public field the test sets.
class FakeInput : public InputBackend {
public:
    bool AppActive() override { return active; }
    bool AcquireKeyboard() override;
    void UnacquireKeyboard() override { acquired = false; }
    InputResult ReadScanCodes(uint8_t states[256]) override;
    bool ReadVirtualKeys(uint8_t states[256]) override;
    bool FindJoystick(JoystickId* id) override;
    bool OpenJoystick(JoystickId id) override;
    void CloseJoystick() override { joystickOpen = false; }
    InputResult ReadJoystick(JoystickState* state) override;
    void ForgetTaps() override {}  // the states are the test's, with no taps kept

    void Press(uint8_t scanCode, uint8_t virtualKey, bool down);

    bool active = true;
    bool acquired = false;
    int acquireCalls = 0;
    InputResult keyboardResult = InputResult::Ok;
    bool virtualKeysFail = false;
    uint8_t scan[256] = {};
    uint8_t vk[256] = {};
    bool joystickAttached = false;
    bool joystickOpen = false;
    InputResult joystickResult = InputResult::Ok;
    JoystickState joystick;
};

}  // namespace plat
