// The software bitmap TNyRGBBits and the 8-bit alpha plane TNyAlpha: every picture, widget
// buffer, work surface and frame of the game is one of them. A bitmap owns one block of pixels
// followed by guard bytes that reveal overruns, tracks the area changed since it last told its
// OnChange handler, and draws through raw kernels that clip, lock and hand whole rows to the
// pixel kernels of the media layer. Nothing here throws: refusals are false (or 0) results.
// Derived classes (display surfaces, DIB sections) replace the storage through the virtual
// operations; they must call their own Release from their destructors.
#pragma once
#include <cstdint>
#include <functional>

#include "foundation/zrcallback.h"
#include "foundation/zrrect.h"
#include "media/zrrgbraw.h"
#include "platform/ansistring.h"
#include "platform/component.h"
#include "platform/tstream.h"
#include "widgets/nyclip.h"

class ZRStream;

// Event whose argument is the object that raises it.
using TNotifyEvent = ZRBaseCallback1<void, plat::TComponent*>;

// Handlers told (with the object as Sender) when released memory shows damaged guard bytes;
// an unset handler switches the report off.
void SetOnBitsBufferOverRun(TNotifyEvent handler);
void SetOnAlphaBufferOverRun(TNotifyEvent handler);

// Number of 0x55 bytes after the pixels of a bitmap or plane.
constexpr int kNyGuardBytes = 256;

class TNyAlpha;

class TNyRGBBits : public plat::TComponent {
  public:
    explicit TNyRGBBits(plat::TComponent* owner = nullptr);
    ~TNyRGBBits() override;

    void SetID(const plat::AnsiString& id);
    // All 16 bytes, unfilled positions as NUL characters.
    plat::AnsiString GetID() const;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    ZRBitDepth BitDepth() const { return FBitDepth; }
    ZRPixFormat PixFormat() const { return FPixFormat; }
    bool Reverse() const { return FReverse; }
    bool Created() const { return FCreated; }
    bool Attached() const { return FAttached; }
    bool Locked() const { return FLocked; }
    int LockCount() const { return FLockCount; }
    unsigned char* Bits() const { return FBits; }
    int Pitch() const { return FPitch; }
    bool Modified() const { return FModified; }
    bool ModifiedSw() const { return FModifiedSw; }
    int ModifiedOffCount() const { return FModifiedOffCount; }
    bool Mmx() const { return FMmx; }

    void SetWidth(int w) { Resize(w, FHeight); }
    void SetHeight(int h) { Resize(FWidth, h); }
    virtual void SetBitDepth(ZRBitDepth depth);
    virtual void SetPixFormat(ZRPixFormat format);
    void SetReverse(bool on) { FReverse = on; }
    bool SetProcs() const;

    virtual void ModifiedFlush();
    virtual bool Create();
    virtual void Release();
    // On a created bitmap a new size reallocates and clears the pixels.
    virtual bool Resize(int w, int h);
    virtual bool Lock();
    virtual bool Unlock();
    virtual bool HaveDC();
    virtual bool GetDC(void** dc);
    virtual bool ReleaseDC(void* dc);

    void Change();
    void ChgModifiedSw(bool on);
    void SetModified(const ZRRect& r);
    // Inclusive corners in either order.
    void SetModified(int x1, int y1, int x2, int y2);
    void SetModified();
    void ModifiedOff();
    void ModifiedOn();
    void GetModifiedRect(ZRRect* out) const { *out = FModifiedRect; }

    uint32_t TNyRGBtoPixel(ZRRGB colour) const;
    ZRRGB PixeltoTNyRGB(uint32_t pixel) const;
    void Cls();
    bool CheckBufferOverRun() const { return FBufferOverRun; }
    // Raises each cut to the amount of placed lying outside bounds on that side.
    static void ClipRect(const ZRRect& placed, const ZRRect& bounds, int& left, int& top,
                         int& right, int& bottom);

