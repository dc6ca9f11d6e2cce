// Arbitrary bytes as the system save: refused cleanly, or system data and a read history that
// save and load again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "game/gamedata.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SystemData sys;
    ReadHistory hist;
    if (!DecodeSystemSave(data, size, sys, hist)) return 0;
    std::string again;
    if (!EncodeSystemSave(sys, hist, again)) __builtin_trap();
    SystemData sys2;
    ReadHistory hist2;
    if (!DecodeSystemSave(reinterpret_cast<const uint8_t*>(again.data()), again.size(), sys2,
                          hist2))
        __builtin_trap();
    if (!(sys == sys2) || hist.GetSize() != hist2.GetSize() ||
        std::memcmp(hist.GetBuffer(), hist2.GetBuffer(), hist.GetSize()) != 0)
        __builtin_trap();
    return 0;
}
