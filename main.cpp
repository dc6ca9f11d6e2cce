// The executable: everything happens in the program entry of the game core; the game's own
// logic thread is named here because the core cannot reach the layers above it.
#include "flow/gamet.h"
#include "game/gamef.h"
#include "game/splashf.h"

int main() {
    DefaultLogicThread = TGameThread::Create;
    return WinMain();
}
