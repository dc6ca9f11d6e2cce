// A character definition of any bytes, read into a record over a small picture with an alpha
// plane; then 64 animation ticks of every entry, each entry drawn opaque and blended after
// every tick into a small target. Every value the reader keeps must index inside the record.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scenes/stageu.h"
#include "widgets/nyrgbbits.h"

namespace {

TNyRGBBits* Target() {
    static TNyRGBBits* t = [] {
        auto* b = new TNyRGBBits(nullptr);
        b->SetBitDepth(bd32);
        b->Resize(48, 48);
        b->Create();
        return b;
    }();
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CharRecord rec;
    ParseCharDefinition(rec, std::string_view(reinterpret_cast<const char*>(data), size));
    if (rec.width < 0 || rec.width > CharRecord::kMaxSize || rec.height < 0 ||
        rec.height > CharRecord::kMaxSize)
        __builtin_trap();
    for (const auto& en : rec.entry)
        if (en.image < -1 || en.image >= CharRecord::kImages || en.anim < -1 ||
            en.anim >= CharRecord::kAnims)
            __builtin_trap();
    for (const auto& a : rec.anim)
        for (const auto& f : a)
            if (f.image < -2 || f.image >= CharRecord::kImages || f.wait < 1) __builtin_trap();

    rec.created = true;
    rec.picture = std::make_unique<TNyRGBBits>(nullptr);
    rec.picture->SetBitDepth(bd32);
    rec.picture->Resize(24, 24);
    rec.picture->Create();
    rec.picture->BoxFill(0, 0, 23, 23, 0x806040);
    rec.alpha = std::make_unique<TNyAlpha>(nullptr);
    rec.alpha->Resize(24, 24);
    rec.alpha->Create();
    rec.alpha->Fill(0x80);
    TNyRGBBits* t = Target();
    const ZRRect area{0, 0, 48, 48};
    for (int tick = 0; tick < 64; ++tick) {
        for (int e = 0; e < CharRecord::kEntries; ++e) TStageUnit::EntryAnimTick(rec, e, nullptr);
        TStageUnit::DrawCharRecord(rec, t, 4, 4, area, 128);
        TStageUnit::DrawCharRecord(rec, t, -8, 2, area, 40);
        if (tick == 32) rec.alpha.reset();
    }
    return 0;
}
