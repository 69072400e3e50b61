// "KVR Output Configuration": twelve rows (caption, card type list, "Configure") built
// from OutputOverview, with the template toolbar of the input sheet above them.
// "Configure" opens the analog or relay output form of the row's port, or beeps.
#pragma once

#include <QDialog>
#include <array>

#include "measure/OutputOverview.h"
#include "measure/forms/MeasureFormHooks.h"

class QAction;
class QComboBox;
class QLabel;
class QPushButton;
class QToolBar;

namespace kvr {

class COutputOverviewDlg final : public QDialog {
    Q_OBJECT
  public:
    // Print and the analog form's "Calibrate DAC" stay disabled without their hooks.
    explicit COutputOverviewDlg(CQRLDoc& doc, QWidget* parent = nullptr,
                                MeasureFormHooks hooks = {});

    OutputOverview& Rules() { return overview_; }
    QLabel* Caption(int output) const { return rows_.at(static_cast<size_t>(output)).caption; }
    QComboBox* TypeList(int output) const { return rows_.at(static_cast<size_t>(output)).list; }
    QPushButton* ConfigureButton(int output) const {
        return rows_.at(static_cast<size_t>(output)).configure;
    }
    QToolBar* ToolBar() const { return toolBar_; }
    QAction* LoadAction() const { return load_; }
    QAction* PrintAction() const { return print_; }

  private:
    struct Row {
        QLabel* caption = nullptr;
        QComboBox* list = nullptr;
        QPushButton* configure = nullptr;
    };
    void Sync();
    void OnConfigure(int output);
    void OnLoad();

    CQRLDoc& doc_;
    MeasureFormHooks hooks_;
    OutputOverview overview_;
    std::array<Row, kOutputPorts> rows_{};
    QToolBar* toolBar_;
    QAction* load_;
    QAction* save_;
    QAction* saveAs_;
    QAction* print_;
};

// Modal.
void RunOutputOverview(QWidget* parent, CQRLDoc& doc, MeasureFormHooks hooks = {});

}  // namespace kvr
