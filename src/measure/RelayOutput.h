// The rules of the "Relay Output Configuration" form. A relay port either pulses (energy
// entities: a number of pulses per hour at a given power) or switches at a threshold (any
// other entity: a trigger level with a hysteresis, on rising or falling values).
//
// The port's words: A (the minimum word) holds the power level or the trigger level, B
// (the maximum word) the pulses per hour or the reset level. Threshold levels run to 65535
// counts, so both words are kept as unsigned 16-bit numbers, with the power rule of the
// record for the three powers.
#pragma once

#include <cstdint>
#include <string>

#include "document/QRLDoc.h"
#include "measure/MeasuredEntity.h"
#include "measure/Phasor.h"

namespace kvr {

inline constexpr const char* kRelayOutputTitle = "Relay Output Configuration";
inline constexpr int kPulsesMin = 1;
inline constexpr int kPulsesMax = 3600;
inline constexpr const char* kRisingText = "Trigger on rising values";
inline constexpr const char* kFallingText = "Trigger on falling values";

enum class RelayDirection { Rising = 0, Falling = 1 };
enum class RelayField { None, Entity, Power, Pulses, Trigger, Hysteresis };

// The relay words of a port as numbers of the entity (the power rule applied).
uint32_t GetRelayWord(const ParameterRecord& r, int port, bool resetWord);
void SetRelayWord(ParameterRecord& r, int port, bool resetWord, uint32_t value);
// Hysteresis in percent: |A - B| x 100 / A, 0 when A is 0.
double RelayHysteresis(uint32_t a, uint32_t b);

class RelayOutputForm {
  public:
    RelayOutputForm(CQRLDoc& doc, int channel, int port);

    void Open();

    // The chooser's restrictions: energies and export allowed.
    static constexpr bool kEnergyAllowed = true;
    static constexpr bool kExportAllowed = true;
    // The chooser returned (e, channel). A different entity (other than from one energy
    // to another) gets the nominal trigger with a reset 5 % below, or the nominal power at
    // 100 pulses per hour. A pair that does not exist is refused with its message.
    bool Change(MeasuredEntity e, int sourceChannel);
    bool Valid() const { return valid_; }
    MeasuredEntity Entity() const { return entity_; }
    int Source() const { return source_; }
    const std::string& EntityLabel() const { return label_; }
    bool IsPulseOutput() const { return valid_ && IsEnergy(entity_); }
    bool IsThresholdOutput() const { return valid_ && !IsEnergy(entity_); }
    bool IsPowerFactor() const { return entity_ == entity::kPowerFactor; }

    // --- the fields, as typed --------------------------------------------------------
    const std::string& PowerText() const { return powerText_; }
    const std::string& PulsesText() const { return pulsesText_; }
    const std::string& TriggerText() const { return triggerText_; }
    const std::string& HysteresisText() const { return hysteresisText_; }
    RelayDirection Direction() const { return direction_; }
    void SetPowerText(const std::string& text) { powerText_ = text; }
    void SetPulsesText(const std::string& text) { pulsesText_ = text; }
    // For Power Factor, typing the trigger also moves the phasor.
    void SetTriggerText(const std::string& text);
    void SetHysteresisText(const std::string& text) { hysteresisText_ = text; }
    void SetDirection(RelayDirection d) { direction_ = d; }

    // "Secondary Values": the values are taken in the old mode and shown in the new one;
    // false (mode kept) when taking them fails.
    bool Secondary() const { return secondary_; }
    bool SetSecondary(bool ticked);

    // One phasor, shown for Power Factor; moving it writes its power factor as trigger.
    PhasorModel& Phasor() { return phasor_; }
    const PhasorModel& Phasor() const { return phasor_; }
    void PhasorMoved();

    // OK: checks in order, the first failure shows its message, moves the focus (see
    // FailedField) and writes nothing. True once the record is written.
    bool Ok();
    RelayField FailedField() const { return failed_; }
    // Where Change puts the focus: "Power :" for an energy, else "Trigger at".
    RelayField FocusField() const {
        return IsEnergy(entity_) ? RelayField::Power : RelayField::Trigger;
    }

    uint32_t WordA() const { return a_; }
    uint32_t WordB() const { return b_; }

  private:
    const ParameterRecord& SourceRecord() const;
    void ShowValues();
    bool TakeValues();
    bool TakePulse();
    bool TakeThreshold();
    bool Fail(RelayField field, const char* text);

    CQRLDoc& doc_;
    int channel_;
    int port_;
    MeasuredEntity entity_ = entity::kNone;
    int source_ = 0;
    bool valid_ = false;
    std::string label_;
    bool secondary_ = true;
    uint32_t a_ = 0;
    uint32_t b_ = 0;
    std::string powerText_, pulsesText_, triggerText_, hysteresisText_;
    RelayDirection direction_ = RelayDirection::Rising;
    // What ShowValues put on screen: unchanged fields are still checked, but keep their
    // exact words instead of the 4 digits shown.
    std::string shownPower_, shownTrigger_, shownHysteresis_;
    RelayDirection shownDirection_ = RelayDirection::Rising;
    PhasorModel phasor_;
    RelayField failed_ = RelayField::None;
};

}  // namespace kvr
