#include "devices/dinputu.h"

#include <cstring>
#include <string>

#include "foundation/zrsys.h"
#include "platform/hostfs.h"
#include "platform/inifile.h"
#include "platform/strconv.h"

namespace {

struct KeyRow {
    uint32_t key;
    uint32_t button;
};

// Scan codes, used while the keyboard device is on.
constexpr KeyRow kScanKeys[] = {
    {0x2D, 0},  {0x39, 0},  {0x1C, 0},  {0x2C, 1},  {0x01, 1},  {0x1F, 2},  {0x1E, 3},
    {0x10, 4},  {0xC9, 4},  {0x3B, 4},  {0x11, 5},  {0xD1, 5},  {0x3C, 5},  {0x3D, 6},
    {0x3E, 7},  {0x3F, 8},  {0x40, 9},  {0x41, 10}, {0x42, 11}, {0x43, 12}, {0x44, 13},
    {0x57, 14}, {0x58, 15}, {0x35, 16}, {0, 0},
};

// Virtual-key codes of the system key-state array, used otherwise.
constexpr KeyRow kVirtualKeys[] = {
    {0x58, 0},  {0x20, 0},  {0x0D, 0},  {0x5A, 1},  {0x1B, 1},  {0x53, 2},  {0x41, 3},
    {0x51, 4},  {0x21, 4},  {0x70, 4},  {0x57, 5},  {0x22, 5},  {0x71, 5},  {0x72, 6},
    {0x73, 7},  {0x74, 8},  {0x75, 9},  {0x76, 10}, {0x77, 11}, {0x78, 12}, {0x79, 13},
    {0x7A, 14}, {0x7B, 15}, {0xBF, 16}, {0, 0},
};

// Direction by horizontal (0 left, 1 none, 2 right) + 3 x vertical (0 up, 1 none, 2 down).
constexpr int32_t kDirections[9] = {7, 0, 1, 6, -1, 2, 5, 4, 3};

struct DirectionKeys {
    uint8_t left[2], right[2], down[2], up[2];
    uint8_t diagonal[4];  // keypad 7, 9, 1, 3
};
constexpr DirectionKeys kScanDirections = {
    {0xCB, 0x4B}, {0xCD, 0x4D}, {0xD0, 0x50}, {0xC8, 0x48}, {0x47, 0x49, 0x4F, 0x51}};
constexpr DirectionKeys kVirtualDirections = {
    {0x25, 0x64}, {0x27, 0x66}, {0x28, 0x62}, {0x26, 0x68}, {0x67, 0x69, 0x61, 0x63}};
constexpr int32_t kDiagonalDirections[4] = {7, 1, 5, 3};

int32_t KeyDirection(const uint8_t keys[256], const DirectionKeys& k) {
    auto down = [keys](const uint8_t(&pair)[2]) {
        return ((keys[pair[0]] | keys[pair[1]]) & 0x80) != 0;
    };
    int32_t h = 1, v = 1;
    if (down(k.left))
        h = 0;
    else if (down(k.right))
        h = 2;
    if (down(k.down))
        v = 2;
    else if (down(k.up))
        v = 0;
    const int32_t index = h + 3 * v;
    if (index != 4) return kDirections[index];
    for (int i = 0; i < 4; ++i)
        if (keys[k.diagonal[i]] & 0x80) return kDiagonalDirections[i];
    return -1;
}

bool g_joystickFound = false;
plat::JoystickId g_joystickId = -1;

}  // namespace

TDInputUnit::TDInputUnit() {
    for (int i = 0; i < kButtons; ++i) {
        buttonMap_[i] = i < 10 ? i : -1;
        states_[i] = -1;
    }
}

TDInputUnit::~TDInputUnit() {
    if (input_) Finalize();
}

bool TDInputUnit::Initialize(void* window) {
    window_ = window;
    input_ = plat::OpenInputBackend();
    return input_ != nullptr;
}

void TDInputUnit::Finalize() {
    ReleaseJoypad();
    ReleaseKeyboard();
    input_ = nullptr;
}

bool TDInputUnit::EnumJoypadCallback(plat::JoystickId id) {
    g_joystickId = id;
    g_joystickFound = true;
    return false;
}

bool TDInputUnit::FindJoypad() {
    if (!input_) return false;
    g_joystickFound = false;
    plat::JoystickId id;
    if (input_->FindJoystick(&id)) EnumJoypadCallback(id);
    return g_joystickFound;
}

bool TDInputUnit::CreateKeyboard() {
    if (!input_) return false;
    if (keyboardDevice_) return true;
    keyboardDevice_ = true;
    // Acquiring fails while another window has the focus; reading retries then.
    input_->AcquireKeyboard();
    keyboardOn_ = true;
    return true;
}

bool TDInputUnit::CreateJoypad() {
    if (!input_) return false;
    if (joystickDevice_) return true;
    if (!FindJoypad()) return false;
    if (!input_->OpenJoystick(g_joystickId)) return false;
    joystickDevice_ = true;
    joystickOn_ = true;
    return true;
}

void TDInputUnit::ReleaseKeyboard() {
    if (keyboardDevice_ && input_) input_->UnacquireKeyboard();
    keyboardDevice_ = false;
    keyboardOn_ = false;
}

void TDInputUnit::ReleaseJoypad() {
    if (joystickDevice_ && input_) input_->CloseJoystick();
    joystickDevice_ = false;
    joystickOn_ = false;
}

