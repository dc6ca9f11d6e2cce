#include "platform/textrender.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/codepage.h"
#include "platform/fontfaces.h"

namespace plat {
namespace {

std::mutex& EngineLock() {
    static std::mutex m;
    return m;
}

FT_Library Library() {
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) l = nullptr;
        return l;
    }();
    return lib;
}

// Finds the file of the installed face that best matches a family name.
bool LocateFace(const std::string& family, bool bold, bool italic, std::string& file, int& index,
                std::string& found_family) {
    FcPattern* pat = FcPatternCreate();
    if (!pat) return false;
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pat, &result);
    FcPatternDestroy(pat);
    if (!match) return false;
    FcChar8* path = nullptr;
    FcChar8* fam = nullptr;
    int idx = 0;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
    if (ok) {
        file = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &idx) != FcResultMatch) idx = 0;
        index = idx;
        found_family = FcPatternGetString(match, FC_FAMILY, 0, &fam) == FcResultMatch
                           ? reinterpret_cast<const char*>(fam)
                           : family;
    }
    FcPatternDestroy(match);
    return ok;
}

struct FaceCloser {
    void operator()(FT_Face f) const { FT_Done_Face(f); }
};
using FacePtr = std::unique_ptr<FT_FaceRec_, FaceCloser>;

}  // namespace

class RasterFont {
  public:
    FontSpec desc;
    std::string family;
    FacePtr face;
    FacePtr fallback;
    bool fallback_tried = false;
    int32_t ascent = 0;
    int32_t descent = 0;
    int32_t em = 0;  // pixels per em
    // The cell is the em box (a stand-in at a character height): glyphs are kept inside it.
    bool em_cell = false;

    bool Open();
    FT_Face FaceFor(char32_t cp, FT_UInt& glyph);
    bool SizeFace(FT_Face f) const {
        return FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(em)) == 0;
    }
    FT_Int32 LoadFlags() const {
        return desc.quality == 3 ? (FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME)
                                 : FT_LOAD_TARGET_NORMAL;
    }
    int32_t BoldStrength() const { return desc.bold ? std::max(1, em / 24) : 0; }

    // Rendered glyphs kept for the font's life: text is drawn again and again from few
    // characters, and rasterising the outline is most of the cost of drawing it.
    struct Rendered {
        bool drawable = false;  // false: the glyph has no bitmap to draw
        int32_t advance = 0, left = 0, top = 0;
        uint32_t rows = 0, width = 0;
        int pitch = 0;
        unsigned char pixelMode = 0;
        std::vector<uint8_t> bits;
    };
    static constexpr size_t kMaxRendered = 4096;
    std::unordered_map<char32_t, Rendered> rendered;
};

namespace {

FacePtr OpenFace(const std::string& family, bool bold, bool italic, std::string* found) {
    std::string file, fam;
    int index = 0;
    if (!LocateFace(family, bold, italic, file, index, fam)) return nullptr;
    FT_Face f = nullptr;
    if (FT_New_Face(Library(), file.c_str(), index, &f) != 0) return nullptr;
    if (found) *found = fam;
    return FacePtr(f);
}

// The face's cell in font units: the Windows ascent and descent when the face has them.
void CellUnits(FT_Face f, int32_t& asc, int32_t& desc) {
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        asc = os2->usWinAscent;
        desc = os2->usWinDescent;
    } else {
        asc = f->ascender;
        desc = -f->descender;
    }
    if (asc + desc <= 0) {
        asc = f->units_per_EM * 7 / 8;
        desc = f->units_per_EM - asc;
    }
}

