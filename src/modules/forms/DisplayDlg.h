// "KVR Display Configuration": the 24 lines of a KVR Display module, one at a time, over
// DisplayEditor. The form copies its controls into the editor's fields before each rule
// and shows the fields after it.
#pragma once

#include <QDialog>
#include <functional>

#include "modules/DisplayEditor.h"

class QAction;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace kvr {

// What the toolbar's report buttons run: printing the setup and saving it as a PDF
// report. The form's controls are in the editor's fields when one runs (not yet stored
// into the current line) and the fields are shown again afterwards. A button stays
// disabled while its handler is empty.
struct DisplayReportHandlers {
    std::function<void(DisplayEditor& editor)> print{};
    std::function<void(DisplayEditor& editor)> pdf{};
};

class CDisplayDlg final : public QDialog {
    Q_OBJECT
  public:
    explicit CDisplayDlg(CQRLDoc& doc, QWidget* parent = nullptr);

    // Reads the module's setup (synchronised, with its questions) and shows page 1 line 1;
    // false when the form is not to be shown.
    bool ReadModule();
    // The toolbar's print button runs this, enabled once set (see DisplayReportHandlers).
    void SetPrintHandler(std::function<void(DisplayEditor& editor)> handler);
    void SetPdfHandler(std::function<void(DisplayEditor& editor)> handler);

    DisplayEditor& Editor() { return editor_; }
    QSpinBox* PageSpin() const { return page_; }
    QSpinBox* LineSpin() const { return line_; }
    QToolButton* NextArrow() const { return next_; }
    QToolButton* PreviousArrow() const { return previous_; }
    QComboBox* ChannelList() const { return channel_; }
    QComboBox* ValueList() const { return value_; }
    QComboBox* DecimalsList() const { return decimals_; }
    QLineEdit* UnitsEdit() const { return units_; }
    QLineEdit* NominalEdit() const { return nominal_; }
    QLineEdit* LowEdit() const { return low_; }
    QLineEdit* HighEdit() const { return high_; }
    QPushButton* ClearButton() const { return clear_; }
    QPushButton* DefaultButton() const { return default_; }
    QPushButton* OkButton() const { return ok_; }
    QAction* LoadAction() const { return load_; }
    QAction* SaveAction() const { return save_; }
    QAction* SaveAsAction() const { return saveAs_; }
    QAction* PrintAction() const { return print_; }
    QAction* PdfAction() const { return pdf_; }

  private:
    void Take();
    void Show();
    void OnLineNumber();
    void OnOk();

    CQRLDoc& doc_;
    CDisplayLink link_;
    DisplayEditor editor_;
    std::function<void(DisplayEditor&)> printHandler_;
    std::function<void(DisplayEditor&)> pdfHandler_;
    QSpinBox* page_;
    QSpinBox* line_;
    QToolButton* next_;
    QToolButton* previous_;
    QComboBox* channel_;
    QComboBox* value_;
    QComboBox* decimals_;
    QLineEdit* units_;
    QLineEdit* nominal_;
    QLineEdit* low_;
    QLineEdit* high_;
    QPushButton* clear_;
    QPushButton* default_;
    QPushButton* ok_;
    QAction* load_;
    QAction* save_;
    QAction* saveAs_;
    QAction* print_;
    QAction* pdf_;
};

// The form for the document's port, shown modally once the module's setup was read;
// `contact` runs then. True when the setup was downloaded.
bool RunDisplayForm(QWidget* parent, CQRLDoc& doc, const std::function<void()>& contact,
                    const DisplayReportHandlers& reports = {});

}  // namespace kvr
