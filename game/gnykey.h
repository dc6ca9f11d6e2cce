// The key table of the scrambled gny pictures: one fixed table of this program, shared by the
// game's loaders and by the demo-data generator that writes such pictures.
#pragma once
#include <array>
#include <cstdint>

inline constexpr std::array<unsigned char, 256> kGnyKeyTable = [] {
    std::array<unsigned char, 256> t{};
    uint32_t s = 0x5A17C3E9u;
    for (unsigned char& b : t) {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        b = static_cast<unsigned char>(s >> 24);
    }
    return t;
}();
