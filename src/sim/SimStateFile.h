// Reading and atomically replacing the simulator's state file. Internal to the simulator.
#pragma once

#include <string>

#include "base/Files.h"  // WriteFileAtomically

namespace kvr::sim {

// Reads a whole (small) file. Gives false with exists = false when there is no such file,
// false with a reason when it cannot be read.
bool ReadSmallFile(const std::string& path, std::string& text, bool& exists, std::string& error);

// A unit's start from the state file at `path`: its text when there is one to read. A file
// that exists but cannot be read gives stateError ("state file ...") and clears writable, so
// the unit never writes over it.
bool ReadStateAtStart(const std::string& path, std::string& text, std::string& stateError,
                      bool& writable);

// The units of a line share one state file: each owns the lines that start with its own
// keyword ("board", "display", "com") and rewrites only those.
bool IsModuleStateKeyword(const std::string& word);
// The second word of the first line starting with `keyword`, or empty.
std::string FindStateLine(const std::string& text, const std::string& keyword);
// The lines of the text that belong to the modules, each with its newline.
std::string ModuleStateLines(const std::string& text);
// Replaces the file's line of `keyword` with "keyword value", atomically.
bool ReplaceStateLine(const std::string& path, const std::string& keyword, const std::string& value,
                      std::string& error);

}  // namespace kvr::sim
