// The measurement configuration's commands: the input sheet and the output overview. The
// main view is their host and the main window gathers their rows (app/CommandTable.h).
#pragma once

#include "base/Commands.h"
#include "measure/forms/MeasureFormHooks.h"

class QWidget;

namespace kvr {

class CQRLDoc;

// What the measurement commands work on: the view that shows the configuration.
class MeasureCommandHost {
  public:
    virtual ~MeasureCommandHost() = default;
    virtual CQRLDoc& Doc() = 0;
    // The owner of the forms the commands show.
    virtual QWidget* FormOwner() = 0;
    // Names, phases, entities and the modified mark may have changed.
    virtual void ConfigurationChanged() = 0;
    // What the forms open from the subsystems above them (calibration, reports); empty
    // hooks (the default) leave their buttons disabled.
    virtual MeasureFormHooks FormHooks() { return {}; }
};

CommandRows<MeasureCommandHost> MeasureCommandRows();

}  // namespace kvr
