// The output calibration commands of the "C&alibrate" menu: "Test Analog Outputs", "All
// &Outputs" and "All Outputs 2". The main view is their host and the main window gathers
// their rows (app/CommandTable.h).
#pragma once

#include "base/Commands.h"

class QWidget;

namespace kvr {

class CQRLDoc;

// What the output calibration commands work on.
class OutputCalibrationCommandHost {
  public:
    virtual ~OutputCalibrationCommandHost() = default;
    virtual CQRLDoc& Doc() = 0;
    // The owner of the forms the commands show.
    virtual QWidget* FormOwner() = 0;
    // The records (and so the modified mark) may have changed.
    virtual void ConfigurationChanged() = 0;
};

CommandRows<OutputCalibrationCommandHost> OutputCalibrationCommandRows();

}  // namespace kvr
