#include "monitor/forms/LogFileForm.h"

#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

#include "document/forms/TemplateFileDialog.h"
#include "monitor/LogFile.h"

namespace kvr {

CLogFileForm::CLogFileForm(const std::string& path, uint32_t intervalMs, QWidget* parent)
    : QFileDialog(parent), intervalMs_(intervalMs) {
    // The Qt form, not the desktop's: only it can carry the interval field.
    setOption(QFileDialog::DontUseNativeDialog, true);
    // Overwriting is asked through the message seam in accept().
    setOption(QFileDialog::DontConfirmOverwrite, true);
    setWindowTitle(QString::fromUtf8(kLogChooserTitle));
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setNameFilters(NameFiltersFromFilter(kLogChooserFilter));
    // The default extension comes as "*.log".
    setDefaultSuffix(QString::fromUtf8(kLogChooserDefaultExt).remove(QStringLiteral("*.")));
    if (!path.empty()) {
        selectFile(QFile::decodeName(QByteArray::fromStdString(path)));
    }

    // The detail columns as wide as what they show; the name takes the rest.
    if (auto* tree = findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = tree->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    resize(QSize(860, 520).expandedTo(sizeHint()));

    interval_ = new QLineEdit(QString::fromStdString(FormatLogIntervalField(intervalMs)), this);
    interval_->setObjectName(QStringLiteral("interval"));
    auto* label = new QLabel(QString::fromUtf8(kLogIntervalLabel), this);
    label->setBuddy(interval_);
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(interval_, row, 1, 1, grid->columnCount() - 1);
    }
}

void CLogFileForm::accept() {
    const QStringList files = selectedFiles();
    if (files.isEmpty() || QFileInfo(files.first()).isDir()) {
        QFileDialog::accept();  // nothing named yet, or a folder to open
        return;
    }
    uint32_t interval = 0;
    if (!ConfirmLogIntervalField(interval_->text().toStdString(), interval)) {
        interval_->setFocus();
        return;
    }
    const QString path = QFileInfo(files.first()).absoluteFilePath();
    if (!ConfirmOverwrite(path, windowTitle())) {
        return;
    }
    chosenPath_ = QFile::encodeName(path).toStdString();
    intervalMs_ = interval;
    QFileDialog::accept();
}

bool RunLogFileForm(QWidget* parent, std::string& path, uint32_t& intervalMs) {
    CLogFileForm form(path, intervalMs, parent);
    if (form.exec() != QDialog::Accepted || form.ChosenPath().empty()) {
        return false;
    }
    path = form.ChosenPath();
    intervalMs = form.IntervalMs();
    return true;
}

}  // namespace kvr
