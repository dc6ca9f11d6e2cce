// The screen_cpu.sh peer: a process that only wakes up as often as the game does on a still
// screen of the full frame rate, and does nothing else. Four threads: the frame step's 3 ms
// pause, the frame timer's 5 ms period, the sound output's period (1,024 frames at 48 kHz) and
// the window thread's ~20 events a second. Prints its own CPU as a share of one core.
//
//   wakeups_alone SECONDS
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    using namespace std::chrono;
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        while (!stop) std::this_thread::sleep_for(milliseconds(3));
    });
    for (const auto period : {microseconds(5000), microseconds(21333), microseconds(50000)})
        threads.emplace_back([&stop, period] {
            for (auto next = steady_clock::now(); !stop;)
                std::this_thread::sleep_until(next += period);
        });
    auto cpu = [] {
        rusage u;
        getrusage(RUSAGE_SELF, &u);
        return u.ru_utime.tv_sec + u.ru_stime.tv_sec +
               (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
    };
    std::this_thread::sleep_for(milliseconds(500));
    const double c0 = cpu();
    std::this_thread::sleep_for(duration<double>(seconds));
    const double used = cpu() - c0;
    stop = true;
    for (auto& t : threads) t.join();
    std::printf("%-34s %5.1f %% of a core over %g s\n", "wake-ups alone (peer)",
                used / seconds * 100, seconds);
}
