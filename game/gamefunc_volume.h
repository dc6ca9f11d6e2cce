// The volume curve of the Gamefunc unit: a loudness percentage as the sound device's level in
// hundredths of a decibel (0 full, -10000 silent). The curve follows the ear rather than the
// amplitude, so a slider's halfway point sounds half as loud.
#pragma once
#include <cstdint>

// Below 1: silent; 100 or more: full; between, interpolated over tenths of the range.
int32_t VolumeToDecibel(int32_t percent);
// The level of `percent` scaled by a `master` percentage (their product over 100, truncated).
int32_t ScaledVolumeToDecibel(int32_t percent, int32_t master);
