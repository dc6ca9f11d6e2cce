// The input unit: the keyboard and the first joystick turned into 17 logical buttons and one
// eight-way direction, each with a first-press test and an auto-repeat counted in frame ticks
// (30 a second). The frame step calls Update once a frame with the ticks elapsed; the screens
// then ask IsPush, IsRepeat, GetDirectionRepeat and the rest. No lock: Update and the
// queries run on the frame step's thread.
#pragma once
#include <cstdint>

#include "foundation/zrstring.h"
#include "platform/inputbackend.h"

class TDInputUnit {
public:
    static constexpr int kButtons = 17;
    static constexpr int kJoystickButtons = 32;

    TDInputUnit();
    ~TDInputUnit();
    TDInputUnit(const TDInputUnit&) = delete;
    TDInputUnit& operator=(const TDInputUnit&) = delete;

    bool Initialize(void* window);
    void Finalize();

    bool SetKeyboardEnable(bool on);
    bool IsKeyboardEnable() const { return input_ && keyboardOn_; }
    bool SetJoypadEnable(bool on);
    bool IsJoypadEnable() const { return input_ && joystickOn_; }
    bool FindJoypad();

    void SetButtonMap(int32_t button, int32_t joystickButton);
    // Maps logical buttons 0-9 from [Joypad] Button1-Button10 of the settings file at path (a
    // game path). An empty or missing value leaves the entry, and text that is no number gives
    // it its default, the logical button's own number. Any number is kept as written: one
    // outside 0..31, the joystick's buttons, maps none (as -1 does).
    void LoadConfig(const ZRString& path);

    void Update(int32_t ticks);
    // Presses made since the last Update that are released again are not seen by the next
    // one; keys and buttons still held are. For a screen that begins now.
    void ForgetTaps() {
        if (input_) input_->ForgetTaps();
    }
    bool IsPress(int32_t button) const { return (current_[button] & 0x80) != 0; }
    bool IsPush(int32_t button) const {
        return (current_[button] & 0x80) && !(previous_[button] & 0x80);
    }
    bool IsRepeat(int32_t button) const { return states_[button] == 0 || states_[button] == 2; }
    int32_t GetDirectionRepeat() const {
        return directionState_ == 0 || directionState_ == 2 ? direction_ : -1;
    }
    bool IsCtrlDown() const;

private:
    static bool EnumJoypadCallback(plat::JoystickId id);
    bool CreateKeyboard();
    bool CreateJoypad();
    void ReleaseKeyboard();
    void ReleaseJoypad();
    void ReadKeyboard();
    void ReadJoypad();
    void RepeatStep(int32_t& state, int32_t& counter) const;

    plat::InputBackend* input_ = nullptr;
    bool keyboardDevice_ = false;
    bool joystickDevice_ = false;
    void* window_ = nullptr;
    bool keyboardOn_ = false;
    bool joystickOn_ = false;
    int32_t keyboardDirection_ = -1;
    uint8_t scanKeys_[256] = {};
    uint8_t virtualKeys_[256] = {};
    int32_t joystickDirection_ = -1;
    uint8_t joystickButtons_[kJoystickButtons] = {};
    int32_t direction_ = -1;
    int32_t previousDirection_ = -1;
    int32_t directionCounter_ = 0;
    int32_t directionState_ = -1;
    int32_t buttonMap_[kButtons];
    uint8_t current_[kButtons] = {};
    uint8_t previous_[kButtons] = {};
    int32_t counters_[kButtons] = {};
    int32_t states_[kButtons];
    int32_t firstDelay_ = 15;
    int32_t repeatInterval_ = 2;
};
