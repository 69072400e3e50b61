#include "measure/forms/InputSheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include "base/forms/QtText.h"
#include "document/SetupFile.h"

namespace kvr {

namespace {

struct ControlRow {
    InputField field;
    const char* label;  // the form's text: a label, or a check box's or button's caption
    const char* tip;
};

// The two input groups, row by row.
constexpr ControlRow kVoltageRows[] = {
    {InputField::VoltagePhase, "Phase:", "The phase from which the voltage input is taken"},
    {InputField::VoltageRange, "Range :", "The voltage input range of the unit"},
    {InputField::VtPrimary,
     "Primary:", "The voltage transformer's primary voltage: pick one or type it, e.g. 11 kV"},
    {InputField::VtSecondary,
     "Secondary :", "The voltage transformer's secondary voltage: pick one or type it, e.g. 110 V"},
    {InputField::VoltageDirect, "Coupled Directly",
     "The voltage input is connected without a voltage transformer"},
};
constexpr ControlRow kCurrentRows[] = {
    {InputField::CurrentPhase, "Phase:", "The phase from which the current input is taken"},
    {InputField::CurrentRange, "Range :", "The current input range of the unit"},
    {InputField::CtPrimary, "Primary:", "The current transformer's primary current, e.g. 400 A"},
    {InputField::CtSecondary,
     " Secondary :", "The current transformer's secondary current: pick one or type it, e.g. 5 A"},
    {InputField::CurrentDirect, "Coupled Directly",
     "The current input is connected without a current transformer"},
};
// Below the groups.
constexpr ControlRow kNameRow = {InputField::Name,
                                 "Name :", "The channel's name, at most 16 characters"};
constexpr ControlRow kBalancedRow = {InputField::Balanced, "Balanced &3-phase",
                                     "The channel measures one phase of a balanced "
                                     "three-phase system (needs a phase A, B or C input)"};
constexpr ControlRow kNumberRows[] = {
    {InputField::PhaseCorrection, "CT Phase Correction ( degrees ) :",
     "The current transformer's phase correction, -180.00 to 180.00 degrees"},
    {InputField::Threshold,
     "Current Threshold Percentage (%) :", "The current threshold in percent, 0.0 to 25.5"},
};
constexpr ControlRow kCalibrateRow = {InputField::Calibrate, "C&alibrate",
                                      "Apply this page and calibrate the channel's inputs"};

QString Q(const char* text) {
    return QString::fromUtf8(text);
}

}  // namespace

// --- a channel page ----------------------------------------------------------------------

CInputPage::CInputPage(ChannelInputPage& page, QWidget* parent) : QWidget(parent), page_(page) {
    Build();
    Sync();
}

void CInputPage::Build() {
    const auto make = [this](const ControlRow& control) -> QWidget* {
        QWidget* w = nullptr;
        switch (KindOf(control.field)) {
            case FieldKind::Edit:
                w = new QLineEdit(this);
                break;
            case FieldKind::List:
            case FieldKind::EditableList: {
                auto* box = new QComboBox(this);
                box->setEditable(KindOf(control.field) == FieldKind::EditableList);
                box->setInsertPolicy(QComboBox::NoInsert);
                box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
                w = box;
                break;
            }
            case FieldKind::Check:
                w = new QCheckBox(Q(control.label), this);
                break;
            case FieldKind::Button:
                w = new QPushButton(Q(control.label), this);
                break;
        }
        w->setToolTip(Q(control.tip));
        w->setObjectName(QStringLiteral("field%1").arg(static_cast<int>(control.field)));
        controls_[static_cast<size_t>(control.field)] = w;
        Connect(control.field);
        return w;
    };
    // A row of a form layout: a labelled control, or a check box on its own.
    const auto addRow = [&make](QFormLayout* form, const ControlRow& control) {
        QWidget* w = make(control);
        if (KindOf(control.field) == FieldKind::Check) {
            form->addRow(w);
        } else {
            form->addRow(Q(control.label), w);
        }
    };

    auto* layout = new QVBoxLayout(this);
    auto* top = new QFormLayout;
    addRow(top, kNameRow);
    static_cast<QLineEdit*>(Control(InputField::Name))
        ->setMaxLength(static_cast<int>(ParameterRecord::kNameMax));
    layout->addLayout(top);

    auto* groups = new QHBoxLayout;
    const struct {
        const char* title;
        const ControlRow* rows;
        size_t count;
    } kGroups[] = {
        {"&Voltage Input", kVoltageRows, std::size(kVoltageRows)},
        {"&Current Input", kCurrentRows, std::size(kCurrentRows)},
    };
    for (const auto& g : kGroups) {
        auto* box = new QGroupBox(Q(g.title), this);
        auto* form = new QFormLayout(box);
        for (size_t i = 0; i < g.count; ++i) {
            addRow(form, g.rows[i]);
        }
        groups->addWidget(box, 1);
    }
    layout->addLayout(groups);

    auto* bottom = new QFormLayout;
    addRow(bottom, kBalancedRow);
    for (const ControlRow& control : kNumberRows) {
        addRow(bottom, control);
        // Room for the longest number the field takes, in the font's own measure.
        auto* edit = static_cast<QLineEdit*>(Control(control.field));
        edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("-000.000")) *
                              2);
    }
    layout->addLayout(bottom);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(make(kCalibrateRow));
    layout->addLayout(buttons);
    layout->addStretch();
}

