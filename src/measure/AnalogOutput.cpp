#include "measure/AnalogOutput.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "base/UserSeam.h"
#include "measure/EntityChannel.h"
#include "measure/MeasuredValue.h"

namespace kvr {

namespace {

constexpr int32_t kWordLimit = 32767;
constexpr int32_t kFrequencyMinimum = 4500;  // 45 Hz
constexpr double kMinimumSpanShare = 0.01;
constexpr int kPhasorCount = 2;
constexpr double kSnapDegrees = 15.0;

constexpr std::array<const char*, kRangeCodes> kScaleLabels = {
    "500 mV\n200 mV\n100 mV\n0 V\n-100 mV\n-200 mV\n-500 mV",
    nullptr,
    "2.5 V \n1.25 V\n0.5 V \n0 V\n-0.5 V \n-1.25 V\n-2.5 V",
    "3.8 V \n2.5 V \n1 V   \n0 V\n-1 V   \n-2.5 V \n-3.8 V",
    "5.0 V \n2.0 V \n1.0 V \n0 V\n-1.0 V \n-2.0 V \n-5.0 V ",
    nullptr,
    "10.0 V\n5.0 V \n2.0 V \n0 V\n-2.0 V \n-5.0 V \n-10.0 V",
    nullptr,
    "1.0 mA\n0.5 mA\n0.2 mA\n0 A\n-0.2 mA\n-0.5 mA\n-1.0 mA",
    nullptr,
    "5.0 mA\n2.0 mA\n1.0 mA\n0 A\n-1.0 mA\n-2.0 mA\n-5.0 mA",
    "7.5 mA\n5.0 mA\n2.0 mA\n0 A\n-2.0 mA\n-5.0 mA\n-7.5 mA",
    "10.0 mA\n5.0 mA\n2.0 mA \n0 mA\n-2.0 mA\n-5.0 mA\n-10.0 mA",
    nullptr,
    "20.0 mA\n10.0 mA\n4.0 mA\n0 mA\n-4.0 mA\n-10.0 mA\n-20.0 mA",
    nullptr,
};
constexpr const char* kUnitSetupError = "unit setup error!";

// Halves away from zero, for values already known to fit.
int32_t RoundHalfAway(double v) {
    return static_cast<int32_t>(std::round(v));
}

void InputError(const char* text) {
    AppMessageBox(text, MsgIcon::Warning, MsgButtons::Ok, kInputErrorTitle);
}

}  // namespace

const char* OutputRangeCodeName(int code) {
    if (code < 0 || code >= kRangeCodes) {
        return "illegal range";
    }
    return OutputRangeName(code >= 8, code % 8);
}

MeasuredEntity OutputRangeEntity(int code) {
    return code >= 8 ? entity::kCurrent : entity::kVoltage;
}

double OutputFullScale(int code) {
    MeasuredValue v;
    return v.ParseWithUnit(OutputRangeCodeName(code), OutputRangeEntity(code)) ? v.GetValue() : 0.0;
}

std::vector<std::string> OutputScaleLabels(int code) {
    const char* all =
        code >= 0 && code < kRangeCodes ? kScaleLabels[static_cast<size_t>(code)] : nullptr;
    if (all == nullptr) {
        return {kUnitSetupError};
    }
    std::vector<std::string> labels;
    std::string text(all);
    size_t start = 0;
    for (size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', start)) {
        labels.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    labels.push_back(text.substr(start));
    return labels;
}

int32_t MinimumSpan(const ParameterRecord& ownChannel, MeasuredEntity e) {
    switch (e) {
        case entity::kVoltage:
        case entity::kCurrent:
        case entity::kActivePower:
        case entity::kApparentPower:
        case entity::kReactivePower:
        case entity::kFrequency:
        case entity::kActiveEnergyImport:
        case entity::kApparentEnergy:
        case entity::kReactiveEnergyLag:
            return static_cast<int32_t>(kMinimumSpanShare * ownChannel.NominalRaw(e, false));
        default:
            return 0;
    }
}

AnalogOutputForm::AnalogOutputForm(CQRLDoc& doc, int channel, int port)
    : doc_(doc), channel_(channel), port_(port) {
    phasors_.Setup(kPhasorCount, kSnapDegrees);
}

const ParameterRecord& AnalogOutputForm::SourceRecord() const {
    return doc_.Channel(std::clamp(source_, 0, kChannelObjects - 1)).record;
}

void AnalogOutputForm::Open() {
    const ParameterRecord& r = doc_.Channel(channel_).record;
    entity_ = r.GetOutputEntity(port_);
    source_ = r.GetOutputSource(port_);
    minWord_ = r.GetScaleMin(port_);
    maxWord_ = r.GetScaleMax(port_);
    outMinWord_ = r.GetLevelMin(port_);
    outMaxWord_ = r.GetLevelMax(port_);
    secondary_ = true;
    bool current = false;
    int range = 0;
    r.GetOutputRange(port_, current, range);
    rangeCode_ = entity_ == entity::kNone ? kDefaultRangeCode : range + (current ? 8 : 0);
    valid_ = DescribeEntityChannel(doc_, entity_, source_, label_, kEnergyAllowed, kExportAllowed);
    if (!valid_) {
        label_ = kSelectEntityText;
    }
    ApplyEnabling(valid_);
}

void AnalogOutputForm::ApplyEnabling(bool valid) {
    valid_ = valid;
    for (std::string* text : {&minText_, &maxText_, &outMinText_, &outMaxText_, &shownMin_,
                              &shownMax_, &shownOutMin_, &shownOutMax_}) {
        text->clear();
    }
    if (IsPowerFactor()) {
        sideMin_ = (minWord_ & 1) != 0 ? -1.0 : 1.0;
        sideMax_ = (maxWord_ & 1) != 0 ? -1.0 : 1.0;
        phasors_.SetAngle(0, std::copysign(std::fabs(phasors_.GetAngle(0)), sideMin_));
        phasors_.SetAngle(1, std::copysign(std::fabs(phasors_.GetAngle(1)), sideMax_));
    }
    if (valid_) {
        ShowLimits();
        ApplyRange();
    }
}

std::string AnalogOutputForm::LimitText(int32_t word) const {
    double value = word / EntityScale(entity_);
    if (!secondary_) {
        value = SourceRecord().ToPrimary(entity_, value);
    }
    return MeasuredValue(value, entity_).FormatSignificant(kLimitDigits);
}

void AnalogOutputForm::ShowLimits() {
    minText_ = shownMin_ = LimitText(minWord_);
    maxText_ = shownMax_ = LimitText(maxWord_);
    if (IsPowerFactor()) {
        // The phasors show the limits on the side each one was stored with.
        phasors_.SetAngle(0, AngleOfPowerFactor(minWord_ / EntityScale(entity_), sideMin_));
        phasors_.SetAngle(1, AngleOfPowerFactor(maxWord_ / EntityScale(entity_), sideMax_));
    }
}

void AnalogOutputForm::ApplyRange() {
    fullScale_ = OutputFullScale(rangeCode_);
    scaleLabels_ = OutputScaleLabels(rangeCode_);
    const MeasuredEntity out = OutputRangeEntity(rangeCode_);
    for (int32_t* word : {&outMinWord_, &outMaxWord_}) {
        // Output counts beyond full scale (a fresh record's 32767) are shown at full scale;
        // the lower end is bounded the same way.
        *word = std::clamp(*word, -kFullScaleCounts, kFullScaleCounts);
    }
    outMinText_ = shownOutMin_ = MeasuredValue(outMinWord_ * fullScale_ / kFullScaleCounts, out)
                                     .FormatSignificant(kOutputDigits);
    outMaxText_ = shownOutMax_ = MeasuredValue(outMaxWord_ * fullScale_ / kFullScaleCounts, out)
                                     .FormatSignificant(kOutputDigits);
}

bool AnalogOutputForm::SelectRange(int code) {
    if (code < 0 || code >= kRangeCodes) {
        return false;
    }
    rangeCode_ = code;
    if (valid_) {
        ApplyRange();
    }
    return true;
}

bool AnalogOutputForm::ReadLimit(const std::string& text, int32_t& word) const {
    MeasuredValue v;
    if (!v.ParseWithUnit(text, entity_)) {
        return false;
    }
    double value = v.GetValue();
    if (!secondary_) {
        value = SourceRecord().ToSecondary(entity_, value);
    }
    const double scale = EntityScale(entity_);
    const double raw = value * scale;
    if (raw > kWordLimit || raw < -kWordLimit) {
        word = raw > 0 ? kWordLimit : -kWordLimit;
        const int bound = static_cast<int>(kWordLimit / scale);
        char message[128];
        std::snprintf(message, sizeof message,
                      "Value out of range. The secondary value must be between %d and -%d", bound,
                      bound);
        AppMessageBox(message, MsgIcon::Warning, MsgButtons::Ok, kOverflowErrorTitle);
        return false;
    }
    word = RoundHalfAway(raw);
    return true;
}

bool AnalogOutputForm::ReadOutput(const std::string& text, int32_t& word) const {
    MeasuredValue v;
    if (!v.ParseWithUnit(text, OutputRangeEntity(rangeCode_))) {
        return false;
    }
    const double value = v.GetValue();
    // A reserved range has no full scale: only 0 reads, as 0 counts, and "Output Values
    // must differ" then refuses the range; anything else is out of range.
    const double counts = fullScale_ != 0.0 ? value / fullScale_ * kFullScaleCounts
                          : value == 0.0    ? 0.0
                                            : std::copysign(HUGE_VAL, value);
    const char* overflow = nullptr;
    if (counts > kOutputSlackCounts) {
        word = kFullScaleCounts;
        overflow = "Maximum output value out of range. The output value must be between -%f and %f";
    } else if (counts > kFullScaleCounts) {
        word = kFullScaleCounts;
    } else if (counts < -kOutputSlackCounts) {
        word = -kFullScaleCounts;
        overflow = "Minimum output value out of range. The output value must be between -%f and %f";
    } else if (counts < -kFullScaleCounts) {
        word = -kFullScaleCounts;
    } else {
        word = RoundHalfAway(counts);
    }
    if (overflow != nullptr) {
        char message[160];
        std::snprintf(message, sizeof message, overflow, fullScale_, fullScale_);
        AppMessageBox(message, MsgIcon::Warning, MsgButtons::Ok, kOverflowErrorTitle);
        return false;
    }
    return true;
}

bool AnalogOutputForm::ReadLimitField(int k) {
    const std::string& text = k == 0 ? minText_ : maxText_;
    if (!text.empty() && text == (k == 0 ? shownMin_ : shownMax_)) {
        return true;
    }
    return ReadLimit(text, k == 0 ? minWord_ : maxWord_);
}

void AnalogOutputForm::SetSecondary(bool ticked) {
    if (ticked == secondary_) {
        return;
    }
    if (valid_) {
        // The limits as they were shown, in the mode they were shown in.
        ReadLimitField(0);
        ReadLimitField(1);
    }
    secondary_ = ticked;
    if (valid_) {
        ShowLimits();
    }
}

void AnalogOutputForm::SetMinText(const std::string& text) {
    minText_ = text;
    TypedLimit(0);
}

void AnalogOutputForm::SetMaxText(const std::string& text) {
    maxText_ = text;
    TypedLimit(1);
}

void AnalogOutputForm::ShowPhasorLimit(int k) {
    (k == 0 ? minText_ : maxText_) = MeasuredValue(phasors_.GetPowerFactor(k), entity::kPowerFactor)
                                         .FormatSignificant(kLimitDigits);
}

void AnalogOutputForm::TypedLimit(int k) {
    if (!valid_ || !IsPowerFactor()) {
        return;
    }
    MeasuredValue v;
    if (!v.ParseWithUnit(k == 0 ? minText_ : maxText_, entity::kPowerFactor) ||
        v.GetValue() < -1.0 || v.GetValue() > 1.0) {
        return;
    }
    const double angle = AngleOfPowerFactor(v.GetValue(), SideValue(k));
    phasors_.SetAngle(k, angle);
    if (pfLocked_) {
        const int other = 1 - k;
        phasors_.SetAngle(other, -angle);
        (other == 0 ? sideMin_ : sideMax_) = SideOfAngle(-angle);
        ShowPhasorLimit(other);
    }
}

void AnalogOutputForm::PhasorMoved() {
    if (!valid_ || !IsPowerFactor()) {
        return;
    }
    const int moved = phasors_.Selected();
    if (pfLocked_) {
        phasors_.SetAngle(1 - moved, -phasors_.GetAngle(moved));
    }
    // The side follows the phasor: below the axis is lagging (bit 0 set on OK).
    sideMin_ = SideOfAngle(phasors_.GetAngle(0));
    sideMax_ = SideOfAngle(phasors_.GetAngle(1));
    ShowPhasorLimit(0);
    ShowPhasorLimit(1);
}

void AnalogOutputForm::MovePhasor(int k, double angle) {
    if (phasors_.Select(k) && phasors_.SetAngle(k, angle)) {
        PhasorMoved();
    }
}

bool AnalogOutputForm::Change(MeasuredEntity e, int sourceChannel) {
    std::string label;
    if (!DescribeEntityChannel(doc_, e, sourceChannel, label, kEnergyAllowed, kExportAllowed)) {
        AppMessageBox(label);
        return false;
    }
    const MeasuredEntity old = entity_;
    entity_ = e;
    source_ = sourceChannel;
    label_ = label;
    minWord_ = e == entity::kFrequency ? kFrequencyMinimum : 0;
    if (e != old) {
        const double nominal =
            doc_.Channel(source_).record.NominalRaw(e, source_ == kThreePhaseChannel);
        maxWord_ = static_cast<int32_t>(ScaleRound(nominal, 1.0));
        outMinWord_ = 0;
        outMaxWord_ = kFullScaleCounts;
    }
    ApplyEnabling(true);
    return true;
}

bool AnalogOutputForm::Ok() {
    failed_ = AnalogField::None;
    if (!valid_) {
        failed_ = AnalogField::Entity;
        return false;
    }
    if (!ReadLimitField(0)) {
        failed_ = AnalogField::Minimum;
        InputError("Invalid Minimum value!");
        return false;
    }
    if (!ReadLimitField(1)) {
        failed_ = AnalogField::Maximum;
        InputError("Invalid Maximum value!");
        return false;
    }
    if (!IsPowerFactor()) {
        if (maxWord_ < minWord_) {
            failed_ = AnalogField::Minimum;
            InputError("The minimum and maximum values are reversed!");
            return false;
        }
        const int32_t span = MinimumSpan(doc_.Channel(channel_).record, entity_);
        if (maxWord_ - minWord_ < span) {
            failed_ = AnalogField::Maximum;
            const std::string least =
                MeasuredValue(span / EntityScale(entity_), entity_).FormatSignificant(kLimitDigits);
            const std::string text =
                "The maximum and minimum values are too close!\nThe difference should be at "
                "least " +
                least;
            InputError(text.c_str());
            return false;
        }
    }
    // A reserved range shows no real output value: its fields are always read.
    const bool keepOutputs = fullScale_ != 0.0;
    if ((!keepOutputs || outMinText_ != shownOutMin_) && !ReadOutput(outMinText_, outMinWord_)) {
        failed_ = AnalogField::OutputMin;
        return false;
    }
    if ((!keepOutputs || outMaxText_ != shownOutMax_) && !ReadOutput(outMaxText_, outMaxWord_)) {
        failed_ = AnalogField::OutputMax;
        return false;
    }
    if (outMinWord_ == outMaxWord_) {
        failed_ = AnalogField::OutputMax;
        InputError("Output Values must differ");
        return false;
    }
    if (IsPowerFactor()) {
        minWord_ = sideMin_ < 0 ? (minWord_ | 1) : (minWord_ & ~1);
        maxWord_ = sideMax_ < 0 ? (maxWord_ | 1) : (maxWord_ & ~1);
    }
    ParameterRecord& r = doc_.Channel(channel_).record;
    // The entity first: the power rule of the limits depends on it.
    r.SetOutputEntity(port_, entity_);
    r.SetOutputSource(port_, source_);
    r.SetScaleMin(port_, minWord_);
    r.SetScaleMax(port_, maxWord_);
    r.SetLevelMin(port_, static_cast<int16_t>(outMinWord_));
    r.SetLevelMax(port_, static_cast<int16_t>(outMaxWord_));
    r.SetOutputRange(port_, rangeCode_ >= 8, rangeCode_ % 8);
    return true;
}

int AnalogOutputForm::CalibrateDac() {
    doc_.Channel(channel_).record.SetOutputRange(port_, rangeCode_ >= 8, rangeCode_ % 8);
    doc_.SetModifiedFlag(true);
    return port_ + ParameterRecord::kOutputs * channel_;
}

}  // namespace kvr
