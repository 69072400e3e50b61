// The template file form: the standard open or save form with a three-line description
// box below it, previewing each selected setup file (document/SetupFile.h decides what
// the box shows and whether OK may be pressed).
//
// Integration: the program puts QtTemplateFileDialog(frame) in the seams
// (Seams::templateFileDialog); the template commands of the core then show this form
// through RunTemplateFileDialog.
#pragma once

#include <QFileDialog>
#include <QStringList>
#include <string>

#include "document/SetupFile.h"

class QPlainTextEdit;
class QPushButton;

namespace kvr {

// "Name (*.ext)|*.ext|Other|*.x||" as the file form's name filters.
QStringList NameFiltersFromFilter(const std::string& filter);
// The default suffix of such a filter: the text between "(*." and the next ")".
QString DefaultSuffixFromFilter(const std::string& filter);
// Asks "<file> already exists. Do you want to replace it?" through the message seam when
// the file exists; true when it may be written.
bool ConfirmOverwrite(const QString& path, const QString& title);

class CTemplateFileDialog final : public QFileDialog {
    Q_OBJECT
  public:
    CTemplateFileDialog(bool open, const std::string& filter, QWidget* parent = nullptr);

    QPlainTextEdit* DescriptionBox() const { return description_; }
    QString Description() const;
    void SetDescription(const QString& text);
    // The Open or Save button of the form.
    QPushButton* AcceptButton() const;
    // What the last preview said about the OK button.
    bool PreviewAllowsOk() const { return previewOk_; }
    // The preview of a path, as on a selection change.
    void Preview(const QString& path);

  public Q_SLOTS:
    void accept() override;

  private:
    void PreviewSelection();
    void ApplyOkState();

    bool open_;
    QPlainTextEdit* description_;
    bool previewOk_ = true;
};

// The Qt form as the template dialog of the seams, owned by `parent` while it lives.
TemplateFileDialog QtTemplateFileDialog(QWidget* parent);

}  // namespace kvr
