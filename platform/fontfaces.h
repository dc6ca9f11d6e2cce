// Which installed face stands in for each face name the game's layouts ask for.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

// The fontconfig family for a face name given as code-page bytes; unknown names are passed
// on decoded, for fontconfig to match as best it can.
std::string InstalledFamilyFor(const std::string& face_bytes, uint8_t charset);

// A face that covers the characters a primary face may lack.
const char* FallbackFamilyFor(const std::string& family);

}  // namespace plat
