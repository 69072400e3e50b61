// kvrctl: the headless tool over the same core as the desktop program.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "cli/CliCommon.h"
#include "cli/CliUser.h"
#include "link/PortMap.h"
#include "link/Trace.h"
#include "link/UserSeam.h"

namespace kvr::cli {

namespace {

const char kUsage[] =
    "usage: kvrctl [options] COMMAND [arguments]\n"
    "\n"
    "options:\n"
    "  --port N           serial port number 1 to 32 (see 'kvrctl ports')\n"
    "  --device PATH      serial device path (instead of --port)\n"
    "  --baud B           baud rate (default 9600)\n"
    "  --parity P         None, Even or Odd (default None)\n"
    "  --data-bits D      7 or 8 (default 8)\n"
    "  --stop-bits S      1 or 2 (default 1)\n"
    "  --trace            print every byte on the line to standard error\n"
    "\n"
    "commands:\n"
    "  ports                      list port numbers and their devices\n"
    "  ports set N PATH           let port number N use the device PATH\n"
    "  ports clear N              remove the device set for port number N\n"
    "  upload [--board N] [--raw DIR]\n"
    "                             read and print the record of every board (or board N);\n"
    "                             --raw saves each record's 115 bytes as DIR/boardN.rec\n"
    "  upload -o FILE.kvr [--continue]\n"
    "                             the Upload command: every board into a new configuration,\n"
    "                             saved as a setup file; --continue tries every board\n"
    "                             instead of stopping at the first that does not answer\n"
    "  query                      which measuring unit is attached (KVR 300 or KVR 100)\n"
    "  download FILE.kvr [--to-different-unit yes|no] [--overwrite-serial yes|no]\n"
    "           [--overwrite-calibration yes|no] [--continue]\n"
    "                             write a setup file to the unit, board by board; a question\n"
    "                             that no flag answers stops the download (status 3); the\n"
    "                             password comes from KVR_PASSWORD or standard input\n"
    "  values [--board N]         one sample, then the values of every board (or board N)\n"
    "  monitor --monitor CH:ENTITY [--monitor CH:ENTITY ...] [--secondary] [--json|--csv]\n"
    "          [--log FILE [--interval SECONDS]] [--duration SECONDS] [--kvr100-address A]\n"
    "                             live values (up to 60 monitors): a header, then one line\n"
    "                             per reading with its time (--json: JSON objects, --csv:\n"
    "                             comma-separated); status 1 when contact was lost at any\n"
    "                             time (see kvrctl monitor --help);\n"
    "                             CH is 1, 2, 3 or 3ph (the KVR 300 main board); ENTITY a\n"
    "                             code 1 to 14 or one of (any case): voltage|v, current|i,\n"
    "                             active-power|power|p, apparent-power|s, reactive-power|q,\n"
    "                             power-factor|pf, frequency|f, active-energy, apparent-energy,\n"
    "                             reactive-energy, current-max;\n"
    "                             --secondary shows input values instead of primary ones;\n"
    "                             --log writes a log file (one line per --interval seconds,\n"
    "                             default 5); until --duration ends or Ctrl-C\n"
    "  show FILE.kvr [--json]     everything a setup file holds, decoded; --json prints it\n"
    "                             as a JSON document that convert turns back into the file\n"
    "  convert FILE.json -o FILE.kvr\n"
    "  convert FILE.kvr -o FILE.json\n"
    "                             JSON to a setup file (byte for byte) or back; -o - writes\n"
    "                             to standard output\n"
    "  diff A.kvr B.kvr           field-by-field differences of two setup files\n"
    "  diff A.kvr --unit          the same between a setup file and the attached unit;\n"
    "                             status 0 when equal, 1 when they differ, 2 on error\n"
    "  settings                   where the settings are kept, and every stored value\n"
    "  settings set-port N [--baud B] [--parity P] [--data-bits D] [--stop-bits S]\n"
    "                             check and store the transmission setup\n"
    "  password set | check       set the configuration password, or check one\n"
    "                             (from KVR_PASSWORD, or typed without echo)\n"
    "  address 0|1|2              address of a single KVR 100; with a port, checks that\n"
    "                             it answers there\n"
    "\n"
    "Without --port or --device, the stored transmission setup is used.\n";

int Ports(const std::vector<std::string>& args) {
    const std::string file = PortOverridesPath();
    if (args.empty()) {
        std::printf("Port  Device\n");
        for (const PortEntry& e : PortTable()) {
            std::printf("%4d  %s%s\n", e.number, e.device.empty() ? "-" : e.device.c_str(),
                        e.overridden ? "  (set by user)" : "");
        }
        std::printf("\nPorts set by user are kept in %s\n", file.c_str());
        return 0;
    }
    long n = args.size() >= 2 ? std::strtol(args[1].c_str(), nullptr, 10) : 0;
    std::string error;
    if (args[0] == "set" && args.size() == 3) {
        if (!SavePortOverride(file, static_cast<int>(n), args[2], error)) {
            return Fail(error);
        }
        std::printf("port %ld -> %s\n", n, args[2].c_str());
        return 0;
    }
    if (args[0] == "clear" && args.size() == 2) {
        if (!SavePortOverride(file, static_cast<int>(n), "", error)) {
            return Fail(error);
        }
        std::printf("port %ld -> automatic\n", n);
        return 0;
    }
    return Fail("usage: kvrctl ports [set N PATH | clear N]");
}

}  // namespace

int Main(int argc, char** argv) {
    CliUser user;
    ScopedUserSeam seam(user);
    Options options;
    std::vector<std::string> rest;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                return false;
            }
            out = argv[++i];
            return true;
        };
        if (!rest.empty()) {
            rest.push_back(a);  // options after the command belong to the command
        } else if (a == "-h" || a == "--help" || a == "help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--trace") {
            SetTraceSink(StderrTraceSink());
        } else if (a == "--port" || a == "--device" || a == "--baud" || a == "--parity" ||
                   a == "--data-bits" || a == "--stop-bits") {
            std::string v;
            if (!value(v)) {
                return Fail(a + " needs a value");
            }
            if (a == "--port") {
                char* end = nullptr;
                long n = std::strtol(v.c_str(), &end, 10);
                if (end == v.c_str() || *end != '\0' || n < 0 || n > kMaxPortNumber) {
                    return Fail("--port needs a number from 1 to 32");
                }
                options.settings.port = static_cast<uint16_t>(n);
                options.portGiven = true;
            } else if (a == "--device") {
                options.settings.device = v;
            } else if (a == "--baud") {
                options.settings.baud = v;
            } else if (a == "--parity") {
                options.settings.parity = v;
            } else if (a == "--data-bits") {
                options.settings.dataBits = v;
            } else {
                options.settings.stopBits = v;
            }
        } else if (!a.empty() && a[0] == '-') {
            return Fail("unknown option " + a + " (see kvrctl --help)");
        } else {
            rest.push_back(a);
        }
    }
    if (rest.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string command = rest.front();
    std::vector<std::string> args(rest.begin() + 1, rest.end());
    if (command == "ports") {
        return Ports(args);
    }
    if (command == "upload") {
        return Upload(options, args);
    }
    if (command == "values") {
        return Values(options, args);
    }
    if (command == "settings") {
        return Settings(options, args);
    }
    if (command == "password") {
        return Password(options, args);
    }
    if (command == "address") {
        return Address(options, args);
    }
    static const struct {
        const char* name;
        int (*run)(const Options&, const std::vector<std::string>&);
    } kCommands[] = {{"query", Query},     {"download", Download}, {"show", Show},
                     {"convert", Convert}, {"diff", Diff},         {"monitor", Monitor}};
    for (const auto& c : kCommands) {
        if (command == c.name) {
            return c.run(options, args);
        }
    }
    return Fail("unknown command '" + command + "' (see kvrctl --help)");
}

}  // namespace kvr::cli

int main(int argc, char** argv) {
    return kvr::cli::Main(argc, argv);
}
