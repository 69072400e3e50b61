// The rules of the "3-phase Input Calibration" form: reference voltages and currents per
// channel (typed, or from the presets), 30 samples of what each channel measures, and the
// voltage and current gains multiplied by reference / measured average.
//
// A form drives the sampling one step per timer tick, waiting the pause each step asks
// for, so the window stays live; a command-line tool runs it to the end:
//   InputCalibration cal(doc, 0, 2);
//   if (cal.Open() && cal.Run()) { cal.Save(); }
// Every wait goes through the clock seam, every message, beep, question and busy text
// through the user seam.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/UserSeam.h"
#include "calibration/DeviceSession.h"
#include "measure/MeasuredValue.h"

namespace kvr {

inline constexpr const char* kInputCalibrationTitle = "3-phase Input Calibration";
inline constexpr const char* kInputCalOpenNote =
    "Note that all configuration must be complete and downloaded before performing the\n "
    "calibration.";
inline constexpr const char* kInputCalRunningNote = "Calibrating ...";
inline constexpr const char* kInputCalDoneNote =
    "The calibration has been completed. The calibration should be saved and then downloaded "
    "to the KVR.";
inline constexpr const char* kSamplingBusyText = "Sampling input values.";
inline constexpr const char* kSampleFailedText = "Failed to take a sample!";
inline constexpr const char* kRetrieveFailedText = "Failed to retrieve values!";
inline constexpr const char* kInvalidVoltageText = "The KVR returned an invalid voltage reading!";
inline constexpr const char* kInvalidCurrentText = "The KVR returned an invalid current reading!";
inline constexpr int kCalibrationSamples = 30;
inline constexpr double kDeviationQuestionPercent = 30.0;
inline constexpr int kInputChannels = 3;

enum class InputPreset { Plus20 = 0, Nominal = 1, Minus20 = 2, Previous = 3 };
// "+20%", "Nominal", "-20%", "Previous".
const std::vector<std::string>& InputPresetItems();

enum class SamplingState { Idle, Sampling, Completed, Failed, Cancelled };
enum class SaveResult {
    Applied,   // the gains were multiplied; the form closes
    Declined,  // a deviation question was answered No; nothing applied, the form stays
    Refused,   // a reference or an average is not above zero; nothing applied
    NotReady,  // no calibration has completed yet ("&Save" is disabled)
};

class InputCalibration : public DeviceSession {
  public:
    // Channel indexes first to last (0 to 2). The pause generator is seeded, so a run is
    // repeatable in tests.
    InputCalibration(CQRLDoc& doc, int first, int last, uint32_t seed = 1);
    ~InputCalibration() override;

    // "All &Inputs": channels 0 to 2 for a KVR 300 (4 channels), else channel 0 alone.
    static void AllInputsRange(const CQRLDoc& doc, int& first, int& last);

    // Takes the device lock (false, nothing else done, when it is not obtained), sets the
    // opening note and fills the fields from "Calibration Prefs" ("Previous") when stored,
    // else from the records' secondaries ("Nominal").
    bool Open();

    int First() const { return first_; }
    int Last() const { return last_; }
    bool FieldEnabled(int channel) const { return channel >= first_ && channel <= last_; }
    const std::string& Note() const { return note_; }

    // --- the fields and presets ------------------------------------------------------
    const std::string& ReferenceText(int channel, bool current) const;
    // A disabled field refuses the text. The text is read when the calibration starts.
    bool SetReferenceText(int channel, bool current, const std::string& text);
    int Preset(bool current) const { return current ? currentPreset_ : voltagePreset_; }
    // Applies a preset entry to the fields of every channel in range.
    bool SelectPreset(bool current, int index);
    // A double click on a preset list: its edit text, read as a value of the entity, into
    // every channel in range; false (fields unchanged) when it does not read.
    bool ApplyPresetText(bool current, const std::string& text);

    // --- "Calibrate &Now" ------------------------------------------------------------
    // Takes over the fields ("Not a valid measurement!" for one that does not read),
    // stores them as "Calibration Prefs", clears the sums and sends Attention with its
    // pause. False when the sampling did not start (a failed Attention fails the run).
    bool Begin();
    // One sample of every channel in range. Gives the pause in milliseconds before the
    // next step (500 to 1500), or 0 when the run has ended: completed, failed (beep,
    // message, note) or cancelled. Nothing happens outside a run.
    unsigned Step();
    // Begin, then every step with its pause on the clock; onSample gets the count after
    // each sample. True when the run completed.
    bool Run(const std::function<void(int)>& onSample = {});
    // From any thread: the run ends at its next step, before anything is sent.
    void Cancel() { cancel_ = true; }

    SamplingState State() const { return state_; }
    int Progress() const { return samples_; }
    static constexpr int ProgressMax() { return kCalibrationSamples; }
    bool SaveEnabled() const { return saveEnabled_; }
    // The averages of the last completed run.
    double Average(int channel, bool current) const;

    // --- "&Save" ---------------------------------------------------------------------
    // The deviation questions, then ApplyGainFactor on every channel in range.
    SaveResult Save();

  private:
    static constexpr size_t kInputFields = static_cast<size_t>(kInputChannels) * 2;
    struct Field {
        std::string text;
        MeasuredValue value;
    };
    Field& F(int channel, bool current) { return fields_[Index(channel, current)]; }
    static size_t Index(int channel, bool current) {
        return static_cast<size_t>(channel) * 2 + (current ? 1 : 0);
    }
    void SetField(int channel, bool current, const MeasuredValue& value);
    MeasuredValue PresetValue(int channel, bool current, int index) const;
    unsigned Fail(const std::string& message);
    void EndRun(SamplingState state);
    bool RefuseNonPositive(int channel, bool current, double reference, double average);

    int first_;
    int last_;
    std::minstd_rand random_;
    std::string note_;
    int voltagePreset_ = static_cast<int>(InputPreset::Nominal);
    int currentPreset_ = static_cast<int>(InputPreset::Nominal);
    std::array<Field, kInputFields> fields_{};
    std::array<MeasuredValue, kInputFields> previous_{};
    bool previousRead_ = false;
    // The references taken over by "Calibrate &Now", the running sums, and the averages
    // of the last completed run (a failed run leaves those as they were, so "&Save"
    // never applies a partial run).
    std::array<double, kInputFields> runReferences_{};
    std::array<double, kInputFields> sums_{};
    std::array<double, kInputFields> references_{};
    std::array<double, kInputFields> averages_{};
    int samples_ = 0;
    SamplingState state_ = SamplingState::Idle;
    bool saveEnabled_ = false;
    std::atomic<bool> cancel_{false};
    std::unique_ptr<BusyMessage> busy_;
};

}  // namespace kvr
