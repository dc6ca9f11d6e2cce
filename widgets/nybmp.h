// The BMP reader on a class-library stream: reading starts at the stream's position and
// leaves it where the reader stopped; results and exceptions are the reader's.
#pragma once
#include "media/zrbmp.h"
#include "platform/tstream.h"

bool LoadBmp(plat::TStream* stream, unsigned char** pixels, int* width, int* height,
             ZRPixFormat format);
bool LoadAlpha(plat::TStream* stream, unsigned char** alpha, int* width, int* height);
bool LoadPalette(plat::TStream* stream, ZRQuad** palette, unsigned char** indices, int* width,
                 int* height);
