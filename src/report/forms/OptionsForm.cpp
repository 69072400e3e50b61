#include "report/forms/OptionsForm.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kvr {

COptionsForm::COptionsForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Options"));
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* form = new QFormLayout;
    operator_ = new QLineEdit(this);
    operator_->setObjectName(QStringLiteral("operatorName"));
    operator_->setMinimumWidth(240);
    form->addRow(QStringLiteral("Operator name :"), operator_);
    layout->addLayout(form);
    // The "Set Mode Parameters" group of this form serves no command: it is not built.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

std::string COptionsForm::OperatorName() const {
    return operator_->text().toStdString();
}

}  // namespace kvr
