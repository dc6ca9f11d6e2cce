// Font object of the class library, as screen layouts publish it: face, height, character
// set, pitch and style flags. The engine copies it into its own fonts.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

enum class FontPitch : uint8_t { Default, Variable, Fixed };

struct TFont {
    uint8_t charset = 1;
    std::string name = "MS UI Gothic";  // bytes of the face name
    int32_t height = -12;               // negative: character height in pixels
    FontPitch pitch = FontPitch::Default;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
};

}  // namespace plat
