// The millisecond tick count the game measures time with: a 32-bit count that wraps, taken
// from the monotonic clock. Tests swap in a tick source they move by hand.
#pragma once
#include <atomic>
#include <cstdint>

namespace plat {

class TickSource {
  public:
    virtual ~TickSource() = default;
    virtual uint32_t Ticks() = 0;
};

// Milliseconds of CLOCK_MONOTONIC, cut to 32 bits.
class MonotonicTicks : public TickSource {
  public:
    uint32_t Ticks() override;
};

// A tick count that only moves when told to.
class ManualTicks : public TickSource {
  public:
    explicit ManualTicks(uint32_t start = 0) : now_(start) {}
    uint32_t Ticks() override { return now_.load(); }
    void Set(uint32_t t) { now_.store(t); }
    void Advance(uint32_t ms) { now_.fetch_add(ms); }

  private:
    std::atomic<uint32_t> now_;
};

// Milliseconds from the installed tick source.
uint32_t GetTickCount();
// Installs a tick source for the whole process; null restores the monotonic clock. The
// source must outlive its installation.
void SetTickSource(TickSource* source);

}  // namespace plat
