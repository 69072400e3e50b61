#include "calibration/forms/OutputCalibrate2Dlg.h"
#include "base/forms/QtText.h"
#include "calibration/forms/OutputGrid.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

namespace kvr {

namespace {

constexpr int kBarMinimumWidth = 120;

}  // namespace

COutputCalibrate2Dlg::COutputCalibrate2Dlg(OutputCalibrate2& rules, QWidget* parent)
    : QDialog(parent), rules_(rules) {
    setWindowTitle(QString::fromUtf8(kOutputCalibrate2Title));

    auto* grid = new QGridLayout;
    AddOutputGridHead(grid, this, 3, [this](int p) { return rules_.PointEnabled(p); });
    const QStringList items = OutputLevelList();
    for (int n = 0; n < kCalOutputs; ++n) {
        for (int side = 0; side < 2; ++side) {
            const int p = 2 * n + side;
            const bool enabled = rules_.PointEnabled(p);
            auto* list = new QComboBox(this);
            list->addItems(items);
            auto* box = new QLineEdit(this);
            box->setReadOnly(true);
            FitLevelField(box);
            box->setObjectName(QStringLiteral("value%1").arg(p));
            auto* bar = new QScrollBar(Qt::Horizontal, this);
            bar->setRange(kDacMin, kDacMax);
            bar->setSingleStep(1);
            bar->setPageStep(10);
            bar->setMinimumWidth(kBarMinimumWidth);
            bar->setFocusPolicy(Qt::StrongFocus);
            for (QWidget* w : std::initializer_list<QWidget*>{list, box, bar}) {
                w->setEnabled(enabled);
            }
            box->installEventFilter(this);
            grid->addWidget(list, n + 1, 1 + 3 * side);
            grid->addWidget(box, n + 1, 2 + 3 * side);
            grid->addWidget(bar, n + 1, 3 + 3 * side);
            targets_[static_cast<size_t>(p)] = list;
            boxes_[static_cast<size_t>(p)] = box;
            bars_[static_cast<size_t>(p)] = bar;
            connect(list, &QComboBox::activated, this, [this, p](int index) {
                rules_.SelectTarget(p, index);
                SyncPoint(p);
            });
            connect(bar, &QAbstractSlider::actionTriggered, this,
                    [this, p](int action) { OnBarAction(p, action); });
            SyncPoint(p);
        }
    }
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(6, 1);

    const CalibrationFoot foot = LayOutCalibrationForm(this, grid);
    note_ = foot.note;
    ok_ = foot.ok;
    cancel_ = foot.cancel;
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (rules_.Ok()) {
            accept();
        } else {
            SyncNote();
        }
    });
    SyncNote();

    keepAlive_.setInterval(static_cast<int>(kKeepAliveMs));
    connect(&keepAlive_, &QTimer::timeout, this, [this] { rules_.KeepAlive(); });
    keepAlive_.start();
}

void COutputCalibrate2Dlg::OnBarAction(int point, int action) {
    QScrollBar* bar = bars_[static_cast<size_t>(point)];
    ScrollAction a = ScrollAction::Thumb;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            a = ScrollAction::LineLeft;
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            a = ScrollAction::LineRight;
            break;
        case QAbstractSlider::SliderPageStepSub:
            a = ScrollAction::PageLeft;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            a = ScrollAction::PageRight;
            break;
        case QAbstractSlider::SliderToMinimum:
            a = ScrollAction::Left;
            break;
        case QAbstractSlider::SliderToMaximum:
            a = ScrollAction::Right;
            break;
        case QAbstractSlider::SliderMove:
            a = ScrollAction::Thumb;
            break;
        default:
            return;
    }
    rules_.Scroll(point, a, bar->sliderPosition());
    // The slider has moved by its own rule already; the rules' value replaces it.
    bar->setSliderPosition(rules_.PointValue(point));
    SyncNote();
}

void COutputCalibrate2Dlg::SyncPoint(int point) {
    QScrollBar* bar = bars_[static_cast<size_t>(point)];
    const QSignalBlocker quiet(bar);
    bar->setValue(rules_.PointValue(point));
    targets_[static_cast<size_t>(point)]->setCurrentIndex(rules_.PointTarget(point));
    boxes_[static_cast<size_t>(point)]->setText(Q(rules_.TargetText(point)));
}

bool COutputCalibrate2Dlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        for (int p = 0; p < kCalPoints; ++p) {
            if (watched == boxes_[static_cast<size_t>(p)]) {
                rules_.FocusPoint(p);
                SyncNote();
                bars_[static_cast<size_t>(p)]->setFocus();
                break;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void COutputCalibrate2Dlg::SyncNote() {
    note_->setText(Q(rules_.Note()));
}

void COutputCalibrate2Dlg::done(int result) {
    keepAlive_.stop();
    rules_.Close();
    QDialog::done(result);
}

bool RunOutputCalibrate2(QWidget* parent, CQRLDoc& doc) {
    OutputCalibrate2 rules(doc);
    if (!rules.Open()) {
        return false;
    }
    COutputCalibrate2Dlg form(rules, parent);
    return form.exec() == QDialog::Accepted;
}

}  // namespace kvr
