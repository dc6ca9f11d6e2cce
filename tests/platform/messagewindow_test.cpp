// Message boxes of our own: wrapping, where everything sits, and which answer each key or
// click gives; then one real box under SDL's dummy video driver.
#include "platform/messagewindow.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

// Half-width characters take 10 pixels, Chinese and Japanese ones 20.
int32_t Advance(char32_t c) {
    return c >= 0x2E80 ? 20 : 10;
}

TEST(MessageWindow, WrapsBetweenWordsAndCharactersButNotBeforeClosingPunctuation) {
    struct Case {
        const char* text;
        int32_t width;
        std::vector<std::u32string> lines;
    };
    const Case cases[] = {
        {"确定要退出游戏吗？", 200, {U"确定要退出游戏吗？"}},
        {"确定要退出游戏吗？", 100, {U"确定要退出", U"游戏吗？"}},
        // The question mark may not begin a line: the character before it goes down too.
        {"确定要退出游戏吗？", 160, {U"确定要退出游戏", U"吗？"}},
        {"the quick brown fox", 100, {U"the quick", U"brown fox"}},
        {"aaaa    bbbb", 60, {U"aaaa", U"bbbb"}},
        {"abcdefghijkl", 50, {U"abcde", U"fghij", U"kl"}},
        {"セーブ data が壊れています。", 120, {U"セーブ data", U"が壊れていま", U"す。"}},
        {"a\r\n\nb", 100, {U"a", U"", U"b"}},
        {"", 100, {U""}},
        {"a\xFF"
         "b\xC0\xAF",
         100,
         {U"a\uFFFDb\uFFFD\uFFFD"}},
        {"\xE6\xB8", 100, {U"\uFFFD\uFFFD"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::WrapMessageText(c.text, c.width, Advance), c.lines)
            << c.text << " in " << c.width;
}

TEST(MessageWindow, KeysAndClicksGiveTheAnswersOfTheButtons) {
    using plat::MsgAnswer;
    using plat::MsgButtons;
    using plat::MsgKey;
    // A step is a key, or a press (down) or release (up) on button `at` (-1: beside them).
    struct Step {
        enum { Key, Down, Up, Close } kind;
        MsgKey key = MsgKey::Other;
        int at = -1;
        bool shift = false;
    };
    auto key = [](MsgKey k, bool shift = false) { return Step{Step::Key, k, -1, shift}; };
    auto down = [](int at) { return Step{Step::Down, MsgKey::Other, at}; };
    auto up = [](int at) { return Step{Step::Up, MsgKey::Other, at}; };
    struct Case {
        MsgButtons buttons;
        std::vector<Step> steps;
        std::optional<MsgAnswer> answer;  // of the last step; the ones before give none
    };
    const Case cases[] = {
        {MsgButtons::OkCancel, {key(MsgKey::Enter)}, MsgAnswer::Ok},
        {MsgButtons::OkCancel, {key(MsgKey::Escape)}, MsgAnswer::Cancel},
        {MsgButtons::YesNo, {key(MsgKey::Escape)}, MsgAnswer::No},
        {MsgButtons::Ok, {key(MsgKey::Escape)}, MsgAnswer::Ok},
        {MsgButtons::YesNoCancel, {{Step::Close}}, MsgAnswer::Cancel},
        {MsgButtons::OkCancel, {key(MsgKey::Other)}, std::nullopt},
        {MsgButtons::OkCancel, {key(MsgKey::Tab), key(MsgKey::Enter)}, MsgAnswer::Cancel},
        {MsgButtons::OkCancel,
         {key(MsgKey::Tab), key(MsgKey::Tab), key(MsgKey::Enter)},
         MsgAnswer::Ok},
        {MsgButtons::OkCancel, {key(MsgKey::Tab, true), key(MsgKey::Space)}, MsgAnswer::Cancel},
        {MsgButtons::YesNoCancel,
         {key(MsgKey::Right), key(MsgKey::Right), key(MsgKey::Right), key(MsgKey::Left),
          key(MsgKey::Enter)},
         MsgAnswer::No},
        {MsgButtons::OkCancel, {key(MsgKey::Left), key(MsgKey::Enter)}, MsgAnswer::Ok},
        {MsgButtons::OkCancel, {down(1), up(1)}, MsgAnswer::Cancel},
        {MsgButtons::YesNoCancel, {down(2), up(2)}, MsgAnswer::Cancel},
        // Sliding off the button before letting go chooses nothing, nor does a release that
        // began beside the buttons; the pressed button keeps the focus.
        {MsgButtons::OkCancel, {down(1), up(-1)}, std::nullopt},
        {MsgButtons::OkCancel, {down(1), up(0)}, std::nullopt},
        {MsgButtons::OkCancel, {down(-1), up(0)}, std::nullopt},
        {MsgButtons::OkCancel, {down(1), up(-1), key(MsgKey::Enter)}, MsgAnswer::Cancel},
    };
    for (size_t n = 0; n < std::size(cases); ++n) {
        const Case& c = cases[n];
        plat::MsgRequest request;
        request.text = "确定要退出游戏吗？";
        request.buttons = c.buttons;
        const plat::MsgBoxLayout layout = plat::LayOutMessageBox(request, 20, Advance);
        plat::MsgBoxState state;
        std::optional<MsgAnswer> got;
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& s = c.steps[i];
            plat::MsgBoxInput in;
            in.key = s.key;
            in.shift = s.shift;
            in.kind = s.kind == Step::Key    ? plat::MsgBoxInput::KeyDown
                      : s.kind == Step::Down ? plat::MsgBoxInput::MouseDown
                      : s.kind == Step::Up   ? plat::MsgBoxInput::MouseUp
                                             : plat::MsgBoxInput::CloseBox;
            if (s.at >= 0) {
                const plat::MsgBoxButton& b = layout.buttons.at(size_t(s.at));
                in.x = b.x + b.w - 1;
                in.y = b.y + b.h - 1;
            } else {
                in.x = layout.textX;
                in.y = layout.textY;
            }
            got = plat::ReactToMessageBox(layout, state, in);
            if (i + 1 < c.steps.size()) {
                ASSERT_FALSE(got) << "case " << n << " step " << i;
            }
        }
        EXPECT_EQ(got, c.answer) << "case " << n;
    }
}

TEST(MessageWindow, LayoutKeepsTextAndButtonsApartInsideTheBox) {
    plat::MsgRequest request;
    request.buttons = plat::MsgButtons::YesNoCancel;
    for (const char* text : {"", "短い", "a\nb\nc\nd",
                             "长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长长"}) {
        request.text = text;
        const plat::MsgBoxLayout l = plat::LayOutMessageBox(request, 20, Advance);
        const int32_t textBottom = l.textY + 20 * int32_t(l.lines.size());
        for (const auto& line : l.lines) {
            int32_t w = 0;
            for (char32_t c : line) w += Advance(c);
            EXPECT_LE(l.textX + w, l.width) << text;
        }
        ASSERT_EQ(l.buttons.size(), 3u);
        EXPECT_EQ(l.buttons[0].answer, plat::MsgAnswer::Yes) << "the default comes first";
        for (size_t i = 0; i < l.buttons.size(); ++i) {
            const auto& b = l.buttons[i];
            EXPECT_GE(b.x, 0) << text;
            EXPECT_LE(b.x + b.w, l.width) << text;
            EXPECT_GT(b.y, textBottom) << text;
            EXPECT_LE(b.y + b.h, l.height) << text;
            if (i > 0) {
                EXPECT_GT(b.x, l.buttons[i - 1].x + l.buttons[i - 1].w) << text;
            }
        }
    }
}

// A quit request from the system dismisses an open box and is left for the program to act on.
TEST(MessageWindow, QuitRequestDismissesTheBoxAndStaysQueued) {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    plat::MsgRequest request;
    request.caption = "Solvane";
    request.text = "确定要退出游戏吗？";
    request.buttons = plat::MsgButtons::OkCancel;
    plat::MsgAnswer answer = plat::MsgAnswer::Ok;
    ASSERT_TRUE(plat::AskInOwnWindow(request, answer)) << "no font found";
    EXPECT_EQ(answer, plat::MsgAnswer::Cancel);
    SDL_PumpEvents();
    EXPECT_EQ(SDL_PeepEvents(nullptr, 8, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT), 1);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
