// JPEG reader: baseline and progressive images (colour or greyscale) decoded by libjpeg from
// a ZRStream into a pixel buffer of any format, rows top to bottom without padding.
#pragma once
#include "foundation/zrstream.h"
#include "media/zrrgbraw.h"

// A null buffer pointer is replaced by a malloc'd buffer that the caller frees; with no
// buffer pointer at all only the header is read. Library errors, CMYK images and images too
// large to hold throw runtime_error "LoadJpeg Error"; an empty stream throws
// "Jpeg Error. Imput empty.".
bool LoadJpeg(ZRStream* stream, unsigned char** pixels, int* width, int* height,
              ZRPixFormat format);
