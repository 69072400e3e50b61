#include "monitor/TrendSeries.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>

#include "base/Registry.h"
#include "measure/EntityChannel.h"
#include "monitor/LogFile.h"
#include "monitor/MonitorConfig.h"

namespace kvr {

namespace {

constexpr const char* kValTrendsShown = "Trends Shown";
constexpr size_t kMinDrawnPoints = 8;

// A field of comma-separated text, quoted when it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

std::string CsvValue(double v) {
    if (std::isnan(v)) {
        return kInvalidValueText;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

int64_t FloorTo(int64_t t, int64_t step) {
    const int64_t q = t / step;
    return (t % step < 0 ? q - 1 : q) * step;
}

}  // namespace

void TrendBucket::Add(const TrendPoint& p) {
    if (p.Invalid()) {
        if (invalid++ == 0) {
            firstInvalidT = p.t;
        }
        return;
    }
    if (count++ == 0) {
        first = last = min = max = p;
        return;
    }
    last = p;
    if (p.v < min.v) {
        min = p;
    }
    if (p.v > max.v) {
        max = p;
    }
}

void TrendBucket::AppendPoints(std::vector<TrendPoint>& out) const {
    TrendPoint points[5];
    size_t n = 0;
    if (count > 0) {
        points[n++] = first;
        points[n++] = min;
        points[n++] = max;
        points[n++] = last;
    }
    if (invalid > 0) {
        points[n++] = {firstInvalidT, std::nan("")};
    }
    // Ties keep the order above, so the invalid reading comes after a valid one at the
    // same time and the curve still breaks.
    std::stable_sort(points, points + n,
                     [](const TrendPoint& a, const TrendPoint& b) { return a.t < b.t; });
    for (size_t i = 0; i < n; ++i) {
        const bool repeat = i > 0 && points[i].t == points[i - 1].t &&
                            points[i].Invalid() == points[i - 1].Invalid();
        if (!repeat) {
            out.push_back(points[i]);
        }
    }
}

TrendSeries::TrendSeries(const TrendLimits& limits) : limits_(limits) {
    limits_.bucketMs = std::max<int64_t>(limits_.bucketMs, 1);
    limits_.rawSpanMs = std::min(limits_.rawSpanMs, limits_.retentionMs);
    limits_.rawMaxPoints = std::max<size_t>(limits_.rawMaxPoints, 1);
}

void TrendSeries::Add(int64_t t, double v) {
    if (!recent_.empty()) {
        t = std::max(t, recent_.back().t);
    } else if (!buckets_.empty()) {
        t = std::max(t, buckets_.back().last.t);
    }
    recent_.push_back({t, v});
    while (recent_.size() > limits_.rawMaxPoints ||
           (!recent_.empty() && recent_.front().t < t - limits_.rawSpanMs)) {
        Fold(recent_.front());
        recent_.pop_front();
    }
    while (!buckets_.empty() &&
           buckets_.front().start + limits_.bucketMs <= t - limits_.retentionMs) {
        buckets_.pop_front();
    }
}

void TrendSeries::Fold(const TrendPoint& p) {
    const int64_t start = FloorTo(p.t, limits_.bucketMs);
    if (buckets_.empty() || buckets_.back().start != start) {
        buckets_.emplace_back();
        buckets_.back().start = start;
    }
    buckets_.back().Add(p);
}

void TrendSeries::Clear() {
    buckets_.clear();
    recent_.clear();
}

std::vector<TrendPoint> TrendSeries::Points(int64_t from, int64_t to, size_t maxPoints) const {
    std::vector<TrendPoint> all;
    for (const TrendBucket& b : buckets_) {
        if (b.start + limits_.bucketMs > from && b.start <= to) {
            b.AppendPoints(all);
        }
    }
    for (const TrendPoint& p : recent_) {
        if (p.t >= from && p.t <= to) {
            all.push_back(p);
        }
    }
    all.erase(std::remove_if(all.begin(), all.end(),
                             [from, to](const TrendPoint& p) { return p.t < from || p.t > to; }),
              all.end());
    maxPoints = std::max(maxPoints, kMinDrawnPoints);
    if (all.size() <= maxPoints) {
        return all;
    }
    // Each slice gives at most five points (first, min, max, last, a gap).
    const int64_t slices = static_cast<int64_t>(maxPoints / 5);
    const int64_t step = std::max<int64_t>((to - from) / slices + 1, 1);
    std::vector<TrendPoint> reduced;
    TrendBucket slice;
    for (const TrendPoint& p : all) {
        const int64_t start = from + FloorTo(p.t - from, step);
        if ((slice.count > 0 || slice.invalid > 0) && slice.start != start) {
            slice.AppendPoints(reduced);
            slice = TrendBucket{};
        }
        slice.start = start;
        slice.Add(p);
    }
    slice.AppendPoints(reduced);
    return reduced;
}

TrendModel::TrendModel(const TrendLimits& limits) : limits_(limits) {}

void TrendModel::SetMonitors(const std::vector<TrendMonitor>& monitors, bool secondaries) {
    if (monitors == monitors_ && secondaries == secondaries_) {
        return;
    }
    monitors_ = monitors;
    secondaries_ = secondaries;
    series_.assign(monitors.size(), TrendSeries(limits_));
    readings_ = 0;
}

void TrendModel::Add(int64_t t, const std::vector<double>& values) {
    for (size_t i = 0; i < series_.size(); ++i) {
        series_[i].Add(t, i < values.size() ? values[i] : std::nan(""));
    }
    newest_ = std::max(newest_, t);
    ++readings_;
    contact_ = true;
}

void TrendModel::NoteContact(bool contact, int64_t t) {
    if (contact_ && !contact && readings_ > 0) {
        Add(t, {});
    }
    contact_ = contact;
}

void TrendModel::Clear() {
    for (TrendSeries& s : series_) {
        s.Clear();
    }
    readings_ = 0;
}

std::string TrendModel::Csv() const {
    std::string text = "Time";
    for (const TrendMonitor& m : monitors_) {
        text += ',' + CsvField(m.label + " (" + m.unit + ")");
    }
    text += "\r\n";
    // Rows by time; a series with two points at one time (a bucket's last valid reading
    // and an invalid one) shows the later.
    std::map<int64_t, std::vector<std::string>> rows;
    for (size_t i = 0; i < series_.size(); ++i) {
        for (const TrendPoint& p : series_[i].Points(INT64_MIN, INT64_MAX, SIZE_MAX)) {
            std::vector<std::string>& row = rows[p.t];
            row.resize(series_.size());
            row[i] = CsvValue(p.v);
        }
    }
    for (const auto& [t, cells] : rows) {
        text += IsoUtcTime(t);
        for (const std::string& cell : cells) {
            text += ',' + cell;
        }
        text += "\r\n";
    }
    return text;
}

std::string IsoUtcTime(int64_t ms) {
    const int64_t seconds = FloorTo(ms, 1000) / 1000;
    const std::time_t s = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&s, &utc);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &utc);
    char text[48];
    std::snprintf(text, sizeof text, "%s.%03dZ", date, static_cast<int>(ms - seconds * 1000));
    return text;
}

int64_t WallClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::vector<TrendMonitor> TrendMonitors(const CQRLDoc& doc) {
    std::vector<TrendMonitor> out;
    const MonitorList& monitors = doc.Monitors();
    for (size_t i = 0; i < monitors.Size(); ++i) {
        const MeasuredEntity e = monitors.EntityAt(i);
        TrendMonitor m;
        m.key = MonitorKey(monitors.channels[i], e);
        if (!DescribeEntityChannel(doc, e, monitors.channels[i], m.label, true, false)) {
            m.label = "Invalid!";
        }
        // The label ends in a blank for the display; a column heading does not need it.
        while (!m.label.empty() && m.label.back() == ' ') {
            m.label.pop_back();
        }
        m.unit = EntityUnit(e);
        out.push_back(std::move(m));
    }
    return out;
}

void FeedTrends(const CQRLDoc& doc, bool secondaries, const std::vector<std::string>* texts,
                bool contact, int64_t t, TrendModel& model) {
    if (texts == nullptr) {
        model.NoteContact(contact, t);
        return;
    }
    model.SetMonitors(TrendMonitors(doc), secondaries);
    const MonitorList& monitors = doc.Monitors();
    std::vector<double> values(model.Size(), std::nan(""));
    for (size_t i = 0; i < values.size() && i < texts->size(); ++i) {
        double v = 0;
        if (LoggedValue((*texts)[i], monitors.EntityAt(i), v)) {
            values[i] = v;
        }
    }
    model.Add(t, values);
}

bool ReadTrendsShown() {
    uint32_t value = 0;
    return CRegistry::ReadDword(RegRoot::CurrentUser, kKeyPreferences, kValTrendsShown, value) ==
               kRegOk &&
           value != 0;
}

bool WriteTrendsShown(bool shown) {
    return CRegistry::WriteDword(RegRoot::CurrentUser, kKeyPreferences, kValTrendsShown,
                                 shown ? 1 : 0) == kRegOk;
}

}  // namespace kvr
