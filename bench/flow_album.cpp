// The album and the music room at work, each beside a peer measured in the same run:
// - a page turn (sixteen PNG thumbnails decoded and the grid drawn) beside libpng's simplified
//   reader decoding the same sixteen files (goal: within 1.3x);
// - a full-screen event picture opened (JPEG, PNG) beside the decoder alone on the same file;
// - a music-room scroll step (seven titles and shadows set and redrawn) beside a memcpy of a
//   1280x720 32-bit frame (goal: under half a frame of 33 ms).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "flow/palbummenu.h"
#include "flow/pmenuservices.h"
#include "flow/psoundmenu.h"
#include "foundation/zrmemman.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/gamefunc.h"
#include "jpeg_peer.h"
#include "tests/media/imagefixtures.h"
#include "widgets/nyrgbbits.h"

namespace {

namespace fs = std::filesystem;
using imgfix::Bytes;

class QuietWindow : public MenuServices {
  public:
    bool PlayBGM(int32_t, bool, bool) override { return true; }
    void StopBGM(bool) override {}
    bool IsBGMPlaying() override { return true; }
    int32_t GetBGMTrack() override { return 13; }
    void PlaySysSE(int32_t) override {}
    void EndWait(int32_t) override {}
    bool StartPanelTransition() override { return false; }
    bool AdvancePanelTransition(int32_t) override { return false; }
    void EndPanelTransition() override {}
};

Bytes Pixels(int w, int h, int channels, int seed) {
    std::mt19937 rng(seed);
    Bytes b(size_t(w) * h * channels);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &b[(size_t(y) * w + x) * channels];
            p[0] = uint8_t(x * 255 / w + (rng() & 7));
            p[1] = uint8_t(y * 255 / h + seed * 20);
            p[2] = uint8_t((x + y) / 4);
        }
    return b;
}

Bytes Png(int w, int h, int seed) {
    const Bytes px = Pixels(w, h, 3, seed);
    std::vector<Bytes> rows;
    for (int y = 0; y < h; ++y) rows.emplace_back(px.begin() + y * w * 3, px.begin() + (y + 1) * w * 3);
    imgfix::PngSpec desc;
    desc.width = w;
    desc.height = h;
    desc.colourType = PNG_COLOR_TYPE_RGB;
    return imgfix::EncodePng(desc, rows);
}

void Write(const fs::path& p, const Bytes& b) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

// A game directory with 32 thumbnails, a table that shows them, two event pictures and the
// music table, made once; the working directory moves there for the event-picture archive.
const fs::path& GameDir() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("zrbench_album_" + std::to_string(getpid()));
        std::string table = "name,#e,#a,!\r\n";
        for (int e = 0; e < 32; ++e) {
            char name[24];
            std::snprintf(name, sizeof name, "album_ev%02d.png", e);
            Write(d / name, Png(167, 93, e));
            table += "#r," + std::to_string(e) + "," + std::to_string(500 + e) + "\r\n";
        }
        Write(d / "AlbumTbl.csv", Bytes(table.begin(), table.end()));
        Write(d / "EvBG_Pak" / "bg500.jpg",
              imgfix::EncodeJpeg({1280, 720, 3, false, 2, 2}, Pixels(1280, 720, 3, 1)));
        Write(d / "EvBG_Pak" / "bg501.png", Png(1280, 720, 2));
        std::string sound = "name,#track,#title,!\r\n";
        for (int i = 1; i <= 50; ++i)
            sound += "#t," + std::to_string(i) + ",Track number " + std::to_string(i) + "\r\n";
        Write(d / "SoundTbl.csv", Bytes(sound.begin(), sound.end()));
        fs::current_path(d);
        return d;
    }();
    return dir;
}

