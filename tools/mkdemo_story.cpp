// The story's sound archives: "EvSE.pak" with the effect and environment sounds se001-se003
// and the voice pack "Voice/ev00000.pak" with voices 1 and 2, each a short tone encoded the
// way mkdemo encodes the system sounds.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "foundation/zrpack.h"

namespace fs = std::filesystem;

using OggWriter = bool (*)(const fs::path& path, double f0, double f1, double seconds, bool noise);

namespace {

struct Tone {
    const char* name;
    double f0, f1, seconds;
    bool noise;
};

bool Pack(const fs::path& archive, const fs::path& stage, const Tone* tones, int count,
          OggWriter writeOgg) {
    std::error_code ec;
    fs::remove_all(stage, ec);
    fs::create_directories(stage, ec);
    fs::create_directories(archive.parent_path(), ec);
    bool ok = !ec;
    for (int i = 0; ok && i < count; ++i)
        ok = writeOgg(stage / tones[i].name, tones[i].f0, tones[i].f1, tones[i].seconds,
                      tones[i].noise);
    ZRPack pack;
    pack.SetReadOnly(false);
    ok = ok && pack.NewPack(archive.string().c_str());
    for (int i = 0; ok && i < count; ++i)
        ok = pack.AddFile(tones[i].name, (stage / tones[i].name).string().c_str(), true);
    ok = pack.EndPack() && ok;
    fs::remove_all(stage, ec);
    if (!ok) std::fprintf(stderr, "mkdemo: writing %s failed\n", archive.c_str());
    return ok;
}

}  // namespace

bool WriteStorySounds(const fs::path& out, OggWriter writeOgg) {
    const Tone effects[] = {
        {"se001.ogg", 1200, 600, 0.3, false},  // a chime
        {"se002.ogg", 300, 300, 0.4, true},    // a door
        {"se003.ogg", 0, 0, 2.0, true},        // rain, looped as an environment sound
    };
    // Voice n lies in pack n / 1,000,000 under its number written with eight digits.
    const Tone voices[] = {
        {"00000001.ogg", 220, 260, 0.8, false},
        {"00000002.ogg", 330, 280, 0.8, false},
    };
    return Pack(out / "EvSE.pak", out / "mkdemo.evse", effects, 3, writeOgg) &&
           Pack(out / "Voice" / "ev00000.pak", out / "mkdemo.voice", voices, 2, writeOgg);
}
