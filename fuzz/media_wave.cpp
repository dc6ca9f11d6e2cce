// Fuzzes the ZRWaveStream reader.
#include "fuzz/media_sound.h"
#include "media/zrlwavestream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DriveSoundDecoder<ZRWaveStream>(data, size);
    return 0;
}
