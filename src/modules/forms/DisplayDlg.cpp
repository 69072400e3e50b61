#include "modules/forms/DisplayDlg.h"

#include <QAction>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/forms/TemplateTools.h"
#include "document/QRLDoc.h"
#include "measure/MeasuredValue.h"

namespace kvr {

namespace {

// A number the user steps with its arrows only.
class ArrowsOnlySpin final : public QSpinBox {
  public:
    ArrowsOnlySpin(int maximum, QWidget* parent) : QSpinBox(parent) {
        setRange(1, maximum);
        lineEdit()->setReadOnly(true);
    }
};

bool ParseDisplayValue(const std::string& text, int entity, double& value) {
    MeasuredValue v;
    if (!v.ParseWithUnit(text, EntityFromCode(entity))) {
        return false;
    }
    value = v.GetValue();
    return true;
}

std::string FormatDisplayValue(double value, int entity) {
    return MeasuredValue(value, EntityFromCode(entity)).FormatSignificant(4);
}

// Texts of one byte per character, as the module and the files hold them.
QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CDisplayDlg::CDisplayDlg(CQRLDoc& doc, QWidget* parent)
    : QDialog(parent),
      doc_(doc),
      link_(&doc.Port()),
      editor_(ParseDisplayValue, FormatDisplayValue) {
    setWindowTitle(QString::fromStdString(editor_.Title()));

    auto* toolBar = new QToolBar(this);
    const TemplateTools tools = AddTemplateTools(toolBar);
    load_ = tools.load;
    save_ = tools.save;
    saveAs_ = tools.saveAs;
    print_ = tools.print;
    print_->setEnabled(false);  // until a print handler is set
    pdf_ = AddToolAction(toolBar, QStyle::SP_FileDialogContentsView,
                         "Save the current settings as a PDF report.");
    pdf_->setEnabled(false);
    const auto file = [this](bool (DisplayEditor::*op)(CQRLDoc&)) {
        Take();
        (editor_.*op)(doc_);
        Show();
    };
    connect(load_, &QAction::triggered, this, [file] { file(&DisplayEditor::Load); });
    connect(save_, &QAction::triggered, this, [file] { file(&DisplayEditor::Save); });
    connect(saveAs_, &QAction::triggered, this, [file] { file(&DisplayEditor::SaveAs); });
    const auto report = [this](const std::function<void(DisplayEditor&)>& handler) {
        if (handler) {
            Take();
            handler(editor_);
            Show();
        }
    };
    connect(print_, &QAction::triggered, this, [this, report] { report(printHandler_); });
    connect(pdf_, &QAction::triggered, this, [this, report] { report(pdfHandler_); });

    page_ = new ArrowsOnlySpin(kDisplayPages, this);
    page_->setToolTip(QStringLiteral("Select the display page to edit."));
    line_ = new ArrowsOnlySpin(kLinesPerPage, this);
    line_->setToolTip(QStringLiteral("Select the display line on the selected page to edit."));
    connect(page_, &QSpinBox::valueChanged, this, &CDisplayDlg::OnLineNumber);
    connect(line_, &QSpinBox::valueChanged, this, &CDisplayDlg::OnLineNumber);
    const QString arrowsTip =
        QStringLiteral("Select the previous or next page & line of the display to edit.");
    next_ = new QToolButton(this);
    next_->setArrowType(Qt::UpArrow);
    previous_ = new QToolButton(this);
    previous_->setArrowType(Qt::DownArrow);
    for (QToolButton* arrow : {next_, previous_}) {
        arrow->setToolTip(arrowsTip);
        arrow->setAutoRaise(false);
    }
    connect(next_, &QToolButton::clicked, this, [this] {
        Take();
        editor_.Next();
        Show();
    });
    connect(previous_, &QToolButton::clicked, this, [this] {
        Take();
        editor_.Previous();
        Show();
    });
    auto* arrows = new QVBoxLayout;
    arrows->setSpacing(0);
    arrows->addWidget(next_);
    arrows->addWidget(previous_);
    auto* position = new QHBoxLayout;
    auto* pageLabel = new QLabel(QStringLiteral("&Page :"), this);
    pageLabel->setBuddy(page_);
    auto* lineLabel = new QLabel(QStringLiteral("L&ine :"), this);
    lineLabel->setBuddy(line_);
    position->addWidget(pageLabel);
    position->addWidget(page_);
    position->addSpacing(12);
    position->addWidget(lineLabel);
    position->addWidget(line_);
    position->addSpacing(12);
    position->addLayout(arrows);
    position->addStretch();

    channel_ = new QComboBox(this);
    for (int c = 0; c < kChannelChoices; ++c) {
        channel_->addItem(QString::fromStdString(ChannelChoiceText(c)));
    }
    value_ = new QComboBox(this);
    for (int v = 0; v < kValueChoices; ++v) {
        value_->addItem(QString::fromUtf8(ValueChoiceText(v)));
    }
    value_->setToolTip(QStringLiteral(
        "Select the measured entity ( e.g. volts, power ) to be displayed on this line."));
    connect(value_, &QComboBox::activated, this, [this](int choice) {
        Take();
        editor_.ChooseValue(choice);
        Show();
    });
    decimals_ = new QComboBox(this);
    for (int d = 0; d <= kMaxDisplayDecimals; ++d) {
        decimals_->addItem(QString::fromUtf8(DecimalsChoiceText(d)));
    }
    decimals_->setToolTip(QStringLiteral("Select the number of significant digits to display."));
    units_ = new QLineEdit(this);
    units_->setMaxLength(kDisplayUnitsLength);
    units_->setToolTip(QStringLiteral("Enter the display units ( e.g. kV, HZ, mA, MW ). "));
    nominal_ = new QLineEdit(this);
    nominal_->setToolTip(
        QStringLiteral("Enter the nominal value of the measured entity, e.g. 11kV."));
    low_ = new QLineEdit(this);
    low_->setToolTip(
        QStringLiteral("Enter the low alarm point for the measured entity, e.g. 10kV."));
    high_ = new QLineEdit(this);
    high_->setToolTip(
        QStringLiteral("Enter the high alarm point for the measured entity, e.g. 12kV."));

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("C&hannel :"), channel_);
    fields->addRow(QStringLiteral("&Value :"), value_);
    fields->addRow(QStringLiteral("Deci&mal Point :"), decimals_);
    fields->addRow(QStringLiteral("&Units :"), units_);
    fields->addRow(QStringLiteral("&Nominal :"), nominal_);
    fields->addRow(QStringLiteral("&Low Alarm :"), low_);
    fields->addRow(QStringLiteral("Hi&gh Alarm :"), high_);

