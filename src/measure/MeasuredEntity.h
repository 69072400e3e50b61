// Measured entities (what a unit measures, an output transmits or a monitor reads) and
// phase codes (where a channel's voltage or current input is taken from).
#pragma once

#include <cstdint>
#include <string>

#include "link/EntityScale.h"

namespace kvr {

// An entity code as stored in the record's output fields and in monitors.
using MeasuredEntity = int32_t;

namespace entity {
inline constexpr MeasuredEntity kNone = 0;
inline constexpr MeasuredEntity kVoltage = 1;
inline constexpr MeasuredEntity kCurrent = 2;
inline constexpr MeasuredEntity kActivePower = 3;
inline constexpr MeasuredEntity kApparentPower = 4;
inline constexpr MeasuredEntity kReactivePower = 5;
inline constexpr MeasuredEntity kPowerFactor = 6;
inline constexpr MeasuredEntity kFrequency = 7;
inline constexpr MeasuredEntity kActiveEnergyImport = 8;
inline constexpr MeasuredEntity kApparentEnergy = 9;
inline constexpr MeasuredEntity kReactiveEnergyLag = 10;
inline constexpr MeasuredEntity kActiveEnergyExport = 11;
inline constexpr MeasuredEntity kReactiveEnergyLead = 12;
inline constexpr MeasuredEntity kCycleCurrentMax = 13;
inline constexpr MeasuredEntity kActiveDemandPower = 14;
inline constexpr MeasuredEntity kLast = kEntityMax;
}  // namespace entity

// Texts of an entity code (EntityLongName and EntityUnit come from link/EntityScale.h):
// "??" as unit, "?" as long name and "" as short name or choice label outside 0 to 14.
const char* EntityShortName(MeasuredEntity e);
const char* EntityChoiceLabel(MeasuredEntity e);

// The power an energy integrates (8 and 11 to 3, 9 to 4, 10 and 12 to 5); Voltage,
// Current and Frequency themselves; every other code 0.
MeasuredEntity RateEntity(MeasuredEntity e);
bool IsEnergy(MeasuredEntity e);  // 8 to 12
bool IsPower(MeasuredEntity e);   // 3 to 5

// A phase code is the record's phase nibble - 1 (ParameterRecord::GetPhase), which is also
// the index in the input form's 16-entry phase lists.
namespace phase {
inline constexpr int kNotAvailable = 0;
inline constexpr int kIndependent = 1;
inline constexpr int kA = 2;
inline constexpr int kB = 3;
inline constexpr int kC = 4;
inline constexpr int kAB = 5;
inline constexpr int kBC = 6;
inline constexpr int kCA = 7;
inline constexpr int kReversedOffset = 8;  // code 8 + c is code c connected reversed
}  // namespace phase

inline constexpr const char* kPhaseNotAvailable = "Not Available";

// The name of a phase code: "Not Available", "Independent", "A", "B", "C", "A - B",
// "B - C", "C - A" for 0 to 7. Codes 9 to 14 are the reversed connections of 1 to 6 and
// read "Reversed " + that name. Code 8 is the input list's second "Not Connected" entry
// (a reversed "no connection" is still none), and -1 is a nibble of 0 (the list's last
// entry wraps there and cannot be told from an empty field): both read "Not Available".
// With lineToLine (voltage of a unit measuring line-to-line), A, B and C read as
// "A - B", "B - C" and "C - A", also when reversed.
std::string PhaseName(int code, bool lineToLine = false);
// A phase is connected when its name is not "Not Available".
bool PhaseConnected(int code);

}  // namespace kvr
