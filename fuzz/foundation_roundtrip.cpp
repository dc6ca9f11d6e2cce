// Encode then decode must give the input back, for every codec and stage: the first byte picks
// Orvik, one of the three Pellum block sizes, the range coder or the block sort with
// move-to-front; the rest is the input.
#include <cstddef>
#include <cstdint>

#include "foundation/zrblocksort.h"
#include "foundation/zrorvik.h"
#include "foundation/zrpellum.h"
#include "foundation/zrrangecoder.h"
#include "tests/foundation/codec_support.h"

namespace {

template <typename Enc, typename Dec>
void Streamed(const Bytes& input) {
    Enc enc;
    auto packed = Compress(enc, input, 2 * static_cast<int>(input.size()) + 64);
    if (!packed) __builtin_trap();
    Dec dec;
    if (Decompress(dec, *packed, static_cast<int>(input.size())) != input) __builtin_trap();
}

void Ranged(const Bytes& input) {
    ZRRangeEncode enc;
    ZRRangeDecode dec;
    if (!enc.Create() || !dec.Create()) return;
    const int n = static_cast<int>(input.size());
    Bytes coded(2 * input.size() + 16), out(input.size() + 1);
    if (!enc.Encode(input.data(), coded.data(), n, static_cast<int>(coded.size())))
        __builtin_trap();
    if (!dec.Decode(coded.data(), out.data(), enc.GetResultSize(), n + 1)) __builtin_trap();
    out.resize(dec.GetResultSize());
    if (out != input) __builtin_trap();
}

void Sorted(const Bytes& input) {
    if (input.empty()) return;
    static ZRBWTEncode bwt;
    ZRBWTDecode unbwt;
    ZRMTFEncode mtf;
    ZRMTFDecode unmtf;
    if (!bwt.Create() || !unbwt.Create()) return;
    const int n = static_cast<int>(input.size());
    Bytes sorted(n + 2), out(n);
    if (!bwt.Encode(input.data(), sorted.data(), n) || !mtf.Encode(sorted.data(), n + 2))
        __builtin_trap();
    if (!unmtf.Decode(sorted.data(), n + 2) || !unbwt.Decode(sorted.data(), out.data(), n + 2))
        __builtin_trap();
    if (out != input) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 200000) return 0;
    const Bytes input(data + 1, data + size);
    switch (data[0] % 6) {
        case 0: Streamed<ZROrvikEncode, ZROrvikDecode>(input); break;
        case 1: Streamed<ZRPellumEncode, ZRPellumDecode>(input); break;
        case 2: Streamed<ZRPellumLEEncode, ZRPellumDecode>(input); break;
        case 3: Streamed<ZRPellumMiniEncode, ZRPellumDecode>(input); break;
        case 4: Ranged(input); break;
        default: if (input.size() <= 65536) Sorted(input); break;
    }
    return 0;
}
