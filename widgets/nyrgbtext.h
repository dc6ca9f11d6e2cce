// TNyRGBText: a panel showing one line of text, rendered by the font engine into buffers of
// its own. The plain rendering draws the text in its colour onto a colour-key background;
// the anti-aliased one draws it white at twice the size into an 8-bit plane, reduces that by
// 2 x 2 averaging into an alpha plane, and paints the text colour through the plane. Screens
// call MakeBuffer when they start, SetText when the text changes and ReleaseBuffer at the
// end; the panel's size is taken when the buffers are made.
#pragma once
#include <cstdint>
#include <memory>

#include "foundation/zrfont.h"
#include "foundation/zrstring.h"
#include "platform/tfont.h"
#include "widgets/nyrgbdib.h"
#include "widgets/nyrgbpanel.h"

class TNyRGBText : public TNyRGBPanel {
  public:
    explicit TNyRGBText(plat::TComponent* owner);
    TNyRGBText(plat::TComponent* owner, TNyRGBPanel* parent);
    ~TNyRGBText() override;

    // Builds the buffers in the given colour format (the display's) and renders the text.
    bool MakeBuffer(ZRPixFormat format);
    bool CreateBuffer();
    void ReleaseBuffer();
    bool HasBuffer() const { return FBuffer; }
    void DrawTextA();

    // Text bytes in the game's multibyte code page; they take the place of the panel's text.
    const ZRString& GetText() const { return FText; }
    void SetText(const ZRString& text);
    // 0x00RRGGBB; the plain rendering's background is its complement.
    uint32_t GetTextColor() const { return FTextColor; }
    void SetTextColor(uint32_t rgb);
    int GetTextColorRed() const { return (FTextColor >> 16) & 0xFF; }
    int GetTextColorGreen() const { return (FTextColor >> 8) & 0xFF; }
    int GetTextColorBlue() const { return FTextColor & 0xFF; }
    void SetTextColorRed(int r);
    void SetTextColorGreen(int g);
    void SetTextColorBlue(int b);
    uint32_t GetKeyColor() const { return FKeyColor; }
    // Pixels, always even.
    int GetFontSize() const { return FFontSize; }
    void SetFontSize(int n);
    // Face, style and character set of the text; the panel keeps its own copy.
    const plat::TFont* GetFont() const { return FFont.get(); }
    void SetFont(const plat::TFont* font);
    bool GetAntiAliase() const { return FAntiAliase; }
    void SetAntiAliase(bool on);
    bool GetCentering() const { return FCentering; }
    void SetCentering(bool on);
    // 0, 1 or 2: the weight given to the reduced coverage.
    int GetAAShade() const { return FAAShade; }
    void SetAAShade(int n);

    const ZRFont& GetTextFont() const { return FTextFont; }
    void MakeTextFont();
    void ChangeState();

    bool CallOnDraw(TNyRGBBits* dest, int x, int y, int sx, int sy, int dx, int dy) override;

    // One value of the anti-aliased alpha plane from the sum of four double-size values.
    static unsigned char ReducedAlpha(int sum, int shade);

  private:
    void Init();
    // Top-left corner of the text in the panel.
    void TextOrigin(int& x, int& y) const;
    void RenderAntiAliased(int x, int y);
    void RenderPlain(int x, int y);

    bool FBuffer = false;
    ZRString FText;
    bool FAntiAliase = false;
    uint32_t FTextColor = 0xFFFFFF;
    uint32_t FKeyColor = 0;
    std::unique_ptr<TNyRGBDib> FColorBuffer;
    std::unique_ptr<TNyAlpha> FAlphaPlane;
    std::unique_ptr<TNyAlphaDib> FDoubleBuffer;
    ZRFont FTextFont;
    int FFontSize = 24;
    std::unique_ptr<plat::TFont> FFont;
    ZRPixFormat FBufferFormat = pf24_888;
    bool FCentering = false;
    int FAAShade = 0;
};