    // Raw kernels: clip, lock, walk the rows; nothing is reported as modified.
    bool NyLine(int x1, int y1, int x2, int y2, uint32_t pixel);
    bool NyBoxFill(int x1, int y1, int x2, int y2, uint32_t pixel);
    bool NyPutPat(int x, int y, int w, int h, const unsigned char* src, int srcPitch, bool useKey,
                  uint32_t key);
    bool NyPutPatR(int x, int y, int w, int h, const unsigned char* src, int srcPitch, bool useKey,
                   uint32_t key);
    bool NyPutPatM(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                   const unsigned char* mask, int maskWidth, int maskHeight);
    bool NyPutPatMR(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                    const unsigned char* mask, int maskWidth, int maskHeight);
    bool NyGetPat(int x, int y, int w, int h, unsigned char* dst);
    bool NyConvert(int x, int y, int w, int h, const unsigned char* src, ZRPixFormat srcFormat,
                   int srcPitch);
    bool NyIndexColor(int x, int y, int w, int h, const unsigned char* indices,
                      const ZRQuad* palette, int srcPitch);
    bool NyAlphaBlend(int x, int y, int w, int h, const unsigned char* srcA, int pitchA,
                      const unsigned char* srcB, int pitchB, int rate);
    bool NySaturationAdd(int x, int y, int w, int h, const unsigned char* src, int srcPitch);
    bool NySaturationSub(int x, int y, int w, int h, const unsigned char* src, int srcPitch);
    bool NyAlphaMask(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                     ZRPixFormat srcFormat, const unsigned char* alpha, int alphaPitch);
    bool NyAlphaMask(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                     ZRPixFormat srcFormat);
    bool NyAlphaMask(int x, int y, int w, int h, const unsigned char* srcA, int pitchA,
                     const unsigned char* srcB, int pitchB, ZRPixFormat srcFormat,
                     const unsigned char* alpha, int alphaPitch);
    bool NyDoubleAlphaMask(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                           ZRPixFormat srcFormat, const unsigned char* alpha, int alphaPitch,
                           int rate);

    // Pixels, primitives and pixel blocks in the bitmap's own format.
    bool PSet(int x, int y, uint32_t pixel);
    uint32_t PGet(int x, int y);
    uint32_t TopLeftGet();
    bool Line(int x1, int y1, int x2, int y2, uint32_t pixel);
    bool Box(int x1, int y1, int x2, int y2, uint32_t pixel);
    bool BoxFill(int x1, int y1, int x2, int y2, uint32_t pixel);
    bool PutPat(int x, int y, int w, int h, const unsigned char* block);
    bool PutPatPitch(int x, int y, int w, int h, const unsigned char* block, int rowStep);
    bool PasPat(int x, int y, int w, int h, const unsigned char* block, uint32_t key);
    bool PasPatPitch(int x, int y, int w, int h, const unsigned char* block, int rowStep,
                     uint32_t key);
    bool PasMPat(int x, int y, int w, int h, const unsigned char* block, const unsigned char* mask,
                 int maskWidth, int maskHeight);
    bool GetPat(int x, int y, int w, int h, unsigned char* block);
    bool IndexColorCopy(int x, int y, const unsigned char* indices, const ZRQuad* palette, int sx,
                        int sy, int w, int h, int rowStep);

    // Copies from another bitmap; (x, y) receives source pixel (sx, sy).
    bool Draw(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h);
    // Rows written by a producer instead of copied from a bitmap: the part of the block
    // (x, y, w, h) that lies on this bitmap goes to `fill` as its first pixel, the pitch, where
    // the part starts inside the block and its size; clipped, locked and reported as changed
    // like Draw. False for a mirrored bitmap, or when fill fails.
    using RowFill =
        std::function<bool(unsigned char* first, int pitch, int ox, int oy, int w, int h)>;
    bool FillRows(int x, int y, int w, int h, const RowFill& fill);
    bool ClipDraw(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h);
    bool DrawKey(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h, ZRRGB key);
    bool DrawTLKey(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h);
    bool DrawMask(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h,
                  const unsigned char* mask, int maskWidth, int maskHeight);
    bool ConvertCopy(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h);
    bool SaturationAdd(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h);
    bool SaturationSub(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h);

    // Blends at a rate 0..128 (the second image's share) and drawing through alpha planes.
    bool AlphaBlend(int x, int y, TNyRGBBits* src1, int x1, int y1, TNyRGBBits* src2, int x2,
                    int y2, int w, int h, int rate);
    bool AlphaBlend(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h, int rate);
    bool DrawAlphaMask(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h,
                       TNyAlpha* alpha);
    bool DrawAlphaMask(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h);
    bool DrawAlphaMask(int x, int y, TNyRGBBits* src1, int x1, int y1, TNyRGBBits* src2, int x2,
                       int y2, int w, int h, TNyAlpha* alpha);
    bool DrawDoubleAlphaMask(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h,
                             TNyAlpha* alpha, int rate);
    bool AlphaFill(int x, int y, uint32_t colour, int ax, int ay, int w, int h, TNyAlpha* alpha);
    bool AlphaFillRate(int x, int y, uint32_t colour, int ax, int ay, int w, int h, TNyAlpha* alpha,
                       int rate);

