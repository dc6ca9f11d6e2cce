#include "devices/getdxver.h"

#include <cstdio>

#include "platform/display.h"

namespace {

// The debugger output of the platform the probe was written for is standard error here.
void DebugOutput(const char* text) {
    std::fputs(text, stderr);
}

}  // namespace

uint32_t GetDXVersion() {
    plat::DisplayBackend* backend = plat::OpenDisplayBackend();
    if (!backend) return 0;
    const plat::DisplayProbe p = backend->Probe();
    if (!p.displayLibrary) return 0;
    if (!p.displayEntry) {
        DebugOutput("Couldn't LoadLibrary DDraw\r\n");
        return 0;
    }
    if (!p.displayCreate) {
        DebugOutput("Couldn't create DDraw\r\n");
        return 0;
    }
    if (!p.display2) {
        DebugOutput("Couldn't QI DDraw2\r\n");
        return 0x100;
    }
    if (!p.inputLibrary) {
        DebugOutput("Couldn't LoadLibrary DInput\r\n");
        return 0x200;
    }
    if (!p.inputEntry) {
        DebugOutput("Couldn't GetProcAddress DInputCreate\r\n");
        return 0x200;
    }
    if (!p.cooperation) {
        DebugOutput("Couldn't Set coop level\r\n");
        return 0;
    }
    if (!p.primary) {
        DebugOutput("Couldn't CreateSurface\r\n");
        return 0;
    }
    if (!p.surface3) return 0x300;
    if (!p.surface4) return 0x500;
    if (!p.music) {
        DebugOutput("Couldn't create CLSID_DirectMusic\r\n");
        return 0x600;
    }
    if (!p.displayEntryEx || !p.display7) return 0x601;
    if (!p.library3d8) return 0x700;
    return 0x800;
}
