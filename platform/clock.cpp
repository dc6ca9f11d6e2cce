// Tick count backends.
#include "platform/clock.h"

#include <time.h>

namespace plat {

namespace {
MonotonicTicks g_monotonic;
std::atomic<TickSource*> g_source{&g_monotonic};
}  // namespace

uint32_t MonotonicTicks::Ticks() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms =
        static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

uint32_t GetTickCount() {
    return g_source.load()->Ticks();
}

void SetTickSource(TickSource* source) {
    g_source.store(source ? source : &g_monotonic);
}

}  // namespace plat
