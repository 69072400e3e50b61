// The program's commands as the main window shows them: every subsystem's command rows
// (base/Commands.h) gathered into one list, from which the main window builds its menu
// and toolbar and the view runs them (and tests check them).
//
// A new subsystem adds its commands with a file of rows of its own (a function giving
// CommandRows<Host> for a host interface that the view implements) and one line in the
// list of gathered files in app/CommandTable.cpp.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/Commands.h"

namespace kvr::app {

using kvr::Command;
using kvr::CommandId;
using enum kvr::CommandId;

class CQRLView;

// A command row bound to the main view.
struct ViewCommand {
    Command command;
    CommandPlace place;
    std::function<void(CQRLView&)> run;      // empty: not built yet, the command is disabled
    std::function<bool(CQRLView&)> enabled;  // empty: enabled whenever it runs
    std::function<bool(CQRLView&)> checked;  // empty: not checked
};

// Every command, menu items in menu order, then the toolbar and keyboard ones.
const std::vector<ViewCommand>& ViewCommands();
const ViewCommand* FindViewCommand(int id);
// The same, as their texts only.
const std::vector<Command>& Commands();
const Command* FindCommand(int id);
// The six popups in menu order.
const std::vector<std::string>& Popups();
// Toolbar ids in order; kCmdSeparator marks a separator.
const std::vector<int>& ToolbarLayout();
// The status-bar prompt (text before "\n") and the tool tip (text after it; the whole
// prompt when there is no "\n").
std::string PromptText(const Command& c);
std::string ToolTipText(const Command& c);

// The rows of the main window's own files.
CommandRows<CQRLView> ShellCommandRows();     // app/ShellCommands.cpp
CommandRows<CQRLView> DocumentCommandRows();  // app/DocumentCommands.cpp

}  // namespace kvr::app
