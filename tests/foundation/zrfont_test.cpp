#include "foundation/zrfont.h"

#include <gtest/gtest.h>

#include <vector>

#include "gothic_font.h"
#include "platform/codepage.h"

namespace {

TEST(ZRFont, EqualAttributesShareOneCountedHandle) {
    int before = _ZRDBG_GetFontSize();
    {
        ZRFont a(GothicFont(-20)), b(GothicFont(-20));
        ASSERT_TRUE(a.Create());
        ASSERT_TRUE(b.Create());
        EXPECT_EQ(a.GetHandle(), b.GetHandle());
        EXPECT_EQ(_ZRDBG_GetFontSize(), before + 1);
        ZRFont c(a);  // copies share the handle too
        EXPECT_EQ(c.GetHandle(), a.GetHandle());
        a.Release();
        b.Release();
        EXPECT_EQ(_ZRDBG_GetFontSize(), before + 1);  // c still holds it
        std::vector<ZRFontParam> list(static_cast<size_t>(_ZRDBG_GetFontSize()));
        int n = _ZRDBG_GetFontList(list.data(), static_cast<int>(list.size()));
        EXPECT_EQ(list[static_cast<size_t>(n - 1)].height, -20);
    }
    EXPECT_EQ(_ZRDBG_GetFontSize(), before);
}

TEST(ZRFont, SettersMoveACreatedFontToTheMatchingEntry) {
    ZRFont f;
    EXPECT_EQ(f.GetCharset(), 134);
    EXPECT_STREQ(f.GetName().c_str(), "Default");
    ASSERT_TRUE(f.Create());
    ZRFontHandle first = f.GetHandle();
    ZRFont g;
    g.SetName("DEFAULT");
    ASSERT_TRUE(g.Create());
    EXPECT_NE(g.GetHandle(), first);  // the cache compares the exact name
    EXPECT_EQ(plat::RasterFontFamily(g.GetHandle()), plat::RasterFontFamily(first));
    f.SetCharset(128);
    EXPECT_EQ(f.GetCharset(), 128);
    plat::FontSpec desc;
    ASSERT_TRUE(plat::DescribeRasterFont(f.GetHandle(), desc));
    EXPECT_EQ(desc.charset, 128);
    f.AddStyle(4);
    EXPECT_EQ(f.GetStyle(), 0);
    f.AddStyle(fsBold);
    EXPECT_TRUE(f.CheckStyle(fsBold));
    EXPECT_FALSE(f.CheckStyle(-1));
    f.DelStyle(fsBold);
    EXPECT_EQ(f.GetStyle(), 0);
    ZRFont unmade;
    unmade.SetHeight(-30);  // no handle yet: nothing is made
    EXPECT_FALSE(unmade.IsCreated());
}

TEST(ZRFont, CopiesFromClassLibraryFontsAndHandles) {
    plat::TFont t;
    t.charset = 128;
    t.name = plat::SjisText("ＭＳ Ｐゴシック");
    t.height = -18;
    t.pitch = plat::FontPitch::Variable;
    t.bold = t.underline = true;
    ZRFont f;
    f.CopyFromTFont(&t, fqAntialiased);
    EXPECT_EQ(f.GetPitch(), fpVariable);
    EXPECT_EQ(f.GetStyle(), 1 | 4);
    EXPECT_EQ(f.GetQuality(), fqAntialiased);
    ASSERT_TRUE(f.Create());
    ZRFont g;
    g.CopyFromHandle(f.GetHandle());
    EXPECT_EQ(g.GetHeight(), -18);
    EXPECT_EQ(g.GetStyle(), 1 | 4);
    EXPECT_EQ(g.GetName(), f.GetName());
}

TEST(ZRFont, TextOutputOnlyBetweenStartAndEnd) {
    ZRFont f(GothicFont(-16));
    std::vector<uint8_t> px(64 * 20 * 4, 0);
    plat::DrawSurface dc;
    dc.pixels = px.data();
    dc.pitch = 64 * 4;
    dc.width = 64;
    dc.height = 20;
    EXPECT_FALSE(f.StartTextOut(&dc, 0xFF0000));  // no handle yet
    ASSERT_TRUE(f.Create());
    EXPECT_FALSE(f.Write(0, 0, "A"));
    ZRSize size{};
    EXPECT_FALSE(f.GetExtentPoint("AB", &size));
    ASSERT_TRUE(f.StartTextOut(&dc, 0xFF0000));  // red as 0x00RRGGBB
    EXPECT_EQ(dc.font, f.GetHandle());
    ASSERT_TRUE(f.GetExtentPoint("AB", &size));
    EXPECT_EQ(size.cx, 16);
    ASSERT_TRUE(f.Write(0, 0, "AB"));
    f.EndTextOut();
    EXPECT_EQ(dc.font, nullptr);
    bool red = false;
    for (size_t i = 0; i < px.size(); i += 4) {
        EXPECT_EQ(px[i], 0);
        EXPECT_EQ(px[i + 1], 0);
        red |= px[i + 2] == 255;
    }
    EXPECT_TRUE(red);
}

TEST(ZRFont, ChangesInsideTextOutputSwapTheSelectedFontAndEndPutsBackThePrevious) {
    ZRFont other(GothicFont(-12));
    ASSERT_TRUE(other.Create());
    std::vector<uint8_t> px(32 * 32, 0);
    plat::DrawSurface dc;
    dc.pixels = px.data();
    dc.pitch = 32;
    dc.width = dc.height = 32;
    dc.kind = plat::SurfaceKind::Grey8;
    dc.font = other.GetHandle();  // what the context held before
    int before = _ZRDBG_GetFontSize();
    ZRFont f(GothicFont(-16));
    ASSERT_TRUE(f.Create());
    ASSERT_TRUE(f.StartTextOut(&dc, 0x123456));
    EXPECT_EQ(dc.text_colour, 0x563412u);  // the graphics interface's colour order
    f.SetColor(0x0000FF);
    EXPECT_EQ(dc.text_colour, 0xFF0000u);
    f.SetHeight(-20);
    EXPECT_EQ(dc.font, f.GetHandle());
    EXPECT_EQ(_ZRDBG_GetFontSize(), before + 1);  // the -16 entry went with its last user
    ZRFont g(GothicFont(-24));
    ASSERT_TRUE(g.Create());
    f = g;
    EXPECT_EQ(f.GetHeight(), -24);
    EXPECT_EQ(dc.font, g.GetHandle());
    EXPECT_EQ(_ZRDBG_GetFontSize(), before + 1);
    ZRFont none;
    f = none;  // a font without a handle: the text output ends
    EXPECT_FALSE(f.IsCreated());
    EXPECT_EQ(dc.font, other.GetHandle());
    EXPECT_FALSE(f.Write(0, 0, "A"));
    ASSERT_TRUE(g.StartTextOut(&dc, 0));
    g.Release();
    EXPECT_EQ(dc.font, other.GetHandle());
}

}  // namespace
