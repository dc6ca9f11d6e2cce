// The demo pictures of every kind the game's loaders read (BMP, JPEG, PNG with transparency,
// the scrambled gny container) and a small animation strip with its ".anm" definition.
#pragma once
#include <filesystem>

// Writes them into dir; false when a file could not be written.
bool WriteDemoImages(const std::filesystem::path& dir);
