#include "monitor/MonitorTimer.h"

#include <algorithm>

#include "base/Clock.h"
#include "base/Text.h"
#include "base/UserSeam.h"

namespace kvr {

MonitorViewState::MonitorViewState() : nextLogDueMs(GetClock().NowMs() + kDefaultLogIntervalMs) {}

std::vector<uint16_t> MonitorKeys(const CQRLDoc& doc) {
    std::vector<uint16_t> keys;
    const MonitorList& monitors = doc.Monitors();
    for (size_t i = 0; i < monitors.Size(); ++i) {
        keys.push_back(MonitorKey(monitors.channels[i], monitors.EntityAt(i)));
    }
    return keys;
}

std::string LineLostText(const std::string& device) {
    return "Line lost: " + device + " - waiting for it to come back";
}

std::string LineBackText(const std::string& device, uint64_t lostMs) {
    return "Line back: " + device + " after " +
           FormatFixed(static_cast<double>(lostMs) / 1000.0, 0, 1) + " s";
}

namespace {

// Appends text to the log; a failure stops logging (interval "no log", path cleared,
// logging off and the log pane "No Log") and shows the cause once.
bool AppendToLog(MonitorViewState& view, const std::string& text) {
    LogFileError cause = LogFileError::none;
    if (AppendLine(view.logPath, text, cause)) {
        return true;
    }
    view.logIntervalMs = kNoLogInterval;
    view.logPath.clear();
    view.loggingEnabled = false;
    AppSetPaneText(StatusPane::Log, kLogPaneOff);
    AppMessageBox(std::string(kLogErrorPrefix) + LogFileErrorText(cause), MsgIcon::None,
                  MsgButtons::Ok, kLogErrorTitle);
    return false;
}

// The line lost or back since the last tick: once in the status bar and in the log.
void NoteLineChange(const MonitorShared& shared, MonitorViewState& view, uint64_t now,
                    MonitorTimerResult& result) {
    const LineStatus line = shared.Line();
    if (line.lost == view.lineLost) {
        return;
    }
    view.lineLost = line.lost;
    if (line.lost) {
        view.lineLostMs = now;
        view.lineDevice = line.device;
        result.lineNote = LineLostText(line.device);
    } else {
        result.lineNote = LineBackText(view.lineDevice, now - view.lineLostMs);
    }
    AppSetPaneText(StatusPane::Message, result.lineNote);
    if (!view.logPath.empty() && view.loggingEnabled) {
        AppendToLog(view, LogNoteLine(LocalTimeNow(), result.lineNote));
    }
}

}  // namespace

MonitorTimerResult MonitorTimerStep(const CQRLDoc& doc, MonitorShared& shared,
                                    MonitorViewState& view) {
    MonitorTimerResult result;
    const uint64_t now = GetClock().NowMs();
    NoteLineChange(shared, view, now, result);
    // Cleared before the copy: a cycle that lands meanwhile sets it again and is not lost.
    if (shared.newValues.exchange(false)) {
        const std::vector<std::string> texts = shared.texts.First(view.cells.size());
        std::copy(texts.begin(), texts.end(), view.cells.begin());
        result.textsCopied = true;
        ++view.readings;
        view.lastReadingMs = now;
        view.readingMonitors = MonitorKeys(doc);
    }

    if (!view.logPath.empty() && view.loggingEnabled && now >= view.nextLogDueMs) {
        view.nextLogDueMs += view.logIntervalMs;
        const std::vector<MeasuredEntity> entities = doc.Monitors().Entities();
        const size_t count = entities.size();
        // The table keeps the last values while the unit is silent; a line must not
        // present them as measured again, nor a former list's values as this one's.
        const bool fresh = view.readings != view.readingsAtLastLine &&
                           now - view.lastReadingMs <= view.logIntervalMs &&
                           view.readingMonitors == MonitorKeys(doc);
        const std::vector<std::string> texts =
            fresh ? shared.texts.First(count) : std::vector<std::string>(count, kInvalidValueText);
        const std::string header = LogHeaderLine(doc);
        // Header and line in one write, so the file never holds a line under the wrong one.
        const std::string text = (header == view.logHeader ? std::string() : header) +
                                 LogDataLine(LocalTimeNow(), entities, texts);
        // A failure stops logging and clears the path, so its message comes only once.
        if (AppendToLog(view, text)) {
            view.logHeader = header;
            view.readingsAtLastLine = view.readings;
            result.lineWritten = true;
        }
    }

    view.contact = shared.contact;
    result.contact = view.contact;
    return result;
}

namespace {

// Takes a path and interval from the log-file chooser, starts the file and logs from now.
// False when the chooser was cancelled.
bool ChooseAndStartLog(const CQRLDoc& doc, MonitorViewState& view, const LogFileChooser& choose,
                       std::string path) {
    uint32_t interval = view.logIntervalMs;
    if (!choose || !choose(path, interval)) {
        return false;
    }
    view.logPath = path;
    view.logIntervalMs = interval;
    StartLog(doc, path, &view.logHeader);
    return true;
}

void LogFromNow(MonitorViewState& view) {
    view.nextLogDueMs = GetClock().NowMs();
    view.loggingEnabled = true;
    AppSetPaneText(StatusPane::Log, kLogPaneOn);
}

}  // namespace

void EnableLogging(const CQRLDoc& doc, MonitorViewState& view, const LogFileChooser& choose) {
    if (view.logPath.empty() && !ChooseAndStartLog(doc, view, choose, std::string())) {
        return;
    }
    LogFromNow(view);
}

void DisableLogging(MonitorViewState& view) {
    view.loggingEnabled = false;
    view.nextLogDueMs = GetClock().NowMs();
    AppSetPaneText(StatusPane::Log, kLogPaneOff);
}

void NewLog(const CQRLDoc& doc, MonitorViewState& view, const LogFileChooser& choose) {
    if (ChooseAndStartLog(doc, view, choose, view.logPath)) {
        LogFromNow(view);
    }
}

void ToggleSecondaries(MonitorShared& shared) {
    const bool on = !shared.secondaries;
    shared.secondaries = on;
    AppSetPaneText(StatusPane::Secondaries, on ? kSecondariesPaneOn : kSecondariesPaneOff);
}

}  // namespace kvr
