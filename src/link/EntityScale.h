// The measured entities' table: raw scales of the values reply and the
// output scale points, the groups that decide which transformer ratio applies, and where
// each sits in the values reply.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvr {

inline constexpr int kEntityMax = 14;

// What a unit measures, an output transmits or a monitor reads. Stored as its code (a
// monitor byte, a record's output nibble); a code outside 0 to 14 read from a file stays
// as it is and finds no row in the table.
enum class MeasuredEntity : int32_t {
    None = 0,
    Voltage = 1,
    Current = 2,
    ActivePower = 3,
    ApparentPower = 4,
    ReactivePower = 5,
    PowerFactor = 6,
    Frequency = 7,
    ActiveEnergyImport = 8,
    ApparentEnergy = 9,
    ReactiveEnergyLag = 10,
    ActiveEnergyExport = 11,
    ReactiveEnergyLead = 12,
    CycleCurrentMax = 13,
    ActiveDemandPower = 14,
};

constexpr MeasuredEntity EntityFromCode(int code) {
    return static_cast<MeasuredEntity>(code);
}
constexpr int EntityCode(MeasuredEntity e) {
    return static_cast<int>(e);
}

// Which transformer ratio converts an entity between secondary and primary values.
enum class RatioGroup { None, Voltage, Current, Power };

// Where an entity sits in the values reply's data bytes: a signed 16-bit number, or a
// signed 32-bit one for the energies; width 0 when the reply does not carry it.
struct ValuesSlot {
    uint8_t offset = 0;
    uint8_t width = 0;  // bytes: 0, 2 or 4
};

// What an output's nominal full scale is made of (the output pages' default).
enum class NominalBase { None, VtSecondary, CtSecondary, Power, Unity, Frequency };

// One row of the entity table: every number the line and the records need for an entity
// code. The one copy of these; the user-facing texts are the measure layer's
// (measure/MeasuredEntity.h), which builds its entity functions on this table.
struct EntityInfo {
    MeasuredEntity rateEntity;  // the power an energy integrates; V, A and Hz themselves; else None
    double scale;               // raw units per engineering unit
    RatioGroup ratio;
    ValuesSlot slot;
    // The powers: the unit reports them, and keeps output scale points, divided by 10
    // while the current input is on a range above 0.
    bool currentRanged;
    NominalBase nominal;
};

// The row of an entity code; null outside 0 to 14.
const EntityInfo* FindEntity(MeasuredEntity entity);

// Raw units per engineering unit: Voltage 10, Current 1000, powers 10, Power Factor
// 32767, Frequency 100, energies 10, 1-cycle current 1000, demand power 10; entity 0 and
// codes outside 0 to 14 give 1.
double EntityScale(MeasuredEntity entity);

RatioGroup EntityRatioGroup(MeasuredEntity entity);

}  // namespace kvr
