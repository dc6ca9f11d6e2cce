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