void CInputPage::Connect(InputField f) {
    QWidget* w = Control(f);
    const auto after = [this](bool done) {
        Sync();
        if (done) {
            Q_EMIT Edited();
        }
    };
    switch (KindOf(f)) {
        case FieldKind::Edit:
            connect(static_cast<QLineEdit*>(w), &QLineEdit::textEdited, this,
                    [this, f, after](const QString& text) {
                        after(page_.SetText(f, text.toStdString()));
                    });
            break;
        case FieldKind::EditableList:
            connect(static_cast<QComboBox*>(w)->lineEdit(), &QLineEdit::textEdited, this,
                    [this, f, after](const QString& text) {
                        after(page_.SetText(f, text.toStdString()));
                    });
            [[fallthrough]];
        case FieldKind::List:
            connect(static_cast<QComboBox*>(w), &QComboBox::activated, this,
                    [this, f, after](int index) { after(page_.Select(f, index)); });
            break;
        case FieldKind::Check:
            connect(static_cast<QCheckBox*>(w), &QCheckBox::clicked, this,
                    [this, f, after](bool on) { after(page_.SetChecked(f, on)); });
            break;
        case FieldKind::Button:
            connect(static_cast<QPushButton*>(w), &QPushButton::clicked, this,
                    &CInputPage::CalibrateClicked);
            break;
    }
}

void CInputPage::SetCalibrationAvailable(bool available) {
    calibrationAvailable_ = available;
    Sync();
}

void CInputPage::Sync() {
    for (int i = 0; i < kInputFieldCount; ++i) {
        const auto f = static_cast<InputField>(i);
        const InputFieldState& s = page_.Field(f);
        QWidget* w = Control(f);
        const QSignalBlocker block(w);
        const QString text = Q(s.text);
        switch (KindOf(f)) {
            case FieldKind::Edit: {
                auto* edit = static_cast<QLineEdit*>(w);
                if (edit->text() != text) {
                    edit->setText(text);
                }
                break;
            }
            case FieldKind::List:
            case FieldKind::EditableList: {
                auto* box = static_cast<QComboBox*>(w);
                QStringList items;
                for (const std::string& item : s.items) {
                    items << Q(item);
                }
                QStringList shown;
                for (int k = 0; k < box->count(); ++k) {
                    shown << box->itemText(k);
                }
                if (shown != items) {
                    box->clear();
                    box->addItems(items);
                }
                // A typed text leaves the list's own index alone, so the cursor stays.
                if (s.selection >= 0 || !box->isEditable()) {
                    if (box->currentIndex() != s.selection) {
                        box->setCurrentIndex(s.selection);
                    }
                }
                if (box->isEditable() && box->currentText() != text) {
                    box->setEditText(text);
                }
                break;
            }
            case FieldKind::Check:
                static_cast<QCheckBox*>(w)->setChecked(s.checked);
                break;
            case FieldKind::Button:
                break;
        }
        w->setEnabled(s.enabled && (f != InputField::Calibrate || calibrationAvailable_));
    }
}

// --- the sheet ---------------------------------------------------------------------------

