#include "measure/InputPage.h"

#include "base/Text.h"
#include "base/UserSeam.h"
#include "measure/FormExchange.h"
#include "measure/MeasuredValue.h"

namespace kvr {

namespace {

// The largest ratings a record field holds: VtPrimary counts 100 V, CtPrimary 1 A.
constexpr double kMaxPrimaryVolts = 6553500.0;
constexpr double kMaxPrimaryAmps = 65535.0;
constexpr int64_t kMaxField16 = 65535;
constexpr double kMaxCorrection = 180.0;
constexpr double kMaxThreshold = 25.5;
// Phase list indexes from which an input is on a phase of a three-phase system.
constexpr int kFirstPhaseIndex = 2;
// Derivation: the phase codes for which channel 0's ratings may stand for the system.
constexpr int kDerivedPhaseMin = 3;

// Where each control of a page is, in the field table's order.
constexpr FieldKind kKinds[kInputFieldCount] = {
    FieldKind::Edit,          // Name
    FieldKind::List,          // VoltagePhase
    FieldKind::List,          // VoltageRange
    FieldKind::EditableList,  // VtPrimary
    FieldKind::EditableList,  // VtSecondary
    FieldKind::Check,         // VoltageDirect
    FieldKind::List,          // CurrentPhase
    FieldKind::List,          // CurrentRange
    FieldKind::Edit,          // CtPrimary
    FieldKind::EditableList,  // CtSecondary
    FieldKind::Check,         // CurrentDirect
    FieldKind::Check,         // Balanced
    FieldKind::Edit,          // PhaseCorrection
    FieldKind::Edit,          // Threshold
    FieldKind::Button,        // Calibrate
};

int FindNoCase(const std::vector<std::string>& items, const std::string& text) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (EqualNoCase(items[i], text)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string Formatted(double value, MeasuredEntity e) {
    return MeasuredValueToText(MeasuredValue(value, e));
}

// A user's text as a value of the entity; false for text that is no such value, and
// for a negative one, which no rating can be.
bool ReadRating(const std::string& text, MeasuredEntity e, double& value) {
    MeasuredValue v;
    if (!v.ParseWithUnit(text, e) || v.GetValue() < 0.0) {
        return false;
    }
    value = v.GetValue();
    return true;
}

// A record changed: the document is modified when its configuration holds that record
// (a KVR 100's file holds only the first).
void RecordChanged(CQRLDoc& doc, int channel) {
    doc.CheckDeviceLockHeld();  // the reading thread reads the records
    if (channel < doc.GetChannels()) {
        doc.SetModifiedFlag(true);
    }
}

std::string PageTitleOf(const ParameterRecord& r) {
    return "Channel " + std::to_string(r.GetUnitAddress() + 1);
}

}  // namespace

FieldKind KindOf(InputField f) {
    return kKinds[static_cast<size_t>(f)];
}

const std::vector<std::string>& VoltagePhaseItems() {
    static const std::vector<std::string> kItems = {"Not Connected",  "Independent",
                                                    "V[an]",          "V[bn]",
                                                    "V[cn]",          "V[ab]",
                                                    "V[bc]",          "V[ca]",
                                                    "Not Connected",  "Reversed Independent",
                                                    "Reversed V[an]", "Reversed V[bn]",
                                                    "Reversed V[cn]", "Reversed V[ab] ",
                                                    "Reversed V[bc]", "Reversed V[ca]"};
    return kItems;
}

const std::vector<std::string>& CurrentPhaseItems() {
    static const std::vector<std::string> kItems = {
        "Not Connected", "Independent",   "I[a]",          "I[b]",           "I[c]",
        "I[ab]",         "I[bc]",         "I[ca]",         "Not Connected",  "Reversed Independent",
        "Reversed I[a]", "Reversed I[b]", "Reversed I[c]", "Reversed I[ab]", "Reversed I[bc]",
        "Reversed I[ca]"};
    return kItems;
}

const std::vector<std::string>& VtPrimaryItems() {
    static const std::vector<std::string> kItems = {"3.3 kV", "6.6 kV", "11 kV", "22 kV", "33 kV"};
    return kItems;
}

const std::vector<std::string>& CurrentRangeItems() {
    static const std::vector<std::string> kItems = {CurrentRangeName(0), CurrentRangeName(1),
                                                    CurrentRangeName(2), CurrentRangeName(3)};
    return kItems;
}

std::vector<std::string> VoltageRangeItems(int inputHardware) {
    std::vector<std::string> items;
    for (int range = 0; range < 4; ++range) {
        items.emplace_back(VoltageRangeName(inputHardware, range));
        if (items.back() == "illegal") {
            break;  // an unknown hardware type has this one entry
        }
    }
    return items;
}

// --- a channel page ----------------------------------------------------------------------

ChannelInputPage::ChannelInputPage(CQRLDoc& doc, int channel) : doc_(doc), channel_(channel) {
    ParameterRecord& r = Record();
    title_ = PageTitleOf(r);
    if (r.GetName().empty()) {
        r.SetName(title_);
        RecordChanged(doc_, channel_);
    }
    Open();
}

ParameterRecord& ChannelInputPage::Record() {
    return doc_.Channel(channel_).record;
}

bool ChannelInputPage::IsLive() const {
    const uint8_t address = doc_.Channel(channel_).record.GetUnitAddress();
    if (doc_.Kvr100Address() != 0) {
        return address == doc_.Kvr100Address();
    }
    return address < doc_.GetChannels();
}

const InputFieldState& ChannelInputPage::Field(InputField f) const {
    return F(f);
}

void ChannelInputPage::Open() {
    const ParameterRecord& r = Record();
    title_ = PageTitleOf(r);  // a loaded file may bring other unit addresses
    fields_ = {};
    F(InputField::Name).text = r.GetName();

    const auto list = [this](InputField f, const std::vector<std::string>& items, int index) {
        InputFieldState& s = F(f);
        s.items = items;
        if (index >= 0 && index < static_cast<int>(items.size())) {
            s.selection = index;
            s.text = items[static_cast<size_t>(index)];
        }
    };
    // A stored phase nibble of 0 reads as -1: no selection.
    list(InputField::VoltagePhase, VoltagePhaseItems(), r.GetPhase(InputKind::Voltage));
    list(InputField::CurrentPhase, CurrentPhaseItems(), r.GetPhase(InputKind::Current));
    const std::vector<std::string> ranges = VoltageRangeItems(r.GetInputHardware());
    list(InputField::VoltageRange, ranges, r.GetVoltageRange());
    list(InputField::CurrentRange, CurrentRangeItems(), r.GetCurrentRange());
    list(InputField::VtPrimary, VtPrimaryItems(), -1);
    list(InputField::VtSecondary, ranges, -1);
    list(InputField::CtSecondary, CurrentRangeItems(), -1);

    // Ratings with 4 significant digits; a secondary that reads as one of its list's
    // entries selects it.
    F(InputField::VtPrimary).text =
        Formatted(r.GetPrimary(InputKind::Voltage, Winding::Primary), entity::kVoltage);
    F(InputField::CtPrimary).text =
        Formatted(r.GetPrimary(InputKind::Current, Winding::Primary), entity::kCurrent);
    for (const auto& [field, current] :
         {std::pair{InputField::VtSecondary, false}, std::pair{InputField::CtSecondary, true}}) {
        InputFieldState& s = F(field);
        s.text = Formatted(
            r.GetPrimary(current ? InputKind::Current : InputKind::Voltage, Winding::Secondary),
            current ? entity::kCurrent : entity::kVoltage);
        s.selection = FindNoCase(s.items, s.text);
    }

    F(InputField::VoltageDirect).checked = r.IsDirect(InputKind::Voltage);
    F(InputField::CurrentDirect).checked = r.IsDirect(InputKind::Current);
    F(InputField::Balanced).checked = r.IsBalanced();
    F(InputField::PhaseCorrection).text = NumberToText(r.GetCtPhaseCorrection(), 1, 2);
    F(InputField::Threshold).text = NumberToText(r.GetCurrentThreshold(), 1, 1);
    lineToLine_ = r.IsLineToLine();
    ApplyCouplingRule(false);
    ApplyCouplingRule(true);
    Activate();
    modified_ = false;
    message_.clear();
}

void ChannelInputPage::Activate() {
    const bool live = IsLive();
    for (InputFieldState& s : fields_) {
        s.enabled = live;
    }
    if (live) {
        ApplyCouplingRule(false);
        ApplyCouplingRule(true);
        ApplyBalancedRule();
    }
}

void ChannelInputPage::ApplyCouplingRule(bool current) {
    // Coupled directly there is no transformer: the primary is the secondary.
    InputFieldState& box = F(current ? InputField::CurrentDirect : InputField::VoltageDirect);
    InputFieldState& primary = F(current ? InputField::CtPrimary : InputField::VtPrimary);
    const InputFieldState& secondary =
        F(current ? InputField::CtSecondary : InputField::VtSecondary);
    if (box.checked) {
        primary.text = secondary.text;
        primary.selection = -1;
        primary.enabled = false;
    } else {
        primary.enabled = box.enabled;
    }
}

void ChannelInputPage::ApplyBalancedRule() {
    InputFieldState& box = F(InputField::Balanced);
    if (F(InputField::VoltagePhase).selection >= kFirstPhaseIndex &&
        F(InputField::CurrentPhase).selection >= kFirstPhaseIndex) {
        box.enabled = true;
    } else {
        box.checked = false;
        box.enabled = false;
    }
}

void ChannelInputPage::Changed(InputField f) {
    modified_ = true;
    switch (f) {
        case InputField::VoltagePhase:
        case InputField::CurrentPhase:
        case InputField::VtPrimary:
        case InputField::CtPrimary:
            ApplyBalancedRule();
            break;
        case InputField::VoltageDirect:
        case InputField::VtSecondary:
            ApplyCouplingRule(false);
            break;
        case InputField::CurrentDirect:
        case InputField::CtSecondary:
            ApplyCouplingRule(true);
            break;
        default:
            break;
    }
}

bool ChannelInputPage::SetText(InputField f, const std::string& text) {
    const FieldKind kind = KindOf(f);
    if (kind == FieldKind::List) {
        return SelectText(f, text);  // a fixed list takes only its own entries
    }
    InputFieldState& s = F(f);
    if (!s.enabled || (kind != FieldKind::Edit && kind != FieldKind::EditableList)) {
        return false;
    }
    s.text = text;
    s.selection = -1;
    Changed(f);
    return true;
}

bool ChannelInputPage::Select(InputField f, int index) {
    const FieldKind kind = KindOf(f);
    InputFieldState& s = F(f);
    if (!s.enabled || (kind != FieldKind::List && kind != FieldKind::EditableList) || index < -1 ||
        index >= static_cast<int>(s.items.size())) {
        return false;
    }
    s.selection = index;
    if (index >= 0) {
        s.text = s.items[static_cast<size_t>(index)];
    } else if (kind == FieldKind::List) {
        s.text.clear();
    }
    Changed(f);
    return true;
}

bool ChannelInputPage::SelectText(InputField f, const std::string& text) {
    const int index = FindNoCase(F(f).items, text);
    return index >= 0 && Select(f, index);
}

bool ChannelInputPage::SetChecked(InputField f, bool on) {
    InputFieldState& s = F(f);
    if (!s.enabled || KindOf(f) != FieldKind::Check) {
        return false;
    }
    s.checked = on;
    Changed(f);
    return true;
}

void ChannelInputPage::SetLineToLine(bool on) {
    lineToLine_ = on;
    modified_ = true;
    ParameterRecord& r = Record();
    if (r.IsLineToLine() != on) {
        r.SetLineToLine(on);
        RecordChanged(doc_, channel_);
    }
}

bool ChannelInputPage::Refuse(const std::string& detail) {
    message_ = title_ + detail;
    AppMessageBox(message_, MsgIcon::None, MsgButtons::Ok);
    return false;
}

int ChannelInputPage::ChosenPhase(InputField f) const {
    const InputFieldState& s = F(f);
    if (s.selection >= 0) {
        return s.selection;
    }
    for (size_t i = 0; i < s.items.size(); ++i) {
        if (s.items[i] == s.text) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool ChannelInputPage::Exchange(float& correction, float& threshold) {
    if (F(InputField::Name).text.size() > ParameterRecord::kNameMax) {
        return Refuse(" : The name may have at most " + std::to_string(ParameterRecord::kNameMax) +
                      " characters");
    }
    const struct {
        InputField field;
        const char* label;
        double low, high;
        int decimals;
        const char* unit;
        float& out;
    } kNumbers[] = {
        {InputField::PhaseCorrection, "CT Phase Correction", -kMaxCorrection, kMaxCorrection, 2,
         " degrees", correction},
        {InputField::Threshold, "Current Threshold Percentage", 0.0, kMaxThreshold, 1, " %",
         threshold},
    };
    for (const auto& n : kNumbers) {
        double value = 0.0;
        if (!TextToNumber(F(n.field).text, value)) {
            return Refuse(std::string(" : ") + n.label + " must be a number");
        }
        if (!(value >= n.low && value <= n.high)) {
            return Refuse(std::string(" : ") + n.label + " must be between " +
                          FormatFixed(n.low, 1, n.decimals) + " and " +
                          FormatFixed(n.high, 1, n.decimals) + n.unit);
        }
        n.out = static_cast<float>(value);
    }
    return true;
}

bool ChannelInputPage::Apply() {
    message_.clear();
    float correction = 0.0f;
    float threshold = 0.0f;
    // A value that cannot be stored keeps the user on the page rather than being
    // dropped while the sheet closes.
    if (!Exchange(correction, threshold)) {
        return false;
    }
    if (!IsLive()) {
        modified_ = false;
        return true;  // another unit's channel: nothing to check or write
    }

    double vtPrimary = 0.0;
    if (!ReadRating(F(InputField::VtPrimary).text, entity::kVoltage, vtPrimary)) {
        return Refuse(" : Invalid Primary Voltage");
    }
    if (vtPrimary > kMaxPrimaryVolts) {
        return Refuse(" : Invalid Primary Voltage : the maximum permitted value is " +
                      FormatFixed(kMaxPrimaryVolts / 1000.0, 1, 1) + "kV");
    }
    const int voltagePhase = ChosenPhase(InputField::VoltagePhase);
    if (voltagePhase < 0) {
        return Refuse(" : Invalid Volt Phase");
    }
    if (voltagePhase == kUnstorablePhaseIndex) {
        return Refuse(" : Invalid Volt Phase : " + VoltagePhaseItems()[kUnstorablePhaseIndex] +
                      " cannot be stored in the unit");
    }
    double vtSecondary = 0.0;
    if (!ReadRating(F(InputField::VtSecondary).text, entity::kVoltage, vtSecondary)) {
        return Refuse(" : Invalid Secondary Voltage");
    }
    // The secondaries have no maximum of their own; a value the record cannot hold is
    // refused rather than stored clipped.
    if (ScaleRound(vtSecondary, 10.0) > kMaxField16) {
        return Refuse(" : Invalid Secondary Voltage : the maximum permitted value is " +
                      FormatFixed(kMaxField16 / 10.0, 1, 1) + "V");
    }
    double ctPrimary = 0.0;
    if (!ReadRating(F(InputField::CtPrimary).text, entity::kCurrent, ctPrimary)) {
        return Refuse(" : Invalid Primary Current");
    }
    if (ctPrimary > kMaxPrimaryAmps) {
        return Refuse(" : Invalid Primary Current : the maximum permitted value is " +
                      FormatFixed(kMaxPrimaryAmps, 1, 1) + "A");
    }
    const int currentPhase = ChosenPhase(InputField::CurrentPhase);
    if (currentPhase < 0) {
        return Refuse(" : Invalid Current Phase");
    }
    if (currentPhase == kUnstorablePhaseIndex) {
        return Refuse(" : Invalid Current Phase : " + CurrentPhaseItems()[kUnstorablePhaseIndex] +
                      " cannot be stored in the unit");
    }
    double ctSecondary = 0.0;
    if (!ReadRating(F(InputField::CtSecondary).text, entity::kCurrent, ctSecondary)) {
        return Refuse(" : Invalid Secondary Current");
    }
    if (ScaleRound(ctSecondary, 1000.0) > kMaxField16) {
        return Refuse(" : Invalid Secondary Current : the maximum permitted value is " +
                      FormatFixed(kMaxField16 / 1000.0, 1, 3) + "A");
    }

    ParameterRecord& r = Record();
    const ParameterRecord before = r;
    r.SetPrimary(InputKind::Voltage, Winding::Primary, vtPrimary);
    r.SetPrimary(InputKind::Voltage, Winding::Secondary, vtSecondary);
    r.SetPrimary(InputKind::Current, Winding::Primary, ctPrimary);
    r.SetPrimary(InputKind::Current, Winding::Secondary, ctSecondary);
    r.SetPhase(InputKind::Voltage, voltagePhase);
    r.SetPhase(InputKind::Current, currentPhase);
    r.SetDirect(InputKind::Voltage, F(InputField::VoltageDirect).checked);
    r.SetDirect(InputKind::Current, F(InputField::CurrentDirect).checked);
    // A range list without a selection (a stored range that its list lacks) keeps the
    // stored range.
    const int voltageRange = F(InputField::VoltageRange).selection;
    const int currentRange = F(InputField::CurrentRange).selection;
    r.SetRanges(voltageRange >= 0 ? voltageRange : r.GetVoltageRange(),
                currentRange >= 0 ? currentRange : r.GetCurrentRange());
    r.SetCtPhaseCorrection(correction);
    r.SetCurrentThreshold(threshold);
    r.SetLineToLine(lineToLine_);
    r.SetBalanced(F(InputField::Balanced).checked);
    r.SetName(F(InputField::Name).text);
    if (r != before) {
        RecordChanged(doc_, channel_);
    }
    modified_ = false;
    return true;
}

bool ChannelInputPage::CalibrateChecks() {
    if (!Apply()) {
        return false;
    }
    const struct {
        InputField field;
        MeasuredEntity entity;
        const char* text;
    } kChecks[] = {
        {InputField::CtSecondary, entity::kCurrent, kSecondaryCurrentInvalidText},
        {InputField::VtSecondary, entity::kVoltage, kSecondaryVoltageInvalidText},
    };
    for (const auto& c : kChecks) {
        MeasuredValue v;
        if (!v.ParseWithUnit(F(c.field).text, c.entity)) {
            AppBeep(kCalibrateBeepHz, kCalibrateBeepMs);
            message_ = c.text;
            AppMessageBox(message_, MsgIcon::Error, MsgButtons::Ok);
            return false;
        }
    }
    return true;
}

// --- the 3 Phase page ------------------------------------------------------------------

ThreePhaseInputPage::ThreePhaseInputPage(CQRLDoc& doc, std::vector<ChannelInputPage*> channelPages)
    : doc_(doc), pages_(std::move(channelPages)) {
    Open();
}

void ThreePhaseInputPage::Open() {
    lineToLine_ = doc_.Channel(kMainBoard).record.IsLineToLine();
    modified_ = false;
}

void ThreePhaseInputPage::SetLineToLine(bool on) {
    lineToLine_ = on;
    modified_ = true;
    for (ChannelInputPage* page : pages_) {
        page->SetLineToLine(on);
    }
}

bool ThreePhaseInputPage::Apply() {
    ParameterRecord& r = doc_.Channel(kMainBoard).record;
    if (r.IsLineToLine() != lineToLine_) {
        r.SetLineToLine(lineToLine_);
        RecordChanged(doc_, kMainBoard);
    }
    modified_ = false;
    return true;
}

// --- the sheet ---------------------------------------------------------------------------

InputSheetModel::InputSheetModel(CQRLDoc& doc) : doc_(doc) {
    std::vector<ChannelInputPage*> pages;
    for (int i = 0; i < kInputChannelPages; ++i) {
        pages_[static_cast<size_t>(i)] = std::make_unique<ChannelInputPage>(doc_, i);
        pages.push_back(pages_[static_cast<size_t>(i)].get());
    }
    threePhase_ = std::make_unique<ThreePhaseInputPage>(doc_, std::move(pages));
}

std::string InputSheetModel::PageTitle(int index) const {
    return index < kInputChannelPages ? pages_.at(static_cast<size_t>(index))->Title()
                                      : std::string(kThreePhasePageTitle);
}

void InputSheetModel::Visit(int index) {
    visited_.at(static_cast<size_t>(index)) = true;
    if (index < kInputChannelPages) {
        Page(index).Activate();
    }
}

int InputSheetModel::ApplyVisited() {
    for (int i = 0; i < kInputChannelPages; ++i) {
        if (visited_[static_cast<size_t>(i)] && !Page(i).Apply()) {
            return i;
        }
    }
    if (visited_[kThreePhasePage]) {
        threePhase_->Apply();
    }
    return -1;
}

void InputSheetModel::Reload() {
    for (auto& page : pages_) {
        page->Open();
    }
    threePhase_->Open();
}

// --- after the sheet ---------------------------------------------------------------------

bool DeriveThreePhaseRecord(CQRLDoc& doc) {
    ParameterRecord& m = doc.Channel(kMainBoard).record;
    const ParameterRecord before = m;
    const ParameterRecord* c[kInputChannelPages] = {&doc.Channel(0).record, &doc.Channel(1).record,
                                                    &doc.Channel(2).record};
    bool voltageDirect = true;
    bool currentDirect = true;
    bool balanced = true;
    bool phases = true;
    for (const ParameterRecord* r : c) {
        voltageDirect = voltageDirect && r->IsDirect(InputKind::Voltage);
        currentDirect = currentDirect && r->IsDirect(InputKind::Current);
        balanced = balanced && r->IsBalanced();
        phases = phases && r->GetPhase(InputKind::Voltage) >= kDerivedPhaseMin &&
                 r->GetPhase(InputKind::Current) >= kDerivedPhaseMin;
    }
    m.SetDirect(InputKind::Voltage, voltageDirect);
    m.SetDirect(InputKind::Current, currentDirect);
    m.SetBalanced(balanced);

    bool ratings = voltageDirect && currentDirect && balanced && phases;
    for (int pair = 0; pair < 2; ++pair) {
        const ParameterRecord& a = *c[pair];
        const ParameterRecord& b = *c[pair + 1];
        const auto same = [&](size_t offset) { return a.GetU16(offset) == b.GetU16(offset); };
        if (!(a.IsDirect(InputKind::Voltage) && b.IsDirect(InputKind::Voltage))) {
            ratings = ratings && same(ParameterRecord::kVtPrimary);
        }
        if (!(a.IsDirect(InputKind::Current) && b.IsDirect(InputKind::Current))) {
            ratings = ratings && same(ParameterRecord::kCtPrimary);
        }
        ratings =
            ratings && same(ParameterRecord::kVtSecondary) && same(ParameterRecord::kCtSecondary);
    }
    if (ratings) {
        for (size_t offset : {ParameterRecord::kVtPrimary, ParameterRecord::kVtSecondary,
                              ParameterRecord::kCtPrimary, ParameterRecord::kCtSecondary}) {
            m.SetU16(offset, c[0]->GetU16(offset));
        }
        m.SetPhase(InputKind::Voltage, c[0]->GetPhase(InputKind::Voltage));
        m.SetPhase(InputKind::Current, c[0]->GetPhase(InputKind::Current));
    }
    const bool changed = m != before;
    if (changed) {
        RecordChanged(doc, kMainBoard);
    }
    return changed;
}

}  // namespace kvr
