// "KVR100 Address" and "Download Preferences": the rules are document/UnitAddressing.h's;
// these forms mirror them.
#pragma once

#include <QDialog>
#include <array>

#include "document/QRLDoc.h"
#include "document/UnitAddressing.h"

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace kvr {

// The choice takes effect at once, when a button is clicked; OK only closes.
class CKvr100AddressForm final : public QDialog {
    Q_OBJECT
  public:
    explicit CKvr100AddressForm(CQRLDoc& doc, QWidget* parent = nullptr);
    QRadioButton* AddressButton(int address) const;  // 0 to 2

  private:
    CQRLDoc& doc_;
    std::array<QRadioButton*, kKvr100AddressCount> buttons_{};
};

class CDownloadPreferencesForm final : public QDialog {
    Q_OBJECT
  public:
    explicit CDownloadPreferencesForm(CQRLDoc& doc, QWidget* parent = nullptr);

    enum Row { kDifferentUnit = 0, kSerialNumber, kCalibration, kRowCount };
    QCheckBox* GridBox(Row row, int column) const;  // column 0-2 the channels, 3 "3-Phase"
    QCheckBox* EnableBox() const { return enable_; }
    QCheckBox* NoUploadDialogBox() const { return noUploadDialog_; }
    QCheckBox* NoDownloadDialogBox() const { return noDownloadDialog_; }
    // Stored on its own in the settings store, not in the document; always enabled.
    QCheckBox* EveryBoardBox() const { return everyBoard_; }
    QPushButton* FactoryButton() const { return factory_; }
    const DownloadPreferences& Edited() const { return prefs_; }

    // OK: all fifteen values to the document, and the "write every board" choice stored.
    void accept() override;

  private:
    // The boxes from the edited values, and their enabled state from the enable box.
    void ShowValues();

    CQRLDoc& doc_;
    DownloadPreferences prefs_;
    QCheckBox* enable_;
    std::array<std::array<QCheckBox*, kChannelObjects>, kRowCount> grid_{};
    QCheckBox* noUploadDialog_;
    QCheckBox* noDownloadDialog_;
    QCheckBox* everyBoard_;
    QPushButton* factory_;
};

}  // namespace kvr
