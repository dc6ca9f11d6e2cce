// A main window run headless and in lock step: the display is the in-memory one, input comes
// from a fake backend, message boxes are answered by a recorder, and the data directory is
// generated in a scratch folder. The test advances frame ticks itself and calls the frame step,
// so every frame is decided by the test; the presented screen is read back and probed.
// Alternatively a test chooses a pacing (UsePacing, frame_pacing.h) and runs Steps(n): each
// frame step then adds the ticks the game's frame-rate mode would have seen, 0 in most steps
// under "Full".
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/zrstream.h"
#include "frame_pacing.h"
#include "game/gamedata.h"
#include "game/gamedef.h"
#include "game/gamef.h"
#include "game/maint.h"
#include "media/zrpng.h"
#include "platform/inputbackend.h"
#include "platform/mainqueue.h"
#include "platform/memorydisplay.h"
#include "platform/messagebox.h"
#include "tempdir.h"

// Records every box as "caption|text" (UTF-8) and answers with a chosen button.
class RecordingResponder : public plat::MessageResponder {
  public:
    plat::MsgAnswer Ask(const plat::MsgRequest& r) override {
        std::lock_guard<std::mutex> lock(mutex);
        boxes.push_back(r.caption + "|" + r.text);
        return plat::Offers(r.buttons, answer) ? answer : plat::FirstAnswer(r.buttons);
    }
    std::vector<std::string> Boxes() {
        std::lock_guard<std::mutex> lock(mutex);
        return boxes;
    }
    std::mutex mutex;
    std::vector<std::string> boxes;
    plat::MsgAnswer answer = plat::MsgAnswer::Ok;
};

// Runs the main thread's queued calls until done holds. Conditions that other threads make true
// do not wake the queue, so it is polled; the limit, a minute, only turns a hang into a failure.
inline bool ServiceUntil(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
        plat::MainQueue::Instance().Service();
        if (done()) return true;
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Colours of the generated data.
inline constexpr uint32_t kCursorColour = 0x00FF00;  // every cursor cell, opaque in a 20x20 corner
inline constexpr uint32_t kWaitColour = 0x3060A0;

inline void WriteBmp24(const std::string& path, int w, int h, uint32_t rgb) {
    std::ofstream f(path, std::ios::binary);
    auto put = [&f](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) f.put(char((v >> (8 * i)) & 0xFF));
    };
    const uint32_t row = (uint32_t(w) * 3 + 3) & ~3u;
    f.write("BM", 2);
    put(54 + row * h, 4);
    put(0, 4);
    put(54, 4);
    put(40, 4);
    put(w, 4);
    put(h, 4);
    put(1, 2);
    put(24, 2);
    for (int i = 0; i < 6; ++i) put(0, 4);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) put(rgb, 3);
        for (uint32_t p = uint32_t(w) * 3; p < row; ++p) f.put(0);
    }
}

inline void WritePngPicture(const std::string& path, int w, int h, uint32_t rgb, int opaque) {
    std::vector<unsigned char> colour(size_t(w) * h * 3), alpha(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * w + x;
            colour[i * 3] = rgb & 0xFF;
            colour[i * 3 + 1] = (rgb >> 8) & 0xFF;
            colour[i * 3 + 2] = (rgb >> 16) & 0xFF;
            alpha[i] = (x % 32) < opaque && y < opaque ? 255 : 0;
        }
    ZRFileStream out(path.c_str(), zrfmCreate);
    SavePng(&out, colour.data(), alpha.data(), w, h, pf24_888);
}

// A PNG file's pixels as 0xRRGGBB, its size in w and h; empty when it cannot be read.
inline std::vector<uint32_t> DecodePng(const std::string& path, int& w, int& h) {
    std::vector<uint32_t> out;
    ZRFileStream in(path.c_str(), zrfmRead);
    unsigned char* rgb = nullptr;
    if (!LoadPng(&in, &rgb, &w, &h, pf24_888)) return out;
    out.resize(size_t(w) * h);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = rgb[i * 3] | (rgb[i * 3 + 1] << 8) | (uint32_t(rgb[i * 3 + 2]) << 16);
    std::free(rgb);
    return out;
}

class FormHarness : public ::testing::Test {
  protected:
    void SetUp() override {
        char buf[4096];
        oldCwd_ = getcwd(buf, sizeof buf) ? buf : ".";
        ASSERT_EQ(chdir(dir.Host().c_str()), 0);
        plat::SetDisplayBackend(&display);
        plat::SetInputBackend(&input);
        plat::SetMessageResponder(&boxes);
        SetConfigFilePath(ZRString(dir.Game("Solvane.ini").c_str()));
        DisplayKind = kDisplayWindow;
        FullScreenHeight = 1024;
        ShowFps = false;
    }

