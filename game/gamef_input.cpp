// Window input: the window thread records each mouse and key event in a queue, and the frame
// update feeds the records to the widget tree in order, stopping as soon as a handler ends the
// wait so that the rest waits for the next one.
#include <SDL.h>

#include <algorithm>

#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/maint.h"
#include "platform/inputbackend.h"
#include "platform/keymap.h"
#include "platform/sdldisplay.h"

namespace {

// Windows' virtual keys for the keys that also type a character.
constexpr uint16_t kVkBack = 0x08;
constexpr uint16_t kVkReturn = 0x0D;
constexpr uint16_t kVkEscape = 0x1B;

TShiftState ShiftFromSdl() {
    const SDL_Keymod mod = SDL_GetModState();
    const uint32_t buttons = SDL_GetMouseState(nullptr, nullptr);
    TShiftState s = 0;
    if (mod & KMOD_SHIFT) s |= kShiftKey;
    if (mod & KMOD_ALT) s |= kAltKey;
    if (mod & KMOD_CTRL) s |= kCtrlKey;
    if (buttons & SDL_BUTTON(SDL_BUTTON_LEFT)) s |= kLeftHeld;
    if (buttons & SDL_BUTTON(SDL_BUTTON_RIGHT)) s |= kRightHeld;
    if (buttons & SDL_BUTTON(SDL_BUTTON_MIDDLE)) s |= kMiddleHeld;
    return s;
}

bool ButtonFromSdl(uint8_t sdl, TMouseButton& b) {
    switch (sdl) {
        case SDL_BUTTON_LEFT:
            b = mbLeft;
            return true;
        case SDL_BUTTON_RIGHT:
            b = mbRight;
            return true;
        case SDL_BUTTON_MIDDLE:
            b = mbMiddle;
            return true;
        default:
            return false;
    }
}

// Full screen shows nothing but the display mode, so the pointer is always on it. Where the
// desktop's shape differs from the mode's, a position on the bars beside it stands on the
// mode's nearest edge, where the cursor is drawn; a window takes positions as they are.
void OntoDisplayMode(SDL_Event& e) {
    if (DisplayKind == kDisplayWindow) return;
    int32_t* x;
    int32_t* y;
    switch (e.type) {
        case SDL_MOUSEMOTION:
            x = &e.motion.x;
            y = &e.motion.y;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            x = &e.button.x;
            y = &e.button.y;
            break;
        default:
            return;
    }
    const int32_t height = DisplayKind == 1 ? FullScreenHeight : 720;
    *x = std::clamp(*x, 0, 1279);
    *y = std::clamp(*y, 0, height - 1);
}

}  // namespace

void TGameForm::PushInput(const InputRecord& r) {
    const ZRSectionHold input(InputLock);
    InputQueue.push_back(r);
}

void TGameForm::FlushInput() {
    {
        const ZRSectionHold input(InputLock);
        InputQueue.clear();
    }
    // A key or button tapped during a load or a transition is latched for the next read;
    // that read belongs to the screen that begins now, which must not act on it.
    if (InputUnit) InputUnit->ForgetTaps();
}

size_t TGameForm::QueuedInput() {
    const ZRSectionHold input(InputLock);
    return InputQueue.size();
}

void TGameForm::FormMouseMove(TShiftState shift, int x, int y) {
    InputRecord r;
    r.kind = InputRecord::MouseMove;
    r.x = x;
    r.y = DisplayKind == 1 ? y - PictureOffsetY : y;
    r.shift = shift;
    PushInput(r);
}

void TGameForm::FormMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    PushButton(InputRecord::MouseDown, button, shift, x, y);
}

void TGameForm::FormMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    PushButton(InputRecord::MouseUp, button, shift, x, y);
}

void TGameForm::PushButton(uint8_t kind, TMouseButton button, TShiftState shift, int x, int y) {
    InputRecord r;
    r.kind = kind;
    r.x = x;
    r.y = DisplayKind == 1 ? y - PictureOffsetY : y;
    r.shift = shift;
    r.button = button;
    PushInput(r);
}

void TGameForm::FormMouseWheel(TShiftState shift, int delta, bool& handled) {
    InputRecord r;
    r.kind = InputRecord::MouseWheel;
    r.shift = shift;
    r.delta = delta;
    TPoint p;
    GetMousePos(p);
    r.x = p.x;
    r.y = p.y;
    PushInput(r);
    handled = true;
}

void TGameForm::FormMouseEnter() {
    InputRecord r;
    r.kind = InputRecord::MouseEnter;
    TPoint p;
    GetMousePos(p);
    r.x = p.x;
    r.y = p.y;
    PushInput(r);
}

void TGameForm::FormMouseLeave() {
    InputRecord r;
    r.kind = InputRecord::MouseLeave;
    PushInput(r);
}

void TGameForm::FormKeyDown(uint16_t key, TShiftState shift) {
    InputRecord r;
    r.kind = InputRecord::KeyDown;
    r.key = key;
    r.shift = shift;
    PushInput(r);
}

void TGameForm::FormKeyUp(uint16_t key, TShiftState shift) {
    InputRecord r;
    r.kind = InputRecord::KeyUp;
    r.key = key;
    r.shift = shift;
    PushInput(r);
}

