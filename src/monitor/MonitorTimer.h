// The view's side of monitoring without the window: its logging state, the step its
// 100 ms timer runs, and the logging and secondaries commands.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "document/QRLDoc.h"
#include "monitor/LogFile.h"
#include "monitor/MonitorConfig.h"
#include "monitor/ReadingThread.h"

namespace kvr {

inline constexpr unsigned kMonitorTimerMs = 100;
inline constexpr const char* kLogPaneOn = "Log   ";
inline constexpr const char* kLogPaneOff = "No Log";
inline constexpr const char* kSecondariesPaneOn = "SHOW SEC";
inline constexpr const char* kSecondariesPaneOff = "SHOW PRIM";

// The monitoring state the view holds (the user-interface thread's alone).
struct MonitorViewState {
    // The first log line is due 5000 ms after construction.
    MonitorViewState();

    std::string logPath;  // empty: no log
    uint32_t logIntervalMs = kDefaultLogIntervalMs;
    bool loggingEnabled = false;
    // Clock time (ms) at which the next log line is due; 64 bits, so it never wraps.
    uint64_t nextLogDueMs = 0;
    // The header line last written to the log file. A data line goes only under a header
    // for the document's monitors as they are now: when they differ (the monitor form, an
    // opened setup file, an upload), a new header starts a new section of the same file.
    std::string logHeader;
    // The value boxes' texts; the size is the display's cell count.
    std::vector<std::string> cells;
    bool contact = false;
    // Fresh texts taken from the reading thread: how many times, the count when the last
    // log line was written, and the clock time of the last. A line carries only values
    // read since the line before it (and within one logging interval), else "Invalid".
    uint64_t readings = 0;
    uint64_t readingsAtLastLine = 0;
    uint64_t lastReadingMs = 0;
    // The monitors (MonitorKey each) when the last fresh texts were taken: texts of an
    // older list are not logged under a newer list's header.
    std::vector<uint16_t> readingMonitors;
    // The line as last shown: lost since lineLostMs (clock time), which device.
    bool lineLost = false;
    uint64_t lineLostMs = 0;
    std::string lineDevice;

    MonitorLogSettings LogSettings() {
        return {logPath, logIntervalMs, nextLogDueMs, loggingEnabled, logHeader};
    }
};

struct MonitorTimerResult {
    bool textsCopied = false;  // the value boxes got fresh texts
    bool lineWritten = false;  // a log line was appended
    bool contact = false;      // for SetContactState
    // The line was lost or came back at this tick: what the status bar and the log said.
    std::string lineNote;
};

// The texts of a lost line and of its return.
std::string LineLostText(const std::string& device);
std::string LineBackText(const std::string& device, uint64_t lostMs);

// One tick of the view's 100 ms timer: fresh texts into the cells when the reading thread
// flagged new values; one log line when due (the due time advances by the interval from
// its old value, so a late timer writes one line per tick until it has caught up), with a
// new header before it when the monitors changed, and "Invalid" for every value when
// nothing was read since the previous line (contact lost, the port held by a form); a
// line that cannot be appended stops logging (interval "no log", path cleared, logging
// off and the log pane "No Log") and shows the cause once; then the contact flag for the
// display. When the reading thread finds the line lost or back, the status bar's message
// pane says so once, and the log (while logging) gets a line of its own for it; the data
// lines of the gap say "Invalid" as for any silence.
// The document's monitors, each as its MonitorKey, in order.
std::vector<uint16_t> MonitorKeys(const CQRLDoc& doc);

MonitorTimerResult MonitorTimerStep(const CQRLDoc& doc, MonitorShared& shared,
                                    MonitorViewState& view);

// The log-file chooser as the commands need it: proposed path and interval in, chosen ones
// out; false on Cancel. Its field is checked with ConfirmLogIntervalField.
using LogFileChooser = std::function<bool(std::string& path, uint32_t& intervalMs)>;

// "Enable logging": with no path yet, the chooser first (Cancel: logging stays off) and a
// new file; with a path, lines go on being appended under the existing header. The view
// runs the "&Monitors..." command first when its display has no cells.
void EnableLogging(const CQRLDoc& doc, MonitorViewState& view, const LogFileChooser& choose);
// "Disable logging".
void DisableLogging(MonitorViewState& view);
// "New log": the chooser with the current path and interval, then a new file.
void NewLog(const CQRLDoc& doc, MonitorViewState& view, const LogFileChooser& choose);
// "Secondaries": flips the flag the next reading cycle uses; sets status pane 1.
void ToggleSecondaries(MonitorShared& shared);

}  // namespace kvr
