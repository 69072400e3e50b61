// kvrctl ports: the port numbers, the devices behind them and the USB adapters by their
// stable names; binding a number to a device or an adapter; watching adapters come and go.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "cli/CliCommon.h"
#include "link/PortMap.h"

namespace kvr::cli {

namespace {

constexpr unsigned kWatchScanMs = 1000;

nlohmann::ordered_json TextOrNull(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(text);
}

void PrintJson(const PortScan& scan, const std::string& file) {
    nlohmann::ordered_json ports = nlohmann::ordered_json::array();
    for (const PortEntry& e : scan.table) {
        ports.push_back({{"port", e.number},
                         {"device", TextOrNull(e.device)},
                         {"setByUser", e.overridden},
                         {"stableName", TextOrNull(e.stable)},
                         {"adapter", TextOrNull(e.adapter)},
                         {"present", e.present}});
    }
    nlohmann::ordered_json adapters = nlohmann::ordered_json::array();
    for (const SerialAdapter& a : scan.adapters) {
        adapters.push_back({{"stableName", a.stablePath},
                            {"device", TextOrNull(a.device)},
                            {"vendor", TextOrNull(a.vendor)},
                            {"model", TextOrNull(a.model)},
                            {"serial", TextOrNull(a.serial)}});
    }
    const nlohmann::ordered_json out = {{"file", file}, {"ports", ports}, {"adapters", adapters}};
    const std::string text = out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    std::printf("%s\n", TerminalJson(text).c_str());
}

void PrintTable(const PortScan& scan, const std::string& file) {
    std::printf("Port  Device\n");
    for (const PortEntry& e : scan.table) {
        std::string notes;
        if (!e.adapter.empty()) {
            notes += "  [" + e.adapter + "]";
        }
        if (!e.stable.empty() && !e.present) {
            notes += "  (not there now)";
        }
        if (e.overridden) {
            notes += "  (set by user)";
        }
        std::printf("%4d  %s%s\n", e.number,
                    e.device.empty() ? "-" : TerminalText(e.device).c_str(),
                    TerminalText(notes).c_str());
    }
    if (!scan.adapters.empty()) {
        std::printf(
            "\nUSB adapters by stable name (a port set to one follows it to any ttyUSB):\n");
        for (const SerialAdapter& a : scan.adapters) {
            std::printf("  %s -> %s  [%s]\n", TerminalText(a.stablePath).c_str(),
                        a.device.empty() ? "-" : TerminalText(a.device).c_str(),
                        TerminalText(AdapterText(a)).c_str());
        }
    }
    std::printf("\nPorts set by user are kept in %s\n", TerminalText(file).c_str());
    std::fflush(stdout);
}

// What `set` stores for a name: an adapter's serial number or the file name of its
// stable link stands for the link; anything else is a path as given.
std::string BindingFor(const std::string& name, const std::vector<SerialAdapter>& adapters) {
    if (name.empty() || name[0] == '/') {
        return name;
    }
    for (const SerialAdapter& a : adapters) {
        if (a.serial == name || std::filesystem::path(a.stablePath).filename() == name) {
            return a.stablePath;
        }
    }
    return name;
}

// Prints the table again whenever adapters come or go, until interrupted (or for the
// given time, 0 for no end).
int Watch(const std::string& file, uint64_t durationMs) {
    IClock& clock = GetClock();
    const uint64_t start = clock.NowMs();
    PortScan last = ScanPorts();
    PrintTable(last, file);
    while (durationMs == 0 || clock.NowMs() - start < durationMs) {
        clock.SleepMs(kWatchScanMs);
        PortScan now = ScanPorts();
        if (now == last) {
            continue;
        }
        for (const SerialAdapter& a : now.adapters) {
            if (std::find(last.adapters.begin(), last.adapters.end(), a) == last.adapters.end()) {
                std::printf("\n+ %s  [%s]\n", TerminalText(a.stablePath).c_str(),
                            TerminalText(AdapterText(a)).c_str());
            }
        }
        for (const SerialAdapter& a : last.adapters) {
            if (std::find(now.adapters.begin(), now.adapters.end(), a) == now.adapters.end()) {
                std::printf("\n- %s  [%s]\n", TerminalText(a.stablePath).c_str(),
                            TerminalText(AdapterText(a)).c_str());
            }
        }
        std::printf("\n");
        PrintTable(now, file);
        last = std::move(now);
    }
    return 0;
}

}  // namespace

int Ports(const Options&, const std::vector<std::string>& args) {
    const std::string file = PortOverridesPath();
    if (args.empty() || (args.size() == 1 && args[0] == "--json")) {
        const PortScan scan = ScanPorts();
        if (args.empty()) {
            PrintTable(scan, file);
        } else {
            PrintJson(scan, file);
        }
        return 0;
    }
    if (args[0] == "--watch") {
        double seconds = 0;
        if (args.size() == 3 && args[1] == "--duration") {
            char* end = nullptr;
            seconds = std::strtod(args[2].c_str(), &end);
            if (end == args[2].c_str() || *end != '\0' || !(seconds > 0) || seconds > 1e9) {
                return UsageError("ports", "--duration needs a number of seconds above zero");
            }
        } else if (args.size() != 1) {
            return UsageError("ports", "expected 'ports --watch [--duration SECONDS]'");
        }
        return Watch(file, static_cast<uint64_t>(seconds * 1000.0));
    }
    char* end = nullptr;
    const long n = args.size() >= 2 ? std::strtol(args[1].c_str(), &end, 10) : 0;
    if (args.size() >= 2 &&
        (end == args[1].c_str() || *end != '\0' || n < 1 || n > kMaxPortNumber)) {
        return UsageError("ports", "a port number is 1 to 32, not '" + args[1] + "'");
    }
    std::string error;
    if (args[0] == "set" && args.size() == 3) {
        const std::vector<SerialAdapter> adapters = FindAdapters();
        const std::string device = BindingFor(args[2], adapters);
        if (!SavePortOverride(file, static_cast<int>(n), device, error)) {
            return Fail(error);
        }
        std::printf("port %ld -> %s\n", n, TerminalText(device).c_str());
        // A ttyUSB number can go to another adapter at the next plug-in; the stable name
        // cannot.
        if (const std::string stable = StableNameOf(device); !stable.empty() && stable != device) {
            std::printf(
                "note: %s is the adapter %s; 'kvrctl ports set %ld %s' keeps the port "
                "with it whatever number it gets\n",
                TerminalText(device).c_str(), TerminalText(stable).c_str(), n,
                TerminalText(stable).c_str());
        }
        return 0;
    }
    if (args[0] == "clear" && args.size() == 2) {
        if (!SavePortOverride(file, static_cast<int>(n), "", error)) {
            return Fail(error);
        }
        std::printf("port %ld -> automatic\n", n);
        return 0;
    }
    return UsageError("ports",
                      "expected 'ports', 'ports --watch', 'ports set N DEVICE' or 'ports clear N'");
}

CommandRows PortCommandRows() {
    static const CommandRow kRows[] = {
        {"ports", 10, Ports, "list port numbers and their devices; set or clear one",
         "usage: kvrctl ports [--json]\n"
         "       kvrctl ports --watch [--duration SECONDS]\n"
         "       kvrctl ports set N DEVICE\n"
         "       kvrctl ports clear N\n"
         "\n"
         "Lists the port numbers 1 to 32 and the device each one uses: the serial devices of\n"
         "this machine in a stable order (/dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS*), unless a\n"
         "device was set for the number; then the USB adapters by their stable names\n"
         "(/dev/serial/by-id, or $KVR_SERIAL_BY_ID) with vendor, model and serial number.\n"
         "  --json       the list as JSON\n"
         "  --watch      list again whenever an adapter comes or goes (until Ctrl-C, or for\n"
         "               --duration seconds)\n"
         "  set N DEVICE let port number N use DEVICE: a path, an adapter's stable name, or\n"
         "               its serial number; a port set to an adapter's stable name keeps it\n"
         "               when it is plugged in again under another ttyUSB number\n"
         "  clear N      give port number N back to the automatic order\n"},
    };
    return kRows;
}

}  // namespace kvr::cli
