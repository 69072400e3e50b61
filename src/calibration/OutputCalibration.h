// The rules of the analog output calibration forms. Each analog output turns a DAC value
// into a voltage or current; its DAC span and offset (the record's DacSpan, DacOffset)
// make it follow its range. The program drives an output to two known DAC levels, the
// user reads the real output on a meter, and the straight line through the two points
// gives span and offset.
//
// "Analog Output Calibration" (OutputCalibration): fixed levels, the user types what the
// meter shows. "Output Calibrate 2" (OutputCalibrate2): the user moves the DAC value until
// the meter shows the target. Both keep the units awake with a 5000 ms timer that calls
// KeepAlive, and turn output test off for every channel when they close.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "calibration/DeviceSession.h"
#include "measure/MeasuredValue.h"

namespace kvr {

inline constexpr const char* kOutputCalibrationTitle = "Analog Output Calibration";
inline constexpr const char* kOutputCalibrate2Title = "Output Calibrate 2";
inline constexpr const char* kOutputCalOpenNote =
    " Note that all configuration must be complete and  downloaded before performing the "
    "calibration.";
inline constexpr const char* kCalculationFailedText = "Failed to calculate calibration!";
inline constexpr const char* kCalculationFailedNote =
    "The calibration failed due to an error while calculating the calibration parameters!";
inline constexpr const char* kOutputCalOkTip = "Perform the calibration and exit.";
inline constexpr const char* kOutputCalCancelTip = "Cancel the calibration and dismiss the dialog.";

inline constexpr int kCalOutputs = 12;  // output n: channel n / 4, slot n % 4
inline constexpr int kCalPoints = 24;   // point p: output p / 2, lower (even) or upper (odd)
inline constexpr int kDacMin = -2048;
inline constexpr int kDacMax = 2047;
inline constexpr double kDacSpanMin = 1666.6666666666667;
inline constexpr double kDacSpanMax = 2400.0;
inline constexpr double kDacOffsetLimit = 200.0;

// The level lists: "-Max", "-Mid", "Zero", "+Mid", "+Max", DAC levels -2000 to 2000.
const std::vector<std::string>& OutputLevelItems();
int OutputLevelDac(int index);
// The entry for a configured output level (OutputLevelMin or OutputLevelMax): above 999.6
// "+Max", above 428.4 "+Mid", above -428.4 "Zero", above -999.6 "-Mid", else "-Max".
int OutputLevelIndex(int configuredLevel);

// Span and offset of the line through (x1, y1) and (x2, y2), x being the output as a share
// of full scale and y the DAC value; each stored as value + 0.5 truncated toward zero.
// False when the points coincide in x, or span or offset lie outside 1666.67 to 2400 and
// -200 to 200.
bool CalculateDacCalibration(double x1, double y1, double x2, double y2, int16_t& offset,
                             uint16_t& span);

// The scroll bar of "Output Calibrate 2": lines of 1, pages of 10, the thumb's position,
// the ends one step each; the result is clamped to -2048..2047.
enum class ScrollAction { LineLeft, LineRight, PageLeft, PageRight, Thumb, Left, Right };
int ScrollDacValue(int value, ScrollAction action, int thumb = 0);

// What the forms need of one output.
struct CalOutput {
    int channel = 0;
    int slot = 0;
    bool analog = false;   // the card (OutputCard bits 0-1) is Analog
    bool current = false;  // a current output: values in mA
    double fullScale = 0;  // the range name read as a value ("20mA" 0.02); 0 "Reserved"
    MeasuredEntity valueEntity = entity::kVoltage;  // or Current
};
CalOutput DescribeCalOutput(const CQRLDoc& doc, int output);
// A value of an output's entity, typed numbers without a unit in mA for a current output.
MeasuredValue OutputValue(const CalOutput& out, double value);

// The behaviour both calibration forms share.
class OutputCalibrationBase : public DeviceSession {
  public:
    // Outputs first to last (0 to 11).
    OutputCalibrationBase(CQRLDoc& doc, int firstOutput, int lastOutput);
    // A form that goes away without OK or Cancel still leaves no output in test mode.
    ~OutputCalibrationBase() override { Close(); }

    int FirstOutput() const { return first_; }
    int LastOutput() const { return last_; }
    const CalOutput& Output(int output) const { return outputs_.at(static_cast<size_t>(output)); }
    // The points of analog outputs in range are enabled, the others not.
    bool PointEnabled(int point) const;
    const std::string& Note() const { return note_; }

    // Turns output test off for every channel and ends the form (OK after Calculate, or
    // Cancel); nothing is sent once closed.
    void Close();
    bool Closed() const { return closed_; }

  protected:
    // Takes the lock (false when not obtained), reads the outputs and sets the note.
    bool OpenSession();
    // Opens the port and sends Attention with its pause; a failure goes to the note.
    void StartAttention();
    // Drives a point's output to a DAC value and puts its boards in output test mode; the
    // note tells of a failure.
    bool Drive(int point, int dac);
    // Span and offset of every output in range with enabled points from the two points'
    // (x, y); stored in order. False at the first that fails: message, note, and the form
    // stays open (earlier outputs keep their new values).
    bool StoreCalibration(const std::array<double, kCalPoints>& x,
                          const std::array<double, kCalPoints>& y);

    int first_;
    int last_;
    std::array<CalOutput, kCalOutputs> outputs_{};
    std::string note_;
    bool closed_ = false;
};

class OutputCalibration : public OutputCalibrationBase {
  public:
    OutputCalibration(CQRLDoc& doc, int firstOutput = 0, int lastOutput = kCalOutputs - 1);

    // False (nothing done) when the device lock is not obtained.
    bool Open();
    int PointLevel(int point) const { return levels_.at(static_cast<size_t>(point)); }
    const std::string& PointText(int point) const { return texts_.at(static_cast<size_t>(point)); }
    // The measured output typed into a point's field.
    bool SetPointText(int point, const std::string& text);
    // Another level: the DAC level changes and the field shows the new expected output.
    bool SelectLevel(int point, int index);
    // The field got the focus: its output is driven to the point's level.
    bool FocusPoint(int point);
    // OK: span and offset from what was typed. True when stored (the form then closes).
    bool Ok();
    void Cancel() { Close(); }

  private:
    void ShowExpected(int point);

    std::array<int, kCalPoints> levels_{};
    std::array<std::string, kCalPoints> texts_{};
};

class OutputCalibrate2 : public OutputCalibrationBase {
  public:
    OutputCalibrate2(CQRLDoc& doc, int firstOutput = 0, int lastOutput = kCalOutputs - 1);

    bool Open();
    int PointValue(int point) const { return values_.at(static_cast<size_t>(point)); }
    int PointTarget(int point) const { return targets_.at(static_cast<size_t>(point)); }
    // The value box: the target output, level / 2000 x full scale.
    std::string TargetText(int point) const;
    // A scroll bar move: the DAC value changes and the output is driven to it.
    bool Scroll(int point, ScrollAction action, int thumb = 0);
    // The value box got the focus: the output is driven to the point's value (the form
    // then moves the focus to the scroll bar). A point outside the table beeps.
    bool FocusPoint(int point);
    // A target level: the DAC value jumps to it, the value box shows the target output.
    bool SelectTarget(int point, int index);
    bool Ok();
    void Cancel() { Close(); }

  private:
    std::array<int, kCalPoints> values_{};
    std::array<int, kCalPoints> targets_{};
};

}  // namespace kvr
