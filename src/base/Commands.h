// The program's commands as data: their ids, and the rows through which each subsystem
// contributes its commands (menu placement, texts, prompts, shortcuts, handler, enabled
// and checked rules). Each subsystem keeps its rows in a file of its own; the main window
// gathers them into its menu and toolbar (app/CommandTable.h). Plain C++, so that a
// subsystem's forms can define rows without the main window's headers.
#pragma once

#include <span>

namespace kvr {

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
    kCmdLineTrace = 32950,
    kCmdTrends = 32890,
    kCmdContextHelp = 57669,
    kCmdHelp = 57670,
    kCmdNew = 57600,
    kCmdOpen = 57601,
    kCmdSave = 57603,
    kCmdSaveAs = 57604,
    kCmdPrint = 57607,
    kCmdSaveReportPdf = 32900,
    kCmdSeparator = 0,
};

// The popups of the menu, in menu order, and the submenu of the factory commands.
inline constexpr const char* kPopupFile = "&File";
inline constexpr const char* kPopupConfigure = "&Configure";
inline constexpr const char* kPopupKvr = "&KVR";
inline constexpr const char* kPopupView = "&View";
inline constexpr const char* kPopupHelp = "&Help";
inline constexpr const char* kPopupCalibrate = "C&alibrate";
inline constexpr const char* kSubmenuFactory = "Restore &Factory Defaults";

struct Command {
    int id;
    const char* popup;     // "" for toolbar-only or keyboard-only commands
    const char* submenu;   // "" unless the item sits in a submenu of the popup
    const char* text;      // menu text with its mnemonic ("" when not in a menu)
    const char* prompt;    // status-bar prompt, "\n", tool tip ("" when none)
    const char* shortcut;  // e.g. "Ctrl+N", "Shift+F1" ("" when none)
    bool checkable;
};

// Where a command sits. menu: its place within its popup, ascending (the rows of one
// popup come from several subsystems and interleave by it). toolbar: 0 when it is not on
// the toolbar; else its place there, ascending, with a separator wherever the tens change.
struct CommandPlace {
    int menu;
    int toolbar;
};

// One command as a subsystem contributes it. Host is what its handler and rules work on:
// an interface of the subsystem's own that the main view implements.
template <class Host>
struct CommandRow {
    Command command;
    CommandPlace place;
    void (*run)(Host& host);      // null: not built yet, so the command stays disabled
    bool (*enabled)(Host& host);  // null: enabled whenever it has a handler
    bool (*checked)(Host& host);  // null: not checked
};
template <class Host>
using CommandRows = std::span<const CommandRow<Host>>;

}  // namespace kvr
