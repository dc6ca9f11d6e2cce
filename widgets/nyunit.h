// State shared by the bitmap and the alpha plane: the processor probe each new object asks for
// its kernel set, the two overrun handlers, the guard test and the identifier field.
#pragma once
#include "media/zrcpuid.h"
#include "widgets/nyrgbbits.h"

namespace ny_unit {

const CPUID& Cpu();
TNotifyEvent& BitsOverRunHandler();
TNotifyEvent& AlphaOverRunHandler();
// Zeroed pixels of bpp x w x h bytes followed by the guard, or null when the size cannot be
// addressed or allocated.
unsigned char* NewGuarded(int bpp, int w, int h);
// True when all guard bytes from guard on still hold 0x55.
bool GuardIntact(const unsigned char* guard);
void SetID(char (&field)[16], const plat::AnsiString& id);

}  // namespace ny_unit
