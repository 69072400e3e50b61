// "KVR Diagnostics": a page per board mirroring DiagnosticsPage (relays, DAC, loopback,
// user and factory mode, serial number), over DiagnosticsSheet, which holds the device lock
// while the sheet is open. A page opens when it is first shown and from then on keeps the
// units awake every 5 seconds.
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <vector>

#include "calibration/Diagnostics.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace kvr {

class CDiagnosticsPage final : public QWidget {
    Q_OBJECT
  public:
    CDiagnosticsPage(DiagnosticsPage& page, QWidget* parent = nullptr);

    // Opens the page once (port 1, Attention, serial number and version).
    void OpenOnce();
    DiagnosticsPage& Rules() { return page_; }

    QLineEdit* SerialEdit() const { return serial_; }
    QPushButton* PlusButton() const { return plus_; }
    QPushButton* DownloadButton() const { return download_; }
    QComboBox* LoopbackList() const { return loopback_; }
    QLineEdit* TestByteEdit(int i) const { return testBytes_[static_cast<size_t>(i)]; }
    QPushButton* SetModeButton() const { return setMode_; }
    QRadioButton* UserModeButton() const { return userMode_; }
    QRadioButton* FactoryModeButton() const { return factoryMode_; }
    QLineEdit* VersionEdit() const { return version_; }
    QRadioButton* PortButton(int port) const { return ports_[static_cast<size_t>(port)]; }
    QLineEdit* DacEdit() const { return dac_; }
    QPushButton* DacSetButton() const { return dacSet_; }
    QPushButton* RelayButton(RelayAction action) const {
        return relays_[static_cast<size_t>(action)];
    }

  private:
    void Sync();
    void OnPort(int port);

    DiagnosticsPage& page_;
    QLineEdit* serial_;
    QPushButton* plus_;
    QPushButton* download_;
    QComboBox* loopback_;
    std::array<QLineEdit*, kTestBytes> testBytes_{};
    QPushButton* setMode_;
    QRadioButton* userMode_;
    QRadioButton* factoryMode_;
    QLineEdit* version_;
    std::array<QRadioButton*, kBoardOutputPorts> ports_{};
    QButtonGroup* portGroup_;
    QLineEdit* dac_;
    QPushButton* dacSet_;
    std::array<QPushButton*, 3> relays_{};
    QTimer keepAlive_;
};

class CDiagnosticsDlg final : public QDialog {
    Q_OBJECT
  public:
    explicit CDiagnosticsDlg(CQRLDoc& doc, QWidget* parent = nullptr);

    // Takes the device lock and builds the pages; false when the lock was not obtained.
    bool Open();

    DiagnosticsSheet& Rules() { return sheet_; }
    QTabWidget* Tabs() const { return tabs_; }
    CDiagnosticsPage* Page(int index) const { return pages_.at(static_cast<size_t>(index)); }
    QPushButton* CancelButton() const { return cancel_; }

  public Q_SLOTS:
    void reject() override;

  private:
    void OnPageShown(int index);

    DiagnosticsSheet sheet_;
    QTabWidget* tabs_;
    QPushButton* cancel_;
    std::vector<CDiagnosticsPage*> pages_;
};

// "Dia&gnostics...": the sheet, modally, holding the device lock while it is open.
void RunDiagnostics(QWidget* parent, CQRLDoc& doc);

}  // namespace kvr
