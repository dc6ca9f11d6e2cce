// The display globals with their start-up values.
#include "game/gamedef.h"

uint8_t DisplayKind = kDisplayWindow;
int32_t FullScreenHeight = 1024;
bool ShowFps = false;
bool CapEnable = false;
bool AlbumShowAll = false;
ZRScreenSize FullScreenSize = ss1280x1024;
int32_t PictureOffsetY = (1024 - 720) / 2;
ZRBitDepth DisplayBitDepth = bdNone;
bool Has720Mode = false;
bool HasTallMode = false;
ZRBitDepth WorkBitDepth = bdNone;
ZRRandom GameRandom;
