// The rules of the "Analog Output Pretest" form: each configured (analog) output is driven
// to a value typed in its row ("Minimum", "Nominal", "Maximum", starting at -F, 0 and +F
// of its full scale F) through its stored DAC span, so the user can check it on a meter.
// Implausible span and offset values are replaced by nominal ones before anything is
// driven.
#pragma once

#include <array>
#include <string>

#include "calibration/OutputCalibration.h"

namespace kvr {

inline constexpr const char* kOutputPretestTitle = "Analog Output Pretest";
inline constexpr const char* kOutputPretestNote =
    " Note that only configured outputs are enabled. ";
inline constexpr int kPretestFields = 3;  // "Minimum", "Nominal", "Maximum"
inline constexpr double kPlausibleSpanMin = 1705.8333333333335;
inline constexpr double kPlausibleSpanMax = 2456.4;
inline constexpr int kPlausibleOffsetLimit = 204;
inline constexpr uint16_t kNominalDacSpan = 1903;

// True when a stored DAC calibration is plausible; else the pretest replaces it.
bool PlausibleDacCalibration(int16_t offset, uint16_t span);

class OutputPretest : public DeviceSession {
  public:
    explicit OutputPretest(CQRLDoc& doc);
    ~OutputPretest() override { Cancel(); }

    // Takes the lock (false, nothing done, when not obtained); replaces implausible
    // calibrations of configured outputs by span 1903 and offset 0; opens the port, sends
    // Attention with its pause and switches output test on.
    bool Open();
    const std::string& Note() const { return note_; }
    bool RowEnabled(int output) const;
    const CalOutput& Output(int output) const { return outputs_.at(static_cast<size_t>(output)); }
    const std::string& FieldText(int output, int field) const;
    bool SetFieldText(int output, int field, const std::string& text);
    // The field got the focus: WriteDac with value x DacSpan / full scale, truncated toward
    // zero (and held within 16 bits).
    bool FocusField(int output, int field);
    // The 5000 ms timer: Attention, and output test on for the document's boards.
    void Tick();
    // Cancel: output test off for every channel, so no output is left held at a test value.
    void Cancel();

  private:
    void SetOutputTestOnAll();

    std::array<CalOutput, kCalOutputs> outputs_{};
    std::array<std::array<std::string, kPretestFields>, kCalOutputs> texts_{};
    std::string note_;
    bool closed_ = false;
};

}  // namespace kvr
