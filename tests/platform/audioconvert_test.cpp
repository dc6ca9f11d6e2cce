#include "platform/audioconvert.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using plat::AudioConverter;
using plat::AudioFormat;
using plat::ConvertBuffers;
using Bytes = std::vector<uint8_t>;

AudioFormat Adpcm(uint16_t tag, uint16_t channels, uint16_t blockAlign, Bytes extra = {}) {
    AudioFormat f;
    f.tag = tag;
    f.channels = channels;
    f.rate = 8000;
    f.bytesPerSecond = 4000;
    f.blockAlign = blockAlign;
    f.bits = 4;
    f.extra = std::move(extra);
    return f;
}

std::vector<int16_t> Samples(const Bytes& b, uint32_t n) {
    std::vector<int16_t> s(n);
    for (uint32_t i = 0; i < n; ++i) s[i] = static_cast<int16_t>(b[2 * i] | b[2 * i + 1] << 8);
    return s;
}

TEST(AudioFormat, ParsesStoredLayouts) {
    const uint8_t stored[22] = {2, 0, 1, 0, 0x40, 0x1F, 0, 0, 0xA0, 0x0F, 0, 0,
                                0, 1, 4, 0, 4, 0, 0xF4, 1, 7, 0};
    AudioFormat f;
    ASSERT_TRUE(plat::ParseAudioFormat(stored, 22, &f));
    EXPECT_EQ(f.tag, plat::afMsAdpcm);
    EXPECT_EQ(f.channels, 1);
    EXPECT_EQ(f.rate, 8000u);
    EXPECT_EQ(f.bytesPerSecond, 4000u);
    EXPECT_EQ(f.blockAlign, 256);
    EXPECT_EQ(f.bits, 4);
    EXPECT_EQ(f.extra, (Bytes{0xF4, 1, 7, 0}));
    // The extra size claims more than the chunk holds: cut to what is there.
    ASSERT_TRUE(plat::ParseAudioFormat(stored, 20, &f));
    EXPECT_EQ(f.extra.size(), 2u);
    ASSERT_TRUE(plat::ParseAudioFormat(stored, 14, &f));
    EXPECT_EQ(f.bits, 0);
    EXPECT_TRUE(f.extra.empty());
    EXPECT_FALSE(plat::ParseAudioFormat(stored, 13, &f));
}

TEST(AudioConverter, OpensOnlyKnownConversionsToPcm) {
    const AudioFormat pcm = plat::MakePcmFormat(1, 8000, 16);
    const AudioFormat ms = Adpcm(plat::afMsAdpcm, 1, 256);
    EXPECT_NE(AudioConverter::Open(pcm, pcm), nullptr);
    EXPECT_NE(AudioConverter::Open(ms, pcm), nullptr);
    EXPECT_EQ(AudioConverter::Open(ms, ms), nullptr);
    EXPECT_EQ(AudioConverter::Open(ms, plat::MakePcmFormat(2, 8000, 16)), nullptr);
    EXPECT_EQ(AudioConverter::Open(pcm, plat::MakePcmFormat(1, 8000, 8)), nullptr);
    AudioFormat unknown = ms;
    unknown.tag = 0x31;
    EXPECT_EQ(AudioConverter::Open(unknown, pcm), nullptr);
    EXPECT_EQ(AudioConverter::Open(Adpcm(plat::afMsAdpcm, 3, 256), pcm), nullptr);
    EXPECT_EQ(AudioConverter::Open(Adpcm(plat::afMsAdpcm, 1, 7), pcm), nullptr);
    EXPECT_EQ(AudioConverter::Open(Adpcm(plat::afImaAdpcm, 2, 15), pcm), nullptr);

    AudioFormat out;
    EXPECT_TRUE(plat::SuggestPcmFormat(ms, 1, 8000, 16, &out));
    EXPECT_EQ(out.blockAlign, 2);
    EXPECT_EQ(out.bytesPerSecond, 16000u);
    EXPECT_FALSE(plat::SuggestPcmFormat(ms, 2, 0, 0, &out));
    EXPECT_FALSE(plat::SuggestPcmFormat(ms, 0, 44100, 0, &out));
    EXPECT_FALSE(plat::SuggestPcmFormat(ms, 0, 0, 8, &out));
}

