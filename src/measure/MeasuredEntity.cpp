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

std::string PhaseName(int code, bool lineToLine) {
    const bool reversed = code > phase::kReversedOffset && code < 15;
    int base = reversed ? code - phase::kReversedOffset : code;
    if (base <= phase::kNotAvailable || base > phase::kCA) {
        return kPhaseNotAvailable;
    }
    if (lineToLine && base >= phase::kA && base <= phase::kC) {
        base += phase::kAB - phase::kA;
    }
    return reversed ? std::string("Reversed ") + kPhaseNames[base] : kPhaseNames[base];
}

bool PhaseConnected(int code) {
    return PhaseName(code) != kPhaseNotAvailable;
}

}  // namespace kvr
