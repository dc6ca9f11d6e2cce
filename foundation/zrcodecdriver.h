// What the streaming codec drivers (Orvik, Pellum) share: the guarded run of one Encode or
// Decode call, and the progress percentage.
#pragma once
#include <cstdint>

// Runs initialize() and then run() on a codec its caller found not busy (and so could fill in
// the call's arguments), turning every exception into a failed call and releasing the codec's
// buffers through finish() whatever happened. The result is the finished flag run() sets.
template <typename Init, typename Run, typename Finish>
bool ZRRunCodec(uint8_t& busy, uint8_t& finished, Init initialize, Run run, Finish finish) {
    busy = 1;
    finished = 0;
    try {
        if (initialize()) run();
    } catch (...) {
        finished = 0;
    }
    finish();
    busy = 0;
    return finished != 0;
}

// done * 100 / total in 64 bits; 100 for an empty total.
inline int ZRCodecPercent(int64_t done, int64_t total) {
    return total <= 0 ? 100 : static_cast<int>(done * 100 / total);
}
