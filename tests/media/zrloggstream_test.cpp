#include "media/zrloggstream.h"

#include <gtest/gtest.h>

#include <cmath>

#include "soundfixtures.h"

using namespace fixtures;

namespace {

const Bytes& MonoSecond() {
    static const Bytes ogg = EncodeVorbis(Tone(22050, 1, 22050), 1, 22050);
    return ogg;
}

TEST(ZROggStream, OneSecondMonoDecodesToItsExactLengthAndTone) {
    ZRMemoryStream src(MonoSecond().data(), static_cast<int>(MonoSecond().size()));
    ZROggStream s(&src);
    ASSERT_TRUE(s.IsOpen());
    EXPECT_TRUE(s.IsSeekable());
    EXPECT_EQ(s.GetChannels(), 1u);
    EXPECT_EQ(s.GetRate(), 22050u);
    EXPECT_EQ(s.GetBits(), 16u);
    EXPECT_EQ(s.GetSamples(), 22050u);
    EXPECT_EQ(s.GetSize(), 44100);
    Bytes buf(100000);
    EXPECT_EQ(s.Read(buf.data(), 100000), 44100);
    EXPECT_TRUE(s.IsEnd());
    EXPECT_EQ(s.Read(buf.data(), 100000), 0);
    buf.resize(44100);
    const auto pcm = ToSamples(buf);
    EXPECT_GT(ToneShare(pcm, 1, 0, 22050, 440), 0.95);
    EXPECT_NEAR(Rms(pcm), 12000 / std::sqrt(2.0), 800);
    EXPECT_EQ(s.GetCodeStream(), &src);
}

TEST(ZROggStream, SeeksBySampleAndRewinds) {
    const Bytes stereo = EncodeVorbis(Tone(44100, 2, 44100, 660), 2, 44100);
    ZRMemoryStream src(stereo.data(), static_cast<int>(stereo.size()));
    ZROggStream s(&src);
    ASSERT_TRUE(s.IsOpen());
    const Bytes all = ReadAll(s, 3000);
    ASSERT_EQ(all.size(), 44100u * 4);
    EXPECT_TRUE(s.IsEnd());

    // Back to the start after the end: the same first bytes again.
    EXPECT_EQ(s.Seek(0, zrSeekSet), 0);
    EXPECT_FALSE(s.IsEnd());
    Bytes first(4096);
    ASSERT_EQ(s.Read(first.data(), 4096), 4096);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), all.begin()));

    // A byte offset rounds down to its sample frame.
    EXPECT_EQ(s.Seek(40003, zrSeekSet), 40000);
    Bytes mid(8000);
    ASSERT_EQ(s.Read(mid.data(), 8000), 8000);
    EXPECT_TRUE(std::equal(mid.begin(), mid.end(), all.begin() + 40000));
    EXPECT_EQ(s.GetPosition(), 48000);
    EXPECT_EQ(s.Seek(-8000, zrSeekCur), 40000);

    EXPECT_TRUE(s.SeekSample(44100));
    EXPECT_TRUE(s.IsEnd());
    EXPECT_EQ(s.GetPosition(), 44100 * 4);
    EXPECT_EQ(s.Read(mid.data(), 8000), 0);
    EXPECT_FALSE(s.SeekSample(44101));
    EXPECT_FALSE(s.SeekSample(-1));
    EXPECT_EQ(s.Seek(0, zrSeekEnd), 44100 * 4);

    EXPECT_TRUE(s.Reset());
    EXPECT_EQ(ReadAll(s), all);
}

TEST(ZROggStream, ForwardOnlySourceDecodesThroughWithUnknownLength) {
    ForwardStream src(MonoSecond());
    ZROggStream s(&src);
    ASSERT_TRUE(s.IsOpen());
    EXPECT_FALSE(s.IsSeekable());
    EXPECT_FALSE(s.IsLengthKnown());
    EXPECT_EQ(s.GetSize(), -1);
    EXPECT_EQ(s.GetDecodeLength(), 0u);
    EXPECT_EQ(s.Seek(0, zrSeekSet), -1);
    EXPECT_FALSE(s.SeekSample(0));
    const Bytes all = ReadAll(s);
    EXPECT_EQ(all.size(), 44100u);
    EXPECT_TRUE(s.IsEnd());

    const int resets = src.resets;
    EXPECT_TRUE(s.Reset());
    EXPECT_GT(src.resets, resets);
    EXPECT_EQ(ReadAll(s), all);
}

TEST(ZROggStream, FailingSeeksMakeTheSourceForwardOnly) {
    BrokenSeekStream src(MonoSecond());
    ZROggStream s(&src);
    ASSERT_TRUE(s.IsOpen());
    EXPECT_FALSE(s.IsSeekable());
    const auto pcm = ToSamples(ReadAll(s));
    EXPECT_EQ(pcm.size(), 22050u);
    EXPECT_GT(ToneShare(pcm, 1, 0, 22050, 440), 0.95);
}

