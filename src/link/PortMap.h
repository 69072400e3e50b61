// Port numbers 1 to 32 and the device files behind them.
//
// Without an override, the numbers go to the serial devices found on the machine in a
// stable order: USB adapters (/dev/ttyUSB*, then /dev/ttyACM*) by number, then the
// built-in ports /dev/ttyS* by number. A per-number override, kept in a small text file
// (one "N=/dev/path" line each), takes precedence; `kvrctl ports` shows the table and
// `kvrctl ports set N PATH` sets an override.
//
// Override file: $KVR_PORTS_FILE when set, else $XDG_CONFIG_HOME/kvr-view/ports.conf,
// else ~/.config/kvr-view/ports.conf. Lines it does not understand and comments are kept
// by a rewrite; writers take a lock on "<file>.lock", so concurrent changes all land.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

inline constexpr int kMaxPortNumber = 32;

struct PortEntry {
    int number = 0;
    std::string device;  // empty when nothing is behind the number
    bool overridden = false;
};

// Serial devices under devDir in the stable order described above.
std::vector<std::string> FindSerialDevices(const std::string& devDir = "/dev");

std::string PortOverridesPath();
// The overrides of a file (none when it is missing, not a regular file or oversized).
std::map<int, std::string> LoadPortOverrides(const std::string& path);
// The overrides in a file's text; of a number given twice, the last line counts.
std::map<int, std::string> ParsePortOverrides(std::string_view text);
// The text with the override of one number set in place of its first line (later lines
// of it dropped) or appended; an empty device removes it. Other lines stay as they are.
std::string EditPortOverrides(std::string_view text, int number, const std::string& device);
// Sets (or with an empty device removes) the override of one number: one locked
// read-modify-write, written atomically. False with a reason on failure.
bool SavePortOverride(const std::string& path, int number, const std::string& device,
                      std::string& error);

// The table of numbers 1 to 32.
std::vector<PortEntry> PortTable(const std::string& devDir = "/dev");
// The device of one number, empty when none.
std::string DeviceForPort(int number);

}  // namespace kvr
