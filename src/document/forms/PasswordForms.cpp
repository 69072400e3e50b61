#include "document/forms/PasswordForms.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kvr {

namespace {

QLineEdit* MaskedEdit(QWidget* parent, const QString& name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMinimumWidth(220);
    return edit;
}

QDialogButtonBox* OkCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

}  // namespace

CPasswordEntryForm::CPasswordEntryForm(bool confirmMode, QWidget* parent)
    : QDialog(parent), confirmMode_(confirmMode) {
    setWindowTitle(QStringLiteral("Password Entry"));
    auto* layout = new QVBoxLayout(this);
    // The form is as tall as what it shows: single-entry mode ends above the second field.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    password_ = MaskedEdit(this, QStringLiteral("password"));
    auto* passwordLabel = new QLabel(QStringLiteral("&Password :"), this);
    passwordLabel->setBuddy(password_);
    confirmation_ = MaskedEdit(this, QStringLiteral("confirmation"));
    confirmationLabel_ = new QLabel(QStringLiteral("&Confirm password :"), this);
    confirmationLabel_->setBuddy(confirmation_);

    layout->addWidget(passwordLabel);
    layout->addWidget(password_);
    layout->addWidget(confirmationLabel_);
    layout->addWidget(confirmation_);
    layout->addWidget(OkCancel(this));

    confirmationLabel_->setVisible(confirmMode_);
    confirmation_->setVisible(confirmMode_);
    password_->setFocus();
}

void CPasswordEntryForm::SetTexts(const QString& password, const QString& confirmation) {
    password_->setText(password);
    confirmation_->setText(confirmation);
}

QString CPasswordEntryForm::Password() const {
    return password_->text();
}

QString CPasswordEntryForm::Confirmation() const {
    return confirmMode_ ? confirmation_->text() : QString();
}

CPasswordConfirmForm::CPasswordConfirmForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Password Confirm"));
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    existing_ = MaskedEdit(this, QStringLiteral("existing"));
    auto* label = new QLabel(QStringLiteral("Please enter your existing Password"), this);
    label->setBuddy(existing_);
    layout->addWidget(label);
    layout->addWidget(existing_);
    layout->addWidget(OkCancel(this));
    existing_->setFocus();
}

QString CPasswordConfirmForm::Existing() const {
    return existing_->text();
}

void CPasswordConfirmForm::reject() {
    cancelled_ = true;
    QDialog::reject();
}

}  // namespace kvr
