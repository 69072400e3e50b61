// The report commands of the main window: Print (Ctrl+P) and "Save Report as PDF...". The
// main view is their host, as for the measurement commands.
#pragma once

#include "base/Commands.h"
#include "measure/forms/MeasureCommands.h"

namespace kvr {

CommandRows<MeasureCommandHost> ReportCommandRows();

}  // namespace kvr
