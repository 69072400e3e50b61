// "Set All Serial numbers": mirrors SetAllSerialNumbers, which holds the device lock while
// the form is open. The form stays open after a download; Cancel closes it.
#pragma once

#include <QDialog>

#include "calibration/Diagnostics.h"

class QLineEdit;
class QPushButton;

namespace kvr {

class CSerialNumbersDlg final : public QDialog {
    Q_OBJECT
  public:
    explicit CSerialNumbersDlg(CQRLDoc& doc, QWidget* parent = nullptr);

    // Takes the device lock and shows the last channel's serial number; false when the
    // lock was not obtained.
    bool Open();

    SetAllSerialNumbers& Rules() { return form_; }
    QLineEdit* SerialEdit() const { return serial_; }
    QPushButton* PlusButton() const { return plus_; }
    QPushButton* DownloadButton() const { return download_; }
    QPushButton* CancelButton() const { return cancel_; }

  private:
    SetAllSerialNumbers form_;
    QLineEdit* serial_;
    QPushButton* plus_;
    QPushButton* download_;
    QPushButton* cancel_;
};

// "All Serial Numbers": the form, modally, holding the device lock while it is open.
void RunSetAllSerialNumbers(QWidget* parent, CQRLDoc& doc);

}  // namespace kvr
