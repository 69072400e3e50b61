// The rules of the "Analog Output Configuration" form: one port of one channel transmits
// an entity as a voltage or current, linearly from (minimum, output at minimum) to
// (maximum, output at maximum). The model holds the form's fields as the user typed them;
// the Qt form mirrors them, and a command-line tool sets the same texts and runs Ok.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/QRLDoc.h"
#include "measure/MeasuredEntity.h"
#include "measure/Phasor.h"

namespace kvr {

inline constexpr const char* kAnalogOutputTitle = "Analog Output Configuration";
inline constexpr const char* kSelectEntityText = "Press 'Change' to select the measured entity.";
inline constexpr const char* kOverflowErrorTitle = "Overflow Error";
inline constexpr const char* kInputErrorTitle = "Input Error";
inline constexpr int kRangeCodes = 16;         // range index + 8 for a current output
inline constexpr int kFullScaleCounts = 1462;  // output counts at full scale
inline constexpr int kOutputSlackCounts = 1472;
inline constexpr int kDefaultRangeCode = 14;  // "20mA"
inline constexpr int kLimitDigits = 4;
inline constexpr int kOutputDigits = 2;

// The range list: the record's output range names in code order.
const char* OutputRangeCodeName(int code);
// Voltage for codes 0 to 7, Current for 8 to 15.
MeasuredEntity OutputRangeEntity(int code);
// The list name read as a value of its entity ("20mA" gives 0.02); 0 for "Reserved".
double OutputFullScale(int code);
// The entries offered in both output-value lists; "unit setup error!" for a reserved range.
std::vector<std::string> OutputScaleLabels(int code);
// The smallest maximum - minimum (in counts) of an entity on a channel: 1 % of its
// nominal single-phase value for Voltage, Current, the powers, Frequency and the energies
// 8 to 10; 0 for every other entity.
int32_t MinimumSpan(const ParameterRecord& ownChannel, MeasuredEntity e);

enum class AnalogField { None, Entity, Minimum, Maximum, OutputMin, OutputMax };

class AnalogOutputForm {
  public:
    // Port 0 to 3 of measuring channel object `channel`; Open reads it.
    AnalogOutputForm(CQRLDoc& doc, int channel, int port);

    void Open();

    // --- the entity ------------------------------------------------------------------
    // The chooser's restrictions: energies and export not allowed.
    static constexpr bool kEnergyAllowed = false;
    static constexpr bool kExportAllowed = false;
    // The chooser returned (e, channel): takes them, resets the limits (minimum 0, 45 Hz
    // for Frequency; a new entity gets its nominal maximum and outputs 0 and full scale).
    // A pair that does not exist on the unit is refused with the chooser's own message.
    bool Change(MeasuredEntity e, int sourceChannel);
    bool Valid() const { return valid_; }
    MeasuredEntity Entity() const { return entity_; }
    int Source() const { return source_; }
    const std::string& EntityLabel() const { return label_; }
    bool IsPowerFactor() const { return entity_ == entity::kPowerFactor; }

    // --- the range -------------------------------------------------------------------
    // A pick in the range list: refills the output lists and re-shows the outputs.
    bool SelectRange(int code);
    int RangeCode() const { return rangeCode_; }
    MeasuredEntity OutputEntity() const { return OutputRangeEntity(rangeCode_); }
    double FullScale() const { return fullScale_; }
    const std::vector<std::string>& ScaleLabels() const { return scaleLabels_; }

    // --- the fields, as typed --------------------------------------------------------
    const std::string& MinText() const { return minText_; }
    const std::string& MaxText() const { return maxText_; }
    const std::string& OutMinText() const { return outMinText_; }
    const std::string& OutMaxText() const { return outMaxText_; }
    // For Power Factor, typing a limit also moves its phasor (and, with "PF locked", the
    // other phasor to the mirrored side).
    void SetMinText(const std::string& text);
    void SetMaxText(const std::string& text);
    void SetOutMinText(const std::string& text) { outMinText_ = text; }
    void SetOutMaxText(const std::string& text) { outMaxText_ = text; }

    // "Secondary Values": limits re-read in the old mode, then shown in the new one.
    bool Secondary() const { return secondary_; }
    void SetSecondary(bool ticked);
    bool PfLocked() const { return pfLocked_; }
    void SetPfLocked(bool locked) { pfLocked_ = locked; }

    // --- the phasors (Power Factor) --------------------------------------------------
    // Phasor 0 is the minimum, 1 the maximum; the control draws from this model.
    PhasorModel& Phasors() { return phasors_; }
    const PhasorModel& Phasors() const { return phasors_; }
    // Focus on the minimum (0) or maximum (1) field selects its phasor.
    void FocusLimit(int k) { phasors_.Select(k); }
    // After the user moved the selected phasor: mirrors it with "PF locked", takes each
    // phasor's side and shows its power factor in its limit field.
    void PhasorMoved();
    void MovePhasor(int k, double angle);
    // The side of a limit: -1 lagging, +1 leading (see Phasor.h).
    double SideValue(int k) const { return k == 0 ? sideMin_ : sideMax_; }

    // --- OK --------------------------------------------------------------------------
    // Reads and checks the fields in order; the first failure shows its message (if
    // any), keeps the form open and writes nothing. True once the record is written.
    bool Ok();
    AnalogField FailedField() const { return failed_; }

    // "Calibrate DAC": the chosen range and current flag go into the record at once (Cancel
    // keeps them), and the output to calibrate is given: port + 4 x the channel object.
    int CalibrateDac();

    // The working words, in the stored encodings.
    int32_t MinWord() const { return minWord_; }
    int32_t MaxWord() const { return maxWord_; }
    int32_t OutMinWord() const { return outMinWord_; }
    int32_t OutMaxWord() const { return outMaxWord_; }

  private:
    const ParameterRecord& SourceRecord() const;
    void ApplyEnabling(bool valid);
    void ShowLimits();
    void ApplyRange();
    std::string LimitText(int32_t word) const;
    bool ReadLimit(const std::string& text, int32_t& word) const;
    bool ReadOutput(const std::string& text, int32_t& word) const;
    bool ReadLimitField(int k);
    void TypedLimit(int k);
    void ShowPhasorLimit(int k);

    CQRLDoc& doc_;
    int channel_;
    int port_;
    MeasuredEntity entity_ = entity::kNone;
    int source_ = 0;
    bool valid_ = false;
    std::string label_;
    int rangeCode_ = kDefaultRangeCode;
    double fullScale_ = 0.0;
    std::vector<std::string> scaleLabels_;
    bool secondary_ = true;
    bool pfLocked_ = false;
    int32_t minWord_ = 0;
    int32_t maxWord_ = 0;
    int32_t outMinWord_ = 0;
    int32_t outMaxWord_ = 0;
    std::string minText_, maxText_, outMinText_, outMaxText_;
    // What the form last showed from the words: a field still showing it keeps its word
    // exactly, so OK without an edit (or a "Secondary Values" click) never rounds a
    // stored value to the 4 or 2 digits on screen.
    std::string shownMin_, shownMax_, shownOutMin_, shownOutMax_;
    double sideMin_ = 1.0;
    double sideMax_ = 1.0;
    PhasorModel phasors_;
    AnalogField failed_ = AnalogField::None;
};

}  // namespace kvr
