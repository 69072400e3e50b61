// "Options": the operator name the reports print. The shell's Options command and the
// print commands ask it with this form.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;

namespace kvr {

// Opens empty; the caller takes the name over on OK.
class COptionsForm final : public QDialog {
    Q_OBJECT
  public:
    explicit COptionsForm(QWidget* parent = nullptr);
    std::string OperatorName() const;
    QLineEdit* OperatorEdit() const { return operator_; }

  private:
    QLineEdit* operator_;
};

}  // namespace kvr
