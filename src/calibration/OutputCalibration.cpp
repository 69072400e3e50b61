#include "calibration/OutputCalibration.h"

#include <algorithm>
#include <cmath>

#include "base/UserSeam.h"
#include "measure/AnalogOutput.h"
#include "measure/FormExchange.h"

namespace kvr {

namespace {

constexpr int kLevelDac[] = {-2000, -1000, 0, 1000, 2000};
constexpr int kLevelCount = 5;
constexpr double kFullLevel = 2000.0;
constexpr double kMaxThreshold = 999.6;
constexpr double kMidThreshold = 428.4;
constexpr double kSameX = 1e-10;
constexpr int kLineStep = 1;
constexpr int kPageStep = 10;
constexpr int kAnalogCard = 1;
constexpr double kMilli = 0.001;

bool ValidPoint(int point) {
    return point >= 0 && point < kCalPoints;
}

// A value into the 16 bits of a DAC command, two's complement.
uint16_t DacWord(int value) {
    return static_cast<uint16_t>(static_cast<int16_t>(value));
}

}  // namespace

const std::vector<std::string>& OutputLevelItems() {
    static const std::vector<std::string> items = {"-Max", "-Mid", "Zero", "+Mid", "+Max"};
    return items;
}

int OutputLevelDac(int index) {
    return kLevelDac[std::clamp(index, 0, kLevelCount - 1)];
}

int OutputLevelIndex(int configuredLevel) {
    const double level = configuredLevel;
    if (level > kMaxThreshold) {
        return 4;
    }
    if (level > kMidThreshold) {
        return 3;
    }
    if (level > -kMidThreshold) {
        return 2;
    }
    if (level > -kMaxThreshold) {
        return 1;
    }
    return 0;
}

bool CalculateDacCalibration(double x1, double y1, double x2, double y2, int16_t& offset,
                             uint16_t& span) {
    // Not finite (a full scale of 0) fails here too, since no comparison holds.
    if (!(std::fabs(x2 - x1) >= kSameX)) {
        return false;
    }
    const double s = (y2 - y1) / (x2 - x1);
    const double o = y2 - x2 * s;
    if (!(s >= kDacSpanMin && s <= kDacSpanMax && o >= -kDacOffsetLimit && o <= kDacOffsetLimit)) {
        return false;
    }
    span = static_cast<uint16_t>(std::trunc(s + 0.5));
    offset = static_cast<int16_t>(std::trunc(o + 0.5));
    return true;
}

int ScrollDacValue(int value, ScrollAction action, int thumb) {
    switch (action) {
        case ScrollAction::LineLeft:
        case ScrollAction::Left:
            value -= kLineStep;
            break;
        case ScrollAction::LineRight:
        case ScrollAction::Right:
            value += kLineStep;
            break;
        case ScrollAction::PageLeft:
            value -= kPageStep;
            break;
        case ScrollAction::PageRight:
            value += kPageStep;
            break;
        case ScrollAction::Thumb:
            value = thumb;
            break;
    }
    return std::clamp(value, kDacMin, kDacMax);
}

CalOutput DescribeCalOutput(const CQRLDoc& doc, int output) {
    CalOutput out;
    out.channel = output / ParameterRecord::kOutputs;
    out.slot = output % ParameterRecord::kOutputs;
    const ParameterRecord& r = doc.Channel(out.channel).record;
    out.analog = r.GetCardType(out.slot) == kAnalogCard;
    int range = 0;
    r.GetOutputRange(out.slot, out.current, range);
    const int code = (out.current ? 8 : 0) + range;
    out.fullScale = OutputFullScale(code);
    out.valueEntity = OutputRangeEntity(code);
    return out;
}

MeasuredValue OutputValue(const CalOutput& out, double value) {
    MeasuredValue v(value, out.valueEntity);
    v.SetScale(out.current ? kMilli : 1.0);
    return v;
}

// --- shared --------------------------------------------------------------------------------

OutputCalibrationBase::OutputCalibrationBase(CQRLDoc& doc, int firstOutput, int lastOutput)
    : DeviceSession(doc),
      first_(std::clamp(firstOutput, 0, kCalOutputs - 1)),
      last_(std::clamp(lastOutput, first_, kCalOutputs - 1)) {}

bool OutputCalibrationBase::PointEnabled(int point) const {
    if (!ValidPoint(point)) {
        return false;
    }
    const int output = point / 2;
    return output >= first_ && output <= last_ && outputs_[static_cast<size_t>(output)].analog;
}

bool OutputCalibrationBase::OpenSession() {
    if (!Lock()) {
        return false;
    }
    note_ = kOutputCalOpenNote;
    for (int n = 0; n < kCalOutputs; ++n) {
        outputs_[static_cast<size_t>(n)] = DescribeCalOutput(doc_, n);
    }
    return true;
}

void OutputCalibrationBase::StartAttention() {
    if (!doc_.Port().EnsureOpen() || !doc_.Channel(0).Attention(true)) {
        note_ = kCalibrationCommsFailedText;
    }
}

bool OutputCalibrationBase::Drive(int point, int dac) {
    if (closed_ || !PointEnabled(point)) {
        return false;
    }
    const CalOutput& out = outputs_[static_cast<size_t>(point / 2)];
    if (!doc_.Channel(out.channel).WriteDac(out.slot, DacWord(dac)) || !OutputTestOn(out.channel)) {
        note_ = kCalibrationCommsFailedText;
        return false;
    }
    return true;
}

bool OutputCalibrationBase::StoreCalibration(const std::array<double, kCalPoints>& x,
                                             const std::array<double, kCalPoints>& y) {
    for (int n = first_; n <= last_; ++n) {
        const CalOutput& out = outputs_[static_cast<size_t>(n)];
        if (!out.analog) {
            continue;
        }
        const size_t lo = 2 * static_cast<size_t>(n);
        int16_t offset = 0;
        uint16_t span = 0;
        if (!CalculateDacCalibration(x[lo], y[lo], x[lo + 1], y[lo + 1], offset, span)) {
            AppMessageBox(kCalculationFailedText, MsgIcon::Warning);
            note_ = kCalculationFailedNote;
            return false;
        }
        doc_.Channel(out.channel).record.SetDacCalibration(out.slot, offset, span);
        doc_.SetModifiedFlag(true);
    }
    return true;
}

void OutputCalibrationBase::Close() {
    if (closed_) {
        return;
    }
    if (Locked()) {
        OutputTestOffAll();
    }
    closed_ = true;
}

// --- "Analog Output Calibration" ---------------------------------------------------------

OutputCalibration::OutputCalibration(CQRLDoc& doc, int firstOutput, int lastOutput)
    : OutputCalibrationBase(doc, firstOutput, lastOutput) {}

bool OutputCalibration::Open() {
    if (!OpenSession()) {
        return false;
    }
    for (int p = 0; p < kCalPoints; ++p) {
        const CalOutput& out = outputs_[static_cast<size_t>(p / 2)];
        const ParameterRecord& r = doc_.Channel(out.channel).record;
        levels_[static_cast<size_t>(p)] =
            OutputLevelIndex(p % 2 == 0 ? r.GetLevelMin(out.slot) : r.GetLevelMax(out.slot));
        texts_[static_cast<size_t>(p)].clear();
        if (PointEnabled(p)) {
            ShowExpected(p);
        }
    }
    StartAttention();
    return true;
}

void OutputCalibration::ShowExpected(int point) {
    const CalOutput& out = outputs_[static_cast<size_t>(point / 2)];
    const double level = OutputLevelDac(levels_[static_cast<size_t>(point)]);
    texts_[static_cast<size_t>(point)] =
        MeasuredValueToText(OutputValue(out, level / kFullLevel * out.fullScale));
}

bool OutputCalibration::SetPointText(int point, const std::string& text) {
    if (closed_ || !PointEnabled(point)) {
        return false;
    }
    texts_[static_cast<size_t>(point)] = text;
    return true;
}

bool OutputCalibration::SelectLevel(int point, int index) {
    if (closed_ || !PointEnabled(point) || index < 0 || index >= kLevelCount) {
        return false;
    }
    levels_[static_cast<size_t>(point)] = index;
    ShowExpected(point);
    return true;
}

bool OutputCalibration::FocusPoint(int point) {
    return Drive(point, OutputLevelDac(PointLevel(point)));
}

bool OutputCalibration::Ok() {
    if (closed_ || !Locked()) {
        return false;
    }
    std::array<double, kCalPoints> x{};
    std::array<double, kCalPoints> y{};
    for (int p = 0; p < kCalPoints; ++p) {
        if (!PointEnabled(p)) {
            continue;
        }
        const CalOutput& out = outputs_[static_cast<size_t>(p / 2)];
        MeasuredValue measured = OutputValue(out, 0.0);
        if (!SaveMeasuredValue(texts_[static_cast<size_t>(p)], measured)) {
            return false;
        }
        x[static_cast<size_t>(p)] = measured.GetValue() / out.fullScale;
        y[static_cast<size_t>(p)] = OutputLevelDac(PointLevel(p));
    }
    if (!StoreCalibration(x, y)) {
        return false;
    }
    Close();
    return true;
}

// --- "Output Calibrate 2" ------------------------------------------------------------------

OutputCalibrate2::OutputCalibrate2(CQRLDoc& doc, int firstOutput, int lastOutput)
    : OutputCalibrationBase(doc, firstOutput, lastOutput) {}

bool OutputCalibrate2::Open() {
    if (!OpenSession()) {
        return false;
    }
    for (int p = 0; p < kCalPoints; ++p) {
        const CalOutput& out = outputs_[static_cast<size_t>(p / 2)];
        const ParameterRecord& r = doc_.Channel(out.channel).record;
        const int target =
            OutputLevelIndex(p % 2 == 0 ? r.GetLevelMin(out.slot) : r.GetLevelMax(out.slot));
        targets_[static_cast<size_t>(p)] = target;
        values_[static_cast<size_t>(p)] = OutputLevelDac(target);
    }
    StartAttention();
    return true;
}

std::string OutputCalibrate2::TargetText(int point) const {
    if (!PointEnabled(point)) {
        return "";
    }
    const CalOutput& out = outputs_[static_cast<size_t>(point / 2)];
    const double level = OutputLevelDac(PointTarget(point));
    return MeasuredValueToText(OutputValue(out, level / kFullLevel * out.fullScale));
}

bool OutputCalibrate2::Scroll(int point, ScrollAction action, int thumb) {
    if (closed_ || !PointEnabled(point)) {
        return false;
    }
    int& value = values_[static_cast<size_t>(point)];
    value = ScrollDacValue(value, action, thumb);
    return Drive(point, value);
}

bool OutputCalibrate2::FocusPoint(int point) {
    if (!ValidPoint(point)) {
        AppBeep(kErrorBeepHz, kErrorBeepMs);
        return false;
    }
    return Drive(point, PointValue(point));
}

bool OutputCalibrate2::SelectTarget(int point, int index) {
    if (closed_ || !PointEnabled(point) || index < 0 || index >= kLevelCount) {
        return false;
    }
    targets_[static_cast<size_t>(point)] = index;
    values_[static_cast<size_t>(point)] = OutputLevelDac(index);
    return true;
}

bool OutputCalibrate2::Ok() {
    if (closed_ || !Locked()) {
        return false;
    }
    std::array<double, kCalPoints> x{};
    std::array<double, kCalPoints> y{};
    for (int p = 0; p < kCalPoints; ++p) {
        if (PointEnabled(p)) {
            const CalOutput& out = outputs_[static_cast<size_t>(p / 2)];
            const double target = OutputLevelDac(PointTarget(p)) / kFullLevel * out.fullScale;
            x[static_cast<size_t>(p)] = target / out.fullScale;
            y[static_cast<size_t>(p)] = PointValue(p);
        }
    }
    if (!StoreCalibration(x, y)) {
        return false;
    }
    Close();
    return true;
}

}  // namespace kvr
