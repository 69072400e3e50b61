#include "measure/forms/RelayOutputDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/forms/QtText.h"
#include "measure/forms/ChooseEntityDlg.h"
#include "measure/forms/PhasorCtrl.h"

namespace kvr {

namespace {

const QColor kGround(192, 192, 192);
const QColor kDisc(0, 128, 0);
constexpr int kPenWidth = 3;
constexpr double kSnapDegrees = 15.0;

void SetText(QLineEdit* edit, const std::string& text) {
    if (edit->text() != Q(text)) {
        edit->setText(Q(text));
    }
}

}  // namespace

CRelayOutputDlg::CRelayOutputDlg(CQRLDoc& doc, int channel, int port, QWidget* parent)
    : QDialog(parent), doc_(doc), form_(doc, channel, port) {
    setWindowTitle(QString::fromUtf8(kRelayOutputTitle));
    form_.Open();

    label_ = new QLabel(this);
    label_->setWordWrap(true);
    change_ = new QPushButton(QStringLiteral("Change"), this);

    pulseGroup_ = new QGroupBox(QStringLiteral("Pulse Output"), this);
    power_ = new QLineEdit(pulseGroup_);
    // The spin's own text is the "Pulses/hour :" field: a number outside 1 to 3600 typed
    // there is refused by the rules on OK like any other.
    pulses_ = new QSpinBox(pulseGroup_);
    pulses_->setRange(kPulsesMin, kPulsesMax);
    pulses_->setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    auto* pulseForm = new QFormLayout(pulseGroup_);
    pulseForm->addRow(QStringLiteral("Power :"), power_);
    pulseForm->addRow(QStringLiteral("Pulses/hour :"), pulses_);

    thresholdGroup_ = new QGroupBox(QStringLiteral("Threshold Output"), this);
    trigger_ = new QLineEdit(thresholdGroup_);
    hysteresis_ = new QLineEdit(thresholdGroup_);
    direction_ = new QComboBox(thresholdGroup_);
    direction_->addItem(QString::fromUtf8(kRisingText));
    direction_->addItem(QString::fromUtf8(kFallingText));
    phasor_ = new CPhasorCtrl(&form_.Phasor(), thresholdGroup_);
    phasor_->Setup(kGround, kDisc, Qt::black, {Qt::red}, 1, kPenWidth, kSnapDegrees);
    phasor_->setMinimumSize(phasor_->sizeHint());
    auto* thresholdForm = new QFormLayout;
    thresholdForm->addRow(QStringLiteral("Trigger at"), trigger_);
    thresholdForm->addRow(QStringLiteral("% Hysteresis"), hysteresis_);
    thresholdForm->addRow(direction_);
    auto* thresholdLayout = new QHBoxLayout(thresholdGroup_);
    thresholdLayout->addLayout(thresholdForm, 1);
    thresholdLayout->addWidget(phasor_, 1);

    secondary_ = new QCheckBox(QStringLiteral("Secondary Values"), this);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);

    auto* entityRow = new QHBoxLayout;
    entityRow->addWidget(label_, 1);
    entityRow->addWidget(change_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(secondary_);
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(entityRow);
    layout->addWidget(pulseGroup_);
    layout->addWidget(thresholdGroup_, 1);
    layout->addLayout(buttons);

    connect(change_, &QPushButton::clicked, this, &CRelayOutputDlg::OnChange);
    connect(ok_, &QPushButton::clicked, this, &CRelayOutputDlg::OnOk);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(power_, &QLineEdit::textEdited, this,
            [this](const QString& t) { form_.SetPowerText(t.toStdString()); });
    connect(hysteresis_, &QLineEdit::textEdited, this,
            [this](const QString& t) { form_.SetHysteresisText(t.toStdString()); });
    connect(trigger_, &QLineEdit::textEdited, this, [this](const QString& t) {
        form_.SetTriggerText(t.toStdString());
        phasor_->update();
    });
    connect(direction_, &QComboBox::activated, this,
            [this](int index) { form_.SetDirection(static_cast<RelayDirection>(index)); });
    connect(secondary_, &QCheckBox::clicked, this, [this](bool ticked) {
        form_.SetPulsesText(pulses_->text().toStdString());
        form_.SetSecondary(ticked);
        Sync();
    });
    phasor_->SetNotify([this] {
        form_.PhasorMoved();
        Sync();
    });
    Sync();
}

void CRelayOutputDlg::Sync() {
    const bool valid = form_.Valid();
    label_->setText(Q(form_.EntityLabel()));
    pulseGroup_->setEnabled(form_.IsPulseOutput());
    thresholdGroup_->setEnabled(form_.IsThresholdOutput());
    phasor_->setVisible(form_.IsPowerFactor());
    secondary_->setEnabled(valid);
    secondary_->setChecked(form_.Secondary());
    ok_->setEnabled(valid);
    SetText(power_, form_.PowerText());
    bool number = false;
    const int pulses = Q(form_.PulsesText()).toInt(&number);
    if (number && pulses_->text() != Q(form_.PulsesText())) {
        pulses_->setValue(pulses);  // also puts a refused text back
    }
    SetText(trigger_, form_.TriggerText());
    SetText(hysteresis_, form_.HysteresisText());
    direction_->setCurrentIndex(static_cast<int>(form_.Direction()));
    phasor_->update();
}

void CRelayOutputDlg::FocusField(RelayField field) {
    switch (field) {
        case RelayField::Power:
            power_->setFocus();
            power_->selectAll();
            break;
        case RelayField::Pulses:
            pulses_->setFocus();
            pulses_->selectAll();
            break;
        case RelayField::Trigger:
            trigger_->setFocus();
            trigger_->selectAll();
            break;
        case RelayField::Hysteresis:
            hysteresis_->setFocus();
            hysteresis_->selectAll();
            break;
        default:
            break;
    }
}

void CRelayOutputDlg::OnChange() {
    ChooseEntityLogic logic(doc_, false);
    logic.entity = form_.Entity();
    logic.channel = form_.Source();
    logic.energyAllowed = RelayOutputForm::kEnergyAllowed;
    logic.exportAllowed = RelayOutputForm::kExportAllowed;
    if (RunChooseEntity(this, logic) && form_.Change(logic.entity, logic.channel)) {
        Sync();
        FocusField(form_.FocusField());
    }
}

void CRelayOutputDlg::OnOk() {
    form_.SetPulsesText(pulses_->text().toStdString());
    if (form_.Ok()) {
        accept();
        return;
    }
    Sync();
    FocusField(form_.FailedField());
}

bool RunRelayOutput(QWidget* parent, CQRLDoc& doc, int channel, int port) {
    CRelayOutputDlg form(doc, channel, port, parent);
    return form.exec() == QDialog::Accepted;
}

}  // namespace kvr
