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
    int kvr100Address = 0;         // 0, 1 or 2 for a single KVR 100
    uint8_t firmware = 189;        // 189 and above: the extended values reply
    uint32_t serialNumber = 0;     // 0: a plausible serial derived from nothing random
    std::string stateFile;         // records survive a restart when set
    unsigned baud = 9600;          // pacing: 10 bits a character
    unsigned turnaroundUs = 2000;  // time from a command's last byte to the reply
    bool pace = true;              // false: replies at once (in-process logic tests)
};

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
};

// State of one measuring board that a test can inspect.
struct BoardState {
    ParameterRecord record;
    int mode = 0;                            // last mode byte seen (0x10 user, 0x11 factory)
    int loopbackMode = 0;                    // 0 normal, 1 static, 2 cycle
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
    // Mid-reply stall: after gapAfter bytes (0: none) the unit pauses gapMs.
    size_t gapAfter = 0;
    unsigned gapMs = 0;
};

// A frame left incomplete for longer than this is forgotten by the units' receiver.
inline constexpr unsigned kFrameGapMs = 100;

// Validity mask of the values reply: entities 1 to 10 and 13 are measured.
inline constexpr uint16_t kSimValidityMask = 0x13FF;

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
    // Time only moves forward: an earlier time is ignored.
    void SetTimeSeconds(double seconds);
    double TimeSeconds();
    // Forgets a partly received frame (the line was idle too long, or the client left),
    // as a unit resynchronises on a gap in the byte stream.
    void DiscardPartialFrame();

    Faults& GetFaults() { return faults_; }
    const SimOptions& Options() const { return options_; }
    // The board answering at an address, or null. Lock Mutex() while touching it from
    // another thread than the one feeding bytes.
    BoardState* Board(int address);
    std::mutex& Mutex() { return mutex_; }
    // Number of frames handled, for tests.
    unsigned FramesHandled() const { return frames_; }
    // Addresses that have a board, in board order (0 to 3 for a KVR 300).
    std::vector<int> Addresses();
    // Empty while the state file is fine; else why it could not be loaded (the units then
    // run on factory records and never write that file) or why the last save failed.
    std::string StateError();
    // A few lines describing each board, for the kvr-sim status command.
    std::string Summary();

    // The first byte of the QueryDevice reply: bit 0 the extended values reply (firmware
    // 189 and above), bit 1 a board of a KVR 300, bit 2 the KVR 300 main board. The whole
    // reply is five bytes: this code, the KVR Talk version 1 and 73 (V1.73), the record's
    // firmware version byte and a checksum.
    static uint8_t DeviceCode(bool kvr300, bool mainboard, uint8_t firmware);
    // Parses a state file's text into records (one per board, in board order). False with
    // a reason when the text is not a state file of this kind of unit.
    static bool ParseState(const std::string& text, UnitKind kind, size_t boards,
                           std::vector<ParameterRecord>& records, std::string& error);
    static std::string FormatState(UnitKind kind, const std::vector<ParameterRecord>& records);

  private:
    // Acts on one complete frame whose checksum is good; true when it gives a reply.
    bool HandleFrame(const uint8_t* p, size_t len, std::vector<uint8_t>& reply, bool& save);
    void LatchValuesLocked();
    void SaveStateLocked();

    // implementation details are the simulator's own
    struct Impl;
    SimOptions options_;
    Faults faults_;
    std::mutex mutex_;  // protects the boards, the receive buffer and the time
    std::atomic<unsigned> frames_{0};
    Impl* impl_;
};

}  // namespace kvr::sim
