// Text drawn into pixel memory: the font engine behind the engine's fonts. A font is made
// from a logical description (face, height, weight, style, quality, character set), text
// arrives as bytes of the character set's code page, and drawing goes into a surface that
// stands in for a device context with a bitmap selected into it.
//
// All FreeType and fontconfig work is serialised by one lock, so fonts may be made and used
// from any thread.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

struct FontSpec {
    uint8_t charset = 134;
    std::string face;    // bytes of the face name, in the character set's code page
    int32_t height = 0;  // negative: character height in pixels; positive: cell height
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    uint8_t quality = 0;  // 3: monochrome glyphs; anything else: grey levels
    uint8_t pitch = 0;    // 0 default, 1 variable, 2 fixed
};

class RasterFont;

// Null when no face can be found or opened.
RasterFont* CreateRasterFont(const FontSpec& desc);
void DeleteRasterFont(RasterFont* font);
// The logical description a font was made from; false for a null font.
bool DescribeRasterFont(const RasterFont* font, FontSpec& out);
// The installed face a font was made from (family name, for diagnostics and tests).
std::string RasterFontFamily(const RasterFont* font);

// Pixel layouts a surface may have. The 16-bit ones keep the bits outside their colour
// fields (an alpha bit or nibble) as they are.
enum class SurfaceKind : uint8_t { Grey8, Rgb565, Rgb555, Rgb444, Bgr24, Bgrx32 };

struct DrawSurface {
    uint8_t* pixels = nullptr;  // row 0; rows are `pitch` bytes apart (negative: bottom-up)
    int32_t pitch = 0;
    int32_t width = 0;
    int32_t height = 0;
    SurfaceKind kind = SurfaceKind::Bgrx32;
    RasterFont* font = nullptr;
    uint32_t text_colour = 0;  // 0x00BBGGRR
    bool transparent = true;
    uint32_t back_colour = 0xFFFFFF;  // 0x00BBGGRR, filled behind the text when not transparent
};

struct TextExtent {
    int32_t cx = 0;
    int32_t cy = 0;
};

// Size of the text's cell row: the advance of every character and the cell height.
bool MeasureText(const RasterFont* font, std::string_view bytes, TextExtent& out);

// Draws the text with the top-left corner of its cell at (x, y), clipped to the surface.
bool DrawText(DrawSurface& surface, int32_t x, int32_t y, std::string_view bytes);

// The same for text already decoded (UTF-8 texts from outside the game, such as message
// boxes), whatever the font's character set.
bool MeasureCodePoints(const RasterFont* font, std::u32string_view text, TextExtent& out);
bool DrawCodePoints(DrawSurface& surface, int32_t x, int32_t y, std::u32string_view text);

}  // namespace plat
