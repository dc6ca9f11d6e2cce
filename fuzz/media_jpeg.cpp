// Fuzzes the JPEG reader. The first input byte picks the pixel format; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>

#include "media/zrjpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1 << 20)) return 0;
    const int n = static_cast<int>(size - 1);
    int w = 0, h = 0;
    try {
        // Images too big to decode quickly are only sized.
        ZRMemoryStream probe(data + 1, n);
        if (!LoadJpeg(&probe, nullptr, &w, &h, pf16_565) || int64_t{w} * h > (1 << 22))
            return 0;
    } catch (const std::exception&) {
        return 0;
    }
    unsigned char* pixels = nullptr;
    try {
        ZRMemoryStream s(data + 1, n);
        LoadJpeg(&s, &pixels, &w, &h, static_cast<ZRPixFormat>(data[0] & 7));
    } catch (const std::exception&) {
    }
    std::free(pixels);
    return 0;
}
