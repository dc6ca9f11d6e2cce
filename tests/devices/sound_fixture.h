// A sound device on the manual output: tests render its mix when they choose.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "devices/nydsound.h"
#include "wait_for.h"

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::SetAudioOutputFactory([this] {
            auto o = std::make_unique<plat::ManualAudioOutput>();
            o->failOpen = failOpen;
            output = o.get();
            return std::unique_ptr<plat::AudioOutput>(std::move(o));
        });
        device = new DirectX::TDSound(&window);
        device->SetSamplesPerSec(48000);
        device->SetBitsPerSample(16);
    }
    void TearDown() override {
        delete device;
        plat::SetAudioOutputFactory(nullptr);
    }
    bool Enable() {
        device->SetEnabled(true);
        return device->Enabled();
    }
    std::vector<int16_t> Render(uint32_t frames) { return output->Render(frames); }
    // Mixes as the output does but hands the signals back instead of running them, as a sound
    // card's thread may still hold them when the game acts.
    std::vector<int16_t> RenderHeld(uint32_t frames, std::vector<plat::SignalFn>* fired) {
        std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
        device->Mixer()->Mix(out.data(), frames, fired);
        return out;
    }
    // Gives b an end report, makes it a mono sound of `length` bytes and plays it.
    void PlayReporting(DirectX::TDSoundBuffer* b, uint32_t length, plat::TNotifyEvent report) {
        b->SetOnNotify(std::move(report));
        ASSERT_TRUE(b->Create(1, 48000, 16, length, false, false) && b->Play(false));
    }
    // Waits for something the notification thread does.
    static bool Eventually(const std::function<bool()>& done) { return WaitFor(done); }

    plat::TComponent window;
    DirectX::TDSound* device = nullptr;
    plat::ManualAudioOutput* output = nullptr;
    bool failOpen = false;
};
