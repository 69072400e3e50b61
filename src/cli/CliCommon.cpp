#include "cli/CliCommon.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/Files.h"
#include "base/Registry.h"
#include "document/Kvr100Address.h"
#include "document/SetupJson.h"
#include "link/PortSetup.h"

namespace kvr::cli {

namespace {

// Whether a progress text is on standard error's last line now.
bool g_progressShown = false;

}  // namespace

int Fail(const std::string& reason) {
    ClearProgress();
    std::fprintf(stderr, "kvrctl: %s\n", TerminalText(reason, true).c_str());
    return kExitFailed;
}

int UsageError(const std::string& command, const std::string& reason) {
    ClearProgress();
    const std::string help = command.empty() ? "kvrctl --help" : "kvrctl help " + command;
    std::fprintf(stderr, "kvrctl: %s (see '%s')\n", TerminalText(reason, true).c_str(),
                 help.c_str());
    return kExitUsage;
}

bool OpenPort(const Options& options, CSerialPort& port) {
    port.Settings() = options.settings;
    if (options.settings.device.empty() && !options.portGiven) {
        // The stored settings of the transmission setup, as the desktop program uses them.
        PortSettings stored;
        if (!LoadPortSettings(stored)) {
            Fail(
                "no serial port given: use --port N or --device PATH, or store one with "
                "'kvrctl settings set-port'");
            return false;
        }
        port.Settings() = stored;
    }
    if (!port.OpenWithSettings()) {
        Fail(port.LastError());
        return false;
    }
    return true;
}

std::string PortName(const CSerialPort& port) {
    const PortSettings& s = port.Settings();
    if (!s.device.empty()) {
        return s.device;
    }
    std::string name = "port " + std::to_string(s.port);
    if (!port.DevicePath().empty()) {
        name += " (" + port.DevicePath() + ")";
    }
    return name;
}

std::string TerminalText(const std::string& text, bool keepLineBreaks) {
    const std::string utf8 = DisplayText(text);
    std::string out;
    out.reserve(utf8.size());
    char hex[8];
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c == '\n' && keepLineBreaks) {
            out += '\n';
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else if (c == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
            // U+0080 to U+009F: the C1 controls (U+009B starts a control sequence).
            std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned char>(utf8[++i]));
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string TerminalJson(const std::string& json) {
    std::string out;
    out.reserve(json.size());
    char hex[8];
    for (size_t i = 0; i < json.size(); ++i) {
        const auto c = static_cast<unsigned char>(json[i]);
        if (c == 0x7F) {
            out += "\\u007f";
        } else if (c == 0xC2 && i + 1 < json.size() &&
                   static_cast<unsigned char>(json[i + 1]) < 0xA0) {
            std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned char>(json[++i]));
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void ShowProgress(const std::string& text) {
    static const bool terminal = ::isatty(STDERR_FILENO) == 1;
    if (!terminal) {
        return;
    }
    std::fprintf(stderr, "\r\033[K%s", TerminalText(text).c_str());
    std::fflush(stderr);
    g_progressShown = true;
}

void ClearProgress() {
    if (g_progressShown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        g_progressShown = false;
    }
}

bool ParseBoardNumber(const std::string& text, int& board, std::string& error) {
    if (text.size() != 1 || text[0] < '0' || text[0] > '3') {
        error = "--board needs a board number from 0 to 3 (3 is the main board)";
        return false;
    }
    board = text[0] - '0';
    return true;
}

bool TakeKvr100Address(std::vector<std::string>& args, int& address, std::string& error) {
    address = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--kvr100-address") {
            continue;
        }
        const std::string v = i + 1 < args.size() ? args[i + 1] : "";
        if (!ParseKvr100Address(v, address)) {
            error = std::string("--kvr100-address needs ") + kKvr100AddressChoices;
            return false;
        }
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i + 2));
        --i;
    }
    if (address < 0) {
        address = StoredKvr100Address();
    }
    return true;
}

int StoredKvr100Address() {
    uint32_t stored = 0;
    if (CRegistry::ReadDword(RegRoot::CurrentUser, kKeyPreferences, kValKvr100Address, stored) !=
            kRegOk ||
        stored > 2) {
        return 0;
    }
    return static_cast<int>(stored);
}

bool StoreKvr100Address(int address) {
    return CRegistry::WriteDword(RegRoot::CurrentUser, kKeyPreferences, kValKvr100Address,
                                 static_cast<uint32_t>(address)) == kRegOk;
}

bool WriteOutput(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (path == "-") {
        return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
               std::fflush(stdout) == 0;
    }
    std::string error;
    if (!WriteFileAtomically(path, bytes, error)) {
        Fail("cannot write " + path + ": " + error);
        return false;
    }
    return true;
}

// Whether the file name ends in ext (".kvr"), in any case.
bool HasExtension(const std::string& path, const std::string& ext) {
    if (path.size() < ext.size()) {
        return false;
    }
    const std::string tail = path.substr(path.size() - ext.size());
    return std::equal(tail.begin(), tail.end(), ext.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

bool LooksLikeJson(const std::vector<uint8_t>& bytes) {
    // A setup file starts with its signature's low byte (0x75 to 0x77), never with "{".
    for (uint8_t c : bytes) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            return c == '{';
        }
    }
    return false;
}

}  // namespace kvr::cli
