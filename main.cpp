// The executable: everything happens in the program entry of the game core.
#include "game/splashf.h"

int main() {
    return WinMain();
}
