// Reading and atomically replacing the simulator's state file. Internal to the simulator.
#pragma once

#include <string>

#include "base/Files.h"  // WriteFileAtomically

namespace kvr::sim {

// Reads a whole (small) file. Gives false with exists = false when there is no such file,
// false with a reason when it cannot be read.
bool ReadSmallFile(const std::string& path, std::string& text, bool& exists, std::string& error);

}  // namespace kvr::sim
