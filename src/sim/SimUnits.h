// Simulated KVR units on one line: byte in, bytes out. The line cuts the received bytes
// into frames, gives each to the unit at the frame's address (sim/SimUnit.h) and applies
// the line's faults to the replies, whichever unit gives them. Used in-process (SimLine)
// and hosted on a pseudo-terminal (PtyHost, kvr-sim).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/SimBoards.h"
#include "sim/SimOptions.h"
#include "sim/SimUnit.h"

namespace kvr::sim {

// Faults, each switchable at run time from any thread.
struct Faults {
    std::atomic<bool> dropNextReply{false};    // one reply is swallowed
    std::atomic<bool> corruptChecksum{false};  // next reply's checksum is wrong
    std::atomic<int> shortReply{0};            // next reply cut to this many bytes (0: off)
    std::atomic<bool> wrongEcho{false};        // next reply's echo byte is wrong
    std::atomic<bool> silent{false};           // no replies while set
    std::atomic<unsigned> slowMs{0};           // extra delay before each reply
    std::atomic<unsigned> gapAfterBytes{0};    // stall for slowGapMs after this many bytes
    std::atomic<unsigned> slowGapMs{0};
    std::atomic<bool> hangUp{false};  // the host closes the line
    std::atomic<bool> noCue{false};   // a display sends no 0xE2 cue
};

// One reply with its timing, as the line should deliver it.
struct Reply {
    std::vector<uint8_t> bytes;
    unsigned delayMs = 0;  // extra delay from the slow fault
    // Mid-reply stall: after gapAfter bytes (0: none) the unit pauses gapMs.
    size_t gapAfter = 0;
    unsigned gapMs = 0;
};

// A frame left incomplete for longer than this is forgotten by the units' receiver.
inline constexpr unsigned kFrameGapMs = 100;

class SimUnits {
  public:
    // A line with the measuring boards the options describe.
    explicit SimUnits(const SimOptions& options);
    ~SimUnits();
    SimUnits(const SimUnits&) = delete;
    SimUnits& operator=(const SimUnits&) = delete;

    // Puts another unit on the line. A frame goes to the first unit that answers at its
    // address; a broadcast goes to every unit, in the order they were added.
    void AddUnit(std::unique_ptr<ISimUnit> unit);

    // Feeds received bytes (possibly a partial frame); gives the replies completed by them
    // in order. A frame with a bad checksum or an unknown command gets no reply.
    std::vector<Reply> Receive(const uint8_t* data, size_t n);
    // Seconds of simulated installation time; values move with it (energies accumulate).
    // Time only moves forward: an earlier time is ignored.
    void SetTimeSeconds(double seconds);
    double TimeSeconds();
    // Forgets a partly received frame (the line was idle too long, or the client left),
    // as a unit resynchronises on a gap in the byte stream.
    void DiscardPartialFrame();
    // The byte a unit sends while the line is quiet and the quiet time before each (ms);
    // 0 when no unit does, or the line is silent or without cue by a fault.
    unsigned IdleCue(uint8_t& byte);

    Faults& GetFaults() { return faults_; }
    const SimOptions& Options() const { return options_; }
    // The measuring board answering at an address, or null. Lock Mutex() while touching it
    // from another thread than the one feeding bytes.
    BoardState* Board(int address);
    std::mutex& Mutex() { return mutex_; }
    // Number of frames handled, for tests.
    unsigned FramesHandled() const { return frames_; }
    // Addresses that have a unit, in unit order (boards 0 to 3 for a KVR 300).
    std::vector<int> Addresses();
    // Empty while the state files are fine; else why one could not be loaded (the unit
    // then runs on its factory settings and never writes that file) or why the last save
    // failed.
    std::string StateError();
    // The calibration bench (see SimBoards), under the units' lock.
    bool SetTrueInput(int channel, bool current, std::optional<double> value);
    bool Meter(int output, std::string& text);
    void TrueDac(int output, double& span, double& offset);
    // A few lines describing each board and module, for the kvr-sim status command.
    std::string Summary();

  private:
    ISimUnit* UnitAt(int address);

    SimOptions options_;
    Faults faults_;
    std::mutex mutex_;  // protects the units, the receive buffer and the time
    std::atomic<unsigned> frames_{0};
    std::vector<std::unique_ptr<ISimUnit>> units_;
    SimBoards* boards_ = nullptr;  // the measuring boards, owned by units_
    std::vector<uint8_t> rx_;      // bytes of a frame not yet complete
    double now_ = 0;               // simulated seconds
};

}  // namespace kvr::sim
