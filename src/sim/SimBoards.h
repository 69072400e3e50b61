// The measuring boards of one simulated KVR 100 (a single board at address 0, 1 or 2) or
// KVR 300 (channel boards at addresses 0 to 2 and the main board at 3): their records,
// modes, relays and outputs, the values they latch, the device code they report and the
// state file that keeps their records across restarts.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/ParameterRecord.h"
#include "sim/SimOptions.h"
#include "sim/SimUnit.h"

namespace kvr::sim {

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
    // A calibration bench's true input on the secondary side (volts, amperes); unset, the
    // input follows the drifting model. The board reports it scaled by its own gains.
    std::optional<double> trueVolts;
    std::optional<double> trueAmps;
};

// Validity mask of the values reply: entities 1 to 10 and 13 are measured.
inline constexpr uint16_t kSimValidityMask = 0x13FF;

class SimBoards final : public ISimUnit {
  public:
    explicit SimBoards(const SimOptions& options);

    // The options as the boards use them (a KVR 100's address brought into 0 to 2).
    const SimOptions& Options() const { return options_; }
    // The board answering at an address, or null.
    BoardState* Board(int address);

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

    // --- the calibration bench -------------------------------------------------------
    // The true input of measuring channel 1 to 3 (a KVR 100's board is channel 1), on the
    // secondary side; nothing returns it to the drifting model. False for no such channel.
    bool SetTrueInput(int channel, bool current, std::optional<double> value);
    // What a meter on analog output 1 to 4 x channels reads for the last WriteDac: each
    // output's DAC has a true span and offset of its own that only a calibration finds.
    // False (with the reason in text) when there is no such output or it has no analog
    // card.
    bool Meter(int output, std::string& text) const;
    // The hidden DAC calibration of an output (0-based), for tests.
    void TrueDac(int output, double& span, double& offset) const;

    bool AnswersAt(int address) const override;
    std::vector<int> Addresses() const override;
    size_t FrameLength(std::span<const uint8_t> bytes) const override;
    bool HandleFrame(int address, std::span<const uint8_t> frame, std::vector<uint8_t>& reply,
                     bool& changed) override;
    void AdvanceTime(double seconds) override;
    void SaveState() override;
    std::string StateError() const override;
    std::string Summary() const override;

  private:
    struct Entry {
        int address = 0;  // the address the board answers at
        int channel = 0;  // measuring channel 0 to 2 of the model; 3 the main board
        bool mainboard = false;
        BoardState state;
        ParameterRecord factory;
        uint16_t counter = 0;
        // Energies seen by the input since the start, before calibration gains.
        double wh = 0, vah = 0, varh = 0;
        // The hardware's own DAC span and offset per output (DAC value at full scale and at
        // zero output).
        std::array<double, 4> dacSpan{};
        std::array<double, 4> dacOffset{};
    };
    // The measuring board of channel index 0 to 2 (its order on the unit), or null.
    Entry* ChannelBoard(int index);
    const Entry* ChannelBoard(int index) const;

    Entry* Find(int address);
    void LatchValues();

    SimOptions options_;
    std::vector<Entry> boards_;
    double now_ = 0;  // simulated seconds
    std::string stateError_;
    bool stateWritable_ = true;  // false when the file exists but could not be loaded
};

}  // namespace kvr::sim
