#include "media/zrlwavestream.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "foundation/zrstd.h"
#include "soundfixtures.h"

using namespace fixtures;

namespace {

struct Source {
    explicit Source(const Bytes& b) : bytes(b), stream(bytes.data(), static_cast<int>(b.size())) {}
    Bytes bytes;
    ZRMemoryStream stream;
};

TEST(ZRWaveStream, PcmFilesInEveryShapeReadBackExactly) {
    struct Case {
        uint16_t channels, bits;
    };
    for (Case c : {Case{1, 8}, Case{2, 8}, Case{1, 16}, Case{2, 16}}) {
        Bytes data(c.channels * c.bits / 8 * 1000);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
        Source src(PcmWave(c.channels, 11025, c.bits, data));
        ZRWaveStream s(&src.stream);
        ASSERT_TRUE(s.IsOpen()) << c.channels << "x" << c.bits;
        EXPECT_EQ(s.GetChannels(), c.channels);
        EXPECT_EQ(s.GetRate(), 11025u);
        EXPECT_EQ(s.GetBits(), c.bits);
        EXPECT_EQ(s.GetSamples(), 1000u);
        EXPECT_EQ(s.GetSize(), static_cast<int>(data.size()));
        EXPECT_TRUE(s.IsSeekable());
        EXPECT_EQ(ReadAll(s, 333), data);
        EXPECT_TRUE(s.IsEnd());
        EXPECT_TRUE(s.Reset());
        EXPECT_FALSE(s.IsEnd());
        EXPECT_EQ(ReadAll(s, 4096), data);
    }
}

TEST(ZRWaveStream, SeeksByWholeSampleFrames) {
    Bytes data(4 * 1000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
    Source src(PcmWave(2, 22050, 16, data));
    ZRWaveStream s(&src.stream);
    ASSERT_TRUE(s.IsOpen());
    EXPECT_EQ(s.Seek(1001, zrSeekSet), 1000);
    uint8_t b[8];
    ASSERT_EQ(s.Read(b, 8), 8);
    EXPECT_TRUE(std::equal(b, b + 8, data.begin() + 1000));
    EXPECT_EQ(s.Seek(-9, zrSeekCur), 996);
    EXPECT_EQ(s.Seek(-4, zrSeekEnd), 3996);
    EXPECT_EQ(s.Seek(0, zrSeekEnd), 4000);
    EXPECT_TRUE(s.IsEnd());
    EXPECT_EQ(s.Read(b, 8), 0);
    EXPECT_EQ(s.Seek(4, zrSeekEnd), -1);
    EXPECT_EQ(s.Seek(0, zrSeekSet), 0);
    ASSERT_EQ(s.Read(b, 8), 8);
    EXPECT_TRUE(std::equal(b, b + 8, data.begin()));
    EXPECT_EQ(s.Write(b, 8), 0);
    EXPECT_FALSE(s.SetSize(2));
    EXPECT_EQ(s.GetSize(), 4000);
}

TEST(ZRWaveStream, WalksOddAndUnknownChunks) {
    const Bytes data(200, 0x55);
    // A 7-byte chunk is followed by a pad byte; the data chunk starts after it.
    Source src(Riff({{"fmt ", PcmFormatBody(1, 8000, 8)},
                     {"LIST", Bytes(7, 'x')},
                     {"junk", Bytes(1, 0)},
                     {"data", data}}));
    ZRWaveStream s(&src.stream);
    ASSERT_TRUE(s.IsOpen());
    EXPECT_EQ(ReadAll(s), data);

    // An extended format chunk (size 18 with extra size 0) is read too.
    Bytes fmt = PcmFormatBody(1, 8000, 16);
    fmt.push_back(0);
    fmt.push_back(0);
    Source ext(Riff({{"fmt ", fmt}, {"data", Bytes(10, 1)}}));
    ZRWaveStream e(&ext.stream);
    ASSERT_TRUE(e.IsOpen());
    EXPECT_EQ(e.GetSize(), 10);
}

TEST(ZRWaveStream, MalformedHeadersStayClosed) {
    const Bytes data(64, 1);
    Bytes noChannels = PcmFormatBody(1, 8000, 16);
    ZRPutLE16(&noChannels[2], 0);
    Bytes fourBits = PcmFormatBody(1, 8000, 16);
    ZRPutLE16(&fourBits[14], 4);
    Bytes badRiff = PcmWave(1, 8000, 8, data);
    badRiff[0] = 'X';
    Bytes badWave = PcmWave(1, 8000, 8, data);
    badWave[8] = 'X';
    Bytes shortRiff = PcmWave(1, 8000, 8, data);
    ZRPutLE32(&shortRiff[4], 20);  // ends inside the format chunk
    Bytes hugeChunk = Riff({{"LIST", Bytes(4, 0)}, {"fmt ", PcmFormatBody(1, 8000, 8)},
                            {"data", data}});
    ZRPutLE32(&hugeChunk[16], 0xFFFFFFF0u);  // would wrap a 32-bit offset back to the start

    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"empty", {}},
        {"11 bytes", Bytes(11, 'R')},
        {"no channels", Riff({{"fmt ", noChannels}, {"data", data}})},
        {"4 bits", Riff({{"fmt ", fourBits}, {"data", data}})},
        {"format of 13", Riff({{"fmt ", Bytes(13, 1)}, {"data", data}})},
        {"format over 256", Riff({{"fmt ", Bytes(258, 1)}, {"data", data}})},
        {"no format", Riff({{"data", data}})},
        {"format after data", Riff({{"data", data}, {"fmt ", PcmFormatBody(1, 8000, 8)}})},
        {"no data", Riff({{"fmt ", PcmFormatBody(1, 8000, 8)}})},
        {"empty data", Riff({{"fmt ", PcmFormatBody(1, 8000, 8)}, {"data", {}}})},
        {"unknown codec", Riff({{"fmt ", Bytes{0x99, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0,
                                               0, 1, 0, 8, 0}},
                                {"data", data}})},
        {"not RIFF", badRiff},
        {"not WAVE", badWave},
        {"RIFF ends early", shortRiff},
        {"chunk size wraps", hugeChunk},
    };
    for (const auto& [name, bytes] : cases) {
        Source src(bytes);
        ZRWaveStream s(&src.stream);
        EXPECT_FALSE(s.IsOpen()) << name;
        uint8_t b[16];
        EXPECT_EQ(s.Read(b, 16), 0) << name;
        EXPECT_TRUE(s.IsEnd()) << name;
    }
    ZRWaveStream none(nullptr);
    EXPECT_FALSE(none.IsOpen());
}

