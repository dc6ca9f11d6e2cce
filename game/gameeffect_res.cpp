// Loading the transition resources.
#include "game/gameeffect_res.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "foundation/zrfileman.h"
#include "foundation/zrmemman.h"
#include "foundation/zrstream.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/maint.h"
#include "media/zrbmp.h"

namespace {

// The reason goes to stderr: EGameErr itself only ever says "GameErr".
[[noreturn]] void Fail(const char* what, const char* name) {
    std::fprintf(stderr, "GameErr: %s \"%s\"\n", what, name);
    throw EGameErr();
}

// Reads exactly n bytes; false on a short stream.
bool ReadAll(ZRStream* s, void* dst, int n) {
    if (!s) return false;
    auto* p = static_cast<unsigned char*>(dst);
    int got = 0;
    while (got < n) {
        const int r = s->Read(p + got, n - got);
        if (r <= 0) return false;
        got += r;
    }
    return true;
}

ZRPixFormat FormatOf(ZRBitDepth depth) {
    return depth == bd32 ? pf32_888 : pf24_888;
}

}  // namespace

// ---- water tables ----

void TNYWaterTable::LoadTables(ZRFileMan* files) {
    if (loaded) return;
    ZRStream* s[3] = {};
    static const char* const names[3] = {"WaterDistTbl.bin", "WaterSinTbl.bin",
                                         "WaterMultiTbl.bin"};
    if (files)
        for (int i = 0; i < 3; ++i) s[i] = files->Open(names[i]);
    try {
        LoadWaterStreams(*this, s[0], s[1], s[2]);
    } catch (...) {
        for (auto& x : s)
            if (x) files->Close(x);
        throw;
    }
    for (auto& x : s)
        if (x) files->Close(x);
}

void LoadWaterStreams(TNYWaterTable& w, ZRStream* dist, ZRStream* sineSrc, ZRStream* amp) {
    if (w.loaded) return;
    uint16_t*& distance = w.distance;
    uint8_t*& sine = w.sine;
    uint8_t*& amplitude = w.amplitude;
    distance = new (std::nothrow) uint16_t[kWaterQuadW * kWaterQuadH];
    sine = new (std::nothrow) uint8_t[kWaterSinBytes];
    amplitude = new (std::nothrow) uint8_t[kWaterMultiBytes];
    if (!distance || !sine || !amplitude) {
        w.loaded = 1;
        w.Free();
        Fail("cannot allocate", "water tables");
    }
    {
        // Stored little-endian whatever the host.
        auto* raw = reinterpret_cast<uint8_t*>(distance);
        if (ReadAll(dist, raw, kWaterDistBytes)) {
            for (int i = 0; i < kWaterQuadW * kWaterQuadH; ++i)
                distance[i] = uint16_t(raw[2 * i] | (raw[2 * i + 1] << 8));
        } else {
            std::memset(distance, 0, kWaterDistBytes);
        }
    }
    if (!ReadAll(sineSrc, sine, kWaterSinBytes)) std::memset(sine, kWaterNeutral, kWaterSinBytes);
    if (!ReadAll(amp, amplitude, kWaterMultiBytes))
        std::memset(amplitude, kWaterNeutral, kWaterMultiBytes);
    w.loaded = 1;
}

// ---- fade masks ----

void TNYFadeAlphaMask::Load(ZRFileMan* files, const ZRString& name) {
    ZRStream* s = files ? files->Open(name) : nullptr;
    try {
        LoadMaskStream(*this, s);
    } catch (const EGameErr&) {
        if (s) files->Close(s);
        Fail("cannot load fade mask", name.c_str());
    }
    if (s) files->Close(s);
}

void LoadMaskStream(TNYFadeAlphaMask& m, ZRStream* stream) {
    m.Free();
    TNyAlpha*& mask = m.mask;
    TNyAlpha*& work = m.work;
    mask = new (std::nothrow) TNyAlpha(nullptr);
    work = new (std::nothrow) TNyAlpha(nullptr);
    m.loaded = 1;
    try {
        // The size is checked from the headers first, so no other size is ever decoded.
        int w = 0, h = 0;
        if (mask && work && stream && LoadAlpha(stream, nullptr, &w, &h) && w == 1280 && h == 720 &&
            stream->Seek(0, zrSeekSet) == 0)
            mask->LoadAlphaStream(stream, 0, 0);
    } catch (...) {
        // A damaged picture leaves the mask uncreated, refused below.
    }
    const bool ok = mask && work && mask->Created() && mask->Width() == 1280 &&
                    mask->Height() == 720 && work->Resize(1280, 720) && work->Create();
    if (!ok) {
        m.Free();
        throw EGameErr();
    }
}

void TNYFadeAlphaMask::Extract(int32_t level) {
    if (!loaded) return;
    level = level < 0 ? 0 : level > 255 ? 255 : level;
    work->Extract(0, 0, mask, 0, 0, mask->Width(), mask->Height(), level);
}

void TNYFadeAlphaMask::SAdd(int32_t level) {
    if (!loaded) return;
    level = level < 0 ? 0 : level > 255 ? 255 : level;
    work->SAdd(0, 0, mask, 0, 0, mask->Width(), mask->Height(), level);
}

void TNYFadeAlphaMask::SSub(int32_t level) {
    if (!loaded) return;
    level = level < 0 ? 0 : level > 255 ? 255 : level;
    work->SSub(0, 0, mask, 0, 0, mask->Width(), mask->Height(), level);
}

// ---- halo pictures ----

void TNYHalationImage::Load(ZRFileMan* files, ZRBitDepth depth) {
    Free();
    TNyRGBBits** slot[1 + kHaloLayers] = {&back};
    for (int i = 0; i < kHaloLayers; ++i) slot[1 + i] = &layer[i];
    loaded = 1;
    for (int i = 0; i <= kHaloLayers; ++i) {
        TNyRGBBits* b = new (std::nothrow) TNyRGBBits(nullptr);
        *slot[i] = b;
        if (!b) {
            Free();
            Fail("cannot allocate", kHaloFiles[i]);
        }
        b->SetBitDepth(depth);
        b->SetPixFormat(FormatOf(depth));
        ZRStream* s = files ? files->Open(kHaloFiles[i]) : nullptr;
        if (!s) continue;
        bool ok = false;
        try {
            ok = b->DrawBmpStream(s, 0, 0);
        } catch (...) {
        }
        files->Close(s);
        if (!ok) {
            Free();
            Fail("cannot decode halo picture", kHaloFiles[i]);
        }
    }
}
