#include "widgets/nyrgbtext.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "platform/codepage.h"
#include "widgets/panels.h"

namespace {

struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;  // x1, y1 exclusive
    bool Empty() const { return x1 < 0; }
    void Add(int x, int y) {
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x + 1),
        y1 = std::max(y1, y + 1);
    }
    bool operator==(const Box&) const = default;
};

// Bounding box of the pixels of b that differ from background.
Box InkOf(TNyRGBBits& b, uint32_t background) {
    Box box;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.PGet(x, y) != background) box.Add(x, y);
    return box;
}

Box InkOf(TNyAlpha& a) {
    Box box;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.PGet(x, y)) box.Add(x, y);
    return box;
}

Box Shifted(Box b, int dx, int dy) {
    return Box{b.x0 + dx, b.y0 + dy, b.x1 + dx, b.y1 + dy};
}

TEST(TNyRGBText, DefaultsAndSettersThatNeedNoBuffers) {
    TNyRGBText t(nullptr);
    EXPECT_EQ(t.GetSizeX(), 160);
    EXPECT_EQ(t.GetSizeY(), 24);
    EXPECT_FALSE(t.GetAutoSize());
    EXPECT_EQ(t.GetFont()->height, -24);
    EXPECT_EQ(t.GetFont()->name, plat::SjisText("ＭＳ ゴシック"));
    EXPECT_EQ(t.GetFont()->pitch, plat::FontPitch::Fixed);
    EXPECT_EQ(t.GetFontSize(), 24);
    EXPECT_FALSE(t.HasBuffer());
    EXPECT_EQ(t.GetImage(), nullptr);
    t.SetFontSize(25);
    EXPECT_EQ(t.GetFontSize(), 24);
    t.SetFontSize(31);
    EXPECT_EQ(t.GetFontSize(), 30);
    t.SetAAShade(2);
    t.SetAAShade(3);
    t.SetAAShade(-1);
    EXPECT_EQ(t.GetAAShade(), 2);
    // The key colour is always the complement of the text colour.
    EXPECT_EQ(t.GetTextColor(), 0xFFFFFFu);
    EXPECT_EQ(t.GetKeyColor(), 0u);
    t.SetTextColor(0);
    EXPECT_EQ(t.GetKeyColor(), 0xFFFFFFu);
    EXPECT_EQ(t.GetColorKey().ToDWORD(), 0xFFFFFFu);
    t.SetTextColorRed(0x1AB);  // the low 8 bits
    t.SetTextColorGreen(0x34);
    t.SetTextColorBlue(0x56);
    EXPECT_EQ(t.GetTextColor(), 0xAB3456u);
    EXPECT_EQ(t.GetTextColorRed(), 0xAB);
    EXPECT_EQ(t.GetTextColorGreen(), 0x34);
    EXPECT_EQ(t.GetTextColorBlue(), 0x56);
    EXPECT_EQ(t.GetKeyColor(), 0x54CBA9u);
    t.SetText("abc");  // stored; nothing to draw into yet
    EXPECT_STREQ(t.GetText().c_str(), "abc");
    EXPECT_FALSE(t.GetTextFont().IsCreated());
    // Without buffers the panel draws nothing of its own.
    auto dest = testpanels::Picture(200, 40, 0x123456);
    ASSERT_TRUE(t.Create());
    ASSERT_TRUE(t.Draw(dest.get(), 0, 0));
    EXPECT_TRUE(InkOf(*dest, 0x123456).Empty());
}

TEST(TNyRGBText, ReductionWeightsTheFourDoubleSizeValuesByShade) {
    EXPECT_EQ(TNyRGBText::ReducedAlpha(255 + 255, 0), 127);
    EXPECT_EQ(TNyRGBText::ReducedAlpha(255 + 255, 1), 191);
    EXPECT_EQ(TNyRGBText::ReducedAlpha(255 + 255, 2), 255);
    EXPECT_EQ(TNyRGBText::ReducedAlpha(4 * 255, 0), 255);
    EXPECT_EQ(TNyRGBText::ReducedAlpha(4 * 255, 1), 255);
    EXPECT_EQ(TNyRGBText::ReducedAlpha(255, 1), 95);
    EXPECT_EQ(TNyRGBText::ReducedAlpha(0, 2), 0);
}

