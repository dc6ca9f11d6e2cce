// mkdemo: builds the demo game's data from nothing. It draws the pictures the main window
// loads at start-up, encodes the system sounds as Ogg Vorbis, packs everything into the game
// archive "scr_c.pak" and writes a default "Solvane.ini" beside it (an existing one is kept).
// Everything is written into a folder of this run's own beside OUTDIR and moved into OUTDIR
// only once it is complete, so two runs on one OUTDIR (two builds of one tree at once) or a
// run that fails half-way never leave a mix of files or archives short of entries there.
//
//   mkdemo OUTDIR
#include <unistd.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "foundation/zrpack.h"
#include "tools/mkdemo_draw.h"
#include "tools/mkdemo_effects.h"
#include "tools/mkdemo_images.h"
#include "tools/mkdemo_media.h"

namespace fs = std::filesystem;

namespace {

using demo::Picture;
using demo::WriteBmp;
using demo::WritePng;

// Eight 32x32 pointers side by side: four arrows (hot spot top-left) and four rings (centre).
Picture DrawCursor() {
    Picture p(256, 32);
    const uint32_t tints[8] = {0xFFFFFF, 0xFFE080, 0x80E0FF, 0xFF9090,
                               0xFFFFFF, 0xFFE080, 0x80E0FF, 0xFF9090};
    for (int cell = 0; cell < 8; ++cell) {
        const int ox = cell * 32;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                if (cell < 4) {
                    // A filled arrow with a dark rim.
                    const bool inside = x <= y && x + y / 2 < 24 && y < 26;
                    const bool rim = inside && (x == 0 || x == y || x + y / 2 >= 22 || y >= 24);
                    if (inside) p.Set(ox + x, y, rim ? 0x202020 : tints[cell]);
                } else {
                    const double d = std::hypot(x - 15.0, y - 15.0);
                    if (d <= 12.0 && d >= 6.0)
                        p.Set(ox + x, y, d > 11.0 || d < 7.0 ? 0x202020 : tints[cell]);
                    else if (d < 2.0)
                        p.Set(ox + x, y, tints[cell]);
                }
            }
    }
    return p;
}

// Ten 240x72 cells: "now loading" dots, one more lit in each cell.
Picture DrawWait() {
    Picture p(240, 720);
    for (int cell = 0; cell < 10; ++cell)
        for (int y = 0; y < 72; ++y)
            for (int x = 0; x < 240; ++x) {
                uint32_t c = 0x000000;
                for (int dot = 0; dot < 10; ++dot) {
                    const double d = std::hypot(x - (21.0 + dot * 22), y - 36.0);
                    if (d < 7.0) c = dot == cell ? 0xFFF0C0 : dot < cell ? 0x806830 : 0x303040;
                }
                p.Set(x, cell * 72 + y, c);
            }
    return p;
}

// A stamp: a rounded badge of the given colour with a striped inside.
Picture DrawStamp(int w, int h, uint32_t colour) {
    Picture p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int dx = std::max(0, std::max(8 - x, x - (w - 9)));
            const int dy = std::max(0, std::max(8 - y, y - (h - 9)));
            if (dx * dx + dy * dy > 64) continue;
            const uint32_t c = ((x + y) / 6) % 2 ? colour : (colour >> 1) & 0x7F7F7F;
            p.Set(x, y, c, 200);
        }
    return p;
}

