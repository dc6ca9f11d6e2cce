// PNG reading and writing through libpng: images decode into any pixel format with an
// optional separate 8-bit alpha plane (optionally corrected against a white matte), the
// channel count of a file can be asked, and pixel buffers are written as 8-bit RGB or RGBA.
#pragma once
#include "foundation/zrstream.h"
#include "media/zrrgbraw.h"

// 1 for a palette image, 3 for RGB, 4 for RGBA; 0 for anything else or no PNG at all. The
// stream is left after the header chunks.
int ChkChannelPng(ZRStream* stream);

// Colour and alpha may each be null (that plane is not produced); with both null only the
// size is read. A null buffer pointer is replaced by a malloc'd buffer the caller frees.
// False for an unknown format, no PNG signature or corrupt data; runtime_error for a stream
// that ends early, allocation failures and kinds of image not handled (greyscale, palettes
// of fewer than 8 bits).
bool LoadPng(ZRStream* stream, unsigned char** colour, unsigned char** alpha, int* width,
             int* height, ZRPixFormat format);
bool LoadPng(ZRStream* stream, unsigned char** colour, int* width, int* height,
             ZRPixFormat format);

// As LoadPng, with the colour of every RGBA pixel corrected through the white-matte table.
bool LoadPngWhiteMat(ZRStream* stream, unsigned char** colour, unsigned char** alpha,
                     int* width, int* height, ZRPixFormat format);
bool LoadPngWhiteMat(ZRStream* stream, unsigned char** colour, int* width, int* height,
                     ZRPixFormat format);

// Builds the white-matte table if it is not there yet; true when it exists afterwards.
bool WhiteMatInit();

// Writes 8-bit RGB, or RGBA with the alpha plane when one is given. False without colour.
bool SavePng(ZRStream* stream, const unsigned char* colour, const unsigned char* alpha,
             int width, int height, ZRPixFormat format);
bool SavePng(ZRStream* stream, const unsigned char* colour, int width, int height,
             ZRPixFormat format);
