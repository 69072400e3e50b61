// kvr-sim: simulated KVR units on a pseudo-terminal. Prints the slave path first, then
// serves until SIGINT or SIGTERM; fault commands arrive on stdin, one per line.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/Text.h"
#include "sim/PtyHost.h"
#include "sim/SimUnits.h"

namespace {

using kvr::sim::Faults;
using kvr::sim::PtyHost;
using kvr::sim::SimOptions;
using kvr::sim::SimUnits;
using kvr::sim::UnitKind;

const char kUsage[] =
    "usage: kvr-sim [--unit kvr300|kvr100] [--address 0|1|2] [--firmware N] [--baud N]\n"
    "               [--link PATH] [--state FILE] [--turnaround-ms N] [--serial N] [--no-pace]\n"
    "               [--with-display] [--with-com]\n"
    "       kvr-sim --help | --version\n"
    "\n"
    "Simulated KVR units on a pseudo-terminal. The first line printed is the device path\n"
    "to open; with --link a symbolic link to it is made (and removed at exit).\n"
    "  --unit          kvr300 (boards at addresses 0 to 3, the default) or kvr100\n"
    "  --address       address of a single KVR 100 (default 0)\n"
    "  --firmware      firmware version byte, 189 and above give the extended values reply\n"
    "                  (default 189)\n"
    "  --baud          line speed the units expect and pace their replies at (default 9600)\n"
    "  --link          a stable path for the pseudo-terminal\n"
    "  --state         file that keeps the boards' records across restarts\n"
    "  --turnaround-ms time from the end of a command to the start of its reply (default 2)\n"
    "  --serial        serial number of the first board (default 204117)\n"
    "  --no-pace       reply at once instead of at the baud rate\n"
    "  --with-display  a KVR Display module at address 5 (sends 0xE2 while the line is\n"
    "                  quiet)\n"
    "  --with-com      a KVR Com module at address 4\n"
    "Runs until SIGINT or SIGTERM. Type help for the fault commands read from stdin.\n"
    "Exit status: 0 after a stop signal, 1 when the pseudo-terminal or the state file\n"
    "fails, 2 for a wrong argument.\n";

const char kCommands[] =
    "commands: drop | corrupt | short N | echo | silent on|off | slow MS | gap N MS |\n"
    "          cue on|off | hangup | clear | status | help\n"
    "bench:    input N voltage V | input N current A | input N model | meter N\n"
    "  drop      the next reply is not sent\n"
    "  corrupt   the next reply carries a wrong checksum\n"
    "  short N   the next reply is cut to N bytes\n"
    "  echo      the next reply starts with a wrong echo byte\n"
    "  silent    on: the units hear and answer nothing; off: back to normal\n"
    "  slow MS   every reply starts MS milliseconds late (0: off)\n"
    "  gap N MS  every reply stalls MS milliseconds after its first N bytes (0 0: off)\n"
    "  cue       off: the display sends no 0xE2 cue; on: it does again\n"
    "  hangup    close the line (the client's reads fail) and exit\n"
    "  clear     switch every fault off\n"
    "  status    print each board's state\n"
    "  input     channel N (1 to 3) measures a true input of V volts or A amperes on\n"
    "            the secondary side, reported scaled by the board's own gains; model\n"
    "            returns both to the drifting installation\n"
    "  meter N   what a meter on analog output N (1 to 12) reads for the last DAC value\n";

// Nothing can be done when the reader of an output has gone, so results are not checked.
void Print(FILE* to, const std::string& text) {
    (void)std::fputs(text.c_str(), to);
    (void)std::fflush(to);
}

void Say(const std::string& text) {
    Print(stderr, "kvr-sim: " + text + "\n");
}

[[noreturn]] void BadArgument(const std::string& reason) {
    Say(reason + " (see --help)");
    std::exit(2);
}

bool ParseNumber(const std::string& text, unsigned long max, unsigned long& out) {
    if (text.empty() || text.size() > 12 || text[0] < '0' || text[0] > '9') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v > max) {
        return false;
    }
    out = v;
    return true;
}

unsigned long NumberArg(const std::string& option, const std::string& value, unsigned long max) {
    unsigned long v = 0;
    if (!ParseNumber(value, max, v)) {
        BadArgument("invalid value for " + option + ": \"" + value + "\"");
    }
    return v;
}

struct Arguments {
    SimOptions options;
    std::string link;
};