TEST(TNyRGBText, PlainTextOnAKeyBackgroundCentredOrNot) {
    for (ZRPixFormat format : {pf24_888, pf32_888}) {
        SCOPED_TRACE(int(format));
        TNyRGBText t(nullptr);
        t.SetText("0123456789");
        t.SetTextColor(0x30C0F0);
        ASSERT_TRUE(t.MakeBuffer(format));
        ASSERT_TRUE(t.HasBuffer());
        TNyRGBBits* img = t.GetImage();
        ASSERT_NE(img, nullptr);
        EXPECT_EQ(img->PixFormat(), format);
        EXPECT_EQ(img->Width(), 160);
        EXPECT_EQ(img->Height(), 24);
        EXPECT_EQ(t.GetMaskMode(), 2);
        EXPECT_EQ(t.GetColorKey().ToDWORD(), 0x30C0F0u ^ 0xFFFFFFu);
        EXPECT_EQ(t.GetTextFont().GetHeight(), -24);
        EXPECT_EQ(t.GetTextFont().GetQuality(), fqNonAntialiased);
        const uint32_t key = 0x30C0F0u ^ 0xFFFFFFu;
        // Monochrome glyphs: every pixel is the key or the text colour.
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 160; ++x) {
                uint32_t px = img->PGet(x, y);
                ASSERT_TRUE(px == key || px == 0x30C0F0u) << x << "," << y;
            }
        Box left = InkOf(*img, key);
        ASSERT_FALSE(left.Empty());
        EXPECT_LT(left.x1, 10 * 12);  // ten half-width cells of 12 pixels
        // Ten bytes at size 24 in a 160 x 24 panel start at x = 20, y = 0.
        t.SetCentering(true);
        EXPECT_EQ(InkOf(*img, key), Shifted(left, 20, 0));
        // The panel draws the text and skips the key.
        auto dest = testpanels::Picture(200, 40, 0x000001, format);
        ASSERT_TRUE(t.Create());
        t.SetOffsetX(5);
        t.SetOffsetY(7);
        ASSERT_TRUE(t.Draw(dest.get()));
        EXPECT_EQ(InkOf(*dest, 0x000001), Shifted(left, 25, 7));
        // The plain rendering follows a colour change at once.
        t.SetTextColor(0xFFFFFF);
        EXPECT_EQ(InkOf(*img, 0), Shifted(left, 20, 0));
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 160; ++x) {
                uint32_t px = img->PGet(x, y);
                ASSERT_TRUE(px == 0 || px == 0xFFFFFFu) << x << "," << y;
            }
    }
}

TEST(TNyRGBText, CentredVerticallyByTheFontSizeAndDoubleByteCharactersAsFullWidthCells) {
    TNyRGBText t(nullptr);
    t.SetSizeY(40);
    t.SetFontSize(16);
    t.SetText(plat::SjisText("初期化").c_str());  // six bytes: three full-width cells
    plat::TFont f;
    f.charset = 128;
    f.name = plat::SjisText("ＭＳ ゴシック");
    t.SetFont(&f);
    ASSERT_TRUE(t.MakeBuffer(pf32_888));
    Box left = InkOf(*t.GetImage(), 0);
    ASSERT_FALSE(left.Empty());
    EXPECT_LE(left.x1, 3 * 16);
    EXPECT_GT(left.x1, 2 * 16);  // the third character was drawn
    t.SetCentering(true);
    EXPECT_EQ(InkOf(*t.GetImage(), 0), Shifted(left, (160 - 6 * 8) / 2, (40 - 16) / 2));
    // GBK text through a Chinese face.
    plat::TFont cn;
    cn.charset = 134;
    cn.name = plat::GbkText("黑体");
    t.SetFont(&cn);
    EXPECT_EQ(t.GetFont()->height, -16);  // the panel's size wins over the copied height
    t.SetText(plat::GbkText("确定").c_str());
    Box gbk = InkOf(*t.GetImage(), 0);
    ASSERT_FALSE(gbk.Empty());
    EXPECT_GE(gbk.x0, (160 - 4 * 8) / 2);
    EXPECT_LE(gbk.x1, (160 - 4 * 8) / 2 + 2 * 16);
}

