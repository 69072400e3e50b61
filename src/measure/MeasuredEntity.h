// Measured entities (what a unit measures, an output transmits or a monitor reads) and
// phase codes (where a channel's voltage or current input is taken from).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "link/EntityScale.h"
#include "link/ParameterRecord.h"

namespace kvr {

// MeasuredEntity itself and its table of numbers are link/EntityScale.h's (the values
// reply needs them); these are the short names the measure layer uses.
namespace entity {
inline constexpr MeasuredEntity kNone = MeasuredEntity::None;
inline constexpr MeasuredEntity kVoltage = MeasuredEntity::Voltage;
inline constexpr MeasuredEntity kCurrent = MeasuredEntity::Current;
inline constexpr MeasuredEntity kActivePower = MeasuredEntity::ActivePower;
inline constexpr MeasuredEntity kApparentPower = MeasuredEntity::ApparentPower;
inline constexpr MeasuredEntity kReactivePower = MeasuredEntity::ReactivePower;
inline constexpr MeasuredEntity kPowerFactor = MeasuredEntity::PowerFactor;
inline constexpr MeasuredEntity kFrequency = MeasuredEntity::Frequency;
inline constexpr MeasuredEntity kActiveEnergyImport = MeasuredEntity::ActiveEnergyImport;
inline constexpr MeasuredEntity kApparentEnergy = MeasuredEntity::ApparentEnergy;
inline constexpr MeasuredEntity kReactiveEnergyLag = MeasuredEntity::ReactiveEnergyLag;
inline constexpr MeasuredEntity kActiveEnergyExport = MeasuredEntity::ActiveEnergyExport;
inline constexpr MeasuredEntity kReactiveEnergyLead = MeasuredEntity::ReactiveEnergyLead;
inline constexpr MeasuredEntity kCycleCurrentMax = MeasuredEntity::CycleCurrentMax;
inline constexpr MeasuredEntity kActiveDemandPower = MeasuredEntity::ActiveDemandPower;
inline constexpr MeasuredEntity kLast = EntityFromCode(kEntityMax);

// Every entity a unit measures, in code order (1 to 14).
inline constexpr std::array<MeasuredEntity, kEntityMax> kAll = {
    kVoltage,         kCurrent,           kActivePower,        kApparentPower,
    kReactivePower,   kPowerFactor,       kFrequency,          kActiveEnergyImport,
    kApparentEnergy,  kReactiveEnergyLag, kActiveEnergyExport, kReactiveEnergyLead,
    kCycleCurrentMax, kActiveDemandPower};
}  // namespace entity

// A measured entity (codes 1 to 14), not None and not a code beyond the table.
constexpr bool IsMeasured(MeasuredEntity e) {
    return e >= entity::kVoltage && e <= entity::kLast;
}

// Texts of an entity code: "?" as long name, "??" as unit and "" as short name or choice
// label outside 0 to 14.
const char* EntityLongName(MeasuredEntity e);
const char* EntityUnit(MeasuredEntity e);
const char* EntityShortName(MeasuredEntity e);
const char* EntityChoiceLabel(MeasuredEntity e);

// The power an energy integrates (8 and 11 to 3, 9 to 4, 10 and 12 to 5); Voltage,
// Current and Frequency themselves; every other code 0.
MeasuredEntity RateEntity(MeasuredEntity e);
bool IsEnergy(MeasuredEntity e);  // 8 to 12
bool IsPower(MeasuredEntity e);   // 3 to 5

// A phase code is the record's phase nibble - 1 (ParameterRecord::GetPhase), which is also
// the index in the input form's 16-entry phase lists.
// Codes 8 + c (c from 1 to 6) are code c connected reversed; -1 is an empty nibble.
enum class PhaseCode : int {
    NotAvailable = 0,
    Independent = 1,
    A = 2,
    B = 3,
    C = 4,
    AB = 5,
    BC = 6,
    CA = 7,
};
inline constexpr int kPhaseReversedOffset = 8;

constexpr PhaseCode PhaseFromCode(int code) {
    return static_cast<PhaseCode>(code);
}
// The phase code of a record's voltage or current input.
inline PhaseCode PhaseOf(const ParameterRecord& record, InputKind input) {
    return PhaseFromCode(record.GetPhase(input));
}

namespace phase {
inline constexpr PhaseCode kNotAvailable = PhaseCode::NotAvailable;
inline constexpr PhaseCode kIndependent = PhaseCode::Independent;
inline constexpr PhaseCode kA = PhaseCode::A;
inline constexpr PhaseCode kB = PhaseCode::B;
inline constexpr PhaseCode kC = PhaseCode::C;
inline constexpr PhaseCode kAB = PhaseCode::AB;
inline constexpr PhaseCode kBC = PhaseCode::BC;
inline constexpr PhaseCode kCA = PhaseCode::CA;
}  // namespace phase

inline constexpr const char* kPhaseNotAvailable = "Not Available";

// The name of a phase code: "Not Available", "Independent", "A", "B", "C", "A - B",
// "B - C", "C - A" for 0 to 7. Codes 9 to 14 are the reversed connections of 1 to 6 and
// read "Reversed " + that name. Code 8 is the input list's second "Not Connected" entry
// (a reversed "no connection" is still none), and -1 is a nibble of 0 (the list's last
// entry wraps there and cannot be told from an empty field): both read "Not Available".
// With lineToLine (voltage of a unit measuring line-to-line), A, B and C read as
// "A - B", "B - C" and "C - A", also when reversed.
std::string PhaseName(PhaseCode code, bool lineToLine = false);
// A phase is connected when its name is not "Not Available".
bool PhaseConnected(PhaseCode code);

}  // namespace kvr
