#include "measure/forms/AnalogOutputDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/forms/QtText.h"
#include "measure/forms/ChooseEntityDlg.h"
#include "measure/forms/PhasorCtrl.h"

namespace kvr {

namespace {

// The phasor control's own colours: light grey ground, dark green disc, black axes.
const QColor kGround(192, 192, 192);
const QColor kDisc(0, 128, 0);
constexpr int kPenWidth = 3;
constexpr double kSnapDegrees = 15.0;

void SetText(QLineEdit* edit, const std::string& text) {
    if (edit->text() != Q(text)) {
        edit->setText(Q(text));
    }
}

// Red or blue text for a limit and its output in Power Factor mode, the palette's own
// otherwise.
void Tint(QWidget* w, bool on, const QColor& colour) {
    if (!on) {
        w->setPalette(QPalette());  // nothing resolved: the inherited palette again
        return;
    }
    QPalette p = w->palette();
    p.setColor(QPalette::Text, colour);
    w->setPalette(p);
}

}  // namespace

CAnalogOutputDlg::CAnalogOutputDlg(CQRLDoc& doc, int channel, int port, QWidget* parent,
                                   OutputCalibrationOpener calibrateOutput)
    : QDialog(parent),
      doc_(doc),
      calibrateOutput_(std::move(calibrateOutput)),
      form_(doc, channel, port) {
    setWindowTitle(QString::fromUtf8(kAnalogOutputTitle));
    form_.Open();

    label_ = new QLabel(this);
    label_->setWordWrap(true);
    change_ = new QPushButton(QStringLiteral("Change"), this);
    range_ = new QComboBox(this);
    for (int code = 0; code < kRangeCodes; ++code) {
        range_->addItem(QString::fromUtf8(OutputRangeCodeName(code)));
    }
    maxCaption_ = new QLabel(QStringLiteral("Max :"), this);
    minCaption_ = new QLabel(QStringLiteral("Min :"), this);
    maxEdit_ = new QLineEdit(this);
    minEdit_ = new QLineEdit(this);
    maxEdit_->setObjectName(QStringLiteral("max"));
    minEdit_->setObjectName(QStringLiteral("min"));
    outMax_ = new QComboBox(this);
    outMin_ = new QComboBox(this);
    for (QComboBox* out : {outMax_, outMin_}) {
        out->setEditable(true);
        out->setInsertPolicy(QComboBox::NoInsert);
    }
    secondary_ = new QCheckBox(QStringLiteral("Secondary Values"), this);
    pfLocked_ = new QCheckBox(QStringLiteral("PF locked"), this);
    phasor_ = new CPhasorCtrl(&form_.Phasors(), this);
    phasor_->Setup(kGround, kDisc, Qt::black, {Qt::red, Qt::blue}, 2, kPenWidth, kSnapDegrees);
    phasor_->setMinimumSize(phasor_->sizeHint());
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    calibrate_ = new QPushButton(QStringLiteral("Calibrate DAC"), this);

    auto* entityRow = new QHBoxLayout;
    entityRow->addWidget(label_, 1);
    entityRow->addWidget(change_);
    auto* rangeRow = new QHBoxLayout;
    rangeRow->addWidget(new QLabel(QStringLiteral("Output Range :"), this));
    rangeRow->addWidget(range_, 1);
    // Column 0 holds the captions or, for Power Factor, the phasor control beside both
    // limits; hidden widgets take no room, so one grid serves both layouts.
    auto* limits = new QGridLayout;
    limits->addWidget(maxCaption_, 0, 0);
    limits->addWidget(minCaption_, 1, 0);
    limits->addWidget(phasor_, 0, 0, 3, 1);
    limits->addWidget(maxEdit_, 0, 1);
    limits->addWidget(outMax_, 0, 2);
    limits->addWidget(minEdit_, 1, 1);
    limits->addWidget(outMin_, 1, 2);
    limits->addWidget(pfLocked_, 2, 1);
    limits->setColumnStretch(1, 1);
    limits->setColumnStretch(2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(secondary_);
    buttons->addStretch();
    buttons->addWidget(calibrate_);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(entityRow);
    layout->addLayout(rangeRow);
    layout->addLayout(limits, 1);
    layout->addLayout(buttons);

    connect(change_, &QPushButton::clicked, this, &CAnalogOutputDlg::OnChange);
    connect(ok_, &QPushButton::clicked, this, &CAnalogOutputDlg::OnOk);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(calibrate_, &QPushButton::clicked, this, [this] {
        if (calibrateOutput_) {
            calibrateOutput_(this, form_.CalibrateDac());
        }
    });
    connect(range_, &QComboBox::activated, this, [this](int code) {
        form_.SelectRange(code);
        Sync();
    });
    connect(secondary_, &QCheckBox::clicked, this, [this](bool ticked) {
        form_.SetSecondary(ticked);
        Sync();
    });
    connect(pfLocked_, &QCheckBox::clicked, this, [this](bool on) { form_.SetPfLocked(on); });
    connect(minEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        form_.SetMinText(text.toStdString());
        Sync();
    });
    connect(maxEdit_, &QLineEdit::textEdited, this, [this](const QString& text) {
        form_.SetMaxText(text.toStdString());
        Sync();
    });
    connect(outMin_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (!syncing_) {
            form_.SetOutMinText(text.toStdString());
        }
    });
    connect(outMax_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (!syncing_) {
            form_.SetOutMaxText(text.toStdString());
        }
    });
    phasor_->SetNotify([this] {
        form_.PhasorMoved();
        Sync();
    });
    minEdit_->installEventFilter(this);
    maxEdit_->installEventFilter(this);
    Sync();
}