    // In-place colour effects on a rectangle given by inclusive corners in either order.
    bool ToneChange(int x1, int y1, int x2, int y2, uint32_t tone);
    bool Monochrome(int x1, int y1, int x2, int y2);
    bool Sepia(int x1, int y1, int x2, int y2);
    bool Negative(int x1, int y1, int x2, int y2);

    // Image streams decoded straight into the bitmap at (x, y); a bitmap (or plane) that is
    // not created yet is created at x + width by y + height first.
    bool DrawBmpStream(ZRStream* stream, int x, int y);
    bool DrawBmpStream(plat::TStream* stream, int x, int y);
    bool DrawJpegStream(ZRStream* stream, int x, int y);
    bool DrawJpegStream(plat::TStream* stream, int x, int y);
    bool DrawPngStream(ZRStream* stream, int x, int y, TNyAlpha* alpha = nullptr);
    bool DrawPngStream(plat::TStream* stream, int x, int y, TNyAlpha* alpha = nullptr);
    bool DrawPngWMStream(ZRStream* stream, int x, int y, TNyAlpha* alpha = nullptr);
    bool DrawPngWMStream(plat::TStream* stream, int x, int y, TNyAlpha* alpha = nullptr);
    bool DrawGnyStream(ZRStream* stream, int x, int y, const unsigned char* table);
    bool DrawGnyStream(plat::TStream* stream, int x, int y, const unsigned char* table);

    TNotifyEvent OnChange;

  protected:
    // Address of pixel (x, y); rows are Pitch bytes apart, which may be negative.
    unsigned char* PixelAt(int64_t x, int64_t y) const {
        return FBits + y * FPitch + x * FBitDepth;
    }
    void GuardCheck();
    // Reports the block (x, y, w, h) as modified, in 64-bit arithmetic.
    void SetModifiedBlock(int x, int y, int w, int h);

    char FID[16] = {};
    bool FCreated = false;
    bool FAttached = false;
    int FWidth = 640;
    int FHeight = 480;
    ZRBitDepth FBitDepth = bd24;
    ZRPixFormat FPixFormat = pf24_888;
    bool FReverse = false;
    bool FLocked = false;
    int FLockCount = 0;
    unsigned char* FBits = nullptr;
    int FPitch = 0;
    bool FModified = false;
    bool FModifiedSw = true;
    int FModifiedOffCount = 0;
    ZRRect FModifiedRect{0, 0, 0, 0};
    bool FMmx = false;
    bool FBufferOverRun = false;

  private:
    using RowCombine = void* (*)(void*, const void*, unsigned int);
    bool PutMasked(int x, int y, int w, int h, const unsigned char* src, int srcPitch,
                   const unsigned char* mask, int maskWidth, int maskHeight, bool mirror);
    bool NyCombine(RowCombine combine, int x, int y, int w, int h, const unsigned char* src,
                   int srcPitch);
    // Draws srcB through the alpha rows over srcA (or over the bitmap itself when srcA is
    // null), both in srcFormat, with the single or the rate-scaled weight.
    bool NyAlphaRows(int x, int y, int w, int h, const unsigned char* srcA, int pitchA,
                     const unsigned char* srcB, int pitchB, ZRPixFormat srcFormat,
                     const unsigned char* alpha, int alphaPitch, bool scaled);
    // Draws src through alpha (its own alpha when null), scaled by rate below 128.
    bool ThroughAlpha(int x, int y, TNyRGBBits* src, int sx, int sy, int w, int h, TNyAlpha* alpha,
                      int rate);
    // AlphaFill at rate 128, AlphaFillRate below it.
    bool AlphaFillRows(int x, int y, uint32_t colour, int ax, int ay, int w, int h, TNyAlpha* alpha,
                       int rate);
    // The four colour effects: rows is given each row's first pixel (or the row buffer) and
    // its pixel count and byte step.
    using EffectRow = void (*)(unsigned char* row, unsigned count, int step, uint32_t tone,
                               bool mmx);
    bool Effect(int x1, int y1, int x2, int y2, EffectRow rowEffect, uint32_t tone);

    // Decoder output placed into the bitmap (and plane) by the image-stream members.
    struct Decoded;
    bool PlaceDecoded(Decoded& d, int x, int y, TNyAlpha* alpha);
};

// A bitmap locked for a scope when it could be locked; a display surface hands out its pixels
// only while locked, and every way out must give the lock back.
using TNyBitsLock = ny_clip::LockGuard<TNyRGBBits>;

class TNyAlpha : public plat::TComponent {
  public:
    explicit TNyAlpha(plat::TComponent* owner = nullptr);
    ~TNyAlpha() override;

    void SetID(const plat::AnsiString& id);
    plat::AnsiString GetID() const;

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool Created() const { return FCreated; }
    unsigned char* Bits() const { return FBits; }
    int Pitch() const { return FPitch; }
    bool Mmx() const { return FMmx; }
    // Address of value (x, y).
    unsigned char* ValueAt(int64_t x, int64_t y) const { return FBits + y * FPitch + x; }

    void SetWidth(int w) { Resize(w, FHeight); }
    void SetHeight(int h) { Resize(FWidth, h); }

    // A new or resized plane is fully opaque (255).
    virtual bool Create();
    virtual void Release();
    virtual bool Resize(int w, int h);
    virtual bool GetDC(void** dc);
    virtual bool ReleaseDC(void* dc);

    void Cls();
    bool PSet(int x, int y, unsigned char value);
    unsigned char PGet(int x, int y) const;
    void Fill(unsigned char value);
    bool Line(int x1, int y1, int x2, int y2, unsigned char value);
    bool BoxFill(int x1, int y1, int x2, int y2, unsigned char value);
    bool ToneDown(int x1, int y1, int x2, int y2, int rate);
    static void ClipRect(const ZRRect& placed, const ZRRect& bounds, int& left, int& top,
                         int& right, int& bottom) {
        TNyRGBBits::ClipRect(placed, bounds, left, top, right, bottom);
    }

    bool PutAlpha(int x, int y, int w, int h, const unsigned char* src);
    bool PutAlphaPitch(int x, int y, int w, int h, const unsigned char* src, int srcPitch);
    bool GetAlpha(int x, int y, int w, int h, unsigned char* dst);
    bool Draw(int x, int y, TNyAlpha* src, int sx, int sy, int w, int h);

    bool NyAlphaBlend(int x, int y, int w, int h, const unsigned char* srcA, int pitchA,
                      const unsigned char* srcB, int pitchB, int rate);
    bool AlphaBlend(int x, int y, TNyAlpha* a, int ax, int ay, TNyAlpha* b, int bx, int by, int w,
                    int h, int rate);
    bool AlphaBlend(int x, int y, TNyAlpha* src, int sx, int sy, int w, int h, int rate);

    bool LoadAlphaStream(ZRStream* stream, int x, int y);
    bool LoadAlphaStream(plat::TStream* stream, int x, int y);
    bool LoadIndexStream(ZRStream* stream, int x, int y);
    bool LoadIndexStream(plat::TStream* stream, int x, int y);

    // Level operations: saturating add or subtract of level, and the 16-step extraction.
    bool NyExtract(int x, int y, int w, int h, const unsigned char* src, int srcPitch, int level);
    bool NySAdd(int x, int y, int w, int h, const unsigned char* src, int srcPitch, int level);
    bool NySSub(int x, int y, int w, int h, const unsigned char* src, int srcPitch, int level);
    bool Extract(int x, int y, TNyAlpha* src, int sx, int sy, int w, int h, int level);
    bool SAdd(int x, int y, TNyAlpha* src, int sx, int sy, int w, int h, int level);
    bool SSub(int x, int y, TNyAlpha* src, int sx, int sy, int w, int h, int level);

    bool CheckBufferOverRun() const { return FBufferOverRun; }

  protected:
    void GuardCheck();

    char FID[16] = {};
    bool FCreated = false;
    int FWidth = 640;
    int FHeight = 480;
    unsigned char* FBits = nullptr;
    int FPitch = 0;
    bool FMmx = false;
    bool FBufferOverRun = false;

  private:
    using LevelProc = void* (*)(void*, const void*, const int, unsigned int);
    bool LevelKernel(LevelProc proc, int x, int y, int w, int h, const unsigned char* src,
                     int srcPitch, int level);
    bool LevelFrom(LevelProc proc, int x, int y, TNyAlpha* src, int sx, int sy, int w, int h,
                   int level);
    // Puts a decoded w x h block at (x, y), creating the plane at x + w by y + h when needed.
    bool PlaceBlock(const unsigned char* block, int x, int y, int w, int h);
};

// Mixes planes a and b into dst at the rate and records b's share of each result in ratio at
// b's coordinates; pixels outside a or b count as 0.
bool ComposeAlphaChannel(TNyAlpha* dst, int x, int y, TNyAlpha* ratio, TNyAlpha* a, int ax, int ay,
                         TNyAlpha* b, int bx, int by, int w, int h, int rate);
