#include "media/zrpng.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <stdexcept>

#include "media/zrimgbuf.h"
#include "media/zrmem.h"
#include "media/zrrgbcopy.h"

namespace {

constexpr int kSignatureSize = 8;

// Row index alpha, column index stored colour value: the colour that, laid over white with
// that alpha, gives the stored value. Negative quotients wrap as the table has always held.
std::unique_ptr<unsigned char[]> whiteMat;

// State shared by the libpng callbacks and the frame that called the library. A C++
// exception never crosses libpng's frames: a callback parks it in `pending` and leaves
// through png_error, and it is thrown again once the library has been left.
struct PngJob {
    ZRStream* stream = nullptr;
    std::exception_ptr pending;
    png_structp png = nullptr;
    png_infop info = nullptr;
    bool writing = false;

    ~PngJob() {
        if (writing)
            png_destroy_write_struct(&png, &info);
        else if (png)
            png_destroy_read_struct(&png, &info, nullptr);
    }
};

[[noreturn]] void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void QuietWarning(png_structp, png_const_charp) {}

PngJob* JobOf(png_structp png) { return static_cast<PngJob*>(png_get_io_ptr(png)); }

void ReadData(png_structp png, png_bytep data, size_t length) {
    PngJob* job = JobOf(png);
    try {
        if (length > INT32_MAX ||
            job->stream->Read(data, static_cast<int>(length)) != static_cast<int>(length))
            throw std::runtime_error("Png Error. Read Error.");
    } catch (...) {
        job->pending = std::current_exception();
    }
    if (job->pending) png_error(png, "read");
}

void WriteData(png_structp png, png_bytep data, size_t length) {
    PngJob* job = JobOf(png);
    try {
        if (length > INT32_MAX ||
            job->stream->Write(data, static_cast<int>(length)) != static_cast<int>(length))
            throw std::runtime_error("Png Error. Write Error.");
    } catch (...) {
        job->pending = std::current_exception();
    }
    if (job->pending) png_error(png, "write");
}

void FlushData(png_structp) {}

// What the library leaves for the conversion: the decoded rows and how to read them.
struct PngImage {
    uint32_t width = 0;
    uint32_t height = 0;
    int bitDepth = 0;
    int colourType = 0;
    size_t rowBytes = 0;
    int channels = 0;
    ZRQuad palette[256] = {};  // entries the file does not give stay black
    unsigned char* pixels = nullptr;
    png_bytepp rows = nullptr;

    ~PngImage() {
        std::free(rows);
        std::free(pixels);
    }
};

enum class PngOutcome { Done, Failed };

// Checks the signature and creates the read structures; false when either is missing.
bool OpenRead(PngJob& job) {
    unsigned char signature[kSignatureSize];
    if (job.stream->Read(signature, kSignatureSize) != kSignatureSize ||
        png_sig_cmp(signature, 0, kSignatureSize) != 0)
        return false;
    job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job, QuietError, QuietWarning);
    if (!job.png) return false;
    job.info = png_create_info_struct(job.png);
    return job.info != nullptr;
}

// Parks a refusal for the caller to throw.
PngOutcome Refuse(PngJob& job, const char* message) {
    job.pending = std::make_exception_ptr(std::runtime_error(message));
    return PngOutcome::Failed;
}

// All read-side library calls happen here, below the jump buffer; this frame holds nothing
// that needs a destructor, so a long jump out of the library lands safely. With decode false
// only the header chunks are read.
PngOutcome ReadImage(PngJob& job, PngImage& img, bool decode, int bpp) {
    png_structp png = job.png;
    png_infop info = job.info;
    if (setjmp(png_jmpbuf(png))) return PngOutcome::Failed;

    png_set_read_fn(png, &job, ReadData);
    png_set_sig_bytes(png, kSignatureSize);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    png_get_IHDR(png, info, &width, &height, &img.bitDepth, &img.colourType, nullptr, nullptr,
                 nullptr);
    img.width = width;
    img.height = height;
    if (!decode) return PngOutcome::Done;

    if (img.colourType == PNG_COLOR_TYPE_PALETTE) {
        if (img.bitDepth != 8) return Refuse(job, "LoadPng Error:Bit Depth.Not Support");
        png_colorp entries = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &entries, &count) && entries) {
            for (int i = 0; i < count && i < 256; ++i)
                img.palette[i] = ZRQuad{entries[i].blue, entries[i].green, entries[i].red, 0};
        }
    } else if (!(img.colourType & PNG_COLOR_MASK_COLOR)) {
        return Refuse(job, "LoadPng Error:GrayScale.Not Support");
    }
    if (img.bitDepth == 16) png_set_strip_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    img.rowBytes = png_get_rowbytes(png, info);
    img.channels = png_get_channels(png, info);

    const int64_t decoded = ZRImageBytes(static_cast<int64_t>(img.rowBytes), img.height, 1);
    if (decoded < 0 || ZRImageBytes(img.width, img.height, bpp) < 0 ||
        img.rowBytes < static_cast<size_t>(img.width) * img.channels)
        return PngOutcome::Failed;
    img.pixels = static_cast<unsigned char*>(std::malloc(decoded > 0 ? decoded : 1));
    img.rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * (img.height + 1)));
    if (!img.pixels || !img.rows) return Refuse(job, "LoadPng MemoryAllocError");
    for (uint32_t y = 0; y < img.height; ++y) img.rows[y] = img.pixels + y * img.rowBytes;
    png_read_image(png, img.rows);
    png_read_end(png, nullptr);
    return PngOutcome::Done;
}

