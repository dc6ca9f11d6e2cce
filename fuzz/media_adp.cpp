// Fuzzes the ZRAdpStream reader.
#include "fuzz/media_sound.h"
#include "media/zrladpstream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DriveSoundDecoder<ZRAdpStream>(data, size);
    return 0;
}
