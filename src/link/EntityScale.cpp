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
    {E::None, 1, R::None, kNotInReply, false, N::None},
    {E::Voltage, 10, R::Voltage, S16(4), false, N::VtSecondary},
    {E::Current, 1000, R::Current, S16(6), false, N::CtSecondary},
    {E::None, 10, R::Power, S16(8), true, N::Power},
    {E::None, 10, R::Power, S16(10), true, N::Power},
    {E::None, 10, R::Power, S16(12), true, N::Power},
    {E::None, 32767, R::None, S16(14), false, N::Unity},
    {E::Frequency, 100, R::None, S16(16), false, N::Frequency},
    {E::ActivePower, 10, R::Power, S32(18), false, N::None},
    {E::ApparentPower, 10, R::Power, S32(22), false, N::None},
    {E::ReactivePower, 10, R::Power, S32(26), false, N::None},
    // The export and lead energies and the demand power are not in the values reply.
    {E::ActivePower, 10, R::Power, kNotInReply, false, N::None},
    {E::ReactivePower, 10, R::Power, kNotInReply, false, N::None},
    {E::None, 1000, R::Current, S16(6), false, N::None},
    {E::None, 10, R::Power, kNotInReply, false, N::Power},
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

RatioGroup EntityRatioGroup(MeasuredEntity entity) {
    const EntityInfo* info = FindEntity(entity);
    return info ? info->ratio : RatioGroup::None;
}

}  // namespace kvr
