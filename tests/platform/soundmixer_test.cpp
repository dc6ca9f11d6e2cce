#include "platform/soundmixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

using plat::PcmFormat;
using plat::SoundMixer;
using plat::VoiceId;

std::vector<int16_t> Mix(SoundMixer& m, uint32_t frames, std::vector<plat::SignalFn>* fired = nullptr) {
    std::vector<int16_t> out(frames * 2);
    std::vector<plat::SignalFn> local;
    m.Mix(out.data(), frames, fired ? fired : &local);
    if (!fired) SoundMixer::Signal(local);
    return out;
}

std::vector<uint8_t> Pcm16(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> b(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        b[2 * i] = static_cast<uint8_t>(samples[i] & 0xFF);
        b[2 * i + 1] = static_cast<uint8_t>((samples[i] >> 8) & 0xFF);
    }
    return b;
}

VoiceId ConstantVoice(SoundMixer& m, int16_t value, uint32_t controls, uint32_t frames = 4800) {
    VoiceId v = m.CreateVoice({1, 48000, 16}, frames * 2, controls);
    auto data = Pcm16(std::vector<int16_t>(frames, value));
    EXPECT_TRUE(m.Write(v, 0, data.data(), static_cast<uint32_t>(data.size())));
    return v;
}

TEST(SoundMixer, VolumeFollowsHundredthsOfADecibelAndBottomIsSilence) {
    SoundMixer m;
    VoiceId v = ConstantVoice(m, 10000, 0);
    ASSERT_TRUE(m.Play(v, true));
    for (int32_t level : {0, -600, -2000, -5000, -9999}) {
        ASSERT_TRUE(m.SetVolume(v, level));
        auto out = Mix(m, 16);
        const double want = 10000.0 * std::pow(10.0, level / 2000.0);
        EXPECT_NEAR(out[0], want, 1.0) << level;
        EXPECT_NEAR(out[31], want, 1.0) << level;
    }
    ASSERT_TRUE(m.SetVolume(v, plat::kVolumeSilent));
    for (int16_t s : Mix(m, 16)) EXPECT_EQ(s, 0);
    EXPECT_FALSE(m.SetVolume(v, 1));
    EXPECT_FALSE(m.SetVolume(v, -10001));
    int32_t level = 0;
    ASSERT_TRUE(m.GetVolume(v, &level));
    EXPECT_EQ(level, plat::kVolumeSilent);

    m.SetMasterVolume(-600);
    ASSERT_TRUE(m.SetVolume(v, -600));
    EXPECT_NEAR(Mix(m, 1)[0], 10000.0 * std::pow(10.0, -1200 / 2000.0), 1.0);
}

TEST(SoundMixer, PanAttenuatesTheFarChannelOnlyAndNeedsItsControl) {
    SoundMixer m;
    VoiceId v = ConstantVoice(m, 10000, plat::kControlPan);
    ASSERT_TRUE(m.Play(v, true));
    ASSERT_TRUE(m.SetPan(v, 1000));  // to the right: left loses 10 dB
    auto out = Mix(m, 1);
    EXPECT_NEAR(out[0], 3162.3, 1.0);
    EXPECT_EQ(out[1], 10000);
    ASSERT_TRUE(m.SetPan(v, plat::kPanLeft));
    out = Mix(m, 1);
    EXPECT_EQ(out[0], 10000);
    EXPECT_EQ(out[1], 0);
    EXPECT_FALSE(m.SetPan(v, 10001));

    VoiceId plain = ConstantVoice(m, 1, 0);
    EXPECT_FALSE(m.SetPan(plain, 0));
    int32_t pan;
    EXPECT_FALSE(m.GetPan(plain, &pan));
    EXPECT_FALSE(m.SetFrequency(plain, 22050));
}

TEST(SoundMixer, StereoVoiceKeepsItsChannelsAndSumsClip) {
    SoundMixer m;
    VoiceId v = m.CreateVoice({2, 48000, 16}, 400, 0);
    auto data = Pcm16(std::vector<int16_t>(200, 0));
    for (size_t i = 0; i < 100; ++i) {
        data[4 * i] = 0x10;  // left 16, right -32768 (0x8000)
        data[4 * i + 3] = 0x80;
    }
    m.Write(v, 0, data.data(), 400);
    VoiceId w = ConstantVoice(m, -30000, 0);
    m.Play(v, true);
    m.Play(w, true);
    auto out = Mix(m, 4);
    EXPECT_EQ(out[0], 16 - 30000);
    EXPECT_EQ(out[1], -32768);  // clipped, not wrapped
}

