#include "measure/forms/PhasorCtrl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <numbers>

namespace kvr {

namespace {

constexpr double kKeyStepDegrees = 1.0;

// An angle brought back into (-pi, pi].
double Wrapped(double a) {
    constexpr double kTwoPi = 2.0 * std::numbers::pi;
    while (a > std::numbers::pi) {
        a -= kTwoPi;
    }
    while (a <= -std::numbers::pi) {
        a += kTwoPi;
    }
    return a;
}

}  // namespace

CPhasorCtrl::CPhasorCtrl(PhasorModel* model, QWidget* parent)
    : QWidget(parent), model_(model != nullptr ? model : &own_) {
    colours_.assign(kMaxPhasors, QColor(Qt::blue));
    setFocusPolicy(Qt::StrongFocus);
    setToolTip(QString::fromUtf8(kPhasorToolTip));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

bool CPhasorCtrl::Setup(const QColor& background, const QColor& disc, const QColor& axis,
                        const std::vector<QColor>& phasorColours, int count, int penWidth,
                        double snapDegrees) {
    if (!model_->Setup(count, snapDegrees)) {
        return false;
    }
    background_ = background;
    disc_ = disc;
    axis_ = axis;
    for (size_t k = 0; k < phasorColours.size() && k < colours_.size(); ++k) {
        colours_[k] = phasorColours[k];
    }
    penWidth_ = penWidth;
    update();
    return true;
}

bool CPhasorCtrl::SetAngle(int k, double angle) {
    if (!model_->SetAngle(k, angle)) {
        return false;
    }
    update();
    return true;
}

bool CPhasorCtrl::SetPowerFactor(int k, double p) {
    if (!model_->SetPowerFactor(k, p)) {
        return false;
    }
    update();
    return true;
}

PhasorGeometry CPhasorCtrl::Geometry() const {
    const QSize text = fontMetrics().size(Qt::TextSingleLine, QStringLiteral("00"));
    return ComputePhasorGeometry(width(), height(), text.width(), text.height());
}

QSize CPhasorCtrl::sizeHint() const {
    const QSize text = fontMetrics().size(Qt::TextSingleLine, QStringLiteral("00"));
    const int side = 8 * text.height();
    return {side + 2 * text.width(), side + 2 * text.height()};
}

QSize CPhasorCtrl::minimumSizeHint() const {
    const QSize text = fontMetrics().size(Qt::TextSingleLine, QStringLiteral("00"));
    const int side = 3 * text.height();
    return {side + 2 * text.width(), side + 2 * text.height()};
}

void CPhasorCtrl::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.fillRect(rect(), background_);
    const PhasorGeometry g = Geometry();
    if (g.side <= 0) {
        return;
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF square(g.left, g.top, g.side, g.side);
    p.setPen(Qt::NoPen);
    p.setBrush(disc_);
    p.drawEllipse(square);

    // Axes of one device-independent pixel, on pixel centres so they stay crisp.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(axis_, 1));
    p.drawLine(g.left, g.centreY, g.left + g.side - 1, g.centreY);
    p.drawLine(g.centreX, g.top, g.centreX, g.top + g.side - 1);

    const QFontMetrics fm = fontMetrics();
    const int textH = fm.height();
    const auto label = [&](const QRect& box, int flags, const QString& text) {
        p.drawText(box, flags, text);
    };
    const int labelW = fm.horizontalAdvance(QStringLiteral("00"));
    label(QRect(g.left - labelW, g.centreY - textH, labelW, textH),
          Qt::AlignRight | Qt::AlignBottom, QStringLiteral("-1"));
    label(QRect(g.left + g.side, g.centreY - textH, labelW, textH), Qt::AlignLeft | Qt::AlignBottom,
          QStringLiteral("1"));
    label(QRect(g.centreX - labelW, g.top - textH, labelW, textH), Qt::AlignRight | Qt::AlignBottom,
          QStringLiteral("0"));
    label(QRect(g.centreX - labelW, g.top + g.side, labelW, textH), Qt::AlignRight | Qt::AlignTop,
          QStringLiteral("0"));

    p.setRenderHint(QPainter::Antialiasing, true);
    for (int k = 0; k < model_->Count(); ++k) {
        int x = 0;
        int y = 0;
        PhasorEndPoint(g, model_->GetAngle(k), x, y);
        QPen pen(colours_[static_cast<size_t>(k)], penWidth_);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.drawLine(QPointF(g.centreX, g.centreY), QPointF(x, y));
    }
    if (hasFocus()) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void CPhasorCtrl::PointAt(const QPoint& pos, bool snap) {
    if (model_->PointAt(Geometry(), pos.x(), pos.y(), snap)) {
        UserChanged();
    }
}

void CPhasorCtrl::UserChanged() {
    update();
    if (notify_) {
        notify_();
    }
    Q_EMIT phasorMoved();
}

void CPhasorCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        setFocus(Qt::MouseFocusReason);
        PointAt(event->position().toPoint(), (event->modifiers() & Qt::ShiftModifier) != 0);
        return;
    }
    QWidget::mousePressEvent(event);
}

void CPhasorCtrl::mouseMoveEvent(QMouseEvent* event) {
    if ((event->buttons() & Qt::LeftButton) != 0) {
        PointAt(event->position().toPoint(), (event->modifiers() & Qt::ShiftModifier) != 0);
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void CPhasorCtrl::keyPressEvent(QKeyEvent* event) {
    double turn = 0.0;  // counter-clockwise positive
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Left:
            turn = 1.0;
            break;
        case Qt::Key_Down:
        case Qt::Key_Right:
            turn = -1.0;
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    const int k = model_->Selected();
    const bool snap = (event->modifiers() & Qt::ShiftModifier) != 0;
    const double stepDegrees = snap ? model_->SnapDegrees() : kKeyStepDegrees;
    double a = model_->GetAngle(k) + turn * stepDegrees * std::numbers::pi / 180.0;
    if (snap) {
        a = SnapAngle(a, model_->SnapDegrees());
    }
    model_->SetAngle(k, Wrapped(a));
    UserChanged();
}

}  // namespace kvr
