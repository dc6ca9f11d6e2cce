#include "widgets/nybmp.h"

bool LoadBmp(plat::TStream* stream, unsigned char** pixels, int* width, int* height,
             ZRPixFormat format) {
    T2ZRStream s(stream);
    return LoadBmp(&s, pixels, width, height, format);
}

bool LoadAlpha(plat::TStream* stream, unsigned char** alpha, int* width, int* height) {
    T2ZRStream s(stream);
    return LoadAlpha(&s, alpha, width, height);
}

bool LoadPalette(plat::TStream* stream, ZRQuad** palette, unsigned char** indices, int* width,
                 int* height) {
    T2ZRStream s(stream);
    return LoadPalette(&s, palette, indices, width, height);
}
