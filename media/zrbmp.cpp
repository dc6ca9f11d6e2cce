#include "media/zrbmp.h"

#include <cstring>
#include <stdexcept>

#include "foundation/zrstd.h"
#include "media/zrimgbuf.h"
#include "media/zrrgbcopy.h"

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kMaxColours = 256;

struct BmpHeader {
    int32_t width;
    int32_t height;
    uint16_t bitCount;
    uint32_t colours;  // palette entries stored in the file
};

// Reads both headers (the file header is not consulted) and reports the size.
BmpHeader ReadHeaders(ZRStream* stream, int* width, int* height) {
    unsigned char file[kFileHeaderSize];
    unsigned char info[kInfoHeaderSize];
    stream->ReadBuffer(file, kFileHeaderSize);
    stream->ReadBuffer(info, kInfoHeaderSize);
    BmpHeader h;
    h.width = static_cast<int32_t>(ZRGetLE32(info + 4));
    h.height = static_cast<int32_t>(ZRGetLE32(info + 8));
    h.bitCount = ZRGetLE16(info + 14);
    const uint32_t used = ZRGetLE32(info + 32);
    h.colours = used == 0 ? kMaxColours : used;
    if (width) *width = h.width;
    if (height) *height = h.height;
    return h;
}

// Bytes of one stored row padded to four, or -1 when the image cannot be held: a side that
// is not positive (an empty image would still loop over millions of rows), or an output of
// width x height x bpp bytes beyond 32 bits.
int64_t StoredRowBytes(const BmpHeader& h, int bytesPerPixel, int outputBpp) {
    if (h.width <= 0 || h.height <= 0 || ZRImageBytes(h.width, h.height, outputBpp) < 0)
        return -1;
    const int64_t row = (static_cast<int64_t>(h.width) * bytesPerPixel + 3) & ~int64_t{3};
    return row > INT32_MAX ? -1 : row;
}

// A file that cannot hold the pixel data its header declares fails as its first short read
// would, but before any buffer is sized from the header: a damaged header must not cost a
// large allocation. Streams that cannot tell their size are left to the reads themselves.
void RequireBytes(ZRStream* stream, int64_t bytes) {
    if (!stream->IsSeekable()) return;
    const int64_t size = stream->GetSize(), pos = stream->GetPosition();
    if (size < 0 || pos < 0) return;
    if (bytes > size - pos) throw std::runtime_error("Read Error");
}

// The palette of an 8-bit file: count entries read, the rest of the 256 zero.
void ReadPalette(ZRStream* stream, unsigned char* quads, uint32_t count) {
    std::memset(quads, 0, kMaxColours * 4);
    stream->ReadBuffer(quads, static_cast<int>(count * 4));
}

}  // namespace

bool LoadBmp(ZRStream* stream, unsigned char** pixels, int* width, int* height,
             ZRPixFormat format) {
    if (format < pf16_565 || format > pf32_8888) return false;
    const int bpp = FormatAndDepthTable[format];
    const BmpHeader h = ReadHeaders(stream, width, height);
    if (h.bitCount != 8 && h.bitCount != 24) return false;
    if (!pixels) return true;

    const int64_t stored = StoredRowBytes(h, h.bitCount / 8, bpp);
    if (stored < 0 || h.colours > kMaxColours) return false;
    const int64_t outRow = static_cast<int64_t>(h.width) * bpp;
    const char* const kAllocError = "LoadBmp MemoryAllocError";

    const int64_t paletteBytes = h.bitCount == 8 ? int64_t{h.colours} * 4 : 0;
    RequireBytes(stream, paletteBytes + stored * h.height);

    if (h.bitCount == 8) {
        ZRImageWork raw(kMaxColours * 4, kAllocError);
        ZRImageWork palette(int64_t{kMaxColours} * bpp, kAllocError);
        ZRImageWork row(stored, kAllocError);
        ReadPalette(stream, raw.get(), h.colours);
        RGBQUADcpyToProcTable[format](palette.get(), raw.get(), kMaxColours);
        unsigned char* out = ZRImageOutput(pixels, outRow * h.height, kAllocError);
        for (int64_t y = h.height - 1; y >= 0; --y) {
            stream->ReadBuffer(row.get(), static_cast<int>(stored));
            unsigned char* dst = out + y * outRow;
            const unsigned char* idx = row.get();
            for (int32_t x = 0; x < h.width; ++x, dst += bpp)
                std::memcpy(dst, palette.get() + idx[x] * bpp, bpp);
        }
        return true;
    }

    ZRImageWork row(stored, kAllocError);
    unsigned char* out = ZRImageOutput(pixels, outRow * h.height, kAllocError);
    const ZRRowConvertProc convert = RGBTRIPLEcpyToProcTable[format];
    for (int64_t y = h.height - 1; y >= 0; --y) {
        stream->ReadBuffer(row.get(), static_cast<int>(stored));
        convert(out + y * outRow, row.get(), static_cast<unsigned>(h.width));
    }
    return true;
}

