// The message and novel windows: which bytes a line keeps, typing column by column against a
// reference drawn with the same face, glyphs inside their cells, the name plate, and the fade
// rates and backdrop as they reach the screen.
#include <algorithm>

#include "subwin_fixture.h"

using subwin_test::SubWinFixture;

namespace {

// A line rendered the way the windows render it, for comparison.
std::unique_ptr<TNyRGBText> ReferenceMaker(int size, int width, int shade) {
    auto t = std::make_unique<TNyRGBText>(nullptr);
    t->SetSizeX(width);
    t->SetSizeY(size);
    plat::TFont font;
    font.charset = 134;
    font.name = plat::GbkText("黑体");
    font.pitch = plat::FontPitch::Fixed;
    t->SetFont(&font);
    t->SetFontSize(size);
    t->SetAntiAliase(true);
    t->SetAAShade(shade);
    t->MakeBuffer(pf32_888);
    return t;
}

// Columns [x0, x1) of row band y..y+h of a map.
bool Same(TNyAlpha* a, int ay, TNyAlpha* b, int by, int x0, int x1, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = x0; x < x1; ++x)
            if (a->PGet(x, ay + y) != b->PGet(x, by + y)) return false;
    return true;
}

bool Empty(TNyAlpha* a, int y0, int x0, int x1, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = x0; x < x1; ++x)
            if (a->PGet(x, y0 + y) != 0) return false;
    return true;
}

class TextWindows : public SubWinFixture {};

TEST_F(TextWindows, LinesKeepOnlyWholeDoubleByteCharactersUpToTwentySix) {
    const std::string twentyEight =
        plat::GbkText("一二三四五六七八九十一二三四五六七八九十一二三四五六七八");
    const struct {
        std::string text;
        std::string kept;
    } cases[] = {
        {"abc" + plat::GbkText("日本") + "x", plat::GbkText("日本")},
        {twentyEight, twentyEight.substr(0, 52)},
        // Lead bytes 0xA1-0xDF (half-width katakana in the other code page) lead GBK characters.
        {"\xA1\xA1\xB0\xA1\xDF\xA1\xC4\xE3", "\xA1\xA1\xB0\xA1\xDF\xA1\xC4\xE3"},
        {plat::GbkText("好") + "\xB0", plat::GbkText("好")},  // half a character at the end
        {"\x01\x7F !~", ""},
    };
    for (const auto& c : cases) {
        win->MesClear();
        win->MesShow(true);
        win->MesNewLine();
        win->MesAddText(ZRString(c.text.c_str()), 0);
        EXPECT_EQ(std::string(win->MesLine(1)), c.kept) << c.text;
    }
    // Lines 1-3 are the message; a fifth line (current line 4) changes nothing.
    win->MesClear();
    for (int i = 0; i < 5; ++i) {
        if (i) win->MesNewLine();
        win->MesAddText(Gbk("字"), 0);
    }
    EXPECT_EQ(std::string(win->MesLine(3)), plat::GbkText("字"));
    EXPECT_TRUE(Empty(win->MesTextMap(), 0, 0, 988, 138) == false);
}

TEST_F(TextWindows, TypingRevealsTheLinesColumnsAtTheCostsPace) {
    const ZRString line = Gbk("春眠不觉晓处处闻啼鸟");  // 10 characters
    auto ref = ReferenceMaker(38, 988, 0);
    ref->SetText(line);
    for (int cost : {50, 100, 250}) {
        SCOPED_TRACE(cost);
        win->MesClear();
        win->MesShow(true);
        win->MesNewLine();
        ASSERT_TRUE(win->MesAddText(line, cost));
        EXPECT_TRUE(win->MesIsTyping());
        for (int tick = 1;; ++tick) {
            win->MesFrame(1, false);
            const int visible = std::min(tick * 100 / cost, 10);
            ASSERT_TRUE(Same(win->MesTextMap(), 0, ref->GetAlpha(), 0, 0, visible * 38, 38));
            ASSERT_TRUE(Empty(win->MesTextMap(), 0, visible * 38, 988, 38)) << tick;
            if (visible == 10) break;
            ASSERT_TRUE(win->MesIsTyping());
        }
        EXPECT_FALSE(win->MesIsMoving());
    }
    // Skipping copies the rest at once; text sent to a hidden window is never typed.
    win->MesClear();
    win->MesNewLine();
    win->MesAddText(line, 100);
    win->MesFrame(1, true);
    EXPECT_FALSE(win->MesIsTyping());
    EXPECT_TRUE(Same(win->MesTextMap(), 0, ref->GetAlpha(), 0, 0, 988, 38));
    win->MesHide(true);
    win->MesClear();
    win->MesNewLine();
    EXPECT_FALSE(win->MesAddText(line, 100));
    EXPECT_TRUE(Same(win->MesTextMap(), 0, ref->GetAlpha(), 0, 0, 988, 38));
}

TEST_F(TextWindows, EveryGlyphStaysInsideItsCell) {
    for (const char* ch : {"一", "龍", "Ｗ", "鬱", "…", "「", "。", "ア"}) {
        SCOPED_TRACE(ch);
        for (auto [size, width] : {std::pair{38, 988}, std::pair{30, 780}}) {
            auto ref = ReferenceMaker(size, width, 0);
            // The character in the second cell of three: nothing of it may fall outside.
            ref->SetText(Gbk((std::string("　") + ch + "　").c_str()));
            bool ink = false;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < width; ++x) {
                    const bool in = x >= size && x < 2 * size;
                    if (ref->GetAlpha()->PGet(x, y) != 0) {
                        ASSERT_TRUE(in) << x << "," << y;
                        ink = true;
                    }
                }
            EXPECT_TRUE(ink);
        }
    }
}