TEST(SoundMixer, ResamplesMono22050IntoStereo48000ByLinearInterpolation) {
    SoundMixer m;
    std::vector<int16_t> ramp(22050);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int16_t>(std::lround(20000.0 * std::sin(i * 0.05)));
    auto bytes = Pcm16(ramp);
    VoiceId v = m.CreateVoice({1, 22050, 16}, static_cast<uint32_t>(bytes.size()), 0);
    m.Write(v, 0, bytes.data(), static_cast<uint32_t>(bytes.size()));
    m.Play(v, false);
    std::vector<int16_t> all;
    for (int chunk = 0; chunk < 50; ++chunk) {  // chunked: the fraction carries across calls
        auto out = Mix(m, 1000);
        all.insert(all.end(), out.begin(), out.end());
    }
    for (size_t k = 0; k < 47990; k += 7) {
        const double pos = k * 22050.0 / 48000.0;
        const size_t i = static_cast<size_t>(pos);
        const double want = ramp[i] + (ramp[i + 1] - ramp[i]) * (pos - i);
        ASSERT_NEAR(all[2 * k], want, 1.5) << k;
        ASSERT_EQ(all[2 * k], all[2 * k + 1]);
    }
    // One second of source lasts one second of output, then the voice stops by itself.
    plat::VoiceStatus st;
    m.GetStatus(v, &st);
    EXPECT_FALSE(st.playing);
    EXPECT_EQ(all[2 * 48001], 0);
}

TEST(SoundMixer, LoopsWrapAndOneShotsStopAtTheEndWithTheStopNotification) {
    SoundMixer m;
    std::vector<int16_t> s(100);
    for (int i = 0; i < 100; ++i) s[i] = static_cast<int16_t>(i * 10 + 1);
    auto bytes = Pcm16(s);
    VoiceId loop = m.CreateVoice({1, 48000, 16}, 200, 0);
    m.Write(loop, 0, bytes.data(), 200);
    m.SetPlayCursor(loop, 180);
    m.Play(loop, true);
    auto out = Mix(m, 250);
    for (int k = 0; k < 250; ++k) ASSERT_EQ(out[2 * k], s[(90 + k) % 100]) << k;
    uint32_t play = 0;
    m.GetCursors(loop, &play, nullptr);
    EXPECT_EQ(play, (90 + 250) % 100 * 2u);
    m.Stop(loop);

    VoiceId once = m.CreateVoice({1, 48000, 16}, 200, plat::kControlNotify);
    m.Write(once, 0, bytes.data(), 200);
    int stops = 0, collected = 0;
    // What the signal's owner records at the stop is recorded in the mix, not when the signal
    // runs later.
    ASSERT_TRUE(m.SetNotifications(
        once, {{plat::NotifyPoint::kAtStop, [&] { ++stops; }, [&] { ++collected; }}}));
    m.Play(once, false);
    out = Mix(m, 60);
    EXPECT_EQ(stops + collected, 0);
    std::vector<plat::SignalFn> fired;
    out = Mix(m, 60, &fired);
    EXPECT_EQ(out[2 * 39], s[99]);
    EXPECT_EQ(out[2 * 40], 0);
    EXPECT_EQ(collected, 1);
    EXPECT_EQ(stops, 0);
    SoundMixer::Signal(fired);
    EXPECT_EQ(stops, 1);
    plat::VoiceStatus st;
    m.GetStatus(once, &st);
    EXPECT_FALSE(st.playing);
    m.GetCursors(once, &play, nullptr);
    EXPECT_EQ(play, 0u);
    EXPECT_TRUE(m.Stop(once));  // not playing: nothing to report
    EXPECT_EQ(stops, 1);
}

TEST(SoundMixer, EightBitSilenceIsCentredAt0x80) {
    SoundMixer m;
    VoiceId v = m.CreateVoice({2, 11025, 8}, 1000, 0);
    m.Play(v, true);
    for (int16_t s : Mix(m, 500)) ASSERT_EQ(s, 0);
    const uint8_t loud[4] = {0xC0, 0x40, 0xC0, 0x40};
    VoiceId w = m.CreateVoice({2, 48000, 8}, 4, 0);
    m.Write(w, 0, loud, 4);
    m.Play(w, true);
    auto out = Mix(m, 2);
    EXPECT_EQ(out[0], 0x40 * 256);
    EXPECT_EQ(out[1], -0x40 * 256);
}

