#include "calibration/OutputPretest.h"

#include <algorithm>
#include <cmath>

#include "link/SerialPort.h"
#include "measure/FormExchange.h"

namespace kvr {

bool PlausibleDacCalibration(int16_t offset, uint16_t span) {
    return span >= kPlausibleSpanMin && span <= kPlausibleSpanMax &&
           offset >= -kPlausibleOffsetLimit && offset <= kPlausibleOffsetLimit;
}

OutputPretest::OutputPretest(CQRLDoc& doc) : DeviceSession(doc) {}

bool OutputPretest::Open() {
    if (!Lock()) {
        return false;
    }
    note_ = kOutputPretestNote;
    for (int n = 0; n < kCalOutputs; ++n) {
        CalOutput& out = outputs_[static_cast<size_t>(n)];
        out = DescribeCalOutput(doc_, n);
        if (!out.analog) {
            continue;
        }
        ParameterRecord& r = doc_.Channel(out.channel).record;
        int16_t offset = 0;
        uint16_t span = 0;
        r.GetDacCalibration(out.slot, offset, span);
        if (!PlausibleDacCalibration(offset, span)) {
            r.SetDacCalibration(out.slot, 0, kNominalDacSpan);
            doc_.SetModifiedFlag(true);
        }
        const double f = out.fullScale;
        auto& row = texts_[static_cast<size_t>(n)];
        row[0] = MeasuredValueToText(OutputValue(out, -f));
        row[1] = MeasuredValueToText(OutputValue(out, 0.0));
        row[2] = MeasuredValueToText(OutputValue(out, f));
    }
    (void)doc_.Channel(0).Attention(true);
    // The outputs are under test from the start, not only from the timer's first tick 5 s
    // later: a value driven before then would otherwise not reach the output.
    SetOutputTestOnAll();
    return true;
}

bool OutputPretest::RowEnabled(int output) const {
    return output >= 0 && output < kCalOutputs && outputs_[static_cast<size_t>(output)].analog;
}

const std::string& OutputPretest::FieldText(int output, int field) const {
    return texts_.at(static_cast<size_t>(output)).at(static_cast<size_t>(field));
}

bool OutputPretest::SetFieldText(int output, int field, const std::string& text) {
    if (closed_ || !RowEnabled(output) || field < 0 || field >= kPretestFields) {
        return false;
    }
    texts_[static_cast<size_t>(output)][static_cast<size_t>(field)] = text;
    return true;
}

bool OutputPretest::FocusField(int output, int field) {
    if (closed_ || !Locked() || !RowEnabled(output) || field < 0 || field >= kPretestFields) {
        return false;
    }
    const CalOutput& out = outputs_[static_cast<size_t>(output)];
    MeasuredValue value = OutputValue(out, 0.0);
    if (!SaveMeasuredValue(FieldText(output, field), value) || !(out.fullScale > 0.0)) {
        return false;
    }
    int16_t offset = 0;
    uint16_t span = 0;
    doc_.Channel(out.channel).record.GetDacCalibration(out.slot, offset, span);
    const double dac = std::trunc(value.GetValue() * span / out.fullScale);
    const int16_t word = static_cast<int16_t>(std::clamp(dac, -32768.0, 32767.0));
    if (!doc_.Channel(out.channel).WriteDac(out.slot, static_cast<uint16_t>(word))) {
        note_ = kCalibrationCommsFailedText;
        return false;
    }
    return true;
}

void OutputPretest::Tick() {
    if (closed_ || !Locked()) {
        return;
    }
    QuietOpenScope quiet;
    KeepAlive();
    SetOutputTestOnAll();
}

void OutputPretest::SetOutputTestOnAll() {
    const int count = std::min<int>(doc_.GetChannels(), kChannelObjects);
    for (int i = 0; i < count; ++i) {
        (void)doc_.Channel(i).SetOutputTest(true);
    }
}

void OutputPretest::Cancel() {
    if (!closed_ && Locked()) {
        OutputTestOffAll();
    }
    closed_ = true;
}

}  // namespace kvr
