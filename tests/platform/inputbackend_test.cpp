#include "platform/inputbackend.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/keymap.h"

namespace {

SDL_Event Key(SDL_Scancode sc, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.keysym.scancode = sc;
    return e;
}

SDL_Event Repeat(SDL_Scancode sc) {
    SDL_Event e = Key(sc, true);
    e.key.repeat = 1;
    return e;
}

SDL_Event Focus(bool gained) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    return e;
}

TEST(KeyMap, SdlKeysMapToScanCodesAndVirtualKeys) {
    EXPECT_EQ(plat::ScanCodeFromSdl(SDL_SCANCODE_X), 0x2D);
    EXPECT_EQ(plat::VirtualKeyFromSdl(SDL_SCANCODE_X), 'X');
    EXPECT_EQ(plat::ScanCodeFromSdl(SDL_SCANCODE_SLASH), 0x35);
    EXPECT_EQ(plat::VirtualKeyFromSdl(SDL_SCANCODE_SLASH), 0xBF);
    EXPECT_EQ(plat::ScanCodeFromSdl(SDL_SCANCODE_F11), 0x57);
    EXPECT_EQ(plat::ScanCodeFromSdl(SDL_SCANCODE_PAGEDOWN), 0xD1);
    EXPECT_EQ(plat::ScanCodeFromSdl(SDL_SCANCODE_KP_7), 0x47);
    EXPECT_EQ(plat::VirtualKeyFromSdl(SDL_SCANCODE_KP_7), 0x67);
    EXPECT_EQ(plat::ScanCodeFromSdl(SDL_SCANCODE_RCTRL), 0x9D);
    EXPECT_EQ(plat::ScanCodeFromSdl(SDL_SCANCODE_UP), 0xC8);
    EXPECT_EQ(plat::VirtualKeyFromSdl(SDL_SCANCODE_UP), 0x26);
    EXPECT_EQ(plat::ScanCodeFromSdl(-1), 0);
    EXPECT_EQ(plat::VirtualKeyFromSdl(100000), 0);
    // No two SDL keys share a scan code.
    int seen[256] = {};
    for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
        if (uint8_t c = plat::ScanCodeFromSdl(sc)) {
            EXPECT_EQ(seen[c]++, 0) << sc;
        }
    }
}

TEST(SdlInput, SnapshotsFollowKeyEventsModifiersEitherSideAndFocus) {
    plat::SdlInput& in = plat::SdlInput::Instance();
    in.HandleEvent(Focus(true));
    ASSERT_TRUE(in.AcquireKeyboard());
    uint8_t scan[256], vk[256];

    in.HandleEvent(Key(SDL_SCANCODE_RCTRL, true));
    in.HandleEvent(Key(SDL_SCANCODE_LCTRL, true));
    in.HandleEvent(Key(SDL_SCANCODE_RETURN, true));
    in.HandleEvent(Key(SDL_SCANCODE_KP_ENTER, true));
    ASSERT_EQ(in.ReadScanCodes(scan), plat::InputResult::Ok);
    ASSERT_TRUE(in.ReadVirtualKeys(vk));
    EXPECT_EQ(scan[0x1D], 0x80);
    EXPECT_EQ(scan[0x9D], 0x80);
    EXPECT_EQ(vk[plat::kVkControl], 0x80);
    EXPECT_EQ(vk[0x0D], 0x80);

    in.HandleEvent(Key(SDL_SCANCODE_LCTRL, false));
    in.HandleEvent(Key(SDL_SCANCODE_RETURN, false));
    in.ReadVirtualKeys(vk);
    EXPECT_EQ(vk[plat::kVkControl], 0x80);  // the right one is still down
    EXPECT_EQ(vk[0x0D], 0x80);              // and so is keypad Enter
    in.HandleEvent(Key(SDL_SCANCODE_RCTRL, false));
    in.ReadVirtualKeys(vk);
    EXPECT_EQ(vk[plat::kVkControl], 0);

    in.HandleEvent(Key(SDL_SCANCODE_LALT, true));
    in.HandleEvent(Focus(false));
    EXPECT_FALSE(in.AppActive());
    EXPECT_EQ(in.ReadScanCodes(scan), plat::InputResult::NotAcquired);
    EXPECT_FALSE(in.AcquireKeyboard());
    in.ReadVirtualKeys(vk);
    EXPECT_EQ(vk[plat::kVkAlt], 0);
    EXPECT_EQ(vk[0x0D], 0);
    in.HandleEvent(Focus(true));
    ASSERT_TRUE(in.AcquireKeyboard());
    ASSERT_EQ(in.ReadScanCodes(scan), plat::InputResult::Ok);
    EXPECT_EQ(scan[0x38], 0);
    EXPECT_EQ(scan[0x9C], 0);
    in.UnacquireKeyboard();
}

