// Reads arbitrary bytes as the music table and checks the bounds the music room relies on.
#include <cstddef>
#include <cstdint>

#include "flow/pmenutables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    ZRMemoryStream stream(data, static_cast<int>(size));
    SoundTable table;
    ReadSoundTable(&stream, table);
    if (table.Count < 0 || table.Count > kSoundTracks) __builtin_trap();
    for (int i = 0; i < table.Count; ++i)
        if (table.Tracks[i] < 1) __builtin_trap();
    for (int i = table.Count; i < kSoundTracks; ++i)
        if (!table.Titles[i].IsEmpty()) __builtin_trap();
    return 0;
}
