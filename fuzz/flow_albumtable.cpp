// Reads arbitrary bytes as the album table, with the unlock bits taken from the first bytes,
// and checks what the album relies on: at most eight numbers per entry, none of them zero,
// every one unlocked unless all are shown, and the movie mark matching the numbers.
#include <cstddef>
#include <cstdint>

#include "flow/pmenutables.h"
#include "game/gamedata.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 26 || size > 1 << 16) return 0;
    SystemData sys;
    for (int i = 0; i < 25; ++i) sys.Album[i] = data[i];
    sys.SetFlag(63, data[25] & 1);
    bool showAll = (data[25] & 2) != 0;
    ZRMemoryStream stream(data + 26, static_cast<int>(size - 26));
    AlbumEntry entries[kAlbumEntries];
    ReadAlbumTable(&stream, sys, showAll, entries);
    for (const AlbumEntry& e : entries) {
        if (e.Count < 0 || e.Count > kAlbumEntryNumbers) __builtin_trap();
        bool movie = false;
        for (int i = 0; i < kAlbumEntryNumbers; ++i) {
            int32_t n = e.Numbers[i];
            if (i >= e.Count) {
                if (n != -1) __builtin_trap();
                continue;
            }
            if (n == 0) __builtin_trap();
            if (!showAll && (n < 500 || !sys.GetAlbumBit(n - 500))) __builtin_trap();
            if (n >= kAlbumFirstMovie) movie = true;
            if (AlbumItemName(n).IsEmpty()) __builtin_trap();
        }
        if (movie != e.Movie) __builtin_trap();
    }
    return 0;
}