Arguments ParseArguments(int argc, char** argv) {
    Arguments args;
    bool addressGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        std::string value;
        bool hasValue = false;
        const size_t eq = option.find('=');
        if (option.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = option.substr(eq + 1);
            option = option.substr(0, eq);
            hasValue = true;
        }
        if (option == "--help" || option == "-h") {
            Print(stdout, kUsage);
            std::exit(0);
        }
        if (option == "--version") {
            Print(stdout, std::string("kvr-sim ") + KVR_VERSION + "\n");
            std::exit(0);
        }
        if (option == "--no-pace") {
            args.options.pace = false;
            continue;
        }
        if (option == "--with-display" || option == "--with-com") {
            (option == "--with-display" ? args.options.withDisplay : args.options.withCom) = true;
            continue;
        }
        static const char* const kWithValue[] = {"--unit",          "--address", "--firmware",
                                                 "--baud",          "--link",    "--state",
                                                 "--turnaround-ms", "--serial"};
        bool known = false;
        for (const char* name : kWithValue) {
            known = known || option == name;
        }
        if (!known) {
            BadArgument("unknown option \"" + option + "\"");
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                BadArgument(option + " needs a value");
            }
            value = argv[++i];
        }
        if (option == "--unit") {
            if (value == "kvr300") {
                args.options.kind = UnitKind::Kvr300;
            } else if (value == "kvr100") {
                args.options.kind = UnitKind::Kvr100;
            } else {
                BadArgument("--unit must be kvr300 or kvr100, not \"" + value + "\"");
            }
        } else if (option == "--address") {
            args.options.kvr100Address = static_cast<int>(NumberArg(option, value, 2));
            addressGiven = true;
        } else if (option == "--firmware") {
            args.options.firmware = static_cast<uint8_t>(NumberArg(option, value, 255));
        } else if (option == "--baud") {
            args.options.baud = static_cast<unsigned>(NumberArg(option, value, 4000000));
            if (!PtyHost::SupportedBaud(args.options.baud)) {
                BadArgument("unsupported baud rate " + value);
            }
        } else if (option == "--link") {
            if (value.empty()) {
                BadArgument("--link needs a path");
            }
            args.link = value;
        } else if (option == "--state") {
            if (value.empty()) {
                BadArgument("--state needs a file name");
            }
            args.options.stateFile = value;
        } else if (option == "--turnaround-ms") {
            args.options.turnaroundUs =
                static_cast<unsigned>(NumberArg(option, value, 10000)) * 1000;
        } else if (option == "--serial") {
            args.options.serialNumber =
                static_cast<uint32_t>(NumberArg(option, value, 0xFFFFFFF0ul));
        }
    }
    if (addressGiven && args.options.kind != UnitKind::Kvr100) {
        BadArgument("--address applies to --unit kvr100 only (a KVR 300 uses addresses 0 to 3)");
    }
    return args;
}

void PrintStatus(SimUnits& units) {
    Faults& f = units.GetFaults();
    std::string text = units.Summary();
    char line[256];
    (void)std::snprintf(
        line, sizeof line,
        "faults: drop %d corrupt %d short %d echo %d silent %d slow %u ms gap %u/%u ms cue %s\n",
        f.dropNextReply.load() ? 1 : 0, f.corruptChecksum.load() ? 1 : 0, f.shortReply.load(),
        f.wrongEcho.load() ? 1 : 0, f.silent.load() ? 1 : 0, f.slowMs.load(),
        f.gapAfterBytes.load(), f.slowGapMs.load(), f.noCue.load() ? "off" : "on");
    text += line;
    const std::string state = units.StateError();
    if (!state.empty()) {
        text += state + "\n";
    }
    Print(stdout, text);
}

// A finite decimal number, the whole text.
bool ParseValue(const std::string& text, double& out) {
    if (text.empty() || text.size() > 24) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v) ||
        text.find_first_of("xXnN") != std::string::npos) {
        return false;
    }
    out = v;
    return true;
}

// The bench commands; false when the line is not one of them.
bool RunBenchCommand(const std::vector<std::string>& w, SimUnits& units) {
    unsigned long n = 0;
    double v = 0;
    if (w[0] == "input" && w.size() >= 3 && ParseNumber(w[1], 3, n) && n >= 1) {
        const int channel = static_cast<int>(n);
        bool ok = false;
        if (w.size() == 3 && w[2] == "model") {
            ok = units.SetTrueInput(channel, false, std::nullopt) &&
                 units.SetTrueInput(channel, true, std::nullopt);
        } else if (w.size() == 4 && (w[2] == "voltage" || w[2] == "current") &&
                   ParseValue(w[3], v)) {
            ok = units.SetTrueInput(channel, w[2] == "current", v);
        } else {
            return false;
        }
        Say(ok ? "input " + w[1] + " set" : "no channel " + w[1] + " on this unit");
        return true;
    }
    if (w[0] == "meter" && w.size() == 2 && ParseNumber(w[1], 12, n) && n >= 1) {
        std::string text;
        if (units.Meter(static_cast<int>(n), text)) {
            Print(stdout, text + "\n");
        } else {
            Say(text);
        }
        return true;
    }
    return false;
}