bool CAnalogOutputDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (watched == minEdit_) {
            form_.FocusLimit(0);
        } else if (watched == maxEdit_) {
            form_.FocusLimit(1);
        }
        phasor_->update();
    }
    return QDialog::eventFilter(watched, event);
}

void CAnalogOutputDlg::Sync() {
    syncing_ = true;
    const bool valid = form_.Valid();
    const bool pf = form_.IsPowerFactor();
    label_->setText(Q(form_.EntityLabel()));
    for (QWidget* w :
         std::initializer_list<QWidget*>{ok_, minEdit_, maxEdit_, outMin_, outMax_, secondary_}) {
        w->setEnabled(valid);
    }
    calibrate_->setEnabled(valid && calibrateOutput_);
    phasor_->setVisible(pf);
    pfLocked_->setVisible(pf);
    maxCaption_->setVisible(!pf);
    minCaption_->setVisible(!pf);
    Tint(minEdit_, pf, Qt::red);
    Tint(outMin_, pf, Qt::red);
    Tint(maxEdit_, pf, Qt::blue);
    Tint(outMax_, pf, Qt::blue);
    secondary_->setChecked(form_.Secondary());
    pfLocked_->setChecked(form_.PfLocked());
    range_->setCurrentIndex(form_.RangeCode());

    QStringList labels;
    for (const std::string& l : form_.ScaleLabels()) {
        labels.append(Q(l));
    }
    for (QComboBox* out : {outMin_, outMax_}) {
        QStringList now;
        for (int i = 0; i < out->count(); ++i) {
            now.append(out->itemText(i));
        }
        if (now != labels) {
            out->clear();
            out->addItems(labels);
        }
    }
    if (outMin_->currentText() != Q(form_.OutMinText())) {
        outMin_->setEditText(Q(form_.OutMinText()));
    }
    if (outMax_->currentText() != Q(form_.OutMaxText())) {
        outMax_->setEditText(Q(form_.OutMaxText()));
    }
    SetText(minEdit_, form_.MinText());
    SetText(maxEdit_, form_.MaxText());
    phasor_->update();
    syncing_ = false;
}

void CAnalogOutputDlg::OnChange() {
    ChooseEntityLogic logic(doc_, false);
    logic.entity = form_.Entity();
    logic.channel = form_.Source();
    logic.energyAllowed = AnalogOutputForm::kEnergyAllowed;
    logic.exportAllowed = AnalogOutputForm::kExportAllowed;
    if (RunChooseEntity(this, logic)) {
        form_.Change(logic.entity, logic.channel);
        Sync();
    }
}

void CAnalogOutputDlg::OnOk() {
    if (form_.Ok()) {
        accept();
        return;
    }
    switch (form_.FailedField()) {
        case AnalogField::Minimum:
            minEdit_->setFocus();
            minEdit_->selectAll();
            break;
        case AnalogField::Maximum:
            maxEdit_->setFocus();
            maxEdit_->selectAll();
            break;
        case AnalogField::OutputMin:
            outMin_->setFocus();
            break;
        case AnalogField::OutputMax:
            outMax_->setFocus();
            break;
        default:
            break;
    }
    Sync();
}

bool RunAnalogOutput(QWidget* parent, CQRLDoc& doc, int channel, int port,
                     CAnalogOutputDlg::OutputCalibrationOpener calibrateOutput) {
    CAnalogOutputDlg form(doc, channel, port, parent, std::move(calibrateOutput));
    return form.exec() == QDialog::Accepted;
}

}  // namespace kvr
