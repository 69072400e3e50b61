// The rules of the "Monitor Configuration" form: the list of monitors being edited, add,
// remove, move, the columns value, the log file buttons, and what "C&lose" and "&Cancel"
// do to the document. The form only mirrors this state and forwards clicks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/QRLDoc.h"
#include "measure/ChooseEntity.h"

namespace kvr {

inline constexpr const char* kMonitorFormTitle = "Monitor Configuration";
inline constexpr const char* kTooManyMonitorsTitle = "Too many monitors!";
inline constexpr const char* kMaxMonitorsSetFormat = "A maximum of %d monitors may be set.";
inline constexpr const char* kMaxMonitorsAddedFormat = "A maximum of %d monitors may be added.";
inline constexpr const char* kLossOfDataTitle = "Loss of data!";
inline constexpr const char* kLossOfDataQuestion =
    "Since the monitors have changed, the current log file will be overwritten with new data. "
    "\nShould you wish to start a new log file, click on Cancel and then on 'Open Log' to open "
    "a new log file.";
inline constexpr const char* kColumnsNotIntegerText = "Please enter an integer.";
inline constexpr const char* kColumnsRangeText = "Please enter an integer between 1 and 5.";
inline constexpr int kMinColumns = 1;
inline constexpr int kMaxColumns = 5;
inline constexpr unsigned kMoveBeepHz = 1000;
inline constexpr unsigned kMoveBeepMs = 50;

// A monitor packed into one number: the channel in the high byte, the entity in the low.
constexpr uint16_t MonitorKey(int channel, MeasuredEntity entity) {
    return static_cast<uint16_t>(((channel & 0xFF) << 8) | (EntityCode(entity) & 0xFF));
}

struct MonitorRow {
    std::string text;
    uint16_t key = 0;
    int Channel() const { return key >> 8; }
    MeasuredEntity Entity() const { return EntityFromCode(key & 0xFF); }
};

// How "C&lose" ends.
enum class MonitorFormEnd {
    Ok,         // the form closes; the document holds the new list
    Cancelled,  // the form closes as cancelled; the document is unchanged
    StayOpen,   // the form stays open
};

class MonitorConfig {
  public:
    explicit MonitorConfig(CQRLDoc& doc);

    // Kept from one opening to the next; the view hands them in before each opening and
    // takes the log values back after "C&lose".
    int columns = 1;
    std::string logPath;
    uint32_t logIntervalMs = 0xFFFFFFFFu;  // all bits set: no log
    // The columns edit's text, validated by "C&lose".
    std::string columnsText;

    // Form initialisation: the rows from the document's valid monitors, flags cleared.
    void Open();

    const std::vector<MonitorRow>& Rows() const { return rows_; }
    bool Modified() const { return modified_; }
    bool LogOpened() const { return logOpened_; }
    bool RemoveEnabled() const { return removeEnabled_; }
    bool CloseLogEnabled() const { return closeLogEnabled_; }

    // The list's selection (row indices) and the row with the focus (-1: none).
    void SetSelection(const std::vector<int>& selected, int focus = -1);
    const std::vector<int>& Selection() const { return selected_; }
    int Focus() const { return focus_; }

    // "<- &Add": the chooser to show in add mode, or null after the "may be set" message.
    // The chooser's add requests reach AddRequest; EndAdd when it has closed.
    ChooseEntityLogic* BeginAdd();
    ChooseEntityLogic* Chooser() const { return chooser_.get(); }
    void EndAdd();
    // An add request from the chooser: a row with its label, or the "may be added"
    // message when the list or the document already holds 60. True when added.
    bool AddRequest(int channel, MeasuredEntity entity, const std::string& label);

    // "-> &Remove": the selected rows, highest index first. False with none selected.
    bool Remove();
    // The arrows beside the list: up toward the top. Beeps unless exactly one row is
    // selected; the first row up and the last row down do nothing. True when moved.
    bool Move(bool up);

    // "&Open Log ...", after the chooser closed with OK: its path and interval become the
    // form's and the file is started (a failure is not reported here).
    void LogChosen(const std::string& path, uint32_t intervalMs);
    // The header "&Open Log ..." wrote: for the document's monitors as they were then.
    const std::string& ChosenLogHeader() const { return chosenLogHeader_; }
    // "Clo&se Log": no log any more.
    void CloseLog();

    // "C&lose". The list goes to the document before the "Loss of data!" question and
    // before the columns are checked, so it is there even when the form stays open.
    MonitorFormEnd Close();
    // True when "C&lose" asked "Loss of data!" and the answer was OK: the user agreed that
    // the current log file starts afresh for the new monitors.
    bool LogRestartAgreed() const { return logRestartAgreed_; }
    // Called by "C&lose" where the views are told to update.
    std::function<void()> onUpdateViews;

  private:
    CQRLDoc& doc_;
    std::vector<MonitorRow> rows_;
    std::vector<int> selected_;
    int focus_ = -1;
    std::unique_ptr<ChooseEntityLogic> chooser_;
    bool modified_ = false;
    bool logOpened_ = false;
    bool removeEnabled_ = false;
    bool closeLogEnabled_ = false;
    bool logRestartAgreed_ = false;
    std::string chosenLogHeader_;
};

// The view's side of the "&Monitors..." command, around the modal form:
//   showForm shows the form over `form` (already opened: rows filled, flags cleared) and
//   gives true when its "C&lose" ended with MonitorFormEnd::Ok;
//   layout(count, columnsChanged) lays the monitor display out again.
// The log values are the view's (path, interval, the time the next line is due, logging
// on, the header last written to the file).
struct MonitorLogSettings {
    std::string& path;
    uint32_t& intervalMs;
    uint64_t& nextDueMs;
    bool& enabled;
    std::string& header;
};
// A log chosen with "&Open Log ..." starts logging at once, under a header for the list
// the form stored; "Clo&se Log" switches logging off. False when the device lock was not
// obtained or the form was cancelled.
bool RunMonitorsCommand(CQRLDoc& doc, MonitorConfig& form, MonitorLogSettings log,
                        const std::function<bool()>& showForm,
                        const std::function<void(int count, bool columnsChanged)>& layout);

}  // namespace kvr