bool LoadAlpha(ZRStream* stream, unsigned char** alpha, int* width, int* height) {
    const BmpHeader h = ReadHeaders(stream, width, height);
    if (h.bitCount != 8) return false;
    if (!alpha) return true;

    const int64_t stored = StoredRowBytes(h, 1, 1);
    if (stored < 0 || h.colours > kMaxColours) return false;
    RequireBytes(stream, int64_t{h.colours} * 4 + stored * h.height);
    const char* const kAllocError = "LoadAlpha MemoryAllocError";
    ZRImageWork raw(kMaxColours * 4, kAllocError);
    ZRImageWork row(stored, kAllocError);
    ReadPalette(stream, raw.get(), h.colours);
    unsigned char grey[kMaxColours];
    for (int i = 0; i < kMaxColours; ++i) {
        const unsigned char* q = raw.get() + i * 4;
        grey[i] = static_cast<unsigned char>((q[0] + q[1] + q[2]) / 3);
    }
    unsigned char* out = ZRImageOutput(alpha, int64_t{h.width} * h.height, kAllocError);
    for (int64_t y = h.height - 1; y >= 0; --y) {
        stream->ReadBuffer(row.get(), static_cast<int>(stored));
        unsigned char* dst = out + y * h.width;
        for (int32_t x = 0; x < h.width; ++x) dst[x] = grey[row.get()[x]];
    }
    return true;
}

bool LoadPalette(ZRStream* stream, ZRQuad** palette, unsigned char** indices, int* width,
                 int* height) {
    const BmpHeader h = ReadHeaders(stream, width, height);
    if (h.bitCount != 8 || h.colours > kMaxColours) return false;
    if (indices && StoredRowBytes(h, 1, 1) < 0) return false;
    const char* const kAllocError = "LoadPalette MemoryAllocError";

    if (palette) {
        if (!*palette)
            *palette = reinterpret_cast<ZRQuad*>(ZRImageAlloc(kMaxColours * 4, kAllocError));
        ReadPalette(stream, reinterpret_cast<unsigned char*>(*palette), h.colours);
    } else {
        stream->Seek(static_cast<int>(h.colours * 4), zrSeekCur);
    }
    if (!indices) return true;

    // The last row's padding is skipped, not read.
    RequireBytes(stream, StoredRowBytes(h, 1, 1) * (h.height - 1) + h.width);
    unsigned char* out = ZRImageOutput(indices, int64_t{h.width} * h.height, kAllocError);
    const int padding = (4 - h.width % 4) % 4;
    for (int64_t y = h.height - 1; y >= 0; --y) {
        stream->ReadBuffer(out + y * h.width, h.width);
        if (padding) stream->Seek(padding, zrSeekCur);
    }
    return true;
}
