#include "calibration/forms/OutputPretestDlg.h"
#include "base/forms/QtText.h"
#include "calibration/forms/OutputGrid.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvr {

namespace {

constexpr const char* kFieldNames[kPretestFields] = {"Minimum", "Nominal", "Maximum"};

}  // namespace

COutputPretestDlg::COutputPretestDlg(OutputPretest& rules, QWidget* parent)
    : QDialog(parent), rules_(rules) {
    setWindowTitle(QString::fromUtf8(kOutputPretestTitle));

    auto* grid = new QGridLayout;
    for (int f = 0; f < kPretestFields; ++f) {
        grid->addWidget(new QLabel(QString::fromUtf8(kFieldNames[f]), this), 0, f + 1,
                        Qt::AlignHCenter);
    }
    for (int n = 0; n < kCalOutputs; ++n) {
        const bool enabled = rules_.RowEnabled(n);
        auto* caption = new QLabel(QStringLiteral("Output%1").arg(n + 1), this);
        caption->setEnabled(enabled);
        grid->addWidget(caption, n + 1, 0);
        for (int f = 0; f < kPretestFields; ++f) {
            auto* field = new QLineEdit(this);
            field->setObjectName(QStringLiteral("output%1_%2").arg(n + 1).arg(f));
            FitLevelField(field);
            if (enabled) {
                field->setText(Q(rules_.FieldText(n, f)));
            }
            field->setEnabled(enabled);
            field->installEventFilter(this);
            grid->addWidget(field, n + 1, f + 1);
            fields_[static_cast<size_t>(n)][static_cast<size_t>(f)] = field;
            connect(field, &QLineEdit::textEdited, this, [this, n, f](const QString& text) {
                rules_.SetFieldText(n, f, text.toStdString());
            });
        }
    }
    for (int f = 1; f <= kPretestFields; ++f) {
        grid->setColumnStretch(f, 1);
    }

    note_ = new QLabel(Q(rules_.Note()), this);
    note_->setWordWrap(true);
    note_->setFrameShape(QFrame::StyledPanel);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(note_);
    layout->addLayout(buttons);

    keepAlive_.setInterval(static_cast<int>(kKeepAliveMs));
    connect(&keepAlive_, &QTimer::timeout, this, [this] { rules_.Tick(); });
    keepAlive_.start();
}

bool COutputPretestDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        for (int n = 0; n < kCalOutputs; ++n) {
            for (int f = 0; f < kPretestFields; ++f) {
                QLineEdit* field = fields_[static_cast<size_t>(n)][static_cast<size_t>(f)];
                if (watched == field) {
                    rules_.SetFieldText(n, f, field->text().toStdString());
                    rules_.FocusField(n, f);
                    note_->setText(Q(rules_.Note()));
                    return QDialog::eventFilter(watched, event);
                }
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void COutputPretestDlg::done(int result) {
    keepAlive_.stop();
    rules_.Cancel();
    QDialog::done(result);
}

bool RunOutputPretest(QWidget* parent, CQRLDoc& doc) {
    OutputPretest rules(doc);
    if (!rules.Open()) {
        return false;
    }
    COutputPretestDlg form(rules, parent);
    form.exec();
    return true;
}

}  // namespace kvr
