#include "base/IniFile.h"
#include "base/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "base/Files.h"

namespace kvr {

namespace {

// A tuning file of a few lines; anything far larger is not one.
constexpr size_t kMaxIniBytes = size_t{1} << 20;

std::string Trim(const std::string& s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) {
        ++b;
    }
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) {
        --e;
    }
    return s.substr(b, e - b);
}

}  // namespace

std::string QrlIniPath() {
    const char* env = std::getenv("KVR_QRL_INI");
    if (env != nullptr && *env != '\0') {
        return env;
    }
    return kQrlIniSystemPath;
}

std::optional<std::string> FindIniValue(std::string_view text, const std::string& section,
                                        const std::string& key) {
    bool inSection = false;
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        const std::string t = Trim(std::string(text.substr(0, nl)));
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        if (t.empty() || t[0] == ';' || t[0] == '#') {
            continue;
        }
        if (t.front() == '[') {
            size_t close = t.find(']');
            inSection =
                close != std::string::npos && EqualNoCase(Trim(t.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) {
            continue;
        }
        size_t eq = t.find('=');
        if (eq != std::string::npos && EqualNoCase(Trim(t.substr(0, eq)), key)) {
            return Trim(t.substr(eq + 1));
        }
    }
    return std::nullopt;
}

std::optional<std::string> ReadIniString(const std::string& path, const std::string& section,
                                         const std::string& key) {
    std::string text;
    std::string error;
    ReadOptions options;
    options.maxBytes = kMaxIniBytes;
    // A missing, special (a FIFO would block, a device never end) or oversized file
    // holds nothing: every key takes its default.
    if (!ReadWholeFile(path, text, error, options)) {
        return std::nullopt;
    }
    return FindIniValue(text, section, key);
}

long ReadIniInt(const std::string& path, const std::string& section, const std::string& key,
                long defaultValue) {
    std::optional<std::string> text = ReadIniString(path, section, key);
    if (!text) {
        return defaultValue;
    }
    const char* begin = text->c_str();
    char* end = nullptr;
    long value = std::strtol(begin, &end, 10);  // saturates on overflow
    return end == begin ? defaultValue : value;
}

long QrlIniInt(const std::string& section, const std::string& key, long defaultValue) {
    return ReadIniInt(QrlIniPath(), section, key, defaultValue);
}

std::optional<std::string> QrlIniString(const std::string& section, const std::string& key) {
    return ReadIniString(QrlIniPath(), section, key);
}

unsigned DownloadDelayMs() {
    long ms = QrlIniInt(kSectionKvrView, kKeyDownloadDelay, 100);
    // A wait longer than a minute is a typing error, not a setting; keep the line usable.
    return static_cast<unsigned>(std::clamp(ms, 0L, 60'000L));
}

}  // namespace kvr
