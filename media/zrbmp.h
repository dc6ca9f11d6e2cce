// Reader of Windows device-independent bitmap files (8-bit paletted and 24-bit): whole images
// in any pixel format, 8-bit images as alpha planes (the grey level of each palette entry), or
// raw indices with their palette. Outputs are top-down and unpadded; a null buffer pointer is
// replaced by a malloc'd buffer that the caller frees.
#pragma once
#include "foundation/zrstream.h"
#include "media/zrrgbraw.h"

// Width and height are reported whenever the headers were read, also on a false result.
bool LoadBmp(ZRStream* stream, unsigned char** pixels, int* width, int* height,
             ZRPixFormat format);
bool LoadAlpha(ZRStream* stream, unsigned char** alpha, int* width, int* height);
// The palette is 256 entries; those the file does not give are zero.
bool LoadPalette(ZRStream* stream, ZRQuad** palette, unsigned char** indices, int* width,
                 int* height);
