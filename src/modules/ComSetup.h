// The KVR Com module: its 12-byte settings record, read with the byte 0x84 (answered by
// 14 bytes: one leading byte, the record, one trailing byte) and written as 0xA4, the
// record and a checksum that makes the 14 bytes sum to 0 (not answered); and the mapping
// between the record and the choices of its form.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/TalkLink.h"

namespace kvr {

inline constexpr size_t kComRecordSize = 12;
inline constexpr size_t kComReadReply = 14;
inline constexpr uint8_t kReadComSetup = 0x84;
inline constexpr uint8_t kWriteComSetup = 0xA4;

struct ComSetupRecord {
    std::array<uint8_t, kComRecordSize> bytes{};

    int32_t SerialNumber() const;
    void SetSerialNumber(int32_t serial);
    // Offsets of the one-byte fields.
    enum Field : size_t {
        kSlaveId = 4,
        kAttachedUnit = 5,  // 1 KVR 100, 3 KVR 300
        kBaud = 6,
        kStopBits = 7,
        kParity = 8,
        kDataBits = 9,  // 7 or 8, the number itself
        kHandshake = 10,
        kProtocol = 11,
    };
    bool operator==(const ComSetupRecord&) const = default;
};

// 0xA4, the 12 record bytes and the checksum.
std::array<uint8_t, kComRecordSize + 2> ComWriteFrame(const ComSetupRecord& record);

class CComLink : public CTalkLink {
  public:
    explicit CComLink(CSerialPort* port = nullptr) : CTalkLink(port, 4) {}
    // Up to four attempts, each taking an answer of exactly 14 bytes (its trailing byte is
    // not checked). Unless quiet, a port that will not open and four failed attempts are
    // reported. The record changes only on success.
    bool ReadComSetup(ComSetupRecord& record, bool quiet);
    bool WriteComSetup(const ComSetupRecord& record);
};

// The form's choices. A record byte outside its list gives the choice -1 (nothing
// selected); the form shows the raw byte then, and a choice still -1 when the record is
// built writes the byte back as it came.
enum class ComChoice { AttachedUnit, Baud, Parity, DataBits, StopBits, Handshake, Protocol };
inline constexpr int kComChoiceLists = 7;
const std::vector<std::string>& ComChoiceTexts(ComChoice which);

struct ComFields {
    int32_t serialNumber = 0;
    int slaveId = 0;  // 0 to 255
    // Choice indexes in the order of ComChoice, -1 for none.
    std::array<int, kComChoiceLists> choice{-1, -1, -1, -1, -1, -1, -1};
    int& Choice(ComChoice which) { return choice[static_cast<size_t>(which)]; }
    int Choice(ComChoice which) const { return choice[static_cast<size_t>(which)]; }
};

ComFields ComFieldsFromRecord(const ComSetupRecord& record);
// The record for the fields; choices of -1 keep the bytes of `original`.
ComSetupRecord ComRecordFromFields(const ComFields& fields, const ComSetupRecord& original);
// The record byte of a field (by ComChoice) as the form shows it when it has no choice.
uint8_t ComChoiceByte(const ComSetupRecord& record, ComChoice which);
// A slave identity as typed: a whole number from 0 to 255.
bool ParseSlaveId(const std::string& text, int& value);
inline constexpr const char* kSlaveIdRangeText = "Please enter an integer between 0 and 255.";

}  // namespace kvr
