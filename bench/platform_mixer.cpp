// Mixing 32 voices of mixed rates and formats into one second of 48 kHz stereo output, in the
// 1024-frame periods the SDL output asks for. "audio_s" is seconds of sound made per second
// of one core: its inverse is the share of a core that playing takes (the goal is under 1%,
// so above 100). The peer copies the same second of output bytes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/soundmixer.h"

namespace {

constexpr uint32_t kOutputRate = 48000;
constexpr uint32_t kPeriod = 1024;

void Fill(std::vector<uint8_t>& bytes, const plat::PcmFormat& f) {
    const uint32_t frames = static_cast<uint32_t>(bytes.size()) / f.BlockAlign();
    for (uint32_t i = 0; i < frames * f.channels; ++i) {
        const double s = std::sin(i * 0.031) * 12000.0;
        if (f.bits == 8) {
            bytes[i] = static_cast<uint8_t>(128 + static_cast<int>(s) / 256);
        } else {
            const int16_t v = static_cast<int16_t>(s);
            bytes[2 * i] = static_cast<uint8_t>(v & 0xFF);
            bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
        }
    }
}

void BM_Mix32VoicesOneSecond(benchmark::State& state) {
    plat::SoundMixer mixer(kOutputRate);
    const uint32_t rates[] = {48000, 44100, 22050, 11025, 32000, 24000, 16000, 8000};
    for (int i = 0; i < 32; ++i) {
        const plat::PcmFormat f{static_cast<uint16_t>(1 + i % 2), rates[i % 8],
                                static_cast<uint16_t>(i % 4 < 2 ? 16 : 8)};
        const uint32_t bytes = f.rate * f.BlockAlign() * 2;  // two seconds, looping
        const uint32_t controls = plat::kControlPan | plat::kControlFrequency |
                                  (i % 8 == 7 ? plat::kControl3D : 0u);
        const plat::VoiceId v = mixer.CreateVoice(f, bytes, controls);
        std::vector<uint8_t> data(bytes);
        Fill(data, f);
        mixer.Write(v, 0, data.data(), bytes);
        mixer.SetVolume(v, -300 * (i % 5));
        mixer.SetPan(v, (i % 9 - 4) * 500);
        mixer.Play(v, true);
    }
    std::vector<int16_t> out(kPeriod * 2);
    std::vector<plat::SignalFn> fired;
    for (auto _ : state) {
        for (uint32_t done = 0; done < kOutputRate; done += kPeriod) {
            mixer.Mix(out.data(), std::min(kPeriod, kOutputRate - done), &fired);
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.counters["audio_s"] =
        benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Mix32VoicesOneSecond)->Unit(benchmark::kMillisecond);

void BM_CopyOneSecondOfOutput(benchmark::State& state) {
    std::vector<uint8_t> a(kOutputRate * 4, 1), b(kOutputRate * 4);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.counters["audio_s"] =
        benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CopyOneSecondOfOutput)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
