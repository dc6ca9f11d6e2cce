// Bitmaps whose pixels live in a device-independent bitmap section, so that text can be drawn
// into them through a device context while the pixel kernels read and write the same memory.
// TNyRGBDib is a 16-, 24- or 32-bit TNyRGBBits; TNyAlphaDib an alpha plane drawn into as an
// 8-bit grey picture (white text writes 255, full coverage). Rows are stored top-down or
// bottom-up as Direction says; row 0 of the bitmap is always the top row (the pitch is
// negative for bottom-up sections). The device context handed out by GetDC is a
// plat::DrawSurface over the section; at most one is out at a time.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/pixelsection.h"
#include "platform/textrender.h"
#include "widgets/nyrgbbits.h"

enum TDIBDirection : uint8_t { ddBottomUp = 0, ddTopDown = 1 };

// The section behind a bitmap and the device context handed out over it.
class NyDibSection {
  public:
    // Takes a new section in place of the old one; a context still out draws into it.
    void Adopt(std::unique_ptr<plat::PixelSection> section);
    // Takes back a context still out and frees the section.
    void Drop();
    // False without a section or while a context is out.
    bool GetDC(void** dc);
    // True when no context is out; false for one that was not handed out.
    bool ReleaseDC(void* dc);

  private:
    std::unique_ptr<plat::PixelSection> section_;
    std::unique_ptr<plat::DrawSurface> dc_;
};

class TNyRGBDib : public TNyRGBBits {
  public:
    explicit TNyRGBDib(plat::TComponent* owner = nullptr);
    ~TNyRGBDib() override;

    TDIBDirection Direction() const { return FDirection; }
    // Only while not created.
    void SetDirection(TDIBDirection direction);

    // 8-bit and empty depths and formats are not made as sections.
    void SetBitDepth(ZRBitDepth depth) override;
    void SetPixFormat(ZRPixFormat format) override;

    // Makes a zero-filled section of w x h in the bitmap's format and direction.
    bool CreateDIB(int w, int h, int* pitch, unsigned char** pixels,
                   std::unique_ptr<plat::PixelSection>* section) const;

    bool Create() override;
    void Release() override;
    // A created bitmap gets a new zero-filled section; refused while locked.
    bool Resize(int w, int h) override;
    bool HaveDC() override;
    // dc receives a plat::DrawSurface* over the section.
    bool GetDC(void** dc) override;
    bool ReleaseDC(void* dc) override;
    // After the bitmap is read from a layout.
    void Loaded();

  private:
    // A zero-filled section of w x h in place of the current one (if any).
    bool NewSection(int w, int h);

    TDIBDirection FDirection = ddBottomUp;
    NyDibSection FDib;
};

class TNyAlphaDib : public TNyAlpha {
  public:
    explicit TNyAlphaDib(plat::TComponent* owner = nullptr);
    ~TNyAlphaDib() override;

    TDIBDirection Direction() const { return FDirection; }
    void SetDirection(TDIBDirection direction);

    bool CreateDIB(int w, int h, int* pitch, unsigned char** pixels,
                   std::unique_ptr<plat::PixelSection>* section) const;

    // A new or resized plane is zero-filled (nothing covered).
    bool Create() override;
    void Release() override;
    bool Resize(int w, int h) override;
    bool GetDC(void** dc) override;
    bool ReleaseDC(void* dc) override;
    void Loaded();

  private:
    bool NewSection(int w, int h);

    TDIBDirection FDirection = ddBottomUp;
    NyDibSection FDib;
};
