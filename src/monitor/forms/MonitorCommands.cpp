#include "monitor/forms/MonitorCommands.h"

#include "monitor/MonitorConfig.h"
#include "monitor/MonitorTimer.h"
#include "monitor/ReadingThread.h"
#include "monitor/forms/LogFileForm.h"
#include "monitor/forms/MonitorConfigForm.h"

namespace kvr {

namespace {

LogFileChooser LogChooser(MonitorCommandHost& host) {
    QWidget* owner = host.FormOwner();
    return [owner](std::string& path, uint32_t& intervalMs) {
        return RunLogFileForm(owner, path, intervalMs);
    };
}

void OnMonitors(MonitorCommandHost& host) {
    RunMonitorConfigForm(
        host.FormOwner(), host.Doc(), host.Config(), host.ViewState(),
        [&host](int count, bool columnsChanged) { host.LayoutMonitors(count, columnsChanged); });
}

void OnSecondaries(MonitorCommandHost& host) {
    ToggleSecondaries(host.Shared());
}

bool ShowsSecondaries(MonitorCommandHost& host) {
    return host.Shared().secondaries;
}

void OnEnableLogging(MonitorCommandHost& host) {
    EnableLogging(host.Doc(), host.ViewState(), LogChooser(host));
}

void OnDisableLogging(MonitorCommandHost& host) {
    DisableLogging(host.ViewState());
}

void OnNewLog(MonitorCommandHost& host) {
    NewLog(host.Doc(), host.ViewState(), LogChooser(host));
}

}  // namespace

CommandRows<MonitorCommandHost> MonitorCommandRows() {
    static const CommandRow<MonitorCommandHost> kRows[] = {
        {{kCmdMonitors, kPopupConfigure, "", "&Monitors...",
          "Add, remove and edit KVR signal monitors\nConfigure monitors", "", false},
         {40, 31},
         OnMonitors,
         nullptr,
         nullptr},
        {{kCmdSecondaries, kPopupView, "", "Se&condaries",
          "Toggle between primary and secondary monitor values.", "", true},
         {30, 32},
         OnSecondaries,
         nullptr,
         ShowsSecondaries},
        {{kCmdEnableLogging, kPopupView, "", "&Enable Logging", "Enable Logging", "", false},
         {40, 41},
         OnEnableLogging,
         nullptr,
         nullptr},
        {{kCmdDisableLogging, kPopupView, "", "&Disable Logging", "Disable Logging", "", false},
         {50, 42},
         OnDisableLogging,
         nullptr,
         nullptr},
        {{kCmdNewLog, kPopupView, "", "&New Log File...",
          "Choose a new log file and log the monitors to it\nNew log file", "", false},
         {60, 43},
         OnNewLog,
         nullptr,
         nullptr},
    };
    return kRows;
}

}  // namespace kvr
