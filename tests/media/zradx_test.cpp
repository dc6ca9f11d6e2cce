#include "media/zradx.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace {

std::vector<int16_t> Music(uint8_t channels, uint32_t frames, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-600, 600);
    std::vector<int16_t> pcm(static_cast<size_t>(frames) * channels);
    for (uint32_t i = 0; i < frames; ++i)
        for (uint8_t c = 0; c < channels; ++c)
            pcm[i * channels + c] = static_cast<int16_t>(9000 * std::sin(i * 0.031 * (c + 1)) +
                                                         5000 * std::sin(i * 0.0071) + noise(rng));
    return pcm;
}

std::vector<int16_t> DecodeAll(const std::vector<uint8_t>& file, bool loop, uint32_t limit) {
    AdxDecoder d;
    std::string err;
    EXPECT_TRUE(d.Open(std::make_shared<std::vector<uint8_t>>(file), loop, &err)) << err;
    std::vector<int16_t> out(static_cast<size_t>(limit) * d.Header().channels);
    uint32_t got = 0;
    // Odd request sizes, so block and loop edges fall inside requests.
    while (got < limit) {
        const uint32_t n =
            d.Decode(out.data() + size_t{got} * d.Header().channels, std::min(limit - got, 77u));
        if (n == 0) break;
        got += n;
    }
    out.resize(size_t{got} * d.Header().channels);
    return out;
}

// libavcodec's own decode of the whole file, interleaved.
std::vector<int16_t> ReferenceDecode(const std::vector<uint8_t>& file) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_ADPCM_ADX);
    AVCodecContext* c = avcodec_alloc_context3(codec);
    EXPECT_GE(avcodec_open2(c, codec, nullptr), 0);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<uint8_t> padded(file);
    padded.resize(file.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    pkt->data = padded.data();
    pkt->size = static_cast<int>(file.size());
    std::vector<int16_t> out;
    EXPECT_GE(avcodec_send_packet(c, pkt), 0);
    while (avcodec_receive_frame(c, frame) == 0) {
        const int ch = frame->ch_layout.nb_channels;
        for (int i = 0; i < frame->nb_samples; ++i)
            for (int k = 0; k < ch; ++k)
                out.push_back(reinterpret_cast<int16_t*>(frame->extended_data[k])[i]);
        av_frame_unref(frame);
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&c);
    return out;
}

}  // namespace

TEST(ZRAdx, DecodeMatchesLibavcodecSampleForSample) {
    struct Case {
        uint8_t channels;
        uint8_t version;
        uint32_t rate;
        uint32_t frames;
    };
    for (const Case& k : {Case{1, 3, 22050, 5000}, Case{2, 3, 44100, 7001}, Case{1, 4, 32000, 3333},
                          Case{2, 4, 48000, 9600}, Case{2, 5, 44100, 64}}) {
        SCOPED_TRACE(testing::Message() << int(k.channels) << "ch v" << int(k.version));
        const auto pcm = Music(k.channels, k.frames, k.frames);
        AdxEncodeOptions o;
        o.channels = k.channels;
        o.version = k.version;
        o.rate = k.rate;
        const auto file = EncodeAdx(pcm.data(), k.frames, o);
        ASSERT_FALSE(file.empty());
        const auto ours = DecodeAll(file, false, k.frames + 100);
        ASSERT_EQ(ours.size(), pcm.size());  // ends at the sample count
        auto ref = ReferenceDecode(file);
        ASSERT_GE(ref.size(), ours.size());
        ref.resize(ours.size());
        EXPECT_EQ(ours, ref);
        // The encoder is close to its source.
        double err = 0, sig = 0;
        for (size_t i = 0; i < pcm.size(); ++i) {
            err += std::pow(ours[i] - pcm[i], 2);
            sig += std::pow(pcm[i], 2);
        }
        EXPECT_GT(10 * std::log10(sig / std::max(err, 1.0)), 20.0);
    }
}

