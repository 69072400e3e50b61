// kvrctl set: edits a setup file in place through the rules of the input sheet and of the
// output forms, as a user would fill them in.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Seams.h"
#include "base/Text.h"
#include "base/UserSeam.h"
#include "cli/CliCommon.h"
#include "document/SetupFile.h"
#include "document/UnitAddressing.h"
#include "measure/AnalogOutput.h"
#include "measure/EntityChannel.h"
#include "measure/InputPage.h"
#include "measure/MeasuredValue.h"
#include "measure/OutputOverview.h"
#include "measure/Phasor.h"
#include "measure/RelayOutput.h"

namespace kvr::cli {

namespace {

// Where a key belongs: a channel page, the 3 Phase page, or one output.
enum class Scope { Channel, ThreePhase, Output };

// What a value must look like before any file is read; a value of another form is a
// wrong command line (status 2).
enum class ValueKind {
    Text,          // typed into the control as it is
    YesNo,         // a check box
    VoltagePhase,  // an entry of the fixed phase lists, or its index
    CurrentPhase,
    RangeIndex,  // an entry of a list that depends on the unit, or its index
    Card,
    Entity,
    Source,
    OutputRange,
    Direction,
};

struct Value {
    std::string text;  // as given
    int number = -1;   // list index, card entry, entity code, channel, range code
    bool on = false;
};

// The page or form the keys of one channel or output are applied to.
struct Target {
    ChannelInputPage* page = nullptr;
    ThreePhaseInputPage* threePhase = nullptr;
    OutputOverview* overview = nullptr;
    AnalogOutputForm* analog = nullptr;
    RelayOutputForm* relay = nullptr;
    int index = 0;  // channel 0 to 2 or output 0 to 11
    std::optional<int> entity;
    std::optional<int> source;
};

struct KeyRow;
// Gives false with the reason in why (the key is put in front of it) when the control
// would not take the value.
using ApplyFn = bool (*)(const KeyRow& row, Target& t, const Value& v, std::string& why);

struct KeyRow {
    Scope scope;
    const char* name;  // after "chN." or "outN."
    ValueKind kind;
    int field;  // the input page's control (InputField), where there is one
    ApplyFn apply;
    const char* values;  // for --keys
};

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string RemoveSpaces(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != ' ' && c != '\t') {
            out += c;
        }
    }
    return out;
}

std::string JoinItems(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        out += (out.empty() ? "" : ", ") + Trim(item);
    }
    return out;
}

// A whole number 0 to count - 1 given as a list index; -1 for anything else.
int IndexNumber(const std::string& text, size_t count) {
    double number = 0;
    size_t end = 0;
    if (ParseLeadingNumber(text, number, end) && end == text.size() && number >= 0 &&
        number < static_cast<double>(count) && number == static_cast<int>(number)) {
        return static_cast<int>(number);
    }
    return -1;
}

// A source channel as the key outN.source takes it.
std::string SourceWord(int source) {
    return source == kThreePhaseChannel ? std::string("3ph") : std::to_string(source + 1);
}

// --- the input page ---------------------------------------------------------------------

std::string ChannelDisabledReason(const ChannelInputPage& page, InputField f) {
    if (!page.IsLive()) {
        return "the page \"" + page.Title() +
               "\" is not a channel of this unit: its controls are disabled";
    }
    if (f == InputField::VtPrimary || f == InputField::CtPrimary) {
        return "the control is disabled while ch" + std::to_string(page.Channel() + 1) +
               (f == InputField::VtPrimary ? ".voltage-direct" : ".current-direct") +
               " is yes (coupled directly, the primary is the secondary)";
    }
    if (f == InputField::Balanced) {
        return "the control is disabled unless both phases are on a three-phase system (list "
               "index 2 and above)";
    }
    return "the control is disabled";
}

