// The monitors' commands: the monitor configuration, secondaries and logging. The main
// view is their host and the main window gathers their rows (app/CommandTable.h).
#pragma once

#include "base/Commands.h"

class QWidget;

namespace kvr {

class CQRLDoc;
class MonitorConfig;
struct MonitorShared;
struct MonitorViewState;

// What the monitors' commands work on: the view that shows the monitors.
class MonitorCommandHost {
  public:
    virtual ~MonitorCommandHost() = default;
    virtual CQRLDoc& Doc() = 0;
    // The owner of the forms the commands show.
    virtual QWidget* FormOwner() = 0;
    virtual MonitorShared& Shared() = 0;
    virtual MonitorViewState& ViewState() = 0;
    virtual MonitorConfig& Config() = 0;
    // Lays the monitor display out for a count of monitors.
    virtual void LayoutMonitors(int count, bool columnsChanged) = 0;
};

CommandRows<MonitorCommandHost> MonitorCommandRows();

}  // namespace kvr
