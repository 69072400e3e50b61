// "Analog Output Calibration": a row per output with a lower and an upper level list and
// measured-value field. A field that gets the focus drives its output to the point's level;
// the form's 5000 ms timer keeps the units awake. However the form closes (OK, Cancel, the
// window's close button, Escape or its destruction), output test goes off for every channel.
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>

#include "calibration/OutputCalibration.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kvr {

class COutputCalibrationDlg final : public QDialog {
    Q_OBJECT
  public:
    // The rules must be open (OutputCalibration::Open succeeded).
    COutputCalibrationDlg(OutputCalibration& rules, QWidget* parent = nullptr);

    QComboBox* LevelList(int point) const { return levels_.at(static_cast<size_t>(point)); }
    QLineEdit* Field(int point) const { return fields_.at(static_cast<size_t>(point)); }
    QLabel* NoteLabel() const { return note_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnOk();
    void SyncNote();

    OutputCalibration& rules_;
    std::array<QComboBox*, kCalPoints> levels_{};
    std::array<QLineEdit*, kCalPoints> fields_{};
    QLabel* note_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QTimer keepAlive_;
};

// Opens the rules for outputs first to last and runs the form modally; false, with nothing
// shown, when the device lock is not obtained. True when OK stored a calibration.
bool RunOutputCalibration(QWidget* parent, CQRLDoc& doc, int firstOutput = 0,
                          int lastOutput = kCalOutputs - 1);

}  // namespace kvr
