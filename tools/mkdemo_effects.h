// The transition resources of the demo: seventeen fade masks, the three water ripple tables
// and the halo pictures, all drawn in code.
#pragma once
#include <filesystem>

// Writes them into dir; false when a file could not be written.
bool WriteDemoEffects(const std::filesystem::path& dir);
