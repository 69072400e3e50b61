// The electrical model behind the simulated boards: a 50 Hz installation whose voltage,
// load current and power factor drift slowly with time, and the encoding of a reading
// into the values reply. Internal to the simulator.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/ParameterRecord.h"

namespace kvr::sim {

// One reading on the secondary (input) side, in volts, amperes, watts, VA, VAr, hertz and
// watt-hours (VAh, VArh).
struct Measurement {
    double volts = 0;
    double amps = 0;
    double watts = 0;
    double va = 0;
    double vars = 0;
    double pf = 0;
    double hertz = 0;
    double wh = 0;
    double vah = 0;
    double varh = 0;
};

// The secondary voltage and current the input is built for: the VT or CT secondary, or
// the range's nominal when coupled directly (or when the secondary is 0).
double NominalVolts(const ParameterRecord& record);
double NominalAmps(const ParameterRecord& record);

// What the input of measuring channel `channel` (0 to 2) sees at time t, before the
// board's calibration gains; energies are left at 0 (the caller integrates them).
Measurement InputAt(const ParameterRecord& record, int channel, double seconds);

// The reading the board reports: the input scaled by the record's calibration gains.
Measurement WithGains(const Measurement& input, const ParameterRecord& record);

// Three-phase totals of the main board: summed powers and energies, mean voltage and
// current, the power factor of the totals.
Measurement Totals(const Measurement* channels, size_t count);

// Size of the values data block (without echo and checksum), extended form.
inline constexpr size_t kValuesBlock = 42;

// Encodes a reading into the values data block: a sample counter, the validity mask and
// the raw numbers (value x entity scale, powers divided by 10 when the record's current
// range index is above 0), each clamped to its field.
void EncodeValues(const Measurement& m, const ParameterRecord& record, uint16_t counter,
                  uint8_t* out);

}  // namespace kvr::sim
