#include "calibration/forms/OutputGrid.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

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

void FitLevelField(QLineEdit* field) {
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("-20.00 mA")) +
                           kFieldMargin);
}

}  // namespace kvr
