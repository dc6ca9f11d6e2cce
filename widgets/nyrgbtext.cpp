#include "widgets/nyrgbtext.h"

#include <algorithm>

#include "platform/codepage.h"

TNyRGBText::TNyRGBText(plat::TComponent* owner) : TNyRGBPanel(owner) {
    Init();
}

TNyRGBText::TNyRGBText(plat::TComponent* owner, TNyRGBPanel* parent) : TNyRGBPanel(owner, parent) {
    Init();
}

void TNyRGBText::Init() {
    SetSizeX(160);
    SetSizeY(24);
    SetAutoSize(false);
    FFont = std::make_unique<plat::TFont>();
    FFont->height = -24;
    FFont->name = plat::SjisText("ＭＳ ゴシック");
    FFont->pitch = plat::FontPitch::Fixed;
}

TNyRGBText::~TNyRGBText() {
    ReleaseBuffer();
}

bool TNyRGBText::MakeBuffer(ZRPixFormat format) {
    FBufferFormat = format;
    const bool made = CreateBuffer();
    DrawTextA();
    return made;
}

bool TNyRGBText::CreateBuffer() {
    if (FBuffer) ReleaseBuffer();
    const int w = GetSizeX(), h = GetSizeY();
    if (FAntiAliase) {
        auto plane = std::make_unique<TNyAlpha>();
        auto twice = std::make_unique<TNyAlphaDib>();
        if (!plane->Resize(w, h) || !plane->Create() || !twice->Resize(2 * w, 2 * h) ||
            !twice->Create())
            return false;
        FAlphaPlane = std::move(plane);
        FDoubleBuffer = std::move(twice);
        SetAlpha(FAlphaPlane.get());
        SetMaskMode(1);
    } else {
        auto dib = std::make_unique<TNyRGBDib>();
        dib->SetPixFormat(FBufferFormat);
        // A refused size must not leave the bitmap's default size behind it.
        if (!dib->Resize(w, h) || !dib->Create()) return false;
        FColorBuffer = std::move(dib);
        SetImage(FColorBuffer.get());
        SetMaskMode(2);
        SetColorKey(ZRRGB(FKeyColor));
    }
    MakeTextFont();
    FBuffer = true;
    return true;
}

void TNyRGBText::ReleaseBuffer() {
    SetImage(nullptr);
    SetAlpha(nullptr);
    FColorBuffer.reset();
    FAlphaPlane.reset();
    FDoubleBuffer.reset();
    FTextFont.Release();
    FBuffer = false;
}

void TNyRGBText::TextOrigin(int& x, int& y) const {
    x = y = 0;
    if (!FCentering) return;
    // Every byte counts as a half-width cell, so a double-byte character is a full-width one.
    const int64_t width = int64_t(FText.Length()) * (FFontSize / 2);
    // Far enough off the panel to draw nothing, near enough that doubling it cannot overflow.
    constexpr int64_t kFar = int64_t{1} << 28;
    x = static_cast<int>(std::clamp<int64_t>((GetSizeX() - width) / 2, -kFar, kFar));
    y = static_cast<int>(std::clamp<int64_t>((int64_t(GetSizeY()) - FFontSize) / 2, -kFar, kFar));
}

unsigned char TNyRGBText::ReducedAlpha(int sum, int shade) {
    switch (shade) {
        case 1:
            return static_cast<unsigned char>(std::min(255, 3 * sum / 8));
        case 2:
            return static_cast<unsigned char>(std::min(255, sum / 2));
        default:
            return static_cast<unsigned char>(sum / 4);
    }
}

void TNyRGBText::RenderAntiAliased(int x, int y) {
    TNyAlphaDib& twice = *FDoubleBuffer;
    twice.BoxFill(0, 0, twice.Width() - 1, twice.Height() - 1, 0);
    void* dc = nullptr;
    if (twice.GetDC(&dc)) {
        if (FTextFont.StartTextOut(static_cast<plat::DrawSurface*>(dc), 0xFFFFFF)) {
            FTextFont.Write(2 * x, 2 * y, FText);
            FTextFont.EndTextOut();
        }
        twice.ReleaseDC(dc);
    }
    TNyAlpha& plane = *FAlphaPlane;
    for (int py = 0; py < plane.Height(); ++py) {
        const unsigned char* upper = twice.ValueAt(0, 2 * py);
        const unsigned char* lower = twice.ValueAt(0, 2 * py + 1);
        unsigned char* out = plane.ValueAt(0, py);
        for (int px = 0; px < plane.Width(); ++px) {
            const int sum = upper[2 * px] + upper[2 * px + 1] + lower[2 * px] + lower[2 * px + 1];
            out[px] = ReducedAlpha(sum, FAAShade);
        }
    }
}

