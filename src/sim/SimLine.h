// An in-process line to simulated units: what CSerialPort writes goes to SimUnits, the
// replies come back at once, and every timeout waits on the clock seam (a virtual clock
// in tests), so logic tests cost no real time.
#pragma once

#include <deque>
#include <memory>

#include "link/SerialLine.h"
#include "link/SerialPort.h"
#include "sim/SimUnits.h"

namespace kvr::sim {

class SimLine final : public ISerialLine {
  public:
    explicit SimLine(SimUnits& units);
    long Read(uint8_t* buffer, size_t n, unsigned intervalMs, unsigned totalMs) override;
    long Write(const uint8_t* data, size_t n, unsigned totalMs) override;
    bool Purge() override;
    bool SetDtr(bool on) override;
    bool HungUp() const override;
    bool Dtr() const { return dtr_; }

  private:
    // A reply byte and the clock time from which it can be read.
    struct PendingByte {
        uint8_t byte;
        uint64_t readyMs;
    };
    // The clock's now; follows a clock that was swapped for another (a test's virtual
    // clock) by re-basing the line's times.
    uint64_t Now();
    bool CheckHangUp();
    // Queues the cue bytes a unit sent while the line was quiet, up to now; and the time
    // of the next one (UINT64_MAX: none).
    void OfferCues(uint64_t now);
    uint64_t NextCueMs();

    SimUnits& units_;
    std::deque<PendingByte> pending_;
    bool dtr_ = false;
    bool hungUp_ = false;
    uint64_t startMs_;      // clock time when the line was made
    double startSeconds_;   // the units' time then
    uint64_t lastWriteMs_;  // for dropping a frame left half-written
    uint64_t lastNowMs_;    // to notice a clock that went backwards
    uint64_t lastCueMs_;    // when the last cue byte was sent
};

// A LineOpener for CSerialPort that connects to the given units.
// Usage: port.SetLineOpener(SimLineOpener(units));
CSerialPort::LineOpener SimLineOpener(SimUnits& units);

}  // namespace kvr::sim
