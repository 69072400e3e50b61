// The program's commands: ids, menu placement, texts, prompts and shortcuts, as plain
// data that the main window builds its menu and toolbar from (and tests check).
#pragma once

#include <string>
#include <vector>

namespace kvr::app {

enum CommandId : int {
    kCmdExit = 57665,
    kCmdInputs = 32773,
    kCmdOutputs = 32774,
    kCmdDiagnostics = 32779,
    kCmdMonitors = 32775,
    kCmdDisplay = 32792,
    kCmdCom = 32793,
    kCmdOptions = 32794,
    kCmdUpload = 32814,
    kCmdDownload = 32815,
    kCmdTransmissionSetup = 32797,
    kCmdFactoryChannel1 = 32839,
    kCmdFactoryChannel2 = 32840,
    kCmdFactoryChannel3 = 32841,
    kCmdFactoryMainBoard = 32842,
    kCmdFactoryCom = 32843,
    kCmdFactoryDisplay = 32844,
    kCmdPassword = 32835,
    kCmdToolbar = 59392,
    kCmdStatusBar = 59393,
    kCmdSecondaries = 32861,
    kCmdHelpTopics = 57667,
    kCmdAbout = 57664,
    kCmdCalAllInputs = 32846,
    kCmdCalInput1 = 32847,
    kCmdCalInput2 = 32848,
    kCmdCalInput3 = 32849,
    kCmdTestAnalogOutputs = 32867,
    kCmdCalAllOutputs = 32850,
    kCmdCalAllOutputs2 = 32877,
    kCmdAllSerialNumbers = 32866,
    kCmdUploadUntilFirstFail = 32870,
    kCmdDownloadPreferences = 32871,
    kCmdKvr100Address = 32876,
    kCmdQueryDevice = 32809,
    kCmdEnableLogging = 32881,
    kCmdDisableLogging = 32880,
    kCmdNewLog = 32882,
    kCmdContextHelp = 57669,
    kCmdHelp = 57670,
    kCmdNew = 57600,
    kCmdOpen = 57601,
    kCmdSave = 57603,
    kCmdSaveAs = 57604,
    kCmdPrint = 57607,
    kCmdSeparator = 0,
};

struct Command {
    int id;
    const char* popup;     // "" for toolbar-only or keyboard-only commands
    const char* submenu;   // "" unless the item sits in a submenu of the popup
    const char* text;      // menu text with its mnemonic ("" when not in a menu)
    const char* prompt;    // status-bar prompt, "\n", tool tip ("" when none)
    const char* shortcut;  // e.g. "Ctrl+N", "Shift+F1" ("" when none)
    bool checkable;
};

// Every command, menu items in menu order.
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

}  // namespace kvr::app
