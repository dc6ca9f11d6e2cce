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

// Whether the face name is one the layouts name (or the default face). Those faces' cell at
// a character height is their em box, and their stand-ins are laid out the same way.
bool IsStandIn(const std::string& face_bytes, uint8_t charset);

// A face that covers the characters a primary face may lack.
const char* FallbackFamilyFor(const std::string& family);

}  // namespace plat
