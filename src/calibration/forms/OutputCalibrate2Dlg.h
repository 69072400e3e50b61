// "Output Calibrate 2": a row per output with, for the lower and the upper point, a target
// list, a read-only value box showing the target output and a scroll bar that moves the DAC
// value; every move drives the output. The 5000 ms timer keeps the units awake; however the
// form closes, output test goes off for every channel.
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>

#include "calibration/OutputCalibration.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace kvr {

class COutputCalibrate2Dlg final : public QDialog {
    Q_OBJECT
  public:
    // The rules must be open (OutputCalibrate2::Open succeeded).
    COutputCalibrate2Dlg(OutputCalibrate2& rules, QWidget* parent = nullptr);

    QComboBox* TargetList(int point) const { return targets_.at(static_cast<size_t>(point)); }
    QLineEdit* ValueBox(int point) const { return boxes_.at(static_cast<size_t>(point)); }
    QScrollBar* Bar(int point) const { return bars_.at(static_cast<size_t>(point)); }
    QLabel* NoteLabel() const { return note_; }
    QPushButton* OkButton() const { return ok_; }

    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnBarAction(int point, int action);
    void SyncPoint(int point);
    void SyncNote();

    OutputCalibrate2& rules_;
    std::array<QComboBox*, kCalPoints> targets_{};
    std::array<QLineEdit*, kCalPoints> boxes_{};
    std::array<QScrollBar*, kCalPoints> bars_{};
    QLabel* note_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QTimer keepAlive_;
};

// Opens the rules for every output and runs the form modally; false, with nothing shown,
// when the device lock is not obtained. True when OK stored a calibration.
bool RunOutputCalibrate2(QWidget* parent, CQRLDoc& doc);

}  // namespace kvr
