#include "monitor/MonitorConfig.h"

#include <algorithm>
#include <cstdio>

#include "base/Clock.h"
#include "base/UserSeam.h"
#include "document/MonitorStore.h"
#include "link/TalkLink.h"
#include "measure/EntityChannel.h"
#include "measure/MeasuredValue.h"
#include "monitor/LogFile.h"
#include "monitor/MonitorTimer.h"

namespace kvr {

namespace {

std::string WithMaximum(const char* format) {
    char text[96];
    std::snprintf(text, sizeof text, format, kMaxMonitors);
    return text;
}

void TooManyMonitors(const char* format) {
    AppMessageBox(WithMaximum(format), MsgIcon::Warning, MsgButtons::Ok, kTooManyMonitorsTitle);
}

}  // namespace

MonitorConfig::MonitorConfig(CQRLDoc& doc) : doc_(doc) {}

void MonitorConfig::Open() {
    closeLogEnabled_ = !logPath.empty();
    logOpened_ = false;
    modified_ = false;
    logRestartAgreed_ = false;
    removeEnabled_ = false;
    selected_.clear();
    focus_ = -1;
    columnsText = std::to_string(columns);
    rows_.clear();
    const MonitorList& monitors = doc_.Monitors();
    for (size_t i = 0; i < monitors.Size(); ++i) {
        const int channel = monitors.channels[i];
        const MeasuredEntity entity = monitors.EntityAt(i);
        std::string label;
        // A monitor the attached unit does not have gets no row, and so leaves the
        // document at the next "C&lose".
        if (DescribeEntityChannel(doc_, entity, channel, label, true, false)) {
            rows_.push_back({label, MonitorKey(channel, entity)});
        }
    }
}

void MonitorConfig::SetSelection(const std::vector<int>& selected, int focus) {
    selected_.clear();
    for (int index : selected) {
        if (index >= 0 && index < static_cast<int>(rows_.size()) &&
            std::find(selected_.begin(), selected_.end(), index) == selected_.end()) {
            selected_.push_back(index);
        }
    }
    focus_ = focus >= 0 && focus < static_cast<int>(rows_.size()) ? focus : -1;
    if (focus_ < 0 && selected_.size() == 1) {
        focus_ = selected_.front();
    }
    removeEnabled_ = true;
}

ChooseEntityLogic* MonitorConfig::BeginAdd() {
    if (rows_.size() >= static_cast<size_t>(kMaxMonitors)) {
        TooManyMonitors(kMaxMonitorsSetFormat);
        return nullptr;
    }
    chooser_ = std::make_unique<ChooseEntityLogic>(doc_, true);
    chooser_->entity = entity::kNone;
    chooser_->channel = 0;
    chooser_->energyAllowed = true;
    chooser_->exportAllowed = false;
    ChooseEntityLogic* chooser = chooser_.get();
    // The chooser's label of the pair it accepted is its message at this point.
    chooser_->onAdd = [this, chooser](MeasuredEntity e, int channel) {
        AddRequest(channel, e, chooser->Message());
    };
    chooser_->Open();
    return chooser;
}

void MonitorConfig::EndAdd() {
    chooser_.reset();
}

bool MonitorConfig::AddRequest(int channel, MeasuredEntity entity, const std::string& label) {
    // The document's count is the one stored by the last "C&lose", not the list's.
    if (doc_.Monitors().count >= kMaxMonitors ||
        rows_.size() >= static_cast<size_t>(kMaxMonitors)) {
        TooManyMonitors(kMaxMonitorsAddedFormat);
        return false;
    }
    rows_.push_back({label, MonitorKey(channel, entity)});
    modified_ = true;
    return true;
}

bool MonitorConfig::Remove() {
    if (selected_.empty()) {
        return false;
    }
    std::vector<int> indices = selected_;
    if (indices.size() > static_cast<size_t>(kMaxMonitors)) {
        indices.resize(kMaxMonitors);
    }
    // Highest first, so the indices still to delete stay valid.
    std::sort(indices.rbegin(), indices.rend());
    for (int index : indices) {
        rows_.erase(rows_.begin() + index);
    }
    selected_.clear();
    focus_ = -1;
    removeEnabled_ = false;
    modified_ = true;
    return true;
}

bool MonitorConfig::Move(bool up) {
    if (selected_.size() != 1) {
        AppBeep(kMoveBeepHz, kMoveBeepMs);
        return false;
    }
    const int row = focus_ >= 0 ? focus_ : selected_.front();
    const int last = static_cast<int>(rows_.size()) - 1;
    if ((up && row == 0) || (!up && row == last)) {
        return false;
    }
    const MonitorRow moved = rows_[static_cast<size_t>(row)];
    rows_.erase(rows_.begin() + row);
    const int target = up ? row - 1 : row + 1;
    rows_.insert(rows_.begin() + target, moved);
    selected_ = {target};
    focus_ = target;
    modified_ = true;
    return true;
}

void MonitorConfig::LogChosen(const std::string& path, uint32_t intervalMs) {
    logPath = path;
    logIntervalMs = intervalMs;
    StartLog(doc_, path, &chosenLogHeader_);
    logOpened_ = true;
}

void MonitorConfig::CloseLog() {
    logIntervalMs = kNoLogInterval;
    logPath.clear();
    closeLogEnabled_ = false;
}

MonitorFormEnd MonitorConfig::Close() {
    if (doc_.GetChannels() == 0) {
        return MonitorFormEnd::Cancelled;
    }
    if (!doc_.Port().EnsureOpen()) {
        AppMessageBox(kFailedToOpenPort, MsgIcon::Error, MsgButtons::Ok);
        return MonitorFormEnd::Cancelled;
    }
    MonitorList& monitors = doc_.Monitors();
    monitors.count = static_cast<uint16_t>(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i) {
        monitors.entities[i] = static_cast<uint8_t>(EntityCode(rows_[i].Entity()));
        monitors.channels[i] = static_cast<uint8_t>(rows_[i].Channel());
    }
    logRestartAgreed_ = false;
    if (modified_ && !logOpened_ && !logPath.empty()) {
        if (AppMessageBox(kLossOfDataQuestion, MsgIcon::Warning, MsgButtons::OkCancel,
                          kLossOfDataTitle) != MsgAnswer::Ok) {
            return MonitorFormEnd::StayOpen;
        }
        logRestartAgreed_ = true;
    }
    if (onUpdateViews) {
        onUpdateViews();
    }
    double value = 0;
    size_t end = 0;
    const bool number = ParseLeadingNumber(columnsText, value, end);
    const bool whole = number && columnsText.find_first_not_of(" \t", end) == std::string::npos &&
                       value == static_cast<double>(static_cast<long long>(value));
    if (!whole) {
        AppMessageBox(kColumnsNotIntegerText, MsgIcon::Warning, MsgButtons::Ok);
        return MonitorFormEnd::StayOpen;
    }
    if (value < kMinColumns || value > kMaxColumns) {
        AppMessageBox(kColumnsRangeText, MsgIcon::Warning, MsgButtons::Ok);
        return MonitorFormEnd::StayOpen;
    }
    columns = static_cast<int>(value);
    return MonitorFormEnd::Ok;
}

bool RunMonitorsCommand(CQRLDoc& doc, MonitorConfig& form, MonitorLogSettings log,
                        const std::function<bool()>& showForm,
                        const std::function<void(int count, bool columnsChanged)>& layout) {
    // Held while the form is open, so the reading thread leaves the port and the list alone.
    DeviceLock lock(doc);
    if (!lock.Lock()) {
        return false;
    }
    form.logPath = log.path;
    form.logIntervalMs = log.intervalMs;
    form.columns = doc.Monitors().columns;
    form.Open();
    if (!showForm()) {
        return false;
    }
    MonitorList& monitors = doc.Monitors();
    const uint16_t oldColumns = monitors.columns;
    monitors.columns = static_cast<uint16_t>(form.columns);
    if (layout) {
        layout(monitors.count, oldColumns != monitors.columns);
    }
    log.path = form.logPath;
    log.intervalMs = form.logIntervalMs;
    if (form.LogOpened() && !log.path.empty()) {
        // The file was started for the list as it was when it was chosen, and holds
        // nothing of this list yet: started again when the list has changed since.
        log.header = form.ChosenLogHeader();
        if (log.header != LogHeaderLine(doc)) {
            StartLog(doc, log.path, &log.header);
        }
        // Choosing a log file here means logging to it, from now on.
        log.enabled = true;
        log.nextDueMs = GetClock().NowMs();
        AppSetPaneText(StatusPane::Log, kLogPaneOn);
    } else if (form.LogRestartAgreed()) {
        // The user agreed to "will be overwritten": a header for the new columns, instead
        // of lines that no longer match the old one.
        StartLog(doc, log.path, &log.header);
        log.nextDueMs = GetClock().NowMs();
    } else if (log.path.empty() && log.enabled) {
        // "Clo&se Log": nothing is logged any more, and the pane says so.
        log.enabled = false;
        AppSetPaneText(StatusPane::Log, kLogPaneOff);
    }
    SaveMonitors(doc);
    return true;
}

}  // namespace kvr
