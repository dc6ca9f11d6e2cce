// The demo game in lock step on the data mkdemo makes (the demo tests' harness): the
// play-through's frames per second beside the real clock's 30; resident size over the
// play-through and after fifty title -> game -> title cycles beside after the first; start-up
// to the first title frame beside reading the same files alone; the monkey at full length.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "demo/demo_monkey.h"

namespace {

using namespace flowtest;

// A figure of /proc/self/status in KiB ("VmRSS:", "VmHWM:").
int64_t StatusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::stoll(line.substr(std::strlen(field)));
    return -1;
}
// The peak resident size starts again from the present one.
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Resident size as it stands, the heap's live bytes, and resident size (all, and anonymous
// only, without the program's and libraries' file pages) once the allocator has handed its
// free pages back: growth in the first figure without growth in the others is memory the
// allocator keeps for reuse, not memory lost.
struct Memory {
    int64_t residentKiB, heapKiB, trimmedKiB, trimmedAnonKiB;
};
Memory Measure() {
    Memory m;
    m.residentKiB = StatusKiB("VmRSS:");
    const struct mallinfo2 info = mallinfo2();
    m.heapKiB = int64_t((info.uordblks + info.hblkhd) / 1024);
    malloc_trim(0);
    m.trimmedKiB = StatusKiB("VmRSS:");
    m.trimmedAnonKiB = StatusKiB("RssAnon:");
    return m;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The harness is a test fixture; here it runs outside a test.
class Demo : public DemoMonkey {
  public:
    void TestBody() override {}
    bool Open() {
        SetUp();
        return !::testing::Test::HasFatalFailure();
    }
    void Close() { TearDown(); }
    void Begin(int seed) { Start(seed); }
    void End() { Stop(); }
    int64_t Frames() { return gate.Frames(); }
    int64_t Ticks() { return gate.Clock().Ticks(); }
    void Pace(Pacing p) { UsePacing(p); }
    bool Title() const { return OnTitle(); }
    bool ReachTitle() { return ToTitle(); }
    std::string Host() const { return dir.Host(); }

    // From the waiting title: a new game played to the title again, as the play-through test
    // plays its first branch: OK at every click wait, the first answer at the choice, the
    // battles by their stop keys.
    bool Cycle() {
        Tap(kOk);
        if (!RunUntil([this] { return !OnTitle(); }, 100)) return false;
        // Frame steps, ten to a tick under the Full pacing.
        for (int f = 0; f < 600000 && !Finished(); ++f) {
            if (OnTitle()) return true;
            if (InBattle()) {
                BattleStep();
                continue;
            }
            if (MovieOpen()) GiveMovieTime();
            if (AvgUnit && Mode() == smAdventure && SceneState() == asClickWait) {
                Tap(kOk);
            } else if (AvgUnit && Mode() == smAdventure && SceneState() == asChoiceWaiting) {
                Tap(kDown);
                Tap(kOk);
            } else {
                RunFrames(1);
            }
        }
        return OnTitle();
    }

    // The monkey's count at the title: the memory manager's records less the kept sound buffers.
    using DemoMonkey::RunMonkey;
    using DemoMonkey::Tracked;
};

void PlayThroughCounters(benchmark::State& state, int64_t frames, int64_t ticks, double seconds) {
    state.counters["frames"] = double(frames);
    state.counters["frames_per_s"] = double(frames) / seconds;
    state.counters["ticks_per_s"] = double(ticks) / seconds;
    // Peer: the real clock runs 30 ticks a second; the ratio is the speed-up of lock step in
    // game time, whatever the number of frames that share a tick.
    state.counters["real_clock_ticks_per_s"] = 30;
    state.counters["x_real_clock"] = double(ticks) / seconds / 30;
}

// The play-through's path: the start, the title call and the opening movie, then the story's
// first branch through battle 0 (won) and battle 5 (lost) to the ending and the title again.
// Argument 0: one tick a frame; 1: the game's default "Full" frame rate, ten frames a tick.
void BM_PlayThrough(benchmark::State& state) {
    int64_t frames = 0, ticks = 0;
    double seconds = 0;
    for (auto _ : state) {
        Demo g;
        if (!g.Open()) {
            state.SkipWithError("no demo data");
            return;
        }
        g.Pace(state.range(0) ? Pacing::Full : Pacing::OneTick);
        ResetPeak();
        const auto began = std::chrono::steady_clock::now();
        g.Begin(7);
        const bool ok = g.ReachTitle() && g.Cycle();
        seconds += Seconds(began);
        frames += g.Frames();
        ticks += g.Ticks();
        state.counters["peak_rss_MiB"] = double(StatusKiB("VmHWM:")) / 1024;
        g.End();
        g.Close();
        if (!ok) {
            state.SkipWithError("the play-through did not come back to the title");
            return;
        }
    }
    PlayThroughCounters(state, frames, ticks, seconds);
}
BENCHMARK(BM_PlayThrough)->Arg(0)->Arg(1)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(3);

// Fifty cycles title -> game -> title in one run of the game: resident size after the first
// beside after the fiftieth, and the memory manager's count beside it.
void BM_FiftyCycles(benchmark::State& state) {
    for (auto _ : state) {
        Demo g;
        if (!g.Open()) {
            state.SkipWithError("no demo data");
            return;
        }
        ResetPeak();
        const auto began = std::chrono::steady_clock::now();
        g.Begin(7);
        bool ok = g.ReachTitle() && g.Cycle();
        const int64_t firstPeak = StatusKiB("VmHWM:");
        const Memory first = Measure();
        const int32_t firstCount = g.Tracked();
        int cycles = 1;
        for (; ok && cycles < 50; ++cycles) ok = g.Cycle();
        const Memory last = Measure();
        state.counters["cycles"] = cycles;
        state.counters["rss_first_MiB"] = double(first.residentKiB) / 1024;
        state.counters["rss_fiftieth_MiB"] = double(last.residentKiB) / 1024;
        state.counters["rss_growth_KiB"] = double(last.residentKiB - first.residentKiB);
        state.counters["heap_growth_KiB"] = double(last.heapKiB - first.heapKiB);
        state.counters["trimmed_first_MiB"] = double(first.trimmedKiB) / 1024;
        state.counters["trimmed_growth_KiB"] = double(last.trimmedKiB - first.trimmedKiB);
        state.counters["trimmed_anon_growth_KiB"] =
            double(last.trimmedAnonKiB - first.trimmedAnonKiB);
        state.counters["peak_first_MiB"] = double(firstPeak) / 1024;
        state.counters["peak_all_MiB"] = double(StatusKiB("VmHWM:")) / 1024;
        state.counters["memman_first"] = firstCount;
        state.counters["memman_fiftieth"] = g.Tracked();
        PlayThroughCounters(state, g.Frames(), g.Ticks(), Seconds(began));
        g.End();
        g.Close();
        if (!ok) state.SkipWithError("a cycle did not come back to the title");
    }
}
BENCHMARK(BM_FiftyCycles)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

// The files the game opens while it starts, seen by inotify on the game folder and on the demo
// data its entries link to.
class OpenWatch {
  public:
    explicit OpenWatch(const std::vector<std::string>& dirs) : fd_(inotify_init1(IN_NONBLOCK)) {
        for (const std::string& d : dirs) Add(d);
    }
    ~OpenWatch() { close(fd_); }
    std::set<std::string> Opened() {
        alignas(inotify_event) char buf[64 * 1024];
        for (;;) {
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n <= 0) break;
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
                if (e->len && !(e->mask & IN_ISDIR) && dirs_.count(e->wd))
                    opened_.insert(dirs_[e->wd] + "/" + e->name);
                at += ssize_t(sizeof(inotify_event)) + e->len;
            }
        }
        return opened_;
    }

  private:
    void Add(const std::string& d) {
        const int wd = inotify_add_watch(fd_, d.c_str(), IN_OPEN);
        if (wd >= 0) dirs_[wd] = d;
        for (const auto& e : std::filesystem::directory_iterator(d))
            if (e.is_directory() && !e.is_symlink()) Add(e.path().string());
    }
    int fd_;
    std::map<int, std::string> dirs_;
    std::set<std::string> opened_;
};

