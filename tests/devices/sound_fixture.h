// A sound device on the manual output: tests render its mix when they choose.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "devices/nydsound.h"

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
    // Waits for something the notification thread does.
    static bool Eventually(const std::function<bool()>& done) {
        for (int i = 0; i < 400; ++i) {
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }

    plat::TComponent window;
    DirectX::TDSound* device = nullptr;
    plat::ManualAudioOutput* output = nullptr;
    bool failOpen = false;
};