TEST(ZROggStream, CutForwardOnlyFileEnds) {
    const Bytes& full = MonoSecond();
    ForwardStream src(Bytes(full.begin(), full.end() - 100));
    ZROggStream s(&src);
    ASSERT_TRUE(s.IsOpen());
    const Bytes all = ReadAll(s);
    EXPECT_GT(all.size(), 0u);
    EXPECT_LT(all.size(), 44100u);
    EXPECT_TRUE(s.IsEnd());
    Bytes buf(16);
    EXPECT_EQ(s.Read(buf.data(), 16), 0);
}

TEST(ZROggStream, ChainedLinksPlayOneAfterTheOther) {
    Bytes chain = EncodeVorbis(Tone(11025, 1, 22050, 440), 1, 22050, 7);
    const Bytes second = EncodeVorbis(Tone(22050, 1, 22050, 880), 1, 22050, 8);
    chain.insert(chain.end(), second.begin(), second.end());
    ZRMemoryStream src(chain.data(), static_cast<int>(chain.size()));
    ZROggStream s(&src);
    ASSERT_TRUE(s.IsOpen());
    EXPECT_EQ(s.GetSamples(), 33075u);
    const auto pcm = ToSamples(ReadAll(s));
    ASSERT_EQ(pcm.size(), 33075u);
    const std::vector<int16_t> a(pcm.begin(), pcm.begin() + 11025);
    const std::vector<int16_t> b(pcm.begin() + 11025, pcm.end());
    EXPECT_GT(ToneShare(a, 1, 0, 22050, 440), 0.9);
    EXPECT_GT(ToneShare(b, 1, 0, 22050, 880), 0.9);
    // Seeking lands in the second link.
    EXPECT_TRUE(s.SeekSample(22050));
    Bytes buf(2000);
    ASSERT_EQ(s.Read(buf.data(), 2000), 2000);
    const auto after = ToSamples(buf);
    EXPECT_TRUE(std::equal(after.begin(), after.end(), pcm.begin() + 22050));
}

TEST(ZROggStream, TruncatedFileDeliversWhatItHoldsThenEnds) {
    const Bytes full = EncodeVorbis(Tone(3 * 22050, 1, 22050), 1, 22050);
    for (size_t keep : {full.size() * 3 / 4, full.size() / 2}) {
        const Bytes cut(full.begin(), full.begin() + static_cast<long>(keep));
        ZRMemoryStream src(cut.data(), static_cast<int>(cut.size()));
        ZROggStream s(&src);
        ASSERT_TRUE(s.IsOpen()) << keep;
        const Bytes got = ReadAll(s);
        EXPECT_EQ(got.size(), static_cast<size_t>(s.GetSize())) << keep;
        EXPECT_GT(got.size(), 4096u);
        EXPECT_LT(got.size(), 3 * 44100u);
        EXPECT_GT(ToneShare(ToSamples(got), 1, 0, 22050, 440), 0.9);
        EXPECT_TRUE(s.IsEnd());
    }
}

TEST(ZROggStream, WhatIsNotVorbisStaysClosed) {
    const Bytes wave = PcmWave(1, 22050, 16, Bytes(1000, 0));
    ZRMemoryStream notOgg(wave.data(), static_cast<int>(wave.size()));
    ZRMemoryStream empty;
    const Bytes& ogg = MonoSecond();
    const Bytes headerOnly(ogg.begin(), ogg.begin() + 40);
    ZRMemoryStream partial(headerOnly.data(), static_cast<int>(headerOnly.size()));
    for (ZRStream* src : {static_cast<ZRStream*>(&notOgg), static_cast<ZRStream*>(&empty),
                          static_cast<ZRStream*>(&partial), static_cast<ZRStream*>(nullptr)}) {
        ZROggStream s(src);
        EXPECT_FALSE(s.IsOpen());
        EXPECT_TRUE(s.IsEnd());
        Bytes buf(64);
        EXPECT_EQ(s.Read(buf.data(), 64), 0);
        EXPECT_EQ(s.Seek(0, zrSeekSet), -1);
    }
}

TEST(ZROggStream, IsReadOnly) {
    ZRMemoryStream src(MonoSecond().data(), static_cast<int>(MonoSecond().size()));
    ZROggStream s(&src);
    ASSERT_TRUE(s.IsOpen());
    EXPECT_EQ(s.Write("abcd", 4), 0);
    EXPECT_FALSE(s.SetSize(10));
    EXPECT_EQ(s.GetSize(), 44100);
    EXPECT_EQ(s.GetPosition(), 0);
}

}  // namespace
