// The volume curve of the Gamefunc unit.
#include "game/gamefunc_volume.h"

namespace {

// Levels of 100, 90, ..., 10 percent (1000 x log2 of the share, rounded), and of 1 percent,
// which stands in for the -infinity of 0 so the last tenth still fades smoothly.
constexpr int32_t kCurve[11] = {0,     -152,  -322,  -515,  -737, -1000,
                                -1322, -1737, -2322, -3322, -6644};

}  // namespace

int32_t VolumeToDecibel(int32_t percent) {
    if (percent < 1) return -10000;
    if (percent >= 100) return 0;
    const int32_t d = 100 - percent;
    const int32_t i = d / 10;
    const int32_t r = d % 10;
    return kCurve[i] + (kCurve[i + 1] - kCurve[i]) * r / 10;
}

int32_t ScaledVolumeToDecibel(int32_t percent, int32_t master) {
    // In 64 bits and clamped: scene and master values come from scripts and settings files.
    int64_t v = int64_t(percent) * master / 100;
    if (v > 100) v = 100;
    if (v < 0) v = 0;
    return VolumeToDecibel(static_cast<int32_t>(v));
}
