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

}  // namespace

void NyDibSection::Adopt(std::unique_ptr<plat::PixelSection> section) {
    if (dc_) section->Select(*dc_);
    section_ = std::move(section);
}

void NyDibSection::Drop() {
    dc_.reset();
    section_.reset();
}

bool NyDibSection::GetDC(void** dc) {
    if (!section_ || dc_ || !dc) return false;
    dc_ = std::make_unique<plat::DrawSurface>();
    section_->Select(*dc_);
    *dc = dc_.get();
    return true;
}

bool NyDibSection::ReleaseDC(void* dc) {
    if (!dc_) return true;
    if (dc != dc_.get()) return false;
    dc_.reset();
    return true;
}

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

bool TNyRGBDib::NewSection(int w, int h) {
    std::unique_ptr<plat::PixelSection> section;
    if (!CreateDIB(w, h, &FPitch, &FBits, &section)) return false;
    FDib.Adopt(std::move(section));
    FModified = false;
    FModifiedSw = true;
    FModifiedOffCount = 0;
    return true;
}

bool TNyRGBDib::Create() {
    if (FCreated) return false;
    if (!ChkDepthAndFormat(FBitDepth, FPixFormat) || FWidth <= 0 || FHeight < 1 ||
        FBitDepth < bd16 || FBitDepth > bd32 || FPixFormat < pf16_565 || FPixFormat > pf32_8888)
        return false;
    if (!SetProcs() || !NewSection(FWidth, FHeight)) return false;
    FLocked = false;
    FLockCount = 0;
    FAttached = false;
    FCreated = true;
    return true;
}

void TNyRGBDib::Release() {
    if (!FCreated) return;
    while (FLocked)
        if (!Unlock()) break;
    FDib.Drop();
    FBits = nullptr;
    FPitch = 0;
    FCreated = false;
}

bool TNyRGBDib::Resize(int w, int h) {
    if (w < 1 || h <= 0) return false;
    if (FCreated && (FLocked || !NewSection(w, h))) return false;
    FWidth = w;
    FHeight = h;
    return true;
}

bool TNyRGBDib::HaveDC() {
    return true;
}

bool TNyRGBDib::GetDC(void** dc) {
    return FCreated && FDib.GetDC(dc);
}

bool TNyRGBDib::ReleaseDC(void* dc) {
    return FDib.ReleaseDC(dc);
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

bool TNyAlphaDib::NewSection(int w, int h) {
    std::unique_ptr<plat::PixelSection> section;
    if (!CreateDIB(w, h, &FPitch, &FBits, &section)) return false;
    FDib.Adopt(std::move(section));
    return true;
}

bool TNyAlphaDib::Create() {
    if (FCreated || FWidth <= 0 || FHeight <= 0 || !NewSection(FWidth, FHeight)) return false;
    FCreated = true;
    return true;
}

void TNyAlphaDib::Release() {
    if (!FCreated) return;
    FDib.Drop();
    FBits = nullptr;
    FPitch = 0;
    FCreated = false;
}

bool TNyAlphaDib::Resize(int w, int h) {
    if (w < 1 || h <= 0) return false;
    if (FCreated && !NewSection(w, h)) return false;
    FWidth = w;
    FHeight = h;
    return true;
}

bool TNyAlphaDib::GetDC(void** dc) {
    return FCreated && FDib.GetDC(dc);
}

bool TNyAlphaDib::ReleaseDC(void* dc) {
    return FDib.ReleaseDC(dc);
}

void TNyAlphaDib::Loaded() {
    Create();
}
