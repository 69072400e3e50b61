// The commands of subsystems not built yet (printing): they stay in the menu and the
// toolbar, disabled, until their subsystem contributes them with a handler from a file of
// its own, and their rows leave this file.
#include "app/CommandTable.h"

namespace kvr::app {

CommandRows<CQRLView> PlannedCommandRows() {
    static const CommandRow<CQRLView> kRows[] = {
        {{kCmdPrint, "", "", "", "Print the active document\nPrint", "Ctrl+P", false},
         {20, 0},
         nullptr,
         nullptr,
         nullptr},
    };
    return kRows;
}

}  // namespace kvr::app
