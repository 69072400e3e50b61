#include "report/Reports.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "base/Text.h"
#include "document/QRLDoc.h"
#include "measure/EntityChannel.h"
#include "measure/MeasuredValue.h"

namespace kvr {

namespace {

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kPhaseNames[] = {"NotConnected", "Independent", "A - N", "B - N",
                                       "C - N",        "A - B",       "B - C", "C - A"};
constexpr int kFullScaleCounts = 1462;  // output counts at the range's full scale

std::string Format(const char* format, long value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A value of no entity (a blank display line) prints without a unit rather than "??".
std::string Significant(double value, MeasuredEntity e, int digits) {
    return IsMeasured(e) ? MeasuredValue(value, e).FormatSignificant(digits)
                         : FormatSignificantText(value, "", digits, false);
}

const char* YesNo(bool yes) {
    return yes ? "Yes" : "No";
}

// A fill that fails leaves the result false but never stops the rest.
struct Filler {
    CRtfTemplate& report;
    bool all = true;
    void operator()(const std::string& name, const std::string& text) {
        all = report.FillBookmark(name, text) && all;
    }
    void operator()(const char* format, long n, const std::string& text) {
        all = report.FillNumbered(format, n, text) && all;
    }
};

void FillChannel(const CQRLDoc& doc, int n, Filler& fill) {
    const ParameterRecord& r = doc.Channel(n - 1).record;
    const bool present = n <= doc.GetChannels();
    const auto rating = [&](InputKind input, Winding winding) -> std::string {
        if (winding == Winding::Primary && r.IsDirect(input)) {
            return "-";
        }
        return present ? FormatFixed(r.GetPrimary(input, winding), 0, 1) : "";
    };
    fill("VPrim%ld", n, rating(InputKind::Voltage, Winding::Primary));
    fill("VSec%ld", n, rating(InputKind::Voltage, Winding::Secondary));
    fill("IPrim%ld", n, rating(InputKind::Current, Winding::Primary));
    fill("ISec%ld", n, rating(InputKind::Current, Winding::Secondary));
    fill("VPhase%ld", n, present ? ReportPhaseName(r.GetPhase(InputKind::Voltage)) : "");
    fill("IPhase%ld", n, present ? ReportPhaseName(r.GetPhase(InputKind::Current)) : "");
    fill("VDirect%ld", n, present ? YesNo(r.IsDirect(InputKind::Voltage)) : "");
    fill("IDirect%ld", n, present ? YesNo(r.IsDirect(InputKind::Current)) : "");
    fill("Balanced%d", n, present ? YesNo(r.IsBalanced()) : "");
}

struct OutputTexts {
    std::string type, entity, entityA, a, b, c;
};

OutputTexts DescribeOutput(const CQRLDoc& doc, int board, int port, bool& installed) {
    OutputTexts t;
    installed = false;
    if (board >= doc.GetChannels()) {
        return t;
    }
    const ParameterRecord& r = doc.Channel(board).record;
    const int card = r.GetCardType(port);
    if (card == 0) {
        t.entity = "Not installed";
        return t;
    }
    installed = true;
    t.type = CardTypeName(card);
    const MeasuredEntity e = r.GetOutputEntity(port);
    std::string label;
    DescribeEntityChannel(doc, e, r.GetOutputSource(port), label, true, true, r.GetUnitAddress());
    EntityTexts(label, t.entity, t.entityA);
    const double divisor = EntityScale(e);
    const int32_t f1 = r.GetScaleMin(port);
    const int32_t f2 = r.GetScaleMax(port);
    if (card == 1) {
        bool current = false;
        int range = 0;
        r.GetOutputRange(port, current, range);
        const MeasuredEntity out = current ? entity::kCurrent : entity::kVoltage;
        const MeasuredValue fullScale(OutputRangeName(current, range), out);
        const double fs = fullScale.GetValue();
        // The output cannot go beyond its full scale: a level outside +-1462 counts (such
        // as the factory default 32767) reads as the full scale, as the output form shows it.
        const auto level = [&](int16_t counts) {
            const int clamped = std::clamp<int>(counts, -kFullScaleCounts, kFullScaleCounts);
            return Significant(clamped * fs / kFullScaleCounts, out, 2);
        };
        t.a = Significant(f1 / divisor, e, 4) + "=" + level(r.GetLevelMin(port));
        t.b = Significant(f2 / divisor, e, 4) + "=" + level(r.GetLevelMax(port));
        t.c = fullScale.FormatSignificant(4);
    } else if (card == 2 && IsEnergy(e)) {
        // Every energy, export ones included, is a pulse output, as the relay form has it.
        t.a = Significant(std::abs(static_cast<double>(f1)) / divisor, RateEntity(e), 4);
        t.b = Format("%ld", f2);
        t.c = f1 >= 0 ? "Pos" : "Neg";
    } else if (card == 2) {
        t.a = Significant(std::min(f1, f2) / divisor, e, 4);
        t.b = Significant(std::max(f1, f2) / divisor, e, 4);
        t.c = f1 > f2 ? "Rising" : "Falling";
    }
    return t;
}

}  // namespace

std::string ReportDate(std::time_t when, bool withTime) {
    std::tm tm{};
    localtime_r(&when, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%02d %s, %04d", tm.tm_mday, kMonths[tm.tm_mon % 12],
                  tm.tm_year + 1900);
    std::string date = text;
    if (withTime) {
        std::snprintf(text, sizeof text, ".  %02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
        date += text;
    }
    return date;
}

const char* ReportPhaseName(int code) {
    return code >= 0 && code < 8 ? kPhaseNames[code] : "<not valid>";
}

void EntityTexts(std::string label, std::string& first, std::string& second) {
    static const std::pair<const char*, const char*> kRenames[] = {
        {"Active Energy Import", "Active Energy (Pos) "},
        {"Reactive Energy Lag", "Reactive Energy (Pos) "},
        {"Active Energy Export", "Active Energy (Neg) "},
        {"Reactive Energy Lead", "Reactive Energy (Neg) "},
    };
    for (const auto& [name, renamed] : kRenames) {
        const size_t colon = label.find(':');
        if (label.find(name) != std::string::npos && colon != std::string::npos) {
            label = renamed + label.substr(colon);
        }
    }
    first = label;
    second.clear();
    if (label.size() <= static_cast<size_t>(kEntitySplitLength)) {
        return;
    }
    const size_t colon = label.find(" : ");
    if (colon == std::string::npos) {
        return;
    }
    const size_t afterColon = colon + 3;
    const size_t slash = label.find(" / ", afterColon);
    if (slash == std::string::npos) {
        // The 3 Phase channel has no phase part: the channel, then the entity's name.
        first = label.substr(afterColon);
        second = label.substr(0, afterColon);
        return;
    }
    first = label.substr(afterColon, slash - afterColon);
    second = label.substr(0, afterColon) + label.substr(slash + 3);
}

bool FillConfigurationReport(const CQRLDoc& doc, CRtfTemplate& report, std::time_t now) {
    Filler fill{report};
    fill("OperName", doc.OperatorName());
    fill("Date", ReportDate(now, true));
    const int serialBoard = doc.GetChannels() == 1 ? 0 : kMainBoard;
    fill("SerNo",
         Format("%ld", static_cast<int32_t>(doc.Channel(serialBoard).record.GetSerialNumber())));
    fill("Description", doc.Description());
    fill("NumInputChannels", Format("%ld", doc.GetChannels()));
    for (int n = 1; n <= 3; ++n) {
        FillChannel(doc, n, fill);
    }
    long installed = 0;
    for (int n = 1; n <= kReportOutputs; ++n) {
        bool counted = false;
        const OutputTexts t = DescribeOutput(doc, (n - 1) / 4, (n - 1) % 4, counted);
        installed += counted ? 1 : 0;
        fill("Entity%02d", n, t.entity);
        fill("Entity%02da", n, t.entityA);
        fill("Type%02d", n, t.type);
        fill("A%02d", n, t.a);
        fill("B%02d", n, t.b);
        fill("C%02d", n, t.c);
    }
    fill("NumOutputChannels", Format("%ld", installed));
    return fill.all;
}

bool FillDisplayReport(const DisplayFileImage& setup, const std::string& operatorName,
                       CRtfTemplate& report, std::time_t now) {
    Filler fill{report};
    fill("Date", ReportDate(now, false));
    fill("OperName", operatorName);
    fill("Description", setup.description);
    for (int n = 1; n <= kDisplayLines; ++n) {
        const DisplayLine& line = setup.lines[static_cast<size_t>(n - 1)];
        const MeasuredEntity e = EntityFromCode(DisplayEntity(line.valueCode));
        fill("Chan%02d", n, Format("%ld", line.channel));
        fill("DispVal%02d", n, ValueReportName(line.valueCode));
        fill("DecPt%02d", n, Format("%ld", line.decimals));
        fill("Unit%02d", n, line.units);
        fill("Nom%02d", n, Significant(line.nominal, e, 4));
        fill("Lo%02d", n, Significant(line.low, e, 4));
        fill("Hi%02d", n, Significant(line.high, e, 4));
        fill("Blank%02d", n, YesNo(line.blank));
    }
    return fill.all;
}

}  // namespace kvr
