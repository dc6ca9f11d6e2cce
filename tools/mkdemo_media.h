// The demo's music tracks and movies, written as loose files beside the program.
#pragma once
#include <filesystem>

// Writes "BGM/Track01.adx", "BGM/Track02.adx", "Movie/SVOP.sfd", "Movie/SVED.sfd" and
// "Battle/BtlDamageL.sfd" under `out`, each only when it is missing; false when one cannot be written.
bool WriteDemoMedia(const std::filesystem::path& out);