    clear_ = new QPushButton(QStringLiteral("Cl&ear"), this);
    clear_->setToolTip(QStringLiteral("Clear the settings so nothing is displayed for this line."));
    connect(clear_, &QPushButton::clicked, this, [this] {
        Take();
        editor_.Clear();
        Show();
    });
    default_ = new QPushButton(QStringLiteral("Default"), this);
    connect(default_, &QPushButton::clicked, this, [this] {
        Take();
        editor_.Default(doc_);
        Show();
    });
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &CDisplayDlg::OnOk);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clear_);
    buttons->addWidget(default_);
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolBar);
    layout->addLayout(position);
    layout->addLayout(fields);
    layout->addStretch();
    layout->addLayout(buttons);
    Show();
}

bool CDisplayDlg::ReadModule() {
    DisplaySetupRecord record{};
    if (!link_.ReadDisplaySetup(record, true, false)) {
        return false;
    }
    editor_.Open(record);
    Show();
    return true;
}

void CDisplayDlg::SetPrintHandler(std::function<void(DisplayEditor& editor)> handler) {
    printHandler_ = std::move(handler);
    print_->setEnabled(static_cast<bool>(printHandler_));
}

void CDisplayDlg::SetPdfHandler(std::function<void(DisplayEditor& editor)> handler) {
    pdfHandler_ = std::move(handler);
    pdf_->setEnabled(static_cast<bool>(pdfHandler_));
}

void CDisplayDlg::Take() {
    DisplayFields& f = editor_.fields;
    f.channel = channel_->currentIndex();
    f.valueChoice = value_->currentIndex();
    f.decimals = decimals_->currentIndex();
    f.units = units_->text().toLatin1().toStdString();
    f.nominal = nominal_->text().toStdString();
    f.low = low_->text().toStdString();
    f.high = high_->text().toStdString();
}

void CDisplayDlg::Show() {
    const DisplayFields& f = editor_.fields;
    const QSignalBlocker pageBlock(page_);
    const QSignalBlocker lineBlock(line_);
    page_->setValue(editor_.Page());
    line_->setValue(editor_.Line());
    channel_->setCurrentIndex(f.channel);
    // A code the list does not hold is named in the empty list and kept as it is.
    const DisplayLine& line =
        editor_
            .lines[static_cast<size_t>((editor_.Page() - 1) * kLinesPerPage + editor_.Line() - 1)];
    value_->setPlaceholderText(Latin1(ValueReportName(line.valueCode)));
    value_->setCurrentIndex(f.valueChoice);
    decimals_->setCurrentIndex(f.decimals);
    units_->setText(Latin1(f.units));
    nominal_->setText(QString::fromStdString(f.nominal));
    low_->setText(QString::fromStdString(f.low));
    high_->setText(QString::fromStdString(f.high));
    setWindowTitle(QString::fromStdString(editor_.Title()));
}

void CDisplayDlg::OnLineNumber() {
    Take();
    editor_.GoTo(page_->value(), line_->value());
    Show();
}

void CDisplayDlg::OnOk() {
    Take();
    const bool done = editor_.Download(link_);
    Show();
    if (done) {
        accept();
    }
}

bool RunDisplayForm(QWidget* parent, CQRLDoc& doc, const std::function<void()>& contact,
                    const DisplayReportHandlers& reports) {
    CDisplayDlg form(doc, parent);
    form.SetPrintHandler(reports.print);
    form.SetPdfHandler(reports.pdf);
    if (!form.ReadModule()) {
        return false;
    }
    if (contact) {
        contact();
    }
    return form.exec() == QDialog::Accepted;
}

}  // namespace kvr
