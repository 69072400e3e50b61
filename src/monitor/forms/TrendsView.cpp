#include "monitor/forms/TrendsView.h"

#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QGraphicsItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "base/Files.h"
#include "base/UserSeam.h"
#include "measure/MeasuredValue.h"
#include "monitor/LogFile.h"
#include "monitor/forms/MonitorDisplay.h"

namespace kvr {

namespace {

constexpr int kDefaultChecked = 4;
constexpr size_t kSmoothPoints = 20'000;  // curves shown for a new list of monitors
constexpr const char* kExportTitle = "Export CSV";
constexpr const char* kExportFailedText = "The trends could not be written to ";

bool DarkPalette(const QPalette& p) {
    return p.color(QPalette::Window).lightness() < 128;
}

}  // namespace

const std::vector<int64_t>& TrendWindows() {
    static const std::vector<int64_t> kWindows = {60'000,    5 * 60'000,    15 * 60'000,
                                                  3'600'000, 6 * 3'600'000, kTrendWindowMaxMs};
    return kWindows;
}

std::string TrendWindowText(int64_t ms) {
    if (ms < 3'600'000) {
        return std::to_string(ms / 60'000) + " min";
    }
    return std::to_string(ms / 3'600'000) + " h";
}

int64_t ZoomedSpan(int64_t span, int steps) {
    double s = static_cast<double>(span);
    for (int i = 0; i < std::abs(steps); ++i) {
        s = steps > 0 ? s * 0.75 : s / 0.75;
    }
    return std::clamp(static_cast<int64_t>(std::llround(s)), kTrendMinSpanMs, kTrendWindowMaxMs);
}

// Paints every curve over the plot area: a path that is broken at each invalid reading,
// and a marker where a run of invalid readings begins (at the curve's last value, or the
// foot of the plot when there is none).
class TrendCurvesItem final : public QGraphicsItem {
  public:
    TrendCurvesItem(QChart* chart, const std::vector<TrendCurve>& curves)
        : QGraphicsItem(chart), chart_(chart), curves_(curves) {
        setZValue(10);
    }
    void SetRange(int64_t from, int64_t to, double low, double high) {
        prepareGeometryChange();
        from_ = from;
        to_ = to;
        low_ = low;
        high_ = high;
        update();
    }
    QRectF boundingRect() const override { return chart_->plotArea(); }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
        const QRectF area = chart_->plotArea();
        if (to_ <= from_ || high_ <= low_ || area.isEmpty()) {
            return;
        }
        painter->save();
        painter->setClipRect(area);
        size_t points = 0;
        for (const TrendCurve& c : curves_) {
            points += c.points.size();
        }
        // Smooth lines for a few curves; many are drawn plain, which costs far less.
        const bool smooth = points <= kSmoothPoints;
        painter->setRenderHint(QPainter::Antialiasing, smooth);
        const double xScale = area.width() / static_cast<double>(to_ - from_);
        const double yScale = area.height() / (high_ - low_);
        auto x = [&](int64_t t) { return area.left() + static_cast<double>(t - from_) * xScale; };
        auto y = [&](double v) { return area.bottom() - (v - low_) * yScale; };
        for (const TrendCurve& c : curves_) {
            const QColor colour = c.legend != nullptr ? c.legend->color() : QColor(Qt::gray);
            // A thin pen is drawn by the fast path of the painter; a wider one is stroked.
            painter->setPen(QPen(colour, smooth ? 1.5 : 0.0));
            painter->setBrush(Qt::NoBrush);
            QPainterPath markers;
            QPolygonF run;
            run.reserve(static_cast<qsizetype>(c.points.size()));
            bool inGap = false;
            double lastY = area.bottom();
            for (const TrendPoint& p : c.points) {
                if (p.Invalid()) {
                    if (!inGap) {
                        const QPointF at(x(p.t), lastY);
                        markers.moveTo(at);
                        markers.lineTo(at + QPointF(-4, 7));
                        markers.lineTo(at + QPointF(4, 7));
                        markers.closeSubpath();
                    }
                    painter->drawPolyline(run);
                    run.clear();
                    inGap = true;
                    continue;
                }
                inGap = false;
                run.append(QPointF(x(p.t), y(p.v)));
                lastY = std::clamp(run.back().y(), area.top(), area.bottom() - 7);
            }
            painter->drawPolyline(run);
            // The red of a value the unit does not deliver, as on the display.
            painter->setPen(QPen(kNoContactColour, 1));
            painter->setBrush(kNoContactColour);
            painter->drawPath(markers);
        }
        painter->restore();
    }

  private:
    QChart* chart_;
    const std::vector<TrendCurve>& curves_;
    int64_t from_ = 0, to_ = 0;
    double low_ = 0, high_ = 1;
};

TrendPlot::TrendPlot(QWidget* parent) : QChartView(parent) {
    setMouseTracking(true);
    setRenderHint(QPainter::Antialiasing, true);
}

void TrendPlot::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0 && onWheel) {
        onWheel(steps, static_cast<int>(event->position().x()));
    }
    event->accept();
}

