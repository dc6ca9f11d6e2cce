#include "platform/keymap.h"

#include <SDL.h>

#include <array>

namespace plat {

namespace {

struct KeyRow {
    SDL_Scancode sdl;
    uint8_t scan;
    uint8_t vk;
};

constexpr KeyRow kKeys[] = {
    {SDL_SCANCODE_A, 0x1E, 0x41}, {SDL_SCANCODE_B, 0x30, 0x42}, {SDL_SCANCODE_C, 0x2E, 0x43},
    {SDL_SCANCODE_D, 0x20, 0x44}, {SDL_SCANCODE_E, 0x12, 0x45}, {SDL_SCANCODE_F, 0x21, 0x46},
    {SDL_SCANCODE_G, 0x22, 0x47}, {SDL_SCANCODE_H, 0x23, 0x48}, {SDL_SCANCODE_I, 0x17, 0x49},
    {SDL_SCANCODE_J, 0x24, 0x4A}, {SDL_SCANCODE_K, 0x25, 0x4B}, {SDL_SCANCODE_L, 0x26, 0x4C},
    {SDL_SCANCODE_M, 0x32, 0x4D}, {SDL_SCANCODE_N, 0x31, 0x4E}, {SDL_SCANCODE_O, 0x18, 0x4F},
    {SDL_SCANCODE_P, 0x19, 0x50}, {SDL_SCANCODE_Q, 0x10, 0x51}, {SDL_SCANCODE_R, 0x13, 0x52},
    {SDL_SCANCODE_S, 0x1F, 0x53}, {SDL_SCANCODE_T, 0x14, 0x54}, {SDL_SCANCODE_U, 0x16, 0x55},
    {SDL_SCANCODE_V, 0x2F, 0x56}, {SDL_SCANCODE_W, 0x11, 0x57}, {SDL_SCANCODE_X, 0x2D, 0x58},
    {SDL_SCANCODE_Y, 0x15, 0x59}, {SDL_SCANCODE_Z, 0x2C, 0x5A},
    {SDL_SCANCODE_1, 0x02, 0x31}, {SDL_SCANCODE_2, 0x03, 0x32}, {SDL_SCANCODE_3, 0x04, 0x33},
    {SDL_SCANCODE_4, 0x05, 0x34}, {SDL_SCANCODE_5, 0x06, 0x35}, {SDL_SCANCODE_6, 0x07, 0x36},
    {SDL_SCANCODE_7, 0x08, 0x37}, {SDL_SCANCODE_8, 0x09, 0x38}, {SDL_SCANCODE_9, 0x0A, 0x39},
    {SDL_SCANCODE_0, 0x0B, 0x30},
    {SDL_SCANCODE_RETURN, 0x1C, 0x0D}, {SDL_SCANCODE_ESCAPE, 0x01, 0x1B},
    {SDL_SCANCODE_BACKSPACE, 0x0E, 0x08}, {SDL_SCANCODE_TAB, 0x0F, 0x09},
    {SDL_SCANCODE_SPACE, 0x39, 0x20}, {SDL_SCANCODE_MINUS, 0x0C, 0xBD},
    {SDL_SCANCODE_EQUALS, 0x0D, 0xBB}, {SDL_SCANCODE_LEFTBRACKET, 0x1A, 0xDB},
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B, 0xDD}, {SDL_SCANCODE_BACKSLASH, 0x2B, 0xDC},
    {SDL_SCANCODE_SEMICOLON, 0x27, 0xBA}, {SDL_SCANCODE_APOSTROPHE, 0x28, 0xDE},
    {SDL_SCANCODE_GRAVE, 0x29, 0xC0}, {SDL_SCANCODE_COMMA, 0x33, 0xBC},
    {SDL_SCANCODE_PERIOD, 0x34, 0xBE}, {SDL_SCANCODE_SLASH, 0x35, 0xBF},
    {SDL_SCANCODE_CAPSLOCK, 0x3A, 0x14},
    {SDL_SCANCODE_F1, 0x3B, 0x70}, {SDL_SCANCODE_F2, 0x3C, 0x71}, {SDL_SCANCODE_F3, 0x3D, 0x72},
    {SDL_SCANCODE_F4, 0x3E, 0x73}, {SDL_SCANCODE_F5, 0x3F, 0x74}, {SDL_SCANCODE_F6, 0x40, 0x75},
    {SDL_SCANCODE_F7, 0x41, 0x76}, {SDL_SCANCODE_F8, 0x42, 0x77}, {SDL_SCANCODE_F9, 0x43, 0x78},
    {SDL_SCANCODE_F10, 0x44, 0x79}, {SDL_SCANCODE_F11, 0x57, 0x7A},
    {SDL_SCANCODE_F12, 0x58, 0x7B},
    {SDL_SCANCODE_PRINTSCREEN, 0xB7, 0x2C}, {SDL_SCANCODE_SCROLLLOCK, 0x46, 0x91},
    {SDL_SCANCODE_PAUSE, 0xC5, 0x13}, {SDL_SCANCODE_INSERT, 0xD2, 0x2D},
    {SDL_SCANCODE_HOME, 0xC7, 0x24}, {SDL_SCANCODE_PAGEUP, 0xC9, 0x21},
    {SDL_SCANCODE_DELETE, 0xD3, 0x2E}, {SDL_SCANCODE_END, 0xCF, 0x23},
    {SDL_SCANCODE_PAGEDOWN, 0xD1, 0x22}, {SDL_SCANCODE_RIGHT, 0xCD, 0x27},
    {SDL_SCANCODE_LEFT, 0xCB, 0x25}, {SDL_SCANCODE_DOWN, 0xD0, 0x28},
    {SDL_SCANCODE_UP, 0xC8, 0x26},
    // The keypad reads as digits whatever the lock state, so it always steers.
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x45, 0x90}, {SDL_SCANCODE_KP_DIVIDE, 0xB5, 0x6F},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37, 0x6A}, {SDL_SCANCODE_KP_MINUS, 0x4A, 0x6D},
    {SDL_SCANCODE_KP_PLUS, 0x4E, 0x6B}, {SDL_SCANCODE_KP_ENTER, 0x9C, 0x0D},
    {SDL_SCANCODE_KP_1, 0x4F, 0x61}, {SDL_SCANCODE_KP_2, 0x50, 0x62},
    {SDL_SCANCODE_KP_3, 0x51, 0x63}, {SDL_SCANCODE_KP_4, 0x4B, 0x64},
    {SDL_SCANCODE_KP_5, 0x4C, 0x65}, {SDL_SCANCODE_KP_6, 0x4D, 0x66},
    {SDL_SCANCODE_KP_7, 0x47, 0x67}, {SDL_SCANCODE_KP_8, 0x48, 0x68},
    {SDL_SCANCODE_KP_9, 0x49, 0x69}, {SDL_SCANCODE_KP_0, 0x52, 0x60},
    {SDL_SCANCODE_KP_PERIOD, 0x53, 0x6E}, {SDL_SCANCODE_APPLICATION, 0xDD, 0x5D},
    {SDL_SCANCODE_LCTRL, 0x1D, 0xA2}, {SDL_SCANCODE_LSHIFT, 0x2A, 0xA0},
    {SDL_SCANCODE_LALT, 0x38, 0xA4}, {SDL_SCANCODE_LGUI, 0xDB, 0x5B},
    {SDL_SCANCODE_RCTRL, 0x9D, 0xA3}, {SDL_SCANCODE_RSHIFT, 0x36, 0xA1},
    {SDL_SCANCODE_RALT, 0xB8, 0xA5}, {SDL_SCANCODE_RGUI, 0xDC, 0x5C},
};

