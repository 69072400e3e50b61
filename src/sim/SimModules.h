// The accessory modules on a simulated line: a KVR Display at address 5, which sends
// 0xE2 whenever the line has been quiet for a while, answers 0x85 with its 388-byte
// setup record and keeps a written 388-byte frame whose sum is right; and a KVR Com at
// address 4, which answers 0x84 with 14 bytes (a leading byte, its 12-byte record and a
// trailing byte) and keeps the record of an 0xA4 frame. Both answer QueryDevice and
// keep their record in the line's state file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/SimOptions.h"
#include "sim/SimUnit.h"

namespace kvr::sim {

inline constexpr int kSimComAddress = 4;
inline constexpr int kSimDisplayAddress = 5;
// The first byte of the modules' QueryDevice replies.
inline constexpr uint8_t kSimComDeviceCode = 0x08;
inline constexpr uint8_t kSimDisplayDeviceCode = 0x10;
inline constexpr size_t kSimDisplayRecord = 388;
inline constexpr size_t kSimComRecord = 12;

// One module: an address, a record, a frame layout and a line in the state file.
class SimModule : public ISimUnit {
  public:
    SimModule(const SimOptions& options, int address, uint8_t deviceCode, std::string keyword,
              std::vector<uint8_t> factory);
    const std::vector<uint8_t>& Record() const { return record_; }

    bool AnswersAt(int address) const override { return address == address_; }
    std::vector<int> Addresses() const override { return {address_}; }
    void AdvanceTime(double /*seconds*/) override {}
    void SaveState() override;
    std::string StateError() const override { return stateError_; }

  protected:
    // The QueryDevice reply: the device code, the KVR Talk version 1.73, 0, a checksum.
    std::vector<uint8_t> QueryReply() const;
    std::vector<uint8_t> record_;

  private:
    SimOptions options_;
    int address_;
    uint8_t deviceCode_;
    std::string keyword_;
    std::string stateError_;
    bool stateWritable_ = true;
};

class SimDisplay final : public SimModule {
  public:
    explicit SimDisplay(const SimOptions& options);
    size_t FrameLength(std::span<const uint8_t> bytes) const override;
    bool HandleFrame(int address, std::span<const uint8_t> frame, std::vector<uint8_t>& reply,
                     bool& changed) override;
    unsigned IdleCueMs(uint8_t& byte) const override;
    std::string Summary() const override;

  private:
    unsigned cueMs_;
};

class SimCom final : public SimModule {
  public:
    explicit SimCom(const SimOptions& options);
    size_t FrameLength(std::span<const uint8_t> bytes) const override;
    bool HandleFrame(int address, std::span<const uint8_t> frame, std::vector<uint8_t>& reply,
                     bool& changed) override;
    std::string Summary() const override;
};

}  // namespace kvr::sim
