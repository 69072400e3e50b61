#include "sim/SimModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/Bytes.h"
#include "link/EntityScale.h"
#include "sim/SimBoards.h"

namespace kvr::sim {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kGainUnit = 4096.0;

// Nominal volts of the voltage ranges, by input hardware type.
constexpr double kRangesHw0[4] = {110, 220, 400, 600};
constexpr double kRangesHw2[4] = {70, 120, 290, 500};
constexpr double kCurrentRanges[4] = {1, 3, 5, 10};

double Wave(double seconds, double period, double phase) {
    return std::sin(kTwoPi * seconds / period + phase);
}

int64_t Raw(double value, MeasuredEntity entity) {
    // Clamped in floating point first: llround of a number beyond 64 bits is unspecified.
    const double scaled = std::clamp(value * EntityScale(entity), -9.0e18, 9.0e18);
    return std::llround(scaled);
}

int16_t ClampS16(int64_t v) {
    return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
}

int32_t ClampS32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

double Finite(double v) {
    return std::isfinite(v) ? v : 0.0;
}

}  // namespace

double NominalVolts(const ParameterRecord& record) {
    const int range = record.GetVoltageRange() & 3;
    const double ranged = record.GetInputHardware() == 2 ? kRangesHw2[range] : kRangesHw0[range];
    if (record.IsDirect(InputKind::Voltage) || record.GetU16(ParameterRecord::kVtSecondary) == 0) {
        return ranged;
    }
    return record.GetPrimary(InputKind::Voltage, Winding::Secondary);
}

double NominalAmps(const ParameterRecord& record) {
    const double ranged = kCurrentRanges[record.GetCurrentRange() & 3];
    if (record.IsDirect(InputKind::Current) || record.GetU16(ParameterRecord::kCtSecondary) == 0) {
        return ranged;
    }
    return record.GetPrimary(InputKind::Current, Winding::Secondary);
}

Measurement InputAt(const ParameterRecord& record, int channel, double seconds) {
    // Each channel drifts on its own phase so the three phases differ a little, as a real
    // unbalanced load does; the periods are minutes, so readings a second apart are close.
    const double k = channel;
    const double t = seconds;
    Measurement m;
    m.volts = NominalVolts(record) * (1.0 + 0.006 * Wave(t, 97, 1.3 * k) + 0.002 * Wave(t, 13, k));
    m.amps =
        NominalAmps(record) * (0.70 + 0.08 * Wave(t, 300, 2.1 * k) + 0.02 * Wave(t, 29, 0.7 * k));
    m.pf = 0.85 + 0.03 * Wave(t, 420, 0.9 * k);
    m.hertz = 50.0 + 0.03 * Wave(t, 60, 0) + 0.005 * Wave(t, 7, 0.4);
    m.va = m.volts * m.amps;
    m.watts = m.va * m.pf;
    m.vars = std::sqrt(std::max(0.0, m.va * m.va - m.watts * m.watts));
    return m;
}

Measurement WithGains(const Measurement& input, const ParameterRecord& record) {
    const double gv = record.GetVoltageGain() / kGainUnit;
    const double gi = record.GetCurrentGain() / kGainUnit;
    const double gp = record.GetPowerGain() / kGainUnit;
    Measurement m = input;
    m.volts *= gv;
    m.amps *= gi;
    m.watts *= gp;
    m.va *= gp;
    m.vars *= gp;
    m.wh *= gp;
    m.vah *= gp;
    m.varh *= gp;
    return m;
}

Measurement Totals(const Measurement* channels, size_t count) {
    Measurement m;
    if (count == 0) {
        return m;
    }
    for (size_t i = 0; i < count; ++i) {
        const Measurement& c = channels[i];
        m.volts += c.volts;
        m.amps += c.amps;
        m.watts += c.watts;
        m.va += c.va;
        m.vars += c.vars;
        m.hertz += c.hertz;
        m.wh += c.wh;
        m.vah += c.vah;
        m.varh += c.varh;
    }
    const double n = static_cast<double>(count);
    m.volts /= n;
    m.amps /= n;
    m.hertz /= n;
    m.pf = m.va > 0 ? m.watts / m.va : 0.0;
    return m;
}

void EncodeValues(const Measurement& m, const ParameterRecord& record, uint16_t counter,
                  uint8_t* out) {
    std::memset(out, 0, kValuesBlock);
    // The unit sends powers in tenths of its usual raw unit on the higher current ranges,
    // where a full-scale power would not fit 16 bits.
    const int64_t powerDivisor = record.GetCurrentRange() > 0 ? 10 : 1;
    PutU16(out + 0, counter);
    PutU16(out + 2, kSimValidityMask);
    PutS16(out + 4, ClampS16(Raw(Finite(m.volts), MeasuredEntity::Voltage)));
    PutS16(out + 6, ClampS16(Raw(Finite(m.amps), MeasuredEntity::Current)));
    PutS16(out + 8, ClampS16(Raw(Finite(m.watts), MeasuredEntity::ActivePower) / powerDivisor));
    PutS16(out + 10, ClampS16(Raw(Finite(m.va), MeasuredEntity::ApparentPower) / powerDivisor));
    PutS16(out + 12, ClampS16(Raw(Finite(m.vars), MeasuredEntity::ReactivePower) / powerDivisor));
    PutS16(out + 14, ClampS16(Raw(Finite(m.pf), MeasuredEntity::PowerFactor)));
    PutS16(out + 16, ClampS16(Raw(Finite(m.hertz), MeasuredEntity::Frequency)));
    PutS32(out + 18, ClampS32(Raw(Finite(m.wh), MeasuredEntity::ActiveEnergyImport)));
    PutS32(out + 22, ClampS32(Raw(Finite(m.vah), MeasuredEntity::ApparentEnergy)));
    PutS32(out + 26, ClampS32(Raw(Finite(m.varh), MeasuredEntity::ReactiveEnergyLag)));
    // Bytes 30 to 41 (the extended part) stay zero: the program does not read them.
}

}  // namespace kvr::sim
