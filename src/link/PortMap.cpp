#include "link/PortMap.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "base/Files.h"

namespace kvr {

namespace fs = std::filesystem;

namespace {

// "ttyUSB12" with prefix "ttyUSB" gives 12; -1 when the rest is not a number.
long SuffixNumber(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
        return -1;
    }
    long n = 0;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 1'000'000) {
            return -1;
        }
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

}  // namespace

std::vector<std::string> FindSerialDevices(const std::string& devDir) {
    static const char* const kPrefixes[] = {"ttyUSB", "ttyACM", "ttyS"};
    std::vector<std::string> result;
    std::error_code ec;
    for (const char* prefix : kPrefixes) {
        std::vector<std::pair<long, std::string>> found;
        for (const auto& entry : fs::directory_iterator(devDir, ec)) {
            std::string name = entry.path().filename().string();
            long n = SuffixNumber(name, prefix);
            if (n >= 0) {
                found.emplace_back(n, entry.path().string());
            }
        }
        std::sort(found.begin(), found.end());
        for (auto& f : found) {
            result.push_back(std::move(f.second));
        }
    }
    return result;
}

std::string PortOverridesPath() {
    if (const char* env = std::getenv("KVR_PORTS_FILE"); env != nullptr && *env != '\0') {
        return env;
    }
    const std::string folder = UserConfigFolder();
    return folder.empty() ? std::string() : folder + "/ports.conf";
}

namespace {

// A file of 32 short lines; anything far larger is not one of ours.
constexpr size_t kMaxPortMapBytes = size_t{256} << 10;

// The number of an override line ("N=..."), -1 for any other line (comments and lines
// not understood are kept as they are by a rewrite).
long LineNumber(std::string_view line, std::string_view& device) {
    const size_t eq = line.find('=');
    if (line.empty() || line[0] == '#' || eq == std::string_view::npos) {
        return -1;
    }
    const long n = SuffixNumber(std::string(line.substr(0, eq)), "");
    if (n < 1 || n > kMaxPortNumber) {
        return -1;
    }
    device = line.substr(eq + 1);
    while (!device.empty() && (device.back() == ' ' || device.back() == '\r')) {
        device.remove_suffix(1);
    }
    return n;
}

template <typename F>
void ForEachLine(std::string_view text, F f) {
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        f(text.substr(0, nl));
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    }
}

}  // namespace

std::map<int, std::string> ParsePortOverrides(std::string_view text) {
    std::map<int, std::string> result;
    ForEachLine(text, [&](std::string_view line) {
        std::string_view device;
        const long n = LineNumber(line, device);
        if (n > 0 && !device.empty()) {
            result[static_cast<int>(n)] = std::string(device);  // the last line of a number counts
        }
    });
    return result;
}

std::string EditPortOverrides(std::string_view text, int number, const std::string& device) {
    std::string out;
    bool placed = device.empty();  // a removal places nothing
    ForEachLine(text, [&](std::string_view line) {
        std::string_view old;
        if (LineNumber(line, old) == number) {
            if (placed) {
                return;  // later lines of the number would otherwise win over the new one
            }
            out += std::to_string(number) + "=" + device + "\n";
            placed = true;
            return;
        }
        out.append(line);
        out += '\n';
    });
    if (!placed) {
        out += std::to_string(number) + "=" + device + "\n";
    }
    return out;
}

std::map<int, std::string> LoadPortOverrides(const std::string& path) {
    std::string text;
    std::string error;
    ReadOptions options;
    options.maxBytes = kMaxPortMapBytes;
    // A missing, special or oversized file gives no overrides.
    if (path.empty() || !ReadWholeFile(path, text, error, options)) {
        return {};
    }
    return ParsePortOverrides(text);
}

bool SavePortOverride(const std::string& path, int number, const std::string& device,
                      std::string& error) {
    if (number < 1 || number > kMaxPortNumber) {
        error = "port number " + std::to_string(number) + " is outside 1 to 32";
        return false;
    }
    if (device.find_first_of("\n\r") != std::string::npos) {
        error = "a device path cannot contain a line break";
        return false;
    }
    if (path.empty()) {
        error = "there is no home folder for the port map";
        return false;
    }
    if (!MakePrivateFolders(ParentFolder(path))) {
        error = "cannot create the folder of " + path;
        return false;
    }
    // Two writers at once each read, change and write the whole file: one waits for the
    // other, or an update is lost.
    FileLock lock(path + ".lock");
    if (!lock.Held()) {
        error = lock.Error();
        return false;
    }
    std::string text;
    bool missing = false;
    ReadOptions options;
    options.maxBytes = kMaxPortMapBytes;
    if (!ReadWholeFile(path, text, error, options, &missing)) {
        if (!missing) {
            error = "cannot read " + path + ": " + error;
            return false;
        }
        text = "# Serial port number overrides: N=/dev/path\n";
    }
    if (!WriteFileAtomically(path, EditPortOverrides(text, number, device), error)) {
        error = "cannot write " + path + ": " + error;
        return false;
    }
    return true;
}

