// The three resources that some transition kinds need, loaded by their owners before such a
// transition and freed after it: the water ripple's look-up tables, the wipe pattern of the
// mask transitions with the work plane each frame computes from it, and the halo pictures.
// They live outside the memory manager (plain heap blocks and owner-less components); only
// the full-screen work bitmaps of CreateScreenBits are tracked.
#pragma once
#include <cstdint>

#include "foundation/zrstring.h"
#include "widgets/nyrgbbits.h"

class ZRFileMan;
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

class TNYWaterTable {
  public:
    TNYWaterTable() = default;
    ~TNYWaterTable() { Free(); }
    TNYWaterTable(const TNYWaterTable&) = delete;
    TNYWaterTable& operator=(const TNYWaterTable&) = delete;

    // Once: reads "WaterDistTbl.bin", "WaterSinTbl.bin" and "WaterMultiTbl.bin". Throws
    // EGameErr when a table cannot be allocated.
    void LoadTables(ZRFileMan* files);
    // The same from three streams (any may be null). A table whose stream is missing or
    // shorter than the table is filled neutral, so a damaged install still draws (unmoved).
    void LoadFrom(ZRStream* dist, ZRStream* sine, ZRStream* amp);
    void Free();

    uint8_t loaded = 0;
    uint16_t* distance = nullptr;
    uint8_t* sine = nullptr;
    uint8_t* amplitude = nullptr;
};

class TNYFadeAlphaMask {
  public:
    TNYFadeAlphaMask() = default;
    ~TNYFadeAlphaMask() { Free(); }
    TNYFadeAlphaMask(const TNYFadeAlphaMask&) = delete;
    TNYFadeAlphaMask& operator=(const TNYFadeAlphaMask&) = delete;

    // Replaces an earlier mask with the named 8-bit picture. Throws EGameErr (holding
    // nothing) when the file is missing, does not decode or is not 1280x720: the wipes mix
    // two full-screen pictures through it, so another size would read outside the plane.
    void Load(ZRFileMan* files, ZRString name);
    // The same from a stream (null counts as missing).
    void LoadStream(ZRStream* stream);
    void Free();

    // work := function of mask and level (clamped to 0-255), whole plane; nothing unloaded.
    void Extract(int32_t level);
    void SAdd(int32_t level);
    void SSub(int32_t level);

    uint8_t loaded = 0;
    TNyAlpha* mask = nullptr;
    TNyAlpha* work = nullptr;
};

// Halo layers in the order of their speed factors.
inline constexpr int kHaloLayers = 5;

class TNYHalationImage {
  public:
    TNYHalationImage() = default;
    ~TNYHalationImage() { Free(); }
    TNYHalationImage(const TNYHalationImage&) = delete;
    TNYHalationImage& operator=(const TNYHalationImage&) = delete;

    // Replaces an earlier set with "HaloBack.bmp" and the five layer pictures at the depth.
    // A missing file is skipped (its bitmap stays uncreated); a file that does not decode
    // throws EGameErr after freeing all six.
    void Load(ZRFileMan* files, ZRBitDepth depth);
    void Free();

    static const char* const kFiles[1 + kHaloLayers];
    static const int32_t kSpeed[kHaloLayers];

    uint8_t loaded = 0;
    TNyRGBBits* back = nullptr;
    TNyRGBBits* layer[kHaloLayers] = {};
};

// A tracked 1280x720 bitmap of WorkBitDepth; throws EGameErr when none can be made.
TNyRGBBits* CreateScreenBits();