// A short sound: a tone sweep with a soft envelope, as Ogg Vorbis, mono, 44.1 kHz.
bool WriteOgg(const fs::path& path, double f0, double f1, double seconds, bool noise) {
    std::ofstream f(path, std::ios::binary);
    if (!f) return false;
    const int rate = 44100;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 1, rate, 0.4f) != 0) return false;
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1);
    ogg_packet h0, h1, h2;
    vorbis_analysis_headerout(&vd, &vc, &h0, &h1, &h2);
    ogg_stream_packetin(&os, &h0);
    ogg_stream_packetin(&os, &h1);
    ogg_stream_packetin(&os, &h2);
    ogg_page page;
    auto emit = [&](ogg_page& pg) {
        f.write(reinterpret_cast<const char*>(pg.header), pg.header_len);
        f.write(reinterpret_cast<const char*>(pg.body), pg.body_len);
    };
    while (ogg_stream_flush(&os, &page)) emit(page);

    const int total = int(seconds * rate);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> white(-1.f, 1.f);
    double phase = 0;
    int done = 0;
    bool eos = false;
    while (!eos) {
        const int n = std::min(1024, total - done);
        if (n <= 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float** buf = vorbis_analysis_buffer(&vd, n);
            for (int i = 0; i < n; ++i) {
                const double t = double(done + i) / total;
                phase += 2 * M_PI * (f0 + (f1 - f0) * t) / rate;
                const double env = std::min(1.0, t * 40) * (1 - t);
                buf[0][i] = float((noise ? 0.5 * white(rng) : std::sin(phase)) * 0.5 * env);
            }
            vorbis_analysis_wrote(&vd, n);
            done += n;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &page)) {
                    emit(page);
                    if (ogg_page_eos(&page)) eos = true;
                }
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return bool(f);
}

const char kDefaultIni[] =
    "[Game]\r\n"
    "WindowMode=ON\r\n"
    "FPSMode=FULL\r\n"
    "VolumeBGM=50\r\n"
    "VolumeVoice=100\r\n"
    "VolumeSE=80\r\n"
    "VolumeRear=90\r\n"
    "[Game Debug]\r\n"
    "ShowFPS=OFF\r\n"
    "CapEnable=OFF\r\n"
    "AlbumShowAll=OFF\r\n"
    "[Fullscreen]\r\n"
    "Height=1024\r\n";

}  // namespace

// The demo story's scripts, scene index and speaker table (mkdemo_scripts.cpp).
bool WriteDemoScripts(const fs::path& stage);
// The story's effect archive and voice pack beside the game archive (mkdemo_story.cpp).
bool WriteStorySounds(const fs::path& out, bool (*writeOgg)(const fs::path&, double, double, double, bool));

// The stage's backgrounds, characters and flake sheet (mkdemo_stage.cpp).
bool WriteStageData(const fs::path& stage, const fs::path& out);

// The battle's tables, pictures, sounds and movies (mkdemo_battle.cpp).
bool WriteBattleData(const fs::path& stage, const fs::path& out,
                     bool (*writeOgg)(const fs::path&, double, double, double, bool));
// The stand-in title's picture, voices and music (mkdemo_flow.cpp).
bool WriteFlowData(const fs::path& stage, const fs::path& out,
                   bool (*writeOgg)(const fs::path&, double, double, double, bool));

// The text windows' pictures (mkdemo_windows.cpp).
bool WriteWindowPictures(const fs::path& stage);

// The menus' pictures and the title call's voices (mkdemo_menus.cpp).
bool WriteMenuPictures(const fs::path& stage,
                       bool (*writeOgg)(const fs::path&, double, double, double, bool));
// The album's and the music room's pictures, tables, event pictures and tracks
// (mkdemo_album.cpp).
bool WriteAlbumData(const fs::path& stage, const fs::path& out);

namespace {

// Moves every entry of `from` into `to`, replacing what is there under the same name: a file
// in one rename, a folder by removing the old one first. Another run may move its own folder
// in between; then the removal is tried again.
bool MoveEntriesInto(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::create_directories(to, ec);
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(from, ec)) entries.push_back(entry.path());
    if (ec) return false;
    for (const fs::path& entry : entries) {
        const fs::path target = to / entry.filename();
        const bool folder = fs::is_directory(entry, ec);
        bool moved = false;
        for (int attempt = 0; attempt < 10 && !moved; ++attempt) {
            std::error_code e;
            if (folder) fs::remove_all(target, e);
            fs::rename(entry, target, e);
            moved = !e;
        }
        if (!moved) {
            std::fprintf(stderr, "mkdemo: cannot move %s into %s\n", entry.c_str(), to.c_str());
            return false;
        }
    }
    return true;
}