TEST(TNyRGBText, AntiAliasedCoverageShadesAndPaintsTheTextColour) {
    TNyRGBText t(nullptr);
    t.SetAntiAliase(true);
    t.SetText("Wa");
    ASSERT_TRUE(t.MakeBuffer(pf32_888));
    TNyAlpha* plane = t.GetAlpha();
    ASSERT_NE(plane, nullptr);
    EXPECT_EQ(t.GetImage(), nullptr);
    EXPECT_EQ(t.GetMaskMode(), 1);
    EXPECT_EQ(plane->Width(), 160);
    EXPECT_EQ(plane->Height(), 24);
    EXPECT_EQ(t.GetTextFont().GetHeight(), -48);  // drawn at twice the size
    // Averages of four monochrome values, then the shades' weights of the same sums.
    std::vector<unsigned char> shade0(160 * 24);
    std::set<int> seen;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 160; ++x) seen.insert(shade0[size_t(y * 160 + x)] = plane->PGet(x, y));
    for (int v : seen) EXPECT_TRUE(v == 0 || v == 63 || v == 127 || v == 191 || v == 255) << v;
    EXPECT_TRUE(seen.count(255));
    EXPECT_GT(seen.size(), 2u);
    EXPECT_LT(InkOf(*plane).x1, 2 * 12);
    for (int shade : {1, 2}) {
        t.SetAAShade(shade);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 160; ++x) {
                int sum = shade0[size_t(y * 160 + x)] * 4 + 3;  // s / 4 lost at most 3
                ASSERT_EQ(plane->PGet(x, y), TNyRGBText::ReducedAlpha(sum - sum % 255, shade));
            }
    }
    t.SetAAShade(0);
    // Painting: full coverage gives the text colour, none leaves the destination alone.
    t.SetTextColor(0x40FF80);
    auto dest = testpanels::Picture(160, 24, 0x000000, pf32_888);
    ASSERT_TRUE(t.Create());
    ASSERT_TRUE(t.Draw(dest.get()));
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 160; ++x) {
            int a = shade0[size_t(y * 160 + x)];
            uint32_t px = dest->PGet(x, y);
            if (a == 0) {
                EXPECT_EQ(px, 0u);
            } else if (a == 255) {
                EXPECT_EQ(px & 0xFFFFFF, 0x40FF80u);
            } else {
                EXPECT_LT((px >> 8) & 0xFF, 0xFFu);
            }
        }
    // A colour change repaints but does not render again: a mark in the plane survives it.
    plane->PSet(159, 23, 77);
    t.ClrModify();
    t.SetTextColor(0x0000FF);
    EXPECT_TRUE(t.GetModified());
    EXPECT_EQ(plane->PGet(159, 23), 77);
    t.SetText("Wa");
    EXPECT_EQ(plane->PGet(159, 23), 0);
}

TEST(TNyRGBText, SwitchingRenderingsRebuildsAndRendersTheBuffers) {
    TNyRGBText t(nullptr);
    t.SetText("Hi");
    ASSERT_TRUE(t.MakeBuffer(pf24_888));
    Box plain = InkOf(*t.GetImage(), 0);
    ASSERT_FALSE(plain.Empty());
    int fonts = _ZRDBG_GetFontSize();
    t.SetAntiAliase(true);
    EXPECT_EQ(t.GetImage(), nullptr);
    ASSERT_NE(t.GetAlpha(), nullptr);
    EXPECT_FALSE(InkOf(*t.GetAlpha()).Empty());  // rendered, not left empty
    EXPECT_EQ(_ZRDBG_GetFontSize(), fonts);      // the -24 font went, the -48 one came
    t.SetAntiAliase(false);
    ASSERT_NE(t.GetImage(), nullptr);
    EXPECT_EQ(t.GetAlpha(), nullptr);
    EXPECT_EQ(InkOf(*t.GetImage(), 0), plain);
    // A bigger font size re-renders at once.
    t.SetFontSize(32);
    EXPECT_EQ(t.GetTextFont().GetHeight(), -32);
    EXPECT_GT(InkOf(*t.GetImage(), 0).y1, plain.y1);
    t.ReleaseBuffer();
    EXPECT_FALSE(t.HasBuffer());
    EXPECT_EQ(t.GetImage(), nullptr);
    EXPECT_FALSE(t.GetTextFont().IsCreated());
    EXPECT_EQ(_ZRDBG_GetFontSize(), fonts - 1);
    t.DrawTextA();  // nothing to draw into
}

// Every character other than ASCII of the story's strings and of the menus mkdemo draws.
std::set<std::string> DemoCharacters() {
    std::string texts =
        "清晨的校园走廊图书馆放学后雨天夜空约定回家路尾声星之轨迹开始游戏读取进度鉴赏画音"
        "乐欣环境设结束第一章二三要吗？保存到这个位置返标题面是否量语效文字速模式恢复默认"
        "全屏窗口新０１２３４５６７８９商店街系统菜单档／快自动隐藏想消";
    for (const auto& script : std::filesystem::directory_iterator(ZR_DEMO_SCRIPTS)) {
        std::ifstream in(script.path());
        std::string s;
        while (std::getline(in, s, '"') && std::getline(in, s, '"')) texts += s;
    }
    std::set<std::string> chars;
    for (size_t i = 0, n = 1; i < texts.size(); i += n, n = 1) {
        while ((uint8_t(texts[i + n]) & 0xC0) == 0x80) ++n;
        if (n > 1) chars.insert(texts.substr(i, n));
    }
    return chars;
}

