// The display globals with their start-up values.
#include "game/gamedef.h"

uint8_t DisplayKind = kDisplayWindow;
int32_t FullScreenHeight = 1024;
bool ShowFps = false;
bool CapEnable = false;
bool AlbumShowAll = false;