    void TearDown() override {
        Stop();
        FramePacer = nullptr;
        FrameClockProbe = nullptr;
        SetAvailableMemoryProbe({});
        plat::SetMessageResponder(nullptr);
        plat::SetInputBackend(nullptr);
        plat::SetDisplayBackend(nullptr);
        SetConfigFilePath(ZRString());
        ASSERT_EQ(chdir(oldCwd_.c_str()), 0);
    }

    // The start-up data of the game archive, in its directory form.
    void WriteData() {
        std::filesystem::create_directories(dir.Host("scr_c_Pak"));
        WritePngPicture(dir.Host("scr_c_Pak/Cursor.png"), 256, 32, kCursorColour, 20);
        WriteBmp24(dir.Host("scr_c_Pak/Wait.bmp"), 240, 720, kWaitColour);
        WritePngPicture(dir.Host("scr_c_Pak/Cap_Logo.png"), 64, 16, 0xFFFFFF, 16);
        WritePngPicture(dir.Host("scr_c_Pak/Cap_Copy.png"), 64, 16, 0xFFFFFF, 16);
        // The system sounds are only opened at start-up, not decoded.
        dir.Write("scr_c_Pak/SysSE_OK.ogg", "OggS");
    }

    // Makes, creates and shows the window. Without a logic thread the clock is stopped and
    // the test drives every frame.
    TGameForm* Start(bool logicThread = false, SDL_Window* native = nullptr) {
        form = new TGameForm(nullptr, true, "scr_c", "scr_c");
        GameForm = form;
        if (native) form->SetNativeWindow(native);
        if (!logicThread) form->MakeLogicThread = nullptr;
        form->FormCreate();
        if (FramePacer && clock.FrameRateMode() >= 0)
            form->FrameRateMode = static_cast<uint8_t>(clock.FrameRateMode());
        form->FormShow();
        if (!logicThread && form->Timer) {
            form->Timer->SetEnabled(false);
            form->ResetFrameClock();
        }
        // In lock step the test alone runs frames, in every screen mode.
        if (!logicThread && form->WaitThread) {
            form->WaitThread->Stop();
            form->WaitThread->WaitFor();
        }
        return form;
    }

    // Closes the window the way its close button does and deletes it.
    void Stop() {
        if (!form) return;
        form->Close();
        // A test that failed may leave a close still under way: the window is not deleted
        // under threads that still use it while there is any hope they finish.
        const auto closed = [this] {
            return form->GetScreenMode() == smClosing && !MainThread.load();
        };
        ServiceUntil(closed);
        form->Close();
        GameForm = nullptr;
        delete form;
        form = nullptr;
    }

    // Advances the clock by n frame ticks through the timer callback.
    void Tick(int n) {
        for (int i = 0; i < n; ++i) {
            const int32_t before = form->FrameTicks.load();
            while (form->FrameTicks.load() == before) form->TimerTick();
        }
    }

    // Frame steps from here on add their own ticks as the pacing gives them, instead of the
    // window's sleep or wait; with a window already made, it also takes the pacing's
    // frame-rate mode.
    void UsePacing(Pacing p, int32_t stepsPerTick = 10) {
        clock = FrameClock(p, stepsPerTick);
        FramePacer = [this](TGameForm* f) { f->FrameTicks.fetch_add(clock.Next().ticks); };
        if (form && clock.FrameRateMode() >= 0)
            form->FrameRateMode = static_cast<uint8_t>(clock.FrameRateMode());
    }
    // n frame steps under the chosen pacing.
    void Steps(int n) {
        for (int i = 0; i < n; ++i) form->FrameStep();
    }
    // Steps until the next one carries no tick (Full pacing).
    void ToZeroTickStep() {
        for (int i = 0; i < clock.StepsPerTick() && clock.NextTicks() != 0; ++i) form->FrameStep();
        ASSERT_EQ(clock.NextTicks(), 0) << "only the Full pacing has steps without a tick";
    }

    uint32_t ScreenAt(int x, int y) {
        std::vector<uint32_t> pixels;
        int32_t w = 0, h = 0;
        if (!display.Screen().ReadScreen(pixels, w, h) || x >= w || y >= h) return 0xDEADBEEF;
        return pixels[size_t(y) * w + x] & 0xFFFFFF;
    }

    TempDir dir;
    plat::MemoryDisplay display;
    plat::FakeInput input;
    RecordingResponder boxes;
    FrameClock clock;
    TGameForm* form = nullptr;

  private:
    std::string oldCwd_;
};
