// Simulated KVR units on one line: a model of what the units do, byte in and bytes out.
// Used in-process (SimLine) and hosted on a pseudo-terminal (PtyHost, kvr-sim).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "link/ParameterRecord.h"

namespace kvr::sim {

enum class UnitKind { Kvr300, Kvr100 };

struct SimOptions {
    UnitKind kind = UnitKind::Kvr300;
    int kvr100Address = 0;     // 0, 1 or 2 for a single KVR 100
    uint8_t firmware = 189;    // 189 and above: the extended values reply
    uint32_t serialNumber = 0; // 0: a plausible serial derived from nothing random
    std::string stateFile;     // records survive a restart when set
    unsigned baud = 9600;      // pacing: 10 bits a character
    unsigned turnaroundUs = 2000;  // time from a command's last byte to the reply
    bool pace = true;          // false: replies at once (in-process logic tests)
};

// Faults, each switchable at run time from any thread.
struct Faults {
    std::atomic<bool> dropNextReply{false};     // one reply is swallowed
    std::atomic<bool> corruptChecksum{false};   // next reply's checksum is wrong
    std::atomic<int> shortReply{0};             // next reply cut to this many bytes (0: off)
    std::atomic<bool> wrongEcho{false};         // next reply's echo byte is wrong
    std::atomic<bool> silent{false};            // no replies while set
    std::atomic<unsigned> slowMs{0};            // extra delay before each reply
    std::atomic<unsigned> gapAfterBytes{0};     // stall for slowGapMs after this many bytes
    std::atomic<unsigned> slowGapMs{0};
    std::atomic<bool> hangUp{false};            // the host closes the line
};

// State of one measuring board that a test can inspect.
struct BoardState {
    ParameterRecord record;
    int mode = 0;            // last mode byte seen (0x10 user, 0x11 factory)
    int loopbackMode = 0;    // 0 normal, 1 static, 2 cycle
    std::array<uint8_t, 4> loopbackBytes{};  // v, c, p, f
    bool outputTest = false;
    std::array<int, 4> relay{};        // 0 open, 1 closed
    std::array<int, 4> relayPulses{};  // pulses counted
    std::array<uint16_t, 4> dac{};     // last DAC value per output
    std::vector<uint8_t> latched;      // values latched by the last Sample (42 bytes)
    bool sampled = false;
};

// One reply with its timing, as the line should deliver it.
struct Reply {
    std::vector<uint8_t> bytes;
    unsigned delayMs = 0;  // extra delay from the slow fault
};

class SimUnits {
public:
    explicit SimUnits(const SimOptions& options);
    ~SimUnits();
    SimUnits(const SimUnits&) = delete;
    SimUnits& operator=(const SimUnits&) = delete;

    // Feeds received bytes (possibly a partial frame); gives the replies completed by them
    // in order. A frame with a bad checksum or an unknown command gets no reply.
    std::vector<Reply> Receive(const uint8_t* data, size_t n);
    // Seconds of simulated installation time; values move with it (energies accumulate).
    void SetTimeSeconds(double seconds);

    Faults& GetFaults() { return faults_; }
    const SimOptions& Options() const { return options_; }
    // The board answering at an address, or null. Lock Mutex() while touching it from
    // another thread than the one feeding bytes.
    BoardState* Board(int address);
    std::mutex& Mutex() { return mutex_; }
    // Number of frames handled, for tests.
    unsigned FramesHandled() const { return frames_; }

private:
    // implementation details are the simulator's own
    struct Impl;
    SimOptions options_;
    Faults faults_;
    std::mutex mutex_;  // protects the boards and the receive buffer
    unsigned frames_ = 0;
    Impl* impl_;
};

}  // namespace kvr::sim
