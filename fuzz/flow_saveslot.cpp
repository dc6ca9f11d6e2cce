// Arbitrary bytes as a slot file read by the save menu: the record reader refuses them, leaving
// the record as it was, or gives a title of at most 23 bytes and a thumbnail that is either the
// file's whole picture or black.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "flow/psavemenu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SlotRecord record;
    record.title = "untouched";
    record.thumb.fill(0x5A);
    GameState cur;
    uint32_t thumbSize = 0;
    std::vector<uint8_t> thumb(kThumbnailMaxSize, 0);
    const bool decodes = DecodeSlotSave(data, size, &cur, nullptr, thumbSize, thumb.data());
    const bool read = ReadSlotRecord(data, size, record);
    if (read != decodes) __builtin_trap();
    if (!read) {
        if (record.title != "untouched" || record.thumb[0] != 0x5A) __builtin_trap();
        return 0;
    }
    if (record.title.IsEmpty() || record.title.Length() > 23) __builtin_trap();
    if (thumbSize == kThumbnailMaxSize) {
        if (std::memcmp(record.thumb.data(), thumb.data(), kThumbnailMaxSize) != 0)
            __builtin_trap();
    } else {
        for (uint8_t b : record.thumb)
            if (b != 0) __builtin_trap();
    }
    return 0;
}
