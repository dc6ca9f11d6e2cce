#include "platform/inputbackend.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/keymap.h"

namespace plat {

namespace {

static_assert(SDL_NUM_SCANCODES == 512, "key snapshot sized for SDL2's scancodes");

std::atomic<InputBackend*> g_installed{nullptr};

int32_t ScaleAxis(int16_t v) { return std::clamp(v * 100 / 32767, -100, 100); }

}  // namespace

InputBackend* OpenInputBackend() {
    if (InputBackend* b = g_installed.load()) return b;
    SdlInput& sdl = SdlInput::Instance();
    return sdl.Start() ? &sdl : nullptr;
}

void SetInputBackend(InputBackend* backend) { g_installed.store(backend); }

SdlInput& SdlInput::Instance() {
    static SdlInput input;
    return input;
}

bool SdlInput::Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!started_) started_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
    return started_;
}

void SdlInput::ClearKeys() {
    std::memset(down_, 0, sizeof down_);
    std::memset(unread_, 0, sizeof unread_);
    std::memset(scan_, 0, sizeof scan_);
    std::memset(vk_, 0, sizeof vk_);
}

void SdlInput::Rebuild() {
    std::memset(scan_, 0, sizeof scan_);
    std::memset(vk_, 0, sizeof vk_);
    for (int sc = 0; sc < 512; ++sc) {
        if (!down_[sc] && !unread_[sc]) continue;
        if (uint8_t s = ScanCodeFromSdl(sc)) scan_[s] = 0x80;
        if (uint8_t v = VirtualKeyFromSdl(sc)) vk_[v] = 0x80;
    }
    // The system array also has one entry for both sides of each modifier.
    vk_[kVkShift] = vk_[0xA0] | vk_[0xA1];
    vk_[kVkControl] = vk_[0xA2] | vk_[0xA3];
    vk_[kVkAlt] = vk_[0xA4] | vk_[0xA5];
}

void SdlInput::HandleEvent(const SDL_Event& e) {
    std::lock_guard<std::mutex> lock(mutex_);
    switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const int sc = e.key.keysym.scancode;
            if (sc < 0 || sc >= 512) return;
            // The game reads the keys once a frame; a tap that is down and up again between
            // two reads still shows as down in the next one, so a slow frame loses no press.
            // Only the press itself counts: the system's repeats of a held key must not keep
            // it down for one more read once it is released.
            const bool down = e.type == SDL_KEYDOWN;
            if (down && !down_[sc]) unread_[sc] = true;
            down_[sc] = down;
            Rebuild();
            break;
        }
        case SDL_JOYAXISMOTION:
            if (joystick_ && e.jaxis.which == joystickId_ && e.jaxis.axis < 2)
                axes_[e.jaxis.axis] = ScaleAxis(e.jaxis.value);
            break;
        case SDL_JOYBUTTONDOWN:
        case SDL_JOYBUTTONUP: {
            // Buttons are latched as keys are: a tap between two reads is seen by the next.
            const int b = e.jbutton.button;
            if (!joystick_ || e.jbutton.which != joystickId_ || b >= 32) break;
            const bool down = e.jbutton.state == SDL_PRESSED;
            if (down && !buttonDown_[b]) buttonUnread_[b] = true;
            buttonDown_[b] = down;
            break;
        }
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) active_ = true;
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                // Keys released while another window has the focus never reach us.
                active_ = false;
                acquired_ = false;
                ClearKeys();
                std::memset(buttonUnread_, 0, sizeof buttonUnread_);
            }
            break;
        case SDL_JOYDEVICEREMOVED:
            if (joystick_ && e.jdevice.which == joystickId_) joystickLost_ = true;
            break;
        default:
            break;
    }
}

bool SdlInput::AppActive() {
    std::lock_guard<std::mutex> lock(mutex_);
    return active_;
}

bool SdlInput::AcquireKeyboard() {
    std::lock_guard<std::mutex> lock(mutex_);
    acquired_ = active_;
    return acquired_;
}

void SdlInput::UnacquireKeyboard() {
    std::lock_guard<std::mutex> lock(mutex_);
    acquired_ = false;
}

InputResult SdlInput::ReadScanCodes(uint8_t states[256]) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!acquired_) return InputResult::NotAcquired;
    std::memcpy(states, scan_, 256);
    MarkRead();
    return InputResult::Ok;
}