TEST(ZRWaveStream, DataCutShortIsMeasuredByWhatIsThere) {
    Bytes data(1000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
    Bytes file = PcmWave(1, 8000, 16, data);
    file.erase(file.end() - 301, file.end());
    Source src(file);
    ZRWaveStream s(&src.stream);
    ASSERT_TRUE(s.IsOpen());
    EXPECT_EQ(s.GetSize(), 698);
    EXPECT_EQ(ReadAll(s), Bytes(data.begin(), data.begin() + 698));
    EXPECT_TRUE(s.IsEnd());
}

TEST(ZRWaveStream, ForwardOnlySourceCannotBeParsed) {
    // The chunk walk positions the source, so a source that cannot seek is refused cleanly.
    ForwardStream src(PcmWave(1, 8000, 8, Bytes(3000, 9)));
    ZRWaveStream s(&src);
    EXPECT_FALSE(s.IsOpen());
}

double Energy440(const Bytes& pcm, uint32_t channels, uint32_t rate) {
    return ToneShare(ToSamples(pcm), channels, channels - 1, rate, 440);
}

TEST(ZRWaveStream, AdpcmFilesDecodeToTheToneAndCannotSeek) {
    if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
    struct Case {
        const char* encoding;
        uint16_t channels;
        uint32_t rate;
    };
    for (Case c : {Case{"ms-adpcm", 1, 22050}, Case{"ms-adpcm", 2, 44100},
                   Case{"ima-adpcm", 1, 22050}, Case{"ima-adpcm", 2, 8000}}) {
        const std::string opts = "-r " + std::to_string(c.rate) + " -c " +
                                 std::to_string(c.channels) + " -e " + c.encoding;
        Source src(Sox(opts, "wav"));
        ASSERT_FALSE(src.bytes.empty()) << opts;
        ZRWaveStream s(&src.stream);
        ASSERT_TRUE(s.IsOpen()) << opts;
        EXPECT_FALSE(s.IsSeekable());
        EXPECT_EQ(s.Seek(0, zrSeekSet), -1);
        EXPECT_EQ(s.GetChannels(), c.channels);
        EXPECT_EQ(s.GetRate(), c.rate);
        EXPECT_EQ(s.GetBits(), 16u);
        const Bytes pcm = ReadAll(s, 5000);
        const double seconds = pcm.size() / (2.0 * c.channels * c.rate);
        EXPECT_NEAR(seconds, 1.0, 0.05) << opts;
        EXPECT_EQ(pcm.size(), static_cast<size_t>(s.GetSize())) << opts;
        EXPECT_TRUE(s.IsEnd());
        EXPECT_GT(Energy440(pcm, c.channels, c.rate), 0.9) << opts;
        EXPECT_NEAR(Rms(ToSamples(pcm)), 0.4 * 32767 / std::sqrt(2.0), 800) << opts;
        // Rewinding decodes the same bytes again, in other piece sizes.
        EXPECT_TRUE(s.Reset());
        EXPECT_EQ(ReadAll(s, 777), pcm) << opts;
    }
}

// A source whose reads stop short partway plays what the file cut there plays, whatever the
// piece size, and ends there: converted (MS ADPCM) and copied (PCM) alike.
TEST(ZRWaveStream, ASourceFailingPartwayPlaysWhatCameBefore) {
    ASSERT_TRUE(HaveSox()) << "scripts/deps.sh installs sox";
    for (const Bytes& file : {Sox("-r 22050 -c 1 -e ms-adpcm", "wav", 3.0),
                              PcmWave(1, 22050, 16, ToBytes(Tone(3 * 22050, 1, 22050)))}) {
        const int cut = static_cast<int>(file.size() * 3 / 5) | 1;  // inside a sample frame
        Source shorter(Bytes(file.begin(), file.begin() + cut));
        ZRWaveStream whole(&shorter.stream);
        const Bytes reference = ReadAll(whole);
        ASSERT_GT(reference.size() / (2.0 * 22050), 1.7);
        for (const int piece : {4096, 1000}) {
            CutStream src(file, cut);
            ZRWaveStream s(&src);
            ASSERT_TRUE(s.IsOpen());
            EXPECT_EQ(ReadAll(s, piece), reference) << piece;
            EXPECT_TRUE(s.IsEnd());
            uint8_t more;
            EXPECT_EQ(s.Read(&more, 1), 0);
        }
    }
}

// The sounds were made with the system codec, whose predictor rounds down; sox decodes
// exactly as it does, so every sample must agree with sox's own decode.
TEST(ZRWaveStream, MsAdpcmMatchesSoxSampleForSample) {
    ASSERT_TRUE(HaveSox()) << "scripts/deps.sh installs sox";
    for (const char* opts : {"-r 22050 -c 1 -e ms-adpcm", "-r 44100 -c 2 -e ms-adpcm"}) {
        Source src(Sox(opts, "wav"));
        ASSERT_FALSE(src.bytes.empty()) << opts;
        const Bytes reference = SoxDecode(src.bytes, "wav");
        ASSERT_FALSE(reference.empty()) << opts;
        ZRWaveStream s(&src.stream);
        ASSERT_TRUE(s.IsOpen()) << opts;
        const std::vector<int16_t> ours = ToSamples(ReadAll(s)), theirs = ToSamples(reference);
        ASSERT_EQ(ours.size(), theirs.size()) << opts;
        size_t differing = 0, first = ours.size();
        for (size_t i = 0; i < ours.size(); ++i)
            if (ours[i] != theirs[i] && differing++ == 0) first = i;
        EXPECT_EQ(differing, 0u) << opts << ": first at sample " << first;
    }
}

TEST(ZRWaveStream, AdpcmWithBytesRateBelowItsBlockIsRefused) {
    if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
    Source src(Sox("-r 8000 -c 1 -e ms-adpcm", "wav"));
    ASSERT_GT(src.bytes.size(), 40u);
    // Bytes a second sit at offset 28, the block size at 32.
    ZRPutLE32(&src.bytes[28], ZRGetLE16(&src.bytes[32]) - 1);
    ZRMemoryStream stream(src.bytes.data(), static_cast<int>(src.bytes.size()));
    ZRWaveStream s(&stream);
    EXPECT_FALSE(s.IsOpen());
}

// ---- MP3 ----

TEST(ZRMp3Stream, FrameHeaderGivesTheFormat) {
    plat::AudioFormat f;
    const uint8_t mpeg1[4] = {0xFF, 0xFB, 0x90, 0x44};  // layer 3, 128 kbit/s, 44,100 Hz
    EXPECT_EQ(ZRMp3Stream::Mp3HeaderFormat(mpeg1, &f), 417u);
    EXPECT_EQ(f.tag, plat::afMpegLayer3);
    EXPECT_EQ(f.channels, 2);
    EXPECT_EQ(f.rate, 44100u);
    EXPECT_EQ(f.bytesPerSecond, 16000u);
    EXPECT_EQ(f.blockAlign, 1);
    ASSERT_EQ(f.extra.size(), 12u);
    EXPECT_EQ(ZRGetLE16(&f.extra[6]), 417);
    EXPECT_EQ(ZRGetLE16(&f.extra[10]), 1393);

    const uint8_t mpeg2mono[4] = {0xFF, 0xF3, 0x40, 0xC4};  // layer 3, 32 kbit/s, 22,050 Hz
    EXPECT_EQ(ZRMp3Stream::Mp3HeaderFormat(mpeg2mono, &f), 208u);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.rate, 22050u);

    // MPEG 2.5: version bits 00, so both bit 4 and bit 3 of the second byte are clear.
    const uint8_t mpeg25mono[4] = {0xFF, 0xE3, 0x18, 0xC4};  // layer 3, 8 kbit/s, 8,000 Hz
    EXPECT_GT(ZRMp3Stream::Mp3HeaderFormat(mpeg25mono, &f), 0u);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.rate, 8000u);
    EXPECT_EQ(f.bytesPerSecond, 1000u);

    const uint8_t freeFormat[4] = {0xFF, 0xFB, 0x00, 0x44};
    const uint8_t badBitrate[4] = {0xFF, 0xFB, 0xF0, 0x44};
    const uint8_t badRate[4] = {0xFF, 0xFB, 0x9C, 0x44};
    const uint8_t noLayer[4] = {0xFF, 0xF9, 0x90, 0x44};
    const uint8_t noSync[4] = {0xFE, 0xFB, 0x90, 0x44};
    for (const uint8_t* h : {freeFormat, badBitrate, badRate, noLayer, noSync})
        EXPECT_EQ(ZRMp3Stream::Mp3HeaderFormat(h, &f), 0u);
}