TEST(AudioConverter, PcmCopyKeepsWholeFramesUntilTheLastPiece) {
    const AudioFormat pcm = plat::MakePcmFormat(2, 8000, 16);
    auto conv = AudioConverter::Open(pcm, pcm);
    ASSERT_NE(conv, nullptr);
    Bytes src(10), dst(16);
    for (int i = 0; i < 10; ++i) src[i] = static_cast<uint8_t>(i + 1);
    ConvertBuffers io{src.data(), 10, 0, dst.data(), 16, 0};
    ASSERT_TRUE(conv->Convert(io, plat::cvWholeBlocks));
    EXPECT_EQ(io.sourceUsed, 8u);
    EXPECT_EQ(io.destUsed, 8u);
    ASSERT_TRUE(conv->Convert(io, plat::cvEnd));
    EXPECT_EQ(io.destUsed, 10u);
    EXPECT_EQ(Bytes(dst.begin(), dst.begin() + 10), src);
}

TEST(AudioConverter, MsAdpcmDecodesAHandBlock) {
    // One mono block: predictor 0 (256, 0), delta 16, first sample 100, second 50, two codes.
    const Bytes block = {0, 16, 0, 100, 0, 50, 0, 0x12};
    auto conv = AudioConverter::Open(Adpcm(plat::afMsAdpcm, 1, 8), plat::MakePcmFormat(1, 8000, 16));
    ASSERT_NE(conv, nullptr);
    uint32_t size = 0;
    ASSERT_TRUE(conv->DestinationSize(16 + 7, &size));
    EXPECT_EQ(size, (4u + 4u + 2u) * 2);  // two blocks and the two header samples of a third
    Bytes dst(64);
    ConvertBuffers io{block.data(), 8, 0, dst.data(), 64, 0};
    ASSERT_TRUE(conv->Convert(io, plat::cvWholeBlocks));
    ASSERT_EQ(io.destUsed, 8u);
    // Stored older sample first; each code adds code x delta to the prediction.
    EXPECT_EQ(Samples(dst, 4), (std::vector<int16_t>{50, 100, 116, 148}));

    // A predictor beyond the coefficient table is corrupt data.
    Bytes bad = block;
    bad[0] = 7;
    ConvertBuffers badIo{bad.data(), 8, 0, dst.data(), 64, 0};
    EXPECT_FALSE(conv->Convert(badIo, plat::cvWholeBlocks));
    // A partial block waits for the last piece; then its header samples come out.
    ConvertBuffers part{block.data(), 7, 0, dst.data(), 64, 0};
    ASSERT_TRUE(conv->Convert(part, plat::cvWholeBlocks));
    EXPECT_EQ(part.sourceUsed, 0u);
    ASSERT_TRUE(conv->Convert(part, plat::cvEnd));
    EXPECT_EQ(part.sourceUsed, 7u);
    EXPECT_EQ(part.destUsed, 4u);
    // No room for a block: nothing used, nothing produced.
    ConvertBuffers tight{block.data(), 8, 0, dst.data(), 6, 0};
    ASSERT_TRUE(conv->Convert(tight, plat::cvWholeBlocks));
    EXPECT_EQ(tight.sourceUsed + tight.destUsed, 0u);
}

TEST(AudioConverter, MsAdpcmCoefficientTableMustBeComplete) {
    const AudioFormat pcm = plat::MakePcmFormat(1, 8000, 16);
    // Samples per block 4, 7 coefficient pairs announced but only one present.
    EXPECT_EQ(AudioConverter::Open(Adpcm(plat::afMsAdpcm, 1, 8, {4, 0, 7, 0, 0, 1, 0, 0}), pcm),
              nullptr);
    // More samples per block than the block holds.
    EXPECT_EQ(AudioConverter::Open(Adpcm(plat::afMsAdpcm, 1, 8, {5, 0, 1, 0, 0, 1, 0, 0}), pcm),
              nullptr);
    EXPECT_NE(AudioConverter::Open(Adpcm(plat::afMsAdpcm, 1, 8, {4, 0, 1, 0, 0, 1, 0, 0}), pcm),
              nullptr);
}