bool ApplyInput(const KeyRow& row, Target& t, const Value& v, std::string& why) {
    ChannelInputPage& page = *t.page;
    const auto f = static_cast<InputField>(row.field);
    if (!page.Field(f).enabled) {
        why = ChannelDisabledReason(page, f);
        return false;
    }
    switch (row.kind) {
        case ValueKind::YesNo:
            return page.SetChecked(f, v.on);
        case ValueKind::VoltagePhase:
        case ValueKind::CurrentPhase:
            return page.Select(f, v.number);
        case ValueKind::RangeIndex: {
            // The entries offered depend on the unit's input hardware.
            const std::vector<std::string>& items = page.Field(f).items;
            int index = -1;
            for (size_t i = 0; i < items.size() && index < 0; ++i) {
                if (EqualNoCase(RemoveSpaces(items[i]), RemoveSpaces(v.text))) {
                    index = static_cast<int>(i);
                }
            }
            if (index < 0) {
                index = IndexNumber(v.text, items.size());
            }
            if (index < 0) {
                why = "'" + v.text + "' is not offered; the list holds " + JoinItems(items) +
                      " (or the index 0 to " + std::to_string(items.size() - 1) + ")";
                return false;
            }
            return page.Select(f, index);
        }
        default:
            return page.SetText(f, v.text);
    }
}

bool ApplyLineToLine(const KeyRow&, Target& t, const Value& v, std::string&) {
    t.threePhase->SetLineToLine(v.on);
    return true;
}

// --- the outputs ------------------------------------------------------------------------

bool ApplyCard(const KeyRow&, Target& t, const Value& v, std::string& why) {
    if (!t.overview->Select(t.index, v.number)) {
        why = "the list is disabled";
        return false;
    }
    return true;
}

bool TakeEntity(const KeyRow&, Target& t, const Value& v, std::string&) {
    t.entity = v.number;
    return true;
}

bool TakeSource(const KeyRow&, Target& t, const Value& v, std::string&) {
    t.source = v.number;
    return true;
}

std::string CardOf(const Target& t) {
    return t.analog != nullptr ? "an analog output card" : "a relay output card";
}

// Analog fields: the form must be the analog one, with an entity chosen.
bool AnalogReady(const Target& t, std::string& why) {
    if (t.analog == nullptr) {
        why = OutputCaption(t.index) + " has " + CardOf(t) + "; the key is for analog outputs";
        return false;
    }
    if (!t.analog->Valid()) {
        why =
            std::string(kSelectEntityText) + " (set out" + std::to_string(t.index + 1) + ".entity)";
        return false;
    }
    return true;
}

// A power factor with its side, "0.85 lag" or "0.9 lead": the phasor control's choice,
// which a typed number alone cannot make. False for any other text.
bool ReadSidedPowerFactor(const std::string& text, double& angle) {
    const std::string t = Trim(text);
    for (const auto& [word, side] : {std::pair{"lag", -1.0}, std::pair{"lead", 1.0}}) {
        const std::string w = word;
        if (t.size() <= w.size() || !EqualNoCase(t.substr(t.size() - w.size()), w)) {
            continue;
        }
        MeasuredValue pf;
        if (!pf.ParseWithUnit(Trim(t.substr(0, t.size() - w.size())), entity::kPowerFactor) ||
            pf.GetValue() < -1.0 || pf.GetValue() > 1.0) {
            return false;
        }
        angle = AngleOfPowerFactor(pf.GetValue(), side);
        return true;
    }
    return false;
}

bool ApplyAnalog(const KeyRow& row, Target& t, const Value& v, std::string& why) {
    if (!AnalogReady(t, why)) {
        return false;
    }
    AnalogOutputForm& f = *t.analog;
    const std::string name = row.name;
    if (name == "range") {
        return f.SelectRange(v.number);
    }
    double angle = 0.0;
    if ((name == "min" || name == "max") && f.IsPowerFactor() &&
        ReadSidedPowerFactor(v.text, angle)) {
        f.MovePhasor(name == "min" ? 0 : 1, angle);  // as the phasor is placed with the mouse
        return true;
    }
    if (name == "secondary") {
        f.SetSecondary(v.on);
    } else if (name == "min") {
        f.SetMinText(v.text);
    } else if (name == "max") {
        f.SetMaxText(v.text);
    } else if (name == "out-min") {
        f.SetOutMinText(v.text);
    } else {
        f.SetOutMaxText(v.text);
    }
    return true;
}

