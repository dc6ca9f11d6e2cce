// Fuzzes the ZRMp3Stream reader.
#include "fuzz/media_sound.h"
#include "media/zrlwavestream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DriveSoundDecoder<ZRMp3Stream>(data, size);
    return 0;
}
