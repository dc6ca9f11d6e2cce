// Reader of the engine's scrambled picture container: a width and a height (signed 32-bit,
// little-endian) and plain top-down 24-bit rows, every byte at file offset k combined by
// exclusive or with byte k mod 256 of a 256-byte table that the caller supplies.
#pragma once
#include "foundation/zrstream.h"
#include "media/zrrgbraw.h"

// Width and height are required. A null buffer pointer is replaced by a malloc'd buffer of
// width x height x bpp bytes that the caller frees.
bool LoadGny(ZRStream* stream, unsigned char** pixels, int* width, int* height,
             ZRPixFormat format, const unsigned char* table);
