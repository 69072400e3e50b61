// "Monitor Configuration": the list of monitors with add, remove, move, the columns
// value and the log file buttons, mirroring MonitorConfig, which holds every rule.
//
// Integration: the view keeps one MonitorConfig for its lifetime and runs the command as
//   RunMonitorConfigForm(this, doc, monitorConfig, viewState,
//                        [display](int n, bool c) { display->LayoutMonitors(n, c); });
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <string>

#include "document/QRLDoc.h"
#include "monitor/MonitorConfig.h"
#include "monitor/MonitorTimer.h"

class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

namespace kvr {

class CMonitorConfigForm final : public QDialog {
    Q_OBJECT
  public:
    // The log-file chooser behind "&Open Log ..."; RunLogFileForm unless replaced.
    using LogChooser = std::function<bool(QWidget* owner, std::string& path, uint32_t& ms)>;

    // `config` must have been opened (MonitorConfig::Open).
    CMonitorConfigForm(MonitorConfig& config, QWidget* parent = nullptr);
    void SetLogChooser(LogChooser chooser) { logChooser_ = std::move(chooser); }

    QListWidget* List() const { return list_; }
    QPushButton* AddButton() const { return add_; }
    QPushButton* RemoveButton() const { return remove_; }
    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }
    QLineEdit* ColumnsEdit() const { return columns_; }
    QPushButton* OpenLogButton() const { return openLog_; }
    QPushButton* CloseLogButton() const { return closeLog_; }
    QPushButton* CloseButton() const { return close_; }
    QPushButton* CancelButton() const { return cancel_; }

  private:
    void FillList();
    void OnSelectionChanged();
    void OnAdd();
    void OnRemove();
    void OnMove(bool up);
    void OnStepColumns(int step);
    void OnOpenLog();
    void OnCloseLog();
    void OnClose();
    void SyncButtons();

    MonitorConfig& config_;
    LogChooser logChooser_;
    QListWidget* list_;
    QPushButton* add_;
    QPushButton* remove_;
    QToolButton* up_;
    QToolButton* down_;
    QLineEdit* columns_;
    QToolButton* columnsUp_;
    QToolButton* columnsDown_;
    QPushButton* openLog_;
    QPushButton* closeLog_;
    QPushButton* close_;
    QPushButton* cancel_;
    bool filling_ = false;
};

// The "&Monitors..." command with this form; false when the device lock was not had or
// the form was cancelled. The view's log path, interval and due time follow the form.
bool RunMonitorConfigForm(QWidget* parent, CQRLDoc& doc, MonitorConfig& config,
                          MonitorViewState& view,
                          const std::function<void(int count, bool columnsChanged)>& layout);

}  // namespace kvr