TEST_F(TextWindows, NamePlateGrowsACharacterAFrameAndJumpsWhenSkipping) {
    win->MesShow(true);
    win->MesAddText(Gbk("山田太郎"), 0);  // line 0: the speaker
    EXPECT_EQ(win->NamePlateTarget(), 7);
    win->MesHide(true);
    win->MesShow(false);  // collapses while the window fades in
    EXPECT_EQ(win->NamePlateWidth(), -1);
    for (int i = 0; i < 5; ++i) win->MesFrame(1, false);
    EXPECT_FALSE(win->MesIsMoving());
    std::vector<int> widths;
    for (int i = 0; i < 9; ++i) {
        widths.push_back(win->NamePlateWidth());
        EXPECT_EQ(win->MesNameText->GetVisible(), win->NamePlateWidth() == 7);
        win->MesFrame(1, false);
    }
    EXPECT_EQ(widths, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 7}));
    EXPECT_EQ(win->MesNameC->GetSizeX(), 266);
    EXPECT_EQ(win->MesNameR->GetOffsetX(), 266);
    // The next page's speaker has a name as long: the plate stands still and shows the name.
    win->MesClear();
    win->MesAddText(Gbk("铃木花子"), 0);
    win->MesFrame(1, false);
    EXPECT_EQ(win->NamePlateWidth(), 7);
    EXPECT_TRUE(win->MesNameText->GetVisible());
    EXPECT_TRUE(win->MesNameShadow->GetVisible());
    win->MesClear();
    win->MesAddText(Gbk("李"), 0);
    win->MesFrame(1, true);
    EXPECT_EQ(win->NamePlateWidth(), 4);
    // Thirteen characters: the name map holds ten, and nothing lands beyond it.
    const ZRString longName = Gbk("一二三四五六七八九十一二三");
    win->MesClear();
    win->MesAddText(longName, 0);
    auto ref = ReferenceMaker(38, 988, 0);
    ref->SetText(longName);
    EXPECT_EQ(win->NameMap()->Width(), 380);
    EXPECT_TRUE(Same(win->NameMap(), 0, ref->GetAlpha(), 0, 0, 380, 38));
}

TEST_F(TextWindows, FadesReachTheScreenAtEachFramesRate) {
    // MesBack is 0x204060 at (640, 470 + 54 + 100); the ground is black.
    const int x = 20, y = 470 + 54 + 150;
    // The fast-forward icon, on before the show or turned on during it, waits for the window
    // to stand.
    win->MesFFIcon(true);
    win->MesShow(false);
    const int expectIn[5] = {25, 51, 76, 102, 128};
    for (int f = 0; f < 5; ++f) {
        const uint32_t p = Probe(x, y);
        EXPECT_NEAR(int((p >> 16) & 0xFF), 0x20 * (f * 128 / 5) / 128, 1) << f;
        EXPECT_FALSE(win->MesFF->GetVisible()) << f;
        if (f == 2) win->MesFFIcon(true);
        win->MesFrame(1, false);
        (void)expectIn;
    }
    EXPECT_EQ(Probe(x, y), 0x204060u);
    EXPECT_TRUE(win->MesFF->GetVisible());
    win->MesHide(false);
    for (int f = 5; f > 0; --f) {
        EXPECT_NEAR(int(Probe(x, y) & 0xFF), 0x60 * (f * 128 / 5) / 128, 1) << f;
        win->MesFrame(1, false);
    }
    EXPECT_FALSE(win->MesWin->GetVisible());

    // The novel backdrop halves the screen under it at rest, and fades to it.
    win->NovelShow(false);
    int previous = 200;
    for (int f = 0; f < 5; ++f) {
        win->NovelFrame(1, false);
        const int level = int(Probe(5, 5, 0xC8C8C8) & 0xFF);
        EXPECT_LT(level, previous);
        previous = level;
    }
    EXPECT_NEAR(int(Probe(5, 5, 0xC8C8C8) & 0xFF), 200 * 64 / 128, 1);
}

TEST_F(TextWindows, NovelTextTypesAndTheWaitIconFollowsIt) {
    win->NovelShow(true);
    const ZRString line = Gbk("夜来风雨声");
    auto ref = ReferenceMaker(30, 780, 1);
    ref->SetText(line);
    for (int n = 0; n < 3; ++n) {
        if (n) win->NovelNewLine();
        win->NovelAddText(line, 100);
        while (win->NovelIsTyping()) win->NovelFrame(2, false);
        EXPECT_TRUE(Same(win->NovelTextMap(), n * 36, ref->GetAlpha(), 0, 0, 780, 30));
    }
    win->NovelWaitIcon(true);
    EXPECT_TRUE(win->NovelWait->GetVisible());
    EXPECT_EQ(win->NovelWait->GetOffsetX(), 250 + 5 * 30);
    EXPECT_EQ(win->NovelWait->GetOffsetY(), 72 + 2 * 36);
    // Sixteen lines, then nothing more.
    for (int n = 3; n < 17; ++n) {
        win->NovelNewLine();
        win->NovelAddText(line, 0);
    }
    EXPECT_EQ(std::string(win->NovelLine(15)), std::string(line.c_str()));
}

}  // namespace
