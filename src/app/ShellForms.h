// The shell's own form: "About KVR View" ("Options" is the reports' form,
// report/forms/OptionsForm.h).
#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "document/QRLDoc.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;

namespace kvr::app {

// Built afresh each time from the document's branding texts.
class CAboutBox final : public QDialog {
    Q_OBJECT
  public:
    CAboutBox(const CQRLDoc& doc, int branding, QWidget* parent = nullptr);

    QLabel* ProductLabel() const { return product_; }
    QLabel* BuildLabel() const { return build_; }
    QLabel* TalkLabel() const { return talk_; }
    QLabel* Picture() const { return picture_; }
    QGroupBox* ContactGroup() const { return contact_; }
    QPushButton* ContactButton() const { return contactButton_; }
    QPushButton* SystemInfoButton() const { return systemInfo_; }
    QString AddressText() const;  // the three address and contact lines

  private:
    void StartSystemInfo();

    QLabel* picture_;
    QLabel* product_;
    QLabel* build_;
    QLabel* talk_;
    QGroupBox* contact_;
    QPushButton* contactButton_;
    QPushButton* systemInfo_;
    QString systemInfoPath_;
    QTimer* repaint_;
};

}  // namespace kvr::app
