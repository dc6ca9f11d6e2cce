// Fuzzes the ADX reader: the first byte chooses looping, the rest is the file. Decodes in odd
// pieces up to a bounded number of frames (a looping file never ends), then rewinds and reads
// a little again.
#include <memory>
#include <vector>

#include "media/zradx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    AdxHeader header;
    ParseAdxHeader(data + 1, size - 1, &header, nullptr);
    AdxDecoder d;
    if (!d.Open(std::make_shared<std::vector<uint8_t>>(data + 1, data + size), data[0] & 1,
                nullptr))
        return 0;
    std::vector<int16_t> pcm(2 * 1009);
    uint32_t total = 0;
    while (total < 400000) {
        const uint32_t n = d.Decode(pcm.data(), 1009);
        if (n == 0) break;
        total += n;
    }
    d.Rewind();
    d.Decode(pcm.data(), 33);
    return 0;
}
