#include "measure/MeasuredEntity.h"

namespace kvr {

namespace {
const char* const kPhaseNames[8] = {
    kPhaseNotAvailable, "Independent", "A", "B", "C", "A - B", "B - C", "C - A"};
}  // namespace

const char* EntityShortName(MeasuredEntity e) {
    const EntityInfo* info = FindEntity(e);
    return info ? info->shortName : "";
}

const char* EntityChoiceLabel(MeasuredEntity e) {
    const EntityInfo* info = FindEntity(e);
    return info ? info->choiceLabel : "";
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