TEST(ZRMp3Stream, RefusesShortTaggedAndUnframedFiles) {
    Bytes tiny = {0xFF, 0xFB, 0x90, 0x44};
    tiny.resize(128, 0);
    Bytes id3 = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    id3.resize(4000, 0);
    Bytes freeFormat = {0xFF, 0xFB, 0x00, 0x44};
    freeFormat.resize(4000, 0);
    for (const Bytes& b : {tiny, id3, freeFormat, Bytes{}}) {
        Source src(b);
        ZRMp3Stream s(&src.stream);
        EXPECT_FALSE(s.IsOpen());
        uint8_t out[16];
        EXPECT_EQ(s.Read(out, 16), 0);
    }
}

TEST(ZRMp3Stream, DecodesTheToneWithOrWithoutATrailingTag) {
    if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
    for (const char* opts : {"-r 44100 -c 1 -C 128", "-r 22050 -c 2 -C 64"}) {
        Bytes file = Sox(opts, "mp3");
        ASSERT_GT(file.size(), 1000u) << opts;
        const uint32_t channels = std::string(opts).find("-c 2") != std::string::npos ? 2 : 1;
        const uint32_t rate = std::string(opts).find("22050") != std::string::npos ? 22050 : 44100;
        for (bool tagged : {false, true}) {
            if (tagged) {
                Bytes tag(128, ' ');
                tag[0] = 'T', tag[1] = 'A', tag[2] = 'G';
                file.insert(file.end(), tag.begin(), tag.end());
            }
            Source src(file);
            ZRMp3Stream s(&src.stream);
            ASSERT_TRUE(s.IsOpen()) << opts;
            EXPECT_FALSE(s.IsSeekable());
            EXPECT_EQ(s.Seek(0, zrSeekSet), -1);
            EXPECT_FALSE(s.SeekSample(0));
            EXPECT_EQ(s.GetChannels(), channels);
            EXPECT_EQ(s.GetRate(), rate);
            const Bytes pcm = ReadAll(s, 6000);
            EXPECT_TRUE(s.IsEnd());
            const double seconds = pcm.size() / (2.0 * channels * rate);
            EXPECT_NEAR(seconds, 1.0, 0.1) << opts;  // encoder and decoder delays
            EXPECT_LE(pcm.size(), static_cast<size_t>(s.GetSize()));
            EXPECT_GT(Energy440(pcm, channels, rate), 0.9) << opts;
            EXPECT_TRUE(s.Reset());
            EXPECT_EQ(ReadAll(s, 1000), pcm) << opts;
        }
    }
}

