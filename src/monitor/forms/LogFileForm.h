// "Select Log File": the save-file form with a "Logging Interval (sec) :" field below it.
// The field's rules are the core's (monitor/LogFile.h); the form stays open while the
// field is refused.
//
// Integration: the view's LogFileChooser is
//   [this](std::string& path, uint32_t& ms) { return RunLogFileForm(this, path, ms); }
#pragma once

#include <QFileDialog>
#include <cstdint>
#include <string>

class QLineEdit;

namespace kvr {

class CLogFileForm final : public QFileDialog {
    Q_OBJECT
  public:
    // The proposed path (may be empty) and the interval the field shows.
    CLogFileForm(const std::string& path, uint32_t intervalMs, QWidget* parent = nullptr);

    QLineEdit* IntervalEdit() const { return interval_; }
    // After OK: the chosen full path and the interval read from the field.
    std::string ChosenPath() const { return chosenPath_; }
    uint32_t IntervalMs() const { return intervalMs_; }

  public Q_SLOTS:
    void accept() override;

  private:
    QLineEdit* interval_;
    std::string chosenPath_;
    uint32_t intervalMs_;
};

// The chooser, modal: true with path and interval replaced on OK; unchanged on Cancel.
bool RunLogFileForm(QWidget* parent, std::string& path, uint32_t& intervalMs);

}  // namespace kvr
