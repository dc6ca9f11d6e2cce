#include "platform/textrender.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/codepage.h"
#include "platform/fontfaces.h"

namespace {

struct FontDeleter {
    void operator()(plat::RasterFont* f) const { plat::DeleteRasterFont(f); }
};
using FontPtr = std::unique_ptr<plat::RasterFont, FontDeleter>;

FontPtr MakeFont(const std::string& face, int height, uint8_t charset = 128, uint8_t quality = 4) {
    plat::FontSpec desc;
    desc.face = face;
    desc.height = height;
    desc.charset = charset;
    desc.quality = quality;
    return FontPtr(plat::CreateRasterFont(desc));
}

struct Canvas {
    int w, h, bpp;
    std::vector<uint8_t> mem;
    plat::DrawSurface s;
    Canvas(int w_, int h_, plat::SurfaceKind kind, bool bottom_up = false) : w(w_), h(h_) {
        bpp = kind == plat::SurfaceKind::Grey8    ? 1
              : kind == plat::SurfaceKind::Bgr24  ? 3
              : kind == plat::SurfaceKind::Bgrx32 ? 4
                                                  : 2;
        int stride = (w * bpp + 3) & ~3;
        mem.assign(static_cast<size_t>(stride * h), 0);
        s.kind = kind;
        s.width = w;
        s.height = h;
        s.pitch = bottom_up ? -stride : stride;
        s.pixels = bottom_up ? mem.data() + static_cast<size_t>(stride * (h - 1)) : mem.data();
    }
    const uint8_t* Px(int x, int y) const {
        return s.pixels + static_cast<ptrdiff_t>(y) * s.pitch + x * bpp;
    }
    bool Inked(int x, int y) const {
        const uint8_t* p = Px(x, y);
        for (int i = 0; i < bpp; ++i)
            if (p[i]) return true;
        return false;
    }
    // Bounding box of every changed pixel: {x0, y0, x1, y1} exclusive, or empty.
    std::vector<int> InkBox() const {
        int x0 = w, y0 = h, x1 = -1, y1 = -1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (Inked(x, y)) {
                    x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x),
                    y1 = std::max(y1, y);
                }
        if (x1 < 0) return {};
        return {x0, y0, x1 + 1, y1 + 1};
    }
};

TEST(FontFaces, LayoutFaceNamesMapToInstalledFaces) {
    EXPECT_EQ(plat::InstalledFamilyFor(plat::SjisText("ＭＳ ゴシック"), 128), "IPAGothic");
    EXPECT_EQ(plat::InstalledFamilyFor(plat::SjisText("ＭＳ Ｐゴシック"), 134), "IPAPGothic");
    EXPECT_EQ(plat::InstalledFamilyFor(plat::GbkText("黑体"), 134), "WenQuanYi Zen Hei");
    EXPECT_EQ(plat::InstalledFamilyFor("MS UI Gothic", 134), "IPAPGothic");
    EXPECT_EQ(plat::InstalledFamilyFor("", 134), "WenQuanYi Zen Hei");
    auto f = MakeFont(plat::SjisText("ＭＳ ゴシック"), -24);
    ASSERT_TRUE(f);
    EXPECT_EQ(plat::RasterFontFamily(f.get()), "IPAGothic");
}

TEST(TextRender, ExtentsCountHalfAndFullWidthCells) {
    auto f = MakeFont(plat::SjisText("ＭＳ ゴシック"), -24);
    ASSERT_TRUE(f);
    plat::TextExtent e;
    ASSERT_TRUE(plat::MeasureText(f.get(), "ABCD", e));
    EXPECT_EQ(e.cx, 48);  // a fixed-pitch face: half-width cells of 12 pixels
    EXPECT_GE(e.cy, 24);
    EXPECT_LE(e.cy, 28);
    ASSERT_TRUE(plat::MeasureText(f.get(), plat::SjisText("初期化"), e));
    EXPECT_EQ(e.cx, 72);
    EXPECT_FALSE(plat::MeasureText(nullptr, "x", e));
    auto cell = MakeFont(plat::SjisText("ＭＳ ゴシック"), 30);
    ASSERT_TRUE(plat::MeasureText(cell.get(), "A", e));
    EXPECT_EQ(e.cy, 30);  // a positive height is the cell height
}

