// Display lines for the tests, and the display form with its value texts as the desktop
// program reads and shows them.
#pragma once

#include "measure/MeasuredValue.h"
#include "modules/DisplayEditor.h"
#include "modules/DisplaySetup.h"

namespace kvr::test {

// A shown line of channel selector 3: nominal `value`, low -value, high twice the value.
inline DisplayLine Line(int index, uint8_t code, uint8_t decimals, const std::string& units,
                        double value) {
    return DisplayLine{.index = index,
                       .decimals = decimals,
                       .channel = 3,
                       .valueCode = code,
                       .units = FiveCharacterUnits(units),
                       .blank = false,
                       .low = -value,
                       .high = value * 2,
                       .nominal = value};
}

inline DisplayEditor MakeDisplayEditor() {
    return DisplayEditor(
        [](const std::string& text, int entity, double& value) {
            MeasuredValue v;
            if (!v.ParseWithUnit(text, EntityFromCode(entity))) {
                return false;
            }
            value = v.GetValue();
            return true;
        },
        [](double value, int entity) {
            return MeasuredValue(value, EntityFromCode(entity)).FormatSignificant(4);
        });
}

}  // namespace kvr::test