struct Tables {
    std::array<uint8_t, SDL_NUM_SCANCODES> scan{};
    std::array<uint8_t, SDL_NUM_SCANCODES> vk{};
    Tables() {
        for (const KeyRow& r : kKeys) {
            scan[r.sdl] = r.scan;
            vk[r.sdl] = r.vk;
        }
    }
};

const Tables& Table() {
    static const Tables t;
    return t;
}

}  // namespace

uint8_t ScanCodeFromSdl(int sdlScancode) {
    if (sdlScancode < 0 || sdlScancode >= SDL_NUM_SCANCODES) return 0;
    return Table().scan[static_cast<size_t>(sdlScancode)];
}

uint8_t VirtualKeyFromSdl(int sdlScancode) {
    if (sdlScancode < 0 || sdlScancode >= SDL_NUM_SCANCODES) return 0;
    return Table().vk[static_cast<size_t>(sdlScancode)];
}

char TypedCharacter(int32_t sym, uint16_t mod) {
    if (mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI)) return 0;
    const bool shift = (mod & KMOD_SHIFT) != 0;
    if (sym >= SDLK_a && sym <= SDLK_z) {
        const bool upper = shift != ((mod & KMOD_CAPS) != 0);
        return static_cast<char>(upper ? sym - 'a' + 'A' : sym);
    }
    if (sym >= SDLK_KP_1 && sym <= SDLK_KP_9)
        return (mod & KMOD_NUM) ? static_cast<char>('1' + (sym - SDLK_KP_1)) : 0;
    switch (sym) {
        case SDLK_KP_0:
            return (mod & KMOD_NUM) ? '0' : 0;
        case SDLK_KP_PERIOD:
            return (mod & KMOD_NUM) ? '.' : 0;
        case SDLK_KP_DIVIDE:
            return '/';
        case SDLK_KP_MULTIPLY:
            return '*';
        case SDLK_KP_MINUS:
            return '-';
        case SDLK_KP_PLUS:
            return '+';
        case SDLK_TAB:
            return '\t';
        case SDLK_SPACE:
            return ' ';
        default:
            break;
    }
    static constexpr char kPlain[] = "`1234567890-=[]\\;',./";
    static constexpr char kShifted[] = "~!@#$%^&*()_+{}|:\"<>?";
    static_assert(sizeof kPlain == sizeof kShifted);
    if (sym <= 0 || sym >= 0x80) return 0;
    for (size_t i = 0; i + 1 < sizeof kPlain; ++i)
        if (kPlain[i] == static_cast<char>(sym)) return shift ? kShifted[i] : kPlain[i];
    return 0;
}

}  // namespace plat
