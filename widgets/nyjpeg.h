// The JPEG reader on a class-library stream: reading starts at the stream's position and
// leaves it where the reader stopped; results and exceptions are the reader's.
#pragma once
#include "media/zrjpeg.h"
#include "platform/tstream.h"

bool LoadJpeg(plat::TStream* stream, unsigned char** pixels, int* width, int* height,
              ZRPixFormat format);
