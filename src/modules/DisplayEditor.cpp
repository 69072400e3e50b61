#include "modules/DisplayEditor.h"

#include <algorithm>

#include "base/Text.h"
#include "base/UserSeam.h"
#include "document/QRLDoc.h"
#include "document/SetupFile.h"  // the template file form

namespace kvr {

namespace {

constexpr int kEntityVoltage = 1;
constexpr int kEntityCurrent = 2;
constexpr int kEntityReactivePower = 5;
constexpr int kEntityPowerFactor = 6;
constexpr int kEntityFrequency = 7;

std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EndsWithDsp(const std::string& path) {
    return path.size() >= 4 && EqualNoCase(path.substr(path.size() - 4), ".dsp");
}

}  // namespace

DisplayEditor::DisplayEditor(ParseValue parse, FormatValue format)
    : parse_(std::move(parse)), format_(std::move(format)) {
    for (int i = 0; i < kDisplayLines; ++i) {
        lines[static_cast<size_t>(i)].index = i;
    }
}

void DisplayEditor::Open(const DisplaySetupRecord& record) {
    for (int i = 0; i < kDisplayLines; ++i) {
        DecodeLine(lines[static_cast<size_t>(i)], i, record);
    }
    page_ = 1;
    line_ = 1;
    initialised_ = true;
    ShowCurrent();
}

std::string DisplayEditor::Title() const {
    return std::string(kDisplayFormTitle) + " - [" + FileName(path) + "]";
}

void DisplayEditor::StoreFields() {
    if (!initialised_ || current_ < 0) {
        return;
    }
    DisplayLine& line = Current();
    line.channel = static_cast<uint8_t>(std::clamp(fields.channel, 0, kChannelChoices - 1));
    // A code without a choice stays as the module sent it until the user picks a value.
    if (fields.valueChoice >= 0) {
        line.valueCode = ValueChoiceCode(fields.valueChoice);
    }
    line.decimals = static_cast<uint8_t>(std::clamp(fields.decimals, 0, kMaxDisplayDecimals));
    line.units = FiveCharacterUnits(fields.units);
    const int entity = DisplayEntity(line.valueCode);
    auto parse = [&](const std::string& text, const std::string& shownText, double& value) {
        if (text == shownText && !shownText.empty()) {
            return;
        }
        double v = 0;
        value = parse_ && parse_(text, entity, v) ? v : 0.0;
    };
    parse(fields.high, shown_.high, line.high);
    parse(fields.low, shown_.low, line.low);
    parse(fields.nominal, shown_.nominal, line.nominal);
}

void DisplayEditor::EmptyValueFields() {
    fields.units.clear();
    fields.nominal.clear();
    fields.low.clear();
    fields.high.clear();
}

void DisplayEditor::ShowCurrent() {
    current_ = (page_ - 1) * kLinesPerPage + (line_ - 1);
    const DisplayLine& line = Current();
    if (line.blank) {
        fields.channel = 0;
        fields.decimals = 0;
        fields.valueChoice = kBlankValueChoice;
        EmptyValueFields();
        shown_ = fields;
        return;
    }
    const int entity = DisplayEntity(line.valueCode);
    auto format = [&](double v) { return format_ ? format_(v, entity) : std::string(); };
    fields.channel = line.channel;
    fields.valueChoice = ValueChoiceOf(line.valueCode);
    fields.decimals = line.decimals;
    fields.units = line.units;
    fields.nominal = format(line.nominal);
    fields.low = format(line.low);
    fields.high = format(line.high);
    shown_ = fields;
}

void DisplayEditor::GoTo(int page, int line) {
    StoreFields();
    page_ = std::clamp(page, 1, kDisplayPages);
    line_ = std::clamp(line, 1, kLinesPerPage);
    ShowCurrent();
}

void DisplayEditor::Next() {
    const int i = ((page_ - 1) * kLinesPerPage + line_) % kDisplayLines;
    GoTo(i / kLinesPerPage + 1, i % kLinesPerPage + 1);
}

void DisplayEditor::Previous() {
    const int i = ((page_ - 1) * kLinesPerPage + line_ - 2 + kDisplayLines) % kDisplayLines;
    GoTo(i / kLinesPerPage + 1, i % kLinesPerPage + 1);
}

void DisplayEditor::ChooseValue(int choice) {
    if (!initialised_ || current_ < 0) {
        fields.valueChoice = choice;
        return;
    }
    DisplayLine& line = Current();
    if (choice == kBlankValueChoice) {
        Clear();
        return;
    }
    if (line.blank) {
        // The line comes back with the values it held before it was blanked.
        line.valueCode = ValueChoiceCode(choice);
        line.blank = false;
        ShowCurrent();
        return;
    }
    fields.valueChoice = choice;
    StoreFields();
    ShowCurrent();
}

void DisplayEditor::Clear() {
    fields.valueChoice = kBlankValueChoice;
    EmptyValueFields();
    if (initialised_ && current_ >= 0) {
        Current().blank = true;
    }
}

bool DisplayEditor::Default(const CQRLDoc& doc) {
    const int entity = DisplayEntity(ValueChoiceCode(fields.valueChoice));
    double nominal = 0;
    double low = 0;
    double high = 0;
    if (entity == kEntityPowerFactor) {
        nominal = 1.0;
        low = -0.7;
        high = 0.7;
    } else if (entity == kEntityFrequency) {
        nominal = 50;
        low = 45;
        high = 55;
    } else if (entity >= kEntityVoltage && entity <= kEntityReactivePower) {
        if (fields.channel < 0 || fields.channel > 3) {
            return false;
        }
        const ParameterRecord& record = doc.Channel(fields.channel).record;
        const double v = record.GetPrimary(InputKind::Voltage, Winding::Primary);
        const double i = record.GetPrimary(InputKind::Current, Winding::Primary);
        nominal = entity == kEntityVoltage   ? v
                  : entity == kEntityCurrent ? i
                                             : v * i * (doc.GetChannels() >= 3 ? 3 : 1);
        low = 0.9 * nominal;
        high = 1.1 * nominal;
    } else {
        return false;
    }
    auto format = [&](double v) { return format_ ? format_(v, entity) : std::string(); };
    fields.nominal = format(nominal);
    fields.low = format(low);
    fields.high = format(high);
    return true;
}

DisplaySetupRecord DisplayEditor::Encode() const {
    DisplaySetupRecord record{};
    for (int i = 0; i < kDisplayLines; ++i) {
        EncodeLine(lines[static_cast<size_t>(i)], i, record);
    }
    SealDisplayRecord(record);
    return record;
}

bool DisplayRecordsMatch(const DisplaySetupRecord& sent, const DisplaySetupRecord& readBack) {
    return std::equal(sent.begin() + 1, sent.end() - 1, readBack.begin() + 1);
}

bool DisplayEditor::Download(CDisplayLink& link) {
    StoreFields();
    DisplaySetupRecord record{};
    {
        BusyMessage busy("Building the KVR Display setup command...");
        record = Encode();
    }
    if (!link.SendDisplaySetup(record, true)) {
        AppMessageBox(
            "An error occurred while writing the KVR Display Configuration!\nPlease try again.",
            MsgIcon::Error, MsgButtons::Ok, kDownloadErrorTitle);
        return false;
    }
    DisplaySetupRecord readBack{};
    {
        BusyMessage busy("Reading back the display setup...");
        (void)link.ReadDisplaySetup(readBack, false, false);
    }
    if (!DisplayRecordsMatch(record, readBack)) {
        AppMessageBox(
            "The KVR Display Configuration was not downloaded correctly!\nPlease try again.",
            MsgIcon::Error, MsgButtons::Ok, kDownloadErrorTitle);
        return false;
    }
    return true;
}

bool DisplayEditor::LoadFrom(const std::string& file, CQRLDoc* doc) {
    DisplayFileImage image;
    std::string error;
    if (!ReadDisplayFile(file, image, error)) {
        AppMessageBox(error, MsgIcon::Error);
        return false;
    }
    description = image.description;
    lines = image.lines;
    path = file;
    // The fields belong to the line shown before the load: they are not stored.
    current_ = -1;
    if (initialised_) {
        ShowCurrent();
    }
    if (doc != nullptr) {
        doc->Paths().displaySetupPath = file;
    }
    return true;
}

bool DisplayEditor::SaveTo(const std::string& file, CQRLDoc* doc) {
    DisplayFileImage image;
    image.description = description;
    image.lines = lines;
    std::string error;
    if (!WriteDisplayFile(file, image, error)) {
        AppMessageBox(error, MsgIcon::Error);
        return false;
    }
    path = file;
    if (doc != nullptr) {
        doc->Paths().displaySetupPath = file;
    }
    return true;
}

bool DisplayEditor::Load(CQRLDoc& doc) {
    std::string chosen = path;
    std::string typed;
    if (!RunTemplateFileDialog(true, kDisplayFilter, chosen, typed)) {
        return false;
    }
    return LoadFrom(chosen, &doc);
}

bool DisplayEditor::Save(CQRLDoc& doc) {
    if (!EndsWithDsp(doc.Paths().displaySetupPath)) {
        return SaveAs(doc);
    }
    return SaveTo(doc.Paths().displaySetupPath, &doc);
}

bool DisplayEditor::SaveAs(CQRLDoc& doc) {
    std::string chosen = path;
    std::string typed = description;
    if (!RunTemplateFileDialog(false, kDisplayFilter, chosen, typed)) {
        return false;
    }
    description = typed;
    return SaveTo(chosen, &doc);
}

}  // namespace kvr
