// Message boxes in a window of our own: layout, answers and the modal loop.
#include "platform/messagewindow.h"

#include <SDL.h>

#include <algorithm>
#include <memory>

#include "platform/textrender.h"

namespace plat {
namespace {

constexpr int32_t kPad = 18;  // around the text and the buttons
constexpr int32_t kTextToButtons = 16;
constexpr int32_t kMaxTextWidth = 480;
constexpr int32_t kMinTextWidth = 220;
constexpr int32_t kButtonMinWidth = 88;
constexpr int32_t kButtonGap = 10;

std::u32string DecodeUtf8(std::string_view s) {
    std::u32string out;
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<uint8_t>(s[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = len != 0 && i + len <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            const auto c = static_cast<uint8_t>(s[i + k]);
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        // Overlong forms, surrogates and values past Unicode are refused like stray bytes.
        static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (ok && (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (!ok) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(len);
    }
    return out;
}

// Characters of scripts written without spaces, between any two of which a line may break.
bool IsWide(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x2FFFF);
}

// Punctuation that must not begin a line, and that must not end one.
bool IsClosing(char32_t c) {
    static constexpr std::u32string_view kClosing =
        U"、。，．：；？！）」』】》〉〕］｝ー…・ゝゞぁぃぅぇぉっゃゅょァィゥェォッャュョ!),.:;?]}";
    return kClosing.find(c) != std::u32string_view::npos;
}
bool IsOpening(char32_t c) {
    static constexpr std::u32string_view kOpening = U"（「『【《〈〔［｛([{";
    return kOpening.find(c) != std::u32string_view::npos;
}

bool CanBreakBefore(const std::u32string& s, size_t i) {
    const char32_t prev = s[i - 1], c = s[i];
    if (c == U' ') return true;
    if (IsClosing(c) || IsOpening(prev)) return false;
    return prev == U' ' || IsWide(prev) || IsWide(c);
}

void WrapParagraph(const std::u32string& p, int32_t maxWidth, const MsgAdvanceFn& advance,
                   std::vector<std::u32string>& out) {
    auto emit = [&](size_t from, size_t to) {
        while (to > from && p[to - 1] == U' ') --to;
        out.push_back(p.substr(from, to - from));
    };
    size_t start = 0;
    int32_t width = 0;
    size_t lastBreak = 0;  // 0: none on this line yet (a line never breaks before its start)
    size_t i = 0;
    while (i < p.size()) {
        if (i > start && CanBreakBefore(p, i)) lastBreak = i;
        const int32_t adv = advance(p[i]);
        // Spaces may hang past the edge: they are dropped at the break.
        if (i > start && p[i] != U' ' && width + adv > maxWidth) {
            const size_t cut = lastBreak > start ? lastBreak : i;
            emit(start, cut);
            start = cut;
            while (start < p.size() && p[start] == U' ') ++start;
            i = start;
            width = 0;
            lastBreak = 0;
            continue;
        }
        width += adv;
        ++i;
    }
    if (start < p.size()) emit(start, p.size());
}

std::vector<MsgBoxButton> ButtonsFor(MsgButtons buttons) {
    auto b = [](MsgAnswer a, const char32_t* label) {
        MsgBoxButton r{a, label};
        return r;
    };
    switch (buttons) {
        case MsgButtons::Ok:
            return {b(MsgAnswer::Ok, U"OK")};
        case MsgButtons::OkCancel:
            return {b(MsgAnswer::Ok, U"OK"), b(MsgAnswer::Cancel, U"Cancel")};
        case MsgButtons::YesNo:
            return {b(MsgAnswer::Yes, U"Yes"), b(MsgAnswer::No, U"No")};
        case MsgButtons::YesNoCancel:
            return {b(MsgAnswer::Yes, U"Yes"), b(MsgAnswer::No, U"No"),
                    b(MsgAnswer::Cancel, U"Cancel")};
    }
    return {};
}

int32_t WidthOf(std::u32string_view s, const MsgAdvanceFn& advance) {
    int32_t w = 0;
    for (char32_t c : s) w += advance(c);
    return w;
}

}  // namespace

std::vector<std::u32string> WrapMessageText(std::string_view utf8, int32_t maxWidth,
                                            const MsgAdvanceFn& advance) {
    std::u32string all = DecodeUtf8(utf8);
    for (char32_t& c : all)
        if (c == U'\t') c = U' ';
    std::vector<std::u32string> out;
    size_t from = 0;
    while (true) {
        size_t nl = all.find(U'\n', from);
        std::u32string para = all.substr(from, nl == std::u32string::npos ? nl : nl - from);
        para.erase(std::remove(para.begin(), para.end(), U'\r'), para.end());
        // An empty paragraph still takes its line: blank lines in a message are meant.
        const size_t before = out.size();
        WrapParagraph(para, maxWidth, advance, out);
        if (out.size() == before) out.emplace_back();
        if (nl == std::u32string::npos) break;
        from = nl + 1;
    }
    return out;
}

MsgBoxLayout LayOutMessageBox(const MsgRequest& request, int32_t lineHeight,
                              const MsgAdvanceFn& advance) {
    MsgBoxLayout l;
    l.lineHeight = lineHeight;
    l.dismiss = DismissAnswer(request.buttons);
    l.lines = WrapMessageText(request.text, kMaxTextWidth, advance);
    int32_t textWidth = kMinTextWidth;
    for (const auto& line : l.lines) textWidth = std::max(textWidth, WidthOf(line, advance));

    l.buttons = ButtonsFor(request.buttons);
    const int32_t buttonH = lineHeight + 12;
    int32_t rowWidth = 0;
    for (auto& b : l.buttons) {
        b.w = std::max(kButtonMinWidth, WidthOf(b.label, advance) + 2 * kPad);
        b.h = buttonH;
        rowWidth += b.w;
    }
    if (!l.buttons.empty()) rowWidth += kButtonGap * static_cast<int32_t>(l.buttons.size() - 1);

    const int32_t inner = std::max(textWidth, rowWidth);
    l.width = inner + 2 * kPad;
    l.textX = kPad;
    l.textY = kPad;
    const int32_t buttonsY =
        kPad + lineHeight * static_cast<int32_t>(l.lines.size()) + kTextToButtons;
    l.height = buttonsY + buttonH + kPad;
    // The buttons sit at the right, the default first, as desktop boxes put them.
    int32_t x = l.width - kPad - rowWidth;
    for (auto& b : l.buttons) {
        b.x = x;
        b.y = buttonsY;
        x += b.w + kButtonGap;
    }
    return l;
}

std::optional<MsgAnswer> ReactToMessageBox(const MsgBoxLayout& layout, MsgBoxState& state,
                                           const MsgBoxInput& input) {
    const int n = static_cast<int>(layout.buttons.size());
    if (n == 0) return layout.dismiss;
    state.focus = std::clamp(state.focus, 0, n - 1);
    auto hit = [&]() -> int {
        for (int i = 0; i < n; ++i)
            if (layout.buttons[static_cast<size_t>(i)].Contains(input.x, input.y)) return i;
        return -1;
    };
    switch (input.kind) {
        case MsgBoxInput::CloseBox:
            return layout.dismiss;
        case MsgBoxInput::KeyDown:
            switch (input.key) {
                case MsgKey::Enter:
                case MsgKey::Space:
                    return layout.buttons[static_cast<size_t>(state.focus)].answer;
                case MsgKey::Escape:
                    return layout.dismiss;
                case MsgKey::Tab:
                    state.focus = (state.focus + (input.shift ? n - 1 : 1)) % n;
                    return std::nullopt;
                case MsgKey::Left:
                    state.focus = std::max(0, state.focus - 1);
                    return std::nullopt;
                case MsgKey::Right:
                    state.focus = std::min(n - 1, state.focus + 1);
                    return std::nullopt;
                case MsgKey::Other:
                    return std::nullopt;
            }
            return std::nullopt;
        case MsgBoxInput::MouseDown:
            state.pressed = hit();
            if (state.pressed >= 0) state.focus = state.pressed;
            return std::nullopt;
        case MsgBoxInput::MouseUp: {
            const int was = state.pressed;
            state.pressed = -1;
            if (was >= 0 && hit() == was) return layout.buttons[static_cast<size_t>(was)].answer;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// ---- The window -------------------------------------------------------------------------

namespace {

constexpr uint32_t kBack = 0xF2F2F2;  // 0xRRGGBB
constexpr uint32_t kInk = 0x1E1E1E;
constexpr uint32_t kFace = 0xE4E4E4;
constexpr uint32_t kFacePressed = 0xC8DCF0;
constexpr uint32_t kEdge = 0xA0A0A0;
constexpr uint32_t kFocusEdge = 0x2F6FD0;
constexpr uint32_t kBand = 0xE8E8E8;  // behind the buttons

uint32_t ColourRef(uint32_t rgb) {  // the font engine's 0x00BBGGRR
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

struct FontCloser {
    void operator()(RasterFont* f) const { DeleteRasterFont(f); }
};

class BoxPainter {
  public:
    BoxPainter(const MsgBoxLayout& l, RasterFont* font)
        : l_(l), font_(font), pixels_(static_cast<size_t>(l.width) * l.height) {}

    void Paint(const MsgBoxState& state) {
        Fill(0, 0, l_.width, l_.height, kBack);
        const int32_t bandY = l_.buttons.empty() ? l_.height : l_.buttons[0].y - kPad / 2;
        Fill(0, bandY, l_.width, l_.height - bandY, kBand);
        int32_t y = l_.textY;
        for (const auto& line : l_.lines) {
            Text(l_.textX, y, line, kInk);
            y += l_.lineHeight;
        }
        for (size_t i = 0; i < l_.buttons.size(); ++i) {
            const MsgBoxButton& b = l_.buttons[i];
            const bool focused = static_cast<int>(i) == state.focus;
            const bool pressed = static_cast<int>(i) == state.pressed;
            const int32_t edge = focused ? 2 : 1;
            Fill(b.x, b.y, b.w, b.h, focused ? kFocusEdge : kEdge);
            Fill(b.x + edge, b.y + edge, b.w - 2 * edge, b.h - 2 * edge,
                 pressed ? kFacePressed : kFace);
            TextExtent e;
            MeasureCodePoints(font_, b.label, e);
            Text(b.x + (b.w - e.cx) / 2, b.y + (b.h - e.cy) / 2, b.label, kInk);
        }
    }

    uint32_t* Pixels() { return pixels_.data(); }

  private:
    void Fill(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t rgb) {
        for (int32_t r = std::max(0, y); r < std::min(l_.height, y + h); ++r)
            for (int32_t c = std::max(0, x); c < std::min(l_.width, x + w); ++c)
                pixels_[static_cast<size_t>(r) * l_.width + c] = rgb;
    }
    void Text(int32_t x, int32_t y, std::u32string_view s, uint32_t rgb) {
        DrawSurface d;
        d.pixels = reinterpret_cast<uint8_t*>(pixels_.data());
        d.pitch = l_.width * 4;
        d.width = l_.width;
        d.height = l_.height;
        d.kind = SurfaceKind::Bgrx32;
        d.font = font_;
        d.text_colour = ColourRef(rgb);
        DrawCodePoints(d, x, y, s);
    }

    const MsgBoxLayout& l_;
    RasterFont* font_;
    std::vector<uint32_t> pixels_;  // 0x00RRGGBB: B, G, R, X in memory
};

MsgKey KeyOf(SDL_Keycode k) {
    switch (k) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return MsgKey::Enter;
        case SDLK_SPACE:
            return MsgKey::Space;
        case SDLK_ESCAPE:
            return MsgKey::Escape;
        case SDLK_TAB:
            return MsgKey::Tab;
        case SDLK_LEFT:
        case SDLK_UP:
            return MsgKey::Left;
        case SDLK_RIGHT:
        case SDLK_DOWN:
            return MsgKey::Right;
        default:
            return MsgKey::Other;
    }
}

// The window an event is addressed to; 0 for events of no window.
uint32_t WindowOf(const SDL_Event& e) {
    switch (e.type) {
        case SDL_WINDOWEVENT:
            return e.window.windowID;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            return e.key.windowID;
        case SDL_TEXTEDITING:
            return e.edit.windowID;
        case SDL_TEXTINPUT:
            return e.text.windowID;
        case SDL_MOUSEMOTION:
            return e.motion.windowID;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            return e.button.windowID;
        case SDL_MOUSEWHEEL:
            return e.wheel.windowID;
        default:
            return 0;
    }
}

bool IsUserInput(const SDL_Event& e) {
    return (e.type >= SDL_KEYDOWN && e.type < SDL_JOYAXISMOTION) ||
           (e.type >= SDL_FINGERDOWN && e.type <= SDL_MULTIGESTURE);
}

// The SDL state a box changes for its run and gives back: the video part when nobody had
// started it, the global cursor switch the game turns off, and the hint that would turn the
// closing of a lone box window into a request to quit the program.
class SdlStateScope {
  public:
    SdlStateScope() {
        if (!SDL_WasInit(SDL_INIT_VIDEO)) {
            startedVideo_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
            ok_ = startedVideo_;
        }
        if (const char* h = SDL_GetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE)) {
            hadHint_ = true;
            hint_ = h;
        }
        SDL_SetHintWithPriority(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0", SDL_HINT_OVERRIDE);
        cursor_ = SDL_ShowCursor(SDL_QUERY);
        SDL_ShowCursor(SDL_ENABLE);
    }
    ~SdlStateScope() {
        if (cursor_ >= 0) SDL_ShowCursor(cursor_);
        if (hadHint_)
            SDL_SetHintWithPriority(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, hint_.c_str(),
                                    SDL_HINT_OVERRIDE);
        else
            SDL_ResetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE);
        if (startedVideo_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    bool Ok() const { return ok_; }

  private:
    bool ok_ = true;
    bool startedVideo_ = false;
    bool hadHint_ = false;
    std::string hint_;
    int cursor_ = -1;
};

}  // namespace

bool AskInOwnWindow(const MsgRequest& request, MsgAnswer& answer) {
    FontSpec face;  // the default face of the Chinese code page, with Japanese as its fall-back
    face.charset = 134;
    face.height = -15;
    std::unique_ptr<RasterFont, FontCloser> font(CreateRasterFont(face));
    if (!font) return false;
    TextExtent cell;
    if (!MeasureCodePoints(font.get(), U"M", cell) || cell.cy <= 0) return false;
    RasterFont* f = font.get();
    const MsgBoxLayout layout = LayOutMessageBox(request, cell.cy + 4, [f](char32_t c) {
        TextExtent e;
        const char32_t one[1] = {c};
        return MeasureCodePoints(f, std::u32string_view(one, 1), e) ? e.cx : 0;
    });

    SdlStateScope sdl;
    if (!sdl.Ok()) return false;
    SDL_Window* parent = SDL_GetKeyboardFocus();
    if (!parent) parent = SDL_GetMouseFocus();
    SDL_Window* win =
        SDL_CreateWindow(request.caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                         layout.width, layout.height, SDL_WINDOW_HIDDEN | SDL_WINDOW_ALWAYS_ON_TOP);
    if (!win) return false;
    if (parent) {
        int px, py, pw, ph;
        SDL_GetWindowPosition(parent, &px, &py);
        SDL_GetWindowSize(parent, &pw, &ph);
        SDL_SetWindowPosition(win, px + (pw - layout.width) / 2, py + (ph - layout.height) / 2);
        SDL_SetWindowModalFor(win, parent);
    }
    const uint32_t id = SDL_GetWindowID(win);

    BoxPainter painter(layout, f);
    SDL_Surface* image =
        SDL_CreateRGBSurfaceWithFormatFrom(painter.Pixels(), layout.width, layout.height, 32,
                                           layout.width * 4, SDL_PIXELFORMAT_RGB888);
    MsgBoxState state;
    auto present = [&] {
        painter.Paint(state);
        SDL_Surface* target = SDL_GetWindowSurface(win);
        if (!target || !image) return false;
        return SDL_BlitSurface(image, nullptr, target, nullptr) == 0 &&
               SDL_UpdateWindowSurface(win) == 0;
    };
    SDL_ShowWindow(win);
    if (!present()) {
        SDL_FreeSurface(image);
        SDL_DestroyWindow(win);
        return false;
    }
    SDL_RaiseWindow(win);
    SDL_SetWindowInputFocus(win);

    // Events for the rest of the program wait until the box is answered; input to the other
    // windows is dropped, as a modal box refuses it.
    std::vector<SDL_Event> later;
    bool quitRequested = false;
    std::optional<MsgAnswer> chosen;
    while (!chosen) {
        SDL_Event e;
        if (!SDL_WaitEvent(&e)) {
            chosen = layout.dismiss;
            break;
        }
        if (e.type == SDL_QUIT) {
            quitRequested = true;
            chosen = layout.dismiss;
            break;
        }
        const uint32_t to = WindowOf(e);
        if (to != id) {
            const bool closeOther =
                e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE;
            if (!IsUserInput(e) && !closeOther) later.push_back(e);
            continue;
        }
        MsgBoxInput in;
        const MsgBoxState before = state;
        switch (e.type) {
            case SDL_KEYDOWN:
                in.kind = MsgBoxInput::KeyDown;
                in.key = KeyOf(e.key.keysym.sym);
                in.shift = (e.key.keysym.mod & KMOD_SHIFT) != 0;
                break;
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP:
                if (e.button.button != SDL_BUTTON_LEFT) continue;
                in.kind =
                    e.type == SDL_MOUSEBUTTONDOWN ? MsgBoxInput::MouseDown : MsgBoxInput::MouseUp;
                in.x = e.button.x;
                in.y = e.button.y;
                break;
            case SDL_WINDOWEVENT:
                if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
                    in.kind = MsgBoxInput::CloseBox;
                    break;
                }
                if (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
                    e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                    present();
                continue;
            default:
                continue;
        }
        chosen = ReactToMessageBox(layout, state, in);
        if (!chosen && (state.focus != before.focus || state.pressed != before.pressed)) present();
    }
    SDL_FreeSurface(image);
    SDL_DestroyWindow(win);
    if (parent) SDL_RaiseWindow(parent);
    for (SDL_Event& e : later) SDL_PushEvent(&e);
    if (quitRequested) {
        SDL_Event q{};
        q.type = SDL_QUIT;
        SDL_PushEvent(&q);
    }
    answer = *chosen;
    return true;
}

}  // namespace plat