bool ApplyRelay(const KeyRow& row, Target& t, const Value& v, std::string& why) {
    const std::string name = row.name;
    if (name == "secondary" && t.analog != nullptr) {
        return ApplyAnalog(row, t, v, why);
    }
    if (t.relay == nullptr) {
        why = OutputCaption(t.index) + " has " + CardOf(t) + "; the key is for relay outputs";
        return false;
    }
    RelayOutputForm& f = *t.relay;
    const std::string key = "out" + std::to_string(t.index + 1) + ".";
    if (!f.Valid()) {
        why = std::string(kSelectEntityText) + " (set " + key + "entity)";
        return false;
    }
    const bool pulse = name == "power" || name == "pulses";
    if (pulse != f.IsPulseOutput() && name != "secondary") {
        why = f.IsPulseOutput()
                  ? "the threshold settings are disabled: an energy is pulsed (set " + key +
                        "power and " + key + "pulses)"
                  : "the pulse settings are disabled: only an energy is pulsed (set " + key +
                        "trigger, " + key + "hysteresis and " + key + "direction)";
        return false;
    }
    if (name == "secondary") {
        return f.SetSecondary(v.on);  // its message tells why values could not be taken
    }
    if (name == "power") {
        f.SetPowerText(v.text);
    } else if (name == "pulses") {
        f.SetPulsesText(v.text);
    } else if (name == "trigger") {
        f.SetTriggerText(v.text);
    } else if (name == "hysteresis") {
        f.SetHysteresisText(v.text);
    } else {
        f.SetDirection(static_cast<RelayDirection>(v.number));
    }
    return true;
}

constexpr int kNoField = -1;

