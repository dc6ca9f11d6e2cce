#include "widgets/nyrgbdib.h"

namespace {

plat::SurfaceKind KindOf(ZRPixFormat format) {
    switch (format) {
        case pf16_565:
            return plat::SurfaceKind::Rgb565;
        case pf16_555:
        case pf16_5551:
            return plat::SurfaceKind::Rgb555;
        case pf16_4444:
            return plat::SurfaceKind::Rgb444;
        case pf24_888:
            return plat::SurfaceKind::Bgr24;
        default:
            return plat::SurfaceKind::Bgrx32;
    }
}

bool MakeSection(int w, int h, plat::SurfaceKind kind, TDIBDirection direction, int* pitch,
                 unsigned char** pixels, std::unique_ptr<plat::PixelSection>* section) {
    auto s = plat::PixelSection::Create(w, h, kind, direction == ddTopDown);
    if (!s) return false;
    *pitch = s->Pitch();
    *pixels = s->Top();
    *section = std::move(s);
    return true;
}

// The device context of a section: one at a time.
bool HandOut(const plat::PixelSection& section, std::unique_ptr<plat::DrawSurface>& dc,
             void** out) {
    if (dc || !out) return false;
    dc = std::make_unique<plat::DrawSurface>();
    section.Select(*dc);
    *out = dc.get();
    return true;
}

bool TakeBack(std::unique_ptr<plat::DrawSurface>& dc, void* given) {
    if (!dc) return true;
    if (given != dc.get()) return false;
    dc.reset();
    return true;
}

}  // namespace

TNyRGBDib::TNyRGBDib(plat::TComponent* owner) : TNyRGBBits(owner) {}

TNyRGBDib::~TNyRGBDib() {
    TNyRGBDib::Release();
}

void TNyRGBDib::SetDirection(TDIBDirection direction) {
    if (!FCreated) FDirection = direction;
}

void TNyRGBDib::SetBitDepth(ZRBitDepth depth) {
    if (depth == bdNone || depth == bd8) return;
    TNyRGBBits::SetBitDepth(depth);
}

void TNyRGBDib::SetPixFormat(ZRPixFormat format) {
    if (format == pfNone) return;
    TNyRGBBits::SetPixFormat(format);
}

bool TNyRGBDib::CreateDIB(int w, int h, int* pitch, unsigned char** pixels,
                          std::unique_ptr<plat::PixelSection>* section) const {
    return MakeSection(w, h, KindOf(FPixFormat), FDirection, pitch, pixels, section);
}

bool TNyRGBDib::Create() {
    if (FCreated) return false;
    if (!ChkDepthAndFormat(FBitDepth, FPixFormat) || FWidth <= 0 || FHeight < 1 ||
        FBitDepth < bd16 || FBitDepth > bd32 || FPixFormat < pf16_565 || FPixFormat > pf32_8888)
        return false;
    std::unique_ptr<plat::PixelSection> section;
    int pitch = 0;
    unsigned char* pixels = nullptr;
    if (!CreateDIB(FWidth, FHeight, &pitch, &pixels, &section)) return false;
    if (!SetProcs()) return false;
    FSection = std::move(section);
    FBits = pixels;
    FPitch = pitch;
    FLocked = false;
    FLockCount = 0;
    FModified = false;
    FModifiedSw = true;
    FModifiedOffCount = 0;
    FAttached = false;
    FCreated = true;
    return true;
}

void TNyRGBDib::Release() {
    if (!FCreated) return;
    while (FLocked)
        if (!Unlock()) break;
    FDC.reset();
    FSection.reset();
    FBits = nullptr;
    FPitch = 0;
    FCreated = false;
}

bool TNyRGBDib::Resize(int w, int h) {
    if (w < 1 || h <= 0) return false;
    if (FCreated) {
        if (FLocked) return false;
        std::unique_ptr<plat::PixelSection> section;
        int pitch = 0;
        unsigned char* pixels = nullptr;
        if (!CreateDIB(w, h, &pitch, &pixels, &section)) return false;
        if (FDC) section->Select(*FDC);
        FSection = std::move(section);
        FBits = pixels;
        FPitch = pitch;
        FModified = false;
        FModifiedSw = true;
        FModifiedOffCount = 0;
    }
    FWidth = w;
    FHeight = h;
    return true;
}

bool TNyRGBDib::HaveDC() {
    return true;
}

bool TNyRGBDib::GetDC(void** dc) {
    return FCreated && HandOut(*FSection, FDC, dc);
}

bool TNyRGBDib::ReleaseDC(void* dc) {
    return TakeBack(FDC, dc);
}

void TNyRGBDib::Loaded() {
    Create();
}

TNyAlphaDib::TNyAlphaDib(plat::TComponent* owner) : TNyAlpha(owner) {}

TNyAlphaDib::~TNyAlphaDib() {
    TNyAlphaDib::Release();
}

void TNyAlphaDib::SetDirection(TDIBDirection direction) {
    if (!FCreated) FDirection = direction;
}

bool TNyAlphaDib::CreateDIB(int w, int h, int* pitch, unsigned char** pixels,
                            std::unique_ptr<plat::PixelSection>* section) const {
    return MakeSection(w, h, plat::SurfaceKind::Grey8, FDirection, pitch, pixels, section);
}

bool TNyAlphaDib::Create() {
    if (FCreated || FWidth <= 0 || FHeight <= 0) return false;
    if (!CreateDIB(FWidth, FHeight, &FPitch, &FBits, &FSection)) return false;
    FCreated = true;
    return true;
}

void TNyAlphaDib::Release() {
    if (!FCreated) return;
    FDC.reset();
    FSection.reset();
    FBits = nullptr;
    FPitch = 0;
    FCreated = false;
}

bool TNyAlphaDib::Resize(int w, int h) {
    if (w < 1 || h <= 0) return false;
    if (FCreated) {
        std::unique_ptr<plat::PixelSection> section;
        int pitch = 0;
        unsigned char* pixels = nullptr;
        if (!CreateDIB(w, h, &pitch, &pixels, &section)) return false;
        if (FDC) section->Select(*FDC);
        FSection = std::move(section);
        FBits = pixels;
        FPitch = pitch;
    }
    FWidth = w;
    FHeight = h;
    return true;
}

bool TNyAlphaDib::GetDC(void** dc) {
    return FCreated && HandOut(*FSection, FDC, dc);
}

bool TNyAlphaDib::ReleaseDC(void* dc) {
    return TakeBack(FDC, dc);
}

void TNyAlphaDib::Loaded() {
    Create();
}