// The 0.6 s of `pcm`, what `s` played, from each of `starts` seconds on are the 440 Hz tone,
// and a second pass after Reset, in other pieces, plays the same bytes.
void ExpectToneAndReplay(ZRMp3Stream& s, const Bytes& pcm, std::initializer_list<double> starts) {
    const uint32_t channels = s.GetChannels(), rate = s.GetRate();
    for (const double from : starts) {
        const auto at = pcm.begin() + ptrdiff_t(from * rate) * 2 * channels;
        const Bytes part(at, at + ptrdiff_t(0.6 * rate) * 2 * channels);
        EXPECT_GT(Energy440(part, channels, rate), 0.95) << "from " << from;
    }
    EXPECT_TRUE(s.Reset());
    EXPECT_EQ(ReadAll(s, 1000), pcm);
}

// Where the `index`th frame of an MPEG-1 file begins.
size_t FrameStart(const Bytes& file, int index) {
    plat::AudioFormat format;
    size_t at = 0;
    for (uint32_t n; index-- > 0 && (n = ZRMp3Stream::Mp3HeaderFormat(&file[at], &format)) > 0;)
        at += n + ((file[at + 2] >> 1) & 1);
    return at;
}

// Every file plays as long as sox's own decode of it, and opens with that length: plain files
// of either bitrate kind, and files as players meet them damaged. A variable-bitrate file's
// first frame describes the file at a bitrate far above its average. A damaged header or junk
// between two frames loses the frames around it, not the rest; junk after the last frame
// loses nothing. The second pass, and a source that cannot seek, play what the first played.
TEST(ZRMp3Stream, PlaysAsLongAsAnIndependentDecoder) {
    ASSERT_TRUE(HaveSox()) << "scripts/deps.sh installs sox";
    enum Shape { kPlain, kDamagedHeader, kTagsBetween, kZerosBetween, kZerosAfter, kNoiseAfter };
    struct Case {
        const char* opts;
        double seconds;
        Shape shape;
        // sox keeps the encoder's delay and padding that a variable-bitrate file's LAME tag
        // names, which other decoders leave out; at 8,000 Hz they are 0.17 s
        double near = 0.1;
    };
    for (const Case c :
         {Case{"-r 44100 -c 2 -C 64", 2.0, kPlain}, Case{"-r 44100 -c 2 -C 192", 2.0, kPlain},
          Case{"-r 44100 -c 2 -C 320", 2.0, kPlain}, Case{"-r 22050 -c 1 -C -4.2", 2.0, kPlain},
          Case{"-r 44100 -c 2 -C -6.5", 2.0, kPlain}, Case{"-r 22050 -c 1 -C 32", 2.0, kPlain},
          Case{"-r 8000 -c 1 -C -4.2", 3.0, kPlain, 0.2},
          Case{"-r 44100 -c 2 -C 192", 8.0, kDamagedHeader},
          Case{"-r 44100 -c 2 -C 320", 4.0, kTagsBetween},
          Case{"-r 44100 -c 2 -C 64", 4.0, kZerosBetween},
          Case{"-r 44100 -c 2 -C 128", 6.0, kZerosAfter},
          Case{"-r 44100 -c 2 -C 128", 6.0, kNoiseAfter}}) {
        SCOPED_TRACE(std::string(c.opts) + ", shape " + std::to_string(c.shape));
        const Bytes made = Sox(c.opts, "mp3", c.seconds);
        Bytes tag(128, ' ');
        std::memcpy(tag.data(), "TAG", 3);  // ID3v1
        Bytes file = made;
        if (c.shape == kDamagedHeader) std::memset(&file[FrameStart(file, 150)], 0, 4);
        if (c.shape == kTagsBetween) file.insert(file.end(), tag.begin(), tag.end());
        if (c.shape == kZerosBetween || c.shape == kZerosAfter || c.shape == kNoiseAfter)
            file.resize(file.size() + (c.shape == kZerosBetween ? 1000 : 4096), 0);
        if (c.shape == kNoiseAfter) std::generate(file.end() - 4096, file.end(), std::mt19937(11));
        if (c.shape == kTagsBetween || c.shape == kZerosBetween)
            file.insert(file.end(), made.begin(), made.end());
        if (c.shape == kTagsBetween) file.insert(file.end(), tag.begin(), tag.end());

        Source src(file);
        ZRMp3Stream s(&src.stream);
        ASSERT_TRUE(s.IsOpen());
        const uint32_t channels = s.GetChannels(), rate = s.GetRate();
        const double perSecond = 2.0 * channels * rate;
        const double reference = SoxDecode(file, "mp3").size() / perSecond;
        ASSERT_GT(reference, c.seconds * 0.9);
        const Bytes pcm = ReadAll(s);
        EXPECT_TRUE(s.IsEnd());
        EXPECT_NEAR(pcm.size() / perSecond, reference, c.near);
        EXPECT_NEAR(s.GetSize() / perSecond, reference, c.near);
        EXPECT_NEAR(s.GetSize() / perSecond, pcm.size() / perSecond, 0.005);
        if (pcm.size() / perSecond < reference - c.near) continue;
        ExpectToneAndReplay(s, pcm, {0.2, reference - 0.8});  // the start, and the end
        ForwardStream forward(file);
        ZRMp3Stream f(&forward);
        EXPECT_EQ(ReadAll(f, 3000), pcm);
        // A source whose reads stop short plays, and opens with, what the file cut there does.
        const int end = static_cast<int>(file.size() * 3 / 5);
        Source shorter(Bytes(file.begin(), file.begin() + end));
        ZRMp3Stream whole(&shorter.stream);
        CutStream cut(file, end), failing(file, end, true);
        ZRMp3Stream partway(&cut), failed(&failing);
        const Bytes truncated = ReadAll(whole);
        EXPECT_EQ(ReadAll(partway), truncated);
        EXPECT_EQ(partway.GetSize(), whole.GetSize());
        // One whose read fails there is measured by estimate, and plays the pieces it read.
        const Bytes estimated = ReadAll(failed);
        EXPECT_FALSE(estimated.empty());
        ASSERT_LE(estimated.size(), truncated.size());
        EXPECT_TRUE(std::equal(estimated.begin(), estimated.end(), truncated.begin()));
    }
}

