// Display surfaces: bitmaps whose pixels belong to the display service, and the two
// converters between the service's pixel layouts and the engine's depth and format.
#include "devices/nyddraw.h"
#include "platform/textrender.h"

namespace DirectX {

void DDPixelFormatToFormat(const plat::PixelFormatDesc& pf, ZRBitDepth& depth,
                           ZRPixFormat& format) {
    depth = bdNone;
    format = pfNone;
    if (pf.flags & plat::PixelFormatDesc::kPalette8) {
        if (pf.bitCount == 8) depth = bd8;
        return;
    }
    if (!(pf.flags & plat::PixelFormatDesc::kRgb)) return;
    const uint32_t alpha = (pf.flags & plat::PixelFormatDesc::kAlphaPixels) ? pf.alphaMask : 0;
    auto matches = [&](ZRPixFormat f) {
        return RGBBitMask[f][0] == pf.redMask && RGBBitMask[f][1] == pf.greenMask &&
               RGBBitMask[f][2] == pf.blueMask && RGBBitMask[f][3] == alpha;
    };
    auto pick = [&](ZRBitDepth d, std::initializer_list<ZRPixFormat> candidates) {
        depth = d;
        for (ZRPixFormat f : candidates)
            if (matches(f)) {
                format = f;
                return;
            }
    };
    switch (pf.bitCount) {
        case 16:
            pick(bd16, {pf16_565, pf16_555, pf16_5551, pf16_4444});
            break;
        case 24:
            pick(bd24, {pf24_888});
            break;
        case 32:
            pick(bd32, {pf32_888, pf32_8888});
            break;
        default:
            break;
    }
}

void FormatToDDPixelFormat(plat::PixelFormatDesc& pf, ZRBitDepth depth, ZRPixFormat format) {
    pf = plat::PixelFormatDesc{};
    if (depth == bd8) {
        pf.flags = plat::PixelFormatDesc::kPalette8;
        pf.bitCount = 8;
        return;
    }
    pf.flags = plat::PixelFormatDesc::kRgb;
    ZRPixFormat masks = format;
    switch (depth) {
        case bd16:
            pf.bitCount = 16;
            if (format == pfNone) masks = pf16_565;
            break;
        case bd24:
            pf.bitCount = 24;
            masks = pf24_888;
            break;
        case bd32:
            pf.bitCount = 32;
            if (format != pf32_8888) masks = pf32_888;
            break;
        default:
            break;
    }
    pf.redMask = RGBBitMask[masks][0];
    pf.greenMask = RGBBitMask[masks][1];
    pf.blueMask = RGBBitMask[masks][2];
    if (RGBBitMask[masks][3]) {
        pf.flags |= plat::PixelFormatDesc::kAlphaPixels;
        pf.alphaMask = RGBBitMask[masks][3];
    }
}

TDSurface::TDSurface(plat::TComponent* owner)
    : TNyRGBBits(owner), FOwnerDevice(dynamic_cast<TDDraw*>(owner)) {
    if (FOwnerDevice) FOwnerDevice->AddSurfaceList(this);
}

TDSurface::TDSurface(plat::TComponent* owner, ZRBitDepth depth, ZRPixFormat format, int w, int h,
                     bool video)
    : TDSurface(owner) {
    FBitDepth = depth;
    FPixFormat = format;
    FWidth = w;
    FHeight = h;
    FVideoMemory = video;
    Create();
}

TDSurface::TDSurface(plat::TComponent* owner, plat::SurfaceRef surface) : TDSurface(owner) {
    Attach(std::move(surface));
}

TDSurface::~TDSurface() {
    if (FOwnerDevice) FOwnerDevice->DelSurfaceList(this);
    Release();
}

bool TDSurface::Create(ZRBitDepth depth, ZRPixFormat format, int w, int h, bool video) {
    if (FCreated) return false;
    FBitDepth = depth;
    FPixFormat = format;
    FWidth = w;
    FHeight = h;
    FVideoMemory = video;
    return Create();
}

void TDSurface::ResetState(bool attached) {
    FLocked = false;
    FLockCount = 0;
    FBits = nullptr;
    FModified = false;
    FModifiedRect = ZRRect{0, 0, 0, 0};
    FAttached = attached;
}

bool TDSurface::MakeSurface(int w, int h, ZRBitDepth& depth, ZRPixFormat& format, bool& video,
                            plat::SurfaceRef& out, std::shared_ptr<plat::DisplayPalette>& palette) {
    plat::DisplayConnection* conn = FOwnerDevice ? FOwnerDevice->Connection() : nullptr;
    if (!conn) return false;
    plat::PixelFormatDesc want;
    if (depth != bdNone) FormatToDDPixelFormat(want, depth, format);
    out = conn->CreateSurface(w, h, depth != bdNone ? &want : nullptr, video);
    if (!out) return false;
    DDPixelFormatToFormat(out->Format(), depth, format);
    video = out->InVideoMemory();
    palette.reset();
    if (depth == bd8) {
        // The 20 colours every palette keeps sit at both ends; the rest start as the first.
        const uint32_t* sys = plat::SystemPaletteColours();
        uint32_t entries[256];
        for (int i = 0; i < 256; ++i) entries[i] = sys[0];
        for (int i = 0; i < 10; ++i) {
            entries[i] = sys[i];
            entries[246 + i] = sys[10 + i];
        }
        palette = conn->CreatePalette(entries);
        if (palette) out->SetPalette(palette);
    }
    return true;
}

bool TDSurface::Create() {
    if (FCreated) return false;
    if (!ChkDepthAndFormat(FBitDepth, FPixFormat)) return false;
    if (FWidth <= 0 || FHeight <= 0 || FBitDepth > bd32 || FPixFormat > pf32_8888) return false;
    plat::SurfaceRef made;
    std::shared_ptr<plat::DisplayPalette> palette;
    if (!MakeSurface(FWidth, FHeight, FBitDepth, FPixFormat, FVideoMemory, made, palette))
        return false;
    if (!SetProcs()) {
        made->SetPalette(nullptr);
        return false;
    }
    FSurface = std::move(made);
    FPalette = std::move(palette);
    ResetState(false);
    FCreated = true;
    return true;
}

bool TDSurface::Attach(plat::SurfaceRef surface) {
    if (FCreated || !surface) return false;
    FWidth = surface->Width();
    FHeight = surface->Height();
    DDPixelFormatToFormat(surface->Format(), FBitDepth, FPixFormat);
    FVideoMemory = surface->InVideoMemory();
    if (!SetProcs()) return false;
    FPalette = FBitDepth == bd8 ? surface->Palette() : nullptr;
    FClipper = surface->Clipper();
    FSurface = std::move(surface);
    ResetState(true);
    FCreated = true;
    return true;
}

void TDSurface::Release() {
    if (!FCreated) return;
    // Unlock needs the created flag, so the surface is unlocked before it is cleared.
    while (FLocked)
        if (!Unlock()) break;
    FCreated = false;
    ReleasePalette();
    ReleaseClipper();
    FSurface.reset();
    FBits = nullptr;
}

bool TDSurface::Resize(int w, int h) {
    if (w <= 0 || h <= 0) return false;
    if (!FCreated) {
        FWidth = w;
        FHeight = h;
        return true;
    }
    if (FAttached || FLocked) return false;
    RestoreIfLost();
    ZRBitDepth depth = FBitDepth;
    ZRPixFormat format = FPixFormat;
    bool video = FVideoMemory;
    plat::SurfaceRef made;
    std::shared_ptr<plat::DisplayPalette> palette;
    if (!MakeSurface(w, h, depth, format, video, made, palette)) return false;
    FSurface->SetPalette(nullptr);
    FSurface->SetClipper(nullptr);
    made->SetClipper(FClipper);
    FSurface = std::move(made);
    FPalette = std::move(palette);
    FVideoMemory = video;
    ResetState(false);
    FWidth = w;
    FHeight = h;
    return true;
}

bool TDSurface::Lock() {
    if (!FCreated) return false;
    RestoreIfLost();
    if (!FLocked) {
        uint8_t* bits;
        int32_t pitch;
        if (!FSurface->Lock(&bits, &pitch)) return false;
        FBits = bits;
        FPitch = pitch;
        FLocked = true;
    }
    ++FLockCount;
    return true;
}

bool TDSurface::Unlock() {
    if (!FCreated) return false;
    RestoreIfLost();
    if (!FLocked) return false;
    if (--FLockCount == 0) {
        FSurface->Unlock();
        FLocked = false;
        FBits = nullptr;
    }
    return true;
}

bool TDSurface::GetDC(void** dc) {
    if (!FCreated || !dc) return false;
    RestoreIfLost();
    plat::DrawSurface* ds = nullptr;
    if (!FSurface->GetDrawSurface(&ds)) return false;
    *dc = ds;
    return true;
}

bool TDSurface::ReleaseDC(void* dc) {
    if (!FCreated) return false;
    RestoreIfLost();
    return FSurface->ReleaseDrawSurface(static_cast<plat::DrawSurface*>(dc));
}

bool TDSurface::SetPalette(std::shared_ptr<plat::DisplayPalette> palette) {
    if (!FCreated || FBitDepth != bd8) return false;
    ReleasePalette();
    if (palette) {
        FPalette = std::move(palette);
        FSurface->SetPalette(FPalette);
    }
    return true;
}

void TDSurface::ReleasePalette() {
    if (FPalette && FSurface) FSurface->SetPalette(nullptr);
    FPalette.reset();
}

bool TDSurface::SetClipper(std::shared_ptr<plat::DisplayClipper> clipper) {
    if (!FCreated) return false;
    ReleaseClipper();
    if (clipper) {
        FClipper = std::move(clipper);
        FSurface->SetClipper(FClipper);
    }
    return true;
}

void TDSurface::ReleaseClipper() {
    if (FClipper && FSurface) FSurface->SetClipper(nullptr);
    FClipper.reset();
}

bool TDSurface::SetClipRect(const ZRRect& r) {
    if (!FCreated || !FOwnerDevice || !FOwnerDevice->Connection()) return false;
    if (!FClipper) {
        auto clipper = FOwnerDevice->Connection()->CreateClipper();
        if (!clipper) return false;
        SetClipper(std::move(clipper));
    }
    const plat::DisplayRect bounds{0, 0, FWidth, FHeight};
    FClipper->SetClipList({plat::DisplayRect{r.left, r.top, r.right, r.bottom}.Intersect(bounds)});
    return true;
}

void TDSurface::Clear() {
    if (!FCreated) return;
    RestoreIfLost();
    FSurface->Fill(nullptr, 0);
}

void TDSurface::Fill(ZRRGB colour) {
    if (!FCreated) return;
    RestoreIfLost();
    FSurface->Fill(nullptr, TNyRGBtoPixel(colour));
}

bool TDSurface::IsLost() {
    return FCreated && FSurface->IsLost();
}

bool TDSurface::Restore() {
    if (!FCreated) return false;
    if (!FSurface->Restore()) return false;
    DDPixelFormatToFormat(FSurface->Format(), FBitDepth, FPixFormat);
    if (OnRestore.IsSet()) OnRestore.Call(this);
    return true;
}

bool TDSurface::IsLostAndRestore() {
    if (!FCreated) return false;
    return IsLost() ? Restore() : true;
}

}  // namespace DirectX
