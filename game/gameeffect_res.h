// Reading the transition resources declared with the effect: the water ripple's look-up
// tables, the wipe pattern of the mask transitions and the halo pictures. The stream forms
// serve the archive loaders and let tests and fuzzers hand in bytes directly.
#pragma once
#include <cstdint>

#include "game/gameeffect.h"

class ZRStream;

// Sizes of the ripple tables: distances of one quadrant (360 rows of 640 u16), one period of
// the wave, and 32 amplitude rows of 255 displacements (+127).
inline constexpr int kWaterQuadW = 640;
inline constexpr int kWaterQuadH = 360;
inline constexpr int kWaterDistBytes = kWaterQuadW * kWaterQuadH * 2;
inline constexpr int kWaterSinBytes = 256;
inline constexpr int kWaterAmpRows = 32;
inline constexpr int kWaterAmpCols = 255;
inline constexpr int kWaterMultiBytes = kWaterAmpRows * kWaterAmpCols;

// The values that leave a pixel in place: the wave's middle and no displacement.
inline constexpr uint8_t kWaterNeutral = 127;

// Once (nothing when loaded): the three tables from streams, any of which may be null. A
// table whose stream is missing or shorter than the table is filled neutral, so a damaged
// install still draws (unmoved). Throws EGameErr when a table cannot be allocated.
void LoadWaterStreams(TNYWaterTable& water, ZRStream* dist, ZRStream* sine, ZRStream* amp);

// Replaces an earlier mask with the 8-bit picture of the stream (null counts as missing).
// Throws EGameErr, holding nothing, when it is missing, does not decode or is not 1280x720:
// the wipes mix two full-screen pictures through it, so another size would read outside it.
void LoadMaskStream(TNYFadeAlphaMask& mask, ZRStream* stream);

// Halo files, the back picture first, and the speed factor of each layer.
inline constexpr int kHaloLayers = 5;
inline constexpr const char* kHaloFiles[1 + kHaloLayers] = {"HaloBack.bmp",    "HaloBlueB.bmp",
                                                            "HaloYellowB.bmp", "HaloYellowS.bmp",
                                                            "HaloBlueS.bmp",   "HaloGreen.bmp"};
inline constexpr int32_t kHaloSpeed[kHaloLayers] = {240, 84, 366, 160, 292};
