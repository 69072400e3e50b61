// The 115-byte configuration and calibration record of one measuring board. The byte
// layout is the wire format and the setup-file format at once; every field is reached
// through the accessors below, which own the bit packing and the scaling.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/EntityScale.h"

namespace kvr {

// The two inputs of a measuring channel.
enum class InputKind { Voltage, Current };
// The two windings of a transformer; values are shown referred to either.
enum class Winding { Primary, Secondary };

class ParameterRecord {
  public:
    static constexpr size_t kSize = 115;
    static constexpr uint16_t kSignature = 7502;  // 0x1D4E
    static constexpr int kOutputs = 4;

    // Byte offsets of the fields.
    enum Offset : size_t {
        kSerialNumber = 0,
        kUnitAddress = 4,
        kVoltageGain = 5,
        kCurrentGain = 7,
        kVoltageGainSquared = 9,
        kCurrentGainSquared = 11,
        kPowerGain = 13,
        kOutputCard = 15,      // + o
        kOutputEntity = 19,    // + o
        kOutputSource = 23,    // + o
        kOutputScaleMin = 27,  // + 2o
        kOutputScaleMax = 35,  // + 2o
        kOutputLevelMin = 43,  // + 2o
        kOutputLevelMax = 51,  // + 2o
        kDacOffset = 59,       // + 2o
        kDacSpan = 67,         // + 2o
        kFirmwareVersion = 75,
        kInputHardware = 76,
        kCtPhaseCorrection = 77,
        kName = 79,  // 16 characters, terminator at 95 at the latest
        kReserved = 96,
        kCurrentThreshold = 99,
        kChannelFlags = 100,
        kVoltageInput = 101,
        kVtPrimary = 102,
        kVtSecondary = 104,
        kVoltageDirect = 106,
        kCurrentInput = 107,
        kCtPrimary = 108,
        kCtSecondary = 110,
        kCurrentDirect = 112,
        kSignatureOffset = 113,
    };
    // The calibration block that a download compares before overwriting.
    static constexpr size_t kCalGainsBegin = 5, kCalGainsEnd = 15;  // [5, 15)
    static constexpr size_t kCalDacBegin = 59, kCalDacEnd = 79;     // [59, 79)
    static constexpr size_t kNameMax = 16;

    // All bytes zero (signature 0: not a valid record until filled).
    ParameterRecord() = default;

    std::array<uint8_t, kSize>& Bytes() { return bytes_; }
    const std::array<uint8_t, kSize>& Bytes() const { return bytes_; }
    uint8_t* Data() { return bytes_.data(); }
    const uint8_t* Data() const { return bytes_.data(); }
    bool operator==(const ParameterRecord& other) const = default;

    // Raw field access by offset, little-endian.
    uint8_t GetU8(size_t offset) const { return bytes_.at(offset); }
    void SetU8(size_t offset, uint8_t v) { bytes_.at(offset) = v; }
    uint16_t GetU16(size_t offset) const;
    int16_t GetS16(size_t offset) const;
    void SetU16(size_t offset, uint16_t v);
    void SetS16(size_t offset, int16_t v);

    // --- identity -------------------------------------------------------------------
    uint32_t GetSerialNumber() const;
    void SetSerialNumber(uint32_t serial);
    uint8_t GetUnitAddress() const { return bytes_[kUnitAddress]; }
    void SetUnitAddress(uint8_t address) { bytes_[kUnitAddress] = address; }
    uint16_t GetSignature() const;
    void SetSignature(uint16_t signature);
    bool IsValid() const { return GetSignature() == kSignature; }
    std::string GetName() const;            // forces the terminator at offset 95
    void SetName(const std::string& name);  // at most 16 characters, rest zero

    // --- calibration ----------------------------------------------------------------
    int16_t GetVoltageGain() const { return GetS16(kVoltageGain); }
    int16_t GetCurrentGain() const { return GetS16(kCurrentGain); }
    int16_t GetVoltageGainSquared() const { return GetS16(kVoltageGainSquared); }
    int16_t GetCurrentGainSquared() const { return GetS16(kCurrentGainSquared); }
    int16_t GetPowerGain() const { return GetS16(kPowerGain); }
    // Input calibration: multiplies the voltage (or current) gain by factor and stores the
    // five gains, each value x 4096 + 0.5 truncated toward zero.
    void ApplyGainFactor(double factor, InputKind input);
    void GetDacCalibration(int slot, int16_t& offset, uint16_t& span) const;
    void SetDacCalibration(int slot, int16_t offset, uint16_t span);
    uint8_t GetFirmwareVersion() const { return bytes_[kFirmwareVersion]; }
    void SetFirmwareVersion(uint8_t v) { bytes_[kFirmwareVersion] = v; }
    std::string GetFirmwareVersionText() const;  // "%2.2f" of version / 100
    int GetInputHardware() const { return bytes_[kInputHardware] >> 4; }
    void SetInputHardware(int type);  // bits 4-7; bits 0-3 kept
    // Degrees; 0 when the stored magnitude exceeds 18000. Set refuses |v| > 180.
    float GetCtPhaseCorrection() const;
    bool SetCtPhaseCorrection(float degrees);

