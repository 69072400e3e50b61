#include "calibration/InputCalibration.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/Clock.h"
#include "base/Settings.h"
#include "measure/FormExchange.h"

namespace kvr {

namespace {

constexpr double kPresetFactors[] = {1.2, 1.0, 0.8};
constexpr unsigned kPauseMinMs = 500;
constexpr unsigned kPauseSpreadMs = 1000;
constexpr unsigned kRandomMax = 32767;

MeasuredEntity EntityOf(bool current) {
    return current ? entity::kCurrent : entity::kVoltage;
}

const char* QuantityName(bool current) {
    return current ? "current" : "voltage";
}

}  // namespace

const std::vector<std::string>& InputPresetItems() {
    static const std::vector<std::string> items = {"+20%", "Nominal", "-20%", "Previous"};
    return items;
}

InputCalibration::InputCalibration(CQRLDoc& doc, int first, int last, uint32_t seed)
    : DeviceSession(doc),
      first_(std::clamp(first, 0, kInputChannels - 1)),
      last_(std::clamp(last, first_, kInputChannels - 1)),
      random_(seed) {}

InputCalibration::~InputCalibration() = default;

void InputCalibration::AllInputsRange(const CQRLDoc& doc, int& first, int& last) {
    first = 0;
    last = doc.GetChannels() == kChannelObjects ? kInputChannels - 1 : 0;
}

bool InputCalibration::Open() {
    if (!Lock()) {
        return false;
    }
    note_ = kInputCalOpenNote;
    CalibrationPrefs prefs;
    previousRead_ = ReadCalibrationPrefs(prefs);
    for (int c = 0; c < kInputChannels; ++c) {
        for (bool current : {false, true}) {
            MeasuredValue& v = previous_[Index(c, current)];
            v = MeasuredValue(0.0, EntityOf(current));
            if (previousRead_) {
                TextToMeasuredValue(prefs[Index(c, current)], v);
            }
        }
    }
    const int preset =
        static_cast<int>(previousRead_ ? InputPreset::Previous : InputPreset::Nominal);
    // Every field starts from the chosen preset, so that storing the references later
    // keeps the previous ones of the channels outside the range.
    for (int c = 0; c < kInputChannels; ++c) {
        SetField(c, false, PresetValue(c, false, preset));
        SetField(c, true, PresetValue(c, true, preset));
    }
    voltagePreset_ = preset;
    currentPreset_ = preset;
    return true;
}

const std::string& InputCalibration::ReferenceText(int channel, bool current) const {
    return fields_.at(Index(channel, current)).text;
}

bool InputCalibration::SetReferenceText(int channel, bool current, const std::string& text) {
    if (!FieldEnabled(channel) || state_ == SamplingState::Sampling) {
        return false;
    }
    Field& f = F(channel, current);
    f.text = text;
    f.value = MeasuredValue(0.0, EntityOf(current));
    TextToMeasuredValue(text, f.value);
    return true;
}

void InputCalibration::SetField(int channel, bool current, const MeasuredValue& value) {
    Field& f = F(channel, current);
    f.value = value;
    f.text = MeasuredValueToText(value);
}

MeasuredValue InputCalibration::PresetValue(int channel, bool current, int index) const {
    if (index == static_cast<int>(InputPreset::Previous)) {
        return previous_[Index(channel, current)];
    }
    const double secondary = doc_.Channel(channel).record.GetPrimary(
        current ? InputKind::Current : InputKind::Voltage, Winding::Secondary);
    return MeasuredValue(kPresetFactors[index] * secondary, EntityOf(current));
}

bool InputCalibration::SelectPreset(bool current, int index) {
    if (index < 0 || index >= static_cast<int>(InputPresetItems().size()) ||
        state_ == SamplingState::Sampling) {
        return false;
    }
    (current ? currentPreset_ : voltagePreset_) = index;
    for (int c = first_; c <= last_; ++c) {
        SetField(c, current, PresetValue(c, current, index));
    }
    return true;
}

bool InputCalibration::ApplyPresetText(bool current, const std::string& text) {
    MeasuredValue v(0.0, EntityOf(current));
    TextToMeasuredValue(text, v);
    if (!v.IsValid() || state_ == SamplingState::Sampling) {
        return false;
    }
    for (int c = first_; c <= last_; ++c) {
        SetField(c, current, v);
    }
    return true;
}

bool InputCalibration::Begin() {
    if (!Locked() || state_ == SamplingState::Sampling) {
        return false;
    }
    for (int c = first_; c <= last_; ++c) {
        for (bool current : {false, true}) {
            if (!ValidateMeasuredValue(F(c, current).value)) {
                return false;
            }
        }
    }
    CalibrationPrefs prefs;
    for (size_t i = 0; i < fields_.size(); ++i) {
        // A field outside the range that does not read keeps its stored text.
        prefs[i] =
            fields_[i].value.IsValid() ? MeasuredValueToText(fields_[i].value) : fields_[i].text;
        runReferences_[i] = fields_[i].value.GetValue();
        previous_[i] = fields_[i].value;
    }
    (void)WriteCalibrationPrefs(prefs);
    previousRead_ = true;
    cancel_ = false;
    busy_ = std::make_unique<BusyMessage>(kSamplingBusyText);
    note_ = kInputCalRunningNote;
    sums_.fill(0.0);
    samples_ = 0;
    state_ = SamplingState::Sampling;
    if (!doc_.Channel(first_).Attention(true)) {
        // The port did not open, and the link has already said so.
        Fail("");
        return false;
    }
    return true;
}

unsigned InputCalibration::Step() {
    if (state_ != SamplingState::Sampling) {
        return 0;
    }
    if (cancel_) {
        EndRun(SamplingState::Cancelled);
        return 0;
    }
    if (!doc_.Channel(first_).Sample()) {
        return Fail(kSampleFailedText);
    }
    for (int c = first_; c <= last_; ++c) {
        CChannelLink& channel = doc_.Channel(c);
        if (!channel.ReadValues()) {
            return Fail(kRetrieveFailedText);
        }
        double value = 0.0;
        if (!channel.GetValue(entity::kVoltage, Winding::Primary, value)) {
            return Fail(kInvalidVoltageText);
        }
        sums_[Index(c, false)] += value;
        if (!channel.GetValue(entity::kCurrent, Winding::Primary, value)) {
            return Fail(kInvalidCurrentText);
        }
        sums_[Index(c, true)] += value;
    }
    ++samples_;
    note_ += " .";
    if (samples_ < kCalibrationSamples) {
        const unsigned r = static_cast<unsigned>(random_() % (kRandomMax + 1));
        return kPauseMinMs + (r * kPauseSpreadMs) / kRandomMax;
    }
    // The pause after the last sample would only delay the result.
    for (int c = first_; c <= last_; ++c) {
        for (bool current : {false, true}) {
            const size_t i = Index(c, current);
            averages_[i] = sums_[i] / kCalibrationSamples;
            references_[i] = runReferences_[i];
        }
    }
    note_ = kInputCalDoneNote;
    saveEnabled_ = true;
    EndRun(SamplingState::Completed);
    return 0;
}

bool InputCalibration::Run(const std::function<void(int)>& onSample) {
    if (!Begin()) {
        return false;
    }
    for (;;) {
        const int before = samples_;
        const unsigned pause = Step();
        if (onSample && samples_ != before) {
            onSample(samples_);
        }
        if (pause == 0) {
            break;
        }
        GetClock().SleepMs(pause);
    }
    return state_ == SamplingState::Completed;
}

void InputCalibration::EndRun(SamplingState state) {
    state_ = state;
    busy_.reset();
}

unsigned InputCalibration::Fail(const std::string& message) {
    EndRun(SamplingState::Failed);
    AppBeep(kErrorBeepHz, kErrorBeepMs);
    if (!message.empty()) {
        AppMessageBox(message, MsgIcon::Warning);
    }
    note_ = kCalibrationCommsFailedText;
    return 0;
}

double InputCalibration::Average(int channel, bool current) const {
    return averages_.at(Index(channel, current));
}

bool InputCalibration::RefuseNonPositive(int channel, bool current, double reference,
                                         double average) {
    char text[256];
    if (!(reference > 0.0)) {
        std::snprintf(text, sizeof text,
                      "The reference %s of channel %d is not above zero, so no gain can be "
                      "calculated.\nNothing has been applied.",
                      QuantityName(current), channel + 1);
    } else if (!(average > 0.0)) {
        std::snprintf(text, sizeof text,
                      "Channel %d measured no %s (the average of the samples is zero), so no "
                      "gain can be calculated.\nCheck the connections and calibrate again; "
                      "nothing has been applied.",
                      channel + 1, QuantityName(current));
    } else {
        return false;
    }
    AppMessageBox(text, MsgIcon::Error);
    return true;
}

SaveResult InputCalibration::Save() {
    if (!saveEnabled_ || state_ == SamplingState::Sampling) {
        return SaveResult::NotReady;
    }
    // Refusals first: nothing is asked when nothing could be applied.
    for (int c = first_; c <= last_; ++c) {
        for (bool current : {false, true}) {
            const size_t i = Index(c, current);
            if (RefuseNonPositive(c, current, references_[i], averages_[i])) {
                return SaveResult::Refused;
            }
        }
    }
    for (int c = first_; c <= last_; ++c) {
        for (bool current : {false, true}) {
            const double reference = references_[Index(c, current)];
            const double deviation =
                std::fabs(reference - averages_[Index(c, current)]) * 100.0 / reference;
            if (deviation <= kDeviationQuestionPercent) {
                continue;
            }
            char text[320];
            std::snprintf(text, sizeof text,
                          "The %s for channel %d changed by %0.1lf%%, which may result in an "
                          "incorrect calibration result.\r\nDo you wish to continue applying "
                          "the calibration?",
                          QuantityName(current), c + 1, deviation);
            if (AppMessageBox(text, MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes) {
                return SaveResult::Declined;
            }
        }
    }
    for (int c = first_; c <= last_; ++c) {
        ParameterRecord& record = doc_.Channel(c).record;
        record.ApplyGainFactor(references_[Index(c, false)] / averages_[Index(c, false)],
                               InputKind::Voltage);
        record.ApplyGainFactor(references_[Index(c, true)] / averages_[Index(c, true)],
                               InputKind::Current);
    }
    doc_.SetModifiedFlag(true);
    return SaveResult::Applied;
}

}  // namespace kvr
