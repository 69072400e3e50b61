// "Select Serial Port": the 32 numbered ports (each showing the device it opens), the
// device the selected number is bound to (automatic, a USB adapter by its stable name, or
// a device path) and the four line settings. The checks and their messages are
// link/PortSetup.h's; the form edits a copy of the settings and gives it back on OK,
// and stores changed bindings in the port map then. With a scanner it looks again every
// second and shows adapters as they come and go.
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>
#include <map>
#include <string>
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
    // The binding of the selected number: its items carry the binding (empty: automatic).
    QComboBox* BindingCombo() const { return binding_; }
    // Bindings changed in the form, stored on OK.
    const std::map<int, std::string>& PendingBindings() const { return pending_; }

    // Looks for adapters now and then once a second (the desktop's scan of /dev).
    void SetScanner(std::function<PortScan()> scanner);
    // Shows a new scan when it differs from the one shown; true then.
    bool Refresh();

    // OK: the checks in order; the first failure is shown and the form stays open.
    void accept() override;

  private:
    void ShowScan();
    void ShowBindingOf(int number);
    void BindSelected(int index);

    PortSettings settings_;
    PortScan scan_;
    std::function<PortScan()> scanner_;
    QTimer rescan_;
    std::map<int, std::string> pending_;
    QComboBox* binding_ = nullptr;
    bool showingBinding_ = false;
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
