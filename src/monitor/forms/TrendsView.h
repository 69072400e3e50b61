// The trends view: the monitors' values as curves over time, from the trends model the
// main view's timer feeds. A check box per monitor picks the curves; the window runs from
// 1 minute to 24 hours; the wheel zooms, the pointer reads values out; invalid readings
// break a curve and are marked; "Export CSV..." writes what the model holds.
//
// Qt Charts draws the frame, the date and value axes, the grid and the legend. The curves
// themselves are painted by one item over the plot area, because a chart's line series
// drops NaN points and so would join the readings on both sides of an invalid one.
//
// Integration:
//   auto* trends = new TrendsView(model, parent);   // in a dock beside the display
//   // each timer tick, after the model was fed:
//   if (trends->isVisible()) trends->Refresh();
#pragma once

#include <QChartView>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "monitor/TrendSeries.h"

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QChart;
class QDateTimeAxis;
class QValueAxis;
class QLineSeries;

namespace kvr {

// At most this many points of a curve are painted; more are reduced as the model's
// buckets are, so a day of readings costs no more to paint than a minute.
inline constexpr size_t kTrendDrawnPoints = 2000;
inline constexpr int64_t kTrendMinSpanMs = 10'000;

// The windows offered, in ms.
const std::vector<int64_t>& TrendWindows();
// "1 min", "1 h", "24 h"...
std::string TrendWindowText(int64_t ms);
// The span after one wheel step: zoomed in (steps > 0) or out by a quarter, within
// 10 s and 24 h.
int64_t ZoomedSpan(int64_t span, int steps);

class TrendCurvesItem;

// A curve being drawn: the model's series, its legend entry (which gives the colour) and
// the points painted.
struct TrendCurve {
    size_t index = 0;
    QLineSeries* legend = nullptr;
    std::vector<TrendPoint> points;
};

class TrendPlot final : public QChartView {
    Q_OBJECT
  public:
    explicit TrendPlot(QWidget* parent = nullptr);
    // steps > 0 zooms in around the time at x (in the widget).
    std::function<void(int steps, int x)> onWheel;
    std::function<void(int x)> onPointer;

  protected:
    void wheelEvent(QWheelEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
};

class TrendsView final : public QWidget {
    Q_OBJECT
  public:
    explicit TrendsView(const TrendModel& model, QWidget* parent = nullptr);
    ~TrendsView() override;

    // Follows the model: the check boxes follow its monitors (checks kept by monitor), the
    // curves get the readings added since the last call. Nothing moves while paused.
    void Refresh();
    void SetPaused(bool paused);
    bool Paused() const { return paused_; }
    // One of TrendWindows(); ends a zoom.
    void SetWindowMs(int64_t ms);
    int64_t SpanMs() const { return span_; }
    // A wheel step at the widget position x of the plot.
    void Zoom(int steps, int x);
    // The values of the curves at the plot's widget position x, into the read-out line.
    void ReadOutAt(int x);

    // The path of the export file: in, a proposal; out, the choice. False on Cancel.
    using PathChooser = std::function<bool(std::string& path)>;
    void SetPathChooser(PathChooser choose) { choose_ = std::move(choose); }
    // "Export CSV...": the model's text to a chosen file; a failure is told.
    void ExportCsv();

    QListWidget* SeriesList() const { return list_; }
    QComboBox* WindowBox() const { return windowBox_; }
    QPushButton* PauseButton() const { return pauseButton_; }
    TrendPlot* Plot() const { return plot_; }
    QString ReadOut() const;
    const std::vector<TrendCurve>& Curves() const { return curves_; }
    // The shown time range, ms since 1970.
    int64_t From() const { return to_ - span_; }
    int64_t To() const { return to_; }

  protected:
    // The chart's theme follows the palette (light or dark).
    void changeEvent(QEvent* event) override;

  private:
    void RebuildList();
    void OnItemChanged(QListWidgetItem* item);
    // Curves for the checked monitors, each loaded from the model for the shown range.
    void RebuildCurves();
    void LoadCurve(TrendCurve& curve) const;
    void UpdateAxes();
    int64_t TimeAtX(int x) const;

    const TrendModel& model_;
    QComboBox* windowBox_;
    QPushButton* pauseButton_;
    QPushButton* exportButton_;
    QListWidget* list_;
    TrendPlot* plot_;
    QLabel* readOut_;
    QChart* chart_;
    QDateTimeAxis* timeAxis_;
    QValueAxis* valueAxis_;
    TrendCurvesItem* curvesItem_;
    std::vector<TrendCurve> curves_;
    std::vector<TrendMonitor> listed_;
    bool listedSecondaries_ = false;
    uint64_t drawnReadings_ = 0;
    int64_t span_ = 10 * 60'000;
    int64_t to_ = 0;
    int64_t paintedTo_ = 0;  // to_ when the chart was last brought up to date
    bool paused_ = false;
    bool zoomed_ = false;  // a zoom while paused fixes the range
    bool filling_ = false;
    PathChooser choose_;
};

}  // namespace kvr
