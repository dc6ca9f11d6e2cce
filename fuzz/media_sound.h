// Drives one sound decoder over fuzz input the way the sound device does: read in pieces,
// rewind, seek, read again; stops after a bounded amount of PCM.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/zrstream.h"
#include "media/zrlpcmstream.h"

template <class Decoder>
void DriveSoundDecoder(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return;
    ZRMemoryStream source(data, static_cast<int>(size));
    Decoder s(&source);
    std::vector<uint8_t> buffer(7000);
    for (int pass = 0; pass < 2; ++pass) {
        int total = 0;
        while (total < (2 << 20)) {
            const int n = s.Read(buffer.data(), static_cast<int>(buffer.size()));
            if (n <= 0) break;
            total += n;
        }
        s.GetSize();
        s.IsEnd();
        if (pass == 0) {
            s.Seek(s.GetSize() / 3, zrSeekSet);
            s.Read(buffer.data(), 100);
            s.Reset();
        }
    }
}
