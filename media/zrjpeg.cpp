#include "media/zrjpeg.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <csetjmp>
#include <cstdio>
#include <exception>
#include <stdexcept>

#include <jpeglib.h>

#include "media/zrimgbuf.h"
#include "media/zrrgbcopy.h"

namespace {

constexpr int kInputBufferSize = 4096;

// The library's error manager plus the way back to the decoding frame. A C++ exception never
// crosses libjpeg's frames: callbacks park it in `pending` and jump back, and it is thrown
// again once the library has been left.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    std::exception_ptr pending;
};

struct JpegSource {
    jpeg_source_mgr pub;
    ZRStream* stream;
    JOCTET* buffer;
    bool startOfFile;
};

[[noreturn]] void Bail(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    Bail(cinfo);
}

// Corrupt input is reported through the result; the library's text would only be noise.
void QuietOutput(j_common_ptr) {}

void QuietEmit(j_common_ptr cinfo, int level) {
    if (level < 0) ++cinfo->err->num_warnings;
}

void InitSource(j_decompress_ptr cinfo) {
    reinterpret_cast<JpegSource*>(cinfo->src)->startOfFile = true;
}

boolean FillInput(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<JpegSource*>(cinfo->src);
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    int got = 0;
    try {
        got = src->stream->Read(src->buffer, kInputBufferSize);
        if (got <= 0 && src->startOfFile)
            throw std::runtime_error("Jpeg Error. Imput empty.");
    } catch (...) {
        err->pending = std::current_exception();
    }
    if (err->pending) Bail(reinterpret_cast<j_common_ptr>(cinfo));
    if (got <= 0) {
        // A stream that ends early gets an end-of-image marker; the library fills the rest.
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        got = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = static_cast<size_t>(got);
    src->startOfFile = false;
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
    jpeg_source_mgr* src = cinfo->src;
    if (count <= 0) return;
    while (static_cast<size_t>(count) > src->bytes_in_buffer) {
        count -= static_cast<long>(src->bytes_in_buffer);
        FillInput(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void AttachStream(j_decompress_ptr cinfo, ZRStream* stream) {
    if (!cinfo->src) {
        auto* src = static_cast<JpegSource*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(JpegSource)));
        src->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kInputBufferSize));
        cinfo->src = &src->pub;
    }
    auto* src = reinterpret_cast<JpegSource*>(cinfo->src);
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInput;
    src->pub.skip_input_data = SkipInput;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    src->stream = stream;
    src->startOfFile = true;
}

// Everything the decoding frame owns; released on every way out.
struct JpegJob {
    jpeg_decompress_struct cinfo{};
    JpegErrorManager err{};
    ZRStream* stream = nullptr;
    unsigned char** pixels = nullptr;
    ZRPixFormat format = pfNone;
    int32_t width = 0;
    int32_t height = 0;

    ~JpegJob() { jpeg_destroy_decompress(&cinfo); }
};

enum class JpegOutcome { Done, LibraryError };

// All library calls happen here, below the jump buffer; this frame holds nothing that needs
// a destructor, so a long jump out of the library lands safely.
JpegOutcome Decode(JpegJob& job) {
    jpeg_decompress_struct* cinfo = &job.cinfo;
    cinfo->err = jpeg_std_error(&job.err.pub);
    job.err.pub.error_exit = ErrorExit;
    job.err.pub.output_message = QuietOutput;
    job.err.pub.emit_message = QuietEmit;
    if (setjmp(job.err.jump)) return JpegOutcome::LibraryError;

    jpeg_create_decompress(cinfo);
    AttachStream(cinfo, job.stream);
    jpeg_read_header(cinfo, TRUE);
    job.width = static_cast<int32_t>(cinfo->image_width);
    job.height = static_cast<int32_t>(cinfo->image_height);
    if (!job.pixels) return JpegOutcome::Done;

    const int bpp = FormatAndDepthTable[job.format];
    if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK ||
        ZRImageBytes(job.width, job.height, bpp) < 0)
        return JpegOutcome::LibraryError;
    // Blue-green-red straight from the library gives the same samples as red-green-blue
    // reordered afterwards, one pass cheaper; greyscale files expand to three equal samples.
    cinfo->out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_components != 3 || cinfo->output_width != cinfo->image_width ||
        cinfo->output_height != cinfo->image_height)
        return JpegOutcome::LibraryError;

    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo),
                                                 JPOOL_IMAGE, cinfo->output_width * 3, 1);
    const int64_t outRow = int64_t{job.width} * bpp;
    if (!*job.pixels) {
        *job.pixels = static_cast<unsigned char*>(std::malloc(
            static_cast<size_t>(outRow * job.height > 0 ? outRow * job.height : 1)));
        if (!*job.pixels) {
            job.err.pending =
                std::make_exception_ptr(std::runtime_error("LoadJpeg32 MemoryAllocError"));
            return JpegOutcome::LibraryError;
        }
    }
    const ZRRowConvertProc convert = RGBTRIPLEcpyToProcTable[job.format];
    while (cinfo->output_scanline < cinfo->output_height) {
        const int64_t y = cinfo->output_scanline;
        jpeg_read_scanlines(cinfo, row, 1);
        convert(*job.pixels + y * outRow, row[0], cinfo->output_width);
    }
    jpeg_finish_decompress(cinfo);
    return JpegOutcome::Done;
}

}  // namespace

bool LoadJpeg(ZRStream* stream, unsigned char** pixels, int* width, int* height,
              ZRPixFormat format) {
    if (format < pf16_565 || format > pf32_8888) return false;
    JpegJob job;
    job.stream = stream;
    job.pixels = pixels;
    job.format = format;
    if (Decode(job) == JpegOutcome::LibraryError) {
        if (job.err.pending) std::rethrow_exception(job.err.pending);
        throw std::runtime_error("LoadJpeg Error");
    }
    if (width) *width = job.width;
    if (height) *height = job.height;
    return true;
}
