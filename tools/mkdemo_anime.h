// Writer of sprite-animation programs (".anm"), the inverse of ZRAnimeData::Load: a 38-byte
// head (version, block count, frame count, the frame count of each of the 16 groups) and then
// every group's frames in group order, four bytes each (mode, block, wait). Header-only so
// the demo generator and the tests that read its output back share one encoder.
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace demo {

struct AnimeStep {
    uint8_t mode;     // after the wait: 0 stay, 1 next frame, 3 back to frame 0, 4 next group
    uint8_t pattern;  // the picture block shown
    uint16_t wait;    // ticks
};

// Empty when the program cannot be stored: more than 16 groups, a block past the count, or
// more frames than the 16-bit count holds.
inline std::vector<uint8_t> EncodeAnime(int blocks, const std::vector<std::vector<AnimeStep>>& groups) {
    if (blocks < 1 || blocks > 0xFFFF || groups.size() > 16) return {};
    size_t frames = 0;
    for (const auto& g : groups) {
        frames += g.size();
        for (const AnimeStep& s : g)
            if (s.pattern >= blocks) return {};
    }
    if (frames > 0xFFFF) return {};
    std::vector<uint8_t> out;
    auto put16 = [&out](size_t v) {
        out.push_back(static_cast<uint8_t>(v & 0xFF));
        out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    };
    put16(0x0100);
    put16(static_cast<size_t>(blocks));
    put16(frames);
    for (size_t g = 0; g < 16; ++g) put16(g < groups.size() ? groups[g].size() : 0);
    for (const auto& g : groups)
        for (const AnimeStep& s : g) {
            out.push_back(s.mode);
            out.push_back(s.pattern);
            put16(s.wait);
        }
    return out;
}

// The menus' two-block buttons (block 0 at rest, block 1 lit): lit and breathing while
// focused, lit while selected or held down.
inline std::vector<uint8_t> MenuButtonAnime() {
    return EncodeAnime(2, {{{0, 0, 0}},
                           {{1, 1, 18}, {3, 0, 6}},
                           {{0, 1, 0}},
                           {{0, 1, 0}}});
}

inline bool WriteAnimeFile(const std::filesystem::path& path, const std::vector<uint8_t>& anime) {
    if (anime.empty()) return false;
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(anime.data()), static_cast<std::streamsize>(anime.size()));
    return bool(f);
}

}  // namespace demo