// Every key, in the order in which a user would fill the controls: a control that
// enables or fills others comes before them (phases before balanced, the coupling before
// the primaries, the card before its form, the entity before the limits, "Secondary
// Values" before the values typed in its mode).
const KeyRow kKeys[] = {
    {Scope::Channel, "name", ValueKind::Text, static_cast<int>(InputField::Name), ApplyInput,
     "the channel's name, at most 16 characters"},
    {Scope::Channel, "voltage-phase", ValueKind::VoltagePhase,
     static_cast<int>(InputField::VoltagePhase), ApplyInput,
     "Not Connected, Independent, V[an], V[bn], V[cn], V[ab], V[bc], V[ca], Reversed "
     "Independent, Reversed V[an] ... Reversed V[ca], or the list index 0 to 15"},
    {Scope::Channel, "current-phase", ValueKind::CurrentPhase,
     static_cast<int>(InputField::CurrentPhase), ApplyInput,
     "Not Connected, Independent, I[a], I[b], I[c], I[ab], I[bc], I[ca], Reversed "
     "Independent, Reversed I[a] ... Reversed I[ca], or the list index 0 to 15"},
    {Scope::Channel, "voltage-direct", ValueKind::YesNo,
     static_cast<int>(InputField::VoltageDirect), ApplyInput,
     "yes (coupled directly: no VT) or no"},
    {Scope::Channel, "current-direct", ValueKind::YesNo,
     static_cast<int>(InputField::CurrentDirect), ApplyInput,
     "yes (coupled directly: no CT) or no"},
    {Scope::Channel, "voltage-range", ValueKind::RangeIndex,
     static_cast<int>(InputField::VoltageRange), ApplyInput,
     "the unit's voltage ranges (110 V, 220 V, 400 V, 600 V or 70 V, 120 V, 290 V, 500 V), "
     "or the list index 0 to 3"},
    {Scope::Channel, "vt-secondary", ValueKind::Text, static_cast<int>(InputField::VtSecondary),
     ApplyInput, "a voltage, e.g. 110 V or 110"},
    {Scope::Channel, "vt-primary", ValueKind::Text, static_cast<int>(InputField::VtPrimary),
     ApplyInput, "a voltage up to 6553.5 kV, e.g. 11 kV"},
    {Scope::Channel, "current-range", ValueKind::RangeIndex,
     static_cast<int>(InputField::CurrentRange), ApplyInput,
     "1.000 A, 3.000 A, 5.000 A, 10.000 A, or the list index 0 to 3"},
    {Scope::Channel, "ct-secondary", ValueKind::Text, static_cast<int>(InputField::CtSecondary),
     ApplyInput, "a current, e.g. 5 A or 1"},
    {Scope::Channel, "ct-primary", ValueKind::Text, static_cast<int>(InputField::CtPrimary),
     ApplyInput, "a current up to 65535 A, e.g. 400 A"},
    {Scope::Channel, "balanced", ValueKind::YesNo, static_cast<int>(InputField::Balanced),
     ApplyInput, "yes or no (only with both phases on a three-phase system)"},
    {Scope::Channel, "phase-correction", ValueKind::Text,
     static_cast<int>(InputField::PhaseCorrection), ApplyInput,
     "degrees, -180.00 to 180.00, e.g. -1.234"},
    {Scope::Channel, "threshold", ValueKind::Text, static_cast<int>(InputField::Threshold),
     ApplyInput, "percent, 0.0 to 25.5"},
    {Scope::ThreePhase, "line-to-line", ValueKind::YesNo, kNoField, ApplyLineToLine,
     "yes or no: the voltages are measured line to line (every channel)"},
    {Scope::Output, "card", ValueKind::Card, kNoField, ApplyCard,
     "none, analog or relay, with + or \" (Plus)\" for a Plus card; or the list texts "
     "(Not Available, Analog Output (Plus), Relay Output, ...)"},
    {Scope::Output, "entity", ValueKind::Entity, kNoField, TakeEntity,
     "a code 1 to 14 or voltage|v, current|i, active-power|power|p, apparent-power|s, "
     "reactive-power|q, power-factor|pf, frequency|f, active-energy, apparent-energy, "
     "reactive-energy, current-max"},
    {Scope::Output, "source", ValueKind::Source, kNoField, TakeSource,
     "1, 2, 3 (a channel) or 3ph (the KVR 300 main board)"},
    {Scope::Output, "range", ValueKind::OutputRange, kNoField, ApplyAnalog,
     "analog: 500mV, 2.5V, 3.75V, 5.0V, 10.0V, 1.0mA, 5.0mA, 7.5mA, 10mA, 20mA, or the list "
     "index 0 to 15"},
    {Scope::Output, "secondary", ValueKind::YesNo, kNoField, ApplyRelay,
     "yes (values typed as input values, the default) or no (as primary values)"},
    {Scope::Output, "min", ValueKind::Text, kNoField, ApplyAnalog,
     "analog: the entity's value at the minimum output, e.g. 0 V; a power factor may take "
     "its side: 0.85 lag or 0.9 lead"},
    {Scope::Output, "max", ValueKind::Text, kNoField, ApplyAnalog,
     "analog: the entity's value at the maximum output, e.g. 120 V or 500 W"},
    {Scope::Output, "out-min", ValueKind::Text, kNoField, ApplyAnalog,
     "analog: the output at the minimum, e.g. 4 mA or 0 V"},
    {Scope::Output, "out-max", ValueKind::Text, kNoField, ApplyAnalog,
     "analog: the output at the maximum, e.g. 20 mA or 10 V"},
    {Scope::Output, "power", ValueKind::Text, kNoField, ApplyRelay,
     "relay, energy: the power at which it pulses, e.g. 500 W"},
    {Scope::Output, "pulses", ValueKind::Text, kNoField, ApplyRelay,
     "relay, energy: pulses per hour, 1 to 3600"},
    {Scope::Output, "trigger", ValueKind::Text, kNoField, ApplyRelay,
     "relay, other entities: the trigger level, e.g. 120 V"},
    {Scope::Output, "hysteresis", ValueKind::Text, kNoField, ApplyRelay,
     "relay, other entities: percent with %, e.g. 5%"},
    {Scope::Output, "direction", ValueKind::Direction, kNoField, ApplyRelay,
     "relay, other entities: rising or falling"},
};

