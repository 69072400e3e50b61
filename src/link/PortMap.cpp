#include "link/PortMap.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

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
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
        return std::string(xdg) + "/kvr-view/ports.conf";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "/tmp") + "/.config/kvr-view/ports.conf";
}

std::map<int, std::string> LoadPortOverrides(const std::string& path) {
    std::map<int, std::string> result;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos) {
            continue;
        }
        long n = SuffixNumber(line.substr(0, eq), "");
        std::string device = line.substr(eq + 1);
        while (!device.empty() && (device.back() == ' ' || device.back() == '\r')) {
            device.pop_back();
        }
        if (n >= 1 && n <= kMaxPortNumber && !device.empty()) {
            result[static_cast<int>(n)] = device;
        }
    }
    return result;
}

bool SavePortOverride(const std::string& path, int number, const std::string& device,
                      std::string& error) {
    if (number < 1 || number > kMaxPortNumber) {
        error = "port number " + std::to_string(number) + " is outside 1 to 32";
        return false;
    }
    if (device.find('\n') != std::string::npos) {
        error = "a device path cannot contain a line break";
        return false;
    }
    std::map<int, std::string> overrides = LoadPortOverrides(path);
    if (device.empty()) {
        overrides.erase(number);
    } else {
        overrides[number] = device;
    }
    std::error_code ec;
    fs::path target(path);
    if (target.has_parent_path()) {
        fs::create_directories(target.parent_path(), ec);
    }
    std::ostringstream text;
    text << "# Serial port number overrides: N=/dev/path\n";
    for (const auto& [n, dev] : overrides) {
        text << n << '=' << dev << '\n';
    }
    std::string tmp = path + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot write " + tmp;
        return false;
    }
    std::string data = text.str();
    bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size()) &&
              ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        error = "cannot write " + path;
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
