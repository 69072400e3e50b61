#include "measure/RelayOutput.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "base/UserSeam.h"
#include "measure/AnalogOutput.h"  // the shared texts
#include "measure/EntityChannel.h"
#include "measure/MeasuredValue.h"

namespace kvr {

namespace {

constexpr uint32_t kPowerCountsMax = 32767;
constexpr double kTriggerCountsMax = 65535.0;
constexpr double kResetCountsMax = 65534.0;
constexpr uint32_t kDefaultPulses = 100;
constexpr double kDefaultReset = 0.95;  // a reset 5 % below the trigger
constexpr double kSnapDegrees = 15.0;

size_t WordOffset(int port, bool resetWord) {
    return (resetWord ? ParameterRecord::kOutputScaleMax : ParameterRecord::kOutputScaleMin) +
           2 * static_cast<size_t>(port);
}

bool PowerRule(const ParameterRecord& r, int port) {
    return IsPower(r.GetOutputEntity(port)) && r.GetCurrentRange() > 0;
}

// "Pulses/hour :" as an unsigned whole number, spaces around it allowed.
bool ReadWholeNumber(const std::string& text, uint32_t& number) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    const size_t first = i;
    uint64_t n = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        n = n * 10 + static_cast<uint64_t>(text[i] - '0');
        if (n > UINT32_MAX) {
            return false;
        }
        ++i;
    }
    if (i == first) {
        return false;
    }
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    number = static_cast<uint32_t>(n);
    return i == text.size();
}

// "% Hysteresis" as a number followed by a word, which must begin with "%".
bool ReadHysteresis(const std::string& text, double& percent) {
    size_t end = 0;
    if (!ParseLeadingNumber(text, percent, end)) {
        return false;
    }
    while (end < text.size() && std::isspace(static_cast<unsigned char>(text[end]))) {
        ++end;
    }
    return end < text.size() && text[end] == '%' && percent >= 0.0 && percent <= 100.0;
}

}  // namespace

uint32_t GetRelayWord(const ParameterRecord& r, int port, bool resetWord) {
    if (port < 0 || port >= ParameterRecord::kOutputs) {
        return 0;
    }
    const uint32_t stored = r.GetU16(WordOffset(port, resetWord));
    return PowerRule(r, port) ? stored * 10 : stored;
}

void SetRelayWord(ParameterRecord& r, int port, bool resetWord, uint32_t value) {
    if (port < 0 || port >= ParameterRecord::kOutputs) {
        return;
    }
    const uint32_t stored = PowerRule(r, port) ? value / 10 : value;
    r.SetU16(WordOffset(port, resetWord), static_cast<uint16_t>(std::min<uint32_t>(stored, 65535)));
}

double RelayHysteresis(uint32_t a, uint32_t b) {
    if (a == 0) {
        return 0.0;
    }
    const double diff = a > b ? a - b : b - a;
    return diff * 100.0 / a;
}

RelayOutputForm::RelayOutputForm(CQRLDoc& doc, int channel, int port)
    : doc_(doc), channel_(channel), port_(port) {
    phasor_.Setup(1, kSnapDegrees);
}

const ParameterRecord& RelayOutputForm::SourceRecord() const {
    return doc_.Channel(std::clamp(source_, 0, kChannelObjects - 1)).record;
}

void RelayOutputForm::Open() {
    const ParameterRecord& r = doc_.Channel(channel_).record;
    entity_ = r.GetOutputEntity(port_);
    source_ = r.GetOutputSource(port_);
    a_ = GetRelayWord(r, port_, false);
    b_ = GetRelayWord(r, port_, true);
    secondary_ = true;
    valid_ = DescribeEntityChannel(doc_, entity_, source_, label_, kEnergyAllowed, kExportAllowed);
    ShowValues();
}

void RelayOutputForm::ShowValues() {
    if (!valid_) {
        label_ = kSelectEntityText;
    }
    for (std::string* text : {&powerText_, &pulsesText_, &triggerText_, &hysteresisText_,
                              &shownPower_, &shownTrigger_, &shownHysteresis_}) {
        text->clear();
    }
    if (!valid_) {
        return;
    }
    if (IsEnergy(entity_)) {
        const MeasuredEntity rate = RateEntity(entity_);
        double power = a_ / EntityScale(rate);
        if (!secondary_) {
            power = SourceRecord().ToPrimary(rate, power);
        }
        powerText_ = MeasuredValue(power, rate).FormatSignificant(kLimitDigits);
        pulsesText_ = std::to_string(b_);
        shownPower_ = powerText_;
        if (a_ == 0) {
            AppMessageBox("The power setting is illegal!");
        }
        return;
    }
    double trigger = a_ / EntityScale(entity_);
    if (!secondary_) {
        trigger = SourceRecord().ToPrimary(entity_, trigger);
    }
    triggerText_ = MeasuredValue(trigger, entity_).FormatSignificant(kLimitDigits);
    char text[32];
    std::snprintf(text, sizeof text, "%0.2f%%", RelayHysteresis(a_, b_));
    hysteresisText_ = text;
    direction_ = a_ < b_ ? RelayDirection::Falling : RelayDirection::Rising;
    shownTrigger_ = triggerText_;
    shownHysteresis_ = hysteresisText_;
    shownDirection_ = direction_;
    if (IsPowerFactor()) {
        phasor_.SetPowerFactor(0, trigger);
    }
}

bool RelayOutputForm::Fail(RelayField field, const char* text) {
    failed_ = field;
    AppMessageBox(text);
    return false;
}

