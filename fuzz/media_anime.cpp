// Fuzzes the animation data reader, then plays every group of what it accepted.
#include <cstddef>
#include <cstdint>

#include "foundation/zrstream.h"
#include "media/zranimestat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    ZRMemoryStream stream(data, static_cast<int>(size));
    ZRAnimeData anime;
    if (!anime.Load(&stream)) return 0;
    ZRAnimeStat player;
    player.SetAnimeData(&anime);
    for (int g = 0; g < kAnimeGroups; ++g) {
        player.StartGroup(g);
        for (int t = 0; t < 64; ++t) player.CallFrame(t & 7);
        for (int f = 0; f < anime.GetAnimeCount(g); ++f) player.StartFrame(f);
    }
    return 0;
}
