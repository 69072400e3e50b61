// The input calibration, diagnostics and serial-number commands. The main view is their
// host and the main window gathers their rows (app/CommandTable.h).
#pragma once

#include <functional>

#include "base/Commands.h"

class QWidget;

namespace kvr {

class CQRLDoc;

// What the calibration commands work on: the view that shows the configuration.
class CalibrationCommandHost {
  public:
    virtual ~CalibrationCommandHost() = default;
    virtual CQRLDoc& Doc() = 0;
    // The owner of the forms the commands show.
    virtual QWidget* FormOwner() = 0;
    // The records (gains, serial numbers) and the modified mark may have changed.
    virtual void ConfigurationChanged() = 0;
};

CommandRows<CalibrationCommandHost> CalibrationCommandRows();

// The input sheet's "C&alibrate": the input calibration of that channel alone, opened over
// the sheet (which already holds the device lock).
std::function<void(QWidget* parent, int channel)> ChannelCalibrationOpener(CQRLDoc& doc);

}  // namespace kvr
