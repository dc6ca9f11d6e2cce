#include "media/zrladpstream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "foundation/zrstd.h"
#include "media/zrmsm6258.h"
#include "soundfixtures.h"

using namespace fixtures;

namespace {

Bytes Adp1(uint32_t samples, uint32_t rate, uint32_t channels, const Bytes& data) {
    Bytes out(16);
    std::memcpy(out.data(), "ADP1", 4);
    ZRPutLE32(&out[4], samples);
    ZRPutLE32(&out[8], rate);
    ZRPutLE32(&out[12], channels);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes EncodeAdp1(const std::vector<int16_t>& pcm, uint32_t channels, uint32_t rate) {
    const uint32_t frames = static_cast<uint32_t>(pcm.size() / channels);
    Bytes data(channels * frames / 2);
    Msm6258Codec codec;
    if (channels == 2)
        codec.PcmToAdpcmStereo(pcm.data(), data.data(), static_cast<int>(frames));
    else
        codec.PcmToAdpcm(pcm.data(), data.data(), static_cast<int>(frames));
    return Adp1(frames, rate, channels, data);
}

std::vector<int16_t> DecodeAdp1Data(const Bytes& file, uint32_t channels, uint32_t frames) {
    std::vector<int16_t> pcm(size_t{frames} * channels);
    Msm6258Codec codec;
    if (channels == 2)
        codec.AdpcmToPcmStereo(file.data() + 16, pcm.data(), static_cast<int>(frames));
    else
        codec.AdpcmToPcm(file.data() + 16, pcm.data(), static_cast<int>(frames));
    return pcm;
}

TEST(Msm6258Codec, DecodesTheHandVectors) {
    Msm6258Codec codec;
    const uint8_t byte = 0x07;
    int16_t out[2];
    codec.AdpcmToPcm(&byte, out, 2);
    EXPECT_EQ(out[0], 480);  // 16 x 30, index 0 -> 8
    EXPECT_EQ(out[1], 548);  // + 34 x 2

    // Negative codes, the same step walk mirrored.
    codec.Clear();
    const uint8_t neg = 0x8F;
    codec.AdpcmToPcm(&neg, out, 2);
    EXPECT_EQ(out[0], -480);
    EXPECT_EQ(out[1], -548);

    // The index stays within 0..48 and the value within 16 bits.
    codec.Clear();
    Bytes loud(40, 0x77);
    std::vector<int16_t> pcm(80);
    codec.AdpcmToPcm(loud.data(), pcm.data(), 80);
    EXPECT_EQ(pcm.back(), 32767);
    const uint8_t quiet[2] = {0x00, 0x00};
    codec.AdpcmToPcm(quiet, out, 2);
    // Code 0 at index 48: +1552 x 2 clamps; index 47.
    EXPECT_EQ(out[0], 32767);
    codec.Clear();
    codec.AdpcmToPcm(quiet, out, 2);
    EXPECT_EQ(out[0], 32);  // index 0 stays 0: 16 x 2 each time
    EXPECT_EQ(out[1], 64);
}

TEST(Msm6258Codec, IndexClampsAtTheTopOfTheTable) {
    // Code 7 climbs the index by 8: six of them reach the top (48); code 15 keeps it there
    // while the value falls by the top step; code 0 then adds the top step and walks down.
    Msm6258Codec codec;
    const uint8_t codes[5] = {0x77, 0x77, 0x77, 0xFF, 0x00};
    int16_t out[10];
    codec.AdpcmToPcm(codes, out, 10);
    EXPECT_EQ(out[5], 32767);
    EXPECT_EQ(out[6], 32767 - 1552 * 30);
    EXPECT_EQ(out[7], -32768);
    EXPECT_EQ(out[8], out[7] + 1552 * 2);
    EXPECT_EQ(out[9], out[8] + 1411 * 2);
}

TEST(Msm6258Codec, EncoderFollowsTheToneInMonoAndStereo) {
    for (uint32_t channels : {1u, 2u}) {
        const auto tone = Tone(8000, channels, 16000, 440, 8000);
        const Bytes file = EncodeAdp1(tone, channels, 16000);
        const auto back = DecodeAdp1Data(file, channels, 8000);
        double err = 0, sig = 0;
        for (size_t i = 0; i < tone.size(); ++i) {
            err += std::pow(back[i] - tone[i], 2.0);
            sig += std::pow(tone[i], 2.0);
        }
        EXPECT_GT(10 * std::log10(sig / err), 15.0) << channels;  // signal to noise, dB
        for (uint32_t c = 0; c < channels; ++c)
            EXPECT_GT(ToneShare(back, channels, c, 16000, 440), 0.95);
    }
}

TEST(Msm6258Codec, StreamConvertFitsTheDestination) {
    Msm6258Codec codec;
    Bytes src(100, 0x11);
    std::vector<int16_t> dst(100);
    tADPSTREAMHEADER h;
    h.channels = 1;
    h.source = src.data();
    h.sourceLength = 100;
    h.dest = dst.data();
    h.destLength = 202;  // room for 50 bytes of ADPCM
    codec.StreamConvert(&h);
    EXPECT_EQ(h.sourceUsed, 50u);
    EXPECT_EQ(h.destUsed, 200u);
    h.channels = 2;
    h.sourceLength = 10;
    codec.StreamConvert(&h);
    EXPECT_EQ(h.sourceUsed, 10u);
    EXPECT_EQ(h.destUsed, 40u);
}

TEST(ZRAdpStream, DecodesFilesMadeByTheCodec) {
    for (uint32_t channels : {1u, 2u}) {
        // Longer than a second, so the source is refilled.
        const auto tone = Tone(27000, channels, 11025, 440, 8000);
        const Bytes file = EncodeAdp1(tone, channels, 11025);
        ZRMemoryStream src(file.data(), static_cast<int>(file.size()));
        ZRAdpStream s(&src);
        ASSERT_TRUE(s.IsOpen());
        EXPECT_FALSE(s.IsSeekable());
        EXPECT_EQ(s.GetChannels(), channels);
        EXPECT_EQ(s.GetRate(), 11025u);
        EXPECT_EQ(s.GetBits(), 16u);
        EXPECT_EQ(s.GetSamples(), 27000u);
        EXPECT_EQ(s.GetSize(), static_cast<int>(27000 * channels * 2));
        const Bytes pcm = ReadAll(s, 3001);
        ASSERT_EQ(pcm.size(), 27000u * channels * 2);
        EXPECT_TRUE(s.IsEnd());
        EXPECT_EQ(ToSamples(pcm), DecodeAdp1Data(file, channels, 27000));

        EXPECT_EQ(s.Seek(0, zrSeekSet), -1);
        EXPECT_FALSE(s.SeekSample(0));
        EXPECT_TRUE(s.Reset());
        EXPECT_EQ(ReadAll(s, 65536), pcm);
    }
}

TEST(ZRAdpStream, OddMonoCountDecodesOneLessThenEnds) {
    const Bytes file = Adp1(5, 8000, 1, Bytes{0x07, 0x70});
    ZRMemoryStream m(file.data(), static_cast<int>(file.size()));
    ZRAdpStream s(&m);
    ASSERT_TRUE(s.IsOpen());
    EXPECT_EQ(s.GetSize(), 10);
    uint8_t out[32];
    EXPECT_EQ(s.Read(out, 32), 8);
    EXPECT_TRUE(s.IsEnd());
    EXPECT_EQ(s.Read(out, 32), 0);

    const Bytes one = Adp1(1, 8000, 1, {});
    ZRMemoryStream m1(one.data(), static_cast<int>(one.size()));
    ZRAdpStream s1(&m1);
    ASSERT_TRUE(s1.IsOpen());
    EXPECT_EQ(s1.Read(out, 32), 0);
    EXPECT_TRUE(s1.IsEnd());
}

TEST(ZRAdpStream, ForwardOnlySourceRewindsByReadingAgain) {
    const Bytes file = EncodeAdp1(Tone(20000, 1, 8000), 1, 8000);
    ForwardStream src(file);
    ZRAdpStream s(&src);
    ASSERT_TRUE(s.IsOpen());
    const Bytes first = ReadAll(s);
    EXPECT_EQ(first.size(), 40000u);
    EXPECT_TRUE(s.Reset());
    EXPECT_EQ(ReadAll(s), first);
}

TEST(ZRAdpStream, RefusesWhatDoesNotFit) {
    const Bytes data(64, 0x12);
    Bytes badMagic = Adp1(128, 8000, 1, data);
    badMagic[3] = '2';
    const Bytes header = Adp1(0, 8000, 1, {});
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"15 bytes", Bytes(header.begin(), header.begin() + 15)},
        {"magic", badMagic},
        {"no channels", Adp1(128, 8000, 0, data)},
        {"three channels", Adp1(128, 8000, 3, data)},
        {"rate 0", Adp1(128, 0, 1, data)},
        {"rate 1 mono", Adp1(128, 1, 1, data)},
        {"rate too high", Adp1(128, 0x7FFFFFFF, 2, data)},
        {"too long", Adp1(0x40000000, 8000, 2, data)},
        {"data short of a second", Adp1(8000, 8000, 1, data)},
    };
    for (const auto& [name, bytes] : cases) {
        ZRMemoryStream src(bytes.data(), static_cast<int>(bytes.size()));
        ZRAdpStream s(&src);
        EXPECT_FALSE(s.IsOpen()) << name;
        uint8_t out[16];
        EXPECT_EQ(s.Read(out, 16), 0) << name;
    }
}

TEST(ZRAdpStream, DataEndingEarlyEndsTheStream) {
    // More than a second announced; all but 100 bytes of the second second are missing.
    // What is there plays, 200 samples past the first second, and the stream ends.
    Bytes file = EncodeAdp1(Tone(16000, 1, 8000), 1, 8000);
    file.resize(16 + 4000 + 100);
    ZRMemoryStream src(file.data(), static_cast<int>(file.size()));
    ZRAdpStream s(&src);
    ASSERT_TRUE(s.IsOpen());
    const Bytes got = ReadAll(s, 1000);
    EXPECT_EQ(got.size(), 16000u + 400u);
    EXPECT_TRUE(s.IsEnd());
}

}  // namespace
