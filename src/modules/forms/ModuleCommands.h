// The accessory modules' commands: the KVR Display and KVR Com forms. The main view is
// their host and the main window gathers their rows (app/CommandTable.h).
#pragma once

#include "base/Commands.h"
#include "modules/forms/DisplayDlg.h"

class QWidget;

namespace kvr {

class CQRLDoc;

// What the module commands work on: the view and its communication state.
class ModuleCommandHost {
  public:
    virtual ~ModuleCommandHost() = default;
    virtual CQRLDoc& Doc() = 0;
    // The owner of the forms the commands show.
    virtual QWidget* FormOwner() = 0;
    // The COMMS lamp and the monitor values' colour.
    virtual void SetContactState(bool contact) = 0;
    virtual void RepaintView() = 0;
    // The display form's print and PDF buttons (the reports live above the modules);
    // none: both stay disabled.
    virtual DisplayReportHandlers DisplayReports() { return {}; }
};

CommandRows<ModuleCommandHost> ModuleCommandRows();

}  // namespace kvr
