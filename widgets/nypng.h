// The PNG reader and writer on a class-library stream: reading starts at the stream's
// position and leaves it where the reader stopped; results and exceptions are the codec's.
#pragma once
#include "media/zrpng.h"
#include "platform/tstream.h"

int ChkChannelPng(plat::TStream* stream);
bool LoadPng(plat::TStream* stream, unsigned char** colour, unsigned char** alpha, int* width,
             int* height, ZRPixFormat format);
bool LoadPng(plat::TStream* stream, unsigned char** colour, int* width, int* height,
             ZRPixFormat format);
bool LoadPngWhiteMat(plat::TStream* stream, unsigned char** colour, unsigned char** alpha,
                     int* width, int* height, ZRPixFormat format);
bool LoadPngWhiteMat(plat::TStream* stream, unsigned char** colour, int* width, int* height,
                     ZRPixFormat format);
bool SavePng(plat::TStream* stream, const unsigned char* colour, const unsigned char* alpha,
             int width, int height, ZRPixFormat format);
bool SavePng(plat::TStream* stream, const unsigned char* colour, int width, int height,
             ZRPixFormat format);
