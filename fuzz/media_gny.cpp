// Fuzzes the gny reader. The first input byte picks the pixel format (low three bits) and the
// table (bit 3: all zero, else a fixed pattern); the rest is the container.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>

#include "media/zrgny.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1 << 20)) return 0;
    unsigned char table[256] = {};
    if (!(data[0] & 8))
        for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(i * 37 + 11);
    unsigned char* pixels = nullptr;
    int w = 0, h = 0;
    try {
        ZRMemoryStream s(data + 1, static_cast<int>(size - 1));
        LoadGny(&s, &pixels, &w, &h, static_cast<ZRPixFormat>(data[0] & 7), table);
    } catch (const std::exception&) {
    }
    std::free(pixels);
    return 0;
}