// The em box of a stand-in face in font units, split at the baseline: the typographic
// ascender and descender span it in the faces installed here. Ideographs are designed in a
// frame centred in the em box; where a face's typographic lines miss that frame (WenQuanYi
// Zen Hei draws its ideographs up to 0.05 em above its ascender and keeps 0.06 em free below
// them), the box is centred on the frame, which 国, 中 and 水 outline between them.
void EmBoxUnits(FT_Face f, int32_t& asc, int32_t& desc) {
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->sTypoAscender - os2->sTypoDescender > 0) {
        asc = os2->sTypoAscender;
        desc = -os2->sTypoDescender;
    } else if (f->ascender - f->descender > 0) {
        asc = f->ascender;
        desc = -f->descender;
    } else {
        asc = f->units_per_EM * 7 / 8;
        desc = f->units_per_EM - asc;
    }
    FT_Pos top = 0, bottom = 0;
    bool found = false;
    for (char32_t cp : {U'国', U'中', U'水'}) {
        const FT_UInt glyph = FT_Get_Char_Index(f, cp);
        if (glyph == 0 || FT_Load_Glyph(f, glyph, FT_LOAD_NO_SCALE) != 0 ||
            f->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
            continue;
        FT_BBox box;
        FT_Outline_Get_CBox(&f->glyph->outline, &box);
        top = found ? std::max(top, box.yMax) : box.yMax;
        bottom = found ? std::min(bottom, box.yMin) : box.yMin;
        found = true;
    }
    if (found && (top > asc || bottom < -desc)) {
        const int32_t span = asc + desc;
        asc = static_cast<int32_t>(std::clamp<FT_Pos>((top + bottom + span) / 2, 0, span));
        desc = span - asc;
    }
}

}  // namespace

bool RasterFont::Open() {
    std::string wanted = InstalledFamilyFor(desc.face, desc.charset, desc.pitch);
    face = OpenFace(wanted, desc.bold, desc.italic, &family);
    if (!face) return false;
    int32_t h = desc.height == 0 ? -16 : desc.height;
    em_cell = h < 0 && IsStandIn(desc.face, desc.charset);
    int32_t asc_u, desc_u;
    if (em_cell) {
        EmBoxUnits(face.get(), asc_u, desc_u);
        em = -h;
        ascent = static_cast<int32_t>(std::lround(double(asc_u) * em / (asc_u + desc_u)));
        descent = em - ascent;
        return SizeFace(face.get());
    }
    CellUnits(face.get(), asc_u, desc_u);
    int32_t upem = face->units_per_EM ? face->units_per_EM : 1000;
    if (h < 0) {
        em = -h;
    } else {
        em = std::max<int32_t>(
            1, static_cast<int32_t>(std::lround(double(h) * upem / (asc_u + desc_u))));
    }
    ascent = static_cast<int32_t>(std::lround(double(asc_u) * em / upem));
    descent = static_cast<int32_t>(std::lround(double(desc_u) * em / upem));
    if (h > 0) descent = h - ascent;  // the cell is exactly the height asked for
    return SizeFace(face.get());
}

FT_Face RasterFont::FaceFor(char32_t cp, FT_UInt& glyph) {
    glyph = FT_Get_Char_Index(face.get(), cp);
    if (glyph != 0) return face.get();
    if (!fallback_tried) {
        fallback_tried = true;
        fallback = OpenFace(FallbackFamilyFor(family), desc.bold, desc.italic, nullptr);
        if (fallback && !SizeFace(fallback.get())) fallback.reset();
    }
    if (fallback) {
        FT_UInt g = FT_Get_Char_Index(fallback.get(), cp);
        if (g != 0) {
            glyph = g;
            return fallback.get();
        }
    }
    return face.get();  // glyph 0: the face's own missing-character box
}

RasterFont* CreateRasterFont(const FontSpec& desc) {
    std::lock_guard<std::mutex> g(EngineLock());
    if (!Library()) return nullptr;
    auto font = std::make_unique<RasterFont>();
    font->desc = desc;
    if (!font->Open()) return nullptr;
    return font.release();
}

void DeleteRasterFont(RasterFont* font) {
    std::lock_guard<std::mutex> g(EngineLock());
    delete font;
}

