// ZRFont: a font described by face, height, pitch, style, quality and character set, with
// the handle made from it and the calls that measure and draw text with it into a drawing
// surface. Fonts with equal attributes share one handle from a process-wide cache, counted
// by reference.
#pragma once
#include <cstdint>

#include "foundation/zrstd.h"
#include "foundation/zrstring.h"
#include "platform/textrender.h"
#include "platform/tfont.h"

enum ZRFontPitch : uint8_t { fpDefault = 0, fpVariable = 1, fpFixed = 2 };
enum ZRFontQuality : uint8_t {
    fqDefault = 0,
    fqDraft = 1,
    fqProof = 2,
    fqNonAntialiased = 3,
    fqAntialiased = 4,
};
// Style bits: 0 bold, 1 italic, 2 underline, 3 strike-out.
enum ZRFontStyleBit { fsBold = 0, fsItalic = 1, fsUnderline = 2, fsStrikeOut = 3 };
using ZRFontStyle = uint8_t;

struct ZRFontParam {
    uint8_t charset = 134;
    ZRString name = "Default";
    int height = 0;
    ZRFontPitch pitch = fpDefault;
    ZRFontStyle style = 0;
    ZRFontQuality quality = fqDefault;
};

using ZRFontHandle = plat::RasterFont*;

class ZRFont {
  public:
    ZRFont() = default;
    ZRFont(const ZRFont& f);
    explicit ZRFont(const ZRFontParam& p);
    ~ZRFont();
    ZRFont& operator=(const ZRFont& f);
    ZRFont& operator=(const ZRFontParam& p);

    bool Create();
    void Release();
    bool IsCreated() const { return handle_ != nullptr; }
    ZRFontHandle GetHandle() const { return handle_; }
    void RenewHandle();

    void SetCharset(unsigned char charset);
    void SetName(const ZRString& name);
    void SetHeight(int height);
    void SetPitch(ZRFontPitch pitch);
    void SetStyle(ZRFontStyle style);
    void SetQuality(ZRFontQuality quality);
    void AddStyle(int bit);
    void DelStyle(int bit);
    unsigned char GetCharset() const { return charset_; }
    ZRString GetName() const { return name_; }
    int GetHeight() const { return height_; }
    ZRFontPitch GetPitch() const { return pitch_; }
    ZRFontStyle GetStyle() const { return style_; }
    ZRFontQuality GetQuality() const { return quality_; }
    bool CheckStyle(int bit) const { return bit >= 0 && bit < 4 && (style_ >> bit) & 1; }

    void CopyFromTFont(const plat::TFont* f);
    void CopyFromTFont(const plat::TFont* f, ZRFontQuality q);
    void CopyFromHandle(ZRFontHandle h);

    // Text output into a drawing surface; colours are 0x00RRGGBB.
    bool StartTextOut(plat::DrawSurface* dc, uint32_t rgb);
    void EndTextOut();
    void SetColor(uint32_t rgb);
    bool GetExtentPoint(const char* text, int length, ZRSize* size) const;
    bool GetExtentPoint(const ZRString& text, ZRSize* size) const;
    bool Write(int x, int y, const char* text, int length);
    bool Write(int x, int y, const ZRString& text);

  private:
    void CopyAttributes(const ZRFont& f);
    void TakeAttributes(const ZRFontParam& p);
    void Select(ZRFontHandle h);

    ZRFontHandle handle_ = nullptr;
    uint8_t charset_ = 134;
    ZRString name_ = "Default";
    int height_ = 0;
    ZRFontPitch pitch_ = fpDefault;
    ZRFontStyle style_ = 0;
    ZRFontQuality quality_ = fqDefault;
    plat::DrawSurface* dc_ = nullptr;
    ZRFontHandle previous_ = nullptr;
};

int _ZRDBG_GetFontSize();
int _ZRDBG_GetFontList(ZRFontParam* out, int max);
