// The rules of the input configuration sheet ("KVR Input Configuration"), apart from any
// window: what each channel page shows when it opens, which controls are live, how
// Apply checks a page (in a fixed order, the first failure told through AppMessageBox
// with the page title first) and writes the channel's record, the "3 Phase Settings"
// page's line-to-line flag, and the three-phase record derived after the sheet closes.
//
// The desktop sheet mirrors these objects; a command-line tool drives them the same way:
//   ChannelInputPage page(doc, 0);
//   page.SetText(InputField::VtPrimary, "11 kV");
//   if (!page.Apply()) { report page.LastMessage(); }
//   DeriveThreePhaseRecord(doc);
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "document/QRLDoc.h"

namespace kvr {

inline constexpr const char* kInputSheetTitle = "KVR Input Configuration";
inline constexpr const char* kThreePhasePageTitle = "3 Phase Settings";
inline constexpr const char* kLineToLineText = "Line-to-Line Voltages";
inline constexpr const char* kSecondaryCurrentInvalidText =
    "The secondary current appears to be invalid!";
inline constexpr const char* kSecondaryVoltageInvalidText =
    "The secondary voltage appears to be invalid!";
inline constexpr unsigned kCalibrateBeepHz = 2000;
inline constexpr unsigned kCalibrateBeepMs = 20;
// The channel pages edit channel objects 0 to 2.
inline constexpr int kInputChannelPages = 3;
// The list entry that the record's 4-bit phase field cannot hold: index + 1 wraps to 0,
// which reads back as no phase at all.
inline constexpr int kUnstorablePhaseIndex = 15;

// Every control of a channel page.
enum class InputField {
    Name,
    VoltagePhase,
    VoltageRange,
    VtPrimary,
    VtSecondary,
    VoltageDirect,
    CurrentPhase,
    CurrentRange,
    CtPrimary,
    CtSecondary,
    CurrentDirect,
    Balanced,
    PhaseCorrection,
    Threshold,
    Calibrate,
};
inline constexpr int kInputFieldCount = 15;

enum class FieldKind {
    Edit,          // free text
    List,          // a choice of fixed entries
    EditableList,  // entries to pick, or free text
    Check,         // a check box
    Button,
};
FieldKind KindOf(InputField f);

// What one control shows.
struct InputFieldState {
    std::vector<std::string> items;  // lists: the entries
    int selection = -1;              // lists: the selected entry, -1 for none
    std::string text;                // edits and lists: the text shown
    bool checked = false;            // check boxes
    bool enabled = true;
};

// The lists' fixed entries, in order.
const std::vector<std::string>& VoltagePhaseItems();  // 16, index = phase code
const std::vector<std::string>& CurrentPhaseItems();  // 16
const std::vector<std::string>& VtPrimaryItems();     // suggestions
const std::vector<std::string>& CurrentRangeItems();  // also the CT secondary suggestions
// The voltage ranges (and VT secondary suggestions) of a voltage input hardware type;
// the single entry "illegal" for a type the program does not know.
std::vector<std::string> VoltageRangeItems(int inputHardware);

class ChannelInputPage {
  public:
    // A page over channel object 0, 1 or 2, opened at once (see Open). Its title is
    // "Channel n" with n = the record's unit address + 1; a record without a name takes
    // the title as its name.
    ChannelInputPage(CQRLDoc& doc, int channel);

    // Reads the title and every field from the record again (after a setup file was
    // loaded) and activates the page; the page is then unmodified.
    void Open();
    // Enables the controls of a live page (then the coupling and balanced rules), or
    // disables every editing control of a page that is not live.
    void Activate();

    const std::string& Title() const { return title_; }
    int Channel() const { return channel_; }
    // A page is live when its unit address is below the channel count, or, with a
    // KVR 100 address set, when its unit address is that address.
    bool IsLive() const;
    const InputFieldState& Field(InputField f) const;
    // True once the user changed something the page applies.
    bool Modified() const { return modified_; }

    // The user's actions. Each gives false and changes nothing when the control is
    // disabled, is not of the matching kind, or (Select) the index is not an entry.
    // Typing into a list leaves it without a selection.
    bool SetText(InputField f, const std::string& text);
    bool Select(InputField f, int index);  // -1 clears the selection
    // Selects the list entry equal to text (case-insensitively); false when none is.
    bool SelectText(InputField f, const std::string& text);
    bool SetChecked(InputField f, bool on);