// The lowest rates exist only in MPEG 2.5; whatever rate the stream reports, a second of a
// 440 Hz tone must come out as a second of 440 Hz. At these rates a frame is 72 ms or more,
// so the length is held against sox's own decode, give or take the frames decoders treat
// differently, and the pitch is measured away from the silent start and end.
TEST(ZRMp3Stream, LowRateFilesPlayAtTheirSpeedAndLength) {
    ASSERT_TRUE(HaveSox()) << "scripts/deps.sh installs sox";
    struct Case {
        const char* opts;
        uint32_t channels, fileRate;
    };
    for (const Case c :
         {Case{"-r 8000 -c 1 -C 16", 1, 8000}, Case{"-r 11025 -c 2 -C 32", 2, 11025}}) {
        const Bytes file = Sox(c.opts, "mp3");
        ASSERT_GT(file.size(), 1000u) << c.opts;
        ASSERT_EQ(file[1] & 0x18, 0) << c.opts << ": sox did not write MPEG 2.5";
        const double reference = SoxDecode(file, "mp3").size() / (2.0 * c.channels * c.fileRate);
        ASSERT_GT(reference, 0.9) << c.opts;
        Source src(file);
        ZRMp3Stream s(&src.stream);
        ASSERT_TRUE(s.IsOpen()) << c.opts;
        ASSERT_EQ(s.GetChannels(), c.channels);
        const uint32_t rate = s.GetRate();
        ASSERT_GT(rate, 0u);
        const Bytes pcm = ReadAll(s);
        const double seconds = pcm.size() / (2.0 * c.channels * rate);
        EXPECT_NEAR(seconds, reference, 2 * 576.0 / c.fileRate) << c.opts;
        const size_t frame = 2 * c.channels, quarter = pcm.size() / frame / 4 * frame;
        const Bytes middle(pcm.begin() + quarter, pcm.end() - quarter);
        EXPECT_GT(Energy440(middle, c.channels, rate), 0.95) << c.opts;
    }
}