TEST(SoundMixer, PositionNotificationsFireWhenTheCursorReachesThem) {
    SoundMixer m;
    const uint32_t len = 4 * 1000 * 4;  // four blocks of 1000 stereo 16-bit frames
    VoiceId v = m.CreateVoice({2, 48000, 16}, len, plat::kControlNotify);
    std::vector<int> order;
    std::vector<plat::NotifyPoint> pts;
    for (int b = 0; b < 4; ++b) pts.push_back({b * len / 4, [&order, b] { order.push_back(b); }});
    pts.push_back({plat::NotifyPoint::kAtStop, [&order] { order.push_back(-1); }});
    ASSERT_TRUE(m.SetNotifications(v, pts));
    ASSERT_TRUE(m.Play(v, true));
    EXPECT_FALSE(m.SetNotifications(v, {}));  // not while playing

    Mix(m, 1);
    EXPECT_EQ(order, std::vector<int>({0}));  // starting at an offset reaches it
    Mix(m, 998);
    EXPECT_EQ(order.size(), 1u);
    Mix(m, 1);  // cursor now at frame 1000: block 1 entered
    EXPECT_EQ(order, std::vector<int>({0, 1}));
    Mix(m, 3000);  // through blocks 2 and 3, back to 0
    EXPECT_EQ(order, std::vector<int>({0, 1, 2, 3, 0}));
    Mix(m, 12000);  // a long mix passes each point once
    EXPECT_EQ(order.size(), 9u);
    m.Stop(v);
    EXPECT_EQ(order.back(), -1);

    EXPECT_FALSE(m.SetNotifications(v, {{len, [] {}}}));
    VoiceId plain = m.CreateVoice({2, 48000, 16}, len, 0);
    EXPECT_FALSE(m.SetNotifications(plain, {}));
}

TEST(SoundMixer, FrequencyChangesTheStepAndReadsBackTheRate) {
    SoundMixer m;
    std::vector<int16_t> s(64);
    for (int i = 0; i < 64; ++i) s[i] = static_cast<int16_t>(i * 100);
    auto bytes = Pcm16(s);
    VoiceId v = m.CreateVoice({1, 48000, 16}, 128, plat::kControlFrequency);
    m.Write(v, 0, bytes.data(), 128);
    ASSERT_TRUE(m.SetFrequency(v, 96000));
    m.Play(v, true);
    auto out = Mix(m, 8);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(out[2 * k], s[2 * k]);
    uint32_t hz = 0;
    m.GetFrequency(v, &hz);
    EXPECT_EQ(hz, 96000u);
    ASSERT_TRUE(m.SetFrequency(v, 0));
    m.GetFrequency(v, &hz);
    EXPECT_EQ(hz, 48000u);
    EXPECT_FALSE(m.SetFrequency(v, 99));
    EXPECT_FALSE(m.SetFrequency(v, 200001));
}