TEST(TextRender, TextLandsInsideItsCellInTheTextColour) {
    struct Case {
        uint8_t quality;
        uint32_t text;  // graphics-interface order 0x00BBGGRR
        uint8_t back;   // every channel of the background
    };
    // Light text on dark and dark text on light: full coverage must reach the text colour
    // exactly from either side.
    for (Case k : {Case{3, 0x0000FF, 0}, Case{4, 0x0000FF, 0}, Case{3, 0x000000, 255},
                   Case{4, 0x000000, 255}}) {
        SCOPED_TRACE(testing::Message() << "quality " << int(k.quality) << " back " << int(k.back));
        auto f = MakeFont(plat::SjisText("ＭＳ ゴシック"), -24, 128, k.quality);
        ASSERT_TRUE(f);
        Canvas c(200, 60, plat::SurfaceKind::Bgrx32);
        std::fill(c.mem.begin(), c.mem.end(), k.back);
        c.s.font = f.get();
        c.s.text_colour = k.text;
        ASSERT_TRUE(plat::DrawText(c.s, 10, 20, plat::SjisText("あA")));
        const uint8_t want[3] = {uint8_t(k.text >> 16), uint8_t(k.text >> 8), uint8_t(k.text)};
        int x0 = c.w, y0 = c.h, x1 = -1, y1 = -1;
        bool saw_full = false;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x) {
                const uint8_t* p = c.Px(x, y);
                bool changed = false;
                for (int ch = 0; ch < 3; ++ch) {
                    // Every channel lies between the background and the text colour.
                    EXPECT_GE(p[ch], std::min(k.back, want[ch]));
                    EXPECT_LE(p[ch], std::max(k.back, want[ch]));
                    changed |= p[ch] != k.back;
                }
                if (!changed) continue;
                x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x),
                y1 = std::max(y1, y);
                bool full = p[0] == want[0] && p[1] == want[1] && p[2] == want[2];
                saw_full |= full;
                if (k.quality == 3) {
                    EXPECT_TRUE(full) << x << "," << y;
                }
            }
        EXPECT_TRUE(saw_full);
        ASSERT_GE(x1, 0);
        EXPECT_GE(x0, 10);
        EXPECT_GE(y0, 20);
        EXPECT_LT(x1, 10 + 36);
        EXPECT_LT(y1, 20 + 28);
    }
}

TEST(TextRender, BottomUpSurfacesAndGreyPlanes) {
    auto f = MakeFont("", -16, 134);
    ASSERT_TRUE(f);
    Canvas down(64, 20, plat::SurfaceKind::Grey8);
    Canvas up(64, 20, plat::SurfaceKind::Grey8, true);
    for (Canvas* c : {&down, &up}) {
        c->s.font = f.get();
        c->s.text_colour = 0xFFFFFF;
        ASSERT_TRUE(plat::DrawText(c->s, 0, 0, plat::GbkText("确定")));
    }
    // Row 0 is the top row either way: the same picture, with the rows of memory reversed.
    auto box = up.InkBox();
    ASSERT_EQ(box.size(), 4u);
    EXPECT_EQ(box, down.InkBox());
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 64; ++x) ASSERT_EQ(*up.Px(x, y), *down.Px(x, y));
    EXPECT_NE(up.mem, down.mem);
    for (int x = 0; x < 64; ++x)
        EXPECT_EQ(up.mem[size_t(19 - box[1]) * 64 + size_t(x)], *down.Px(x, box[1]));
    EXPECT_EQ(*std::max_element(up.mem.begin(), up.mem.end()), 255);
    // On a grey plane a colour becomes its nearest grey level.
    auto mono = MakeFont("", -16, 134, 3);
    Canvas g(40, 20, plat::SurfaceKind::Grey8);
    g.s.font = mono.get();
    g.s.text_colour = 0x0000FF;
    g.s.transparent = false;
    g.s.back_colour = 0x000000;
    ASSERT_TRUE(plat::DrawText(g.s, 0, 0, "I"));
    EXPECT_EQ(*std::max_element(g.mem.begin(), g.mem.end()), 85);
}

TEST(TextRender, ClippedAtTheSurfaceEdgesAndStylesWiden) {
    auto f = MakeFont(plat::SjisText("ＭＳ ゴシック"), -24);
    Canvas c(20, 10, plat::SurfaceKind::Rgb565);
    c.s.font = f.get();
    c.s.text_colour = 0xFFFFFF;
    ASSERT_TRUE(plat::DrawText(c.s, -5, -8, "WWWWWW"));  // ASan checks nothing spills
    plat::FontSpec desc;
    desc.face = plat::SjisText("ＭＳ ゴシック");
    desc.height = -24;
    desc.charset = 128;
    desc.underline = true;
    FontPtr u(plat::CreateRasterFont(desc));
    Canvas cu(60, 30, plat::SurfaceKind::Bgr24);
    cu.s.font = u.get();
    cu.s.text_colour = 0xFFFFFF;
    ASSERT_TRUE(plat::DrawText(cu.s, 0, 0, "__"));
    ASSERT_TRUE(plat::DrawText(cu.s, 0, 0, ".."));
    int underline_rows = 0;
    for (int y = 0; y < 30; ++y) {
        bool full = true;
        for (int x = 0; x < 24; ++x) full &= cu.Inked(x, y);
        underline_rows += full;
    }
    EXPECT_GE(underline_rows, 1);
    plat::DrawSurface none;
    EXPECT_FALSE(plat::DrawText(none, 0, 0, "x"));
}

}  // namespace
