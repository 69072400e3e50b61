#include "link/PortMap.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

std::vector<PortEntry> PortTable(const std::string& devDir) {
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

std::string DeviceForPort(int number) {
    if (number < 1 || number > kMaxPortNumber) {
        return {};
    }
    return PortTable()[static_cast<size_t>(number) - 1].device;
}

}  // namespace kvr