const char* ScopePrefix(Scope s) {
    return s == Scope::Channel ? "chN." : s == Scope::Output ? "outN." : "";
}

int ListIndex(const std::vector<std::string>& items, const std::string& text) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (EqualNoCase(Trim(items[i]), Trim(text))) {
            return static_cast<int>(i);
        }
    }
    return IndexNumber(Trim(text), items.size());
}

int CardEntry(const std::string& text) {
    for (int k = 0; k < kCardTypeEntries; ++k) {
        if (EqualNoCase(text, CardTypeEntry(k))) {
            return k;
        }
    }
    std::string word = Trim(text);
    bool plus = false;
    for (const char* suffix : {"+", " (Plus)"}) {
        const std::string s = suffix;
        if (word.size() > s.size() && EqualNoCase(word.substr(word.size() - s.size()), s)) {
            word = Trim(word.substr(0, word.size() - s.size()));
            plus = true;
            break;
        }
    }
    const char* const kWords[] = {"none", "analog", "relay"};
    for (int type = 0; type < 3; ++type) {
        if (EqualNoCase(word, kWords[type])) {
            return type * 2 + (plus ? 1 : 0);
        }
    }
    return -1;
}

bool ParseValue(ValueKind kind, const std::string& text, Value& v) {
    v.text = text;
    switch (kind) {
        case ValueKind::YesNo:
            if (EqualNoCase(text, "yes") || EqualNoCase(text, "no")) {
                v.on = EqualNoCase(text, "yes");
                return true;
            }
            return false;
        case ValueKind::VoltagePhase:
            v.number = ListIndex(VoltagePhaseItems(), text);
            return v.number >= 0;
        case ValueKind::CurrentPhase:
            v.number = ListIndex(CurrentPhaseItems(), text);
            return v.number >= 0;
        case ValueKind::Card:
            v.number = CardEntry(text);
            return v.number >= 0;
        case ValueKind::Entity: {
            MeasuredEntity e{};
            if (!ParseEntityWord(text, e)) {
                return false;
            }
            v.number = EntityCode(e);
            return true;
        }
        case ValueKind::Source:
            v.number = text == "1" || text == "2" || text == "3" ? text[0] - '1'
                       : EqualNoCase(text, "3ph")                ? kThreePhaseChannel
                                                                 : -1;
            return v.number >= 0;
        case ValueKind::OutputRange: {
            std::vector<std::string> names;
            names.reserve(kRangeCodes);
            for (int code = 0; code < kRangeCodes; ++code) {
                names.emplace_back(OutputRangeCodeName(code));
            }
            v.number = ListIndex(names, RemoveSpaces(text));
            return v.number >= 0;
        }
        case ValueKind::Direction:
            v.number = EqualNoCase(text, "rising")    ? static_cast<int>(RelayDirection::Rising)
                       : EqualNoCase(text, "falling") ? static_cast<int>(RelayDirection::Falling)
                                                      : -1;
            return v.number >= 0;
        case ValueKind::Text:
        case ValueKind::RangeIndex:
            return true;
    }
    return false;
}

struct Setting {
    const KeyRow* row;
    int index;        // channel 0 to 2 or output 0 to 11
    std::string key;  // as given
    Value value;
};

