// What the measurement forms open that belongs to the subsystems above them: the
// calibration forms and the configuration report. The main view fills it (it knows every
// subsystem); a hook left empty disables its button.
#pragma once

#include <functional>

class QWidget;

namespace kvr {

struct MeasureFormHooks {
    // The input calibration of a channel, after the page's Calibrate checks passed.
    std::function<void(QWidget* parent, int channel)> calibrateInput;
    // The calibration of one analog output (output port + 4 × channel object), after
    // "Calibrate DAC" wrote the range into the record.
    std::function<void(QWidget* parent, int output)> calibrateOutput;
    // The configuration report of the document: "Print the current settings."
    std::function<void(QWidget* parent)> printConfiguration;
};

}  // namespace kvr
