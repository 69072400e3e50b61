#include "app/CommandTable.h"

namespace kvr::app {

namespace {

const char* const kFile = "&File";
const char* const kConfigure = "&Configure";
const char* const kKvr = "&KVR";
const char* const kView = "&View";
const char* const kHelp = "&Help";
const char* const kCalibrate = "C&alibrate";
const char* const kFactory = "Restore &Factory Defaults";

}  // namespace

const std::vector<Command>& Commands() {
    static const std::vector<Command> kCommands = {
        {kCmdNew, kFile, "", "&New", "Create a new document\nNew", "Ctrl+N", false},
        {kCmdOpen, kFile, "", "&Open...", "Open an existing document\nOpen", "Ctrl+O", false},
        {kCmdSave, kFile, "", "&Save", "Save the active document\nSave", "Ctrl+S", false},
        {kCmdSaveAs, kFile, "", "Save &As...", "Save the active document with a new name\nSave As",
         "Ctrl+Shift+S", false},
        {kCmdExit, kFile, "", "E&xit", "Quit the application; prompts to save documents\nExit", "",
         false},
        {kCmdInputs, kConfigure, "", "&Inputs...",
         "Configure the KVR 100/300 Module Inputs\nConfigure KVR Inputs", "", false},
        {kCmdOutputs, kConfigure, "", "&Outputs...",
         "Configure the KVR 100/300/Plus Module Outputs\nConfigure KVR Outputs", "", false},
        {kCmdDiagnostics, kConfigure, "", "Dia&gnostics...",
         "Perform the KVR Diagnostics\nPerform diagnostics", "", false},
        {kCmdMonitors, kConfigure, "", "&Monitors...",
         "Add, remove and edit KVR signal monitors\nConfigure monitors", "", false},
        {kCmdDisplay, kConfigure, "", "&Display...",
         "Configure the KVR Display Module\nConfigure KVR Display", "", false},
        {kCmdCom, kConfigure, "", "&Com...", "Configure the KVR Com Module\nConfigure KVR Com", "",
         false},
        {kCmdOptions, kConfigure, "", "O&ptions...", "KVR View options\nKVR View options", "",
         false},
        {kCmdUpload, kKvr, "", "&Upload from KVR",
         "Upload the current configuration settings from the attached KVR\nUpload from the KVR", "",
         false},
        {kCmdDownload, kKvr, "", "&Download to KVR",
         "Download the current configuration settings to the attached KVR\nDownload to the KVR", "",
         false},
        {kCmdTransmissionSetup, kKvr, "", "&Transmission Setup...",
         "Configure the serial communications setup.", "", false},
        {kCmdFactoryChannel1, kKvr, kFactory, "KVR 100 / KVR 300 Channel &1", "", "", false},
        {kCmdFactoryChannel2, kKvr, kFactory, "KVR 300 Channel &2", "", "", false},
        {kCmdFactoryChannel3, kKvr, kFactory, "KVR 300 Channel &3", "", "", false},
        {kCmdFactoryMainBoard, kKvr, kFactory, "KVR 300 &Main Board", "", "", false},
        {kCmdFactoryCom, kKvr, kFactory, "KVR &COM", "", "", false},
        {kCmdFactoryDisplay, kKvr, kFactory, "KVR &Display", "", "", false},
        {kCmdQueryDevice, kKvr, "", "&Query Device Type",
         "Check what type of device is attached\nQuery device type", "", false},
        {kCmdPassword, kKvr, "", "&Password...", "Change the configuration password.", "", false},
        {kCmdToolbar, kView, "", "&Toolbar", "Show or hide the toolbar\nToggle ToolBar", "", true},
        {kCmdStatusBar, kView, "", "&Status Bar", "Show or hide the status bar\nToggle StatusBar",
         "", true},
        {kCmdSecondaries, kView, "", "Se&condaries",
         "Toggle between primary and secondary monitor values.", "", true},
        {kCmdEnableLogging, kView, "", "&Enable Logging", "Enable Logging", "", false},
        {kCmdDisableLogging, kView, "", "&Disable Logging", "Disable Logging", "", false},
        {kCmdNewLog, kView, "", "&New Log File...",
         "Choose a new log file and log the monitors to it\nNew log file", "", false},
        {kCmdHelpTopics, kHelp, "", "&Help Topics", "List Help topics\nHelp Topics", "", false},
        {kCmdContextHelp, kHelp, "", "&What's This?",
         "Display help for clicked on buttons, menus and windows\nHelp", "Shift+F1", false},
        {kCmdAbout, kHelp, "", "&About KVR View...",
         "Display program information, version number and copyright\nAbout", "", false},
        {kCmdCalAllInputs, kCalibrate, "", "All &Inputs",
         "Calibrate all the input channels\nCalibrate all inputs", "", false},
        {kCmdCalInput1, kCalibrate, "", "Input &1",
         "Calibrate the input channel 1\nCalibrate input 1", "", false},
        {kCmdCalInput2, kCalibrate, "", "Input &2",
         "Calibrate the input channel 2\nCalibrate input 2", "", false},
        {kCmdCalInput3, kCalibrate, "", "Input &3",
         "Calibrate the input channel 3\nCalibrate input 3", "", false},
        {kCmdTestAnalogOutputs, kCalibrate, "", "Test Analog Outputs",
         "Pretest the outputs setting them to Min, Nominal and Max", "", false},
        {kCmdCalAllOutputs, kCalibrate, "", "All &Outputs",
         "Calibrate all the output channels\nCalibrate all outputs", "", false},
        {kCmdCalAllOutputs2, kCalibrate, "", "All Outputs 2", "", "", false},
        {kCmdAllSerialNumbers, kCalibrate, "", "All Serial Numbers", "", "", false},
        {kCmdUploadUntilFirstFail, kCalibrate, "", "Upload until first fail",
         "Upload until first failure or continue trying with other channels.", "", true},
        {kCmdDownloadPreferences, kCalibrate, "", "Download Preferences", "", "", false},
        {kCmdKvr100Address, kCalibrate, "", "KVR100 Address", "", "", false},
        {kCmdHelp, "", "", "", "Display help for current task or command\nHelp", "F1", false},
        {kCmdPrint, "", "", "", "Print the active document\nPrint", "Ctrl+P", false},
    };
    return kCommands;
}

const Command* FindCommand(int id) {
    for (const Command& c : Commands()) {
        if (c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

const std::vector<std::string>& Popups() {
    static const std::vector<std::string> kPopups = {kFile, kConfigure, kKvr,
                                                     kView, kHelp,      kCalibrate};
    return kPopups;
}

const std::vector<int>& ToolbarLayout() {
    static const std::vector<int> kLayout = {
        kCmdUpload,         kCmdDownload,     kCmdSeparator,     kCmdInputs,
        kCmdOutputs,        kCmdCalAllInputs, kCmdCalAllOutputs, kCmdSeparator,
        kCmdMonitors,       kCmdSecondaries,  kCmdSeparator,     kCmdEnableLogging,
        kCmdDisableLogging, kCmdNewLog,       kCmdSeparator,     kCmdDiagnostics,
        kCmdDisplay,        kCmdCom,          kCmdQueryDevice,   kCmdSeparator,
        kCmdAbout,          kCmdContextHelp};
    return kLayout;
}

std::string PromptText(const Command& c) {
    std::string p = c.prompt;
    return p.substr(0, p.find('\n'));
}

std::string ToolTipText(const Command& c) {
    std::string p = c.prompt;
    size_t nl = p.find('\n');
    return nl == std::string::npos ? p : p.substr(nl + 1);
}

}  // namespace kvr::app
