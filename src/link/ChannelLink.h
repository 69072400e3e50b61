// CChannelLink: one measuring board (a KVR 100 channel or the KVR 300 main board): the
// protocol object plus its record, the saved copy and the last values read.
#pragma once

#include <cstdint>
#include <span>

#include "link/EntityScale.h"
#include "link/ParameterRecord.h"
#include "link/TalkFrames.h"
#include "link/TalkLink.h"

namespace kvr {

inline constexpr double kTalkVersion = talk::kTalkMajor + talk::kTalkMinor / 100.0;
inline constexpr uint8_t kExtendedFirmware = 189;

class CChannelLink : public CTalkLink {
  public:
    explicit CChannelLink(CSerialPort* port = nullptr, uint8_t address = 0);

    // The address is byte 4 of the record.
    uint8_t Address() const override { return record.GetUnitAddress(); }

    using CTalkLink::ReadParameters;
    using CTalkLink::ReadValues;
    using CTalkLink::WriteParameters;
    // Reads into this channel's record.
    bool ReadParameters() { return CTalkLink::ReadParameters(record); }
    bool WriteParameters() { return CTalkLink::WriteParameters(record); }
    // Reads into this channel's values.
    bool ReadValues();
    // Device code bit 0 from the record's firmware version: set for 1.89 and later.
    void UpdateExtendedFromFirmware();
    // The value of an entity (codes 1 to 13) from the last values read, in its base unit;
    // referred to the secondary winding, divided by the transformer ratios. 0 and false when the
    // reply does not carry it (validity bit clear, or entities 11 and 12, which have no slot).
    bool GetValue(MeasuredEntity entity, Winding winding, double& value) const;
    // The record to factory defaults for an address, and the saved copy equal to it.
    void ResetToDefaults(uint8_t address);

    ParameterRecord record;
    ParameterRecord savedRecord;
    talk::ValuesData values{};
    size_t valuesLength = 0;  // data bytes of the last reply (30 or 42; 0 before any)
    double talkVersion = kTalkVersion;
};

// Decodes one entity's raw number from the data bytes of a values reply; false when
// absent. The power factor of 10 for a current range above 0 is applied here.
bool DecodeRawValue(std::span<const uint8_t> data, MeasuredEntity entity, int currentRange,
                    double& raw);

}  // namespace kvr