bool TDInputUnit::SetKeyboardEnable(bool on) {
    if (!input_)
        keyboardOn_ = on;
    else if (!keyboardOn_ && on)
        CreateKeyboard();
    else if (keyboardOn_ && !on)
        ReleaseKeyboard();
    keyboardDirection_ = -1;
    std::memset(scanKeys_, 0, sizeof scanKeys_);
    std::memset(virtualKeys_, 0, sizeof virtualKeys_);
    return keyboardOn_;
}

bool TDInputUnit::SetJoypadEnable(bool on) {
    if (!input_)
        joystickOn_ = on;
    else if (!joystickOn_ && on)
        CreateJoypad();
    else if (joystickOn_ && !on)
        ReleaseJoypad();
    joystickDirection_ = -1;
    std::memset(joystickButtons_, 0, sizeof joystickButtons_);
    return joystickOn_;
}

void TDInputUnit::LoadConfig(const ZRString& path) {
    if (!ZRFileIsExist(path.c_str())) return;
    const plat::IniFile ini(plat::ToHost(path.c_str()));
    for (int32_t i = 0; i < 10; ++i) {
        const std::string value = ini.ReadString("Joypad", "Button" + std::to_string(i + 1), "");
        if (value.empty()) continue;
        // Any number is kept as written: one that names no joystick button maps nothing,
        // which Update sees to. Only text that is no number falls back to the default.
        buttonMap_[i] = plat::StrToIntDef(value, i);
    }
}

void TDInputUnit::SetButtonMap(int32_t button, int32_t joystickButton) {
    if (button >= 0 && button < kButtons) buttonMap_[button] = joystickButton;
}

void TDInputUnit::ReadKeyboard() {
    // Only a keyboard device that exists is read; the flag alone, set before Initialize,
    // falls back to the system key states.
    if (keyboardOn_ && keyboardDevice_) {
        const plat::InputResult r = input_->ReadScanCodes(scanKeys_);
        if (r != plat::InputResult::Ok) {
            if ((r == plat::InputResult::InputLost || r == plat::InputResult::NotAcquired) &&
                input_->AppActive())
                input_->AcquireKeyboard();
            std::memset(scanKeys_, 0, sizeof scanKeys_);
        }
        keyboardDirection_ = KeyDirection(scanKeys_, kScanDirections);
        return;
    }
    if (!input_ || !input_->AppActive() || !input_->ReadVirtualKeys(virtualKeys_))
        std::memset(virtualKeys_, 0, sizeof virtualKeys_);
    keyboardDirection_ = KeyDirection(virtualKeys_, kVirtualDirections);
}

void TDInputUnit::ReadJoypad() {
    if (!joystickOn_ || !joystickDevice_) return;
    plat::JoystickState st;
    const plat::InputResult r = input_->ReadJoystick(&st);
    if (r == plat::InputResult::InputLost) {
        SetJoypadEnable(false);
        return;
    }
    if (r != plat::InputResult::Ok) return;
    const int32_t h = st.x < -10 ? 0 : st.x > 10 ? 2 : 1;
    const int32_t v = st.y > 10 ? 2 : st.y < -10 ? 0 : 1;
    joystickDirection_ = kDirections[h + 3 * v];
    std::memcpy(joystickButtons_, st.buttons, sizeof joystickButtons_);
}

void TDInputUnit::RepeatStep(int32_t& state, int32_t& counter) const {
    if (state == 0) state = 1;
    if (state == 1) {
        if (counter >= firstDelay_) {
            state = 2;
            counter %= firstDelay_;
        }
        return;
    }
    if (state == 2) state = 3;
    if (state == 3 && counter >= repeatInterval_) {
        state = 2;
        counter %= repeatInterval_;
    }
}

void TDInputUnit::Update(int32_t ticks) {
    ReadKeyboard();
    ReadJoypad();

    previousDirection_ = direction_;
    std::memcpy(previous_, current_, sizeof previous_);
    std::memset(current_, 0, sizeof current_);

    direction_ = joystickDirection_ >= 0 ? joystickDirection_ : keyboardDirection_;
    if (direction_ == -1) {
        directionState_ = -1;
    } else if (direction_ != previousDirection_) {
        directionState_ = 0;
        directionCounter_ = 0;
    } else {
        directionCounter_ += ticks;
        RepeatStep(directionState_, directionCounter_);
    }

    if (joystickOn_) {
        for (int i = 0; i < kButtons; ++i) {
            const int32_t m = buttonMap_[i];
            // Entries past the 32 buttons a joystick reports name none.
            if (m >= 0 && m < kJoystickButtons && (joystickButtons_[m] & 0x80)) current_[i] |= 0x80;
        }
    }
    const bool scan = keyboardOn_ && keyboardDevice_;
    const uint8_t* keys = scan ? scanKeys_ : virtualKeys_;
    for (const KeyRow* row = scan ? kScanKeys : kVirtualKeys; row->key; ++row)
        if (keys[row->key] & 0x80) current_[row->button] |= 0x80;

    for (int i = 0; i < kButtons; ++i) {
        if (!(current_[i] & 0x80)) {
            states_[i] = -1;
        } else if (!(previous_[i] & 0x80)) {
            states_[i] = 0;
            counters_[i] = 0;
        } else {
            counters_[i] += ticks;
            RepeatStep(states_[i], counters_[i]);
        }
    }
}

bool TDInputUnit::IsCtrlDown() const {
    return ((scanKeys_[0x1D] | scanKeys_[0x9D] | virtualKeys_[0x11]) & 0x80) != 0;
}