void RunCommand(const std::string& line, SimUnits& units) {
    const std::vector<std::string> w = kvr::SplitWords(line);
    if (w.empty()) {
        return;
    }
    Faults& f = units.GetFaults();
    unsigned long a = 0;
    unsigned long b = 0;
    const std::string& c = w[0];
    if (c == "drop" && w.size() == 1) {
        f.dropNextReply = true;
        Say("the next reply will be dropped");
    } else if (c == "corrupt" && w.size() == 1) {
        f.corruptChecksum = true;
        Say("the next reply will carry a wrong checksum");
    } else if (c == "short" && w.size() == 2 && ParseNumber(w[1], 1000, a) && a > 0) {
        f.shortReply = static_cast<int>(a);
        Say("the next reply will be cut short");
    } else if (c == "echo" && w.size() == 1) {
        f.wrongEcho = true;
        Say("the next reply will start with a wrong echo");
    } else if (c == "silent" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
        f.silent = w[1] == "on";
        Say(w[1] == "on" ? "silent" : "answering again");
    } else if (c == "slow" && w.size() == 2 && ParseNumber(w[1], 60000, a)) {
        f.slowMs = static_cast<unsigned>(a);
        Say(a > 0 ? "replies will start late" : "replies on time again");
    } else if (c == "gap" && w.size() == 3 && ParseNumber(w[1], 1000, a) &&
               ParseNumber(w[2], 60000, b)) {
        f.gapAfterBytes = static_cast<unsigned>(a);
        f.slowGapMs = static_cast<unsigned>(b);
        Say(a > 0 ? "replies will stall midway" : "replies without a stall again");
    } else if (c == "cue" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
        f.noCue = w[1] == "off";
        Say(w[1] == "on" ? "the display cues again" : "the display sends no cue");
    } else if (c == "hangup" && w.size() == 1) {
        f.hangUp = true;
        Say("hanging up");
    } else if (c == "clear" && w.size() == 1) {
        f.dropNextReply = false;
        f.corruptChecksum = false;
        f.shortReply = 0;
        f.wrongEcho = false;
        f.silent = false;
        f.slowMs = 0;
        f.gapAfterBytes = 0;
        f.slowGapMs = 0;
        f.noCue = false;
        Say("all faults off");
    } else if (c == "status" && w.size() == 1) {
        PrintStatus(units);
    } else if (c == "help" && w.size() == 1) {
        Print(stderr, kCommands);
    } else if (RunBenchCommand(w, units)) {
        return;
    } else {
        Say("not understood: \"" + line + "\" (try help)");
    }
}

// Reads fault commands until told to stop. End of input only ends the reading: the units
// keep serving (kvr-sim is often started in the background with stdin from /dev/null).
void ReadCommands(SimUnits& units, const std::atomic<bool>& stop) {
    std::string pending;
    char buffer[512];
    while (!stop) {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&p, 1, 100);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || (ready > 0 && (p.revents & POLLNVAL) != 0)) {
            return;
        }
        if (ready == 0) {
            continue;
        }
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (got <= 0) {
            return;
        }
        pending.append(buffer, static_cast<size_t>(got));
        size_t nl = 0;
        while ((nl = pending.find('\n')) != std::string::npos) {
            RunCommand(pending.substr(0, nl), units);
            pending.erase(0, nl + 1);
        }
        if (pending.size() > 4096) {
            pending.clear();  // no command is that long
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments args = ParseArguments(argc, argv);

    // Signals are taken synchronously by the main thread; every thread started below
    // inherits the mask, so none of them is interrupted.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    (void)signal(SIGPIPE, SIG_IGN);

    SimUnits units(args.options);
    const std::string stateError = units.StateError();
    if (!stateError.empty()) {
        Say(stateError);
        return 1;
    }
    PtyHost host(units);
    std::string error;
    if (!host.Start(args.link, error)) {
        Say(error);
        return 1;
    }
    std::string first = host.SlavePath() + "\n";
    if (!args.link.empty()) {
        first += "linked at " + args.link + "\n";
    }
    Print(stdout, first);
    const SimOptions& o = units.Options();
    std::string banner = o.kind == UnitKind::Kvr300
                             ? "KVR 300, boards at addresses 0 to 3"
                             : "KVR 100 at address " + std::to_string(o.kvr100Address);
    banner += std::string(o.withCom ? ", KVR Com at 4" : "") +
              (o.withDisplay ? ", KVR Display at 5" : "");
    banner += ", firmware " + std::to_string(o.firmware) + ", " + std::to_string(o.baud) +
              " baud 8N1; type help for fault commands";
    Say(banner);

    std::atomic<bool> stop{false};
    std::thread commands(ReadCommands, std::ref(units), std::cref(stop));
    for (;;) {
        timespec slice{0, 100'000'000};
        const int sig = sigtimedwait(&stopSignals, nullptr, &slice);
        if (sig > 0) {
            break;
        }
        if (!host.Serving()) {
            Say("the line was hung up");
            break;
        }
        const std::string saveError = units.StateError();
        if (!saveError.empty() && saveError != error) {
            Say(saveError);
        }
        error = saveError;
    }
    stop = true;
    commands.join();
    host.Stop();
    return 0;
}
