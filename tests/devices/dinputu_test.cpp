#include "devices/dinputu.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>

#include "frame_pacing.h"
#include "tempdir.h"

namespace {

struct KeyCase {
    uint8_t scan, vk;
    int button;
};

// The keys of every logical button, by scan code and by virtual-key code.
const KeyCase kKeys[] = {
    {0x2D, 'X', 0},   {0x39, ' ', 0},   {0x1C, 0x0D, 0},  {0x2C, 'Z', 1},   {0x01, 0x1B, 1},
    {0x1F, 'S', 2},   {0x1E, 'A', 3},   {0x10, 'Q', 4},   {0xC9, 0x21, 4},  {0x3B, 0x70, 4},
    {0x11, 'W', 5},   {0xD1, 0x22, 5},  {0x3C, 0x71, 5},  {0x3D, 0x72, 6},  {0x3E, 0x73, 7},
    {0x3F, 0x74, 8},  {0x40, 0x75, 9},  {0x41, 0x76, 10}, {0x42, 0x77, 11}, {0x43, 0x78, 12},
    {0x44, 0x79, 13}, {0x57, 0x7A, 14}, {0x58, 0x7B, 15}, {0x35, 0xBF, 16},
};

class InputUnit : public ::testing::Test {
  protected:
    void SetUp() override {
        plat::SetInputBackend(&fake);
        unit = std::make_unique<TDInputUnit>();
        ASSERT_TRUE(unit->Initialize(nullptr));
    }
    void TearDown() override {
        unit.reset();
        plat::SetInputBackend(nullptr);
    }
    std::vector<int> Pressed() const {
        std::vector<int> v;
        for (int b = 0; b < TDInputUnit::kButtons; ++b)
            if (unit->IsPress(b)) v.push_back(b);
        return v;
    }

