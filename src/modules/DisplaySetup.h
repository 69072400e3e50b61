// The KVR Display module's setup: 24 lines (8 pages of 3), each showing one value of one
// channel of up to four units on the bus, exchanged with the module as one 388-byte
// record. No I/O here; CDisplayLink carries the record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kvr {

inline constexpr int kDisplayLines = 24;
inline constexpr int kDisplayPages = 8;
inline constexpr int kLinesPerPage = 3;
inline constexpr size_t kDisplayRecordSize = 388;
inline constexpr int kMaxDisplayDecimals = 5;
inline constexpr int kDisplayUnitsLength = 5;
// The value code of a line that shows nothing.
inline constexpr uint8_t kBlankValueCode = 0xFF;
inline constexpr int kValueChoices = 19;
inline constexpr int kBlankValueChoice = 18;
inline constexpr int kChannelChoices = 16;

struct DisplayLine {
    int index = 0;
    uint8_t decimals = 0;  // 0 to 5
    uint8_t channel = 0;   // selector: unit = channel / 4, channel % 4 (3: the main board)
    uint8_t valueCode = kBlankValueCode;
    std::string units = "     ";  // always 5 characters
    bool blank = true;
    double low = 0;
    double high = 0;
    double nominal = 0;

    bool operator==(const DisplayLine&) const = default;
};

using DisplaySetupRecord = std::array<uint8_t, kDisplayRecordSize>;

// The three leading bytes of every record and its checksum, which makes the 388 bytes sum
// to 0 modulo 256.
void SealDisplayRecord(DisplaySetupRecord& record);
bool DisplayRecordSumsToZero(const DisplaySetupRecord& record);

// Record bytes <-> one line. Decoding: blank when the high nibble of the line's first
// byte is 0xF or the whole record after its header is zero; decimals above 5 read as 5;
// the value code loses its top bit; the values are divided by the line's scale.
void DecodeLine(DisplayLine& line, int index, const DisplaySetupRecord& record);
// Encoding: values travel as trunc(value x scale) in 24-bit two's complement; a value
// beyond 24 bits is held at the nearest end rather than wrapped to the other sign.
void EncodeLine(const DisplayLine& line, int index, DisplaySetupRecord& record);

// 10^(decimals - p), p from the first character of the units: 6 "M", 3 "k", -3 "m", else 0.
double DisplayScale(uint8_t decimals, const std::string& units);
// The entity (1 to 10) whose unit a line's values carry, or 0 for none.
int DisplayEntity(uint8_t valueCode);

// The value choices of the form, in order, and their codes; -1 for a code without one.
const char* ValueChoiceText(int choice);
uint8_t ValueChoiceCode(int choice);
int ValueChoiceOf(uint8_t valueCode);
// The name of a value code in reports; a code without a choice reads "Code 0xNN".
std::string ValueReportName(uint8_t valueCode);
// "Unit0 - Ch1" ... "Unit3 - 3Ph"; "0." ... "0.00000".
std::string ChannelChoiceText(int selector);
const char* DecimalsChoiceText(int decimals);

// Pads with spaces or cuts to exactly 5 characters.
std::string FiveCharacterUnits(const std::string& units);

}  // namespace kvr
