// Raw scales of the measured entities in the values reply and in the output scale
// points, and the groups that decide which transformer ratio applies.
#pragma once

namespace kvr {

inline constexpr int kEntityMax = 14;

// Raw units per engineering unit: Voltage 10, Current 1000, powers 10, Power Factor
// 32767, Frequency 100, energies 10, 1-cycle current 1000, demand power 10; entity 0 and
// codes outside 0 to 14 give 1.
double EntityScale(int entity);

// One row of the entity table: every text the program shows for an entity code. The one
// copy of these texts; the measure layer builds its entity functions on it.
struct EntityInfo {
    const char* longName;     // labels and messages
    const char* shortName;    // output-port descriptions
    const char* unit;         // "" for Power Factor
    const char* choiceLabel;  // the chooser's text; "" for code 0, which has no choice
    int rateEntity;           // the power an energy integrates; V, A and Hz themselves; else 0
};

// The row of an entity code; null outside 0 to 14.
const EntityInfo* FindEntity(int entity);

// Long name and unit symbol of an entity code ("?" and "??" outside 0 to 14).
const char* EntityLongName(int entity);
const char* EntityUnit(int entity);

// Which transformer ratio converts an entity between secondary and primary values.
enum class RatioGroup { None, Voltage, Current, Power };
RatioGroup EntityRatioGroup(int entity);

}  // namespace kvr
