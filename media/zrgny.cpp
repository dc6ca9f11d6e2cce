#include "media/zrgny.h"

#include "foundation/zrstd.h"
#include "media/zrimgbuf.h"
#include "media/zrrgbcopy.h"

namespace {

// Combines each byte i of buffer with table[(start + i) mod 256]; scrambles and unscrambles.
void GnyScramble(unsigned char* buffer, int64_t length, const unsigned char* table, int start) {
    unsigned index = static_cast<unsigned>(start) & 0xFF;
    for (int64_t i = 0; i < length; ++i, index = (index + 1) & 0xFF) buffer[i] ^= table[index];
}

int32_t ReadField(ZRStream* stream, const unsigned char* table, int start) {
    unsigned char b[4];
    stream->ReadBuffer(b, 4);
    GnyScramble(b, 4, table, start);
    return static_cast<int32_t>(ZRGetLE32(b));
}

// A wrong table easily yields a huge or negative size: refuse what cannot be held or what
// the rest of a stream of known size cannot contain.
bool PlausibleSize(ZRStream* stream, int32_t width, int32_t height, int bpp) {
    if (width <= 0 || height <= 0 || ZRImageBytes(width, height, bpp) < 0) return false;
    const int64_t stored = ZRImageBytes(width, height, 3);
    if (stored < 0) return false;
    if (stream->IsSeekable()) {
        const int64_t size = stream->GetSize();
        const int64_t position = stream->GetPosition();
        if (size >= 0 && position >= 0 && stored > size - position) return false;
    }
    return true;
}

}  // namespace

bool LoadGny(ZRStream* stream, unsigned char** pixels, int* width, int* height,
             ZRPixFormat format, const unsigned char* table) {
    if (format < pf16_565 || format > pf32_8888) return false;
    const int bpp = FormatAndDepthTable[format];
    const int32_t w = ReadField(stream, table, 0);
    const int32_t h = ReadField(stream, table, 4);
    *width = w;
    *height = h;
    if (!pixels) return true;
    if (!PlausibleSize(stream, w, h, bpp)) return false;

    const char* const kAllocError = "LoadGny MemoryAllocError";
    const int64_t stored = int64_t{w} * 3;
    const int64_t outRow = int64_t{w} * bpp;
    ZRImageWork row(stored, kAllocError);
    unsigned char* out = ZRImageOutput(pixels, outRow * h, kAllocError);
    const ZRRowConvertProc convert = RGBTRIPLEcpyToProcTable[format];
    int start = 8;
    for (int64_t y = 0; y < h; ++y) {
        stream->ReadBuffer(row.get(), static_cast<int>(stored));
        GnyScramble(row.get(), stored, table, start);
        start = static_cast<int>((start + stored) % 256);
        convert(out + y * outRow, row.get(), static_cast<unsigned>(w));
    }
    return true;
}
