// kvrctl: the headless tool over the same core as the desktop program.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Seams.h"
#include "base/Trace.h"
#include "base/UserSeam.h"
#include "cli/CliCommon.h"
#include "cli/CliUser.h"
#include "link/PortMap.h"

namespace kvr::cli {

namespace {

const char kOptions[] =
    "usage: kvrctl [PORT OPTIONS] [--trace] COMMAND [arguments]\n"
    "       kvrctl help [COMMAND] | --help | --version\n"
    "\n"
    "port options (without them, the stored transmission setup is used):\n"
    "  --port N           serial port number 1 to 32 (see 'kvrctl ports')\n"
    "  --device PATH      serial device path (instead of --port)\n"
    "  --baud B           baud rate (default 9600)\n"
    "  --parity P         None, Even or Odd (default None)\n"
    "  --data-bits D      7 or 8 (default 8)\n"
    "  --stop-bits S      1 or 2 (default 1)\n"
    "  --trace            print every byte on the line to standard error\n";

const char kExitStatus[] =
    "exit status:\n"
    "  0  done\n"
    "  1  the line, the unit or a file failed (the reason is on standard error)\n"
    "  2  the command line is wrong\n"
    "  3  a download stopped at a question that no flag answered\n"
    "  diff: 0 equal, 1 different, 2 trouble\n";

struct Command {
    const char* name;
    int (*run)(const Options&, const std::vector<std::string>&);
    const char* summary;  // one line for the list of commands
    const char* usage;    // the command's own help
};

const Command kCommands[] = {
    {"ports", Ports, "list port numbers and their devices; set or clear one",
     "usage: kvrctl ports [--json]\n"
     "       kvrctl ports set N PATH\n"
     "       kvrctl ports clear N\n"
     "\n"
     "Lists the port numbers 1 to 32 and the device each one uses: the serial devices of\n"
     "this machine in a stable order (/dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS*), unless a\n"
     "device was set for the number.\n"
     "  --json       the list as JSON\n"
     "  set N PATH   let port number N use the device PATH\n"
     "  clear N      give port number N back to the automatic order\n"},
    {"upload", Upload, "read every board's record and print it, or save it as a setup file",
     "usage: kvrctl [PORT OPTIONS] upload [--board N] [--raw DIR] [--kvr100-address A]\n"
     "       kvrctl [PORT OPTIONS] upload -o FILE.kvr [--raw DIR] [--continue]\n"
     "                                    [--kvr100-address A]\n"
     "\n"
     "Reads the record of every board of the attached unit and prints it decoded.\n"
     "  --board N            only board N (0 to 2: channels 1 to 3; 3: the main board)\n"
     "  --raw DIR            also save each record's 115 bytes as DIR/boardN.rec\n"
     "  -o FILE.kvr          the Upload command: every board into a new configuration,\n"
     "                       saved as a setup file\n"
     "  --continue           with -o: try every board instead of stopping at the first\n"
     "                       that does not answer, and save even when a board was not\n"
     "                       read (its record is then a default one; the boards are named\n"
     "                       and the status is 1). Without it an incomplete upload leaves\n"
     "                       FILE.kvr untouched.\n"
     "  --kvr100-address A   the address (0, 1 or 2) of a single KVR 100; without it, the\n"
     "                       one stored by 'kvrctl address' (else 0)\n"},
    {"query", Query, "which measuring unit is attached (KVR 300 or KVR 100)",
     "usage: kvrctl [PORT OPTIONS] query [--json] [--kvr100-address A]\n"
     "\n"
     "Asks which measuring unit is attached: a KVR 300 (four boards) or a KVR 100.\n"
     "  --json               the answer as JSON\n"
     "  --kvr100-address A   the address (0, 1 or 2) of a single KVR 100; without it, the\n"
     "                       one stored by 'kvrctl address' (else 0)\n"},
    {"download", Download, "write a setup file to the unit, board by board",
     "usage: kvrctl [PORT OPTIONS] download FILE.kvr [--to-different-unit yes|no]\n"
     "              [--overwrite-serial yes|no] [--overwrite-calibration yes|no] [--continue]\n"
     "              [--all-boards]\n"
     "\n"
     "Writes a setup file to the attached unit, board by board, with the safeguards of the\n"
     "desktop program. Each question is answered by its flag; a question that no flag\n"
     "answers stops the download there (exit status 3). The configuration password comes\n"
     "from KVR_PASSWORD or is typed on standard input; 'kvrctl password set' stores one.\n"
     "  --to-different-unit yes|no      write to a unit whose serial number differs\n"
     "  --overwrite-serial yes|no       give that unit the file's serial number\n"
     "  --overwrite-calibration yes|no  replace the unit's calibration by the file's\n"
     "  --continue                      try every board instead of stopping at the first\n"
     "                                  that fails\n"
     "  --all-boards                    also write boards that already hold the file's\n"
     "                                  record (by default they are checked, not written)\n"
     "On a terminal, the step under way is shown on standard error.\n"},
    {"values", Values, "one sample, then the live values of every board",
     "usage: kvrctl [PORT OPTIONS] values [--board N] [--json] [--kvr100-address A]\n"
     "\n"
     "Reads every board's record (for its ranges and transformer ratios), takes one sample\n"
     "and prints each board's values, at the input (secondary) and scaled (primary).\n"
     "  --board N            only board N (0 to 2: channels 1 to 3; 3: the main board)\n"
     "  --json               the values as JSON (numbers in volts, amperes, watts, ...;\n"
     "                       null where a value is invalid)\n"
     "  --kvr100-address A   the address (0, 1 or 2) of a single KVR 100; without it, the\n"
     "                       one stored by 'kvrctl address' (else 0)\n"
     "On a terminal, the board being read is shown on standard error.\n"},
    {"monitor", Monitor, "live values of chosen monitors, shown and logged",
     "usage: kvrctl [PORT OPTIONS] monitor --monitor CH:ENTITY [--monitor CH:ENTITY ...]\n"
     "              [--secondary] [--json | --csv] [--log FILE [--interval SECONDS]]\n"
     "              [--duration SECONDS] [--kvr100-address A]\n"
     "\n"
     "Reads the monitors over and over and prints one line per reading: the local time\n"
     "(24-hour clock, with milliseconds) and every value, under a header line printed once.\n"
     "  --monitor CH:ENTITY  CH is 1, 2, 3 or 3ph (the KVR 300 main board); ENTITY a code\n"
     "                       1 to 14 or one of (any case): voltage|v, current|i,\n"
     "                       active-power|power|p, apparent-power|s, reactive-power|q,\n"
     "                       power-factor|pf, frequency|f, active-energy, apparent-energy,\n"
     "                       reactive-energy, current-max; up to 60 monitors\n"
     "  --secondary          values at the unit's inputs instead of primary ones\n"
     "  --json               one JSON object per reading: {\"time\": ISO 8601 local time,\n"
     "                       \"values\": [{\"label\", \"unit\", \"value\" (base unit, null\n"
     "                       when invalid), \"text\"}, ...]}\n"
     "  --csv                comma-separated: a header row, then the time and each value in\n"
     "                       its base unit (empty when invalid)\n"
     "  --log FILE           the desktop program's log file, one line per --interval seconds\n"
     "                       (default 5); a value not read since the line before is logged\n"
     "                       as Invalid\n"
     "  --duration SECONDS   stop after this time (default: at Ctrl-C)\n"
     "  --kvr100-address A   address of a single KVR 100\n"
     "\n"
     "Losing contact with the unit is reported when it happens and summed up at the end\n"
     "(how often, for how long).\n"
     "Exit status: 0 when the unit answered throughout the run; 1 when contact was lost at\n"
     "any time (even if it came back), or on a device or file failure.\n"},
    {"show", Show, "everything a setup file holds, decoded (or as JSON)",
     "usage: kvrctl show FILE.kvr [--json]\n"
     "\n"
     "Prints everything a setup file holds, decoded.\n"
     "  --json   a JSON document that 'kvrctl convert' turns back into the file\n"},
    {"convert", Convert, "a setup file to JSON, or JSON to a setup file",
     "usage: kvrctl convert FILE.kvr -o FILE.json\n"
     "       kvrctl convert FILE.json -o FILE.kvr\n"
     "\n"
     "Turns a setup file into JSON, or JSON back into a setup file (byte for byte when\n"
     "nothing was edited). Which way is told by the input's contents; the output's name\n"
     "must fit: JSON is never written to a file named .kvr, nor a setup file to one named\n"
     ".json. -o - writes to standard output.\n"},
    {"diff", Diff, "field-by-field differences of two setup files, or of a file and the unit",
     "usage: kvrctl diff A.kvr B.kvr\n"
     "       kvrctl [PORT OPTIONS] diff A.kvr --unit [--kvr100-address A]\n"
     "\n"
     "Lists the differences field by field, in engineering units.\n"
     "  --unit               compare with the attached unit; each board is asked at the\n"
     "                       address its record in the file gives\n"
     "  --kvr100-address A   for a file of a single KVR 100: ask it at address A instead\n"
     "Exit status: 0 equal, 1 different, 2 trouble (a file, the line or the unit failed,\n"
     "or the command line is wrong).\n"},
    {"settings", Settings, "where the settings are kept, every stored value; set the port",
     "usage: kvrctl settings\n"
     "       kvrctl settings set-port N [--baud B] [--parity P] [--data-bits D]\n"
     "                                  [--stop-bits S]\n"
     "\n"
     "Without arguments: where the settings are kept, and every stored value. set-port\n"
     "checks and stores the transmission setup (port number N from 1 to 32) that commands\n"
     "without port options use.\n"},
    {"password", Password, "set the configuration password, or check one",
     "usage: kvrctl password set | check\n"
     "\n"
     "Sets the configuration password that downloads ask for, or checks one. The password\n"
     "comes from KVR_PASSWORD (the existing one, when changing it, from KVR_OLD_PASSWORD)\n"
     "or is typed on standard input without echo.\n"},
    {"address", Address, "store the address of a single KVR 100; check that it answers",
     "usage: kvrctl [PORT OPTIONS] address 0|1|2\n"
     "\n"
     "Stores the address (0, 1 or 2) that a single KVR 100 answers on; upload, values and\n"
     "query use it when --kvr100-address is not given (a KVR 300 always keeps its boards at\n"
     "addresses 0 to 3). With port options, also checks that a KVR 100 answers there.\n"},
};

const Command* FindCommand(const std::string& name) {
    for (const Command& c : kCommands) {
        if (name == c.name) {
            return &c;
        }
    }
    return nullptr;
}

void PrintUsage(FILE* to) {
    std::fputs(kOptions, to);
    std::fputs("\ncommands:\n", to);
    for (const Command& c : kCommands) {
        std::fprintf(to, "  %-10s %s\n", c.name, c.summary);
    }
    std::fputs("\n'kvrctl help COMMAND' (or 'kvrctl COMMAND --help') shows a command's usage.\n\n",
               to);
    std::fputs(kExitStatus, to);
}

int Help(const std::vector<std::string>& args) {
    if (args.empty()) {
        PrintUsage(stdout);
        return 0;
    }
    const Command* c = args.size() == 1 ? FindCommand(args[0]) : nullptr;
    if (c == nullptr) {
        return UsageError("", "no command '" + args[0] + "'");
    }
    std::fputs(c->usage, stdout);
    return 0;
}

bool IsHelp(const std::string& word) {
    return word == "--help" || word == "-h";
}

}  // namespace

int Ports(const Options&, const std::vector<std::string>& args) {
    const std::string file = PortOverridesPath();
    if (args.empty() || (args.size() == 1 && args[0] == "--json")) {
        const std::vector<PortEntry> table = PortTable();
        if (!args.empty()) {
            nlohmann::ordered_json ports = nlohmann::ordered_json::array();
            for (const PortEntry& e : table) {
                ports.push_back({{"port", e.number},
                                 {"device", e.device.empty() ? nlohmann::ordered_json()
                                                             : nlohmann::ordered_json(e.device)},
                                 {"setByUser", e.overridden}});
            }
            const nlohmann::ordered_json out = {{"file", file}, {"ports", ports}};
            const std::string text =
                out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
            std::printf("%s\n", TerminalJson(text).c_str());
            return 0;
        }
        std::printf("Port  Device\n");
        for (const PortEntry& e : table) {
            std::printf("%4d  %s%s\n", e.number,
                        e.device.empty() ? "-" : TerminalText(e.device).c_str(),
                        e.overridden ? "  (set by user)" : "");
        }
        std::printf("\nPorts set by user are kept in %s\n", TerminalText(file).c_str());
        return 0;
    }
    char* end = nullptr;
    const long n = args.size() >= 2 ? std::strtol(args[1].c_str(), &end, 10) : 0;
    if (args.size() >= 2 &&
        (end == args[1].c_str() || *end != '\0' || n < 1 || n > kMaxPortNumber)) {
        return UsageError("ports", "a port number is 1 to 32, not '" + args[1] + "'");
    }
    std::string error;
    if (args[0] == "set" && args.size() == 3) {
        if (!SavePortOverride(file, static_cast<int>(n), args[2], error)) {
            return Fail(error);
        }
        std::printf("port %ld -> %s\n", n, TerminalText(args[2]).c_str());
        return 0;
    }
    if (args[0] == "clear" && args.size() == 2) {
        if (!SavePortOverride(file, static_cast<int>(n), "", error)) {
            return Fail(error);
        }
        std::printf("port %ld -> automatic\n", n);
        return 0;
    }
    return UsageError("ports", "expected 'ports', 'ports set N PATH' or 'ports clear N'");
}

int Main(int argc, char** argv) {
    CliUser user;
    ScopedSeams seam(Seams{.user = &user});
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
        } else if (IsHelp(a)) {
            PrintUsage(stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("kvrctl %s\n", KVR_VERSION);
            return 0;
        } else if (a == "--trace") {
            InstallSeams(Seams{.trace = StderrTraceSink()});
        } else if (a == "--port" || a == "--device" || a == "--baud" || a == "--parity" ||
                   a == "--data-bits" || a == "--stop-bits") {
            std::string v;
            if (!value(v)) {
                return UsageError("", a + " needs a value");
            }
            if (a == "--port") {
                char* end = nullptr;
                long n = std::strtol(v.c_str(), &end, 10);
                if (end == v.c_str() || *end != '\0' || n < 0 || n > kMaxPortNumber) {
                    return UsageError("", "--port needs a number from 1 to 32");
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
            return UsageError("", "unknown option " + a);
        } else {
            rest.push_back(a);
        }
    }
    if (rest.empty()) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const std::string command = rest.front();
    const std::vector<std::string> args(rest.begin() + 1, rest.end());
    if (command == "help") {
        return Help(args);
    }
    const Command* c = FindCommand(command);
    if (c == nullptr) {
        return UsageError("", "unknown command '" + command + "'");
    }
    for (const std::string& a : args) {
        if (IsHelp(a)) {
            std::fputs(c->usage, stdout);
            return 0;
        }
    }
    return c->run(options, args);
}

}  // namespace kvr::cli

int main(int argc, char** argv) {
    return kvr::cli::Main(argc, argv);
}