// A tap that goes down and up between two reads of a slow frame is seen by the next read, by
// either kind, and only by that one; a key still held stays down.
TEST(SdlInput, ATapBetweenTwoReadsIsSeenOnce) {
    plat::SdlInput& in = plat::SdlInput::Instance();
    in.HandleEvent(Focus(true));
    ASSERT_TRUE(in.AcquireKeyboard());
    uint8_t scan[256], vk[256];
    in.HandleEvent(Key(SDL_SCANCODE_RETURN, true));
    in.HandleEvent(Key(SDL_SCANCODE_RETURN, false));
    in.HandleEvent(Key(SDL_SCANCODE_X, true));
    ASSERT_EQ(in.ReadScanCodes(scan), plat::InputResult::Ok);
    EXPECT_EQ(scan[0x1C], 0x80);
    EXPECT_EQ(scan[0x2D], 0x80);
    ASSERT_EQ(in.ReadScanCodes(scan), plat::InputResult::Ok);
    EXPECT_EQ(scan[0x1C], 0);
    EXPECT_EQ(scan[0x2D], 0x80);
    in.HandleEvent(Key(SDL_SCANCODE_X, false));
    in.HandleEvent(Key(SDL_SCANCODE_SPACE, true));
    in.HandleEvent(Key(SDL_SCANCODE_SPACE, false));
    ASSERT_TRUE(in.ReadVirtualKeys(vk));
    EXPECT_EQ(vk[' '], 0x80);
    EXPECT_EQ(vk['X'], 0);
    ASSERT_TRUE(in.ReadVirtualKeys(vk));
    EXPECT_EQ(vk[' '], 0);
    // Losing the focus forgets a tap nobody read.
    in.HandleEvent(Key(SDL_SCANCODE_SPACE, true));
    in.HandleEvent(Key(SDL_SCANCODE_SPACE, false));
    in.HandleEvent(Focus(false));
    ASSERT_TRUE(in.ReadVirtualKeys(vk));
    EXPECT_EQ(vk[' '], 0);
    in.HandleEvent(Focus(true));
    in.UnacquireKeyboard();
}

// A key held into the system's repeats and released between two reads is up in the next one,
// and a flush forgets a tap nobody read while a held key stays down.
TEST(SdlInput, RepeatsAndFlushesLeaveNoPressBehind) {
    plat::SdlInput& in = plat::SdlInput::Instance();
    in.HandleEvent(Focus(true));
    ASSERT_TRUE(in.AcquireKeyboard());
    uint8_t scan[256], vk[256];
    in.HandleEvent(Key(SDL_SCANCODE_DOWN, true));
    ASSERT_EQ(in.ReadScanCodes(scan), plat::InputResult::Ok);
    EXPECT_EQ(scan[0xD0], 0x80);
    in.HandleEvent(Repeat(SDL_SCANCODE_DOWN));
    in.HandleEvent(Repeat(SDL_SCANCODE_DOWN));
    ASSERT_TRUE(in.ReadVirtualKeys(vk));
    EXPECT_EQ(vk[0x28], 0x80);
    in.HandleEvent(Repeat(SDL_SCANCODE_DOWN));
    in.HandleEvent(Key(SDL_SCANCODE_DOWN, false));
    ASSERT_EQ(in.ReadScanCodes(scan), plat::InputResult::Ok);
    EXPECT_EQ(scan[0xD0], 0);

    in.HandleEvent(Key(SDL_SCANCODE_ESCAPE, true));
    in.HandleEvent(Key(SDL_SCANCODE_ESCAPE, false));
    in.HandleEvent(Key(SDL_SCANCODE_X, true));
    in.HandleEvent(Key(SDL_SCANCODE_Z, true));
    in.HandleEvent(Key(SDL_SCANCODE_Z, false));
    in.HandleEvent(Key(SDL_SCANCODE_Z, true));  // down again: held
    in.ForgetTaps();
    ASSERT_EQ(in.ReadScanCodes(scan), plat::InputResult::Ok);
    EXPECT_EQ(scan[0x01], 0);
    EXPECT_EQ(scan[0x2D], 0x80);
    EXPECT_EQ(scan[0x2C], 0x80);
    in.HandleEvent(Key(SDL_SCANCODE_X, false));
    in.HandleEvent(Key(SDL_SCANCODE_Z, false));
    ASSERT_TRUE(in.ReadVirtualKeys(vk));
    EXPECT_EQ(vk[0x1B], 0);
    EXPECT_EQ(vk['X'], 0);
    in.UnacquireKeyboard();
}

