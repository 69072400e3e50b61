// Plain-text renderings of a parameter record and of measured values, in engineering
// units, for kvrctl and reports.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "link/ParameterRecord.h"

namespace kvr {

// The names of the 16 entries of the voltage and current phase lists (index = the
// record's phase nibble - 1); "" outside 0 to 15.
const char* VoltagePhaseName(int index);
const char* CurrentPhaseName(int index);

// Every field of the record by name with its value in engineering units, in record order.
std::vector<std::pair<std::string, std::string>> DescribeRecord(const ParameterRecord& record);

}  // namespace kvr
