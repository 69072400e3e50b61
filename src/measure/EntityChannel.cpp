#include "measure/EntityChannel.h"

#include <utility>

namespace kvr {

namespace {

enum class EntityGroup { None, VoltagePhase, CurrentPhase, Connection };

EntityGroup GroupOf(MeasuredEntity e) {
    switch (e) {
        case entity::kVoltage:
        case entity::kFrequency:
            return EntityGroup::VoltagePhase;
        case entity::kCurrent:
        case entity::kCycleCurrentMax:
            return EntityGroup::CurrentPhase;
        default:
            return e >= entity::kActivePower && e <= entity::kLast ? EntityGroup::Connection
                                                                   : EntityGroup::None;
    }
}

bool IsThreePhaseObject(const ParameterRecord& record) {
    return record.GetUnitAddress() == kThreePhaseChannel;
}

using PhasePair = std::pair<PhaseCode, PhaseCode>;  // (voltage, current)

// The lowest measuring channel wired (v, i), or -1.
int FindChannel(const CQRLDoc& doc, PhasePair wiring) {
    for (int c = 0; c < kMeasuringChannels; ++c) {
        const ParameterRecord& r = doc.Channel(c).record;
        if (PhaseOf(r, InputKind::Voltage) == wiring.first &&
            PhaseOf(r, InputKind::Current) == wiring.second) {
            return c;
        }
    }
    return -1;
}

}  // namespace

std::string DescribeChannelPart(const CQRLDoc& doc, int channel, MeasuredEntity e,
                                bool& available) {
    const ParameterRecord& record = doc.Channel(channel).record;
    const bool lineToLine = doc.Channel(kMainBoard).record.IsLineToLine();
    const PhaseCode v = PhaseOf(record, InputKind::Voltage);
    const PhaseCode i = PhaseOf(record, InputKind::Current);
    const std::string voltageName = PhaseName(v, lineToLine);
    const std::string currentName = PhaseName(i);
    std::string part = record.GetName();
    available = false;
    switch (GroupOf(e)) {
        case EntityGroup::VoltagePhase:
            part += " / Phase " + voltageName;
            available = PhaseConnected(v);
            break;
        case EntityGroup::CurrentPhase:
            part += " / Phase " + currentName;
            available = PhaseConnected(i);
            break;
        case EntityGroup::Connection:
            part += " / ";
            part += record.IsBalanced() ? "3 phase" : "Phase " + voltageName;
            available = PhaseConnected(v) && PhaseConnected(i);
            break;
        case EntityGroup::None:
            break;
    }
    return part;
}

bool DescribeEntityChannel(const CQRLDoc& doc, MeasuredEntity e, int channel, std::string& label,
                           bool energyAllowed, bool exportAllowed, uint16_t fixedChannel) {
    label = kNoEntityText;
    if (e < entity::kVoltage || e > entity::kLast) {
        return false;
    }
    if (!energyAllowed && e >= entity::kActiveEnergyImport && e <= entity::kReactiveEnergyLag) {
        return false;
    }
    if (!exportAllowed && (e == entity::kActiveEnergyExport || e == entity::kReactiveEnergyLead)) {
        return false;
    }
    label = kInvalidChannelText;
    // A channel the unit does not have, 3 Phase included, or one other than the fixed
    // channel, is never valid: the phase rules below only decide among the unit's own.
    if (channel < 0 || channel >= kChannelObjects || channel >= doc.GetChannels() ||
        (fixedChannel != kAnyChannel && fixedChannel != channel)) {
        return false;
    }
    const ParameterRecord& record = doc.Channel(channel).record;
    const bool threePhase = IsThreePhaseObject(record);
    const PhaseCode v = PhaseOf(record, InputKind::Voltage);
    const PhaseCode i = PhaseOf(record, InputKind::Current);
    bool valid = true;
    switch (GroupOf(e)) {
        case EntityGroup::VoltagePhase:
            valid = threePhase || (v >= phase::kIndependent && v <= phase::kCA);
            break;
        case EntityGroup::CurrentPhase:
            // 1-Cycle Current Maximum exists on every channel of the unit.
            valid = e == entity::kCycleCurrentMax || threePhase ||
                    (i >= phase::kIndependent && i <= phase::kCA);
            break;
        case EntityGroup::Connection:
            // Any "no connection" (code 0, the second "Not Connected" entry, an empty
            // nibble) leaves nothing to measure power from.
            valid = threePhase || PhaseConnected(v);
            break;
        case EntityGroup::None:
            valid = false;
            break;
    }
    if (!valid) {
        return false;
    }
    bool available = false;
    const std::string part = channel == kThreePhaseChannel
                                 ? std::string("3 Phase")
                                 : DescribeChannelPart(doc, channel, e, available);
    label = std::string(EntityLongName(e)) + " : " + part + " ";
    return true;
}

bool DescribeEntityChannel(MeasuredEntity e, int channel, std::string& label, bool energyAllowed,
                           bool exportAllowed, uint16_t fixedChannel) {
    const CQRLDoc* doc = GetActiveDocument();
    if (doc == nullptr) {
        label = kInvalidChannelText;
        return false;
    }
    return DescribeEntityChannel(*doc, e, channel, label, energyAllowed, exportAllowed,
                                 fixedChannel);
}

ThreePhaseWiring ClassifyWiring(const CQRLDoc& doc, std::array<int, 3>& elements) {
    using namespace phase;
    elements = {-1, -1, -1};
    if (doc.GetChannels() < kMeasuringChannels) {
        return ThreePhaseWiring::None;
    }
    for (int c = 0; c < kMeasuringChannels; ++c) {
        if (doc.Channel(c).record.IsBalanced()) {
            return ThreePhaseWiring::None;
        }
    }
    static const PhasePair kThreeElementSets[3][3] = {
        {{kA, kA}, {kB, kB}, {kC, kC}},
        {{kA, kAB}, {kB, kBC}, {kC, kCA}},
        {{kAB, kA}, {kBC, kB}, {kCA, kC}},
    };
    for (const auto& set : kThreeElementSets) {
        std::array<int, 3> found{};
        for (int k = 0; k < 3; ++k) {
            found[k] = FindChannel(doc, set[k]);
        }
        if (found[0] >= 0 && found[1] >= 0 && found[2] >= 0) {
            elements = found;
            return ThreePhaseWiring::ThreeElement;
        }
    }
    static const PhasePair kTwoElementPairs[3][2] = {
        {{kCA, kA}, {kBC, kB}},
        {{kAB, kA}, {kBC, kC}},
        {{kAB, kB}, {kCA, kC}},
    };
    for (const auto& pair : kTwoElementPairs) {
        const int first = FindChannel(doc, pair[0]);
        const int second = FindChannel(doc, pair[1]);
        if (first >= 0 && second >= 0) {
            elements = {first, second, -1};
            return ThreePhaseWiring::TwoElement;
        }
    }
    for (PhaseCode p : {kA, kB, kC, kAB, kBC, kCA}) {
        const int c = FindChannel(doc, {p, p});
        if (c >= 0) {
            elements = {c, -1, -1};
            return ThreePhaseWiring::SingleElement;
        }
    }
    return ThreePhaseWiring::None;
}

bool ThreePhaseOffers(ThreePhaseWiring wiring, MeasuredEntity e) {
    if (wiring == ThreePhaseWiring::None) {
        return false;
    }
    switch (e) {
        case entity::kVoltage:
        case entity::kCurrent:
        case entity::kActivePower:
        case entity::kPowerFactor:
        case entity::kFrequency:
        case entity::kActiveEnergyImport:
        case entity::kActiveEnergyExport:
        case entity::kActiveDemandPower:
            return true;
        case entity::kApparentPower:
        case entity::kReactivePower:
        case entity::kApparentEnergy:
        case entity::kReactiveEnergyLag:
        case entity::kReactiveEnergyLead:
            // A two-element connection yields the active quantities only.
            return wiring == ThreePhaseWiring::SingleElement ||
                   wiring == ThreePhaseWiring::ThreeElement;
        default:
            return false;
    }
}

}  // namespace kvr
