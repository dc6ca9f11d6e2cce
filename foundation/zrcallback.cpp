// The callback templates live in the header; this unit keeps the library non-empty and
// checks that the header stands on its own.
#include "foundation/zrcallback.h"