void TrendPlot::mouseMoveEvent(QMouseEvent* event) {
    if (onPointer) {
        onPointer(static_cast<int>(event->position().x()));
    }
    QChartView::mouseMoveEvent(event);
}

TrendsView::TrendsView(const TrendModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setObjectName(QStringLiteral("trendsView"));
    auto* layout = new QVBoxLayout(this);
    auto* bar = new QHBoxLayout;
    auto* windowLabel = new QLabel(QStringLiteral("&Window:"), this);
    windowBox_ = new QComboBox(this);
    windowLabel->setBuddy(windowBox_);
    for (const int64_t ms : TrendWindows()) {
        windowBox_->addItem(QString::fromStdString(TrendWindowText(ms)),
                            QVariant::fromValue<qlonglong>(ms));
    }
    pauseButton_ = new QPushButton(QStringLiteral("&Pause"), this);
    pauseButton_->setCheckable(true);
    exportButton_ = new QPushButton(QStringLiteral("E&xport CSV..."), this);
    bar->addWidget(windowLabel);
    bar->addWidget(windowBox_);
    bar->addWidget(pauseButton_);
    bar->addWidget(exportButton_);
    bar->addStretch(1);
    layout->addLayout(bar);

    auto* split = new QSplitter(Qt::Horizontal, this);
    list_ = new QListWidget(split);
    list_->setObjectName(QStringLiteral("trendSeries"));
    // A long label takes a second line instead of running under a scroll bar.
    list_->setWordWrap(true);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    plot_ = new TrendPlot(split);
    split->addWidget(list_);
    split->addWidget(plot_);
    split->setStretchFactor(1, 1);
    split->setSizes({fontMetrics().averageCharWidth() * 30, fontMetrics().averageCharWidth() * 60});
    layout->addWidget(split, 1);
    readOut_ = new QLabel(this);
    readOut_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    readOut_->setWordWrap(true);
    readOut_->setMinimumHeight(fontMetrics().height());
    layout->addWidget(readOut_);

    chart_ = new QChart;
    chart_->setTheme(DarkPalette(palette()) ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    chart_->legend()->hide();
    timeAxis_ = new QDateTimeAxis;
    valueAxis_ = new QValueAxis;
    // The value labels are short ("%.4g"): whole, never elided to "...".
    valueAxis_->setLabelFormat(QStringLiteral("%.4g"));
    valueAxis_->setTruncateLabels(false);
    timeAxis_->setTruncateLabels(false);
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);
    plot_->setChart(chart_);
    curvesItem_ = new TrendCurvesItem(chart_, curves_);
    connect(chart_, &QChart::plotAreaChanged, this, [this] { UpdateAxes(); });

    windowBox_->setCurrentIndex(1);
    span_ = TrendWindows()[1];
    connect(windowBox_, &QComboBox::activated, this,
            [this](int i) { SetWindowMs(windowBox_->itemData(i).toLongLong()); });
    connect(pauseButton_, &QPushButton::toggled, this, &TrendsView::SetPaused);
    connect(exportButton_, &QPushButton::clicked, this, &TrendsView::ExportCsv);
    connect(list_, &QListWidget::itemChanged, this, &TrendsView::OnItemChanged);
    plot_->onWheel = [this](int steps, int x) { Zoom(steps, x); };
    plot_->onPointer = [this](int x) { ReadOutAt(x); };
    choose_ = [this](std::string& path) {
        const QString chosen = QFileDialog::getSaveFileName(
            this, QString::fromLatin1(kExportTitle), QString::fromStdString(path),
            QStringLiteral("Comma-separated values (*.csv);;All files (*)"));
        path = chosen.toStdString();
        return !chosen.isEmpty();
    };
    Refresh();
}

TrendsView::~TrendsView() = default;

void TrendsView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        chart_->setTheme(DarkPalette(palette()) ? QChart::ChartThemeDark : QChart::ChartThemeLight);
        curvesItem_->update();
    }
}

