#include "measure/MeasuredEntity.h"

namespace kvr {

namespace {
// The texts of each entity code, in code order: long name (labels and messages), short
// name (output-port descriptions), unit symbol ("" for Power Factor) and the chooser's
// label ("" for code 0, which has no choice).
struct EntityTexts {
    const char* longName;
    const char* shortName;
    const char* unit;
    const char* choiceLabel;
};

constexpr EntityTexts kEntityTexts[kEntityMax + 1] = {
    {"?", "NoEntity", "??", ""},
    {"Voltage", "Voltage", "V", "Voltage (V)"},
    {"Current", "Current", "A", "Current (A)"},
    {"Active Power", "Active Power", "W", "Active Power (W)"},
    {"Apparent Power", "Apparent Power", "VA", "Apparent Power (VA)"},
    {"Reactive Power", "Reactive Power", "VAr", "Reactive Power (VAr)"},
    {"Power Factor", "Power Factor", "", "Power Factor"},
    {"Frequency", "Frequency", "Hz", "Frequency (Hz)"},
    {"Active Energy Import", "Active Energy", "Wh", "Active Energy (Wh)"},
    {"Apparent Energy", "Apparent Energy", "VAh", "Apparent Energy (VAh)"},
    {"Reactive Energy Lag", "Reactive Energy", "VArh", "Reactive Energy (VArh)"},
    {"Active Energy Export", "Active Energy", "Wh", "Active Energy (Wh) (Export)"},
    {"Reactive Energy Lead", "Reactive Energy", "VArh", "Reactive Energy (VArh) (Lead)"},
    {"1-Cycle Current Maximum", "1 Cycle Current Max.", "A", "1-Cycle Current Maximum (A)"},
    {"Active Demand Power", "<invalid>", "W", "Active Demand Power"},
};

const EntityTexts* FindTexts(MeasuredEntity e) {
    const int code = EntityCode(e);
    return code >= 0 && code <= kEntityMax ? &kEntityTexts[code] : nullptr;
}

const char* const kPhaseNames[8] = {
    kPhaseNotAvailable, "Independent", "A", "B", "C", "A - B", "B - C", "C - A"};
}  // namespace

const char* EntityLongName(MeasuredEntity e) {
    const EntityTexts* texts = FindTexts(e);
    return texts ? texts->longName : "?";
}

const char* EntityUnit(MeasuredEntity e) {
    const EntityTexts* texts = FindTexts(e);
    return texts ? texts->unit : "??";
}

const char* EntityShortName(MeasuredEntity e) {
    const EntityTexts* texts = FindTexts(e);
    return texts ? texts->shortName : "";
}

const char* EntityChoiceLabel(MeasuredEntity e) {
    const EntityTexts* texts = FindTexts(e);
    return texts ? texts->choiceLabel : "";
}

MeasuredEntity RateEntity(MeasuredEntity e) {
    const EntityInfo* info = FindEntity(e);
    return info ? info->rateEntity : entity::kNone;
}

bool IsEnergy(MeasuredEntity e) {
    return e >= entity::kActiveEnergyImport && e <= entity::kReactiveEnergyLead;
}

bool IsPower(MeasuredEntity e) {
    return e >= entity::kActivePower && e <= entity::kReactivePower;
}

std::string PhaseName(PhaseCode phaseCode, bool lineToLine) {
    const int code = static_cast<int>(phaseCode);
    const bool reversed = code > kPhaseReversedOffset && code < 15;
    int base = reversed ? code - kPhaseReversedOffset : code;
    if (base <= static_cast<int>(PhaseCode::NotAvailable) ||
        base > static_cast<int>(PhaseCode::CA)) {
        return kPhaseNotAvailable;
    }
    if (lineToLine && base >= static_cast<int>(PhaseCode::A) &&
        base <= static_cast<int>(PhaseCode::C)) {
        base += static_cast<int>(PhaseCode::AB) - static_cast<int>(PhaseCode::A);
    }
    return reversed ? std::string("Reversed ") + kPhaseNames[base] : kPhaseNames[base];
}

bool PhaseConnected(PhaseCode code) {
    return PhaseName(code) != kPhaseNotAvailable;
}

}  // namespace kvr
