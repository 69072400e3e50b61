#include "link/EntityScale.h"

namespace kvr {

namespace {
using R = RatioGroup;
using E = MeasuredEntity;
constexpr ValuesSlot kNotInReply{};
constexpr ValuesSlot S16(uint8_t offset) {
    return ValuesSlot{offset, 2};
}
constexpr ValuesSlot S32(uint8_t offset) {
    return ValuesSlot{offset, 4};
}
using N = NominalBase;

constexpr EntityInfo kEntities[kEntityMax + 1] = {
    {"?", "NoEntity", "??", "", E::None, 1, R::None, kNotInReply, false, N::None},
    {"Voltage", "Voltage", "V", "Voltage (V)", E::Voltage, 10, R::Voltage, S16(4), false,
     N::VtSecondary},
    {"Current", "Current", "A", "Current (A)", E::Current, 1000, R::Current, S16(6), false,
     N::CtSecondary},
    {"Active Power", "Active Power", "W", "Active Power (W)", E::None, 10, R::Power, S16(8), true,
     N::Power},
    {"Apparent Power", "Apparent Power", "VA", "Apparent Power (VA)", E::None, 10, R::Power,
     S16(10), true, N::Power},
    {"Reactive Power", "Reactive Power", "VAr", "Reactive Power (VAr)", E::None, 10, R::Power,
     S16(12), true, N::Power},
    {"Power Factor", "Power Factor", "", "Power Factor", E::None, 32767, R::None, S16(14), false,
     N::Unity},
    {"Frequency", "Frequency", "Hz", "Frequency (Hz)", E::Frequency, 100, R::None, S16(16), false,
     N::Frequency},
    {"Active Energy Import", "Active Energy", "Wh", "Active Energy (Wh)", E::ActivePower, 10,
     R::Power, S32(18), false, N::None},
    {"Apparent Energy", "Apparent Energy", "VAh", "Apparent Energy (VAh)", E::ApparentPower, 10,
     R::Power, S32(22), false, N::None},
    {"Reactive Energy Lag", "Reactive Energy", "VArh", "Reactive Energy (VArh)", E::ReactivePower,
     10, R::Power, S32(26), false, N::None},
    // The export and lead energies and the demand power are not in the values reply.
    {"Active Energy Export", "Active Energy", "Wh", "Active Energy (Wh) (Export)", E::ActivePower,
     10, R::Power, kNotInReply, false, N::None},
    {"Reactive Energy Lead", "Reactive Energy", "VArh", "Reactive Energy (VArh) (Lead)",
     E::ReactivePower, 10, R::Power, kNotInReply, false, N::None},
    {"1-Cycle Current Maximum", "1 Cycle Current Max.", "A", "1-Cycle Current Maximum (A)", E::None,
     1000, R::Current, S16(6), false, N::None},
    {"Active Demand Power", "<invalid>", "W", "Active Demand Power", E::None, 10, R::Power,
     kNotInReply, false, N::Power},
};
}  // namespace

const EntityInfo* FindEntity(MeasuredEntity entity) {
    const int code = EntityCode(entity);
    return code >= 0 && code <= kEntityMax ? &kEntities[code] : nullptr;
}

double EntityScale(MeasuredEntity entity) {
    const EntityInfo* info = FindEntity(entity);
    return info ? info->scale : 1;
}

const char* EntityLongName(MeasuredEntity entity) {
    const EntityInfo* info = FindEntity(entity);
    return info ? info->longName : "?";
}

const char* EntityUnit(MeasuredEntity entity) {
    const EntityInfo* info = FindEntity(entity);
    return info ? info->unit : "??";
}

RatioGroup EntityRatioGroup(MeasuredEntity entity) {
    const EntityInfo* info = FindEntity(entity);
    return info ? info->ratio : RatioGroup::None;
}

}  // namespace kvr
