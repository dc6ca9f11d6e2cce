// The whole game in lock step (the flow tests' harness): frames per second of a trip title ->
// scene -> title beside the real clock's 30; the scene's start beside reading the same files;
// resident size after fifty trips beside after the first.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "../tests/flow/flow_harness.h"
#include "script/scripte.h"

namespace {

using flowtest::FlowHarness;

// The harness is a test fixture; here it runs outside a test.
class Game : public FlowHarness {
  public:
    void TestBody() override {}
    void Open() {
        SetUp();
        WriteGame(
            {Scene(0, "GameStart", "    TextShow\n    Text \"Hello\"\n    Wait 100\n    EXIT")});
        Start();
        RunUntil([this] { return OnTitle(); });
    }
    void Close() { TearDown(); }
    int64_t Frames() { return gate.Frames(); }
    // One trip from the title through the scene back to the title.
    void Trip() {
        Click();
        RunUntil([] { return AvgUnit != nullptr; });
        RunUntil([this] { return OnTitle(); });
    }
};

int64_t ResidentKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6));
    return -1;
}

void BM_LockStepTrip(benchmark::State& state) {
    Game g;
    g.Open();
    int64_t frames = 0;
    for (auto _ : state) {
        const int64_t before = g.Frames();
        g.Trip();
        frames += g.Frames() - before;
    }
    state.counters["frames_per_s"] =
        benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
    state.counters["frames_per_trip"] = double(frames) / double(state.iterations());
    // Peer: the real clock runs 30 frames a second; the ratio is the speed-up of lock step.
    state.counters["real_clock_fps"] = 30;
    g.Close();
}
BENCHMARK(BM_LockStepTrip)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the scene's start costs the host: engine, scene table, sub-units, first run.
void BM_SceneStart(benchmark::State& state) {
    Game g;
    g.Open();
    for (auto _ : state) {
        TAvgUnit unit;
        unit.Setup(GameFileMan);
        unit.StartScenario("GameStart");
        benchmark::DoNotOptimize(unit.IsRunning());
        unit.Release();
    }
    g.Close();
}
BENCHMARK(BM_SceneStart)->Unit(benchmark::kMicrosecond);

// Peer: reading the same files through the same file manager.
void BM_SceneFilesRead(benchmark::State& state) {
    Game g;
    g.Open();
    for (auto _ : state) {
        for (const char* name : {"Scene.tbl", "SpeakTbl.csv", "scr00000.vnx"}) {
            ZRStream* s = GameFileMan->Open(name);
            std::string bytes(size_t(s->GetSize()), '\0');
            s->Read(bytes.data(), static_cast<int32_t>(bytes.size()));
            benchmark::DoNotOptimize(bytes.data());
            GameFileMan->Close(s);
        }
    }
    g.Close();
}
BENCHMARK(BM_SceneFilesRead)->Unit(benchmark::kMicrosecond);

void BM_ResidentAfterFiftyTrips(benchmark::State& state) {
    for (auto _ : state) {
        Game g;
        g.Open();
        g.Trip();
        const int64_t first = ResidentKiB();
        for (int i = 1; i < 50; ++i) g.Trip();
        const int64_t fiftieth = ResidentKiB();
        state.counters["rss_first_KiB"] = double(first);
        state.counters["rss_fiftieth_KiB"] = double(fiftieth);
        state.counters["growth_KiB"] = double(fiftieth - first);
        g.Close();
    }
}
BENCHMARK(BM_ResidentAfterFiftyTrips)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
