// What the game asks the operating system about itself: memory figures, the executable's
// path, the command line, the current directory, and opening a document with the desktop's
// associated program. Paths handed out are in game form (backslashes).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// All figures in bytes. Products that do not fit in 64 bits saturate at UINT64_MAX.
struct MemoryFigures {
    uint64_t totalPhysical = 0;
    uint64_t availablePhysical = 0;  // MemAvailable: what can be had without swapping
    uint64_t totalVirtual = 0;       // the address space the process may use
    uint64_t availableVirtual = 0;   // what the process can still allocate (see hostsys.cpp)
};
MemoryFigures QueryMemory();
// Only the available physical memory, from one small file: what the wait loops watch.
uint64_t AvailablePhysicalMemory();

uint64_t SaturatingMultiply(uint64_t a, uint64_t b);
// The "Name:   1234 kB" value of a /proc/meminfo-style text, in bytes; false when missing.
bool ParseMeminfoField(const std::string& text, const char* name, uint64_t* bytes);

// Full path of the running program; empty on failure.
std::string ExecutablePath();
// The program's arguments, the program's own name first.
std::vector<std::string> CommandLine();

std::string CurrentDirectory();
bool ChangeDirectory(const char* path);

// Starts the desktop's opener for `path` (xdg-open, found through PATH) in `workDir` without
// a shell and without waiting for it; true when it started.
bool OpenWithAssociatedProgram(const char* path, const char* workDir);

}  // namespace plat