// Throws what a callback parked; otherwise tells whether the library succeeded.
bool Settle(PngJob& job, PngOutcome outcome) {
    if (job.pending) std::rethrow_exception(job.pending);
    return outcome == PngOutcome::Done;
}

// Builds the blue, green, red, fourth-byte work row and the alpha row of decoded row y.
void BuildRow(const PngImage& img, uint32_t y, bool keepAlpha, bool whiteMatte,
              unsigned char* work, unsigned char* alphaRow) {
    const unsigned char* src = img.rows[y];
    const unsigned char opaqueFourth = keepAlpha ? 255 : 0;
    switch (img.channels) {
    case 1:
        for (uint32_t x = 0; x < img.width; ++x, work += 4) {
            const ZRQuad& q = img.palette[src[x]];
            work[0] = q.blue;
            work[1] = q.green;
            work[2] = q.red;
            work[3] = opaqueFourth;
        }
        break;
    case 3:
        for (uint32_t x = 0; x < img.width; ++x, work += 4, src += 3) {
            work[0] = src[2];
            work[1] = src[1];
            work[2] = src[0];
            work[3] = opaqueFourth;
        }
        break;
    default:
        for (uint32_t x = 0; x < img.width; ++x, work += 4, src += 4) {
            const unsigned char a = src[3];
            if (whiteMatte) {
                const unsigned char* t = whiteMat.get() + a * 256;
                work[0] = t[src[2]];
                work[1] = t[src[1]];
                work[2] = t[src[0]];
            } else {
                work[0] = src[2];
                work[1] = src[1];
                work[2] = src[0];
            }
            work[3] = keepAlpha ? a : 0;
            alphaRow[x] = a;
        }
        break;
    }
}

bool Load(ZRStream* stream, unsigned char** colour, unsigned char** alpha, int* width,
          int* height, ZRPixFormat format, bool whiteMatte) {
    if (format < pf16_565 || format > pf32_8888) return false;
    const int bpp = FormatAndDepthTable[format];
    PngJob job;
    job.stream = stream;
    if (!OpenRead(job)) return false;
    PngImage img;
    const bool decode = colour || alpha;
    if (!Settle(job, ReadImage(job, img, decode, bpp))) return false;
    if (width) *width = static_cast<int>(img.width);
    if (height) *height = static_cast<int>(img.height);
    if (!decode) return true;

    const char* const kAllocError = "LoadPng MemoryAllocError";
    const int64_t outRow = int64_t{img.width} * bpp;
    unsigned char* colourOut = colour ? ZRImageOutput(colour, outRow * img.height, kAllocError)
                                      : nullptr;
    unsigned char* alphaOut =
        alpha ? ZRImageOutput(alpha, int64_t{img.width} * img.height, kAllocError) : nullptr;
    ZRImageWork work(int64_t{img.width} * 4, kAllocError);
    ZRImageWork alphaRow(img.width, kAllocError);
    std::memset(alphaRow.get(), 255, img.width);
    const bool keepAlpha = format == pf32_8888 || format == pf16_4444;
    const ZRRowConvertProc convert = RGBQUADcpyToProcTable[format];
    for (uint32_t y = 0; y < img.height; ++y) {
        BuildRow(img, y, keepAlpha, whiteMatte, work.get(), alphaRow.get());
        if (colourOut) convert(colourOut + y * outRow, work.get(), img.width);
        if (alphaOut) ZRMemcpy(alphaOut + int64_t{y} * img.width, alphaRow.get(), img.width);
    }
    return true;
}