    plat::FakeInput fake;
    std::unique_ptr<TDInputUnit> unit;
};

TEST_F(InputUnit, EveryKeyMakesItsLogicalButtonThroughEitherKeyArray) {
    for (bool device : {false, true}) {
        EXPECT_EQ(unit->SetKeyboardEnable(device), device);
        for (const KeyCase& k : kKeys) {
            fake.Press(k.scan, k.vk, true);
            unit->Update(1);
            EXPECT_EQ(Pressed(), std::vector<int>{k.button}) << device << " key " << int(k.vk);
            EXPECT_TRUE(unit->IsPush(k.button));
            fake.Press(k.scan, k.vk, false);
            unit->Update(1);
            EXPECT_TRUE(Pressed().empty());
        }
    }
    // With the device on, the system array is not looked at, and the other way round.
    fake.vk['X'] = 0x80;
    unit->Update(1);
    EXPECT_FALSE(unit->IsPress(0));
    unit->SetKeyboardEnable(false);
    fake.vk['X'] = 0;
    fake.scan[0x2D] = 0x80;
    unit->Update(1);
    EXPECT_FALSE(unit->IsPress(0));
}

TEST_F(InputUnit, JoystickButtonsFollowTheMapAndOnlyTheFirstTenAreMapped) {
    fake.joystickAttached = true;
    ASSERT_TRUE(unit->SetJoypadEnable(true));
    for (int j = 0; j < 32; ++j) {
        fake.joystick.buttons[j] = 0x80;
        unit->Update(1);
        if (j < 10)
            EXPECT_EQ(Pressed(), std::vector<int>{j});
        else
            EXPECT_TRUE(Pressed().empty()) << j;
        fake.joystick.buttons[j] = 0;
    }
    unit->SetButtonMap(12, 3);
    unit->SetButtonMap(0, 40);  // names no button
    unit->SetButtonMap(17, 0);  // no such logical button
    fake.joystick.buttons[3] = 0x80;
    fake.joystick.buttons[0] = 0x80;
    unit->Update(1);
    EXPECT_EQ(Pressed(), std::vector<int>({3, 12}));
}

// Every number is kept as written; one that names no joystick button maps nothing.
TEST_F(InputUnit, SettingsFileMapsTheFirstTenButtonsAndNumbersOutsideTheJoystickMapNothing) {
    TempDir dir;
    dir.Write("Solvane.ini",
              "[joypad]\nButton1=5\nButton2=-1\nButton3=x\nButton4=\nButton5=31\nButton6=32\n"
              "Button7=-2\nBUTTON8=2147483647\nButton10=0\nButton11=4\n");
    unit->SetButtonMap(3, 20);
    unit->SetButtonMap(8, 21);
    unit->SetButtonMap(10, 22);
    unit->LoadConfig((dir.Game() + "\\SOLVANE.INI").c_str());
    unit->LoadConfig((dir.Game() + "\\Missing.ini").c_str());
    // Logical button -> joystick button after loading; -1 maps none.
    const int32_t want[] = {5, -1, 2, 20, 31, -1, -1, -1, 21, 0, 22};
    fake.joystickAttached = true;
    ASSERT_TRUE(unit->SetJoypadEnable(true));
    for (int j = 0; j < 32; ++j) {
        fake.joystick.buttons[j] = 0x80;
        unit->Update(1);
        std::vector<int> expected;
        for (int b = 0; b < 11; ++b)
            if (want[b] == j) expected.push_back(b);
        EXPECT_EQ(Pressed(), expected) << "joystick button " << j;
        fake.joystick.buttons[j] = 0;
    }
}

TEST_F(InputUnit, RepeatFiresOnTheFirstFrameThenAfterFifteenTicksThenEveryTwo) {
    fake.vk['X'] = 0x80;
    std::string fired;
    for (int frame = 1; frame <= 17; ++frame) {
        unit->Update(1);
        fired += unit->IsRepeat(0) ? '1' : '0';
    }
    unit->Update(1);
    fired += unit->IsRepeat(0) ? '1' : '0';
    EXPECT_EQ(fired, "100000000000000101");
    EXPECT_FALSE(unit->IsPush(0));

    // Ticks beyond a threshold carry over: 20 at once from state 1 leave 5.
    fake.vk['X'] = 0;
    unit->Update(1);
    fake.vk['X'] = 0x80;
    unit->Update(1);
    unit->Update(20);
    EXPECT_TRUE(unit->IsRepeat(0));  // state 2, counter 5
    unit->Update(0);
    EXPECT_TRUE(unit->IsRepeat(0));  // 5 >= 2 in state 3: fires again, counter 1
    unit->Update(0);
    EXPECT_FALSE(unit->IsRepeat(0));
}

TEST_F(InputUnit, DirectionsFromArrowsKeypadAndStick) {
    struct Case {
        std::vector<uint8_t> keys;
        int32_t dir;
    };
    const Case cases[] = {
        {{0x26}, 0},       {{0x27}, 2},       {{0x28}, 4},       {{0x25}, 6},
        {{0x68}, 0},       {{0x66}, 2},       {{0x62}, 4},       {{0x64}, 6},
        {{0x26, 0x27}, 1}, {{0x28, 0x25}, 5}, {{0x25, 0x27}, 6}, {{0x26, 0x28}, 4},
        {{0x67}, 7},       {{0x69}, 1},       {{0x61}, 5},       {{0x63}, 3},
        {{0x65}, -1},      {{0x67, 0x27}, 2},
    };
    for (const Case& c : cases) {
        for (uint8_t k : c.keys) fake.vk[k] = 0x80;
        unit->Update(1);
        EXPECT_EQ(unit->GetDirectionRepeat(), c.dir) << int(c.keys[0]);
        for (uint8_t k : c.keys) fake.vk[k] = 0;
        unit->Update(1);
    }
    unit->SetKeyboardEnable(true);
    fake.scan[0xC8] = 0x80;  // up by scan code
    unit->Update(1);
    EXPECT_EQ(unit->GetDirectionRepeat(), 0);
    unit->Update(1);
    EXPECT_EQ(unit->GetDirectionRepeat(), -1);  // held: waits for the repeat
    fake.scan[0xCD] = 0x80;                     // adding right restarts at once
    unit->Update(1);
    EXPECT_EQ(unit->GetDirectionRepeat(), 1);
    for (int i = 0; i < 14; ++i) unit->Update(1);
    EXPECT_EQ(unit->GetDirectionRepeat(), -1);
    unit->Update(1);
    EXPECT_EQ(unit->GetDirectionRepeat(), 1);

    // The stick wins over the keys; its dead zone is -10..10.
    fake.joystickAttached = true;
    ASSERT_TRUE(unit->SetJoypadEnable(true));
    fake.joystick.x = -11;
    fake.joystick.y = 11;
    unit->Update(1);
    EXPECT_EQ(unit->GetDirectionRepeat(), 5);
    fake.joystick.x = -10;
    fake.joystick.y = -10;
    unit->Update(1);
    EXPECT_EQ(unit->GetDirectionRepeat(), 1);  // stick centred: the keys again
    fake.scan[0xC8] = fake.scan[0xCD] = 0;
    fake.joystick.y = -100;
    unit->Update(1);
    EXPECT_EQ(unit->GetDirectionRepeat(), 0);
}

TEST_F(InputUnit, FocusLossClearsKeysAndTheKeyboardIsAcquiredAgainOnReturn) {
    unit->SetKeyboardEnable(true);
    EXPECT_EQ(fake.acquireCalls, 1);
    fake.scan[0x2D] = 0x80;
    unit->Update(1);
    EXPECT_TRUE(unit->IsPress(0));

    fake.active = false;
    fake.acquired = false;  // the backend drops the keyboard with the focus
    unit->Update(1);
    EXPECT_FALSE(unit->IsPress(0));
    EXPECT_EQ(fake.acquireCalls, 1);  // not while inactive
    fake.active = true;
    unit->Update(1);
    EXPECT_EQ(fake.acquireCalls, 2);
    EXPECT_FALSE(unit->IsPress(0));  // this frame's read had failed
    unit->Update(1);
    EXPECT_TRUE(unit->IsPush(0));

    unit->SetKeyboardEnable(false);
    fake.vk[0x20] = 0x80;
    fake.active = false;
    unit->Update(1);
    EXPECT_FALSE(unit->IsPress(0));
    fake.active = true;
    fake.virtualKeysFail = true;
    unit->Update(1);
    EXPECT_FALSE(unit->IsPress(0));
}

TEST_F(InputUnit, SwitchingTheKeyboardDeviceOffKeepsAHeldButtonHeld) {
    unit->SetKeyboardEnable(true);
    fake.Press(0x1C, 0x0D, true);
    unit->Update(1);
    EXPECT_TRUE(unit->IsPush(0));
    EXPECT_FALSE(unit->SetKeyboardEnable(false));
    EXPECT_FALSE(fake.acquired);
    unit->Update(1);
    EXPECT_TRUE(unit->IsPress(0));
    EXPECT_FALSE(unit->IsPush(0));
}

TEST_F(InputUnit, LostJoystickSwitchesItselfOffAndComesBackWhenFound) {
    EXPECT_FALSE(unit->FindJoypad());
    EXPECT_FALSE(unit->SetJoypadEnable(true));
    fake.joystickAttached = true;
    EXPECT_TRUE(unit->FindJoypad());
    EXPECT_TRUE(unit->SetJoypadEnable(true));
    EXPECT_TRUE(unit->IsJoypadEnable());
    fake.joystick.buttons[1] = 0x80;
    fake.joystick.x = 50;
    unit->Update(1);
    EXPECT_TRUE(unit->IsPress(1));

    // A failed read keeps the last state.
    fake.joystickResult = plat::InputResult::Failed;
    fake.joystick.buttons[1] = 0;
    unit->Update(1);
    EXPECT_TRUE(unit->IsPress(1));
    EXPECT_TRUE(unit->IsJoypadEnable());

    fake.joystickResult = plat::InputResult::InputLost;
    fake.joystickAttached = false;
    unit->Update(1);
    EXPECT_FALSE(unit->IsJoypadEnable());
    EXPECT_FALSE(fake.joystickOpen);
    EXPECT_FALSE(unit->IsPress(1));
    EXPECT_EQ(unit->GetDirectionRepeat(), -1);

    fake.joystickResult = plat::InputResult::Ok;
    fake.joystickAttached = true;
    EXPECT_TRUE(unit->SetJoypadEnable(true));
}

TEST_F(InputUnit, ControlFromEitherSideOrTheSystemArray) {
    unit->Update(1);
    EXPECT_FALSE(unit->IsCtrlDown());
    fake.vk[0x11] = 0x80;
    unit->Update(1);
    EXPECT_TRUE(unit->IsCtrlDown());
    fake.vk[0x11] = 0;
    unit->SetKeyboardEnable(true);
    fake.scan[0x9D] = 0x80;
    unit->Update(1);
    EXPECT_TRUE(unit->IsCtrlDown());
}

// A direction and a button held into the system's key repeat, on the SDL keyboard, read at a
// frame mode's pacing. The time line counts tenths of a tick: the system repeats a held key
// after about half a second, then every 11 (about 27 a second); the key is released right
// after a repeat, before the next read, at twenty different moments of the game's repeat
// cycle. No step, and no press, follows the release.
class KeyRepeatRelease : public ::testing::TestWithParam<Pacing> {};

TEST_P(KeyRepeatRelease, NoStepAfterTheRelease) {
    plat::SetInputBackend(nullptr);
    plat::SdlInput& sdl = plat::SdlInput::Instance();
    auto send = [&sdl](SDL_Scancode sc, bool down, bool repeat) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.keysym.scancode = sc;
        e.key.repeat = repeat;
        sdl.HandleEvent(e);
    };
    SDL_Event focus{};
    focus.type = SDL_WINDOWEVENT;
    focus.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    sdl.HandleEvent(focus);
    const int32_t unitsPerRead = GetParam() == Pacing::Full    ? 1
                                 : GetParam() == Pacing::Fps15 ? 20
                                                               : 10;
    struct Held {
        SDL_Scancode key;
        const char* name;
        bool (*step)(const TDInputUnit&);
    };
    const Held keys[] = {
        {SDL_SCANCODE_DOWN, "down",
         [](const TDInputUnit& u) { return u.GetDirectionRepeat() == 4; }},
        {SDL_SCANCODE_RETURN, "OK", [](const TDInputUnit& u) { return u.IsRepeat(0); }},
    };
    for (const Held& k : keys) {
        for (int32_t shift = 0; shift < 20; ++shift) {
            TDInputUnit unit;
            ASSERT_TRUE(unit.Initialize(nullptr));
            ASSERT_TRUE(unit.SetKeyboardEnable(true));
            FrameClock clock(GetParam());
            const int32_t firstRepeat = 150 + shift, every = 11;
            const int32_t release = firstRepeat + 8 * every;
            int heldSteps = 0, afterSteps = 0, afterPresses = 0;
            for (int32_t t = 0; t < release + 60; ++t) {
                if (t == 0) send(k.key, true, false);
                if (t >= firstRepeat && t <= release && (t - firstRepeat) % every == 0)
                    send(k.key, true, true);
                if (t == release) send(k.key, false, false);
                if ((t + 1) % unitsPerRead) continue;
                unit.Update(clock.Next().ticks);
                const bool step = k.step(unit);
                if (t < release) {
                    heldSteps += step;
                } else {
                    afterSteps += step;
                    afterPresses += unit.IsPress(0) || unit.GetDirectionRepeat() >= 0;
                }
            }
            EXPECT_GT(heldSteps, 2) << k.name << " shifted " << shift;
            EXPECT_EQ(afterSteps, 0) << k.name << " shifted " << shift;
            EXPECT_EQ(afterPresses, 0) << k.name << " shifted " << shift;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EachFrameMode, KeyRepeatRelease,
                         ::testing::Values(Pacing::Full, Pacing::OneTick, Pacing::Fps15),
                         [](const ::testing::TestParamInfo<Pacing>& i) {
                             return i.param == Pacing::Full    ? std::string("Full")
                                    : i.param == Pacing::Fps15 ? std::string("Fps15")
                                                               : std::string("OneTick");
                         });

// SDL's virtual joystick pulled out while the unit opens it, its removal handled by the main
// thread before the backend follows the pad: the unit goes off at its next read, and the frame
// step's retry finds and reads a pad plugged in later.
TEST(InputUnitOnSdl, APadRemovedWhileItOpensGoesOffAndALaterPadWorks) {
    plat::SdlInput& in = plat::SdlInput::Instance();
    ASSERT_TRUE(in.Start());
    plat::SetInputBackend(&in);
    auto pump = [&in] {
        SDL_Event e;
        while (SDL_PollEvent(&e)) in.HandleEvent(e);
    };
    struct Restore {
        ~Restore() {
            plat::SdlInput::Instance().SetOpenHook({});
            plat::SetInputBackend(nullptr);
        }
    } restore;
    TDInputUnit unit;
    ASSERT_TRUE(unit.Initialize(nullptr));
    const int first = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 12, 0);
    ASSERT_GE(first, 0) << SDL_GetError();
    pump();
    in.SetOpenHook([&] {
        SDL_JoystickDetachVirtual(first);
        pump();
    });
    unit.SetJoypadEnable(true);
    in.SetOpenHook({});
    unit.Update(1);
    EXPECT_FALSE(unit.IsJoypadEnable());

    const int second = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 12, 0);
    ASSERT_GE(second, 0) << SDL_GetError();
    pump();
    if (!unit.IsJoypadEnable() && unit.FindJoypad()) unit.SetJoypadEnable(true);
    SDL_Joystick* pad = SDL_JoystickOpen(second);
    ASSERT_NE(pad, nullptr);
    SDL_JoystickSetVirtualButton(pad, 1, 1);
    pump();
    unit.Update(1);
    EXPECT_TRUE(unit.IsJoypadEnable());
    EXPECT_TRUE(unit.IsPress(1));
    unit.SetJoypadEnable(false);
    SDL_JoystickClose(pad);
    SDL_JoystickDetachVirtual(second);
    pump();
}

TEST(InputUnitWithoutBackend, FlagsOnlyAndSystemKeysNeverRead) {
    TDInputUnit unit;
    EXPECT_TRUE(unit.SetKeyboardEnable(true));
    EXPECT_FALSE(unit.IsKeyboardEnable());
    EXPECT_FALSE(unit.FindJoypad());
    unit.Update(1);  // reads nothing, touches no device
    EXPECT_FALSE(unit.IsPress(0));
    EXPECT_EQ(unit.GetDirectionRepeat(), -1);
}

}  // namespace
