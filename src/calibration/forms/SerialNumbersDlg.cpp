#include "calibration/forms/SerialNumbersDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvr {

CSerialNumbersDlg::CSerialNumbersDlg(CQRLDoc& doc, QWidget* parent) : QDialog(parent), form_(doc) {
    setWindowTitle(QString::fromUtf8(kSetAllSerialsTitle));
    serial_ = new QLineEdit(this);
    serial_->setToolTip(QStringLiteral("The serial number to write into every channel"));
    serial_->setMinimumWidth(
        serial_->fontMetrics().horizontalAdvance(QStringLiteral("-2147483648")) +
        serial_->fontMetrics().averageCharWidth() * 2);
    auto* label = new QLabel(QStringLiteral("Serial Number:"), this);
    label->setBuddy(serial_);
    plus_ = new QPushButton(QStringLiteral("+"), this);
    plus_->setToolTip(QStringLiteral("The next serial number"));
    download_ = new QPushButton(QStringLiteral("Download"), this);
    download_->setToolTip(QStringLiteral("Write the serial number into every channel"));
    download_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(serial_, 1);
    row->addWidget(plus_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(download_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);

    connect(serial_, &QLineEdit::textEdited, this,
            [this](const QString& text) { form_.SetSerialText(text.toStdString()); });
    connect(plus_, &QPushButton::clicked, this, [this] {
        form_.SetSerialText(serial_->text().toStdString());
        form_.Increment();
        serial_->setText(QString::fromStdString(form_.SerialText()));
    });
    connect(download_, &QPushButton::clicked, this, [this] {
        form_.Download(serial_->text().toStdString());
        serial_->setText(QString::fromStdString(form_.SerialText()));
    });
    connect(cancel_, &QPushButton::clicked, this, &CSerialNumbersDlg::reject);
}

bool CSerialNumbersDlg::Open() {
    if (!form_.Open()) {
        return false;
    }
    serial_->setText(QString::fromStdString(form_.SerialText()));
    return true;
}

void RunSetAllSerialNumbers(QWidget* parent, CQRLDoc& doc) {
    CSerialNumbersDlg form(doc, parent);
    if (!form.Open()) {
        return;  // another thread keeps the device lock
    }
    form.exec();
}

}  // namespace kvr