TEST(SoundMixer, WritesWrapAtTheRingEndAndAreCutToItsLength) {
    SoundMixer m;
    VoiceId v = m.CreateVoice({1, 8000, 8}, 8, 0);
    const uint8_t data[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_TRUE(m.Write(v, 6, data, 12));
    uint8_t back[8];
    ASSERT_TRUE(m.Read(v, 0, back, 8));
    const uint8_t want[8] = {3, 4, 5, 6, 7, 8, 1, 2};
    EXPECT_EQ(0, std::memcmp(back, want, 8));
    EXPECT_FALSE(m.Write(v, 8, data, 1));
    EXPECT_EQ(m.CreateVoice({3, 8000, 8}, 8, 0), 0u);
    EXPECT_EQ(m.CreateVoice({1, 8000, 12}, 8, 0), 0u);
    EXPECT_EQ(m.CreateVoice({2, 8000, 16}, 3, 0), 0u);  // less than one frame
    EXPECT_EQ(m.CreateVoice({1, 0, 8}, 8, 0), 0u);

    VoiceId d = m.Duplicate(v);  // shares the ring
    const uint8_t x = 99;
    m.Write(d, 0, &x, 1);
    m.Read(v, 0, back, 1);
    EXPECT_EQ(back[0], 99);
    m.DestroyVoice(v);
    EXPECT_TRUE(m.Read(d, 0, back, 1));
}

TEST(SoundMixer, StoppedOutputIsSilentAndHoldsEveryCursor) {
    SoundMixer m;
    VoiceId v = ConstantVoice(m, 1234, 0);
    m.Play(v, true);
    m.SetRunning(false);
    for (int16_t s : Mix(m, 100)) ASSERT_EQ(s, 0);
    uint32_t play = 1, write = 0;
    m.GetCursors(v, &play, &write);
    EXPECT_EQ(play, 0u);
    m.SetRunning(true);
    EXPECT_EQ(Mix(m, 1)[0], 1234);
}

TEST(SoundMixer, LostVoicesRefuseToPlayUntilRestored) {
    SoundMixer m;
    VoiceId v = ConstantVoice(m, 5, 0);
    m.Play(v, true);
    m.LoseAll();
    plat::VoiceStatus st;
    m.GetStatus(v, &st);
    EXPECT_TRUE(st.lost);
    EXPECT_FALSE(st.playing);
    EXPECT_FALSE(m.Play(v, true));
    const uint8_t b[2] = {0, 0};
    EXPECT_FALSE(m.Write(v, 0, b, 2));
    EXPECT_TRUE(m.Restore(v));
    EXPECT_TRUE(m.Play(v, true));
}

TEST(SoundMixer, StreamVoicePullsWhatItPlaysAndPadsShortDeliveriesWithSilence) {
    SoundMixer m;
    int16_t next = 0;
    uint32_t budget = 1000;  // bytes the source still has
    VoiceId v = m.CreateStreamVoice({1, 24000, 16}, 0, [&](void* dest, uint32_t bytes) {
        const uint32_t n = std::min(bytes, budget) / 2;
        auto* p = static_cast<uint8_t*>(dest);
        for (uint32_t i = 0; i < n; ++i, ++next) {
            p[2 * i] = static_cast<uint8_t>(next * 10);
            p[2 * i + 1] = static_cast<uint8_t>((next * 10) >> 8);
        }
        budget -= n * 2;
        return n * 2;
    });
    ASSERT_NE(v, 0u);
    m.Play(v, false);
    auto out = Mix(m, 400);  // 200 source frames
    for (int k = 0; k < 400; k += 2) ASSERT_EQ(out[2 * k], k / 2 * 10) << k;
    EXPECT_EQ(out[2], 5);  // halfway between frames 0 and 1
    uint32_t play = 0;
    m.GetCursors(v, &play, nullptr);
    EXPECT_EQ(play, 400u);
    out = Mix(m, 1000);  // the source runs dry after 500 frames
    EXPECT_EQ(out[2 * 598], 4990);
    EXPECT_EQ(out[2 * 600], 0);
    EXPECT_EQ(out[2 * 999], 0);
    plat::VoiceStatus st;
    m.GetStatus(v, &st);
    EXPECT_TRUE(st.playing);
}

TEST(SoundMixer, PositionalVoicesFadeWithDistanceAndPanTowardTheirSide) {
    SoundMixer m;
    VoiceId v = ConstantVoice(m, 10000, plat::kControl3D);
    m.Play(v, true);
    plat::Voice3DParams p;
    p.position = {0, 0, 0.5f};  // inside the minimum distance: full level
    ASSERT_TRUE(m.Set3D(v, p));
    auto out = Mix(m, 1);
    EXPECT_EQ(out[0], 10000);
    EXPECT_EQ(out[1], 10000);
    p.position = {0, 0, 4};
    m.Set3D(v, p);
    out = Mix(m, 1);
    EXPECT_NEAR(out[0], 2500, 1);
    p.position = {2, 0, 0};  // straight to the right: the left ear gets half
    m.Set3D(v, p);
    out = Mix(m, 1);
    EXPECT_NEAR(out[0], 2500, 1);
    EXPECT_NEAR(out[1], 5000, 1);
    plat::ListenerParams l;
    l.front = {0, 0, -1};  // turned round: the sound is now on the left
    m.SetListener(l);
    out = Mix(m, 1);
    EXPECT_NEAR(out[0], 5000, 1);
    EXPECT_NEAR(out[1], 2500, 1);
    l.front = {0, 0, 0};  // no orientation: no side
    l.top = {0, 0, 0};
    m.SetListener(l);
    out = Mix(m, 1);
    EXPECT_EQ(out[0], out[1]);
    p.maxDistance = 0.5f;
    EXPECT_FALSE(m.Set3D(v, p));
    EXPECT_FALSE(m.Set3D(ConstantVoice(m, 0, 0), plat::Voice3DParams{}));
}

}  // namespace
