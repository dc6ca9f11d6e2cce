// Fuzzes the movie reader: the head parser, then an open from memory and the decode of up to
// 60 pictures into rows of an odd pitch. The first byte chooses 24- or 32-bit rows (bit 0) and
// looping (bit 1). The steady clock runs so fast that every picture is due at once.
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/moviedecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    plat::MovieHead head;
    plat::ParseMovieHead(data + 1, size - 1, &head);
    plat::MovieOptions o;
    o.frameBits = (data[0] & 1) ? 24 : 32;
    o.loop = (data[0] & 2) != 0;
    o.speed = 1000000;
    auto m = plat::MovieDecoder::OpenMemory(
        std::make_shared<std::vector<uint8_t>>(data + 1, data + size), o, nullptr);
    if (!m) return 0;
    const plat::MovieHead& h = m->Head();
    const int bits = o.frameBits;
    const int32_t pitch = h.width * bits / 8 + 13;
    std::vector<uint8_t> rows(static_cast<size_t>(pitch) * h.height);
    m->WaitStarted(std::chrono::milliseconds(500));
    int drawn = 0;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (drawn < 60 && !m->Ended() && std::chrono::steady_clock::now() < limit) {
        if (m->Draw(rows.data(), pitch, bits, 0, 0, h.width, h.height))
            ++drawn;
        else
            std::this_thread::yield();
    }
    m->Close();
    return 0;
}
