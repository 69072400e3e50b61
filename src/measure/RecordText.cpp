#include "measure/RecordText.h"

#include <cmath>
#include <cstdio>

#include "base/Text.h"
#include "measure/MeasuredEntity.h"

namespace kvr {

namespace {

const char* const kVoltagePhases[16] = {
    "Not Connected",  "Independent",    "V[an]",          "V[bn]",           "V[cn]",
    "V[ab]",          "V[bc]",          "V[ca]",          "Not Connected",   "Reversed Independent",
    "Reversed V[an]", "Reversed V[bn]", "Reversed V[cn]", "Reversed V[ab] ", "Reversed V[bc]",
    "Reversed V[ca]"};
const char* const kCurrentPhases[16] = {
    "Not Connected", "Independent",   "I[a]",          "I[b]",           "I[c]",
    "I[ab]",         "I[bc]",         "I[ca]",         "Not Connected",  "Reversed Independent",
    "Reversed I[a]", "Reversed I[b]", "Reversed I[c]", "Reversed I[ab]", "Reversed I[bc]",
    "Reversed I[ca]"};

std::string Printf(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string PhaseText(int index, const char* name) {
    return index < 0 ? std::string("none (nibble 0)") : std::string(name);
}

// 4 significant digits with an SI prefix, as the program shows values.
std::string Engineering(double value, const std::string& unit) {
    return FormatSignificantText(value, unit, 4, unit.empty());
}

}  // namespace

const char* VoltagePhaseName(int index) {
    return index >= 0 && index < 16 ? kVoltagePhases[index] : "";
}

const char* CurrentPhaseName(int index) {
    return index >= 0 && index < 16 ? kCurrentPhases[index] : "";
}

std::vector<std::pair<std::string, std::string>> DescribeRecord(const ParameterRecord& r) {
    std::vector<std::pair<std::string, std::string>> out;
    auto add = [&out](std::string name, std::string value) {
        out.emplace_back(std::move(name), std::move(value));
    };
    auto gain = [](int16_t raw) {
        return Printf("%.4f", raw / 4096.0) + " (" + std::to_string(raw) + ")";
    };
    add("Serial number", std::to_string(r.GetSerialNumber()));
    add("Unit address", std::to_string(r.GetUnitAddress()));
    add("Name", r.GetName());
    add("Firmware version", r.GetFirmwareVersionText());
    add("Input hardware", std::to_string(r.GetInputHardware()));
    if (r.IsDirect(InputKind::Voltage)) {
        add("Voltage input", "Coupled Directly");
    } else {
        add("Voltage input",
            "VT " + Engineering(r.GetPrimary(InputKind::Voltage, Winding::Primary), "V") + " : " +
                Engineering(r.GetPrimary(InputKind::Voltage, Winding::Secondary), "V"));
    }
    add("Voltage range", VoltageRangeName(r.GetInputHardware(), r.GetVoltageRange()));
    add("Voltage phase", PhaseText(r.GetPhase(InputKind::Voltage),
                                   VoltagePhaseName(r.GetPhase(InputKind::Voltage))));
    if (r.IsDirect(InputKind::Current)) {
        add("Current input", "Coupled Directly");
    } else {
        add("Current input",
            "CT " + Engineering(r.GetPrimary(InputKind::Current, Winding::Primary), "A") + " : " +
                Engineering(r.GetPrimary(InputKind::Current, Winding::Secondary), "A"));
    }
    add("Current range", CurrentRangeName(r.GetCurrentRange()));
    add("Current phase", PhaseText(r.GetPhase(InputKind::Current),
                                   CurrentPhaseName(r.GetPhase(InputKind::Current))));
    add("CT phase correction", Printf("%.2f", r.GetCtPhaseCorrection()) + " deg");
    add("Current threshold", Printf("%.1f", r.GetCurrentThreshold()) + " %");
    add("Balanced 3-phase", r.IsBalanced() ? "yes" : "no");
    add("Line-to-line voltages", r.IsLineToLine() ? "yes" : "no");
    add("Voltage gain", gain(r.GetVoltageGain()));
    add("Current gain", gain(r.GetCurrentGain()));
    add("Voltage gain squared", gain(r.GetVoltageGainSquared()));
    add("Current gain squared", gain(r.GetCurrentGainSquared()));
    add("Power gain", gain(r.GetPowerGain()));
    for (int o = 0; o < ParameterRecord::kOutputs; ++o) {
        std::string p = "Output " + std::to_string(o + 1) + " ";
        std::string card = CardTypeName(r.GetCardType(o));
        add(p + "card", card + (r.IsPlusCard(o) ? " (Plus)" : ""));
        const MeasuredEntity entity = r.GetOutputEntity(o);
        // Code 0 is an output with nothing assigned; a code beyond the table is no entity.
        const char* entityName = entity == MeasuredEntity::None  ? "(none)"
                                 : FindEntity(entity) != nullptr ? EntityLongName(entity)
                                                                 : "(unknown)";
        add(p + "entity", std::to_string(EntityCode(entity)) + " " + entityName);
        bool current = false;
        int range = 0;
        r.GetOutputRange(o, current, range);
        add(p + "range", OutputRangeName(current, range));
        int source = r.GetOutputSource(o);
        add(p + "source",
            source == 3 ? std::string("3 Phase") : "Channel " + std::to_string(source + 1));
        auto point = [&](int32_t raw) {
            if (EntityCode(entity) < 1 || EntityCode(entity) > kEntityMax) {
                return std::to_string(raw);  // no entity: the raw number is all there is
            }
            return Engineering(raw / EntityScale(entity), EntityUnit(entity)) + " (" +
                   std::to_string(raw) + ")";
        };
        add(p + "scale min", point(r.GetScaleMin(o)));
        add(p + "scale max", point(r.GetScaleMax(o)));
        add(p + "level min", std::to_string(r.GetLevelMin(o)));
        add(p + "level max", std::to_string(r.GetLevelMax(o)));
        int16_t offset = 0;
        uint16_t span = 0;
        r.GetDacCalibration(o, offset, span);
        add(p + "DAC offset", std::to_string(offset));
        add(p + "DAC span", std::to_string(span));
    }
    add("Signature", std::to_string(r.GetSignature()) + (r.IsValid() ? "" : " (invalid)"));
    return out;
}

}  // namespace kvr