// A constant-bitrate file at 44,100 Hz and 128 kbit/s as an encoder that writes an "Info"
// frame makes it: that frame, silent, goes first and counts the frames and bytes behind it.
Bytes WithInfoFrame(const Bytes& cbr) {
    constexpr size_t kFrame = 417;  // 417.96 bytes on average, with the padding bytes
    const auto frames = static_cast<uint32_t>(std::lround(cbr.size() / 417.96));
    Bytes file(kFrame + cbr.size(), 0);
    std::copy(cbr.begin(), cbr.end(), file.begin() + kFrame);
    std::copy(cbr.begin(), cbr.begin() + 4, file.begin());
    file[2] &= ~2;
    std::memcpy(&file[36], "Info", 4);  // after the stereo side information
    ZRPutBE32(&file[40], 3);            // frames and bytes given
    ZRPutBE32(&file[44], frames);
    ZRPutBE32(&file[48], static_cast<uint32_t>(file.size()));
    return file;
}

// A constant-bitrate MPEG-1 file's frames in free format (bitrate index 0), each as long as it was.
Bytes FreeFormat(Bytes cbr) {
    plat::AudioFormat format;
    for (size_t at = 0, n;
         at + 4 <= cbr.size() && (n = ZRMp3Stream::Mp3HeaderFormat(&cbr[at], &format)) > 0;
         at += n + ((cbr[at + 2] >> 1) & 1))
        cbr[at + 2] &= 0x0F;
    return cbr;
}

