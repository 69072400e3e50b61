// The rules of the "KVR Display Configuration" form without a window: the 24 lines, the
// current page and line, the fields the form shows for the current line, the value
// choice, "Cl&ear" and "Default", the download with its read-back, and the display setup
// files. The form copies its controls into `fields` before each call and shows `fields`
// after it.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "modules/DisplayFile.h"
#include "modules/DisplayLink.h"
#include "modules/DisplaySetup.h"

namespace kvr {

class CQRLDoc;

inline constexpr const char* kDisplayFormTitle = "KVR Display Configuration";
inline constexpr const char* kDownloadErrorTitle = "Configuration Download Error";

// What the current line's controls hold.
struct DisplayFields {
    int channel = 0;                      // choice 0 to 15
    int valueChoice = kBlankValueChoice;  // 0 to 18; -1: the line's code has no choice
    int decimals = 0;                     // choice 0 to 5
    std::string units;
    std::string nominal;
    std::string low;
    std::string high;
    bool operator==(const DisplayFields&) const = default;
};

class DisplayEditor {
  public:
    // Reading a value typed with its unit for an entity (false when it does not parse)
    // and showing one to 4 significant digits; the measurement layer provides them.
    using ParseValue = std::function<bool(const std::string& text, int entity, double& value)>;
    using FormatValue = std::function<std::string(double value, int entity)>;
    DisplayEditor(ParseValue parse, FormatValue format);

    std::array<DisplayLine, kDisplayLines> lines{};
    DisplayFields fields;
    std::string description;
    std::string path;  // of the display setup file loaded or saved

    // Takes a record read from the module: all lines decoded, page 1 line 1 shown.
    void Open(const DisplaySetupRecord& record);
    bool Initialised() const { return initialised_; }
    int Page() const { return page_; }
    int Line() const { return line_; }
    // "KVR Display Configuration - [name.dsp]", the brackets empty before a file.
    std::string Title() const;

    // The line change: stores the fields into the line shown, then shows the line of
    // the page and line given (brought into 1 to 8 and 1 to 3).
    void GoTo(int page, int line);
    // Upper and lower arrows: through all 24 lines, wrapping at both ends.
    void Next();
    void Previous();
    void ChooseValue(int choice);
    void Clear();
    // Nominal, low and high for the channel and value chosen; false and nothing changed
    // for energies, a blank line, and voltages, currents and powers of units 1 to 3
    // (whose ratings the document does not hold).
    bool Default(const CQRLDoc& doc);
    // Stores the fields into the line shown (nothing before the form is initialised). A
    // value whose text is still as shown keeps its exact value: the 4 digits shown would
    // otherwise round it on every visit, and a text shown for the previous value choice
    // would read as 0 for the new one.
    void StoreFields();
    // The 24 lines encoded, header and checksum in place.
    DisplaySetupRecord Encode() const;

    // OK: stores the fields, sends the setup after a synchronisation, reads it back and
    // compares bytes 1 to 386. False, with the message shown, when the form stays open.
    bool Download(CDisplayLink& link);

    // The toolbar's file commands through the template file form. True when loaded or
    // saved; a refused file is told and changes nothing.
    bool Load(CQRLDoc& doc);
    bool Save(CQRLDoc& doc);
    bool SaveAs(CQRLDoc& doc);
    // Loading a chosen file and saving to one, without the form.
    bool LoadFrom(const std::string& file, CQRLDoc* doc);
    bool SaveTo(const std::string& file, CQRLDoc* doc);

  private:
    DisplayLine& Current() { return lines[static_cast<size_t>(current_)]; }
    void ShowCurrent();
    void EmptyValueFields();

    ParseValue parse_;
    FormatValue format_;
    int page_ = 1;
    int line_ = 1;
    int current_ = -1;     // the line whose values the fields show
    DisplayFields shown_;  // the fields as last shown, to tell what the user changed
    bool initialised_ = false;
};

// Bytes 1 to 386 of two records agree (the header byte 0 and the checksum do not count).
bool DisplayRecordsMatch(const DisplaySetupRecord& sent, const DisplaySetupRecord& readBack);

}  // namespace kvr