bool RelayOutputForm::TakePulse() {
    uint32_t a = a_;
    // A power still showing what was stored keeps its exact counts: its 4 digits on screen
    // may round past the limit (32767 counts show as 3.277 kW).
    if (powerText_.empty() || powerText_ != shownPower_ || a_ == 0) {
        const MeasuredEntity rate = RateEntity(entity_);
        MeasuredValue v;
        if (!v.ParseWithUnit(powerText_, rate) || v.GetValue() <= 0.0) {
            return Fail(RelayField::Power, "The power setting is illegal!");
        }
        const double value =
            secondary_ ? v.GetValue() : SourceRecord().ToSecondary(rate, v.GetValue());
        const double counts = value * EntityScale(rate);
        if (!(counts > 0.0) || counts > kPowerCountsMax) {
            return Fail(RelayField::Power, "The power setting is out of range!");
        }
        a = static_cast<uint32_t>(ScaleRound(counts, 1.0));
    }
    uint32_t pulses = 0;
    if (!ReadWholeNumber(pulsesText_, pulses) || pulses < kPulsesMin || pulses > kPulsesMax) {
        pulsesText_ = std::to_string(b_);
        return Fail(RelayField::Pulses, "The pulses setting is out of range!");
    }
    a_ = a;
    b_ = pulses;
    return true;
}

bool RelayOutputForm::TakeThreshold() {
    if (!triggerText_.empty() && triggerText_ == shownTrigger_ &&
        hysteresisText_ == shownHysteresis_ && direction_ == shownDirection_) {
        return true;  // nothing edited: the stored levels stay exactly as they were
    }
    MeasuredValue v;
    if (!v.ParseWithUnit(triggerText_, entity_)) {
        return Fail(RelayField::Trigger, "The trigger level is illegal!");
    }
    const double value =
        secondary_ ? v.GetValue() : SourceRecord().ToSecondary(entity_, v.GetValue());
    const double counts = value * EntityScale(entity_);
    if (!(counts >= 0.0) || counts > kTriggerCountsMax) {
        return Fail(RelayField::Trigger, "The trigger level is out of range!");
    }
    double percent = 0.0;
    if (!ReadHysteresis(hysteresisText_, percent)) {
        return Fail(RelayField::Hysteresis, "The hysteresis setting is illegal or out of range!");
    }
    const double step = counts * percent / 100.0;
    const double reset = direction_ == RelayDirection::Falling ? counts + step : counts - step;
    if (std::trunc(reset) < 0.0 || std::trunc(reset) > kResetCountsMax) {
        return Fail(RelayField::Hysteresis, "The hysteresis setting is out of range!");
    }
    a_ = static_cast<uint32_t>(ScaleRound(counts, 1.0));
    b_ = static_cast<uint32_t>(ScaleRound(reset, 1.0));
    return true;
}

bool RelayOutputForm::TakeValues() {
    failed_ = RelayField::None;
    return IsEnergy(entity_) ? TakePulse() : TakeThreshold();
}

bool RelayOutputForm::SetSecondary(bool ticked) {
    if (ticked == secondary_) {
        return true;
    }
    if (valid_ && !TakeValues()) {
        return false;
    }
    secondary_ = ticked;
    ShowValues();
    return true;
}

void RelayOutputForm::SetTriggerText(const std::string& text) {
    triggerText_ = text;
    MeasuredValue v;
    if (valid_ && IsPowerFactor() && v.ParseWithUnit(text, entity::kPowerFactor)) {
        phasor_.SetPowerFactor(0, v.GetValue());
    }
}

void RelayOutputForm::PhasorMoved() {
    if (valid_ && IsPowerFactor()) {
        triggerText_ = MeasuredValue(phasor_.GetPowerFactor(0), entity::kPowerFactor)
                           .FormatSignificant(kLimitDigits);
    }
}

bool RelayOutputForm::Change(MeasuredEntity e, int sourceChannel) {
    std::string label;
    if (!DescribeEntityChannel(doc_, e, sourceChannel, label, kEnergyAllowed, kExportAllowed)) {
        AppMessageBox(label);
        return false;
    }
    // From one energy to another the pulse settings still fit.
    if (e != entity_ && !(IsEnergy(e) && IsEnergy(entity_))) {
        const MeasuredEntity rate = IsEnergy(e) ? RateEntity(e) : e;
        // The nominal value of the channel in use before the change.
        const double n = SourceRecord().NominalRaw(rate, sourceChannel == kThreePhaseChannel);
        a_ = static_cast<uint32_t>(ScaleRound(n, 1.0));
        b_ = IsEnergy(e) ? kDefaultPulses
                         : static_cast<uint32_t>(ScaleRound(kDefaultReset * n, 1.0));
    }
    entity_ = e;
    source_ = sourceChannel;
    label_ = label;
    valid_ = true;
    ShowValues();
    return true;
}

bool RelayOutputForm::Ok() {
    failed_ = RelayField::None;
    if (!valid_) {
        return Fail(RelayField::Entity, "Select a Valid Entity First");
    }
    if (!TakeValues()) {
        return false;
    }
    ParameterRecord& r = doc_.Channel(channel_).record;
    r.SetOutputEntity(port_, entity_);  // first: the power rule of the words depends on it
    r.SetOutputSource(port_, source_);
    SetRelayWord(r, port_, false, a_);
    SetRelayWord(r, port_, true, b_);
    r.SetLevelMin(port_, 0);
    r.SetLevelMax(port_, 0);
    return true;
}

}  // namespace kvr
