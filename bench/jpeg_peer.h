// The peer the picture benchmarks stand beside: libjpeg's own scan-line loop decoding a whole
// JPEG into 32-bit BGRX rows `width` pixels apart.
#pragma once
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

inline void LibjpegDecodeBgrx(const unsigned char* file, size_t size, unsigned char* out,
                              size_t width) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, file, static_cast<unsigned long>(size));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&d);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = out + static_cast<size_t>(d.output_scanline) * width * 4;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
}
