// Definitions the whole game core shares: the display globals that the configuration file,
// the command line and the main window set before and during start-up, and that drawing and
// presentation read everywhere.
#pragma once
#include <cstdint>

// 0 full screen 1280x720; 1 full screen at 1280 x FullScreenHeight with the picture centred
// vertically; 2 window (the value at program start).
inline constexpr uint8_t kDisplayWindow = 2;
extern uint8_t DisplayKind;
// Height of display kind 1.
extern int32_t FullScreenHeight;
// Draw the frame-rate box.
extern bool ShowFps;
// Screenshots are also written as PNG files.
extern bool CapEnable;
// The album shows every entry.
extern bool AlbumShowAll;

#include "foundation/zrstd.h"
#include "media/zrrgbraw.h"

// Screen size of display kind 1.
extern ZRScreenSize FullScreenSize;
// Row at which the 1280x720 picture sits in display kind 1: (FullScreenHeight - 720) / 2.
extern int32_t PictureOffsetY;
// Colour depth chosen for full screen; bdNone when no full-screen mode fits.
extern ZRBitDepth DisplayBitDepth;
// A full-screen mode of DisplayBitDepth exists at 1280x720 / at FullScreenSize.
extern bool Has720Mode;
extern bool HasTallMode;
// Depth of every working bitmap. It stays bdNone until the display probe succeeds, so a
// failed probe refuses the start.
extern ZRBitDepth WorkBitDepth;

// The program's one random generator.
extern ZRRandom GameRandom;
