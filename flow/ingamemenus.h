// The flow's long-lived menu screens lent to the adventure scene through its narrow interface.
#pragma once
#include "scenes/avgmenus.h"

// The program's one lender; it reaches the screens through their globals.
AvgMenuScreens* FlowMenuScreens();
