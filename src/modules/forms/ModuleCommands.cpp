#include "modules/forms/ModuleCommands.h"

#include "document/QRLDoc.h"
#include "modules/forms/ComDlg.h"
#include "modules/forms/DisplayDlg.h"

namespace kvr {

namespace {

// Both forms hold the device lock while they are open, so the reading thread stays off
// the line; the contact shown while a form was open ends with it.
void OnDisplay(ModuleCommandHost& host) {
    DeviceLock lock(host.Doc());
    if (!lock.Lock()) {
        return;
    }
    RunDisplayForm(
        host.FormOwner(), host.Doc(), [&host] { host.SetContactState(true); },
        host.DisplayReports());
    host.SetContactState(false);
    host.RepaintView();
}

void OnCom(ModuleCommandHost& host) {
    DeviceLock lock(host.Doc());
    if (!lock.Lock()) {
        return;
    }
    RunComForm(host.FormOwner(), host.Doc(), [&host] { host.SetContactState(true); });
    host.SetContactState(false);
}

}  // namespace

CommandRows<ModuleCommandHost> ModuleCommandRows() {
    static const CommandRow<ModuleCommandHost> kRows[] = {
        {{kCmdDisplay, kPopupConfigure, "", "&Display...",
          "Configure the KVR Display Module\nConfigure KVR Display", "", false},
         {50, 52},
         OnDisplay,
         nullptr,
         nullptr},
        {{kCmdCom, kPopupConfigure, "", "&Com...",
          "Configure the KVR Com Module\nConfigure KVR Com", "", false},
         {60, 53},
         OnCom,
         nullptr,
         nullptr},
    };
    return kRows;
}

}  // namespace kvr
