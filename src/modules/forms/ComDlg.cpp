#include "modules/forms/ComDlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

#include "base/UserSeam.h"
#include "document/QRLDoc.h"

namespace kvr {

namespace {

struct ListRow {
    ComChoice choice;
    const char* label;
    const char* tip;
};
// In the order of the form.
constexpr ListRow kListRows[] = {
    {ComChoice::AttachedUnit, "&Attached Device :", "Select the type of attached KVR device."},
    {ComChoice::Baud, "&Baud Rate :", "Select the baud rate from this list."},
    {ComChoice::Parity, "&Parity :", "Select the parity setting from this list."},
    {ComChoice::DataBits,
     "&Data Bits :", "Select the number of data bits per character from this list."},
    {ComChoice::StopBits,
     "&Stop Bits :", "Select the number of stop bits per character from this list."},
    {ComChoice::Handshake, "&Handshake :", "Select the type of handshaking on Modbus."},
    {ComChoice::Protocol, "Pr&otocol :", "Select the Modbus protocol."},
};

constexpr const char* kNotIntegerText = "Please enter an integer.";

}  // namespace

CComDlg::CComDlg(CQRLDoc& doc, QWidget* parent) : QDialog(parent), link_(&doc.Port()) {
    setWindowTitle(QString::fromUtf8(kComFormTitle));
    serial_ = new QLineEdit(this);
    slaveId_ = new QLineEdit(this);
    slaveId_->setToolTip(QStringLiteral("Enter the ID of this unit on Modbus."));
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Serial Number :"), serial_);
    fields->addRow(QStringLiteral("Slave &ID :"), slaveId_);
    for (const ListRow& row : kListRows) {
        auto* list = new QComboBox(this);
        for (const std::string& text : ComChoiceTexts(row.choice)) {
            list->addItem(QString::fromStdString(text));
        }
        list->setCurrentIndex(-1);  // none selected until the module was read
        list->setToolTip(QString::fromUtf8(row.tip));
        lists_[static_cast<size_t>(row.choice)] = list;
        fields->addRow(QString::fromUtf8(row.label), list);
    }
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &CComDlg::OnOk);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addStretch();
    layout->addLayout(buttons);
}

bool CComDlg::ReadModule() {
    if (!link_.ReadComSetup(original_, false)) {
        return false;
    }
    const ComFields fields = ComFieldsFromRecord(original_);
    serial_->setText(QString::number(fields.serialNumber));
    slaveId_->setText(QString::number(fields.slaveId));
    for (const ListRow& row : kListRows) {
        QComboBox* list = List(row.choice);
        list->setPlaceholderText(QStringLiteral("(%1)").arg(ComChoiceByte(original_, row.choice)));
        list->setCurrentIndex(fields.Choice(row.choice));
    }
    return true;
}

void CComDlg::OnOk() {
    ComFields fields = ComFieldsFromRecord(original_);
    bool ok = false;
    const int serial = serial_->text().trimmed().toInt(&ok);
    if (!ok) {
        AppMessageBox(kNotIntegerText, MsgIcon::Warning);
        serial_->setFocus();
        serial_->selectAll();
        return;
    }
    if (!ParseSlaveId(slaveId_->text().toStdString(), fields.slaveId)) {
        AppMessageBox(kSlaveIdRangeText, MsgIcon::Warning);
        slaveId_->setFocus();
        slaveId_->selectAll();
        return;
    }
    fields.serialNumber = serial;
    for (const ListRow& row : kListRows) {
        fields.Choice(row.choice) = List(row.choice)->currentIndex();
    }
    // The frame is not answered: a module that missed it shows its old settings next time.
    (void)link_.WriteComSetup(ComRecordFromFields(fields, original_));
    accept();
}

bool RunComForm(QWidget* parent, CQRLDoc& doc, const std::function<void()>& contact) {
    CComDlg form(doc, parent);
    if (!form.ReadModule()) {
        return false;
    }
    if (contact) {
        contact();
    }
    return form.exec() == QDialog::Accepted;
}

}  // namespace kvr
