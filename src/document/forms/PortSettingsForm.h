// "Select Serial Port": the 32 numbered ports (each showing the device it opens) and the
// four line settings. The checks and their messages are link/PortSetup.h's; the form
// edits a copy of the settings and gives it back on OK.
#pragma once

#include <QDialog>
#include <array>
#include <vector>

#include "base/Seams.h"
#include "link/PortMap.h"
#include "link/SerialPort.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QRadioButton;

namespace kvr {

class CPortSettingsForm final : public QDialog {
    Q_OBJECT
  public:
    // ports: the devices behind the numbers (PortTable()).
    CPortSettingsForm(const PortSettings& settings, const std::vector<PortEntry>& ports,
                      QWidget* parent = nullptr);

    // The edited settings; the stored ones until OK succeeded.
    const PortSettings& Settings() const { return settings_; }

    QRadioButton* PortButton(int number) const;  // 1 to 32
    QLabel* DeviceLabel(int number) const;
    int SelectedPort() const;  // 0 when none
    enum Field { kBaud = 0, kParity, kDataBits, kStopBits, kFieldCount };
    QComboBox* Combo(Field field) const { return combos_[field]; }

    // OK: the checks in order; the first failure is shown and the form stays open.
    void accept() override;

  private:
    PortSettings settings_;
    QButtonGroup* ports_;
    std::array<QRadioButton*, kMaxPortNumber + 1> buttons_{};
    std::array<QLabel*, kMaxPortNumber + 1> devices_{};
    std::array<QComboBox*, kFieldCount> combos_{};
};

// The form as the port settings editor of the seams (Seams::portSettingsEditor), owned by
// the active window. Asked from any other thread than the user interface's, it answers
// Cancel.
PortSettingsEditor QtPortSettingsEditor();

}  // namespace kvr
