// MeasuredValue: a number tied to an entity, read from what a user types ("11 kV",
// "500mA") and shown with an SI prefix to a number of significant digits.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/Text.h"  // FormatFixed
#include "measure/MeasuredEntity.h"

namespace kvr {

class MeasuredValue {
  public:
    // Value 0 of no entity, valid.
    MeasuredValue() = default;
    // Valid unless the value is not finite.
    MeasuredValue(double value, MeasuredEntity e);
    // Parsed with ParseWithUnit; on failure value 0, entity 0, not valid.
    MeasuredValue(std::string_view text, MeasuredEntity e);

    // Reads a number, an optional SI prefix (m, k, M, G; case-sensitive) and the unit of
    // `required` (case-insensitive). A bare number is multiplied by the scale. On success
    // the value takes the entity and becomes valid; on failure it is not valid, keeps its
    // entity and holds -123.456.
    bool ParseWithUnit(std::string_view text, MeasuredEntity required);
    // The value with a prefix chosen from its magnitude before rounding, e.g. "11.00 kV";
    // one space always separates the number from prefix and unit.
    std::string FormatSignificant(int digits) const;

    double GetValue() const { return value_; }
    MeasuredEntity GetEntity() const { return entity_; }
    void SetEntity(MeasuredEntity e) { entity_ = e; }
    bool IsValid() const { return valid_; }
    double GetScale() const { return scale_; }
    // The factor applied to a number typed without any unit.
    void SetScale(double scale) { scale_ = scale; }
    const char* Unit() const { return EntityUnit(entity_); }

  private:
    double scale_ = 1.0;
    MeasuredEntity entity_ = entity::kNone;
    double value_ = 0.0;
    bool valid_ = true;
};

// Reads a decimal number at the start of `text` after leading white space, as strtod
// would but independent of the locale and never past the text's end: an optional sign,
// digits with an optional point, an optional exponent. Hexadecimal numbers, infinities,
// NaN and numbers out of range are refused. `end` is the index after the number.
bool ParseLeadingNumber(std::string_view text, double& value, size_t& end);

}  // namespace kvr
