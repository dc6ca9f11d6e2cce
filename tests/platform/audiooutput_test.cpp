#include "platform/audiooutput.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cstring>
#include <chrono>
#include <thread>

#include "platform/soundmixer.h"

namespace {

// Without a usable sound card the output falls back to the silent driver, which still pulls
// the mixer at the real rate, so sounds play through (unheard) and streams advance.
TEST(SdlAudioOutput, NoDeviceMeansSilentPlaybackNotFailure) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    plat::SoundMixer mixer;
    std::atomic<int> pulls{0};
    plat::PcmFormat fmt{};
    fmt.channels = 2;
    fmt.bits = 16;
    fmt.rate = 48000;
    plat::VoiceId v = mixer.CreateStreamVoice(fmt, 0, [&](void* dst, uint32_t bytes) {
        std::memset(dst, 0, bytes);
        ++pulls;
        return bytes;
    });
    ASSERT_TRUE(mixer.Play(v, true));
    {
        plat::SdlAudioOutput out;
        ASSERT_TRUE(out.Open(&mixer));
        EXPECT_TRUE(out.IsSilent());
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);  // hang guard
        while (pulls.load() < 3 && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_GE(pulls.load(), 3);
        out.Close();
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

}  // namespace