    // --- inputs ---------------------------------------------------------------------
    // Transformer primary or secondary of the voltage (current = false) or current input,
    // in volts or amperes.
    double GetPrimary(InputKind input, Winding winding) const;
    void SetPrimary(InputKind input, Winding winding, double value);
    bool IsDirect(InputKind input) const;
    void SetDirect(InputKind input, bool direct);
    int GetPhase(InputKind input) const;  // low nibble - 1 (-1 when the nibble is 0)
    void SetPhase(InputKind input, int phaseIndex);
    void GetRanges(int& voltageRange, int& currentRange) const;
    void SetRanges(int voltageRange, int currentRange);
    int GetVoltageRange() const { return bytes_[kVoltageInput] >> 6; }
    int GetCurrentRange() const { return bytes_[kCurrentInput] >> 6; }
    float GetCurrentThreshold() const;        // percent
    bool SetCurrentThreshold(float percent);  // refuses < 0 and > 25.5
    bool IsBalanced() const { return (bytes_[kChannelFlags] & 0x01) != 0; }
    void SetBalanced(bool on);
    bool IsLineToLine() const { return (bytes_[kChannelFlags] & 0x80) != 0; }
    void SetLineToLine(bool on);

    // VT and CT ratio (primary over secondary), 1 when coupled directly or when the
    // secondary is 0.
    double VtRatio() const;
    double CtRatio() const;
    // Secondary to primary and back for a measured entity (codes 1 to 14); ToSecondary
    // gives -1 for a code outside 1 to 14.
    double ToPrimary(MeasuredEntity entity, double value) const;
    double ToSecondary(MeasuredEntity entity, double value) const;
    // Nominal full-scale raw value of an entity, for the output pages.
    double NominalRaw(MeasuredEntity entity, bool threePhase) const;

    // --- outputs --------------------------------------------------------------------
    int GetCardType(int slot) const;       // bits 0-1
    void SetCardType(int slot, int type);  // clears bits 2-3, keeps bits 4-7
    bool IsPlusCard(int slot) const;
    void SetPlusCard(int slot, bool plus);
    MeasuredEntity GetOutputEntity(int slot) const;
    void SetOutputEntity(int slot, MeasuredEntity entity);
    void GetOutputRange(int slot, bool& current, int& range) const;
    void SetOutputRange(int slot, bool current, int range);
    int GetOutputSource(int slot) const;
    void SetOutputSource(int slot, int channel);  // bits 0-3; bits 4-7 kept
    // Scale points with the power rule: entities 3 to 5 with a current range index above 0
    // are stored divided by 10.
    int32_t GetScaleMin(int slot) const;
    int32_t GetScaleMax(int slot) const;
    void SetScaleMin(int slot, int32_t value);
    void SetScaleMax(int slot, int32_t value);
    int16_t GetLevelMin(int slot) const;
    int16_t GetLevelMax(int slot) const;
    void SetLevelMin(int slot, int16_t value);
    void SetLevelMax(int slot, int16_t value);

    // All zero, then the factory defaults for the given unit address.
    void ResetToDefaults(uint8_t address);

  private:
    bool PowerRuleApplies(int slot) const;
    std::array<uint8_t, kSize> bytes_{};
};

// Name tables of the record's coded fields.
const char* CardTypeName(int type);  // "No Card", "Analog", "Relay", "RS485", "<invalid>"
const char* OutputRangeName(bool current, int range);  // "illegal range" above 7
const char* CurrentRangeName(int range);               // "1.000 A" ... "10.000  A"
// Voltage range names for an input hardware type; empty string when out of range,
// "illegal" for an unknown hardware type.
const char* VoltageRangeName(int inputHardware, int range);

// Rounding of the record's scaled integers: value x scale + 0.5, truncated toward zero.
int64_t ScaleRound(double value, double scale);

}  // namespace kvr
