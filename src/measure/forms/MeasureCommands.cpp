#include "measure/forms/MeasureCommands.h"

#include "document/QRLDoc.h"
#include "measure/forms/InputSheet.h"
#include "measure/forms/OutputOverviewDlg.h"

namespace kvr {

namespace {

void OnInputs(MeasureCommandHost& host) {
    // The sheet takes the device lock itself and does nothing without it.
    if (RunInputSheet(host.FormOwner(), host.Doc(), host.FormHooks())) {
        host.ConfigurationChanged();
    }
}

void OnOutputs(MeasureCommandHost& host) {
    // The forms edit the records that the reading thread reads.
    DeviceLock lock(host.Doc());
    if (!lock.Lock()) {
        return;
    }
    RunOutputOverview(host.FormOwner(), host.Doc(), host.FormHooks());
    host.ConfigurationChanged();
}

}  // namespace

CommandRows<MeasureCommandHost> MeasureCommandRows() {
    static const CommandRow<MeasureCommandHost> kRows[] = {
        {{kCmdInputs, kPopupConfigure, "", "&Inputs...",
          "Configure the KVR 100/300 Module Inputs\nConfigure KVR Inputs", "", false},
         {10, 21},
         OnInputs,
         nullptr,
         nullptr},
        {{kCmdOutputs, kPopupConfigure, "", "&Outputs...",
          "Configure the KVR 100/300/Plus Module Outputs\nConfigure KVR Outputs", "", false},
         {20, 22},
         OnOutputs,
         nullptr,
         nullptr},
    };
    return kRows;
}

}  // namespace kvr
