// Linked into every test binary, so tests behave the same however they are started
// (./test.sh, ctest, or a binary run by hand).
#include <stdlib.h>

// fontconfig keeps its configuration for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

// No test needs a real window or sound card unless it asks for one itself.
struct HeadlessDefaults {
    HeadlessDefaults() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
    }
} const kHeadlessDefaults;

}  // namespace
