// Where the mixer's sound goes: a small output interface with the SDL sound card as the real
// backend and a manual output for tests, which mixes only when told. The sound device makes
// its output through MakeAudioOutput, so tests swap the backend for the whole process.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/soundmixer.h"

namespace plat {

// Frames the SDL output asks for at a time.
constexpr uint32_t kOutputPeriodFrames = 1024;

// What the mixer offers, for the sound device's capability query.
struct SoundCaps {
    uint32_t minRate = kFrequencyMin;
    uint32_t maxRate = kFrequencyMax;
    uint32_t outputRate = 48000;
    uint32_t maxVoices = 0;  // 0: no limit
    bool mono = true, stereo = true, bits8 = true, bits16 = true;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Starts pulling the mixer's sound; false when there is no device to play it on.
    virtual bool Open(SoundMixer* mixer) = 0;
    // Stops pulling; once it returns the mixer is no longer called.
    virtual void Close() = 0;
};

// One SDL audio device at 48 kHz, 16-bit stereo, fed from SDL's audio thread.
class SdlAudioOutput : public AudioOutput {
public:
    SdlAudioOutput() = default;
    ~SdlAudioOutput() override { Close(); }
    // Falls back to SDL's silent driver when no audio device can be opened.
    bool Open(SoundMixer* mixer) override;
    void Close() override;
    // True once the output fell back to the silent driver.
    bool IsSilent() const { return silent_; }

private:
    bool OpenDevice(uint32_t& periodFrames);
    static void Callback(void* self, uint8_t* stream, int len);
    bool silent_ = false;
    SoundMixer* mixer_ = nullptr;
    uint32_t device_ = 0;
    std::vector<SignalFn> fired_;
};

// Mixes on the caller's thread when Render is called.
class ManualAudioOutput : public AudioOutput {
public:
    bool Open(SoundMixer* mixer) override;
    void Close() override { mixer_ = nullptr; }

    // Mixes `frames` stereo frames, runs the notifications they passed and returns them.
    std::vector<int16_t> Render(uint32_t frames);
    SoundMixer* Mixer() const { return mixer_; }

    bool failOpen = false;

private:
    SoundMixer* mixer_ = nullptr;
};

using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>()>;

// A new output from the installed factory (SDL when none is installed).
std::unique_ptr<AudioOutput> MakeAudioOutput();
// Installs a factory for the whole process; an empty one restores SDL.
void SetAudioOutputFactory(AudioOutputFactory factory);

}  // namespace plat
