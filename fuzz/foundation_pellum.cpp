// Pellum decoding of arbitrary input: the first four bytes give the expected size, the rest is
// the stream of records. The decoder must fail cleanly, never read or write out of bounds.
#include <cstddef>
#include <cstdint>

#include "foundation/zrpellum.h"
#include "foundation/zrstd.h"
#include "tests/foundation/codec_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An empty stream succeeds at once whatever the expected size.
    if (size <= 4) return 0;
    const int expected = static_cast<int>(ZRGetLE32(data) % (1u << 18));
    MemIO io(Bytes(data + 4, data + size));
    ZRPellumDecode dec;
    const bool ok = dec.Decode(static_cast<int>(size - 4), expected, io.R(), io.W(), io.P());
    if (ok && io.out.size() != static_cast<size_t>(expected)) __builtin_trap();
    if (io.requested > static_cast<int64_t>(size - 4)) __builtin_trap();
    return 0;
}