bool DescribeRasterFont(const RasterFont* font, FontSpec& out) {
    if (!font) return false;
    out = font->desc;
    return true;
}

std::string RasterFontFamily(const RasterFont* font) {
    return font ? font->family : std::string();
}

namespace {

// Loads a glyph with the font's synthetic styles applied; the slot then holds its outline
// (or bitmap) and the advance in pixels.
bool LoadStyled(RasterFont& f, char32_t cp, FT_GlyphSlot& slot, int32_t& advance) {
    FT_UInt glyph;
    FT_Face face = f.FaceFor(cp, glyph);
    if (FT_Load_Glyph(face, glyph, f.LoadFlags() | FT_LOAD_NO_BITMAP) != 0 &&
        FT_Load_Glyph(face, glyph, f.LoadFlags()) != 0) {
        return false;
    }
    slot = face->glyph;
    if (f.desc.italic && slot->format == FT_GLYPH_FORMAT_OUTLINE) FT_GlyphSlot_Oblique(slot);
    if (f.desc.bold && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        FT_Outline_Embolden(&slot->outline, f.BoldStrength() * 64);
    }
    advance = static_cast<int32_t>((slot->advance.x + 32) >> 6) + f.BoldStrength();
    return true;
}

struct Rgb {
    uint8_t r, g, b;
};

Rgb FromColourRef(uint32_t c) {
    return Rgb{static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8),
               static_cast<uint8_t>(c >> 16)};
}

// Weighted on both sides so that full coverage gives the text colour exactly, whichever of
// the two is darker.
uint8_t Mix(uint8_t d, uint8_t s, int a) {
    return static_cast<uint8_t>((d * (255 - a) + s * a + 127) / 255);
}

void PutPixel(DrawSurface& s, int32_t x, int32_t y, Rgb c, int a) {
    if (x < 0 || y < 0 || x >= s.width || y >= s.height || a <= 0) return;
    uint8_t* row = s.pixels + static_cast<int64_t>(y) * s.pitch;
    switch (s.kind) {
        case SurfaceKind::Grey8: {
            uint8_t v = static_cast<uint8_t>((c.r + c.g + c.b + 1) / 3);
            row[x] = Mix(row[x], v, a);
            break;
        }
        case SurfaceKind::Bgr24:
        case SurfaceKind::Bgrx32: {
            uint8_t* p = row + x * (s.kind == SurfaceKind::Bgr24 ? 3 : 4);
            p[0] = Mix(p[0], c.b, a);
            p[1] = Mix(p[1], c.g, a);
            p[2] = Mix(p[2], c.r, a);
            break;
        }
        case SurfaceKind::Rgb565:
        case SurfaceKind::Rgb555:
        case SurfaceKind::Rgb444: {
            // Field widths and positions of red, green and blue.
            const int rb = s.kind == SurfaceKind::Rgb444 ? 4 : 5;
            const int gb = s.kind == SurfaceKind::Rgb565 ? 6 : rb;
            const int gs = rb, rs = rb + gb;
            uint8_t* p = row + x * 2;
            uint16_t v = static_cast<uint16_t>(p[0] | (p[1] << 8));
            auto get = [v](int shift, int bits) {
                int f = (v >> shift) & ((1 << bits) - 1);
                return static_cast<uint8_t>((f << (8 - bits)) | (f >> (2 * bits - 8)));
            };
            auto put = [](uint8_t c8, int shift, int bits) { return (c8 >> (8 - bits)) << shift; };
            const int fields = (((1 << rb) - 1) << rs) | (((1 << gb) - 1) << gs) | ((1 << rb) - 1);
            int out = (v & ~fields) | put(Mix(get(rs, rb), c.r, a), rs, rb) |
                      put(Mix(get(gs, gb), c.g, a), gs, gb) | put(Mix(get(0, rb), c.b, a), 0, rb);
            p[0] = static_cast<uint8_t>(out);
            p[1] = static_cast<uint8_t>(out >> 8);
            break;
        }
    }
}

