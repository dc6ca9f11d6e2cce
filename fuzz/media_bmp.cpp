// Fuzzes the BMP reader's three entry points. The first input byte picks the pixel format;
// the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>

#include "media/zrbmp.h"
#include "media/zrimgbuf.h"

namespace {

// Images the reader would accept but that are too big to decode quickly are only sized.
bool Small(int w, int h) {
    return ZRImageBytes(w, h, 4) < 0 || int64_t{w} * h <= (1 << 22);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1 << 20)) return 0;
    const auto format = static_cast<ZRPixFormat>(data[0] & 7);
    const int n = static_cast<int>(size - 1);
    int w = 0, h = 0;
    try {
        ZRMemoryStream probe(data + 1, n);
        if (!LoadBmp(&probe, nullptr, &w, &h, pf16_565) || !Small(w, h)) return 0;
    } catch (const std::exception&) {
        return 0;
    }
    unsigned char* pixels = nullptr;
    unsigned char* alpha = nullptr;
    unsigned char* indices = nullptr;
    ZRQuad* palette = nullptr;
    try {
        ZRMemoryStream s(data + 1, n);
        LoadBmp(&s, &pixels, &w, &h, format);
    } catch (const std::exception&) {
    }
    try {
        ZRMemoryStream s(data + 1, n);
        LoadAlpha(&s, &alpha, &w, &h);
    } catch (const std::exception&) {
    }
    try {
        ZRMemoryStream s(data + 1, n);
        LoadPalette(&s, (format & 1) ? &palette : nullptr, &indices, &w, &h);
    } catch (const std::exception&) {
    }
    std::free(pixels);
    std::free(alpha);
    std::free(indices);
    std::free(palette);
    return 0;
}
