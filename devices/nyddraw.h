// The display device: it opens the display, sets the mode (full screen) or joins the window
// (window mode), keeps the display buffers, and presents each frame whole or as changed
// rectangles, giving every display buffer exactly the backlog of areas it has not received
// yet. Its surfaces are bitmaps whose pixels live in the display service, so every drawing
// routine of the bitmap class works on them; the device owns every surface made through it
// and an optional sprite layer drawn onto each presented frame. Failures are false or null
// results; nothing here shows a message.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/zrcallback.h"
#include "foundation/zrrect.h"
#include "foundation/zrstream.h"
#include "media/zrrgbraw.h"
#include "platform/display.h"
#include "platform/tstream.h"
#include "widgets/nyrgbbits.h"

namespace plat {
class WindowComponent;
}

namespace DirectX {

class TDDraw;

// A display mode as the device reports it.
struct TDisplayMode {
    ZRBitDepth BitDepth = bdNone;
    ZRPixFormat PixFormat = pfNone;
    ZRScreenSize ScreenSize = ss640x480;
    uint32_t RBitMask = 0;
    uint32_t GBitMask = 0;
    uint32_t BBitMask = 0;
    uint32_t ABitMask = 0;

    // Depth, format and size alike; the masks are not compared.
    bool ModeCmp(const TDisplayMode& m) const {
        return BitDepth == m.BitDepth && PixFormat == m.PixFormat && ScreenSize == m.ScreenSize;
    }
};

void DDPixelFormatToFormat(const plat::PixelFormatDesc& pf, ZRBitDepth& depth, ZRPixFormat& format);
void FormatToDDPixelFormat(plat::PixelFormatDesc& pf, ZRBitDepth depth, ZRPixFormat format);

class TDSurface : public TNyRGBBits {
  public:
    explicit TDSurface(plat::TComponent* owner);
    TDSurface(plat::TComponent* owner, ZRBitDepth depth, ZRPixFormat format, int w, int h,
              bool video);
    TDSurface(plat::TComponent* owner, plat::SurfaceRef surface);
    ~TDSurface() override;

    bool Create(ZRBitDepth depth, ZRPixFormat format, int w, int h, bool video);
    bool Create() override;
    bool Attach(plat::SurfaceRef surface);
    void Release() override;
    bool Resize(int w, int h) override;
    bool Lock() override;
    bool Unlock() override;
    bool HaveDC() override { return true; }
    // The context is a plat::DrawSurface over the locked pixels.
    bool GetDC(void** dc) override;
    bool ReleaseDC(void* dc) override;

    bool SetPalette(std::shared_ptr<plat::DisplayPalette> palette);
    void ReleasePalette();
    bool SetClipper(std::shared_ptr<plat::DisplayClipper> clipper);
    void ReleaseClipper();
    bool SetClipRect(const ZRRect& r);

    void Clear();
    void Fill(ZRRGB colour);

    bool IsLost();
    bool Restore();
    bool IsLostAndRestore();

    bool VideoMemory() const { return FVideoMemory; }
    void SetVideoMemory(bool on) {
        if (!FCreated) FVideoMemory = on;
    }
    const plat::SurfaceRef& Surface() const { return FSurface; }
    TDDraw* OwnerDevice() const { return FOwnerDevice; }

    TNotifyEvent OnRestore;

  private:
    friend class TDDraw;
    // A display-service surface of the given size and format (bdNone: the display's own);
    // depth, format and video are replaced by what was made.
    bool MakeSurface(int w, int h, ZRBitDepth& depth, ZRPixFormat& format, bool& video,
                     plat::SurfaceRef& out, std::shared_ptr<plat::DisplayPalette>& palette);
    void ResetState(bool attached);
    void RestoreIfLost() {
        if (IsLost()) Restore();
    }

    TDDraw* FOwnerDevice = nullptr;
    plat::SurfaceRef FSurface;
    std::shared_ptr<plat::DisplayPalette> FPalette;
    std::shared_ptr<plat::DisplayClipper> FClipper;
    bool FVideoMemory = false;
};

enum TBackType { btNone, btSystem, btVideo };

using TSpriteRestoreEvent = ZRBaseCallback2<void, TDSurface*, int>;

struct TSpPattern {
    bool Used;
    int32_t Page, X, Y, Width, Height;
    ZRRGB Key;
};

struct TSpSprite {
    bool Used;
    int32_t X, Y, Pattern, Layer;
};

class TDDraw : public plat::TComponent {
  public:
    static constexpr int kPatterns = 1024;
    static constexpr int kSprites = 1024;
    static constexpr int kLayers = 16;
    static constexpr int kMaxPages = 16;

