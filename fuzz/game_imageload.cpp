// Fuzzes the game's picture loaders. The first byte picks the kind (low three bits, values
// beyond the four decoders included), whether an alpha plane is asked for (bit 3) and the
// working depth (bit 4); the rest is the picture file. Every failure must leave nothing
// allocated, and every success must hand back a created bitmap.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/gamefunc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1 << 20)) return 0;
    if (!MemMan) MemMan = new ZRMemMan();
    WorkBitDepth = data[0] & 16 ? bd24 : bd32;
    const ImageKind kind = data[0] & 7;
    const bool wantAlpha = data[0] & 8;
    const int baseline = MemMan->Count();

    ZRMemoryStream stream(data + 1, static_cast<int>(size - 1));
    TNyRGBBits* bits = nullptr;
    TNyAlpha* alpha = nullptr;
    const bool ok = LoadImageStream(&bits, wantAlpha ? &alpha : nullptr, kind, &stream);
    if (ok != (bits != nullptr)) std::abort();
    if (ok && !bits->Created()) std::abort();
    if (!ok && alpha) std::abort();
    MemMan->Delete(bits);
    MemMan->Delete(alpha);
    if (MemMan->Count() != baseline) std::abort();

    // Drawing into a bitmap that already exists, at an offset that may cut the picture.
    TNyRGBBits target(nullptr);
    target.SetBitDepth(WorkBitDepth);
    target.Resize(48, 32);
    if (target.Create()) {
        stream.Seek(0, zrSeekSet);
        DrawImageStream(&target, nullptr, kind, (data[0] >> 5) * 9 - 20, 5, &stream);
    }
    return 0;
}