void FillBox(DrawSurface& s, int32_t x0, int32_t y0, int32_t x1, int32_t y1, Rgb c) {
    for (int32_t y = std::max(0, y0); y < std::min(s.height, y1); ++y) {
        for (int32_t x = std::max(0, x0); x < std::min(s.width, x1); ++x) PutPixel(s, x, y, c, 255);
    }
}

// Where a glyph's bitmap of the given extent starts along one axis so that it lies inside
// the span [from, from + size), when it fits there.
int32_t Inside(int32_t at, uint32_t extent, int32_t from, int32_t size) {
    if (extent > static_cast<uint32_t>(std::max(size, 0))) return at;
    return std::clamp(at, from, from + size - static_cast<int32_t>(extent));
}

void BlitGlyph(DrawSurface& s, const FT_Bitmap& bm, int32_t left, int32_t top, Rgb c) {
    if (s.kind == SurfaceKind::Grey8) {
        // Text into alpha planes is the common case: clip once and write the grey directly.
        const uint8_t v = static_cast<uint8_t>((c.r + c.g + c.b + 1) / 3);
        const int32_t c0 = std::max<int32_t>(0, -left);
        const int32_t c1 = std::min<int64_t>(bm.width, int64_t(s.width) - left);
        const int32_t r0 = std::max<int32_t>(0, -top);
        const int32_t r1 = std::min<int64_t>(bm.rows, int64_t(s.height) - top);
        const bool mono = bm.pixel_mode == FT_PIXEL_MODE_MONO;
        for (int32_t row = r0; row < r1; ++row) {
            const uint8_t* src = bm.buffer + static_cast<int64_t>(row) * bm.pitch;
            uint8_t* dst = s.pixels + static_cast<int64_t>(top + row) * s.pitch + left;
            for (int32_t col = c0; col < c1; ++col) {
                if (mono) {
                    if ((src[col >> 3] >> (7 - (col & 7))) & 1) dst[col] = v;
                } else if (src[col] != 0) {
                    dst[col] = src[col] == 255 ? v : Mix(dst[col], v, src[col]);
                }
            }
        }
        return;
    }
    for (uint32_t row = 0; row < bm.rows; ++row) {
        const uint8_t* src = bm.buffer + static_cast<int64_t>(row) * bm.pitch;
        for (uint32_t col = 0; col < bm.width; ++col) {
            int a = bm.pixel_mode == FT_PIXEL_MODE_MONO
                        ? ((src[col >> 3] >> (7 - (col & 7))) & 1) * 255
                        : src[col];
            PutPixel(s, left + static_cast<int32_t>(col), top + static_cast<int32_t>(row), c, a);
        }
    }
}

}  // namespace

bool MeasureText(const RasterFont* font, std::string_view bytes, TextExtent& out) {
    if (!font) return false;
    const auto cps = ToCodePoints(bytes, CodePageForCharset(font->desc.charset));
    return MeasureCodePoints(font, std::u32string_view(cps.data(), cps.size()), out);
}

bool MeasureCodePoints(const RasterFont* cfont, std::u32string_view cps, TextExtent& out) {
    if (!cfont) return false;
    std::lock_guard<std::mutex> g(EngineLock());
    RasterFont& f = const_cast<RasterFont&>(*cfont);
    int32_t cx = 0;
    for (char32_t cp : cps) {
        FT_GlyphSlot slot;
        int32_t adv = 0;
        if (LoadStyled(f, cp, slot, adv)) cx += adv;
    }
    out.cx = cx;
    out.cy = f.ascent + f.descent;
    return true;
}

