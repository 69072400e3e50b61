// CPhasorCtrl: the power-factor phasor control. A disc with both axes on which each phasor
// is drawn from the centre; a click or drag points the selected phasor, SHIFT snaps it to
// the step, and the arrow keys turn it (one degree, or one step with SHIFT). The angles
// live in a PhasorModel, which the output forms' rules share with the control.
#pragma once

#include <QColor>
#include <QWidget>
#include <functional>
#include <vector>

#include "measure/Phasor.h"

namespace kvr {

class CPhasorCtrl final : public QWidget {
    Q_OBJECT
  public:
    // Draws `model` (which outlives the control), or a model of its own when null.
    explicit CPhasorCtrl(PhasorModel* model = nullptr, QWidget* parent = nullptr);

    // Colours, phasor count, pen width and snap step; a count above 16 is refused and
    // leaves everything unchanged.
    bool Setup(const QColor& background, const QColor& disc, const QColor& axis,
               const std::vector<QColor>& phasorColours, int count, int penWidth,
               double snapDegrees);
    // Called after every change the user makes (after the redraw).
    void SetNotify(std::function<void()> notify) { notify_ = std::move(notify); }

    bool Select(int k) { return model_->Select(k); }
    double GetAngle(int k) const { return model_->GetAngle(k); }
    bool SetAngle(int k, double angle);
    double GetPowerFactor(int k) const { return model_->GetPowerFactor(k); }
    bool SetPowerFactor(int k, double p);
    PhasorModel& Model() { return *model_; }

    // The square the control draws in, for the current size and font.
    PhasorGeometry Geometry() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  Q_SIGNALS:
    void phasorMoved();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void PointAt(const QPoint& pos, bool snap);
    void UserChanged();

    PhasorModel own_;
    PhasorModel* model_;
    QColor background_{Qt::lightGray};
    QColor disc_{Qt::darkGreen};
    QColor axis_{Qt::black};
    std::vector<QColor> colours_;
    int penWidth_ = 2;
    std::function<void()> notify_;
};

}  // namespace kvr
