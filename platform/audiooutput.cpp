#include "platform/audiooutput.h"

#include <SDL.h>

#include <cstdio>
#include <mutex>

namespace plat {

namespace {

constexpr int kOutputRate = 48000;

std::mutex& FactoryMutex() {
    static std::mutex m;
    return m;
}

AudioOutputFactory& Factory() {
    static AudioOutputFactory f;
    return f;
}

}  // namespace

bool SdlAudioOutput::OpenDevice(uint32_t& periodFrames) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{};
    want.freq = kOutputRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = kOutputPeriodFrames;
    want.callback = &SdlAudioOutput::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the card takes, the mixer stays at 48 kHz.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    periodFrames = have.samples;
    return true;
}

bool SdlAudioOutput::Open(SoundMixer* mixer) {
    if (device_ || !mixer) return false;
    mixer_ = mixer;
    uint32_t period = 0;
    if (!OpenDevice(period)) {
        // A machine without a sound card still runs the game: the mixer is pulled at the
        // real rate by SDL's silent driver, so streams, cursors and notifications go on.
        std::fprintf(stderr, "sound: no audio device (%s); playing silently\n", SDL_GetError());
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        silent_ = true;
        if (!OpenDevice(period)) {
            mixer_ = nullptr;
            return false;
        }
    }
    mixer->SetOutputLatency(period);
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SdlAudioOutput::Close() {
    if (!device_) return;
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    mixer_ = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlAudioOutput::Callback(void* self, uint8_t* stream, int len) {
    auto* out = static_cast<SdlAudioOutput*>(self);
    out->mixer_->Mix(reinterpret_cast<int16_t*>(stream), static_cast<uint32_t>(len) / 4,
                     &out->fired_);
    SoundMixer::Signal(out->fired_);
}

bool ManualAudioOutput::Open(SoundMixer* mixer) {
    if (failOpen || !mixer) return false;
    mixer_ = mixer;
    return true;
}

std::vector<int16_t> ManualAudioOutput::Render(uint32_t frames) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    if (!mixer_) return out;
    std::vector<SignalFn> fired;
    mixer_->Mix(out.data(), frames, &fired);
    SoundMixer::Signal(fired);
    return out;
}

std::unique_ptr<AudioOutput> MakeAudioOutput() {
    std::lock_guard<std::mutex> lock(FactoryMutex());
    if (Factory()) return Factory()();
    return std::make_unique<SdlAudioOutput>();
}

void SetAudioOutputFactory(AudioOutputFactory factory) {
    std::lock_guard<std::mutex> lock(FactoryMutex());
    Factory() = std::move(factory);
}

}  // namespace plat