TEST(AudioConverter, ImaAdpcmDecodesAHandBlock) {
    // Header: sample 0, index 0; then eight codes, low nibble first: 7, 0, then zeros.
    const Bytes block = {0, 0, 0, 0, 0x07, 0, 0, 0};
    auto conv = AudioConverter::Open(Adpcm(plat::afImaAdpcm, 1, 8), plat::MakePcmFormat(1, 8000, 16));
    ASSERT_NE(conv, nullptr);
    Bytes dst(64);
    ConvertBuffers io{block.data(), 8, 0, dst.data(), 64, 0};
    ASSERT_TRUE(conv->Convert(io, plat::cvWholeBlocks));
    ASSERT_EQ(io.destUsed, 18u);
    const auto s = Samples(dst, 9);
    EXPECT_EQ(s[0], 0);
    EXPECT_EQ(s[1], 11);  // step 7: 0 + 1 + 3 + 7; index 0 -> 8
    EXPECT_EQ(s[2], 13);  // step 16: 16 >> 3; index 8 -> 7
    Bytes bad = block;
    bad[2] = 89;
    ConvertBuffers badIo{bad.data(), 8, 0, dst.data(), 64, 0};
    EXPECT_FALSE(conv->Convert(badIo, plat::cvWholeBlocks));
}

Bytes SoxMp3() {
    if (std::system("command -v sox >/dev/null 2>&1") != 0) return {};
    const std::string path = "/tmp/zrconv_" + std::to_string(getpid()) + ".mp3";
    std::system(("sox -n -r 44100 -c 1 -C 64 " + path + " synth 0.5 sine 440 2>/dev/null").c_str());
    std::ifstream f(path, std::ios::binary);
    Bytes b{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    std::remove(path.c_str());
    return b;
}

TEST(AudioConverter, MpegLastPieceIsHeldUntilItsOutputIsOut) {
    const Bytes mp3 = SoxMp3();
    if (mp3.empty()) GTEST_SKIP() << "sox is not installed";
    AudioFormat f;
    f.tag = plat::afMpegLayer3;
    f.channels = 1;
    f.rate = 44100;
    f.bytesPerSecond = 8000;
    f.blockAlign = 1;
    auto conv = AudioConverter::Open(f, plat::MakePcmFormat(1, 44100, 16));
    ASSERT_NE(conv, nullptr);
    const uint32_t n = static_cast<uint32_t>(mp3.size());

    // All at once into a large buffer.
    Bytes whole(1 << 20);
    ConvertBuffers io{mp3.data(), n, 0, whole.data(), static_cast<uint32_t>(whole.size()), 0};
    ASSERT_TRUE(conv->Convert(io, plat::cvStart | plat::cvEnd));
    EXPECT_EQ(io.sourceUsed, n);
    whole.resize(io.destUsed);
    EXPECT_NEAR(whole.size() / 88200.0, 0.5, 0.05);

    // The same piece through a small buffer: the piece counts as used only with the last byte
    // of its output delivered.
    Bytes small(1000), got;
    uint32_t offset = 0;
    bool first = true;
    for (int guard = 0; offset < n && guard < 10000; ++guard) {
        ConvertBuffers p{mp3.data() + offset, n - offset, 0, small.data(), 1000, 0};
        ASSERT_TRUE(conv->Convert(p, plat::cvEnd | (first ? uint32_t{plat::cvStart} : 0u)));
        first = false;
        ASSERT_GT(p.sourceUsed + p.destUsed, 0u);
        offset += p.sourceUsed;
        got.insert(got.end(), small.begin(), small.begin() + p.destUsed);
    }
    EXPECT_EQ(got, whole);

    // Garbage is an error, not silence for ever.
    Bytes junk(4000, 0x5A);
    ConvertBuffers bad{junk.data(), 4000, 0, small.data(), 1000, 0};
    EXPECT_FALSE(conv->Convert(bad, plat::cvStart | plat::cvEnd) && bad.destUsed > 0);
}

}  // namespace