bool SavePortBindings(const std::string& path, const std::map<int, std::string>& bindings,
                      std::string& error) {
    for (const auto& [number, device] : bindings) {
        if (!SavePortOverride(path, number, device, error)) {
            return false;
        }
    }
    return true;
}

std::string SerialByIdFolder() {
    if (const char* env = std::getenv("KVR_SERIAL_BY_ID"); env != nullptr && *env != '\0') {
        return env;
    }
    return "/dev/serial/by-id";
}

namespace {

std::string ByIdOf(const PortFolders& folders) {
    return folders.byId.empty() ? SerialByIdFolder() : folders.byId;
}

bool AllOf(std::string_view text, bool (*accept)(char)) {
    return !text.empty() && std::all_of(text.begin(), text.end(), accept);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLower(char c) {
    return c >= 'a' && c <= 'z';
}

// The first line of a small attribute file, empty when there is none.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

// Vendor, model and serial number from the USB device above a tty's device, where the
// kernel gives them (a device of another bus has none).
void ReadUsbAttributes(const std::string& sysTty, const std::string& device, SerialAdapter& a) {
    std::error_code ec;
    fs::path at = fs::canonical(fs::path(sysTty) / fs::path(device).filename() / "device", ec);
    for (int up = 0; !ec && up < 4 && !at.empty(); ++up, at = at.parent_path()) {
        if (!fs::exists(at / "idVendor", ec)) {
            continue;
        }
        const std::pair<const char*, std::string SerialAdapter::*> kFields[] = {
            {"manufacturer", &SerialAdapter::vendor},
            {"product", &SerialAdapter::model},
            {"serial", &SerialAdapter::serial}};
        for (const auto& [file, field] : kFields) {
            if (std::string value = Attribute(at / file); !value.empty()) {
                a.*field = std::move(value);
            }
        }
        return;
    }
}

}  // namespace

SerialAdapter ParseByIdName(std::string_view name) {
    SerialAdapter a;
    // "usb-" (or another bus) in front, "-if00" or "-if00-port0" behind.
    if (const size_t dash = name.find('-');
        dash != std::string_view::npos && AllOf(name.substr(0, dash), IsLower)) {
        name.remove_prefix(dash + 1);
    }
    for (size_t at = name.rfind("-if"); at != std::string_view::npos && at > 0;
         at = name.rfind("-if", at - 1)) {
        std::string_view rest = name.substr(at + 3);
        const size_t port = rest.find("-port");
        if (AllOf(rest.substr(0, port), IsDigit) &&
            (port == std::string_view::npos || AllOf(rest.substr(port + 5), IsDigit))) {
            name = name.substr(0, at);
            break;
        }
    }
    std::vector<std::string> words;
    std::string word;
    for (char c : name) {
        if (c == '_') {
            if (!word.empty()) {
                words.push_back(word);
            }
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) {
        words.push_back(word);
    }
    if (words.empty()) {
        return a;
    }
    a.vendor = words.front();
    size_t modelEnd = words.size();
    if (words.size() >= 3 && std::any_of(words.back().begin(), words.back().end(), IsDigit)) {
        a.serial = words.back();
        modelEnd = words.size() - 1;
    }
    for (size_t i = 1; i < modelEnd; ++i) {
        a.model += (i > 1 ? " " : "") + words[i];
    }
    return a;
}

namespace {

std::vector<SerialAdapter> ListAdapters(const PortFolders& folders, bool attributes) {
    const std::string byId = ByIdOf(folders);
    std::vector<SerialAdapter> adapters;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(byId, ec)) {
        const std::string name = entry.path().filename().string();
        SerialAdapter a = ParseByIdName(name);
        a.stablePath = byId + "/" + name;
        std::error_code gone;
        const fs::path target = fs::canonical(a.stablePath, gone);
        if (!gone) {
            a.device = target.string();
            if (attributes) {
                ReadUsbAttributes(folders.sysTty, a.device, a);
            }
        }
        adapters.push_back(std::move(a));
    }
    std::sort(adapters.begin(), adapters.end(), [](const SerialAdapter& x, const SerialAdapter& y) {
        return x.stablePath < y.stablePath;
    });
    return adapters;
}

}  // namespace

std::vector<SerialAdapter> FindAdapters(const PortFolders& folders) {
    return ListAdapters(folders, true);
}

std::string AdapterText(const SerialAdapter& a) {
    std::string text = a.vendor;
    if (!a.model.empty()) {
        text += (text.empty() ? "" : " ") + a.model;
    }
    if (!a.serial.empty()) {
        text += (text.empty() ? "serial " : ", serial ") + a.serial;
    }
    return text;
}

namespace {

// The adapter of a device path: its own stable name, or the link that leads to the same
// device file. Null when there is none.
const SerialAdapter* AdapterOf(const std::string& device, const std::string& byId,
                               const std::vector<SerialAdapter>& adapters) {
    for (const SerialAdapter& a : adapters) {
        if (a.stablePath == device) {
            return &a;
        }
    }
    if (device.rfind(byId + "/", 0) == 0) {
        return nullptr;  // a bound adapter that is not plugged in
    }
    std::error_code ec;
    const std::string real = fs::canonical(device, ec).string();
    for (const SerialAdapter& a : adapters) {
        if (!ec && !a.device.empty() && a.device == real) {
            return &a;
        }
    }
    return nullptr;
}

void DescribeEntry(PortEntry& e, const std::string& byId,
                   const std::vector<SerialAdapter>& adapters) {
    std::error_code ec;
    e.present = !e.device.empty() && fs::exists(e.device, ec);
    if (e.device.empty()) {
        return;
    }
    if (const SerialAdapter* a = AdapterOf(e.device, byId, adapters)) {
        e.stable = a->stablePath;
        e.adapter = AdapterText(*a);
    } else if (e.device.rfind(byId + "/", 0) == 0) {
        e.stable = e.device;  // bound, unplugged: the name still tells which adapter
        e.adapter = AdapterText(ParseByIdName(fs::path(e.device).filename().string()));
    }
}

}  // namespace

std::string StableNameOf(const std::string& path, const PortFolders& folders) {
    const std::string byId = ByIdOf(folders);
    if (path.rfind(byId + "/", 0) == 0) {
        return path;
    }
    const std::vector<SerialAdapter> adapters = ListAdapters(folders, false);
    const SerialAdapter* a = AdapterOf(path, byId, adapters);
    return a != nullptr ? a->stablePath : std::string();
}

PortScan ScanPorts(const PortFolders& folders) {
    PortScan scan;
    scan.adapters = FindAdapters(folders);
    scan.table = PortTable(folders, scan.adapters);
    scan.devices = FindSerialDevices(folders.dev);
    return scan;
}

PortEntry EntryWithBinding(const PortScan& scan, int number, const std::string& binding,
                           const PortFolders& folders) {
    PortEntry e;
    e.number = number;
    if (!binding.empty()) {
        e.device = binding;
        e.overridden = true;
    } else if (number >= 1 && static_cast<size_t>(number) <= scan.devices.size()) {
        e.device = scan.devices[static_cast<size_t>(number) - 1];
    }
    DescribeEntry(e, ByIdOf(folders), scan.adapters);
    return e;
}

std::string PortShortText(const PortEntry& e) {
    if (e.device.empty()) {
        return "-";
    }
    if (!e.stable.empty() && e.stable == e.device) {
        const SerialAdapter a = ParseByIdName(fs::path(e.device).filename().string());
        std::string text = a.vendor + (a.serial.empty() ? "" : " " + a.serial);
        return e.present ? text : text + " (absent)";
    }
    const std::string prefix = "/dev/";
    return e.device.rfind(prefix, 0) == 0 ? e.device.substr(prefix.size()) : e.device;
}

std::string PortLongText(const PortEntry& e) {
    if (e.device.empty()) {
        return "(no device)";
    }
    std::string text = e.device;
    if (!e.adapter.empty()) {
        text += "\n" + e.adapter;
    }
    std::error_code ec;
    const fs::path real = fs::canonical(e.device, ec);
    if (!e.present && !e.stable.empty()) {
        text += "\nnot plugged in now";
    } else if (e.present && !ec && real.string() != e.device) {
        text += "\nnow " + real.string();
    }
    return text;
}

std::vector<PortEntry> PortTable(const std::string& devDir) {
    PortFolders folders;
    folders.dev = devDir;
    return PortTable(folders, FindAdapters(folders));
}

namespace {

// The devices behind the numbers, without their descriptions.
std::vector<PortEntry> PortDevices(const std::string& devDir) {
    std::vector<std::string> found = FindSerialDevices(devDir);
    std::map<int, std::string> overrides = LoadPortOverrides(PortOverridesPath());
    std::vector<PortEntry> table;
    for (int n = 1; n <= kMaxPortNumber; ++n) {
        PortEntry e;
        e.number = n;
        if (auto it = overrides.find(n); it != overrides.end()) {
            e.device = it->second;
            e.overridden = true;
        } else if (static_cast<size_t>(n) <= found.size()) {
            e.device = found[static_cast<size_t>(n) - 1];
        }
        table.push_back(e);
    }
    return table;
}

}  // namespace

std::vector<PortEntry> PortTable(const PortFolders& folders,
                                 const std::vector<SerialAdapter>& adapters) {
    std::vector<PortEntry> table = PortDevices(folders.dev);
    const std::string byId = ByIdOf(folders);
    for (PortEntry& e : table) {
        DescribeEntry(e, byId, adapters);
    }
    return table;
}

std::string DeviceForPort(int number) {
    if (number < 1 || number > kMaxPortNumber) {
        return {};
    }
    return PortDevices("/dev")[static_cast<size_t>(number) - 1].device;
}

}  // namespace kvr