bool SdlInput::ReadVirtualKeys(uint8_t states[256]) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::memcpy(states, vk_, 256);
    MarkRead();
    return true;
}

void SdlInput::ForgetTaps() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::memset(buttonUnread_, 0, sizeof buttonUnread_);
    MarkRead();
}

void SdlInput::MarkRead() {
    bool any = false;
    for (int sc = 0; sc < 512; ++sc) {
        any |= unread_[sc] && !down_[sc];
        unread_[sc] = false;
    }
    if (any) Rebuild();
}

bool SdlInput::FindJoystick(JoystickId* id) {
    if (SDL_NumJoysticks() < 1) return false;
    *id = SDL_JoystickGetDeviceInstanceID(0);
    return *id >= 0;
}

void SdlInput::ClearJoystick() {
    std::memset(axes_, 0, sizeof axes_);
    std::memset(buttonDown_, 0, sizeof buttonDown_);
    std::memset(buttonUnread_, 0, sizeof buttonUnread_);
}

bool SdlInput::OpenJoystick(JoystickId id) {
    CloseJoystick();
    for (int i = 0, n = SDL_NumJoysticks(); i < n; ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) != id) continue;
        SDL_Joystick* j = SDL_JoystickOpen(i);
        if (!j) return false;
        if (openHook_) openHook_();
        std::lock_guard<std::mutex> lock(mutex_);
        joystick_ = j;
        // Until the lock the main thread drops this pad's events, its removal among them, and
        // the list may have changed under the index: the pad itself tells which one it is
        // and whether it is still there.
        joystickId_ = SDL_JoystickInstanceID(j);
        joystickLost_ = !SDL_JoystickGetAttached(j);
        // From here on the main thread's events keep the state; they start from the state the
        // joystick has now. An event already queued but older than this only repeats a state
        // that a later one in the queue ends.
        ClearJoystick();
        axes_[0] = ScaleAxis(SDL_JoystickGetAxis(j, 0));
        axes_[1] = ScaleAxis(SDL_JoystickGetAxis(j, 1));
        const int buttons = std::min(SDL_JoystickNumButtons(j), 32);
        for (int b = 0; b < buttons; ++b) buttonDown_[b] = SDL_JoystickGetButton(j, b) != 0;
        return true;
    }
    return false;
}

void SdlInput::CloseJoystick() {
    SDL_Joystick* j = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::swap(j, joystick_);
        joystickId_ = -1;
        ClearJoystick();
    }
    if (j) SDL_JoystickClose(j);
}

InputResult SdlInput::ReadJoystick(JoystickState* state) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!joystick_) return InputResult::NotAcquired;
    if (joystickLost_) return InputResult::InputLost;
    state->x = axes_[0];
    state->y = axes_[1];
    for (int b = 0; b < 32; ++b) {
        state->buttons[b] = buttonDown_[b] || buttonUnread_[b] ? 0x80 : 0;
        buttonUnread_[b] = false;
    }
    return InputResult::Ok;
}

bool FakeInput::AcquireKeyboard() {
    ++acquireCalls;
    acquired = active;
    return acquired;
}

InputResult FakeInput::ReadScanCodes(uint8_t states[256]) {
    if (keyboardResult != InputResult::Ok) return keyboardResult;
    if (!acquired) return InputResult::NotAcquired;
    std::memcpy(states, scan, 256);
    return InputResult::Ok;
}

bool FakeInput::ReadVirtualKeys(uint8_t states[256]) {
    if (virtualKeysFail) return false;
    std::memcpy(states, vk, 256);
    return true;
}

bool FakeInput::FindJoystick(JoystickId* id) {
    if (!joystickAttached) return false;
    *id = 7;
    return true;
}

bool FakeInput::OpenJoystick(JoystickId id) {
    joystickOpen = joystickAttached && id == 7;
    return joystickOpen;
}

InputResult FakeInput::ReadJoystick(JoystickState* state) {
    if (!joystickOpen) return InputResult::NotAcquired;
    if (joystickResult == InputResult::Ok) *state = joystick;
    return joystickResult;
}

void FakeInput::Press(uint8_t scanCode, uint8_t virtualKey, bool down) {
    scan[scanCode] = down ? 0x80 : 0;
    vk[virtualKey] = down ? 0x80 : 0;
}

}  // namespace plat