// Two files joined, the second at another rate, bitrate, channel count or in free format, or
// with an ID3v2 tag longer than the decoder's resync limit between them: the stream keeps the first
// one's format and plays the whole of both at their own pitch on every pass; its length is what it
// plays, not an estimate from the first frame; the decoding library prints nothing. A source that
// cannot seek reckons what lies past an "Info" frame's bytes at its bitrate, and so does any where
// the frames' lengths cannot be read (free format).
TEST(ZRMp3Stream, JoinedFilesPlayWholeAtTheFirstOnesFormat) {
    ASSERT_TRUE(HaveSox()) << "scripts/deps.sh installs sox";
    struct Case {
        const char *first, *second;
        // an "Info" frame first; read from a source that cannot seek too; second in free format
        bool info, forward, freeFormat = false;
        uint32_t tag = 0;         // bytes of an ID3v2 tag between them, its header included
        uint32_t zerosAfter = 0;  // junk after the second, past the decoder's resync limit
    };
    for (const Case c :
         {Case{"-r 44100 -c 2 -C 128", "-r 22050 -c 2 -C 128", false, true},
          Case{"-r 44100 -c 2 -C 128", "-r 22050 -c 2 -C 128", true, true},
          Case{"-r 44100 -c 2 -C 128", "-r 22050 -c 2 -C 64", false, false},
          Case{"-r 8000 -c 2 -C 32", "-r 44100 -c 2 -C 128", false, false},
          Case{"-r 44100 -c 2 -C 128", "-r 44100 -c 1 -C 64", false, false},
          Case{"-r 44100 -c 2 -C 128", "-r 44100 -c 2 -C 128", false, true, true},
          Case{"-r 44100 -c 2 -C 128", "-r 44100 -c 2 -C 128", false, true, false, 4096},
          Case{"-r 44100 -c 2 -C 128", "-r 8000 -c 2 -C 32", false, false, false, 0, 5000},
          Case{"-r 8000 -c 1 -C -4.2", "-r 16000 -c 1 -C -4.2", false, false}}) {
        SCOPED_TRACE(std::string(c.first) + (c.info ? " with Info, " : ", ") + c.second +
                     (c.freeFormat ? " in free format" : "") + (c.tag ? " after a tag" : "") +
                     (c.zerosAfter ? ", then zeros" : ""));
        const Bytes first = c.info ? WithInfoFrame(Sox(c.first, "mp3")) : Sox(c.first, "mp3");
        Bytes second = Sox(c.second, "mp3");
        ASSERT_TRUE(!c.info || (first[417] == 0xFF && (first[419] & 0xFC) == 0x90));
        auto seconds = [](const Bytes& alone) {
            Source src(alone);
            ZRMp3Stream s(&src.stream);
            return ReadAll(s).size() / (2.0 * s.GetChannels() * s.GetRate());
        };
        const double one = seconds(first), both = one + seconds(second);
        ASSERT_GT(both, 1.9);
        if (c.freeFormat) second = FreeFormat(second);
        Bytes file = first;
        if (c.tag > 0) {
            const uint32_t size = c.tag - 10;  // in 7-bit bytes
            const uint8_t header[10] = {'I',
                                        'D',
                                        '3',
                                        3,
                                        0,
                                        0,
                                        uint8_t(size >> 21 & 127),
                                        uint8_t(size >> 14 & 127),
                                        uint8_t(size >> 7 & 127),
                                        uint8_t(size & 127)};
            file.insert(file.end(), header, header + 10);
            file.resize(file.size() + size, 0);
        }
        file.insert(file.end(), second.begin(), second.end());
        file.resize(file.size() + c.zerosAfter, 0);
        Source src(file);
        ZRMp3Stream s(&src.stream);
        ASSERT_TRUE(s.IsOpen());
        const uint32_t channels = s.GetChannels(), rate = s.GetRate();
        ASSERT_EQ(rate, std::string(c.first).find("8000") != std::string::npos ? 8000u : 44100u);
        const double perSecond = 2.0 * channels * rate, frame = (rate >= 32000 ? 1152.0 : 576.0) / rate;
        testing::internal::CaptureStderr();
        const Bytes pcm = ReadAll(s);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_NEAR(s.GetSize() / perSecond, pcm.size() / perSecond, 0.005);
        EXPECT_NEAR(pcm.size() / perSecond, both, 2 * frame);
        if (pcm.size() / perSecond < both - 2 * frame) continue;
        ExpectToneAndReplay(s, pcm, {0.2, one + 0.2});  // each part away from its ends
        ForwardStream forward(file);
        ZRMp3Stream f(&forward);
        EXPECT_TRUE(!c.forward || ReadAll(f) == pcm);
    }
}

