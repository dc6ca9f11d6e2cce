// Test helpers for the image readers: encoders that make fixtures in memory (PNG through
// libpng's writer, JPEG through libjpeg's compressor), the expected pixel of every format,
// streams that fail on demand, and an owner for buffers the readers allocate.
#pragma once
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>

#include "foundation/zrstream.h"
#include "media/zrrgbcopy.h"
#include "media/zrrgbraw.h"

namespace imgfix {

using Bytes = std::vector<uint8_t>;

inline constexpr ZRPixFormat kFormats[] = {pf16_565, pf16_555, pf16_5551, pf16_4444,
                                           pf24_888, pf32_888, pf32_8888};

inline int Bpp(ZRPixFormat f) { return FormatAndDepthTable[f]; }

// A malloc'd buffer a reader handed over.
struct Owned {
    unsigned char* p = nullptr;
    ~Owned() { std::free(p); }
};

// The pixel a format gives for one blue, green, red, fourth-byte quad.
inline Bytes FromQuad(ZRPixFormat f, uint8_t b, uint8_t g, uint8_t r, uint8_t fourth) {
    const uint8_t q[4] = {b, g, r, fourth};
    Bytes out(Bpp(f));
    RGBQUADcpyToProcTable[f](out.data(), q, 1);
    return out;
}

inline Bytes FromTriple(ZRPixFormat f, uint8_t b, uint8_t g, uint8_t r) {
    const uint8_t t[3] = {b, g, r};
    Bytes out(Bpp(f));
    RGBTRIPLEcpyToProcTable[f](out.data(), t, 1);
    return out;
}

inline Bytes Pixel(const unsigned char* image, int index, ZRPixFormat f) {
    return Bytes(image + index * Bpp(f), image + (index + 1) * Bpp(f));
}

// A memory stream whose reads fail after `limit` bytes, by a short count or an exception.
class FailingStream : public ZRMemoryStream {
public:
    FailingStream(const Bytes& data, int limit, bool throws)
        : ZRMemoryStream(data.data(), static_cast<int>(data.size())), left_(limit),
          throws_(throws) {}
    int Read(void* buffer, int count) override {
        if (count > left_) {
            if (throws_) throw std::logic_error("source gone");
            count = left_;
        }
        left_ -= count;
        return ZRMemoryStream::Read(buffer, count);
    }

private:
    int left_;
    bool throws_;
};

// A stream that accepts writes until `limit` bytes, then writes short.
class ShortWriteStream : public ZRMemoryStream {
public:
    explicit ShortWriteStream(int limit) : left_(limit) {}
    int Write(const void* buffer, int count) override {
        if (count > left_) count = left_;
        left_ -= count;
        return ZRMemoryStream::Write(buffer, count);
    }

private:
    int left_;
};

inline Bytes StreamBytes(ZRMemoryStream& s) {
    return Bytes(s.GetMemory(), s.GetMemory() + s.GetSize());
}

struct PngSpec {
    int width = 1;
    int height = 1;
    int bitDepth = 8;
    int colourType = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    std::vector<png_color> palette;
    Bytes trns;  // palette transparency, written when not empty
};

// Encodes rows of packed samples (rowBytes each, as libpng expects them) into a PNG file.
inline Bytes EncodePng(const PngSpec& desc, const std::vector<Bytes>& rows) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("fixture PNG encoding failed");
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t n) {
            auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, desc.width, desc.height, desc.bitDepth, desc.colourType,
                 desc.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!desc.palette.empty())
        png_set_PLTE(png, info, desc.palette.data(), static_cast<int>(desc.palette.size()));
    if (!desc.trns.empty())
        png_set_tRNS(png, info, desc.trns.data(), static_cast<int>(desc.trns.size()), nullptr);
    png_write_info(png, info);
    if (desc.interlaced) png_set_interlace_handling(png);
    std::vector<png_bytep> pointers;
    for (const Bytes& r : rows) pointers.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

struct JpegSpec {
    int width = 1;
    int height = 1;
    int components = 3;  // 1 grey, 3 RGB, 4 CMYK
    bool progressive = false;
    int hSampling = 1;  // of the first component: 1 for 4:4:4, 2 for 4:2:2 and 4:2:0
    int vSampling = 1;
};

// Encodes interleaved samples (red, green, blue / grey / CMYK) with libjpeg's compressor.
inline Bytes EncodeJpeg(const JpegSpec& desc, const Bytes& samples) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = desc.width;
    c.image_height = desc.height;
    c.input_components = desc.components;
    c.in_color_space =
        desc.components == 1 ? JCS_GRAYSCALE : desc.components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    if (desc.components == 3) {
        c.comp_info[0].h_samp_factor = desc.hSampling;
        c.comp_info[0].v_samp_factor = desc.vSampling;
    }
    if (desc.progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    const size_t stride = static_cast<size_t>(desc.width) * desc.components;
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + c.next_scanline * stride);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes out(mem, mem + size);
    std::free(mem);
    return out;
}

// Decodes a JPEG straight through libjpeg into red, green, blue samples.
inline Bytes DecodeJpegRgb(const Bytes& file, int* width, int* height) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    err.emit_message = [](j_common_ptr, int) {};
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file.data(), file.size());
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_RGB;
    jpeg_start_decompress(&d);
    *width = static_cast<int>(d.output_width);
    *height = static_cast<int>(d.output_height);
    Bytes out(static_cast<size_t>(d.output_width) * d.output_height * 3);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = out.data() + static_cast<size_t>(d.output_scanline) * d.output_width * 3;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return out;
}

}  // namespace imgfix
