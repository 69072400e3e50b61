// "Password Entry" and "Password Confirm": they only collect the texts; the password
// rules (document/Password.h) decide what they mean.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

namespace kvr {

class CPasswordEntryForm final : public QDialog {
    Q_OBJECT
  public:
    // Single-entry mode shows only the first field; confirm mode both.
    explicit CPasswordEntryForm(bool confirmMode, QWidget* parent = nullptr);
    void SetTexts(const QString& password, const QString& confirmation);
    QString Password() const;
    QString Confirmation() const;
    bool ConfirmMode() const { return confirmMode_; }
    QLineEdit* PasswordEdit() const { return password_; }
    QLineEdit* ConfirmationEdit() const { return confirmation_; }

  private:
    bool confirmMode_;
    QLineEdit* password_;
    QLabel* confirmationLabel_;
    QLineEdit* confirmation_;
};

class CPasswordConfirmForm final : public QDialog {
    Q_OBJECT
  public:
    explicit CPasswordConfirmForm(QWidget* parent = nullptr);
    QString Existing() const;
    bool Cancelled() const { return cancelled_; }
    QLineEdit* ExistingEdit() const { return existing_; }
    void reject() override;

  private:
    QLineEdit* existing_;
    bool cancelled_ = false;
};

}  // namespace kvr