std::vector<std::string> g_startFiles;

// From nothing to the first frame of the waiting title: the window, the logic thread, the
// settings and system save, the title call and the opening movie, the title's pictures, music
// and voice. Lock step, so the title call's and the movie's own length cost only their frames.
void BM_StartToTitle(benchmark::State& state) {
    Demo g;
    if (!g.Open()) {
        state.SkipWithError("no demo data");
        return;
    }
    OpenWatch watch({g.Host(), ZR_DEMO_DATA});
    double toFirstFrame = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        const int64_t before = g.Frames();
        const auto began = std::chrono::steady_clock::now();
        g.Begin(7);
        toFirstFrame += Seconds(began);
        const bool ok = g.ReachTitle();
        frames += g.Frames() - before;
        state.PauseTiming();
        g.End();
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("no title");
            break;
        }
    }
    for (const std::string& f : watch.Opened())
        if (f.find("Solvane.ini") == std::string::npos && f.find(".sav") == std::string::npos)
            g_startFiles.push_back(f);
    for (const std::string& f : g_startFiles)
        std::fprintf(stderr, "start-up opens %s\n", f.c_str());
    state.counters["first_frame_ms"] = toFirstFrame * 1000 / double(state.iterations());
    state.counters["frames_to_title"] = double(frames) / double(state.iterations());
    state.counters["files"] = double(g_startFiles.size());
    g.Close();
}
BENCHMARK(BM_StartToTitle)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Peer: the same files read whole, one after the other.
void BM_StartFilesRead(benchmark::State& state) {
    if (g_startFiles.empty()) {
        state.SkipWithError("run BM_StartToTitle first");
        return;
    }
    std::vector<char> buf(1 << 20);
    int64_t bytes = 0;
    for (auto _ : state) {
        for (const std::string& name : g_startFiles) {
            std::FILE* f = std::fopen(name.c_str(), "rb");
            if (!f) continue;
            size_t n;
            while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) bytes += int64_t(n);
            std::fclose(f);
        }
        benchmark::DoNotOptimize(buf.data());
    }
    state.counters["files"] = double(g_startFiles.size());
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_StartFilesRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// How often word stands in text.
double Occurrences(const std::string& text, const char* word) {
    int n = 0;
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++n;
    return n;
}

