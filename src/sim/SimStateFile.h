// Reading and atomically replacing the simulator's state file. Internal to the simulator.
#pragma once

#include <string>

namespace kvr::sim {

// Reads a whole (small) file. Gives false with exists = false when there is no such file,
// false with a reason when it cannot be read.
bool ReadSmallFile(const std::string& path, std::string& text, bool& exists, std::string& error);

// Replaces the file by the text so that a crash leaves either the old or the new file:
// a temporary file in the same folder, flushed to disk, then renamed over the old one.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error);

}  // namespace kvr::sim