// SDL's virtual joystick, pumped as the main thread pumps: the stick and a held button are read
// as they are, a tap between two reads is seen by the next read only, a flush forgets it, and
// the joystick's removal is reported.
TEST(SdlInput, JoystickFollowsThePumpedEventsAndLatchesTaps) {
    plat::SdlInput& in = plat::SdlInput::Instance();
    ASSERT_TRUE(in.Start());
    const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 12, 0);
    ASSERT_GE(index, 0) << SDL_GetError();
    SDL_Joystick* pad = SDL_JoystickOpen(index);
    ASSERT_NE(pad, nullptr);
    auto pump = [&in] {
        SDL_Event e;
        while (SDL_PollEvent(&e)) in.HandleEvent(e);
    };
    auto button = [&](int b, bool down) {
        SDL_JoystickSetVirtualButton(pad, b, down ? 1 : 0);
        pump();
    };
    pump();
    plat::JoystickId id = -1;
    ASSERT_TRUE(in.FindJoystick(&id));
    ASSERT_TRUE(in.OpenJoystick(id));
    plat::JoystickState st;

    SDL_JoystickSetVirtualAxis(pad, 0, -32768);
    SDL_JoystickSetVirtualAxis(pad, 1, 32767);
    button(2, true);
    button(3, true);
    button(3, false);
    ASSERT_EQ(in.ReadJoystick(&st), plat::InputResult::Ok);
    EXPECT_EQ(st.x, -100);
    EXPECT_EQ(st.y, 100);
    EXPECT_EQ(st.buttons[2], 0x80);
    EXPECT_EQ(st.buttons[3], 0x80);
    ASSERT_EQ(in.ReadJoystick(&st), plat::InputResult::Ok);
    EXPECT_EQ(st.buttons[2], 0x80);
    EXPECT_EQ(st.buttons[3], 0);

    button(4, true);
    button(4, false);
    button(6, true);
    in.ForgetTaps();
    button(2, false);
    button(5, true);
    button(5, false);
    SDL_JoystickSetVirtualAxis(pad, 0, 0);
    pump();
    ASSERT_EQ(in.ReadJoystick(&st), plat::InputResult::Ok);
    EXPECT_EQ(st.x, 0);
    EXPECT_EQ(st.buttons[2], 0);
    EXPECT_EQ(st.buttons[4], 0);
    EXPECT_EQ(st.buttons[5], 0x80);  // tapped after the flush
    EXPECT_EQ(st.buttons[6], 0x80);  // held across it

    SDL_JoystickClose(pad);
    SDL_JoystickDetachVirtual(index);
    pump();
    EXPECT_EQ(in.ReadJoystick(&st), plat::InputResult::InputLost);
    in.CloseJoystick();
    EXPECT_EQ(in.ReadJoystick(&st), plat::InputResult::NotAcquired);
}

TEST(SdlInput, NoJoystickUnderTheDummyDrivers) {
    plat::SdlInput& in = plat::SdlInput::Instance();
    ASSERT_TRUE(in.Start());
    plat::JoystickState st;
    EXPECT_EQ(in.ReadJoystick(&st), plat::InputResult::NotAcquired);
    EXPECT_FALSE(in.OpenJoystick(12345));
}

}  // namespace