void TrendsView::Refresh() {
    bool rebuild = false;
    if (model_.Monitors() != listed_ || model_.Secondaries() != listedSecondaries_ ||
        model_.Readings() < drawnReadings_) {
        RebuildList();
        rebuild = true;
    }
    if (rebuild && paused_) {
        RebuildCurves();  // the same range, for the monitors there are now
        return;
    }
    if (paused_) {
        return;
    }
    const uint64_t fresh = model_.Readings() - drawnReadings_;
    drawnReadings_ = model_.Readings();
    to_ = model_.Empty() ? WallClockMs() : model_.Newest();
    if (rebuild) {
        RebuildCurves();
        return;
    }
    if (fresh == 0) {
        return;
    }
    // New readings are appended; a curve is loaded afresh from the model only when it has
    // grown well past what is painted.
    for (TrendCurve& c : curves_) {
        const std::deque<TrendPoint>& recent = model_.Series(c.index).Recent();
        if (fresh > recent.size() || c.points.size() > kTrendDrawnPoints * 3 / 2) {
            LoadCurve(c);
            continue;
        }
        c.points.insert(c.points.end(), recent.end() - static_cast<long>(fresh), recent.end());
    }
    // The chart is painted again once the time line has moved by a pixel: every tick in a
    // minute's window, every minute or two in a day's.
    const double width = std::max(chart_->plotArea().width(), 1.0);
    if (static_cast<double>(to_ - paintedTo_) >= static_cast<double>(span_) / width) {
        UpdateAxes();
    }
}

void TrendsView::RebuildList() {
    std::vector<uint16_t> checked;
    for (int i = 0; i < list_->count(); ++i) {
        if (list_->item(i)->checkState() == Qt::Checked) {
            checked.push_back(static_cast<uint16_t>(list_->item(i)->data(Qt::UserRole).toUInt()));
        }
    }
    const bool keep = !listed_.empty();
    listed_ = model_.Monitors();
    listedSecondaries_ = model_.Secondaries();
    filling_ = true;
    list_->clear();
    for (size_t i = 0; i < listed_.size(); ++i) {
        const TrendMonitor& m = listed_[i];
        auto* item = new QListWidgetItem(QString::fromStdString(m.label + " (" + m.unit + ")"));
        item->setData(Qt::UserRole, m.key);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        const bool on = keep ? std::find(checked.begin(), checked.end(), m.key) != checked.end()
                             : i < kDefaultChecked;
        item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
        list_->addItem(item);
    }
    filling_ = false;
    drawnReadings_ = model_.Readings();
}

void TrendsView::OnItemChanged(QListWidgetItem*) {
    if (!filling_) {
        RebuildCurves();
    }
}

void TrendsView::RebuildCurves() {
    chart_->removeAllSeries();
    curves_.clear();
    filling_ = true;
    for (int i = 0; i < list_->count(); ++i) {
        list_->item(i)->setIcon(QIcon());
    }
    filling_ = false;
    for (int i = 0; i < list_->count() && static_cast<size_t>(i) < model_.Size(); ++i) {
        if (list_->item(i)->checkState() != Qt::Checked) {
            continue;
        }
        TrendCurve c;
        c.index = static_cast<size_t>(i);
        c.legend = new QLineSeries;
        c.legend->setName(list_->item(i)->text());
        chart_->addSeries(c.legend);
        c.legend->attachAxis(timeAxis_);
        c.legend->attachAxis(valueAxis_);
        // The check box's swatch names the curve's colour: a legend of sixty entries
        // would not fit, and laying it out again costs time on every step of the axis.
        QPixmap swatch(fontMetrics().height() / 2 * 2, fontMetrics().height() / 2 * 2);
        swatch.fill(c.legend->color());
        filling_ = true;
        list_->item(i)->setIcon(QIcon(swatch));
        filling_ = false;
        LoadCurve(c);
        curves_.push_back(std::move(c));
    }
    UpdateAxes();
}

void TrendsView::LoadCurve(TrendCurve& c) const {
    // A little before the window, so the curve enters from its left edge.
    c.points = model_.Series(c.index).Points(From() - span_ / 8, To(), kTrendDrawnPoints);
}

