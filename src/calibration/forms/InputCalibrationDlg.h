// "3-phase Input Calibration": mirrors InputCalibration. The 30 samples run one step per
// timer tick, so the window stays live while it samples and Cancel stops the run between
// two steps.
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>

#include "calibration/InputCalibration.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kvr {

class CInputCalibrationDlg final : public QDialog {
    Q_OBJECT
  public:
    // Channel indexes first to last (0 to 2).
    CInputCalibrationDlg(CQRLDoc& doc, int first, int last, QWidget* parent = nullptr);

    // Takes the device lock and fills the fields; false when the lock was not obtained.
    bool Open();

    InputCalibration& Rules() { return cal_; }
    QLineEdit* Field(int channel, bool current) const {
        return fields_[static_cast<size_t>(channel) * 2 + (current ? 1 : 0)];
    }
    QComboBox* PresetList(bool current) const { return current ? currentList_ : voltageList_; }
    QProgressBar* Progress() const { return progress_; }
    QLabel* NoteLabel() const { return note_; }
    QPushButton* CalibrateButton() const { return calibrate_; }
    QPushButton* SaveButton() const { return save_; }
    QPushButton* CancelButton() const { return cancel_; }

  public Q_SLOTS:
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Sync();
    void OnCalibrate();
    void OnStep();
    void ScheduleStep(unsigned pauseMs);
    void OnSave();

    InputCalibration cal_;
    std::array<QLineEdit*, static_cast<size_t>(kInputChannels) * 2> fields_{};
    QComboBox* voltageList_;
    QComboBox* currentList_;
    QProgressBar* progress_;
    QLabel* note_;
    QPushButton* calibrate_;
    QPushButton* save_;
    QPushButton* cancel_;
    QTimer stepTimer_;
};

// The view's commands and the input sheet's "C&alibrate": the form for channels first to
// last, modally, holding the device lock while it is open. True when the gains were applied.
bool RunInputCalibration(QWidget* parent, CQRLDoc& doc, int first, int last);

}  // namespace kvr
