// "Relay Output Configuration": mirrors RelayOutputForm. The pulse group serves the
// energies, the threshold group every other entity; the phasor control appears for Power
// Factor.
#pragma once

#include <QDialog>

#include "measure/RelayOutput.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kvr {

class CPhasorCtrl;

class CRelayOutputDlg final : public QDialog {
    Q_OBJECT
  public:
    CRelayOutputDlg(CQRLDoc& doc, int channel, int port, QWidget* parent = nullptr);

    RelayOutputForm& Rules() { return form_; }
    QLineEdit* PowerEdit() const { return power_; }
    QSpinBox* PulsesSpin() const { return pulses_; }
    QLineEdit* TriggerEdit() const { return trigger_; }
    QLineEdit* HysteresisEdit() const { return hysteresis_; }
    QComboBox* DirectionList() const { return direction_; }
    QGroupBox* PulseGroup() const { return pulseGroup_; }
    QGroupBox* ThresholdGroup() const { return thresholdGroup_; }
    QCheckBox* Secondary() const { return secondary_; }
    CPhasorCtrl* Phasor() const { return phasor_; }
    QPushButton* OkButton() const { return ok_; }

  private:
    void Sync();
    void OnChange();
    void OnOk();
    void FocusField(RelayField field);

    CQRLDoc& doc_;
    RelayOutputForm form_;
    QLabel* label_;
    QPushButton* change_;
    QGroupBox* pulseGroup_;
    QLineEdit* power_;
    QSpinBox* pulses_;
    QGroupBox* thresholdGroup_;
    QLineEdit* trigger_;
    QLineEdit* hysteresis_;
    QComboBox* direction_;
    CPhasorCtrl* phasor_;
    QCheckBox* secondary_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

// Modal; true when OK wrote the record.
bool RunRelayOutput(QWidget* parent, CQRLDoc& doc, int channel, int port);

}  // namespace kvr
