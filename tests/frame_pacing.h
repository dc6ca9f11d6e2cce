// How a lock-step harness frames: what each frame step adds to the frame ticks, the
// millisecond clock and the mixed sound. The game's own pacing differs by frame-rate mode:
//   Full     the frame step sleeps 3 ms while a tick comes every 33 ms, so about ten frame
//            steps share each tick and most of them see 0 ticks ("FULL" and "NOSYNC");
//   Fps15    a frame runs once two ticks have come, so every frame sees 2 ("15FPS");
//   OneTick  every frame sees exactly one tick (as "30FPS" does on a machine that keeps up).
// Input a test delivers between two steps is read by the next one, whatever it carries, as a
// key the player pressed during those 3 ms would be.
#pragma once
#include <cstdint>
#include <ostream>

enum class Pacing { OneTick, Full, Fps15 };

// The pacing's name where GoogleTest prints a test's parameter.
inline void PrintTo(Pacing p, std::ostream* os) {
    *os << (p == Pacing::Full ? "Full" : p == Pacing::Fps15 ? "15FPS" : "OneTick");
}

class FrameClock {
  public:
    struct Step {
        int32_t ticks;     // frame ticks to add before the step
        uint32_t ms;       // milliseconds the clock moves
        uint32_t samples;  // sound frames at 48 kHz the step mixes
    };

    explicit FrameClock(Pacing p = Pacing::OneTick, int32_t stepsPerTick = 10)
        : pacing_(p), stepsPerTick_(stepsPerTick < 1 ? 1 : stepsPerTick) {}

    Pacing pacing() const { return pacing_; }
    int32_t StepsPerTick() const { return stepsPerTick_; }
    // The frame-rate mode the window runs in under this pacing (-1: leave it as configured).
    int FrameRateMode() const {
        return pacing_ == Pacing::Full ? 2 : pacing_ == Pacing::Fps15 ? 0 : -1;
    }

    // The ticks the next step will carry.
    int32_t NextTicks() const { return TicksAt(units_ + UnitsPerStep()) - TicksAt(units_); }
    // Frame steps that together carry `ticks` ticks (rounded up).
    int64_t StepsFor(int64_t ticks) const {
        return (ticks * stepsPerTick_ + UnitsPerStep() - 1) / UnitsPerStep();
    }
    // Ticks the steps so far carried.
    int64_t Ticks() const { return TicksAt(units_); }

    Step Next() {
        const int64_t from = units_, to = units_ + UnitsPerStep();
        units_ = to;
        // A tick is a thirtieth of a second: 100 ms and 4800 sound frames every three.
        return Step{static_cast<int32_t>(TicksAt(to) - TicksAt(from)),
                    static_cast<uint32_t>(to * 100 / (3 * stepsPerTick_) -
                                          from * 100 / (3 * stepsPerTick_)),
                    static_cast<uint32_t>(to * 1600 / stepsPerTick_ - from * 1600 / stepsPerTick_)};
    }

  private:
    // The clock counts in steps of the Full pacing: stepsPerTick_ of them make one tick.
    int64_t UnitsPerStep() const {
        return pacing_ == Pacing::Full    ? 1
               : pacing_ == Pacing::Fps15 ? 2 * stepsPerTick_
                                          : stepsPerTick_;
    }
    int64_t TicksAt(int64_t units) const { return units / stepsPerTick_; }

    Pacing pacing_;
    int32_t stepsPerTick_;
    int64_t units_ = 0;
};
