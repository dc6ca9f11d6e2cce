#include "widgets/nyjpeg.h"

bool LoadJpeg(plat::TStream* stream, unsigned char** pixels, int* width, int* height,
              ZRPixFormat format) {
    T2ZRStream s(stream);
    return LoadJpeg(&s, pixels, width, height, format);
}