    explicit TDDraw(plat::TComponent* owner);
    ~TDDraw() override;

    // Properties; those marked "while not Enabled" ignore changes while Enabled.
    bool FullScreen() const { return FFullScreen; }
    void SetFullScreen(bool on);
    int RefreshRate() const { return FRefreshRate; }
    void SetRefreshRate(int rate);
    bool TripleBuffer() const { return FTripleBuffer; }
    void SetTripleBuffer(bool on);
    TBackType BackType() const { return FBackType; }
    // While Enabled the back surface is rebuilt at once.
    void SetBackType(TBackType type);
    ZRBitDepth BitDepth() const { return FBitDepth; }
    void SetBitDepth(ZRBitDepth depth);
    ZRScreenSize ScreenSize() const { return FScreenSize; }
    void SetScreenSize(ZRScreenSize size);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int SpriteWidth() const { return FSpriteWidth; }
    void SetSpriteWidth(int w);
    int SpriteHeight() const { return FSpriteHeight; }
    void SetSpriteHeight(int h);
    int SpritePage() const { return FSpritePage; }
    void SetSpritePage(int n);

    bool DoNotWait = false;
    bool NoVSync = false;
    bool Blt4Div = false;
    TSpriteRestoreEvent OnSpriteRestore;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool on);
    bool DDrawCreate();
    void DDrawRelease();

    TDSurface* PrimarySurface() const { return FPrimarySurface; }
    TDSurface* FlipSurface() const { return FFlipSurface; }
    TDSurface* BackSurface() const { return FBackSurface; }
    TDSurface* DrawSurface() const { return FDrawSurface; }
    bool FlipChain() const { return FFlipChain; }
    int BufferCount() const { return FBufferCount; }
    int CurrentBuffer() const { return FCurrentBuffer; }
    bool PrimaryLost() const { return FPrimaryLost; }
    const ZRRectSet& ModifyRects(int i) const { return FModifyRects[i]; }
    const std::vector<TDSurface*>& SurfaceList() const { return FSurfaceList; }
    plat::DisplayConnection* Connection() const { return FConnection.get(); }

    void Clear();
    void Fill(ZRRGB colour);
    bool GetDC(void** dc);
    bool ReleaseDC(void* dc);
    bool Lock();
    bool Unlock();

    TDSurface* CreateSurface(int w, int h, bool video);
    TDSurface* CreateSurface(ZRBitDepth depth, ZRPixFormat format, int w, int h, bool video);
    TDSurface* CreateSurfaceFromBitmap(plat::TStream* bmp, bool video);
    bool RestoreAllSurfaces();

    void ENumDisplayModes(std::vector<TDisplayMode>* list, bool primaryOnly);
    bool CheckDisplayMode(ZRBitDepth depth, ZRScreenSize size);
    ZRBitDepth DesktopBitDepth();
    bool GetAvailableVidMem(uint64_t& total, uint64_t& free);
    bool GetCaps(plat::DisplayCaps* driver, plat::DisplayCaps* emulation);

    void AddSurfaceList(TDSurface* s);
    void DelSurfaceList(TDSurface* s);

    // Presentation. Flip is false when the frame did not reach the display buffer it was
    // meant for (the display then owes it).
    bool Flip();
    void FlipModifyRect(ZRRectSet rects);
    // In a window, sends the rectangles to the screen straight from src (a surface of the
    // screen's format laid out as the back surface), which then does not receive them. False,
    // with nothing done, where the frame must go through the back surface: full screen,
    // sprites, strips, a lost primary or a frame the window still owes.
    bool ShowModifyRect(TDSurface* src, ZRRectSet rects);
    void SetModifyRect(const ZRRect& r);
    // The screen lacks some of the last frame presented: a present did not reach it, so the
    // next present must be made even when nothing changed.
    bool OwesFrame() const;
    bool CanFlip();
    bool CanDraw();
    bool WriteDisplay(TDSurface* src);
    bool WriteDisplayFast(TDSurface* src);
    bool WriteDisplayFast4Div(TDSurface* src);
    bool WriteDisplayModify(TDSurface* src);
    bool WriteDisplayModify4Div(TDSurface* src);
    void Write(TDSurface* src);
    bool DrawPrimary(int x, int y, TDSurface* src, int sx, int sy, int w, int h);
    // The frame the display shows now, written as a colour PNG image.
    bool DumpFrame(ZRStream* png);

