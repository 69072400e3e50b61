// "KVR Input Configuration": a page per measuring channel ("Channel n") and the
// "3 Phase Settings" page, mirroring InputSheetModel, which decides every text, state,
// check and message. A toolbar loads and saves setup files through the template form.
//
// Integration: the view's "&Inputs..." command calls RunInputSheet(window(), doc), which
// takes the device lock, runs the sheet modally and derives the three-phase record.
#pragma once

#include <QDialog>
#include <QWidget>
#include <array>
#include <functional>

#include "measure/InputPage.h"
#include "measure/forms/MeasureFormHooks.h"

class QAction;
class QCheckBox;
class QPushButton;
class QTabWidget;

namespace kvr {

// One channel page: a control for each field, built from a table.
class CInputPage final : public QWidget {
    Q_OBJECT
  public:
    CInputPage(ChannelInputPage& page, QWidget* parent = nullptr);
    // The control of a field (QLineEdit, QComboBox, QCheckBox or QPushButton).
    QWidget* Control(InputField f) const { return controls_[static_cast<size_t>(f)]; }
    // Shows the page model's state; list entries only when they changed.
    void Sync();
    // Calibrate is offered only where an input calibration can follow its checks.
    void SetCalibrationAvailable(bool available);

  Q_SIGNALS:
    // After every change the user made, so the sheet can update its Apply button.
    void Edited();
    void CalibrateClicked();

  private:
    void Build();
    void Connect(InputField f);

    ChannelInputPage& page_;
    std::array<QWidget*, kInputFieldCount> controls_{};
    bool calibrationAvailable_ = false;
};

class CInputSheet final : public QDialog {
    Q_OBJECT
  public:
    CInputSheet(CQRLDoc& doc, QWidget* parent = nullptr);

    InputSheetModel& Model() { return model_; }
    QTabWidget* Tabs() const { return tabs_; }
    CInputPage* ChannelPage(int channel) const { return pages_.at(static_cast<size_t>(channel)); }
    QCheckBox* LineToLineBox() const { return lineToLine_; }
    QAction* LoadAction() const { return load_; }
    QAction* SaveAction() const { return save_; }
    QAction* SaveAsAction() const { return saveAs_; }
    QAction* PrintAction() const { return print_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* ApplyButton() const { return apply_; }
    QPushButton* CancelButton() const { return cancel_; }
    // Calibrate and Print stay disabled until their hooks are given.
    void SetHooks(MeasureFormHooks hooks);

  public Q_SLOTS:
    // OK: every visited page applied; a refusal keeps the sheet open on that page.
    void accept() override;

  private:
    bool ApplyPages();
    void OnPageChanged(int index);
    void OnCalibrate(int channel);
    void OnLoad();
    void OnSave(bool saveAs);
    void SyncAll();
    void UpdateButtons();

    CQRLDoc& doc_;
    InputSheetModel model_;
    MeasureFormHooks hooks_;
    QTabWidget* tabs_;
    std::array<CInputPage*, kInputChannelPages> pages_{};
    QCheckBox* lineToLine_;
    QAction* load_;
    QAction* save_;
    QAction* saveAs_;
    QAction* print_;
    QPushButton* ok_;
    QPushButton* apply_;
    QPushButton* cancel_;
};

// The "&Inputs..." command: nothing when the device lock is not had within its timeout
// (false); else the sheet, modally, then the three-phase record derived (true). The
// hooks serve the pages' Calibrate buttons and the Print button.
bool RunInputSheet(QWidget* parent, CQRLDoc& doc, MeasureFormHooks hooks = {});

}  // namespace kvr
