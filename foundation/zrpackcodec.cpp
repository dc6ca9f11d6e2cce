// ZRPack's drivers of the Orvik and Pellum codecs: the codec pulls the stored or source
// bytes through CallbackRead and pushes its output through CallbackWrite.
#include <algorithm>
#include <climits>

#include "foundation/zrorvik.h"
#include "foundation/zrpack.h"
#include "foundation/zrpellum.h"

namespace {

template <typename Codec>
bool RunDecode(ZRPack* pack, int compSize, int size) {
    Codec codec;
    return codec.Decode(compSize, size, ZRBaseCallback2<int, void*, int>(pack, &ZRPack::CallbackRead),
                        ZRBaseCallback2<int, void*, int>(pack, &ZRPack::CallbackWrite),
                        ZRBaseCallback1<bool, int>(pack, &ZRPack::CallbackProgress));
}

template <typename Codec>
int RunEncode(ZRPack* pack, int size) {
    Codec codec;
    int limit = static_cast<int>(std::min<int64_t>(2 * static_cast<int64_t>(size), INT_MAX));
    bool ok = codec.Encode(size, limit, ZRBaseCallback2<int, void*, int>(pack, &ZRPack::CallbackRead),
                           ZRBaseCallback2<int, void*, int>(pack, &ZRPack::CallbackWrite),
                           ZRBaseCallback1<bool, int>(pack, &ZRPack::CallbackProgress));
    return ok ? codec.GetCompressedSize() : 0;
}

}  // namespace

bool ZRPack::FileDecode(ZRStream* destination, ZRStream* source, int size, int compSize, int codec) {
    codecSource_ = source;
    codecDestination_ = destination;
    return codec == 0 ? RunDecode<ZROrvikDecode>(this, compSize, size)
                      : RunDecode<ZRPellumDecode>(this, compSize, size);
}

int ZRPack::FileEncode(ZRStream* destination, ZRStream* source, int size, int codec) {
    Report(0);
    codecSource_ = source;
    codecDestination_ = destination;
    switch (codec) {
        case 0: return RunEncode<ZROrvikEncode>(this, size);
        case 1: return RunEncode<ZRPellumEncode>(this, size);
        case 2: return RunEncode<ZRPellumLEEncode>(this, size);
        default: return RunEncode<ZRPellumMiniEncode>(this, size);
    }
}
