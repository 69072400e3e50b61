// "KVR-Com Configuration": the KVR Com module's settings over ComSetup's choices. A byte
// the module holds outside a list shows as an empty list naming the byte and is written
// back as it came unless the user picks a choice.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "modules/ComSetup.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace kvr {

class CQRLDoc;

inline constexpr const char* kComFormTitle = "KVR-Com Configuration";

class CComDlg final : public QDialog {
    Q_OBJECT
  public:
    explicit CComDlg(CQRLDoc& doc, QWidget* parent = nullptr);

    // Reads the module's settings into the form; false (after its message) when the form
    // is not to be shown.
    bool ReadModule();

    QLineEdit* SerialEdit() const { return serial_; }
    QLineEdit* SlaveIdEdit() const { return slaveId_; }
    QComboBox* List(ComChoice which) const { return lists_[static_cast<size_t>(which)]; }
    QPushButton* OkButton() const { return ok_; }

  private:
    void OnOk();

    CComLink link_;
    ComSetupRecord original_;
    QLineEdit* serial_;
    QLineEdit* slaveId_;
    std::array<QComboBox*, kComChoiceLists> lists_{};
    QPushButton* ok_;
};

// The form for the document's port, shown modally once the settings were read;
// `contact` runs then. True when the settings were written.
bool RunComForm(QWidget* parent, CQRLDoc& doc, const std::function<void()>& contact);

}  // namespace kvr