CInputSheet::CInputSheet(CQRLDoc& doc, QWidget* parent) : QDialog(parent), doc_(doc), model_(doc) {
    setWindowTitle(Q(kInputSheetTitle));
    setObjectName(QStringLiteral("inputSheet"));

    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const struct {
        QAction** action;
        QStyle::StandardPixmap icon;
        const char* text;
        const char* tip;
    } kTools[] = {
        {&load_, QStyle::SP_DialogOpenButton, "Load...", "Load a template file"},
        {&save_, QStyle::SP_DialogSaveButton, "Save", "Save a template file"},
        {&saveAs_, QStyle::SP_DialogSaveButton, "Save As...", "Save a template file as ..."},
        {&print_, QStyle::SP_FileIcon, "Print...", "Print the current settings."},
    };
    for (const auto& t : kTools) {
        *t.action = bar->addAction(style()->standardIcon(t.icon), Q(t.text));
        (*t.action)->setToolTip(Q(t.tip));
    }
    connect(load_, &QAction::triggered, this, &CInputSheet::OnLoad);
    connect(save_, &QAction::triggered, this, [this] { OnSave(false); });
    connect(saveAs_, &QAction::triggered, this, [this] { OnSave(true); });
    connect(print_, &QAction::triggered, this, [this] {
        if (hooks_.printConfiguration) {
            hooks_.printConfiguration(this);
        }
    });
    print_->setEnabled(false);

    tabs_ = new QTabWidget(this);
    for (int i = 0; i < kInputChannelPages; ++i) {
        auto* page = new CInputPage(model_.Page(i), tabs_);
        pages_[static_cast<size_t>(i)] = page;
        tabs_->addTab(page, Q(model_.PageTitle(i)));
        connect(page, &CInputPage::Edited, this, &CInputSheet::UpdateButtons);
        connect(page, &CInputPage::CalibrateClicked, this, [this, i] { OnCalibrate(i); });
    }
    auto* threePhase = new QWidget(tabs_);
    auto* threeLayout = new QVBoxLayout(threePhase);
    lineToLine_ = new QCheckBox(Q(kLineToLineText), threePhase);
    lineToLine_->setToolTip(
        QStringLiteral("The unit measures line-to-line voltages; applies to every channel"));
    threeLayout->addWidget(lineToLine_);
    threeLayout->addStretch();
    tabs_->addTab(threePhase, Q(model_.PageTitle(InputSheetModel::kThreePhasePage)));
    connect(lineToLine_, &QCheckBox::clicked, this, [this](bool on) {
        model_.ThreePhase().SetLineToLine(on);
        UpdateButtons();
    });

    auto* box = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    ok_ = box->button(QDialogButtonBox::Ok);
    cancel_ = box->button(QDialogButtonBox::Cancel);
    apply_ = box->button(QDialogButtonBox::Apply);
    ok_->setToolTip(QStringLiteral("Apply the changes and close"));
    cancel_->setToolTip(QStringLiteral("Close without applying the pages"));
    apply_->setToolTip(QStringLiteral("Apply the changes of the pages visited"));
    connect(ok_, &QPushButton::clicked, this, &CInputSheet::accept);
    connect(cancel_, &QPushButton::clicked, this, &CInputSheet::reject);
    connect(apply_, &QPushButton::clicked, this, [this] { ApplyPages(); });

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(bar);
    layout->addWidget(tabs_);
    layout->addWidget(box);

    model_.Visit(0);
    connect(tabs_, &QTabWidget::currentChanged, this, &CInputSheet::OnPageChanged);
    SyncAll();
}

void CInputSheet::SetHooks(MeasureFormHooks hooks) {
    hooks_ = std::move(hooks);
    for (CInputPage* page : pages_) {
        page->SetCalibrationAvailable(static_cast<bool>(hooks_.calibrateInput));
    }
    print_->setEnabled(static_cast<bool>(hooks_.printConfiguration));
}

void CInputSheet::SyncAll() {
    for (int i = 0; i < kInputChannelPages; ++i) {
        tabs_->setTabText(i, Q(model_.PageTitle(i)));
        pages_[static_cast<size_t>(i)]->Sync();
    }
    lineToLine_->setChecked(model_.ThreePhase().LineToLine());
    UpdateButtons();
}

void CInputSheet::UpdateButtons() {
    bool modified = model_.ThreePhase().Modified();
    for (int i = 0; i < kInputChannelPages; ++i) {
        modified = modified || model_.Page(i).Modified();
    }
    apply_->setEnabled(modified);
}

void CInputSheet::OnPageChanged(int index) {
    model_.Visit(index);
    if (index < kInputChannelPages) {
        pages_[static_cast<size_t>(index)]->Sync();
    }
}

bool CInputSheet::ApplyPages() {
    const int refused = model_.ApplyVisited();
    SyncAll();
    if (refused >= 0) {
        tabs_->setCurrentIndex(refused);
        return false;
    }
    return true;
}

void CInputSheet::accept() {
    if (ApplyPages()) {
        QDialog::accept();
    }
}

void CInputSheet::OnCalibrate(int channel) {
    const bool ok = model_.Page(channel).CalibrateChecks();
    SyncAll();
    if (ok && hooks_.calibrateInput) {
        hooks_.calibrateInput(this, channel);
    }
}

void CInputSheet::OnLoad() {
    if (LoadSetupFile(doc_)) {
        model_.Reload();  // every page, so no page applies what the file replaced
        SyncAll();
    }
}

void CInputSheet::OnSave(bool saveAs) {
    // The file holds what the pages show, checked as Apply checks it.
    if (!ApplyPages()) {
        return;
    }
    if (saveAs) {
        SaveSetupFileAs(doc_);
    } else {
        SaveSetupFile(doc_);
    }
}

bool RunInputSheet(QWidget* parent, CQRLDoc& doc, MeasureFormHooks hooks) {
    // The pages edit the records that the reading thread reads.
    DeviceLock lock(doc);
    if (!lock.Lock()) {
        return false;
    }
    {
        CInputSheet sheet(doc, parent);
        sheet.SetHooks(std::move(hooks));
        sheet.exec();
    }
    DeriveThreePhaseRecord(doc);
    return true;
}

}  // namespace kvr
