// Shared pieces of the kvrctl commands.
#pragma once

#include <string>
#include <vector>

#include "link/SerialPort.h"

namespace kvr::cli {

struct Options {
    PortSettings settings;
    bool portGiven = false;
};

// Prints "kvrctl: reason" to standard error and gives the failure status 1.
int Fail(const std::string& reason);
// Opens the port of the options; prints the reason and gives false when it will not open.
bool OpenPort(const Options& options, CSerialPort& port);

int Upload(const Options& options, const std::vector<std::string>& args);
int Values(const Options& options, const std::vector<std::string>& args);
// kvrctl settings [set-port N --baud B --parity P --data-bits D --stop-bits S]
int Settings(const Options& options, const std::vector<std::string>& args);
// kvrctl password set | check
int Password(const Options& options, const std::vector<std::string>& args);
// kvrctl query
int Query(const Options& options, const std::vector<std::string>& args);
// kvrctl download FILE.kvr [--to-different-unit yes|no] [--overwrite-serial yes|no]
//   [--overwrite-calibration yes|no] [--continue]
int Download(const Options& options, const std::vector<std::string>& args);
// kvrctl show FILE.kvr [--json], convert FILE.json -o FILE.kvr, diff A.kvr B.kvr|--unit
int Show(const Options& options, const std::vector<std::string>& args);
int Convert(const Options& options, const std::vector<std::string>& args);
int Diff(const Options& options, const std::vector<std::string>& args);
// kvrctl monitor --monitor CH:ENTITY ... [--secondary] [--log FILE --interval S] [--duration S]
int Monitor(const Options& options, const std::vector<std::string>& args);
// kvrctl address 0|1|2
int Address(const Options& options, const std::vector<std::string>& args);

}  // namespace kvr::cli
