// The gny reader on a class-library stream: reading starts at the stream's position and
// leaves it where the reader stopped; results and exceptions are the reader's.
#pragma once
#include "media/zrgny.h"
#include "platform/tstream.h"

bool LoadGny(plat::TStream* stream, unsigned char** pixels, int* width, int* height,
             ZRPixFormat format, const unsigned char* table);
