// The display form's value texts as the desktop program reads and shows them.
#pragma once

#include "measure/MeasuredValue.h"
#include "modules/DisplayEditor.h"

namespace kvr::test {

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
