// The main window as the frame benchmarks drive it: made on the in-memory display with its
// message boxes answered headlessly, its logic thread and frame timer off, so a benchmark
// calls the render itself and times nothing else. And the peer the frame costs stand beside,
// a memcpy of the 1280x720 32-bit frame (each benchmark registers it in its own unit).
#pragma once
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "game/gamedef.h"
#include "game/gamef.h"
#include "platform/mainqueue.h"
#include "platform/memorydisplay.h"
#include "platform/messagebox.h"

namespace {

struct FrameWindow {
    FrameWindow() {
        plat::SetDisplayBackend(&display);
        plat::SetMessageResponder(&answers);
        form = new TGameForm(nullptr, true, "scr_c", "scr_c");
        GameForm = form;
        form->MakeLogicThread = nullptr;
        form->FormCreate();
        form->FormShow();
        form->Timer->SetEnabled(false);
    }
    ~FrameWindow() {
        form->Close();
        plat::MainQueue::Instance().Service();
        GameForm = nullptr;
        delete form;
        plat::SetMessageResponder(nullptr);
        plat::SetDisplayBackend(nullptr);
    }
    FrameWindow(const FrameWindow&) = delete;
    FrameWindow& operator=(const FrameWindow&) = delete;

    plat::MemoryDisplay display;
    plat::HeadlessMessageResponder answers{plat::MsgAnswer::Ok, [](const std::string&) {}};
    TGameForm* form = nullptr;
};

inline void BM_PeerMemcpyFrame(benchmark::State& state) {
    std::vector<uint32_t> a(1280 * 720, 0x123456), b(1280 * 720);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size() * 4);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 1280 * 720 * 4);
}

}  // namespace