void TNyRGBText::RenderPlain(int x, int y) {
    TNyRGBDib& dib = *FColorBuffer;
    // The key as a pixel of the buffer's own format, which is what the key test compares.
    dib.BoxFill(0, 0, dib.Width() - 1, dib.Height() - 1, dib.TNyRGBtoPixel(ZRRGB(FKeyColor)));
    void* dc = nullptr;
    if (!dib.GetDC(&dc)) return;
    if (FTextFont.StartTextOut(static_cast<plat::DrawSurface*>(dc), FTextColor)) {
        FTextFont.Write(x, y, FText);
        FTextFont.EndTextOut();
    }
    dib.ReleaseDC(dc);
}

void TNyRGBText::DrawTextA() {
    if (!FBuffer) return;
    int x, y;
    TextOrigin(x, y);
    if (FAntiAliase)
        RenderAntiAliased(x, y);
    else
        RenderPlain(x, y);
    SetModify();
}

void TNyRGBText::SetText(const ZRString& text) {
    FText = text;
    if (FBuffer) DrawTextA();
}

void TNyRGBText::SetTextColor(uint32_t rgb) {
    if (rgb == FTextColor) return;
    FTextColor = rgb;
    FKeyColor = rgb ^ 0xFFFFFF;
    SetColorKey(ZRRGB(FKeyColor));
    if (!FBuffer) return;
    // The anti-aliased coverage does not depend on the colour: repainting is enough.
    if (FAntiAliase)
        SetModify();
    else
        DrawTextA();
}

void TNyRGBText::SetTextColorRed(int r) {
    SetTextColor((FTextColor & ~0xFF0000u) | (uint32_t(r) & 0xFF) << 16);
}
void TNyRGBText::SetTextColorGreen(int g) {
    SetTextColor((FTextColor & ~0x00FF00u) | (uint32_t(g) & 0xFF) << 8);
}
void TNyRGBText::SetTextColorBlue(int b) {
    SetTextColor((FTextColor & ~0x0000FFu) | (uint32_t(b) & 0xFF));
}

void TNyRGBText::SetFontSize(int n) {
    n &= ~1;
    if (n == FFontSize) return;
    FFontSize = n;
    if (!FBuffer) return;
    MakeTextFont();
    DrawTextA();
}

void TNyRGBText::SetFont(const plat::TFont* font) {
    if (!font) return;
    *FFont = *font;
    if (!FBuffer) return;
    MakeTextFont();
    DrawTextA();
}

void TNyRGBText::SetAntiAliase(bool on) {
    if (on == FAntiAliase) return;
    FAntiAliase = on;
    // New buffers start empty: render the text into them at once.
    if (FBuffer && CreateBuffer()) DrawTextA();
}

void TNyRGBText::SetCentering(bool on) {
    if (on == FCentering) return;
    FCentering = on;
    if (FBuffer) DrawTextA();
}

void TNyRGBText::SetAAShade(int n) {
    if (n < 0 || n >= 3 || n == FAAShade) return;
    FAAShade = n;
    if (FBuffer) DrawTextA();
}

void TNyRGBText::MakeTextFont() {
    FTextFont.Release();
    FFont->height = FAntiAliase ? -2 * FFontSize : -FFontSize;
    FFont->pitch = plat::FontPitch::Fixed;
    FTextFont.CopyFromTFont(FFont.get(), fqNonAntialiased);
    FTextFont.Create();
}

void TNyRGBText::ChangeState() {
    if (GetCreated() && GetVisible()) SetModify();
}

bool TNyRGBText::CallOnDraw(TNyRGBBits* dest, int x, int y, int sx, int sy, int dx, int dy) {
    if (TNyRGBPanel::CallOnDraw(dest, x, y, sx, sy, dx, dy)) return true;
    TNyAlpha* plane = GetAlpha();
    if (!FAntiAliase || !plane) return false;
    const int blockHeight = plane->Height() / GetNumBlock();
    const int w = std::min(dx, plane->Width() - sx);
    const int h = std::min(dy, blockHeight - sy);
    if (w > 0 && h > 0)
        dest->AlphaFillRate(x, y, dest->TNyRGBtoPixel(ZRRGB(FTextColor)), sx,
                            sy + blockHeight * GetBlockIndex(), w, h, plane, 128);
    return true;
}