void TGameForm::FormKeyPress(char key) {
    InputRecord r;
    r.kind = InputRecord::KeyPress;
    r.key = static_cast<uint16_t>(static_cast<int16_t>(static_cast<signed char>(key)));
    PushInput(r);
}

void TGameForm::ProcessInput() {
    while (!WaitEnded.load()) {
        InputRecord r;
        {
            const ZRSectionHold input(InputLock);
            if (InputQueue.empty()) return;
            r = InputQueue.front();
            InputQueue.pop_front();
        }
        const bool mouse = CursorType.load() >= -1;
        uint16_t key = r.key;
        switch (r.kind) {
            case InputRecord::MouseMove:
                if (mouse) RootPanel->MouseMove(r.shift, r.x, r.y);
                break;
            case InputRecord::MouseDown:
                if (mouse) RootPanel->MouseDown(r.button, r.shift, r.x, r.y);
                break;
            case InputRecord::MouseUp:
                if (mouse) RootPanel->MouseUp(r.button, r.shift, r.x, r.y);
                break;
            case InputRecord::MouseWheel:
                if (mouse) {
                    bool handled = false;
                    RootPanel->MouseWheel(r.shift, r.delta, TPoint{r.x, r.y}, handled);
                }
                break;
            case InputRecord::MouseEnter:
                if (mouse) RootPanel->MouseEnter(r.x, r.y);
                break;
            case InputRecord::MouseLeave:
                if (mouse) RootPanel->MouseLeave();
                break;
            case InputRecord::KeyDown:
                RootPanel->KeyDown(key, r.shift);
                break;
            case InputRecord::KeyUp:
                RootPanel->KeyUp(key, r.shift);
                break;
            case InputRecord::KeyPress: {
                char c = static_cast<char>(r.key & 0xFF);
                RootPanel->KeyPress(c);
                break;
            }
            default:
                break;
        }
    }
}

void TGameForm::HandleWindowEvent(const SDL_Event& windowEvent) {
    // Mouse positions are the picture's, however the window scales and letterboxes it.
    SDL_Event e = windowEvent;
    plat::SdlDisplay::Instance().Presenter().ToPicture(e);
    OntoDisplayMode(e);
    // A press a hot key took reaches neither the widgets nor the input unit.
    if (TakeHotKey(e)) return;
    plat::SdlInput::Instance().HandleEvent(e);
    switch (e.type) {
        case SDL_MOUSEMOTION:
            MouseX.store(e.motion.x);
            MouseY.store(e.motion.y);
            FormMouseMove(ShiftFromSdl(), e.motion.x, e.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            TMouseButton b;
            if (!ButtonFromSdl(e.button.button, b)) break;
            MouseX.store(e.button.x);
            MouseY.store(e.button.y);
            TShiftState s = ShiftFromSdl();
            if (e.button.clicks == 2) s |= kDoubleClick;
            if (e.type == SDL_MOUSEBUTTONDOWN)
                FormMouseDown(b, s, e.button.x, e.button.y);
            else
                FormMouseUp(b, s, e.button.x, e.button.y);
            break;
        }
        case SDL_MOUSEWHEEL: {
            bool handled = false;
            const int dir = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
            FormMouseWheel(ShiftFromSdl(), e.wheel.y * 120 * dir, handled);
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const uint16_t vk = plat::VirtualKeyFromSdl(e.key.keysym.scancode);
            if (!vk) break;
            if (e.type == SDL_KEYDOWN) {
                FormKeyDown(vk, ShiftFromSdl());
                if (vk == kVkBack || vk == kVkReturn || vk == kVkEscape)
                    FormKeyPress(static_cast<char>(vk));
                else if (const char c = plat::TypedCharacter(e.key.keysym.sym, e.key.keysym.mod))
                    FormKeyPress(c);
            } else {
                FormKeyUp(vk, ShiftFromSdl());
            }
            break;
        }
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
                case SDL_WINDOWEVENT_ENTER:
                    FormMouseEnter();
                    break;
                case SDL_WINDOWEVENT_LEAVE:
                    FormMouseLeave();
                    break;
                case SDL_WINDOWEVENT_FOCUS_GAINED:
                    Active.store(true);
                    break;
                case SDL_WINDOWEVENT_FOCUS_LOST:
                    Active.store(false);
                    break;
                case SDL_WINDOWEVENT_MINIMIZED:
                    Minimized.store(true);
                    break;
                case SDL_WINDOWEVENT_RESTORED:
                case SDL_WINDOWEVENT_MAXIMIZED:
                    Minimized.store(false);
                    break;
                case SDL_WINDOWEVENT_CLOSE:
                    Close();
                    break;
                default:
                    break;
            }
            break;
        case SDL_QUIT:
            // Only the system sends it: the window host turned off SDL's own one after the
            // last window's close, which the close button's question answers.
            EndUnasked();
            break;
        default:
            break;
    }
}

void TGameForm::EndUnasked() {
    if (hideRan_) return;
    if (TMainThread* t = MainThread.load()) {
        // As after the exit question's OK: the logic thread's end closes the window.
        t->Terminate();
        if (FrameEvent) FrameEvent->Pulse();
        return;
    }
    SetScreenMode(smClosing);
    Close();
}
