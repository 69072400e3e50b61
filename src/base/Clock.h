// The time seam: every wait of the program (the pause after Attention, the download
// delay, reading intervals) goes through the current clock, so tests can run them on a
// virtual clock that advances at once. The serial line's own timeouts are real time on a
// real device; an in-process line uses this clock for them instead.
#pragma once

#include <cstdint>
#include <mutex>

namespace kvr {

class IClock {
  public:
    virtual ~IClock() = default;
    // Milliseconds on a monotonic scale; only differences matter.
    virtual uint64_t NowMs() = 0;
    virtual void SleepMs(uint64_t ms) = 0;
    // True for a clock that only moves when slept on: waits that cannot be expressed as a
    // sleep (a timed mutex) then poll it instead of waiting for real.
    virtual bool IsVirtual() const { return false; }
};

// The steady clock of the machine.
class SteadyClock final : public IClock {
  public:
    uint64_t NowMs() override;
    void SleepMs(uint64_t ms) override;
};

// A clock that only moves when somebody sleeps on it or advances it. Thread-safe.
class VirtualClock final : public IClock {
  public:
    explicit VirtualClock(uint64_t startMs = 1'000'000) : now_(startMs) {}
    uint64_t NowMs() override;
    void SleepMs(uint64_t ms) override;
    void Advance(uint64_t ms) { SleepMs(ms); }
    bool IsVirtual() const override { return true; }
    // Total time slept through this clock, for tests that check prescribed waits.
    uint64_t SleptMs();

  private:
    std::mutex mutex_;  // protects now_ and slept_
    uint64_t now_;
    uint64_t slept_ = 0;
};

// The process-wide clock: the one in place (base/Seams.h), else the steady clock.
IClock& GetClock();

}  // namespace kvr
