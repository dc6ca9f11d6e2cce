// Whole-buffer range decoding of arbitrary input, twice on one decoder so the second call
// runs on a model the first has moved: the first two bytes give the output limit.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/zrrangecoder.h"
#include "foundation/zrstd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int limit = ZRGetLE16(data);
    ZRRangeDecode dec;
    if (!dec.Create()) return 0;
    std::vector<unsigned char> out(limit + 1);
    const int n = static_cast<int>(size - 2);
    for (int pass = 0; pass < 2; ++pass) {
        // Exact-size copies let AddressSanitizer see any read past the input.
        std::vector<unsigned char> in(data + 2, data + size);
        if (dec.Decode(in.data(), out.data(), n, limit) && dec.GetResultSize() > limit)
            __builtin_trap();
    }
    return 0;
}
