// The display device's life: properties, opening and closing the display with its buffers,
// surfaces made through it, and the display queries.
#include "devices/nyddraw.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "platform/windowcomponent.h"
#include "widgets/nybmp.h"

namespace DirectX {

TDDraw::TDDraw(plat::TComponent* owner)
    : plat::TComponent(owner), FOwnerWindow(dynamic_cast<plat::WindowComponent*>(owner)) {}

TDDraw::~TDDraw() {
    if (FEnabled) DDrawRelease();
    // Surfaces that the component tree still owns outlive this body: they must not reach
    // back into a device that is being taken apart.
    for (TDSurface* s : FSurfaceList) s->FOwnerDevice = nullptr;
    for (int i = 0; i < ComponentCount(); ++i)
        if (auto* s = dynamic_cast<TDSurface*>(Component(i))) s->FOwnerDevice = nullptr;
    delete[] FPatternTable;
    delete[] FSpriteTable;
}

void TDDraw::SetFullScreen(bool on) {
    if (!FEnabled) FFullScreen = on;
}

void TDDraw::SetRefreshRate(int rate) {
    if (!FEnabled) FRefreshRate = rate;
}

void TDDraw::SetTripleBuffer(bool on) {
    if (!FEnabled) FTripleBuffer = on;
}

void TDDraw::SetBackType(TBackType type) {
    if (type == FBackType) return;
    FBackType = type;
    if (FEnabled) CreateBackSurface();
}

void TDDraw::SetBitDepth(ZRBitDepth depth) {
    if (FEnabled || (depth != bd16 && depth != bd24 && depth != bd32)) return;
    FBitDepth = depth;
}

void TDDraw::SetScreenSize(ZRScreenSize size) {
    if (FEnabled) return;
    int w, h;
    if (!ScreenSizeToPixel(size, w, h)) return;
    FScreenSize = size;
    FWidth = w;
    FHeight = h;
    FSpriteWidth = std::min(FSpriteWidth, w);
    FSpriteHeight = std::min(FSpriteHeight, h);
}

void TDDraw::SetSpriteWidth(int w) {
    if (!FEnabled && w > 0 && w <= FWidth) FSpriteWidth = w;
}

void TDDraw::SetSpriteHeight(int h) {
    if (!FEnabled && h > 0 && h <= FHeight) FSpriteHeight = h;
}

void TDDraw::SetEnabled(bool on) {
    if (on == FEnabled) return;
    if (on) {
        if (DDrawCreate()) {
            Clear();
            Flip();
        }
    } else {
        DDrawRelease();
    }
}

bool TDDraw::CreateFailed() {
    ReleaseBackSurface();
    delete FFlipSurface;
    FFlipSurface = nullptr;
    delete FPrimarySurface;
    FPrimarySurface = nullptr;
    FDrawSurface = nullptr;
    FConnection.reset();
    return false;
}

bool TDDraw::DDrawCreate() {
    if (!FOwnerWindow) return false;
    if (FEnabled) return true;
    FSurfaceList.clear();
    if (FBitDepth == bdNone || FBitDepth == bd8) return false;
    if (!FFullScreen) {
        const ZRBitDepth desk = DesktopBitDepth();
        if (desk == bdNone || desk == bd8) return false;
    }
    if (!FPatternTable) FPatternTable = new (std::nothrow) TSpPattern[kPatterns];
    if (!FSpriteTable) FSpriteTable = new (std::nothrow) TSpSprite[kSprites];
    if (!FPatternTable || !FSpriteTable) return false;

    plat::DisplayBackend* backend = plat::OpenDisplayBackend();
    if (!backend) return false;
    FConnection = backend->Open();
    if (!FConnection) return false;

    plat::SurfaceRef primary;
    if (FFullScreen) {
        FConnection->SetCooperation(FOwnerWindow, true);
        const int bpp = FBitDepth == bd16 ? 16 : FBitDepth == bd24 ? 24 : 32;
        if (!FConnection->SetDisplayMode(FWidth, FHeight, bpp, FRefreshRate)) {
            FConnection.reset();
            return false;
        }
        FFlipChain = true;
        FBufferCount = 1;
        if (FTripleBuffer && (primary = FConnection->CreatePrimary(2))) FBufferCount = 3;
        if (!primary && (primary = FConnection->CreatePrimary(1))) FBufferCount = 2;
        if (!primary) {
            FFlipChain = false;
            primary = FConnection->CreatePrimary(0);
        }
    } else {
        FConnection->SetCooperation(FOwnerWindow, false);
        FFlipChain = false;
        FBufferCount = 0;
        primary = FConnection->CreatePrimary(0);
    }
    if (!primary) {
        delete[] FPatternTable;
        delete[] FSpriteTable;
        FPatternTable = nullptr;
        FSpriteTable = nullptr;
        FConnection.reset();
        return false;
    }
    FPrimarySurface = new TDSurface(this, primary);
    if (!FFullScreen) {
        auto clipper = FConnection->CreateClipper();
        clipper->SetWindow(FOwnerWindow);
        FPrimarySurface->SetClipper(std::move(clipper));
    }
    if (FFlipChain)
        if (plat::SurfaceRef back = primary->BackBuffer())
            FFlipSurface = new TDSurface(this, std::move(back));
    CreateBackSurface();
    // Without its back buffer a flip chain has nowhere to draw: the device is not made.
    if (!FPrimarySurface->Created() || (FBackType != btNone && !FBackSurface) ||
        (FFlipChain && !FFlipSurface))
        return CreateFailed();

    FSpritesShown = false;
    std::fill_n(FPatternTable, kPatterns, TSpPattern{});
    std::fill_n(FSpriteTable, kSprites, TSpSprite{});
    FSpritePage = std::min(FSpritePage, kMaxPages);
    for (int i = 0; i < FSpritePage; ++i) {
        if (!MakePage(i)) {
            DeletePages(0);
            return CreateFailed();
        }
    }
    FPageCount = FSpritePage;
    for (ZRRectSet& set : FModifyRects) {
        set.SetRectEmpty();
        set.UnionRect(ScreenRect());
    }
    FCurrentBuffer = 0;
    FPrimaryLost = false;
    FWindowOwesFrame = true;
    FEnabled = true;
    return true;
}

bool TDDraw::CreateBackSurface() {
    ReleaseBackSurface();
    bool ok = true;
    if (FBackType != btNone) {
        auto* s = new TDSurface(this);
        if (FBackType == btVideo) s->Create(bdNone, pfNone, FWidth, FHeight, true);
        if (!s->Created() && s->Create(bdNone, pfNone, FWidth, FHeight, false))
            FBackType = btSystem;
        if (!s->Created()) {
            delete s;
            s = nullptr;
            ok = false;
        }
        FBackSurface = s;
    }
    if (FBackSurface) FBackSurface->SetClipRect(ScreenRect());
    FDrawSurface = FBackType != btNone ? FBackSurface : PresentTarget();
    return ok;
}

void TDDraw::ReleaseBackSurface() {
    delete FBackSurface;
    FBackSurface = nullptr;
    if (FEnabled) FDrawSurface = PresentTarget();
}

void TDDraw::DDrawRelease() {
    if (!FEnabled) return;
    FEnabled = false;
    DeletePages(0);
    ReleaseBackSurface();
    delete FFlipSurface;
    FFlipSurface = nullptr;
    delete FPrimarySurface;
    FPrimarySurface = nullptr;
    FDrawSurface = nullptr;
    while (!FSurfaceList.empty()) delete FSurfaceList.back();
    FConnection.reset();
}

void TDDraw::AddSurfaceList(TDSurface* s) {
    FSurfaceList.push_back(s);
}

void TDDraw::DelSurfaceList(TDSurface* s) {
    auto it = std::find(FSurfaceList.begin(), FSurfaceList.end(), s);
    if (it != FSurfaceList.end()) FSurfaceList.erase(it);
}

void TDDraw::Clear() {
    if (FEnabled && FDrawSurface) FDrawSurface->Clear();
}

void TDDraw::Fill(ZRRGB colour) {
    if (FEnabled && FDrawSurface) FDrawSurface->Fill(colour);
}

bool TDDraw::GetDC(void** dc) {
    return FEnabled && FDrawSurface->GetDC(dc);
}

bool TDDraw::ReleaseDC(void* dc) {
    return FEnabled && FDrawSurface->ReleaseDC(dc);
}

bool TDDraw::Lock() {
    if (++FDeviceLockCount == 1 && !FDeviceLock) {
        FDeviceLock = true;
        return true;
    }
    --FDeviceLockCount;
    return false;
}

bool TDDraw::Unlock() {
    if (!FDeviceLock) return false;
    FDeviceLock = false;
    FDeviceLockCount = 0;
    return true;
}

TDSurface* TDDraw::CreateSurface(int w, int h, bool video) {
    if (!FEnabled) return nullptr;
    return CreateSurface(FPrimarySurface->BitDepth(), FPrimarySurface->PixFormat(), w, h, video);
}

TDSurface* TDDraw::CreateSurface(ZRBitDepth depth, ZRPixFormat format, int w, int h, bool video) {
    if (!FEnabled) return nullptr;
    auto* s = new TDSurface(this);
    if (!s->Create(depth, format, w, h, video)) {
        delete s;
        return nullptr;
    }
    return s;
}

TDSurface* TDDraw::CreateSurfaceFromBitmap(plat::TStream* bmp, bool video) {
    if (!FEnabled || !bmp) return nullptr;
    unsigned char* pixels = nullptr;
    int w = 0, h = 0;
    const ZRPixFormat format = FPrimarySurface->PixFormat();
    if (!LoadBmp(bmp, &pixels, &w, &h, format)) {
        std::free(pixels);
        return nullptr;
    }
    TDSurface* s = CreateSurface(FPrimarySurface->BitDepth(), format, w, h, video);
    if (s && !s->PutPat(0, 0, w, h, pixels)) {
        delete s;
        s = nullptr;
    }
    std::free(pixels);
    return s;
}

bool TDDraw::RestoreAllSurfaces() {
    if (!FEnabled) return false;
    for (TDSurface* s : std::vector<TDSurface*>(FSurfaceList)) s->IsLostAndRestore();
    return true;
}

plat::DisplayConnection* TDDraw::QueryConnection(
    std::unique_ptr<plat::DisplayConnection>& temporary) {
    if (FConnection) return FConnection.get();
    if (plat::DisplayBackend* backend = plat::OpenDisplayBackend()) temporary = backend->Open();
    return temporary.get();
}

void TDDraw::ENumDisplayModes(std::vector<TDisplayMode>* list, bool) {
    list->clear();
    std::unique_ptr<plat::DisplayConnection> temporary;
    plat::DisplayConnection* conn = QueryConnection(temporary);
    if (!conn) return;
    std::vector<plat::DisplayMode> modes;
    if (!conn->EnumModes(modes)) return;
    for (const plat::DisplayMode& m : modes) {
        TDisplayMode d;
        d.RBitMask = m.format.redMask;
        d.GBitMask = m.format.greenMask;
        d.BBitMask = m.format.blueMask;
        d.ABitMask =
            (m.format.flags & plat::PixelFormatDesc::kAlphaPixels) ? m.format.alphaMask : 0;
        DDPixelFormatToFormat(m.format, d.BitDepth, d.PixFormat);
        if (!PixelToScreenSize(m.width, m.height, d.ScreenSize)) d.BitDepth = bdNone;
        if (d.BitDepth != bdNone) list->push_back(d);
    }
}

bool TDDraw::CheckDisplayMode(ZRBitDepth depth, ZRScreenSize size) {
    std::vector<TDisplayMode> list;
    ENumDisplayModes(&list, true);
    return std::any_of(list.begin(), list.end(), [&](const TDisplayMode& m) {
        return m.BitDepth == depth && m.ScreenSize == size;
    });
}

ZRBitDepth TDDraw::DesktopBitDepth() {
    plat::DisplayBackend* backend = plat::OpenDisplayBackend();
    switch (backend ? backend->DesktopBitsPerPixel() : 0) {
        case 8:
            return bd8;
        case 16:
            return bd16;
        case 24:
            return bd24;
        case 32:
            return bd32;
        default:
            return bdNone;
    }
}

bool TDDraw::GetAvailableVidMem(uint64_t& total, uint64_t& free) {
    total = free = 0;
    std::unique_ptr<plat::DisplayConnection> temporary;
    plat::DisplayConnection* conn = QueryConnection(temporary);
    return conn && conn->VideoMemory(total, free);
}

bool TDDraw::GetCaps(plat::DisplayCaps* driver, plat::DisplayCaps* emulation) {
    if (!driver || !emulation) return false;
    *driver = plat::DisplayCaps{};
    *emulation = plat::DisplayCaps{};
    driver->size = emulation->size = plat::DisplayCaps::kRecordSize;
    std::unique_ptr<plat::DisplayConnection> temporary;
    plat::DisplayConnection* conn = QueryConnection(temporary);
    return conn && conn->Caps(driver, emulation);
}

}  // namespace DirectX
