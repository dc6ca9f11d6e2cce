// The text windows: one typed character repainted through the changed rectangles beside a
// full redraw of the frame with the window up; a page of four 38-pixel lines rendered into
// the alpha maps, per glyph, beside FreeType rendering the same glyphs at 38 pixels.
#include <benchmark/benchmark.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/zrfileman.h"
#include "foundation/zrstream.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/gamefunc.h"
#include "media/zrpng.h"
#include "platform/codepage.h"
#include "scenes/subwinu.h"

namespace {

void Picture(const std::string& path, int w, int h, uint8_t v) {
    std::vector<unsigned char> colour(size_t(w) * h * 3, v);
    ZRFileStream out(path.c_str(), zrfmCreate);
    SavePng(&out, colour.data(), w, h, pf24_888);
}

const char* kLine = "今天的天气真好我们一起去公园散步吧然后再去图书馆看书";  // 26 characters

struct Rig {
    GameState state;
    ZRFileMan files;
    TSubWinUnit win;
    TNyRGBPanel root{nullptr};
    TNyRGBBits screen;
    Rig() {
        WorkBitDepth = bd32;
        if (!MemMan) MemMan = new ZRMemMan();
        char dir[] = "/tmp/textwin_bench_XXXXXX";
        if (!mkdtemp(dir)) std::abort();
        const std::string d = dir;
        Picture(d + "/SelBase8.png", 478, 240, 0x30);
        Picture(d + "/SelBase16.png", 780, 240, 0x30);
        Picture(d + "/MesBack.png", 1280, 196, 0x40);
        Picture(d + "/MesFrame.png", 1280, 250, 0x20);
        Picture(d + "/Ground.png", 1280, 720, 0x80);
        files.InitDir(ZRString(dir));
        win.BindState(&state);
        if (!win.Setup(&files)) std::abort();
        root.SetAutoSize(false);
        root.SetSizeX(1280);
        root.SetSizeY(720);
        // The stage under the windows: a full-screen picture.
        root.SetText("Ground.png");
        root.OnCreate = [this](TNyRGBPanel* p) { SetPanelImageFile(p, &files, p->GetText()); };
        root.Create();
        win.SetParentPanel(&root);
        win.AttachAll();
        win.MesShow(true);
        screen.SetBitDepth(bd32);
        screen.SetPixFormat(pf32_888);
        screen.Resize(1280, 720);
        screen.Create();
        root.Draw(&screen, 0, 0);
    }
};

Rig& TheRig() {
    static Rig* rig = new Rig();
    return *rig;
}

void StartLine(Rig& r) {
    r.win.MesClear();
    r.win.MesNewLine();
    r.win.MesAddText(ZRString(plat::GbkText(kLine).c_str()), 100);
    r.root.Update(&r.screen, 0, 0);
}

// One frame of typing (one character at cost 100) and the repaint of what changed.
void BM_TypeOneCharacterChangedRects(benchmark::State& st) {
    Rig& r = TheRig();
    StartLine(r);
    for (auto _ : st) {
        if (!r.win.MesIsTyping()) {
            st.PauseTiming();
            StartLine(r);
            st.ResumeTiming();
        }
        r.win.StepAll(1, false);
        r.root.Update(&r.screen, 0, 0);
    }
}
BENCHMARK(BM_TypeOneCharacterChangedRects);

// Peer: the whole frame redrawn with the message window up.
void BM_FullRedrawWithWindowUp(benchmark::State& st) {
    Rig& r = TheRig();
    StartLine(r);
    r.win.MesFrame(1, true);
    for (auto _ : st) r.root.Draw(&r.screen, 0, 0);
}
BENCHMARK(BM_FullRedrawWithWindowUp);

// A page: the name and three lines of 26 characters, rendered at once into the maps.
void BM_PageIntoMapsPerGlyph(benchmark::State& st) {
    Rig& r = TheRig();
    const ZRString line(plat::GbkText(kLine).c_str());
    for (auto _ : st) {
        r.win.MesClear();
        r.win.MesAddText(line, 0);
        for (int i = 0; i < 3; ++i) r.win.MesNewLine(), r.win.MesAddText(line, 0);
    }
    st.SetItemsProcessed(st.iterations() * 26 * 4);
}
BENCHMARK(BM_PageIntoMapsPerGlyph);

// Peer: FreeType rendering the same glyphs, anti-aliased, at 38 pixels.
void BM_FreeTypeSameGlyphs38(benchmark::State& st) {
    FcInit();
    FcPattern* pat = FcNameParse(reinterpret_cast<const FcChar8*>("WenQuanYi Zen Hei Mono"));
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult res;
    FcPattern* match = FcFontMatch(nullptr, pat, &res);
    FcChar8* file = nullptr;
    int index = 0;
    FcPatternGetString(match, FC_FILE, 0, &file);
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FT_Library lib;
    FT_Init_FreeType(&lib);
    FT_Face face;
    if (FT_New_Face(lib, reinterpret_cast<const char*>(file), index, &face) != 0) {
        st.SkipWithError("no face");
        return;
    }
    FT_Set_Pixel_Sizes(face, 0, 38);
    std::u32string text;
    for (const char* p = kLine; *p;) {
        const unsigned char c = *p;
        char32_t cp = 0;
        int n = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        cp = c & (0xFF >> (n + 1));
        for (int k = 1; k < n; ++k) cp = cp << 6 | (p[k] & 0x3F);
        text.push_back(cp);
        p += n;
    }
    for (auto _ : st)
        for (int line = 0; line < 4; ++line)
            for (char32_t cp : text) {
                FT_Load_Char(face, cp, FT_LOAD_RENDER);
                benchmark::DoNotOptimize(face->glyph->bitmap.buffer);
            }
    st.SetItemsProcessed(st.iterations() * int64_t(text.size()) * 4);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    FcPatternDestroy(match);
    FcPatternDestroy(pat);
}
BENCHMARK(BM_FreeTypeSameGlyphs38);

}  // namespace

BENCHMARK_MAIN();
