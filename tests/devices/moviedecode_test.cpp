#include <gtest/gtest.h>

#include "devices/movie_fixture.h"
#include "platform/audiooutput.h"
#include "platform/moviedecode.h"

using namespace std::chrono_literals;

TEST(MovieDecode, Smoke) {
    auto bytes = MakeMovie({});
    ASSERT_GT(bytes->size(), 1000u);
    plat::SoundMixer mixer;
    plat::ManualAudioOutput out;
    out.Open(&mixer);
    plat::MovieOptions o;
    o.mixer = &mixer;
    std::string err;
    auto m = plat::MovieDecoder::OpenMemory(bytes, o, &err);
    ASSERT_TRUE(m) << err;
    EXPECT_NE(m->Voice(), 0u);
    ASSERT_TRUE(m->WaitStarted(3s));
    std::vector<uint8_t> px(160 * 96 * 4);
    int drawn = 0;
    for (int f = 0; f < 40; ++f) {
        out.Render(1600);
        if (m->Draw(px.data(), 160 * 4, 32, 0, 0, 160, 96)) {
            ++drawn;
            printf("frame %d clock %.3f bars %u\n", f, m->Clock(), plat::ReadFrameBars(px.data(), 160 * 4, 32, 160, 96));
        }
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_GT(drawn, 20);
}
