// The commands of subsystems not built yet (the display and com modules, output
// calibration, printing): they stay in the menu and the toolbar, disabled, until their
// subsystem contributes them with a handler from a file of its own, and their rows leave
// this file.
#include "app/CommandTable.h"

namespace kvr::app {

CommandRows<CQRLView> PlannedCommandRows() {
    static const CommandRow<CQRLView> kRows[] = {
        {{kCmdDisplay, kPopupConfigure, "", "&Display...",
          "Configure the KVR Display Module\nConfigure KVR Display", "", false},
         {50, 52},
         nullptr,
         nullptr,
         nullptr},
        {{kCmdCom, kPopupConfigure, "", "&Com...",
          "Configure the KVR Com Module\nConfigure KVR Com", "", false},
         {60, 53},
         nullptr,
         nullptr,
         nullptr},
        {{kCmdPrint, "", "", "", "Print the active document\nPrint", "Ctrl+P", false},
         {20, 0},
         nullptr,
         nullptr,
         nullptr},
    };
    return kRows;
}

}  // namespace kvr::app
