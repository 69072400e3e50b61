// "Analog Output Configuration": mirrors AnalogOutputForm, which reads, checks and writes
// everything. In Power Factor mode the limits are picked on the phasor control (minimum
// red, maximum blue) and the "Max :" and "Min :" captions give way to it.
#pragma once

#include <QDialog>
#include <functional>

#include "measure/AnalogOutput.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kvr {

class CPhasorCtrl;

class CAnalogOutputDlg final : public QDialog {
    Q_OBJECT
  public:
    // What "Calibrate DAC" opens for an output (output port + 4 × channel object); the
    // button stays disabled without it.
    using OutputCalibrationOpener = std::function<void(QWidget* parent, int output)>;

    // Opens the rules for port `port` of channel object `channel`.
    CAnalogOutputDlg(CQRLDoc& doc, int channel, int port, QWidget* parent = nullptr,
                     OutputCalibrationOpener calibrateOutput = {});

    AnalogOutputForm& Rules() { return form_; }
    QLineEdit* MinEdit() const { return minEdit_; }
    QLineEdit* MaxEdit() const { return maxEdit_; }
    QComboBox* OutMin() const { return outMin_; }
    QComboBox* OutMax() const { return outMax_; }
    QComboBox* Range() const { return range_; }
    QCheckBox* Secondary() const { return secondary_; }
    QCheckBox* PfLocked() const { return pfLocked_; }
    CPhasorCtrl* Phasor() const { return phasor_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* ChangeButton() const { return change_; }
    QPushButton* CalibrateButton() const { return calibrate_; }
    QLabel* EntityLabel() const { return label_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Sync();
    void OnChange();
    void OnOk();

    CQRLDoc& doc_;
    OutputCalibrationOpener calibrateOutput_;
    AnalogOutputForm form_;
    bool syncing_ = false;
    QLabel* label_;
    QPushButton* change_;
    QComboBox* range_;
    QLabel* maxCaption_;
    QLabel* minCaption_;
    QLineEdit* maxEdit_;
    QLineEdit* minEdit_;
    QComboBox* outMax_;
    QComboBox* outMin_;
    QCheckBox* secondary_;
    QCheckBox* pfLocked_;
    CPhasorCtrl* phasor_;
    QPushButton* ok_;
    QPushButton* cancel_;
    QPushButton* calibrate_;
};

// Modal; true when OK wrote the record.
bool RunAnalogOutput(QWidget* parent, CQRLDoc& doc, int channel, int port,
                     CAnalogOutputDlg::OutputCalibrationOpener calibrateOutput = {});

}  // namespace kvr