    // Sprite layer.
    bool SpriteShow();
    bool SpriteHide();
    bool SpritesShown() const { return FSpritesShown; }
    TDSurface* GetSpSurface(int page);
    bool SpSetPattern(int pattern, int page, int x, int y, int w, int h, ZRRGB key);
    bool SpSetPattern(int pattern, int page, int x, int y, int w, int h);
    bool SpClrPattern(int pattern);
    bool SpSetPatternBmp(int pattern, int page, plat::TStream* bmp, int x, int y);
    bool SpPatLoadBmp(int page, plat::TStream* bmp, int x, int y);
    bool SpPatCopy(int page, TNyRGBBits* src);
    bool SpSetSprite(int sprite, int x, int y, int pattern, int layer);
    int SpAddSprite(int x, int y, int pattern, int layer);
    bool SpClrSprite(int sprite);
    bool SpMoveSprite(int sprite, int x, int y);
    bool SpChangeSprite(int sprite, int pattern);
    void SpSetModifySprite(int sprite);
    const TSpPattern* Pattern(int i) const { return FPatternTable ? &FPatternTable[i] : nullptr; }
    const TSpSprite* Sprite(int i) const { return FSpriteTable ? &FSpriteTable[i] : nullptr; }
    bool SpriteDraw(TDSurface* dest);
    bool SpritePatternWrite(TDSurface* dest, int pattern, int x, int y);
    bool SpriteDraw(TNyRGBBits* dest, TNyRGBBits** pages);
    bool SpritePatternWrite(TNyRGBBits* dest, TNyRGBBits** pages, int pattern, int x, int y);

  private:
    // The open connection, or a temporary one for a query while not Enabled.
    plat::DisplayConnection* QueryConnection(std::unique_ptr<plat::DisplayConnection>& temporary);
    bool CreateBackSurface();
    void ReleaseBackSurface();
    // Deletes the surfaces made so far by a failing DDrawCreate and closes the display.
    bool CreateFailed();
    void DeletePages(int from);
    bool MakePage(int index);
    ZRRect ScreenRect() const { return ZRRect{0, 0, FWidth, FHeight}; }
    void RestorePrimary();
    void AdvanceBuffer();
    TDSurface* PresentTarget() const { return FFlipChain ? FFlipSurface : FPrimarySurface; }
    void ClientOrigin(int& x, int& y) const;
    void Present();
    bool CopyRects(TDSurface* src, const ZRRectSet& rects);
    // Window mode: only the changed rectangles, at the client origin.
    bool WriteWindowRects(TDSurface* src, const ZRRectSet& rects);
    void SpriteArea(int sprite);

    plat::WindowComponent* FOwnerWindow = nullptr;
    bool FFullScreen = true;
    int FRefreshRate = 0;
    bool FTripleBuffer = true;
    TBackType FBackType = btNone;
    ZRBitDepth FBitDepth = bd16;
    ZRScreenSize FScreenSize = ss640x480;
    int FWidth = 640;
    int FHeight = 480;
    int FSpriteWidth = 640;
    int FSpriteHeight = 480;
    int FSpritePage = 0;

    bool FEnabled = false;
    std::unique_ptr<plat::DisplayConnection> FConnection;
    TDSurface* FPrimarySurface = nullptr;
    TDSurface* FFlipSurface = nullptr;
    TDSurface* FBackSurface = nullptr;
    TDSurface* FDrawSurface = nullptr;
    bool FFlipChain = false;
    bool FDeviceLock = false;
    int FDeviceLockCount = 0;
    bool FSpritesShown = false;
    TSpPattern* FPatternTable = nullptr;
    TSpSprite* FSpriteTable = nullptr;
    TDSurface* FSpritePages[kMaxPages] = {};
    int FPageCount = 0;
    std::vector<TDSurface*> FSurfaceList;
    ZRRectSet FModifyRects[3];
    int FBufferCount = 0;
    int FCurrentBuffer = 0;
    bool FPrimaryLost = false;
    // Window mode has no backlog sets: the primary owes the whole frame after being set up,
    // lost or missing a copy, and otherwise gets only what changed.
    bool FWindowOwesFrame = true;
};

}  // namespace DirectX