struct Rig {
    Rig() {
        GameDir();
        MemMan = new ZRMemMan();
        WorkBitDepth = bd32;
        AlbumShowAll = true;
        files.InitDir(GameDir().string().c_str());
        screen = new TNyRGBBits();
        screen->SetBitDepth(bd32);
        screen->SetPixFormat(pf32_888);
        screen->Resize(1280, 720);
        screen->Create();
    }
    ~Rig() {
        delete screen;
        delete MemMan;
        MemMan = nullptr;
    }
    ZRFileMan files;
    QuietWindow window;
    TNyRGBBits* screen;
};

void BM_AlbumPageTurn(benchmark::State& state) {
    Rig rig;
    TAlbumMenu album(&rig.window);
    if (!album.Setup(&rig.files)) return state.SkipWithError("set-up failed");
    album.LoadTable();
    int page = 0;
    for (auto _ : state) {
        page ^= 1;
        album.ShowPage(page);
        album.FadeCounter = -1;
        album.RootPanel->Draw(rig.screen, 0, 0);
    }
    album.Release();
}
BENCHMARK(BM_AlbumPageTurn)->Unit(benchmark::kMillisecond);

void BM_PeerLibpngSixteenThumbnails(benchmark::State& state) {
    GameDir();
    std::vector<std::string> names;
    for (int e = 0; e < 32; ++e) {
        char name[24];
        std::snprintf(name, sizeof name, "album_ev%02d.png", e);
        names.push_back((GameDir() / name).string());
    }
    Bytes out(size_t(167) * 93 * 4);
    int page = 0;
    for (auto _ : state) {
        page ^= 1;
        for (int i = 0; i < 16; ++i) {
            png_image image{};
            image.version = PNG_IMAGE_VERSION;
            png_image_begin_read_from_file(&image, names[page * 16 + i].c_str());
            image.format = PNG_FORMAT_BGRA;
            if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr))
                state.SkipWithError("decode failed");
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_PeerLibpngSixteenThumbnails)->Unit(benchmark::kMillisecond);

void BM_AlbumOpenPicture(benchmark::State& state) {
    Rig rig;
    TAlbumMenu album(&rig.window);
    if (!album.Setup(&rig.files)) return state.SkipWithError("set-up failed");
    album.LoadTable();
    const int entry = static_cast<int>(state.range(0));  // 0 JPEG, 1 PNG
    for (auto _ : state) {
        album.OpenEntry(entry);
        album.ViewFrame(1, true);  // back to the grid
    }
    album.Release();
}
BENCHMARK(BM_AlbumOpenPicture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PeerDecoderAlone(benchmark::State& state) {
    const bool png = state.range(0) == 1;
    const fs::path path = GameDir() / "EvBG_Pak" / (png ? "bg501.png" : "bg500.jpg");
    std::ifstream in(path, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Bytes out(size_t(1280) * 720 * 4);
    for (auto _ : state) {
        if (png) {
            png_image image{};
            image.version = PNG_IMAGE_VERSION;
            png_image_begin_read_from_memory(&image, file.data(), file.size());
            image.format = PNG_FORMAT_BGRA;
            png_image_finish_read(&image, nullptr, out.data(), 0, nullptr);
        } else {
            LibjpegDecodeBgrx(file.data(), file.size(), out.data(), 1280);
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_PeerDecoderAlone)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_MusicRoomScrollStep(benchmark::State& state) {
    Rig rig;
    TSoundMenu room(&rig.window);
    if (!room.Setup(&rig.files)) return state.SkipWithError("set-up failed");
    room.LoadTable();
    int top = 0;
    for (auto _ : state) {
        top = top >= 43 ? 0 : top + 1;
        room.ShowList(top);
        room.RootPanel->Draw(rig.screen, 0, 0);
    }
    room.Release();
}
BENCHMARK(BM_MusicRoomScrollStep)->Unit(benchmark::kMillisecond);

void BM_PeerFrameMemcpy(benchmark::State& state) {
    Bytes a(size_t(1280) * 720 * 4, 1), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
    }
}
BENCHMARK(BM_PeerFrameMemcpy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
