#include "widgets/nygny.h"

bool LoadGny(plat::TStream* stream, unsigned char** pixels, int* width, int* height,
             ZRPixFormat format, const unsigned char* table) {
    T2ZRStream s(stream);
    return LoadGny(&s, pixels, width, height, format, table);
}
