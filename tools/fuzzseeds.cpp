// fuzzseeds CORPUS_DIR: writes the seed corpora of the image-reader, save-file and script-file
// fuzz targets into CORPUS_DIR/<target>/ (scripts/fuzz_seeds.sh runs it). An image seed is a
// selector byte (pixel format and options, see the targets) followed by a small file made by
// the encoders the media tests use; script seeds are assembled files as they are.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "foundation/zrstd.h"
#include "media/imagefixtures.h"
#include "media/zradx.h"
#include "platform/moviewrite.h"

void WriteGameSeeds(const std::filesystem::path& corpus);
bool WriteScriptSeeds(const std::filesystem::path& corpus);

namespace {

using imgfix::Bytes;

std::filesystem::path g_corpus;
bool g_failed = false;

void WriteSeed(const std::string& target, const std::string& name, uint8_t selector,
               const Bytes& file) {
    const std::filesystem::path dir = g_corpus / target;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::ofstream out(dir / name, std::ios::binary);
    out.put(static_cast<char>(selector));
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "fuzzseeds: cannot write %s\n", (dir / name).c_str());
        g_failed = true;
    }
}

Bytes Bmp(int w, int h, int bits, int colours) {
    Bytes out(54, 0);
    out[0] = 'B';
    out[1] = 'M';
    ZRPutLE32(&out[14], 40);
    ZRPutLE32(&out[18], w);
    ZRPutLE32(&out[22], h);
    ZRPutLE16(&out[26], 1);
    ZRPutLE16(&out[28], static_cast<uint16_t>(bits));
    ZRPutLE32(&out[46], colours == 256 ? 0 : colours);
    if (bits == 8)
        for (int i = 0; i < colours; ++i) out.insert(out.end(), {uint8_t(i), uint8_t(i * 3), 9, 0});
    const int row = ((w * bits / 8) + 3) & ~3;
    for (int i = 0; i < row * h; ++i) out.push_back(uint8_t(i * 5 % colours));
    return out;
}

void WriteAll() {
    WriteSeed("media_bmp", "pal16", 7, Bmp(3, 2, 8, 16));
    WriteSeed("media_bmp", "pal256", 1, Bmp(2, 2, 8, 256));
    WriteSeed("media_bmp", "rgb24", 5, Bmp(3, 2, 24, 256));

    Bytes gny = {3, 0, 0, 0, 2, 0, 0, 0};
    for (int i = 0; i < 18; ++i) gny.push_back(uint8_t(i * 13));
    WriteSeed("media_gny", "plain", 8 | 6, gny);
    for (size_t k = 0; k < gny.size(); ++k) gny[k] ^= uint8_t(k * 37 + 11);
    WriteSeed("media_gny", "keyed", 2, gny);

    Bytes rgb;
    for (int i = 0; i < 16 * 8 * 4; ++i) rgb.push_back(uint8_t(i * 7));
    WriteSeed("media_jpeg", "baseline420", 6, imgfix::EncodeJpeg({16, 8, 3, false, 2, 2}, rgb));
    WriteSeed("media_jpeg", "progressive444", 1,
              imgfix::EncodeJpeg({8, 8, 3, true, 1, 1}, rgb));
    WriteSeed("media_jpeg", "grey", 4, imgfix::EncodeJpeg({8, 8, 1, false, 1, 1}, rgb));

    imgfix::PngSpec desc;
    desc.width = 4;
    desc.height = 3;
    WriteSeed("media_png", "rgb", 5, imgfix::EncodePng(desc, std::vector<Bytes>(3, Bytes(12, 77))));
    desc.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    desc.bitDepth = 16;
    desc.interlaced = true;
    WriteSeed("media_png", "rgba16i", 7 | 8 | 16,
              imgfix::EncodePng(desc, std::vector<Bytes>(3, Bytes(32, 200))));
    desc = imgfix::PngSpec();
    desc.width = 3;
    desc.colourType = PNG_COLOR_TYPE_PALETTE;
    desc.palette = {{1, 2, 3}, {4, 5, 6}};
    desc.trns = {0};
    WriteSeed("media_png", "palette", 4 | 16, imgfix::EncodePng(desc, {{0, 1, 1}}));
    desc.colourType = PNG_COLOR_TYPE_GRAY;
    desc.palette.clear();
    desc.trns.clear();
    WriteSeed("media_png", "grey", 1, imgfix::EncodePng(desc, {{0, 1, 1}}));

    std::vector<int16_t> pcm(2 * 300);
    for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>((i * 977) % 20000 - 10000);
    AdxEncodeOptions adx;
    adx.rate = 8000;
    adx.version = 3;
    adx.loop = true;
    adx.loopStart = 40;
    adx.loopEnd = 250;
    const Bytes looped = EncodeAdx(pcm.data(), 300, adx);
    WriteSeed("media_adx", "stereo_v3_loop", 1, looped);
    adx.channels = 1;
    adx.version = 5;
    adx.loop = false;
    WriteSeed("media_adx", "mono_v5", 0, EncodeAdx(pcm.data(), 300, adx));

    plat::MovieWriteOptions movie;
    movie.width = 32;
    movie.height = 16;
    movie.frames = 3;
    movie.bitRate = 200000;
    movie.adx = looped;
    movie.adxRate = 8000;
    movie.adxChannels = 2;
    auto paint = [](int32_t i, uint8_t* bgra, int32_t pitch) {
        plat::PaintFrameBars(bgra, pitch, 32, 16, static_cast<uint32_t>(i));
    };
    WriteSeed("platform_movie", "sound", 0, plat::WriteMovie(movie, paint, nullptr));
    movie.adx.clear();
    movie.alpha = true;
    WriteSeed("platform_movie", "alpha24", 3, plat::WriteMovie(movie, paint, nullptr));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzzseeds CORPUS_DIR\n");
        return 2;
    }
    g_corpus = argv[1];
    WriteAll();
    WriteGameSeeds(g_corpus);
    if (!WriteScriptSeeds(g_corpus)) g_failed = true;
    return g_failed ? 1 : 0;
}