// The test's monkey at full length, a hundred thousand steps at the game's default frame rate:
// its game ticks per second beside the real clock's 30, and what the test judges (it prints
// the test's summary line too).
void BM_Monkey(benchmark::State& state) {
    for (auto _ : state) {
        Demo g;
        if (!g.Open()) {
            state.SkipWithError("no demo data");
            return;
        }
        g.Pace(Pacing::Full);
        ResetPeak();
        const MonkeyRun run = g.RunMonkey(kMonkeySeed, int(state.range(0)));
        std::printf("%s", run.Summary().c_str());
        PlayThroughCounters(state, run.frames, run.ticks, run.seconds);
        state.counters["steps"] = run.steps;
        state.counters["peak_rss_MiB"] = double(StatusKiB("VmHWM:")) / 1024;
        state.counters["game_errors"] = Occurrences(run.err, "GameErr");
        state.counters["memman_errors"] = Occurrences(run.memErrors, "\n");
        state.counters["titles"] = run.titles;
        state.counters["battles"] = run.battles;
        state.counters["saves"] = run.saves;
        state.counters["loads"] = run.loads;
        state.counters["slots_not_loading"] = Occurrences(run.unloadable, "\n");
        state.counters["memman_first_title"] = run.firstTracked;
        state.counters["memman_last_title"] = run.lastTracked;
        state.counters["memman_changes"] = Occurrences(run.countFaults, "at return");
        g.Close();
    }
}
BENCHMARK(BM_Monkey)->Arg(100000)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    // No window and no sound card: the harness presents into memory and mixes by hand.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    ::testing::InitGoogleTest(&argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
