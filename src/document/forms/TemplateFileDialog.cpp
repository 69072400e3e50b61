#include "document/forms/TemplateFileDialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

#include "base/UserSeam.h"

namespace kvr {

namespace {

constexpr int kDescriptionLines = 3;

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

QStringList NameFiltersFromFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString name = parts[i];
        const QString pattern = parts[i + 1];
        if (name.isEmpty()) {
            break;  // the "||" that ends the list
        }
        filters.append(name.contains(QLatin1Char('('))
                           ? name
                           : name + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    return filters;
}

QString DefaultSuffixFromFilter(const std::string& filter) {
    const QString text = QString::fromStdString(filter);
    const qsizetype start = text.indexOf(QStringLiteral("(*."));
    if (start < 0) {
        return QString();
    }
    const qsizetype end = text.indexOf(QLatin1Char(')'), start + 3);
    return end < 0 ? QString() : text.mid(start + 3, end - start - 3);
}

bool ConfirmOverwrite(const QString& path, const QString& title) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return true;
    }
    const QString text =
        info.fileName() + QStringLiteral(" already exists.\nDo you want to replace it?");
    return AppMessageBox(text.toStdString(), MsgIcon::Warning, MsgButtons::YesNo,
                         title.toStdString()) == MsgAnswer::Yes;
}

CTemplateFileDialog::CTemplateFileDialog(bool open, const std::string& filter, QWidget* parent)
    : QFileDialog(parent), open_(open) {
    // The Qt form, not the desktop's: only it can carry the description box.
    setOption(QFileDialog::DontUseNativeDialog, true);
    // Overwriting is asked through the message seam in accept().
    setOption(QFileDialog::DontConfirmOverwrite, true);
    setOption(QFileDialog::ReadOnly, false);
    setWindowTitle(open ? QStringLiteral("Open Template") : QStringLiteral("Save Template As"));
    setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    setNameFilters(NameFiltersFromFilter(filter));
    setDefaultSuffix(DefaultSuffixFromFilter(filter));

    description_ = new QPlainTextEdit(this);
    description_->setObjectName(QStringLiteral("description"));
    // In the open form the box only shows what the selected file holds.
    description_->setReadOnly(open);
    const QFontMetrics metrics(description_->font());
    description_->setFixedHeight(metrics.lineSpacing() * kDescriptionLines +
                                 2 * description_->frameWidth() +
                                 static_cast<int>(description_->document()->documentMargin() * 2));
    auto* label = new QLabel(QStringLiteral("&Description :"), this);
    label->setBuddy(description_);
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(description_, row, 1, 1, grid->columnCount() - 1);
    }
    // A click in the list and a typed name both change the selection.
    connect(this, &QFileDialog::currentChanged, this, &CTemplateFileDialog::PreviewSelection);
    if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        connect(name, &QLineEdit::textChanged, this, &CTemplateFileDialog::PreviewSelection);
    }
}

QString CTemplateFileDialog::Description() const {
    return description_->toPlainText();
}

void CTemplateFileDialog::SetDescription(const QString& text) {
    description_->setPlainText(text);
}

QPushButton* CTemplateFileDialog::AcceptButton() const {
    auto* box = findChild<QDialogButtonBox*>();
    if (box == nullptr) {
        return nullptr;
    }
    return box->button(open_ ? QDialogButtonBox::Open : QDialogButtonBox::Save);
}

void CTemplateFileDialog::PreviewSelection() {
    const QStringList files = selectedFiles();
    if (!files.isEmpty()) {
        Preview(files.first());
    }
}

void CTemplateFileDialog::Preview(const QString& path) {
    const TemplatePreviewResult result = TemplatePreview(LocalPath(path));
    previewOk_ = result.okEnabled;
    if (result.changed) {
        description_->setPlainText(QString::fromStdString(result.text));
    }
    // The form updates its own button on the same change: ours comes after it.
    QMetaObject::invokeMethod(this, &CTemplateFileDialog::ApplyOkState, Qt::QueuedConnection);
}

void CTemplateFileDialog::ApplyOkState() {
    if (QPushButton* ok = AcceptButton(); ok != nullptr && !previewOk_) {
        ok->setEnabled(false);
    }
}

void CTemplateFileDialog::accept() {
    const QStringList files = selectedFiles();
    if (files.isEmpty()) {
        QFileDialog::accept();
        return;
    }
    const QString path = files.first();
    if (QFileInfo(path).isDir()) {
        QFileDialog::accept();  // the form opens the folder
        return;
    }
    // The button may have been pressed by a key before the preview disabled it.
    if (!TemplatePreview(LocalPath(path)).okEnabled) {
        Preview(path);
        return;
    }
    if (!open_ && !ConfirmOverwrite(path, windowTitle())) {
        return;
    }
    QFileDialog::accept();
}

TemplateFileDialog QtTemplateFileDialog(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    return
        [owner](bool open, const std::string& filter, std::string& path, std::string& description) {
            CTemplateFileDialog form(open, filter, owner.data());
            if (!path.empty()) {
                form.selectFile(QFile::decodeName(QByteArray::fromStdString(path)));
            }
            form.SetDescription(QString::fromStdString(description));
            if (form.exec() != QDialog::Accepted || form.selectedFiles().isEmpty()) {
                return false;
            }
            path = LocalPath(form.selectedFiles().first());
            description = form.Description().toStdString();
            return true;
        };
}

}  // namespace kvr
