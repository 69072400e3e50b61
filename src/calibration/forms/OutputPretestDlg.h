// "Analog Output Pretest": a row per output with "Minimum", "Nominal" and "Maximum" fields;
// a field that gets the focus drives its output to the value typed in it. The 5000 ms
// timer keeps the units awake and in output test mode; however the form closes, output
// test goes off for every channel.
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>

#include "calibration/OutputPretest.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kvr {

class COutputPretestDlg final : public QDialog {
    Q_OBJECT
  public:
    // The rules must be open (OutputPretest::Open succeeded).
    COutputPretestDlg(OutputPretest& rules, QWidget* parent = nullptr);

    QLineEdit* Field(int output, int field) const {
        return fields_.at(static_cast<size_t>(output)).at(static_cast<size_t>(field));
    }
    QLabel* NoteLabel() const { return note_; }
    QPushButton* CancelButton() const { return cancel_; }

    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    OutputPretest& rules_;
    std::array<std::array<QLineEdit*, kPretestFields>, kCalOutputs> fields_{};
    QLabel* note_;
    QPushButton* cancel_;
    QTimer keepAlive_;
};

// Opens the rules and runs the form modally; false, with nothing shown, when the device
// lock is not obtained.
bool RunOutputPretest(QWidget* parent, CQRLDoc& doc);

}  // namespace kvr