// "chN.name", "outN.min" or "line-to-line" into its row and index; false when unknown.
bool FindKey(const std::string& key, const KeyRow*& row, int& index) {
    for (const KeyRow& r : kKeys) {
        if (r.scope == Scope::ThreePhase) {
            if (key == r.name) {
                row = &r;
                index = 0;
                return true;
            }
            continue;
        }
        const std::string prefix = r.scope == Scope::Channel ? "ch" : "out";
        const int count = r.scope == Scope::Channel ? kInputChannelPages : kOutputPorts;
        const std::string suffix = std::string(".") + r.name;
        if (key.size() <= prefix.size() + suffix.size() || key.compare(0, prefix.size(), prefix) ||
            key.compare(key.size() - suffix.size(), suffix.size(), suffix)) {
            continue;
        }
        const std::string n = key.substr(prefix.size(), key.size() - prefix.size() - suffix.size());
        if (n.empty() || n.size() > 2 || n[0] == '0' ||
            !std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        const int number = std::stoi(n);
        if (number >= 1 && number <= count) {
            row = &r;
            index = number - 1;
            return true;
        }
    }
    return false;
}

// Counts the messages shown while passing them on, so a refusal that showed none gets
// its own line.
class CountingSeam final : public IUserSeam {
  public:
    explicit CountingSeam(IUserSeam* next) : next_(next) {}
    MsgAnswer MessageBox(const std::string& text, const std::string& title, MsgIcon icon,
                         MsgButtons buttons) override {
        ++shown;
        if (next_ != nullptr) {
            return next_->MessageBox(text, title, icon, buttons);
        }
        std::fprintf(stderr, "kvrctl: %s\n", TerminalText(text, true).c_str());
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
    void Beep(unsigned, unsigned) override {}
    void BusyBegin(const std::string&) override {}
    void BusyEnd() override {}
    bool AskPassword(PasswordPrompt, std::string&, std::string&) override { return false; }
    int shown = 0;

  private:
    IUserSeam* next_;
};

int PrintKeys() {
    std::printf("Keys of 'kvrctl set' (N: channel 1 to 3, output 1 to 12):\n");
    for (const KeyRow& r : kKeys) {
        const std::string key = std::string(ScopePrefix(r.scope)) + r.name;
        std::printf("  %-22s %s\n", key.c_str(), r.values);
    }
    return 0;
}

int Refuse(const std::string& key, const std::string& why) {
    return Fail(key + ": " + why);
}

// The keys of every touched channel page, then the 3 Phase page, applied as one Apply of
// the sheet; the three-phase record derived after it. 0, or the exit status.
int ApplyInputs(CQRLDoc& doc, const std::vector<Setting>& settings) {
    bool any = false;
    for (const Setting& s : settings) {
        any = any || s.row->scope != Scope::Output;
    }
    if (!any) {
        return 0;
    }
    InputSheetModel sheet(doc);
    for (const Setting& s : settings) {
        if (s.row->scope == Scope::Output) {
            continue;
        }
        const int page =
            s.row->scope == Scope::Channel ? s.index : InputSheetModel::kThreePhasePage;
        if (!sheet.Visited(page)) {
            sheet.Visit(page);
        }
        Target t;
        t.index = s.index;
        t.page = s.row->scope == Scope::Channel ? &sheet.Page(s.index) : nullptr;
        t.threePhase = &sheet.ThreePhase();
        std::string why;
        if (!s.row->apply(*s.row, t, s.value, why)) {
            return Refuse(s.key,
                          why.empty() ? "the control does not take '" + s.value.text + "'" : why);
        }
    }
    if (sheet.ApplyVisited() >= 0) {
        return kExitFailed;  // the page's message is out already
    }
    DeriveThreePhaseRecord(doc);
    return 0;
}

// One output's keys: the card through the overview, then one OK of its form.
int ApplyOutput(CQRLDoc& doc, OutputOverview& overview, int output,
                const std::vector<const Setting*>& settings, CountingSeam& seam) {
    Target t;
    t.index = output;
    t.overview = &overview;
    const std::string caption = OutputCaption(output);
    std::unique_ptr<AnalogOutputForm> analog;
    std::unique_ptr<RelayOutputForm> relay;
    bool formOpen = false;
    for (size_t k = 0; k < settings.size(); ++k) {
        const Setting& s = *settings[k];
        if (!overview.RowAt(output).enabled) {
            return Refuse(s.key, caption + " is not an output of this unit (its channel " +
                                     std::to_string(OutputChannel(output) + 1) +
                                     " is not part of it)");
        }
        if (s.row->apply != ApplyCard && !formOpen) {
            formOpen = true;
            const OutputForm form = overview.Configure(output);
            const int channel = OutputChannel(output);
            const int port = OutputPort(output);
            if (form == OutputForm::Analog) {
                analog = std::make_unique<AnalogOutputForm>(doc, channel, port);
                analog->Open();
            } else if (form == OutputForm::Relay) {
                relay = std::make_unique<RelayOutputForm>(doc, channel, port);
                relay->Open();
            } else {
                return Refuse(s.key, caption + " has no output card to configure (set out" +
                                         std::to_string(output + 1) + ".card)");
            }
            t.analog = analog.get();
            t.relay = relay.get();
        }
        std::string why;
        if (!s.row->apply(*s.row, t, s.value, why)) {
            return why.empty() ? kExitFailed : Refuse(s.key, why);
        }
        // The chooser returns once the entity and source are taken.
        const bool lastChoice =
            k + 1 == settings.size() || (settings[k + 1]->row->apply != TakeEntity &&
                                         settings[k + 1]->row->apply != TakeSource);
        if ((t.entity || t.source) && lastChoice) {
            const MeasuredEntity e = t.entity ? EntityFromCode(*t.entity)
                                     : analog ? analog->Entity()
                                              : relay->Entity();
            const int source = t.source.value_or(analog ? analog->Source() : relay->Source());
            t.entity.reset();
            t.source.reset();
            const int before = seam.shown;
            if (!(analog ? analog->Change(e, source) : relay->Change(e, source))) {
                if (seam.shown == before) {
                    Fail(caption + ": " + kNoEntityText);
                }
                return Refuse(s.key, "the chooser refused entity " + std::to_string(EntityCode(e)) +
                                         " on source " + SourceWord(source));
            }
        }
    }
    if (!formOpen) {
        return 0;  // only the card: written by the overview at once
    }
    const int before = seam.shown;
    if (analog ? analog->Ok() : relay->Ok()) {
        return 0;
    }
    if (seam.shown == before) {
        Fail(caption + ": " + kSelectEntityText);
    }
    return kExitFailed;
}

}  // namespace

int Set(const Options&, const std::vector<std::string>& args) {
    if (args.size() == 1 && args[0] == "--keys") {
        return PrintKeys();
    }
    if (args.empty() || args[0].empty() || args[0][0] == '-') {
        return UsageError(
            "set", args.empty() ? "no setup file given" : "unexpected argument '" + args[0] + "'");
    }
    const std::string& path = args[0];
    const KeyRow* row = nullptr;
    int index = 0;
    if (path.find('=') != std::string::npos &&
        FindKey(path.substr(0, path.find('=')), row, index)) {
        return UsageError("set", "no setup file given before " + path);
    }
    std::vector<Setting> settings;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const size_t eq = a.find('=');
        if (eq == std::string::npos || eq == 0) {
            return UsageError("set", "expected KEY=VALUE, not '" + a + "'");
        }
        Setting s;
        s.key = a.substr(0, eq);
        if (!FindKey(s.key, s.row, s.index)) {
            return UsageError("set",
                              "unknown key '" + s.key + "' ('kvrctl set --keys' lists them)");
        }
        for (const Setting& other : settings) {
            if (other.row == s.row && other.index == s.index) {
                return UsageError("set", s.key + " is given twice");
            }
        }
        if (!ParseValue(s.row->kind, a.substr(eq + 1), s.value)) {
            return UsageError(
                "set", s.key + " cannot be '" + a.substr(eq + 1) + "': it takes " + s.row->values);
        }
        settings.push_back(s);
    }
    if (settings.empty()) {
        return UsageError("set", "no KEY=VALUE given");
    }
    // In the order the controls are filled, channel by channel and output by output.
    std::stable_sort(settings.begin(), settings.end(), [](const Setting& a, const Setting& b) {
        if (a.row->scope != b.row->scope || a.index != b.index) {
            return a.row->scope != b.row->scope ? a.row->scope < b.row->scope : a.index < b.index;
        }
        return a.row < b.row;
    });

    std::vector<uint8_t> original;
    std::string error;
    if (!ReadWholeFile(path, original, error)) {
        return Fail("cannot read " + path + ": " + error);
    }
    CQRLDoc doc;
    doc.OnNewDocument();
    SetupReadInfo info;
    if (LoadSetup(doc, original.data(), original.size(), &info) != SetupStatus::Loaded) {
        return Fail(path + " could not be opened as a setup file");
    }
    if (info.truncated || info.trailingBytes > 0) {
        // Saving would complete or cut the file: more would change than was asked.
        return Fail(path +
                    (info.truncated ? " ends inside " + info.truncatedIn
                                    : " has bytes after its last record") +
                    "; only a complete setup file is edited");
    }
    if (doc.GetChannels() == 1 && doc.Channel(0).record.GetUnitAddress() <= 2) {
        // A single KVR 100: its channel is live at the address its record holds.
        ApplyKvr100Address(doc, doc.Channel(0).record.GetUnitAddress());
    }
    ScopedActiveDocument active(doc);
    CountingSeam seam(GetUserSeam());
    ScopedSeams scoped(Seams{.user = &seam});

    if (const int status = ApplyInputs(doc, settings); status != 0) {
        return status;
    }
    OutputOverview overview(doc);
    overview.Fill();
    for (int output = 0; output < kOutputPorts; ++output) {
        std::vector<const Setting*> mine;
        for (const Setting& s : settings) {
            if (s.row->scope == Scope::Output && s.index == output) {
                mine.push_back(&s);
            }
        }
        if (mine.empty()) {
            continue;
        }
        if (const int status = ApplyOutput(doc, overview, output, mine, seam); status != 0) {
            return status;
        }
    }
    const SetupImage edited = CaptureSetup(doc, kSetupSignature);
    if (EncodeSetup(edited) == original) {
        return 0;  // nothing changed: the file is left as it is
    }
    if (info.signature != kSetupSignature) {
        std::fprintf(stderr, "kvrctl: note: %s is saved in the current setup file form (%u)\n",
                     TerminalText(path).c_str(), static_cast<unsigned>(kSetupSignature));
    }
    return SaveDocumentFile(doc, path, false) ? 0 : kExitFailed;
}

CommandRows SetCommandRows() {
    static const CommandRow kRows[] = {
        {"set", 75, Set, "edit a setup file's inputs and outputs as the forms would",
         "usage: kvrctl set FILE.kvr KEY=VALUE [KEY=VALUE ...]\n"
         "       kvrctl set --keys\n"
         "\n"
         "Edits a setup file in place through the rules of the input sheet and the output\n"
         "forms: each value is what a user would type or pick there (\"ch1.vt-primary=11 kV\",\n"
         "\"ch1.voltage-phase=V[an]\" or its list index, yes or no for a check box). The keys of\n"
         "one channel are applied as one Apply of its page, those of one output as one OK of its\n"
         "form (after its card: out5.card=relay); the three-phase record is then derived as\n"
         "after the input sheet, and the file is saved in one step.\n"
         "  --keys   every key with the values it takes (chN: channel 1 to 3; outN: output 1\n"
         "           to 12, on board (N-1)/4, port (N-1) mod 4)\n"
         "The first refusal prints the form's message; the file is then left exactly as it was\n"
         "(status 1). An unknown key or a value that no control offers is status 2.\n"},
    };
    return kRows;
}

}  // namespace kvr::cli