TEST(ZRAdx, LoopPassesRepeatTheLoopStartExactly) {
    for (uint8_t version : {3, 4}) {
        const uint32_t frames = 6000, start = 1000 + version, end = 5003;
        const auto pcm = Music(2, frames, 7);
        AdxEncodeOptions o;
        o.version = version;
        o.loop = true;
        o.loopStart = start;
        o.loopEnd = end;
        const auto file = EncodeAdx(pcm.data(), frames, o);
        const auto straight = DecodeAll(file, false, frames);
        ASSERT_EQ(straight.size(), size_t{frames} * 2);
        const uint32_t span = end - start;
        const auto looped = DecodeAll(file, true, end + 3 * span);
        ASSERT_EQ(looped.size(), size_t{end + 3 * span} * 2);
        // The first pass is the plain decode; every later pass repeats the section.
        EXPECT_TRUE(std::equal(looped.begin(), looped.begin() + end * 2, straight.begin()));
        for (uint32_t pass = 1; pass <= 3; ++pass)
            EXPECT_TRUE(std::equal(looped.begin() + (end + (pass - 1) * span) * 2,
                                   looped.begin() + (end + pass * span) * 2,
                                   straight.begin() + start * 2))
                << "pass " << pass;
    }
}

TEST(ZRAdx, MalformedHeadsAreRefused) {
    const auto pcm = Music(2, 2000, 3);
    AdxEncodeOptions o;
    o.version = 4;
    o.loop = true;
    o.loopStart = 100;
    o.loopEnd = 1500;
    const auto good = EncodeAdx(pcm.data(), 2000, o);
    AdxHeader h;
    ASSERT_TRUE(ParseAdxHeader(good.data(), good.size(), &h, nullptr));
    EXPECT_TRUE(h.loop);
    EXPECT_EQ(h.loopStart, 100u);
    EXPECT_EQ(h.loopEnd, 1500u);

    auto put32 = [](std::vector<uint8_t>& f, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> spoil;
    };
    const Case cases[] = {
        {"magic", [](auto& f) { f[0] = 0x7F; }},
        {"coding", [](auto& f) { f[4] = 4; }},
        {"block size", [](auto& f) { f[5] = 16; }},
        {"sample bits", [](auto& f) { f[6] = 3; }},
        {"no channels", [](auto& f) { f[7] = 0; }},
        {"three channels", [](auto& f) { f[7] = 3; }},
        {"rate 0", [&](auto& f) { put32(f, 8, 0); }},
        {"rate huge", [&](auto& f) { put32(f, 8, 0x7FFFFFFF); }},
        {"data offset past the end", [](auto& f) { f[2] = 0xFF; }},
        {"data offset inside the fixed head", [](auto& f) { f[2] = 0, f[3] = 4; }},
        {"version", [](auto& f) { f[18] = 6; }},
        {"encrypted", [](auto& f) { f[19] = 0x08; }},
        {"loop start at end", [&](auto& f) { put32(f, 0x28, 1500); }},
        {"loop end past the samples", [&](auto& f) { put32(f, 0x30, 2001); }},
        {"cut inside the head", [](auto& f) { f.resize(12); }},
        {"cutoff above half the rate", [](auto& f) { f[16] = 0xFF, f[17] = 0xFF; }},
    };
    for (const Case& c : cases) {
        auto f = good;
        c.spoil(f);
        std::string err;
        EXPECT_FALSE(ParseAdxHeader(f.data(), f.size(), &h, &err)) << c.what;
        EXPECT_FALSE(err.empty()) << c.what;
        AdxDecoder d;
        EXPECT_FALSE(d.Open(std::make_shared<std::vector<uint8_t>>(f), true, nullptr)) << c.what;
    }
}

TEST(ZRAdx, FilesCutShortEndWhereTheirDataStops) {
    const auto pcm = Music(2, 4000, 5);
    AdxEncodeOptions o;
    o.version = 3;
    o.loop = true;
    o.loopStart = 200;
    o.loopEnd = 3900;
    const auto full = EncodeAdx(pcm.data(), 4000, o);
    const uint32_t dataStart = (full[2] << 8 | full[3]) + 4;
    for (uint32_t blocks : {0u, 1u, 10u, 50u}) {
        auto cut = full;
        cut.resize(dataStart + blocks * 36 + 17);  // a partial block at the end
        const auto out = DecodeAll(cut, true, 20000);
        EXPECT_EQ(out.size(), size_t{blocks} * 32 * 2) << blocks;
    }
}
