#include "link/ParameterRecord.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "base/Bytes.h"
#include "link/EntityScale.h"

namespace kvr {

namespace {

constexpr uint32_t kDefaultSerial = 30292;
constexpr int16_t kDefaultGain = 4096;
constexpr int16_t kDefaultScaleMax = 32767;
constexpr int16_t kDefaultLevelMax = 32767;
constexpr int16_t kDefaultDacOffset = 16;
constexpr uint16_t kDefaultDacSpan = 15797;
constexpr uint16_t kDefaultVt = 1100;
constexpr uint16_t kDefaultCt = 1000;
constexpr uint8_t kMainboardAddress = 3;
constexpr int16_t kPhaseCorrectionLimit = 18000;  // 0.01 degree
constexpr double kGainUnit = 4096.0;

bool ValidSlot(int slot) {
    return slot >= 0 && slot < ParameterRecord::kOutputs;
}

size_t Slot8(size_t base, int slot) {
    return base + static_cast<size_t>(slot);
}
size_t Slot16(size_t base, int slot) {
    return base + 2 * static_cast<size_t>(slot);
}

// A value that does not fit its 16-bit field is pinned to the nearest end of the field's
// range: a wrapped number would turn a large positive scale point or gain into a negative
// one on the unit.
int16_t ClampS16(int64_t v) {
    if (v < std::numeric_limits<int16_t>::min()) {
        return std::numeric_limits<int16_t>::min();
    }
    if (v > std::numeric_limits<int16_t>::max()) {
        return std::numeric_limits<int16_t>::max();
    }
    return static_cast<int16_t>(v);
}
uint16_t ClampU16(int64_t v) {
    if (v < 0) {
        return 0;
    }
    if (v > std::numeric_limits<uint16_t>::max()) {
        return std::numeric_limits<uint16_t>::max();
    }
    return static_cast<uint16_t>(v);
}

uint8_t WithBits(uint8_t byte, uint8_t mask, uint8_t bits) {
    return static_cast<uint8_t>((byte & ~mask) | (bits & mask));
}

}  // namespace

int64_t ScaleRound(double value, double scale) {
    const double scaled = value * scale + 0.5;
    // Out-of-range doubles have no defined integer conversion; pin them instead.
    if (std::isnan(scaled)) {
        return 0;
    }
    constexpr double kLimit = 9.2e18;
    if (scaled >= kLimit) {
        return static_cast<int64_t>(kLimit);
    }
    if (scaled <= -kLimit) {
        return static_cast<int64_t>(-kLimit);
    }
    return static_cast<int64_t>(scaled);  // truncates toward zero, also for negatives
}

// --- raw access -------------------------------------------------------------------------

uint16_t ParameterRecord::GetU16(size_t offset) const {
    if (offset + 2 > kSize) {
        throw std::out_of_range("ParameterRecord::GetU16");
    }
    return kvr::GetU16(bytes_.data() + offset);
}

int16_t ParameterRecord::GetS16(size_t offset) const {
    return static_cast<int16_t>(GetU16(offset));
}

void ParameterRecord::SetU16(size_t offset, uint16_t v) {
    if (offset + 2 > kSize) {
        throw std::out_of_range("ParameterRecord::SetU16");
    }
    PutU16(bytes_.data() + offset, v);
}

void ParameterRecord::SetS16(size_t offset, int16_t v) {
    SetU16(offset, static_cast<uint16_t>(v));
}

// --- identity ---------------------------------------------------------------------------

uint32_t ParameterRecord::GetSerialNumber() const {
    return GetU32(bytes_.data() + kSerialNumber);
}

void ParameterRecord::SetSerialNumber(uint32_t serial) {
    PutU32(bytes_.data() + kSerialNumber, serial);
}

uint16_t ParameterRecord::GetSignature() const {
    return GetU16(kSignatureOffset);
}

void ParameterRecord::SetSignature(uint16_t signature) {
    SetU16(kSignatureOffset, signature);
}

std::string ParameterRecord::GetName() const {
    // A record from the unit or a file may lack a terminator; reading stops at offset 95
    // as if one were there, without writing to the record.
    std::string name;
    for (size_t i = kName; i < kName + kNameMax && bytes_[i] != 0; ++i) {
        name.push_back(static_cast<char>(bytes_[i]));
    }
    return name;
}

void ParameterRecord::SetName(const std::string& name) {
    const size_t n = name.size() < kNameMax ? name.size() : kNameMax;
    for (size_t i = 0; i <= kNameMax; ++i) {
        bytes_[kName + i] = i < n ? static_cast<uint8_t>(name[i]) : 0;
    }
}

// --- calibration ------------------------------------------------------------------------

void ParameterRecord::ApplyGainFactor(double factor, InputKind input) {
    double gv = GetVoltageGain() / kGainUnit;
    double gi = GetCurrentGain() / kGainUnit;
    if (input == InputKind::Current) {
        gi *= factor;
    } else {
        gv *= factor;
    }
    // Gains beyond the field's range are clamped (see ClampS16), never wrapped.
    SetS16(kCurrentGain, ClampS16(ScaleRound(gi, kGainUnit)));
    SetS16(kCurrentGainSquared, ClampS16(ScaleRound(gi * gi, kGainUnit)));
    SetS16(kVoltageGain, ClampS16(ScaleRound(gv, kGainUnit)));
    SetS16(kVoltageGainSquared, ClampS16(ScaleRound(gv * gv, kGainUnit)));
    SetS16(kPowerGain, ClampS16(ScaleRound(gv * gi, kGainUnit)));
}

void ParameterRecord::GetDacCalibration(int slot, int16_t& offset, uint16_t& span) const {
    if (!ValidSlot(slot)) {
        offset = 0;
        span = 0;
        return;
    }
    offset = GetS16(Slot16(kDacOffset, slot));
    span = GetU16(Slot16(kDacSpan, slot));
}

void ParameterRecord::SetDacCalibration(int slot, int16_t offset, uint16_t span) {
    if (!ValidSlot(slot)) {
        return;
    }
    SetS16(Slot16(kDacOffset, slot), offset);
    SetU16(Slot16(kDacSpan, slot), span);
}

std::string ParameterRecord::GetFirmwareVersionText() const {
    char text[16];
    std::snprintf(text, sizeof text, "%2.2f", GetFirmwareVersion() / 100.0);
    return text;
}

void ParameterRecord::SetInputHardware(int type) {
    bytes_[kInputHardware] =
        WithBits(bytes_[kInputHardware], 0xF0, static_cast<uint8_t>((type & 0x0F) << 4));
}

float ParameterRecord::GetCtPhaseCorrection() const {
    const int16_t stored = GetS16(kCtPhaseCorrection);
    if (stored > kPhaseCorrectionLimit || stored < -kPhaseCorrectionLimit) {
        return 0.0f;
    }
    return static_cast<float>(stored) / 100.0f;
}

bool ParameterRecord::SetCtPhaseCorrection(float degrees) {
    // The comparison stays in single precision so that 180.0f itself is accepted.
    if (!(std::fabs(degrees) <= 180.0f)) {
        return false;  // also refuses NaN
    }
    SetS16(kCtPhaseCorrection, ClampS16(ScaleRound(degrees, 100.0)));
    return true;
}

// --- inputs -----------------------------------------------------------------------------

double ParameterRecord::GetPrimary(InputKind input, Winding winding) const {
    const bool secondary = winding == Winding::Secondary;
    if (input == InputKind::Current) {
        return secondary ? GetU16(kCtSecondary) * 0.001 : GetU16(kCtPrimary);
    }
    return secondary ? GetU16(kVtSecondary) * 0.1 : GetU16(kVtPrimary) * 100.0;
}

void ParameterRecord::SetPrimary(InputKind input, Winding winding, double value) {
    // The fields are unsigned 16-bit; a negative or oversized entry is clamped to 0 or
    // 65535 rather than wrapped into an unrelated ratio.
    const bool secondary = winding == Winding::Secondary;
    if (input == InputKind::Current) {
        const size_t offset = secondary ? kCtSecondary : kCtPrimary;
        SetU16(offset, ClampU16(ScaleRound(value, secondary ? 1000.0 : 1.0)));
    } else {
        const size_t offset = secondary ? kVtSecondary : kVtPrimary;
        SetU16(offset, ClampU16(ScaleRound(value, secondary ? 10.0 : 0.01)));
    }
}

bool ParameterRecord::IsDirect(InputKind input) const {
    return (bytes_[input == InputKind::Current ? kCurrentDirect : kVoltageDirect] & 0x01) != 0;
}

void ParameterRecord::SetDirect(InputKind input, bool direct) {
    uint8_t& b = bytes_[input == InputKind::Current ? kCurrentDirect : kVoltageDirect];
    b = WithBits(b, 0x01, direct ? 0x01 : 0x00);
}

int ParameterRecord::GetPhase(InputKind input) const {
    return (bytes_[input == InputKind::Current ? kCurrentInput : kVoltageInput] & 0x0F) - 1;
}

void ParameterRecord::SetPhase(InputKind input, int phaseIndex) {
    uint8_t& b = bytes_[input == InputKind::Current ? kCurrentInput : kVoltageInput];
    b = WithBits(b, 0x0F, static_cast<uint8_t>((phaseIndex + 1) & 0x0F));
}

void ParameterRecord::GetRanges(int& voltageRange, int& currentRange) const {
    voltageRange = GetVoltageRange();
    currentRange = GetCurrentRange();
}

void ParameterRecord::SetRanges(int voltageRange, int currentRange) {
    bytes_[kVoltageInput] =
        WithBits(bytes_[kVoltageInput], 0xC0, static_cast<uint8_t>((voltageRange & 3) << 6));
    bytes_[kCurrentInput] =
        WithBits(bytes_[kCurrentInput], 0xC0, static_cast<uint8_t>((currentRange & 3) << 6));
}

float ParameterRecord::GetCurrentThreshold() const {
    return static_cast<float>(bytes_[kCurrentThreshold]) / 10.0f;
}

bool ParameterRecord::SetCurrentThreshold(float percent) {
    // Single-precision bounds, so 25.5f (exact in a float) is accepted.
    if (!(percent >= 0.0f && percent <= 25.5f)) {
        return false;  // also refuses NaN
    }
    // 25.5 x 10 + 0.5 truncates to 255 at most, so the byte cannot overflow.
    bytes_[kCurrentThreshold] = static_cast<uint8_t>(ScaleRound(percent, 10.0));
    return true;
}

void ParameterRecord::SetBalanced(bool on) {
    bytes_[kChannelFlags] = WithBits(bytes_[kChannelFlags], 0x01, on ? 0x01 : 0x00);
}

void ParameterRecord::SetLineToLine(bool on) {
    bytes_[kChannelFlags] = WithBits(bytes_[kChannelFlags], 0x80, on ? 0x80 : 0x00);
}

double ParameterRecord::VtRatio() const {
    const uint16_t secondary = GetU16(kVtSecondary);
    if (IsDirect(InputKind::Voltage) || secondary == 0) {
        return 1.0;
    }
    return GetU16(kVtPrimary) * 1000.0 / secondary;
}

double ParameterRecord::CtRatio() const {
    const uint16_t secondary = GetU16(kCtSecondary);
    if (IsDirect(InputKind::Current) || secondary == 0) {
        return 1.0;
    }
    return GetU16(kCtPrimary) * 1000.0 / secondary;
}

double ParameterRecord::ToPrimary(MeasuredEntity entity, double value) const {
    switch (EntityRatioGroup(entity)) {
        case RatioGroup::Voltage:
            return value * VtRatio();
        case RatioGroup::Current:
            return value * CtRatio();
        case RatioGroup::Power:
            return value * VtRatio() * CtRatio();
        case RatioGroup::None:
            break;
    }
    return value;
}

double ParameterRecord::ToSecondary(MeasuredEntity entity, double value) const {
    if (EntityCode(entity) < 1 || EntityCode(entity) > kEntityMax) {
        return -1.0;
    }
    double divisor = 1.0;
    switch (EntityRatioGroup(entity)) {
        case RatioGroup::Voltage:
            divisor = VtRatio();
            break;
        case RatioGroup::Current:
            divisor = CtRatio();
            break;
        case RatioGroup::Power:
            divisor = VtRatio() * CtRatio();
            break;
        case RatioGroup::None:
            break;
    }
    // A zero primary makes the ratio 0; no secondary value maps to a nonzero primary
    // then, so the answer is 0 instead of an infinity that would reach a 16-bit field.
    if (divisor == 0.0) {
        return 0.0;
    }
    return value / divisor;
}

double ParameterRecord::NominalRaw(MeasuredEntity entity, bool threePhase) const {
    const double vs = GetU16(kVtSecondary) * 0.1;
    const double is = GetU16(kCtSecondary) * 0.001;
    const double k = threePhase ? 3.0 : 1.0;
    const double s = EntityScale(entity);
    const EntityInfo* info = FindEntity(entity);
    switch (info ? info->nominal : NominalBase::None) {
        case NominalBase::VtSecondary:
            return vs * s;
        case NominalBase::CtSecondary:
            return is * s;
        case NominalBase::Power:
            return vs * is * k * s;
        case NominalBase::Unity:
            return s;
        case NominalBase::Frequency:
            return 55.0 * s;
        case NominalBase::None:
            break;
    }
    return 0.0;
}

// --- outputs ----------------------------------------------------------------------------

int ParameterRecord::GetCardType(int slot) const {
    return ValidSlot(slot) ? bytes_[Slot8(kOutputCard, slot)] & 0x03 : 0;
}

void ParameterRecord::SetCardType(int slot, int type) {
    if (!ValidSlot(slot)) {
        return;
    }
    uint8_t& b = bytes_[Slot8(kOutputCard, slot)];
    b = static_cast<uint8_t>((b & 0xF0) | (type & 0x03));
}

bool ParameterRecord::IsPlusCard(int slot) const {
    return ValidSlot(slot) && (bytes_[Slot8(kOutputCard, slot)] & 0x80) != 0;
}

void ParameterRecord::SetPlusCard(int slot, bool plus) {
    if (!ValidSlot(slot)) {
        return;
    }
    uint8_t& b = bytes_[Slot8(kOutputCard, slot)];
    b = WithBits(b, 0x80, plus ? 0x80 : 0x00);
}

MeasuredEntity ParameterRecord::GetOutputEntity(int slot) const {
    return EntityFromCode(ValidSlot(slot) ? bytes_[Slot8(kOutputEntity, slot)] & 0x0F : 0);
}

void ParameterRecord::SetOutputEntity(int slot, MeasuredEntity entity) {
    if (!ValidSlot(slot)) {
        return;
    }
    uint8_t& b = bytes_[Slot8(kOutputEntity, slot)];
    b = WithBits(b, 0x0F, static_cast<uint8_t>(EntityCode(entity) & 0x0F));
}

void ParameterRecord::GetOutputRange(int slot, bool& current, int& range) const {
    if (!ValidSlot(slot)) {
        current = false;
        range = 0;
        return;
    }
    const uint8_t b = bytes_[Slot8(kOutputEntity, slot)];
    current = (b & 0x80) != 0;
    range = (b >> 4) & 0x07;
}

void ParameterRecord::SetOutputRange(int slot, bool current, int range) {
    if (!ValidSlot(slot)) {
        return;
    }
    uint8_t& b = bytes_[Slot8(kOutputEntity, slot)];
    const uint8_t bits = static_cast<uint8_t>((current ? 0x80 : 0x00) | ((range & 0x07) << 4));
    b = WithBits(b, 0xF0, bits);
}

int ParameterRecord::GetOutputSource(int slot) const {
    return ValidSlot(slot) ? bytes_[Slot8(kOutputSource, slot)] & 0x0F : 0;
}

void ParameterRecord::SetOutputSource(int slot, int channel) {
    if (!ValidSlot(slot)) {
        return;
    }
    uint8_t& b = bytes_[Slot8(kOutputSource, slot)];
    b = WithBits(b, 0x0F, static_cast<uint8_t>(channel & 0x0F));
}

bool ParameterRecord::PowerRuleApplies(int slot) const {
    const EntityInfo* info = FindEntity(GetOutputEntity(slot));
    return info != nullptr && info->currentRanged && GetCurrentRange() > 0;
}

int32_t ParameterRecord::GetScaleMin(int slot) const {
    if (!ValidSlot(slot)) {
        return 0;
    }
    const int32_t stored = GetS16(Slot16(kOutputScaleMin, slot));
    return PowerRuleApplies(slot) ? stored * 10 : stored;
}

int32_t ParameterRecord::GetScaleMax(int slot) const {
    if (!ValidSlot(slot)) {
        return 0;
    }
    const int32_t stored = GetS16(Slot16(kOutputScaleMax, slot));
    return PowerRuleApplies(slot) ? stored * 10 : stored;
}

void ParameterRecord::SetScaleMin(int slot, int32_t value) {
    if (!ValidSlot(slot)) {
        return;
    }
    // Integer division truncates toward zero; what still does not fit is clamped.
    const int32_t stored = PowerRuleApplies(slot) ? value / 10 : value;
    SetS16(Slot16(kOutputScaleMin, slot), ClampS16(stored));
}

void ParameterRecord::SetScaleMax(int slot, int32_t value) {
    if (!ValidSlot(slot)) {
        return;
    }
    const int32_t stored = PowerRuleApplies(slot) ? value / 10 : value;
    SetS16(Slot16(kOutputScaleMax, slot), ClampS16(stored));
}

int16_t ParameterRecord::GetLevelMin(int slot) const {
    return ValidSlot(slot) ? GetS16(Slot16(kOutputLevelMin, slot)) : int16_t{0};
}

int16_t ParameterRecord::GetLevelMax(int slot) const {
    return ValidSlot(slot) ? GetS16(Slot16(kOutputLevelMax, slot)) : int16_t{0};
}

void ParameterRecord::SetLevelMin(int slot, int16_t value) {
    if (ValidSlot(slot)) {
        SetS16(Slot16(kOutputLevelMin, slot), value);
    }
}

void ParameterRecord::SetLevelMax(int slot, int16_t value) {
    if (ValidSlot(slot)) {
        SetS16(Slot16(kOutputLevelMax, slot), value);
    }
}

void ParameterRecord::ResetToDefaults(uint8_t address) {
    bytes_.fill(0);
    SetSerialNumber(kDefaultSerial);
    SetUnitAddress(address);
    for (size_t offset :
         {kVoltageGain, kCurrentGain, kVoltageGainSquared, kCurrentGainSquared, kPowerGain}) {
        SetS16(offset, kDefaultGain);
    }
    for (int slot = 0; slot < kOutputs; ++slot) {
        bytes_[Slot8(kOutputSource, slot)] = address;
        SetS16(Slot16(kOutputScaleMax, slot), kDefaultScaleMax);
        SetS16(Slot16(kOutputLevelMax, slot), kDefaultLevelMax);
        SetS16(Slot16(kDacOffset, slot), kDefaultDacOffset);
        SetU16(Slot16(kDacSpan, slot), kDefaultDacSpan);
    }
    SetName("Not Available");
    SetBalanced(address == kMainboardAddress);
    SetPhase(InputKind::Voltage, 0);
    SetPhase(InputKind::Current, 0);
    SetU16(kVtPrimary, kDefaultVt);
    SetU16(kVtSecondary, kDefaultVt);
    SetU16(kCtPrimary, kDefaultCt);
    SetU16(kCtSecondary, kDefaultCt);
    SetDirect(InputKind::Voltage, true);
    SetDirect(InputKind::Current, true);
    SetSignature(kSignature);
}

// --- name tables ------------------------------------------------------------------------

const char* CardTypeName(int type) {
    static const char* const kNames[] = {"No Card", "Analog", "Relay", "RS485"};
    return type >= 0 && type < 4 ? kNames[type] : "<invalid>";
}

const char* OutputRangeName(bool current, int range) {
    static const char* const kNames[] = {
        "500mV", "Reserved", "2.5V",  "3.75V", "5.0V", "Reserved", "10.0V", "Reserved",
        "1.0mA", "Reserved", "5.0mA", "7.5mA", "10mA", "Reserved", "20mA",  "Reserved"};
    if (range < 0 || range > 7) {
        return "illegal range";
    }
    return kNames[(current ? 8 : 0) + range];
}

const char* CurrentRangeName(int range) {
    static const char* const kNames[] = {"1.000 A", "3.000 A", "5.000 A", "10.000  A"};
    return range >= 0 && range < 4 ? kNames[range] : "";
}

const char* VoltageRangeName(int inputHardware, int range) {
    static const char* const kType0[] = {"110 V", "220 V", "400 V", "600 V"};
    static const char* const kType2[] = {"70 V", "120 V", "290 V", "500 V"};
    const char* const* names = nullptr;
    if (inputHardware == 0) {
        names = kType0;
    } else if (inputHardware == 2) {
        names = kType2;
    } else {
        return "illegal";
    }
    return range >= 0 && range < 4 ? names[range] : "";
}

}  // namespace kvr
