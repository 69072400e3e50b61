// The outputs of a setup file as 'kvrctl show' prints them: each one decoded by its
// form's own reading, as the form would show it when opened.
#include <cstdio>
#include <string>

#include "base/Seams.h"
#include "base/UserSeam.h"
#include "cli/CliCommon.h"
#include "document/QRLDoc.h"
#include "measure/AnalogOutput.h"
#include "measure/EntityChannel.h"
#include "measure/OutputOverview.h"
#include "measure/RelayOutput.h"

namespace kvr::cli {

namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string SourceWord(int source) {
    return source == kThreePhaseChannel ? std::string("3ph") : std::to_string(source + 1);
}

class QuietSeam final : public IUserSeam {
  public:
    MsgAnswer MessageBox(const std::string&, const std::string&, MsgIcon,
                         MsgButtons buttons) override {
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
    void Beep(unsigned, unsigned) override {}
    void BusyBegin(const std::string&) override {}
    void BusyEnd() override {}
    bool AskPassword(PasswordPrompt, std::string&, std::string&) override { return false; }
};

void Line(const char* name, const std::string& value) {
    std::printf("  %-24s %s\n", name, TerminalText(Trim(value)).c_str());
}

// "secondary (primary: primary)" when the two differ.
std::string BothValues(const std::string& secondary, const std::string& primary) {
    return primary.empty() || primary == secondary ? secondary
                                                   : secondary + " (primary " + primary + ")";
}

void PrintAnalog(CQRLDoc& doc, int output) {
    AnalogOutputForm f(doc, OutputChannel(output), OutputPort(output));
    f.Open();
    Line("Entity", f.EntityLabel());
    if (!f.Valid()) {
        return;
    }
    Line("Source", SourceWord(f.Source()));
    Line("Range", OutputRangeCodeName(f.RangeCode()));
    const std::string min = f.MinText();
    const std::string max = f.MaxText();
    f.SetSecondary(false);
    // A power factor's side is bit 0 of its limit: set for lagging.
    const auto side = [&f](int k) {
        return !f.IsPowerFactor() ? "" : f.SideValue(k) < 0 ? " lag" : " lead";
    };
    Line("Minimum", BothValues(Trim(min) + side(0), Trim(f.MinText()) + side(0)));
    Line("Maximum", BothValues(Trim(max) + side(1), Trim(f.MaxText()) + side(1)));
    Line("Output at minimum", f.OutMinText());
    Line("Output at maximum", f.OutMaxText());
}

void PrintRelay(CQRLDoc& doc, int output) {
    RelayOutputForm f(doc, OutputChannel(output), OutputPort(output));
    f.Open();
    Line("Entity", f.EntityLabel());
    if (!f.Valid()) {
        return;
    }
    Line("Source", SourceWord(f.Source()));
    const std::string power = f.PowerText();
    const std::string trigger = f.TriggerText();
    const bool primary = f.SetSecondary(false);
    if (f.IsPulseOutput()) {
        Line("Power", BothValues(power, primary ? f.PowerText() : ""));
        Line("Pulses per hour", f.PulsesText());
        return;
    }
    Line("Trigger at", BothValues(trigger, primary ? f.TriggerText() : ""));
    Line("Hysteresis", f.HysteresisText());
    Line("Direction", f.Direction() == RelayDirection::Falling ? kFallingText : kRisingText);
}

}  // namespace

void PrintOutputs(CQRLDoc& doc) {
    QuietSeam quiet;
    ScopedSeams scoped(Seams{.user = &quiet});
    OutputOverview overview(doc);
    overview.Fill();
    for (int output = 0; output < kOutputPorts; ++output) {
        const OutputOverview::Row& row = overview.RowAt(output);
        if (!row.enabled) {
            continue;
        }
        const ParameterRecord& r = doc.Channel(OutputChannel(output)).record;
        const char* card = row.selection >= 0 ? CardTypeEntry(row.selection)
                                              : CardTypeName(r.GetCardType(OutputPort(output)));
        std::printf("\n%s (board %d, port %d): %s\n", OutputCaption(output).c_str(),
                    OutputChannel(output), OutputPort(output), card);
        switch (overview.Configure(output)) {
            case OutputForm::Analog:
                PrintAnalog(doc, output);
                break;
            case OutputForm::Relay:
                PrintRelay(doc, output);
                break;
            case OutputForm::None:
                break;
        }
    }
}

}  // namespace kvr::cli
