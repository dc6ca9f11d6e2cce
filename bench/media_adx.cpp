// ADX decoding of one second of 44.1 kHz stereo music, beside the mixer mixing that second
// from a stream voice whose pull only copies ready PCM (the work the music adds on top of the
// decode). The goal: decoding costs less than mixing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "media/zradx.h"
#include "platform/soundmixer.h"

namespace {

constexpr uint32_t kRate = 44100;

std::vector<int16_t> Pcm() {
    std::vector<int16_t> pcm(kRate * 2 * 2);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<int16_t>(9000 * std::sin(i * 0.013) + 4000 * std::sin(i * 0.17));
    return pcm;
}

void BM_AdxDecodeOneSecondStereo(benchmark::State& state) {
    const auto pcm = Pcm();
    AdxEncodeOptions o;
    o.rate = kRate;
    auto file = std::make_shared<std::vector<uint8_t>>(
        EncodeAdx(pcm.data(), static_cast<uint32_t>(pcm.size() / 2), o));
    AdxDecoder d;
    d.Open(file, false, nullptr);
    std::vector<int16_t> out(1024 * 2);
    for (auto _ : state) {
        d.Rewind();
        for (uint32_t done = 0; done < kRate;) done += d.Decode(out.data(), 1024);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_AdxDecodeOneSecondStereo)->Unit(benchmark::kMicrosecond);

void BM_MixerMixesTheStreamOneSecond(benchmark::State& state) {
    const auto pcm = Pcm();
    plat::SoundMixer mixer(48000);
    size_t at = 0;
    const plat::VoiceId v = mixer.CreateStreamVoice(
        plat::PcmFormat{2, kRate, 16}, plat::kControlFrequency, [&](void* dest, uint32_t bytes) {
            const size_t n = std::min<size_t>(bytes / 2, pcm.size() - at);
            std::memcpy(dest, pcm.data() + at, n * 2);
            at = (at + n) % pcm.size();
            return static_cast<uint32_t>(n * 2);
        });
    mixer.SetVolume(v, -600);
    mixer.Play(v, false);
    std::vector<int16_t> out(1024 * 2);
    std::vector<plat::SignalFn> fired;
    for (auto _ : state) {
        for (uint32_t done = 0; done < 48000; done += 1024) mixer.Mix(out.data(), 1024, &fired);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_MixerMixesTheStreamOneSecond)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
