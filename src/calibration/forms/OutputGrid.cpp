#include "calibration/forms/OutputGrid.h"

#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/forms/QtText.h"
#include "calibration/OutputCalibration.h"

namespace kvr {

namespace {

constexpr int kFieldMargin = 16;

}  // namespace

void AddOutputGridHead(QGridLayout* grid, QWidget* owner, int span,
                       const std::function<bool(int point)>& pointEnabled) {
    grid->addWidget(new QLabel(QStringLiteral("Lower"), owner), 0, 1, 1, span, Qt::AlignHCenter);
    grid->addWidget(new QLabel(QStringLiteral("Upper"), owner), 0, 1 + span, 1, span,
                    Qt::AlignHCenter);
    for (int n = 0; n < kCalOutputs; ++n) {
        auto* caption = new QLabel(QStringLiteral("Output %1").arg(n + 1), owner);
        caption->setEnabled(pointEnabled(2 * n));
        grid->addWidget(caption, n + 1, 0);
    }
}

QStringList OutputLevelList() {
    QStringList items;
    for (const std::string& item : OutputLevelItems()) {
        items.append(Q(item));
    }
    return items;
}

CalibrationFoot LayOutCalibrationForm(QDialog* form, QGridLayout* grid) {
    CalibrationFoot foot{new QLabel(form), new QPushButton(QStringLiteral("OK"), form),
                         new QPushButton(QStringLiteral("Cancel"), form)};
    foot.note->setWordWrap(true);
    foot.note->setFrameShape(QFrame::StyledPanel);
    foot.ok->setToolTip(QString::fromUtf8(kOutputCalOkTip));
    foot.ok->setAutoDefault(false);
    foot.cancel->setToolTip(QString::fromUtf8(kOutputCalCancelTip));
    foot.cancel->setAutoDefault(false);
    QObject::connect(foot.cancel, &QPushButton::clicked, form, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(foot.ok);
    buttons->addWidget(foot.cancel);
    auto* layout = new QVBoxLayout(form);
    layout->addLayout(grid);
    layout->addWidget(foot.note);
    layout->addLayout(buttons);
    return foot;
}

void FitLevelField(QLineEdit* field) {
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("-20.00 mA")) +
                           kFieldMargin);
}

}  // namespace kvr
