// Arbitrary bytes as a slot save file: the reader must refuse them cleanly or give states the
// game can use, and a slot it accepts must save and load again to the same states and
// thumbnail.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "game/gamedata.h"

namespace {

std::vector<uint8_t> Image(const GameState& s) {
    std::vector<uint8_t> img(kGameStateSize);
    s.Encode(img.data());
    return img;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GameState cur, snap;
    uint32_t thumbSize = 0;
    std::vector<uint8_t> thumb(kThumbnailMaxSize, 0);
    if (!DecodeSlotSave(data, size, &cur, &snap, thumbSize, thumb.data())) return 0;
    if (!cur.IsValid() || !snap.IsValid() || thumbSize > kThumbnailMaxSize) __builtin_trap();

    std::string again;
    if (!EncodeSlotSave(cur, snap, thumbSize, thumb.data(), again)) __builtin_trap();
    GameState cur2, snap2;
    uint32_t thumbSize2 = 0;
    std::vector<uint8_t> thumb2(kThumbnailMaxSize, 0);
    if (!DecodeSlotSave(reinterpret_cast<const uint8_t*>(again.data()), again.size(), &cur2, &snap2,
                        thumbSize2, thumb2.data()))
        __builtin_trap();
    if (Image(cur) != Image(cur2) || Image(snap) != Image(snap2) || thumbSize != thumbSize2 ||
        std::memcmp(thumb.data(), thumb2.data(), thumbSize) != 0)
        __builtin_trap();
    return 0;
}