    // The page's copy of the line-to-line flag. SetLineToLine is the 3 Phase page's
    // click: the copy and the record's flag change at once.
    bool LineToLine() const { return lineToLine_; }
    void SetLineToLine(bool on);

    // Checks the page and writes the record; false keeps the user on the page, with the
    // message (page title first) shown through AppMessageBox and kept in LastMessage.
    // A page that is not live passes without checks and writes nothing. A record that
    // changed marks the document modified.
    bool Apply();
    // Calibrate's checks: Apply, then the CT and VT secondaries, each failure beeping
    // (2000 Hz, 20 ms) with a stop-icon message. True when calibration may start.
    bool CalibrateChecks();
    // The last refusal of Apply or CalibrateChecks; empty after a success.
    const std::string& LastMessage() const { return message_; }

  private:
    InputFieldState& F(InputField f) { return fields_[static_cast<size_t>(f)]; }
    const InputFieldState& F(InputField f) const { return fields_[static_cast<size_t>(f)]; }
    ParameterRecord& Record();
    void ApplyCouplingRule(bool current);
    void ApplyBalancedRule();
    // After a change of a field: the rules that watch it.
    void Changed(InputField f);
    bool Refuse(const std::string& detail);
    // The form exchange's checks of name, phase correction and threshold.
    bool Exchange(float& correction, float& threshold);
    // The phase index chosen in a phase list (its selection, else its text looked up);
    // -1 when there is none.
    int ChosenPhase(InputField f) const;

    CQRLDoc& doc_;
    int channel_;
    std::string title_;
    std::array<InputFieldState, kInputFieldCount> fields_{};
    bool lineToLine_ = false;
    bool modified_ = false;
    std::string message_;
};

// The "3 Phase Settings" page: one check box for the main board's line-to-line flag.
class ThreePhaseInputPage {
  public:
    // The channel pages receive the flag when the box is clicked.
    ThreePhaseInputPage(CQRLDoc& doc, std::vector<ChannelInputPage*> channelPages);
    void Open();
    bool LineToLine() const { return lineToLine_; }
    // The click: every channel page's copy and channel record at once, each channel page
    // marked modified (and the document, when a record changed).
    void SetLineToLine(bool on);
    bool Modified() const { return modified_; }
    // Writes the flag into the three-phase record.
    bool Apply();

  private:
    CQRLDoc& doc_;
    std::vector<ChannelInputPage*> pages_;
    bool lineToLine_ = false;
    bool modified_ = false;
};

// The whole sheet: the three channel pages, then the 3 Phase page (page index 3).
class InputSheetModel {
  public:
    explicit InputSheetModel(CQRLDoc& doc);
    InputSheetModel(const InputSheetModel&) = delete;
    InputSheetModel& operator=(const InputSheetModel&) = delete;

    static constexpr int kPageCount = kInputChannelPages + 1;
    static constexpr int kThreePhasePage = kInputChannelPages;
    ChannelInputPage& Page(int channel) { return *pages_.at(static_cast<size_t>(channel)); }
    ThreePhaseInputPage& ThreePhase() { return *threePhase_; }
    std::string PageTitle(int index) const;

    // The page the user is on: it activates, and from now on OK and Apply apply it.
    void Visit(int index);
    bool Visited(int index) const { return visited_.at(static_cast<size_t>(index)); }
    // OK and Apply: every visited page in order. The index of the page that refused
    // (the sheet shows it and stays open), or -1 when all passed.
    int ApplyVisited();
    // Every page read again from the document (after a setup file was loaded).
    void Reload();

  private:
    CQRLDoc& doc_;
    std::array<std::unique_ptr<ChannelInputPage>, kInputChannelPages> pages_;
    std::unique_ptr<ThreePhaseInputPage> threePhase_;
    std::array<bool, kPageCount> visited_{};
};

// After the sheet has closed (OK or Cancel): the three-phase record's coupling and
// balanced flags from the three channels and, when the channels agree, channel 0's
// ratings and phases. True when the record changed; the document is then modified.
bool DeriveThreePhaseRecord(CQRLDoc& doc);

}  // namespace kvr