TEST(TNyRGBText, EveryCharacterOfTheDemoKeepsItsInkInAWindowOneCharacterHigh) {
    // Set up as the scenes' windows set theirs up.
    const struct {
        const char* window;
        uint8_t charset;
        const char* face;
        int size, shade;
    } rows[] = {{"message and name", 134, "黑体", 38, 0},
                {"novel, backlog size", 134, "黑体", 30, 1},
                {"Japanese face", 128, "ＭＳ ゴシック", 38, 0}};
    const std::set<std::string> chars = DemoCharacters();
    ASSERT_GT(chars.size(), 150u);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.window);
        const plat::CodePage cp = plat::CodePageForCharset(r.charset);
        // A panel one character square, and one three square that centres the character.
        TNyRGBText tight(nullptr), room(nullptr);
        for (int k : {1, 3}) {
            TNyRGBText& t = k == 1 ? tight : room;
            t.SetSizeX(k * r.size);
            t.SetSizeY(k * r.size);
            plat::TFont font;
            font.charset = r.charset;
            font.name = plat::FromUtf8(r.face, cp);
            t.SetFont(&font);
            t.SetFontSize(r.size);
            t.SetAntiAliase(true);
            t.SetAAShade(r.shade);
            t.SetCentering(k == 3);
            ASSERT_TRUE(t.MakeBuffer(pf32_888));
        }
        std::string cut;
        int tallest = 0;
        for (const std::string& c : chars) {
            const std::string bytes = plat::FromUtf8(c, cp);  // '?' where the page lacks it
            if (bytes.size() != 2) continue;
            tight.SetText(bytes.c_str());
            room.SetText(bytes.c_str());
            const Box in = InkOf(*tight.GetAlpha()), ink = InkOf(*room.GetAlpha());
            if (in.Empty() ? !ink.Empty() : Shifted(in, r.size, r.size) != ink) cut += c;
            if (c >= "一" && c <= "鿿") tallest = std::max(tallest, ink.y1 - ink.y0);
        }
        EXPECT_EQ(cut, "");
        EXPECT_GE(tallest * 5, r.size * 4);  // drawn at its size, not shrunk to fit
    }
}

TEST(TNyRGBText, RefusedBuffersLeaveThePanelWithout) {
    TNyRGBText t(nullptr);
    t.SetSizeX(0);
    EXPECT_FALSE(t.MakeBuffer(pf32_888));
    EXPECT_FALSE(t.HasBuffer());
    EXPECT_EQ(t.GetImage(), nullptr);
    t.SetAntiAliase(true);
    EXPECT_FALSE(t.MakeBuffer(pf32_888));
    EXPECT_EQ(t.GetAlpha(), nullptr);
    t.SetText("x");
}

TEST(TNyRGBText, SixteenBitBuffersKeepTheirBackgroundOutOfThePicture) {
    TNyRGBText t(nullptr);
    t.SetText("Key");
    t.SetTextColor(0x00FF00);  // key magenta, whose 16-bit pixel is not its low 16 bits
    ASSERT_TRUE(t.MakeBuffer(pf16_565));
    auto dest = testpanels::Picture(160, 24, 0x4444, pf16_565);
    ASSERT_TRUE(t.Create());
    ASSERT_TRUE(t.Draw(dest.get()));
    Box ink = InkOf(*dest, 0x4444);
    ASSERT_FALSE(ink.Empty());
    EXPECT_LT(ink.x1, 3 * 12);
    for (int y = ink.y0; y < ink.y1; ++y)
        for (int x = ink.x0; x < ink.x1; ++x) {
            uint32_t px = dest->PGet(x, y);
            EXPECT_TRUE(px == 0x4444 || px == 0x07E0) << x << "," << y;
        }
    // Anti-aliased text is painted in the colour converted to the destination's format: green
    // over black has no red or blue bits anywhere.
    t.SetAntiAliase(true);
    auto black = testpanels::Picture(160, 24, 0, pf16_565);
    ASSERT_TRUE(t.Draw(black.get()));
    bool full = false;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 160; ++x) {
            uint32_t px = black->PGet(x, y);
            EXPECT_EQ(px & 0xF81F, 0u) << x << "," << y;
            full |= px == 0x07E0;
        }
    EXPECT_TRUE(full);
}

}  // namespace