// All write-side library calls, below the jump buffer (see ReadImage).
PngOutcome WriteImage(PngJob& job, png_bytepp rows, int width, int height, bool withAlpha) {
    png_structp png = job.png;
    if (setjmp(png_jmpbuf(png))) return PngOutcome::Failed;
    png_set_write_fn(png, &job, WriteData, FlushData);
    png_set_IHDR(png, job.info, static_cast<png_uint_32>(width),
                 static_cast<png_uint_32>(height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, job.info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return PngOutcome::Done;
}

}  // namespace

bool WhiteMatInit() {
    if (whiteMat) return true;
    unsigned char* table = new (std::nothrow) unsigned char[256 * 256];
    if (!table) return false;
    std::memset(table, 0, 256);
    for (int a = 1; a < 256; ++a)
        for (int c = 0; c < 256; ++c)
            table[a * 256 + c] = static_cast<unsigned char>((255 * (c + a) - 65025) / a);
    whiteMat.reset(table);
    return true;
}

int ChkChannelPng(ZRStream* stream) {
    PngJob job;
    job.stream = stream;
    if (!OpenRead(job)) return 0;
    PngImage img;
    if (!Settle(job, ReadImage(job, img, false, 0))) return 0;
    switch (img.colourType) {
    case PNG_COLOR_TYPE_PALETTE:
        return 1;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 0;
    }
}

bool LoadPng(ZRStream* stream, unsigned char** colour, unsigned char** alpha, int* width,
             int* height, ZRPixFormat format) {
    return Load(stream, colour, alpha, width, height, format, false);
}

bool LoadPng(ZRStream* stream, unsigned char** colour, int* width, int* height,
             ZRPixFormat format) {
    return Load(stream, colour, nullptr, width, height, format, false);
}

bool LoadPngWhiteMat(ZRStream* stream, unsigned char** colour, unsigned char** alpha,
                     int* width, int* height, ZRPixFormat format) {
    if (format < pf16_565 || format > pf32_8888) return false;
    return Load(stream, colour, alpha, width, height, format, WhiteMatInit());
}

bool LoadPngWhiteMat(ZRStream* stream, unsigned char** colour, int* width, int* height,
                     ZRPixFormat format) {
    return LoadPngWhiteMat(stream, colour, nullptr, width, height, format);
}

bool SavePng(ZRStream* stream, const unsigned char* colour, const unsigned char* alpha,
             int width, int height, ZRPixFormat format) {
    if (format < pf16_565 || format > pf32_8888 || !colour) return false;
    const int channels = alpha ? 4 : 3;
    const int64_t imageBytes = ZRImageBytes(width, height, channels);
    if (width <= 0 || height <= 0 || imageBytes < 0 ||
        ZRImageBytes(width, height, FormatAndDepthTable[format]) < 0)
        return false;

    const char* const kAllocError = "SavePng MemoryAllocError";
    ZRImageWork triples(int64_t{width} * 3, kAllocError);
    ZRImageWork rowTable(int64_t{height} * static_cast<int64_t>(sizeof(png_bytep)), kAllocError);
    ZRImageWork image(imageBytes, kAllocError);
    auto* rows = reinterpret_cast<png_bytepp>(rowTable.get());
    const ZRRowConvertProc convert = RGBTRIPLEcpyFromProcTable[format];
    const int64_t inRow = int64_t{width} * FormatAndDepthTable[format];
    const int64_t outRow = int64_t{width} * channels;
    for (int64_t y = 0; y < height; ++y) {
        convert(triples.get(), colour + y * inRow, static_cast<unsigned>(width));
        unsigned char* dst = image.get() + y * outRow;
        const unsigned char* src = triples.get();
        const unsigned char* a = alpha ? alpha + y * width : nullptr;
        for (int x = 0; x < width; ++x, src += 3, dst += channels) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            if (a) dst[3] = a[x];
        }
        rows[y] = image.get() + y * outRow;
    }

    PngJob job;
    job.stream = stream;
    job.writing = true;
    job.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, QuietError, QuietWarning);
    if (!job.png) return false;
    job.info = png_create_info_struct(job.png);
    if (!job.info) return false;
    return Settle(job, WriteImage(job, rows, width, height, alpha != nullptr));
}

bool SavePng(ZRStream* stream, const unsigned char* colour, int width, int height,
             ZRPixFormat format) {
    return SavePng(stream, colour, nullptr, width, height, format);
}
