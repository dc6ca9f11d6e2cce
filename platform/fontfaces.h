// Which installed face stands in for each face name the game's layouts ask for.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

// The fontconfig family for a face name given as code-page bytes; unknown names are passed
// on decoded, for fontconfig to match as best it can. A fixed-pitch request (pitch 2) for a
// face with a monospaced stand-in gets that one, so every double-byte character takes one
// cell of exactly the height's width.
std::string InstalledFamilyFor(const std::string& face_bytes, uint8_t charset,
                               uint8_t pitch = 0);

// A face that covers the characters a primary face may lack.
const char* FallbackFamilyFor(const std::string& family);

}  // namespace plat
