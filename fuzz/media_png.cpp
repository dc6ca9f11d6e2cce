// Fuzzes the PNG reader, the channel probe and, on what decodes, the writer. The first input
// byte picks the pixel format (low three bits), the white-matte reader (bit 3) and whether
// an alpha plane is asked for (bit 4); the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>

#include "media/zrpng.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1 << 20)) return 0;
    const auto format = static_cast<ZRPixFormat>(data[0] & 7);
    const int n = static_cast<int>(size - 1);
    int w = 0, h = 0;
    try {
        ZRMemoryStream probe(data + 1, n);
        ChkChannelPng(&probe);
        // Images too big to decode quickly are only sized.
        ZRMemoryStream sized(data + 1, n);
        if (!LoadPng(&sized, nullptr, nullptr, &w, &h, pf16_565) || int64_t{w} * h > (1 << 22))
            return 0;
    } catch (const std::exception&) {
        return 0;
    }
    unsigned char* colour = nullptr;
    unsigned char* alpha = nullptr;
    unsigned char** alphaOut = (data[0] & 16) ? &alpha : nullptr;
    try {
        ZRMemoryStream s(data + 1, n);
        const bool ok = (data[0] & 8) ? LoadPngWhiteMat(&s, &colour, alphaOut, &w, &h, format)
                                      : LoadPng(&s, &colour, alphaOut, &w, &h, format);
        if (ok) {
            ZRMemoryStream out;
            SavePng(&out, colour, alpha, w, h, format);
        }
    } catch (const std::exception&) {
    }
    std::free(colour);
    std::free(alpha);
    return 0;
}
