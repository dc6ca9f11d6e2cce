// Renders a screen of text panels in every rendering and writes it as "text_panels.png" into
// the directory the tests run in (the build directory), for a person to look at.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "foundation/zrstream.h"
#include "media/zrpng.h"
#include "platform/codepage.h"
#include "widgets/nyrgbtext.h"
#include "widgets/panels.h"

namespace {

struct Line {
    const char* label;
    std::string text;
    uint8_t charset;
    const char* face;  // UTF-8; encoded in the character set's code page
    bool anti_aliased;
    int shade;
    bool centred;
    uint32_t colour;
};

TEST(TNyRGBTextPicture, AScreenOfTextPanelsWrittenAsPng) {
    const int W = 480, rowH = 40;
    const std::vector<Line> lines = {
        {"plain", plat::SjisText("初期化 Plain 24px"), 128, "ＭＳ ゴシック", false, 0, false,
         0xFFFFFF},
        {"centred", plat::SjisText("センター Centred"), 128, "ＭＳ Ｐゴシック", false, 0, true,
         0xFFE040},
        {"aa0", plat::SjisText("滑らか AA shade 0"), 128, "ＭＳ ゴシック", true, 0, false,
         0xFFFFFF},
        {"aa1", plat::SjisText("滑らか AA shade 1"), 128, "ＭＳ ゴシック", true, 1, false,
         0xFFFFFF},
        {"aa2", plat::SjisText("滑らか AA shade 2"), 128, "ＭＳ ゴシック", true, 2, false,
         0xFFFFFF},
        {"gbk", plat::GbkText("确定吗？ GBK centred"), 134, "黑体", true, 1, true, 0x80FF80},
    };
    auto screen = testpanels::Picture(W, rowH * int(lines.size()), 0x202848, pf32_888);
    // A lighter band behind every other row shows where each panel's cell is.
    for (size_t i = 0; i < lines.size(); i += 2)
        screen->BoxFill(0, int(i) * rowH, W - 1, int(i + 1) * rowH - 1, 0x303860);
    TNyRGBPanel root(nullptr);
    root.SetSizeX(W);
    root.SetSizeY(screen->Height());
    std::vector<std::unique_ptr<TNyRGBText>> panels;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& l = lines[i];
        auto t = std::make_unique<TNyRGBText>(nullptr, &root);
        t->SetSizeX(W - 16);
        t->SetSizeY(rowH - 8);
        t->SetOffsetX(8);
        t->SetOffsetY(int(i) * rowH + 4);
        plat::TFont f;
        f.charset = l.charset;
        f.name = l.charset == 128 ? plat::SjisText(l.face) : plat::GbkText(l.face);
        t->SetFont(&f);
        t->SetAntiAliase(l.anti_aliased);
        t->SetAAShade(l.shade);
        t->SetCentering(l.centred);
        t->SetTextColor(l.colour);
        t->SetText(l.text.c_str());
        ASSERT_TRUE(t->MakeBuffer(pf32_888)) << l.label;
        panels.push_back(std::move(t));
    }
    ASSERT_TRUE(root.AllCreate());
    ASSERT_TRUE(root.Draw(screen.get(), 0, 0));
    // Every row got text in its own colour, inside its panel.
    for (size_t i = 0; i < lines.size(); ++i) {
        int exact = 0;
        for (int y = int(i) * rowH; y < int(i + 1) * rowH; ++y)
            for (int x = 0; x < W; ++x) {
                if ((screen->PGet(x, y) & 0xFFFFFF) != lines[i].colour) continue;
                ++exact;
                EXPECT_GE(x, 8);
                EXPECT_GE(y, int(i) * rowH + 4);
                EXPECT_LT(y, int(i + 1) * rowH - 4);
            }
        EXPECT_GT(exact, 50) << lines[i].label;
    }
    std::vector<unsigned char> rgb(size_t(W) * screen->Height() * 4);
    ASSERT_TRUE(screen->GetPat(0, 0, W, screen->Height(), rgb.data()));
    {
        ZRFileStream out("text_panels.png", zrfmCreate);
        ASSERT_TRUE(out.IsOpen());
        ASSERT_TRUE(SavePng(&out, rgb.data(), W, screen->Height(), pf32_888));
    }
    // The writer's own tests check pixels; here it is enough that a picture of this size is there.
    ZRFileStream in("text_panels.png", zrfmRead);
    int w = 0, h = 0;
    ASSERT_TRUE(LoadPng(&in, nullptr, &w, &h, pf24_888));
    EXPECT_EQ(w, W);
    EXPECT_EQ(h, screen->Height());
}

}  // namespace
