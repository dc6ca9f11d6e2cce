// Message boxes drawn in a window of our own. SDL's own boxes are drawn by the X server's core
// fonts, which have no Chinese or Japanese glyphs on most machines; drawing the box ourselves
// lets its text go through the same font engine as the game's. The layout and the answer to
// each key or click are plain functions, apart from the window, so that they can be checked
// without a display.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/messagebox.h"

namespace plat {

struct MsgBoxButton {
    MsgAnswer answer;
    std::u32string label;
    int32_t x = 0, y = 0, w = 0, h = 0;
    bool Contains(int32_t px, int32_t py) const {
        return px >= x && py >= y && px < x + w && py < y + h;
    }
};

struct MsgBoxLayout {
    int32_t width = 0, height = 0;
    int32_t textX = 0, textY = 0, lineHeight = 0;
    std::vector<std::u32string> lines;
    std::vector<MsgBoxButton> buttons;  // the first is the default
    MsgAnswer dismiss = MsgAnswer::Ok;  // the answer of Esc and of closing the box
};

// The advance of one character in pixels.
using MsgAdvanceFn = std::function<int32_t(char32_t)>;

// Splits the text at its line breaks, then wraps each line to maxWidth: between words, and
// between Chinese or Japanese characters anywhere but before closing punctuation; a word too
// long for a line is cut. Malformed UTF-8 becomes U+FFFD.
std::vector<std::u32string> WrapMessageText(std::string_view utf8, int32_t maxWidth,
                                            const MsgAdvanceFn& advance);

// Places the wrapped text and the request's buttons in a box.
MsgBoxLayout LayOutMessageBox(const MsgRequest& request, int32_t lineHeight,
                              const MsgAdvanceFn& advance);

enum class MsgKey { Other, Enter, Space, Escape, Tab, Left, Right };

struct MsgBoxInput {
    enum Kind { KeyDown, MouseDown, MouseUp, CloseBox } kind = KeyDown;
    MsgKey key = MsgKey::Other;
    bool shift = false;
    int32_t x = 0, y = 0;
};

// Which button has the keyboard focus (it starts on the default) and which one the mouse
// went down on.
struct MsgBoxState {
    int focus = 0;
    int pressed = -1;
};

// The answer an input gives, if any; updates the focus and the pressed button. Enter and
// Space choose the focused button, Esc and closing the box give the dismiss answer, Tab and
// the arrow keys move the focus, and a click chooses the button it went down and up on.
std::optional<MsgAnswer> ReactToMessageBox(const MsgBoxLayout& layout, MsgBoxState& state,
                                           const MsgBoxInput& input);

// Shows the box in its own window on the calling (main) thread and waits for the answer.
// False when it cannot be shown so (no font, no window): the caller falls back to SDL's box.
// A quit request that arrives meanwhile dismisses the box and stays queued for the program.
bool AskInOwnWindow(const MsgRequest& request, MsgAnswer& answer);

}  // namespace plat
