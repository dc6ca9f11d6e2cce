// State shared by the bitmap and the alpha plane: the processor probe each new object asks for
// its kernel set, the two overrun handlers, the guard test and the identifier field.
#pragma once
#include "media/zrcpuid.h"
#include "widgets/nyrgbbits.h"

namespace ny_unit {

const CPUID& Cpu();
TNotifyEvent& BitsOverRunHandler();
TNotifyEvent& AlphaOverRunHandler();
// True when all guard bytes from guard on still hold 0x55.
bool GuardIntact(const unsigned char* guard);
void SetID(char (&field)[16], const plat::AnsiString& id);

}  // namespace ny_unit