void TrendsView::UpdateAxes() {
    double low = HUGE_VAL, high = -HUGE_VAL;
    const int64_t from = From();
    for (const TrendCurve& c : curves_) {
        for (const TrendPoint& p : c.points) {
            if (!p.Invalid() && p.t >= from && p.t <= to_) {
                low = std::min(low, p.v);
                high = std::max(high, p.v);
            }
        }
    }
    if (low > high) {
        low = 0;
        high = 1;
    } else {
        // The value range stays while the curves fill at least half of it: a new range on
        // every reading would lay the axis out again each time.
        const double shownLow = valueAxis_->min(), shownHigh = valueAxis_->max();
        const bool fits =
            low >= shownLow && high <= shownHigh && (high - low) * 2 >= shownHigh - shownLow;
        const double pad = high > low ? (high - low) * 0.1 : std::max(std::abs(high) * 0.05, 1.0);
        low = fits ? shownLow : low - pad;
        high = fits ? shownHigh : high + pad;
    }
    paintedTo_ = to_;
    timeAxis_->setFormat(span_ <= 3'600'000 ? QStringLiteral("HH:mm:ss")
                                            : QStringLiteral("dd HH:mm"));
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to_));
    valueAxis_->setRange(low, high);
    curvesItem_->SetRange(from, to_, low, high);
}

void TrendsView::SetPaused(bool paused) {
    if (pauseButton_->isChecked() != paused) {
        pauseButton_->setChecked(paused);  // comes back here through the signal
        return;
    }
    paused_ = paused;
    pauseButton_->setText(paused ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
    if (!paused) {
        zoomed_ = false;
        drawnReadings_ = model_.Readings();
        to_ = model_.Empty() ? WallClockMs() : model_.Newest();
        RebuildCurves();
    }
}

void TrendsView::SetWindowMs(int64_t ms) {
    span_ = std::clamp(ms, kTrendWindowMinMs, kTrendWindowMaxMs);
    const auto& windows = TrendWindows();
    const auto at = std::find(windows.begin(), windows.end(), span_);
    if (at != windows.end()) {
        windowBox_->setCurrentIndex(static_cast<int>(at - windows.begin()));
    }
    zoomed_ = false;
    if (!paused_) {
        to_ = model_.Empty() ? WallClockMs() : model_.Newest();
    }
    RebuildCurves();
}

int64_t TrendsView::TimeAtX(int x) const {
    const QPointF at = chart_->mapFromScene(plot_->mapToScene(QPoint(x, 0)));
    const QRectF area = chart_->plotArea();
    if (area.width() <= 0) {
        return to_;
    }
    const double f = (at.x() - area.left()) / area.width();
    return From() + static_cast<int64_t>(std::llround(f * static_cast<double>(span_)));
}

void TrendsView::Zoom(int steps, int x) {
    const int64_t span = ZoomedSpan(span_, steps);
    if (span == span_) {
        return;
    }
    if (paused_) {
        // Around the time under the pointer; the range then stays where it was put.
        const int64_t t = std::clamp(TimeAtX(x), From(), To());
        const double f = static_cast<double>(t - From()) / static_cast<double>(span_);
        to_ = t + static_cast<int64_t>(std::llround((1.0 - f) * static_cast<double>(span)));
        zoomed_ = true;
    }
    span_ = span;
    RebuildCurves();
}

void TrendsView::ReadOutAt(int x) {
    const QRectF area = chart_->plotArea();
    const QPointF at = chart_->mapFromScene(plot_->mapToScene(QPoint(x, 0)));
    if (at.x() < area.left() || at.x() > area.right() || curves_.empty()) {
        readOut_->clear();
        return;
    }
    const int64_t t = TimeAtX(x);
    QStringList parts;
    parts << QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("HH:mm:ss"));
    for (const TrendCurve& c : curves_) {
        const std::vector<TrendPoint>& p = c.points;
        auto it = std::lower_bound(p.begin(), p.end(), t,
                                   [](const TrendPoint& q, int64_t v) { return q.t < v; });
        if (it == p.end() || (it != p.begin() && t - (it - 1)->t < it->t - t)) {
            it = it == p.begin() ? it : it - 1;
        }
        if (it == p.end()) {
            continue;
        }
        const TrendMonitor& m = model_.Monitors().at(c.index);
        const std::string value = it->Invalid() ? std::string(kInvalidValueText)
                                                : MeasuredValue(it->v, EntityFromCode(m.key & 0xFF))
                                                      .FormatSignificant(kValueDigits);
        parts << QString::fromStdString(m.label + ": " + value);
    }
    readOut_->setText(parts.join(QStringLiteral("   ")));
}

QString TrendsView::ReadOut() const {
    return readOut_->text();
}

void TrendsView::ExportCsv() {
    std::string path = "trends.csv";
    if (!choose_ || !choose_(path) || path.empty()) {
        return;
    }
    std::string error;
    if (!WriteFileAtomically(path, model_.Csv(), error)) {
        AppMessageBox(kExportFailedText + path + ":\n" + error, MsgIcon::Warning, MsgButtons::Ok,
                      kExportTitle);
    }
}

}  // namespace kvr
