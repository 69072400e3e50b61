// kvrctl: the headless tool over the same core as the desktop program.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Seams.h"
#include "base/UserSeam.h"
#include "cli/CliCommon.h"
#include "cli/CliUser.h"
#include "link/PortMap.h"
#include "modules/TraceDecoder.h"

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
    "  --trace            list every exchange on the line, decoded, on standard error\n";

const char kExitStatus[] =
    "exit status:\n"
    "  0  done\n"
    "  1  the line, the unit or a file failed (the reason is on standard error)\n"
    "  2  the command line is wrong\n"
    "  3  a download stopped at a question that no flag answered\n"
    "  diff: 0 equal, 1 different, 2 trouble\n";

// The rows of every file of commands, gathered in the order of their places in the list.
// A new file of commands adds its line here.
constexpr CommandRows (*const kCommandFiles[])() = {
    PortCommandRows,
    DeviceCommandRows,
    TransferCommandRows,
    MonitorCommandRows,
    FileCommandRows,
    SettingsCommandRows,
    UnitCommandRows,
    SetCommandRows,
    ModuleCommandRows,
    DiagCommandRows,
    CalibrateOutputCommandRows,
    ReportCommandRows,
};

const std::vector<CommandRow>& Commands() {
    static const std::vector<CommandRow> kCommands = [] {
        std::vector<CommandRow> all;
        for (CommandRows (*rowsOf)() : kCommandFiles) {
            const CommandRows rows = rowsOf();
            all.insert(all.end(), rows.begin(), rows.end());
        }
        std::stable_sort(all.begin(), all.end(), [](const CommandRow& a, const CommandRow& b) {
            return a.place < b.place;
        });
        return all;
    }();
    return kCommands;
}

const CommandRow* FindCommand(const std::string& name) {
    for (const CommandRow& c : Commands()) {
        if (name == c.name) {
            return &c;
        }
    }
    return nullptr;
}

void PrintUsage(FILE* to) {
    std::fputs(kOptions, to);
    std::fputs("\ncommands:\n", to);
    for (const CommandRow& c : Commands()) {
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
    const CommandRow* c = args.size() == 1 ? FindCommand(args[0]) : nullptr;
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
            continue;
        }
        if (IsHelp(a)) {
            PrintUsage(stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("kvrctl %s\n", KVR_VERSION);
            return 0;
        } else if (a == "--trace") {
            // Decoded, one line an exchange, as the desktop program's line trace lists it.
            InstallSeams(Seams{.trace = DecodingTraceSink([](const TraceEntry& e) {
                                   std::fprintf(stderr, "%s\n", FormatTraceEntry(e).c_str());
                               })});
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
    const CommandRow* c = FindCommand(command);
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
