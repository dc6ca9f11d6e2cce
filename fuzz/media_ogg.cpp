// Fuzzes the ZROggStream reader.
#include "fuzz/media_sound.h"
#include "media/zrloggstream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DriveSoundDecoder<ZROggStream>(data, size);
    return 0;
}
