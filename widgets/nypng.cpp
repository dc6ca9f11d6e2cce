#include "widgets/nypng.h"

int ChkChannelPng(plat::TStream* stream) {
    T2ZRStream s(stream);
    return ChkChannelPng(&s);
}

bool LoadPng(plat::TStream* stream, unsigned char** colour, unsigned char** alpha, int* width,
             int* height, ZRPixFormat format) {
    T2ZRStream s(stream);
    return LoadPng(&s, colour, alpha, width, height, format);
}

bool LoadPng(plat::TStream* stream, unsigned char** colour, int* width, int* height,
             ZRPixFormat format) {
    return LoadPng(stream, colour, nullptr, width, height, format);
}

bool LoadPngWhiteMat(plat::TStream* stream, unsigned char** colour, unsigned char** alpha,
                     int* width, int* height, ZRPixFormat format) {
    T2ZRStream s(stream);
    return LoadPngWhiteMat(&s, colour, alpha, width, height, format);
}

bool LoadPngWhiteMat(plat::TStream* stream, unsigned char** colour, int* width, int* height,
                     ZRPixFormat format) {
    return LoadPngWhiteMat(stream, colour, nullptr, width, height, format);
}

bool SavePng(plat::TStream* stream, const unsigned char* colour, const unsigned char* alpha,
             int width, int height, ZRPixFormat format) {
    T2ZRStream s(stream);
    return SavePng(&s, colour, alpha, width, height, format);
}

bool SavePng(plat::TStream* stream, const unsigned char* colour, int width, int height,
             ZRPixFormat format) {
    return SavePng(stream, colour, nullptr, width, height, format);
}