bool DrawText(DrawSurface& s, int32_t x, int32_t y, std::string_view bytes) {
    if (!s.font || !s.pixels) return false;
    const auto cps = ToCodePoints(bytes, CodePageForCharset(s.font->desc.charset));
    return DrawCodePoints(s, x, y, std::u32string_view(cps.data(), cps.size()));
}

bool DrawCodePoints(DrawSurface& s, int32_t x, int32_t y, std::u32string_view cps) {
    if (!s.font || !s.pixels) return false;
    std::lock_guard<std::mutex> g(EngineLock());
    RasterFont& f = *s.font;
    Rgb colour = FromColourRef(s.text_colour);
    int32_t baseline = y + f.ascent;
    int32_t pen = x;
    // In an em-box cell a glyph that reaches a row or a column past its cell (the em high,
    // its advance wide) but fits in it is moved inside: whole strokes matter more than a pixel
    // of position, and drawing it smaller would not always help, as hinting snaps it back.
    auto blit = [&](const FT_Bitmap& bm, int32_t left, int32_t top, int32_t advance) {
        int32_t gx = pen + left, gy = baseline - top;
        if (f.em_cell) {
            gx = Inside(gx, bm.width, pen, advance);
            gy = Inside(gy, bm.rows, y, f.em);
        }
        BlitGlyph(s, bm, gx, gy, colour);
    };
    if (!s.transparent) {
        int32_t width = 0;
        for (char32_t cp : cps) {
            FT_GlyphSlot slot;
            int32_t adv = 0;
            if (LoadStyled(f, cp, slot, adv)) width += adv;
        }
        FillBox(s, x, y, x + width, y + f.ascent + f.descent, FromColourRef(s.back_colour));
    }
    for (char32_t cp : cps) {
        auto it = f.rendered.find(cp);
        if (it == f.rendered.end()) {
            FT_GlyphSlot slot;
            int32_t adv = 0;
            if (!LoadStyled(f, cp, slot, adv)) continue;
            RasterFont::Rendered r;
            r.advance = adv;
            FT_Render_Mode mode =
                f.desc.quality == 3 ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL;
            if (slot->format == FT_GLYPH_FORMAT_BITMAP || FT_Render_Glyph(slot, mode) == 0) {
                const FT_Bitmap& bm = slot->bitmap;
                if (bm.pitch < 0) {
                    // Rows running upward are rare enough to be drawn without keeping them.
                    blit(bm, slot->bitmap_left, slot->bitmap_top, adv);
                    pen += adv;
                    continue;
                }
                r.drawable = bm.buffer != nullptr && bm.rows > 0;
                r.left = slot->bitmap_left;
                r.top = slot->bitmap_top;
                r.rows = bm.rows;
                r.width = bm.width;
                r.pitch = bm.pitch;
                r.pixelMode = bm.pixel_mode;
                if (r.drawable) r.bits.assign(bm.buffer, bm.buffer + size_t(bm.rows) * bm.pitch);
            }
            if (f.rendered.size() >= RasterFont::kMaxRendered) f.rendered.clear();
            it = f.rendered.emplace(cp, std::move(r)).first;
        }
        const RasterFont::Rendered& r = it->second;
        if (r.drawable) {
            FT_Bitmap bm{};
            bm.rows = r.rows;
            bm.width = r.width;
            bm.pitch = r.pitch;
            bm.pixel_mode = r.pixelMode;
            bm.buffer = const_cast<uint8_t*>(r.bits.data());
            blit(bm, r.left, r.top, r.advance);
        }
        pen += r.advance;
    }
    int32_t thickness = std::max(1, f.em / 16);
    if (f.desc.underline) {
        int32_t uy = baseline + std::max(1, f.descent / 2);
        FillBox(s, x, uy, pen, uy + thickness, colour);
    }
    if (f.desc.strikeout) {
        int32_t sy = baseline - f.ascent * 3 / 10;
        FillBox(s, x, sy, pen, sy + thickness, colour);
    }
    return true;
}

}  // namespace plat
