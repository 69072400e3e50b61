#include "calibration/forms/OutputCalibrationDlg.h"
#include "base/forms/QtText.h"
#include "calibration/forms/OutputGrid.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kvr {

COutputCalibrationDlg::COutputCalibrationDlg(OutputCalibration& rules, QWidget* parent)
    : QDialog(parent), rules_(rules) {
    setWindowTitle(QString::fromUtf8(kOutputCalibrationTitle));

    auto* grid = new QGridLayout;
    AddOutputGridHead(grid, this, 2, [this](int p) { return rules_.PointEnabled(p); });
    const QStringList items = OutputLevelList();
    for (int n = 0; n < kCalOutputs; ++n) {
        for (int side = 0; side < 2; ++side) {
            const int p = 2 * n + side;
            auto* list = new QComboBox(this);
            list->addItems(items);
            list->setCurrentIndex(rules_.PointLevel(p));
            auto* field = new QLineEdit(Q(rules_.PointText(p)), this);
            field->setObjectName(QStringLiteral("point%1").arg(p));
            FitLevelField(field);
            const bool enabled = rules_.PointEnabled(p);
            list->setEnabled(enabled);
            field->setEnabled(enabled);
            field->installEventFilter(this);
            grid->addWidget(list, n + 1, 1 + 2 * side);
            grid->addWidget(field, n + 1, 2 + 2 * side);
            levels_[static_cast<size_t>(p)] = list;
            fields_[static_cast<size_t>(p)] = field;
            connect(list, &QComboBox::activated, this, [this, p, field](int index) {
                rules_.SelectLevel(p, index);
                field->setText(Q(rules_.PointText(p)));
            });
            connect(field, &QLineEdit::textEdited, this,
                    [this, p](const QString& text) { rules_.SetPointText(p, text.toStdString()); });
        }
    }
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(4, 1);

    const CalibrationFoot foot = LayOutCalibrationForm(this, grid);
    note_ = foot.note;
    ok_ = foot.ok;
    cancel_ = foot.cancel;
    connect(ok_, &QPushButton::clicked, this, &COutputCalibrationDlg::OnOk);
    SyncNote();

    keepAlive_.setInterval(static_cast<int>(kKeepAliveMs));
    connect(&keepAlive_, &QTimer::timeout, this, [this] { rules_.KeepAlive(); });
    keepAlive_.start();
}

bool COutputCalibrationDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        for (int p = 0; p < kCalPoints; ++p) {
            QLineEdit* field = fields_[static_cast<size_t>(p)];
            if (watched == field) {
                rules_.SetPointText(p, field->text().toStdString());
                rules_.FocusPoint(p);
                SyncNote();
                field->selectAll();
                break;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void COutputCalibrationDlg::SyncNote() {
    note_->setText(Q(rules_.Note()));
}

void COutputCalibrationDlg::OnOk() {
    for (int p = 0; p < kCalPoints; ++p) {
        rules_.SetPointText(p, fields_[static_cast<size_t>(p)]->text().toStdString());
    }
    if (rules_.Ok()) {
        accept();
        return;
    }
    SyncNote();
}

void COutputCalibrationDlg::done(int result) {
    // Every way out: the keep-alive stops and no output is left in test mode.
    keepAlive_.stop();
    rules_.Close();
    QDialog::done(result);
}

bool RunOutputCalibration(QWidget* parent, CQRLDoc& doc, int firstOutput, int lastOutput) {
    OutputCalibration rules(doc, firstOutput, lastOutput);
    if (!rules.Open()) {
        return false;
    }
    COutputCalibrationDlg form(rules, parent);
    return form.exec() == QDialog::Accepted;
}

}  // namespace kvr