// Runs `decode` in a forked child under a limit of processor time, which a stalling decoder
// runs into however busy the machine is. The child's answer is its exit status.
template <typename Decode>
void ExpectDecodedWithin(rlim_t cpuSeconds, Decode decode) {
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit cpu{cpuSeconds, cpuSeconds};
        setrlimit(RLIMIT_CPU, &cpu);
        _exit(decode() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "stopped by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Damaged files decode, or fail, at once rather than hold the sound thread: a damaged "Info"
// frame found by the fuzzer, and a good frame followed by noise, which opening neither reads
// through (past the decoder's first piece) nor takes chance headers in for hours of sound.
TEST(ZRMp3Stream, DamagedFilesAreDealtWithAtOnce) {
    std::ifstream in(ZR_FUZZ_SEEDS "/media_mp3/info_frame_damaged.mp3", std::ios::binary);
    const Bytes info{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(info.size(), 507u);
    Bytes noisy = {0xFF, 0xFB, 0x90, 0x44};  // 44,100 Hz, 128 kbit/s: 417 bytes, silent
    noisy.resize(32 << 20);
    std::generate(noisy.begin() + 417, noisy.end(), std::mt19937(7));
    // A variable-bitrate file cut off after its first one or two frames of sound opens with
    // the little it plays, less than a frame's worth after the encoder's delay.
    for (const int frames : {1, 2}) {
        Bytes file = Sox("-r 44100 -c 2 -C -6.5", "mp3");
        file.resize(FrameStart(file, 1 + frames) + 10);
        Source src(file);
        ZRMp3Stream s(&src.stream);
        ASSERT_TRUE(s.IsOpen());
        EXPECT_EQ(ReadAll(s).size(), static_cast<size_t>(s.GetSize())) << frames;
    }
    for (const Bytes& file : {info, noisy}) {
        SCOPED_TRACE(file.size());
        CountingStream src(file);
        ZRMp3Stream s(&src);
        ASSERT_TRUE(s.IsOpen());
        EXPECT_LT(src.bytesRead, 8 << 20);
        EXPECT_LE(s.GetSize(), 4 * 1152 * 4);
        ExpectDecodedWithin(1, [&] {
            uint8_t buffer[7000];
            for (int i = 0; i < 100 && s.Read(buffer, sizeof buffer) > 0; ++i) {
            }
            return true;
        });
    }
}

// MPEG frames in a wave file whose format says twice their rate are brought to it here, on every
// pass (the device rewinds for each loop): libmpg123 would work through every frame the fuzzer's
// damaged header claims, half a minute of processor time; the child gets a few seconds.
TEST(ZRWaveStream, MpegFramesAtAnotherRateThanTheFormatsAreNotResampledByTheirDecoder) {
    std::ifstream in(ZR_FUZZ_SEEDS "/media_mp3/info_frame_damaged.mp3", std::ios::binary);
    const Bytes damaged{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(damaged.size(), 507u);
    ASSERT_EQ(damaged[1] & 0x18, 0) << "not an 8,000 Hz frame";
    struct Case {
        Bytes mp3;
        uint16_t channels;
        uint32_t rate, bytesPerSecond;
        double seconds;  // 0: not measured
    };
    for (const Case& c : {Case{damaged, 1, 16000, 1000, 0},
                          Case{Sox("-r 22050 -c 2 -C 64", "mp3"), 2, 44100, 8000, 1.0}}) {
        SCOPED_TRACE(c.rate);
        Bytes format = PcmFormatBody(c.channels, c.rate, 0);
        ZRPutLE16(&format[0], plat::afMpegLayer3);
        ZRPutLE32(&format[8], c.bytesPerSecond);
        ZRPutLE16(&format[12], 1);
        const Bytes file = Riff({{"fmt ", format}, {"data", c.mp3}});
        ExpectDecodedWithin(5, [&] {
            Source src(file);
            ZRWaveStream s(&src.stream);
            const Bytes once = ReadAll(s, 7000);
            if (!s.IsOpen() || s.GetRate() != c.rate || !s.Reset()) return false;
            const Bytes twice = ReadAll(s, 5000);
            const double seconds = once.size() / (2.0 * c.channels * c.rate);
            return twice == once && (c.seconds == 0 || std::fabs(seconds - c.seconds) < 0.1);
        });
    }
}

TEST(ZRMp3Stream, ForwardOnlySourceDecodesAndRewinds) {
    if (!HaveSox()) GTEST_SKIP() << "sox is not installed";
    const Bytes file = Sox("-r 44100 -c 2 -C 96", "mp3");
    ForwardStream src(file);
    ZRMp3Stream s(&src);
    ASSERT_TRUE(s.IsOpen());
    const Bytes pcm = ReadAll(s);
    EXPECT_NEAR(pcm.size() / 176400.0, 1.0, 0.06);
    EXPECT_TRUE(s.Reset());
    EXPECT_EQ(ReadAll(s), pcm);
}

}  // namespace