// Writes the whole demo into `out`, a folder of this run's own.
int WriteDemo(const fs::path& out, bool writeIni);

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mkdemo OUTDIR\n");
        return 2;
    }
    fs::path target = fs::absolute(argv[1]).lexically_normal();
    if (!target.has_filename()) target = target.parent_path();
    const fs::path work =
        target.parent_path() / (target.filename().string() + ".mkdemo-" + std::to_string(::getpid()));
    std::error_code ec;
    fs::remove_all(work, ec);
    const int status = WriteDemo(work, !fs::exists(target / "Solvane.ini"));
    const bool moved = status == 0 && MoveEntriesInto(work, target);
    fs::remove_all(work, ec);
    if (status != 0) return status;
    if (!moved) return 1;
    std::printf("mkdemo: %s written\n", target.c_str());
    return 0;
}

namespace {

int WriteDemo(const fs::path& out, bool writeIni) {
    const fs::path stage = out / "mkdemo.staging";
    std::error_code ec;
    fs::create_directories(stage, ec);
    if (ec) {
        std::fprintf(stderr, "mkdemo: cannot make %s\n", stage.c_str());
        return 1;
    }

    struct Sound {
        const char* name;
        double f0, f1, seconds;
        bool noise;
    };
    const Sound sounds[6] = {
        {"SysSE_OK", 880, 1320, 0.18, false},   {"SysSE_Cancel", 660, 330, 0.2, false},
        {"SysSE_Error", 220, 180, 0.35, false}, {"SysSE_Cursor", 1500, 1500, 0.05, false},
        {"SysSE_Open", 440, 990, 0.25, false},  {"SysSE_Close", 0, 0, 0.2, true}};
    bool ok = WritePng(stage / "Cursor.png", DrawCursor(), true) &&
              WriteBmp(stage / "Wait.bmp", DrawWait()) &&
              WritePng(stage / "Cap_Logo.png", DrawStamp(240, 64, 0x4060C0), true) &&
              WritePng(stage / "Cap_Copy.png", DrawStamp(320, 24, 0x808080), true) &&
              WriteDemoImages(stage) && WriteDemoEffects(stage);
    for (const Sound& s : sounds)
        ok = ok && WriteOgg(stage / (std::string(s.name) + ".ogg"), s.f0, s.f1, s.seconds, s.noise);
    ok = ok && WriteDemoScripts(stage);
    ok = ok && WriteStorySounds(out, WriteOgg);
    ok = ok && WriteFlowData(stage, out, WriteOgg);
    ok = ok && WriteWindowPictures(stage);
    ok = ok && WriteMenuPictures(stage, WriteOgg);
    ok = ok && WriteStageData(stage, out);
    ok = ok && WriteBattleData(stage, out, WriteOgg);
    ok = ok && WriteAlbumData(stage, out);
    if (!ok) {
        std::fprintf(stderr, "mkdemo: writing the demo files failed\n");
        return 1;
    }

    const fs::path archive = out / "scr_c.pak";
    ZRPack pack;
    pack.SetReadOnly(false);
    if (!pack.NewPack(archive.string().c_str())) {
        std::fprintf(stderr, "mkdemo: cannot create %s\n", archive.c_str());
        return 1;
    }
    for (const auto& entry : fs::directory_iterator(stage)) {
        const std::string name = entry.path().filename().string();
        if (!pack.AddFile(name.c_str(), entry.path().string().c_str(), true)) {
            std::fprintf(stderr, "mkdemo: cannot add %s\n", name.c_str());
            ok = false;
        }
    }
    if (!pack.EndPack() || !ok) {
        std::fprintf(stderr, "mkdemo: writing %s failed\n", archive.c_str());
        return 1;
    }
    fs::remove_all(stage, ec);
    if (!WriteDemoMedia(out)) return 1;

    if (writeIni) {
        const fs::path ini = out / "Solvane.ini";
        std::ofstream f(ini, std::ios::binary);
        f << kDefaultIni;
        if (!f) {
            std::fprintf(stderr, "mkdemo: cannot write %s\n", ini.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace
