// The bitmap's life: allocation with guard bytes, the nesting lock, change notification by
// modified rectangle and colour packing for its format.
#include "widgets/nyrgbbits.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "media/zrcpuid.h"
#include "media/zrrgbcopy.h"
#include "platform/pixelmemory.h"
#include "widgets/nyclip.h"
#include "widgets/nyunit.h"

using namespace ny_clip;

namespace {

int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

namespace ny_unit {

const CPUID& Cpu() {
    static const CPUID cpu;
    return cpu;
}

TNotifyEvent& BitsOverRunHandler() {
    static TNotifyEvent h;
    return h;
}

TNotifyEvent& AlphaOverRunHandler() {
    static TNotifyEvent h;
    return h;
}

unsigned char* NewGuarded(int bpp, int w, int h) {
    const int64_t bytes = BlockBytes(bpp, w, h, kNyGuardBytes);
    if (bytes < 0) return nullptr;
    auto* mem = static_cast<unsigned char*>(plat::AllocPixels(static_cast<size_t>(bytes)));
    if (!mem) return nullptr;
    const size_t pixels = static_cast<size_t>(bytes - kNyGuardBytes);
    std::memset(mem + pixels, 0x55, kNyGuardBytes);
    std::memset(mem, 0, pixels);
    return mem;
}

bool GuardIntact(const unsigned char* guard) {
    for (int i = 0; i < kNyGuardBytes; ++i)
        if (guard[i] != 0x55) return false;
    return true;
}

void SetID(char (&field)[16], const plat::AnsiString& id) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, id.bytes().data(), std::min<size_t>(16, id.bytes().size()));
}

}  // namespace ny_unit

void SetOnBitsBufferOverRun(TNotifyEvent handler) {
    ny_unit::BitsOverRunHandler() = handler;
}
void SetOnAlphaBufferOverRun(TNotifyEvent handler) {
    ny_unit::AlphaOverRunHandler() = handler;
}

TNyRGBBits::TNyRGBBits(plat::TComponent* owner)
    : plat::TComponent(owner), FMmx(UseMmxKernels(ny_unit::Cpu())) {}

TNyRGBBits::~TNyRGBBits() {
    if (FCreated) TNyRGBBits::Release();
}

void TNyRGBBits::SetID(const plat::AnsiString& id) {
    ny_unit::SetID(FID, id);
}
plat::AnsiString TNyRGBBits::GetID() const {
    return plat::AnsiString(FID, sizeof FID);
}

void TNyRGBBits::SetBitDepth(ZRBitDepth depth) {
    if (FCreated) return;
    FBitDepth = depth;
    if (ChkDepthAndFormat(depth, FPixFormat)) return;
    switch (depth) {
        case bd8:
            FPixFormat = pfNone;
            break;
        case bd16:
            FPixFormat = pf16_565;
            break;
        case bd24:
            FPixFormat = pf24_888;
            break;
        case bd32:
            FPixFormat = pf32_888;
            break;
        default:
            break;
    }
}

void TNyRGBBits::SetPixFormat(ZRPixFormat format) {
    if (FCreated) return;
    FPixFormat = format;
    if (ChkDepthAndFormat(FBitDepth, format)) return;
    switch (format) {
        case pf16_565:
        case pf16_555:
        case pf16_5551:
        case pf16_4444:
            FBitDepth = bd16;
            break;
        case pf24_888:
            FBitDepth = bd24;
            break;
        case pf32_888:
        case pf32_8888:
            FBitDepth = bd32;
            break;
        default:
            break;
    }
}

bool TNyRGBBits::SetProcs() const {
    return FBitDepth >= bd8 && FBitDepth <= bd32 && FPixFormat <= pf32_8888;
}

bool TNyRGBBits::Create() {
    if (FCreated) return false;
    if (!ChkDepthAndFormat(FBitDepth, FPixFormat)) return false;
    if (FWidth <= 0 || FHeight <= 0 || FBitDepth < bd8 || FBitDepth > bd32 ||
        FPixFormat < pf16_565 || FPixFormat > pf32_8888)
        return false;
    FBits = ny_unit::NewGuarded(FBitDepth, FWidth, FHeight);
    if (!FBits) return false;
    FPitch = FBitDepth * FWidth;
    if (!SetProcs()) {
        std::free(FBits);
        FBits = nullptr;
        return false;
    }
    FLocked = false;
    FLockCount = 0;
    FModified = false;
    FModifiedSw = true;
    FModifiedOffCount = 0;
    FAttached = false;
    FCreated = true;
    return true;
}

void TNyRGBBits::GuardCheck() {
    if (ny_unit::GuardIntact(FBits + static_cast<size_t>(FPitch) * FHeight)) return;
    FBufferOverRun = true;
    if (ny_unit::BitsOverRunHandler().IsSet()) ny_unit::BitsOverRunHandler().Call(this);
}

void TNyRGBBits::Release() {
    if (!FCreated) return;
    while (FLocked)
        if (!Unlock()) break;
    GuardCheck();
    std::free(FBits);
    FBits = nullptr;
    FCreated = false;
}

bool TNyRGBBits::Resize(int w, int h) {
    if (w <= 0 || h <= 0) return false;
    if (!FCreated) {
        FWidth = w;
        FHeight = h;
        return true;
    }
    if (FAttached || FLocked) return false;
    unsigned char* mem = ny_unit::NewGuarded(FBitDepth, w, h);
    if (!mem) return false;
    GuardCheck();
    std::free(FBits);
    FBits = mem;
    FPitch = FBitDepth * w;
    FModified = false;
    FModifiedSw = true;
    FModifiedOffCount = 0;
    FWidth = w;
    FHeight = h;
    return true;
}

bool TNyRGBBits::Lock() {
    if (!FCreated) return false;
    FLocked = true;
    ++FLockCount;
    return true;
}

bool TNyRGBBits::Unlock() {
    if (!FCreated || !FLocked) return false;
    if (--FLockCount == 0) FLocked = false;
    return true;
}

bool TNyRGBBits::HaveDC() {
    return false;
}
bool TNyRGBBits::GetDC(void**) {
    return false;
}
bool TNyRGBBits::ReleaseDC(void*) {
    return true;
}

void TNyRGBBits::Change() {
    if (OnChange.IsSet()) OnChange.Call(this);
}

void TNyRGBBits::ModifiedFlush() {
    FModified = false;
    Change();
    FModifiedRect = ZRRect{0, 0, 0, 0};
}

void TNyRGBBits::SetModified(const ZRRect& r) {
    if (!FCreated) return;
    ZRRect candidate = r;
    if (FModified) ZRUnionRect(FModifiedRect, r, candidate);
    ZRIntersectRect(candidate, ZRRect{0, 0, FWidth, FHeight}, FModifiedRect);
    if (FModifiedSw)
        ModifiedFlush();
    else
        FModified = true;
}

void TNyRGBBits::SetModified(int x1, int y1, int x2, int y2) {
    SetModified(ZRRect{std::min(x1, x2), std::min(y1, y2), Saturate(int64_t(std::max(x1, x2)) + 1),
                       Saturate(int64_t(std::max(y1, y2)) + 1)});
}

void TNyRGBBits::SetModified() {
    SetModified(ZRRect{0, 0, FWidth, FHeight});
}

void TNyRGBBits::SetModifiedBlock(int x, int y, int w, int h) {
    // The inclusive corners (x, y) and (x + w - 1, y + h - 1), ordered as SetModified orders them.
    const int64_t x2 = int64_t(x) + w - 1, y2 = int64_t(y) + h - 1;
    SetModified(ZRRect{Saturate(std::min<int64_t>(x, x2)), Saturate(std::min<int64_t>(y, y2)),
                       Saturate(std::max<int64_t>(x, x2) + 1),
                       Saturate(std::max<int64_t>(y, y2) + 1)});
}

void TNyRGBBits::ChgModifiedSw(bool on) {
    if (!FModifiedSw && on) {
        if (FModified) ModifiedFlush();
        FModifiedOffCount = 0;
    } else if (FModifiedOffCount == 0 && !on) {
        FModifiedOffCount = 1;
    }
    FModifiedSw = on;
}

void TNyRGBBits::ModifiedOff() {
    ++FModifiedOffCount;
    if (FModifiedSw) ChgModifiedSw(false);
}

void TNyRGBBits::ModifiedOn() {
    if (FModifiedOffCount > 0 && --FModifiedOffCount == 0) ChgModifiedSw(true);
}

uint32_t TNyRGBBits::TNyRGBtoPixel(ZRRGB colour) const {
    const ZRConvertProc pack = FPixFormat < 8 ? ConvertRGBtoProcTable[FPixFormat] : nullptr;
    return pack ? pack(colour.ToDWORD()) : 0;
}

ZRRGB TNyRGBBits::PixeltoTNyRGB(uint32_t pixel) const {
    const ZRConvertProc unpack = FPixFormat < 8 ? ConvertRGBfromProcTable[FPixFormat] : nullptr;
    return unpack ? ZRRGB(unpack(pixel)) : ZRRGB();
}

void TNyRGBBits::Cls() {
    if (!FCreated) return;
    LockGuard lock(this);
    if (!lock.Held()) return;
    const size_t row = static_cast<size_t>(FBitDepth) * FWidth;
    for (int y = 0; y < FHeight; ++y) std::memset(PixelAt(0, y), 0, row);
    SetModified();
}

void TNyRGBBits::ClipRect(const ZRRect& placed, const ZRRect& bounds, int& left, int& top,
                          int& right, int& bottom) {
    left = Saturate(std::max<int64_t>(left, int64_t(bounds.left) - placed.left));
    top = Saturate(std::max<int64_t>(top, int64_t(bounds.top) - placed.top));
    right = Saturate(std::max<int64_t>(right, int64_t(placed.right) - bounds.right));
    bottom = Saturate(std::max<int64_t>(bottom, int64_t(placed.bottom) - bounds.bottom));
}
