// kvrctl commands for the stored settings and the configuration password.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "base/IniFile.h"
#include "base/Registry.h"
#include "base/Seams.h"
#include "base/Settings.h"
#include "base/Text.h"
#include "cli/CliCommon.h"
#include "cli/CliUser.h"
#include "document/Password.h"
#include "link/PortSetup.h"

namespace kvr::cli {

namespace {

const char kPasswordNeeded[] = "no password given: set KVR_PASSWORD or type it on standard input";

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::string Location(const std::string& path, bool readOnly) {
    if (path.empty()) {
        return "(no location: HOME is not set)";
    }
    std::string state = FileExists(path) ? "exists" : "missing";
    return TerminalText(path) + " (" + state + (readOnly ? ", read only)" : ")");
}

std::string ShownBytes(const std::vector<uint8_t>& bytes) {
    constexpr size_t kShown = 16;
    std::string out = "[" + std::to_string(bytes.size()) + "]";
    for (size_t i = 0; i < bytes.size() && i < kShown; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02x", bytes[i]);
        out += hex;
    }
    return bytes.size() > kShown ? out + " ..." : out;
}

std::string ShownPlacement(const std::vector<uint8_t>& bytes) {
    WindowPlacement p;
    if (!DecodeWindowPlacement(bytes.data(), bytes.size(), p)) {
        return ShownBytes(bytes) + "  (not a window placement: the main window opens centred)";
    }
    const char* state = p.showState == kShowMaximized   ? "maximised"
                        : p.showState == kShowMinimized ? "minimised"
                                                        : "normal";
    char text[160];
    std::snprintf(text, sizeof text, "[44] %s, normal rectangle (%d,%d)-(%d,%d)%s", state,
                  static_cast<int>(p.left), static_cast<int>(p.top), static_cast<int>(p.right),
                  static_cast<int>(p.bottom),
                  (p.flags & kPlacementRestoreToMaximized) ? ", restore maximised" : "");
    return text;
}

// What a stored value shows; the password's text never appears.
std::string ShownValue(const std::string& name, const StoredValue& v) {
    if (name == kValPassword) {
        return v.text.empty() ? "(set, empty)" : "(set)";
    }
    switch (v.type) {
        case StoredType::String:
            return QuoteText(v.text);
        case StoredType::Dword: {
            std::string out = std::to_string(v.dword);
            if (name == kValMonitorCount && (v.dword & 0xFFFFu) > kStoredMonitors) {
                out += "  (more than the 60 monitors: 60 are used)";
            }
            return out;
        }
        case StoredType::Bytes:
            return name == kValWindowPosition ? ShownPlacement(v.bytes) : ShownBytes(v.bytes);
        case StoredType::Invalid:
            break;
    }
    return "";
}

const StoredValue* Find(const std::vector<StoredValue>& values, const std::string& name) {
    for (const StoredValue& v : values) {
        if (EqualNoCase(v.name, name)) {
            return &v;
        }
    }
    return nullptr;
}

void PrintValue(const char* label, const std::string& canonical, const StoredValue* v,
                StoredType wanted, const char* whenMissing) {
    std::string line = std::string("  ") + label;
    if (line.size() < 24) {
        line.resize(24, ' ');
    } else {
        line += ' ';
    }
    if (v == nullptr) {
        line += canonical == kValPassword ? std::string("(missing)")
                                          : std::string("(missing: ") + whenMissing + ")";
    } else if (v->type == StoredType::Invalid) {
        line += "unreadable";
        if (*whenMissing != '\0') {
            line += std::string("  (reads as missing: ") + whenMissing + ")";
        }
    } else {
        std::string type = StoredTypeName(v->type);
        type.resize(std::max<size_t>(type.size() + 1, 8), ' ');
        line += type;
        if (v->type != wanted) {
            // Never show a password, not even one stored with the wrong type.
            line += (canonical == kValPassword ? std::string("") : ShownValue("", *v) + "  ") +
                    "(wrong type, reads as missing: " + whenMissing + ")";
        } else {
            line += ShownValue(canonical, *v);
        }
    }
    std::printf("%s\n", TerminalText(line).c_str());
}

void ShowKey(RegRoot root, const char* key) {
    std::vector<StoredValue> values = ListStoredValues(root, key);
    std::printf("\n[%s]%s\n", key, root == RegRoot::CurrentUser ? "" : "  (system)");
    std::vector<std::string> known;
    for (const SettingInfo& info : SettingsTable()) {
        if (info.root != root || std::string(info.key) != key) {
            continue;
        }
        known.emplace_back(info.name);
        std::string label = *info.name ? QuoteText(info.name) : "(default)";
        PrintValue(label.c_str(), info.name, Find(values, info.name), info.type, info.whenMissing);
    }
    for (const StoredValue& v : values) {
        bool isKnown = std::any_of(known.begin(), known.end(),
                                   [&](const std::string& k) { return EqualNoCase(v.name, k); });
        if (!isKnown) {
            std::string label = (v.name.empty() ? "(default)" : QuoteText(v.name)) + " (not used)";
            PrintValue(label.c_str(), v.name, &v, v.type, "");
        }
    }
}

void ShowIni() {
    const std::string path = QrlIniPath();
    for (const IniSettingInfo& info : IniSettingsTable()) {
        std::optional<std::string> raw = ReadIniString(path, info.section, info.key);
        std::string used;
        if (std::string(info.key) == kKeyDownloadDelay) {
            used = std::to_string(DownloadDelayMs());
        } else if (std::string(info.key) == kKeyMonitorReadInterval) {
            used = std::to_string(MonitorReadIntervalMs());
        } else {
            used = ReadCountry();
        }
        std::string label = std::string("  [") + info.section + "] " + info.key;
        label.resize(std::max<size_t>(label.size() + 1, 36), ' ');
        std::string line = label;
        if (!raw) {
            line += std::string("(missing: ") + info.defaultText + ")";
        } else if (*raw != used) {
            line += QuoteText(*raw) + "  (used: " + used + ")";
        } else {
            line += QuoteText(*raw);
        }
        std::printf("%s\n", TerminalText(line).c_str());
    }
}

int ShowSettings() {
    std::printf("Settings store:   %s\n", Location(UserSettingsPath(), false).c_str());
    std::printf("System settings:  %s\n", Location(SystemSettingsPath(), true).c_str());
    std::printf("QRL.ini:          %s\n", Location(QrlIniPath(), true).c_str());
    ShowKey(RegRoot::CurrentUser, kKeyPreferences);
    ShowKey(RegRoot::CurrentUser, kKeyConfiguration);
    ShowKey(RegRoot::LocalMachine, kKeyMsInfo);
    ShowKey(RegRoot::ClassesRoot, kKeyPrintTo);
    std::printf("\nQRL.ini\n");
    ShowIni();
    return 0;
}

// The list's own spelling of a choice (matched without regard to case), or empty when
// it is not one of the list: a choose-from-list field cannot hold anything else.
template <size_t N>
std::string Choice(const char* const (&list)[N], const std::string& text) {
    for (const char* item : list) {
        if (EqualNoCase(item, text)) {
            return item;
        }
    }
    return "";
}

int SetPort(const std::vector<std::string>& args) {
    if (args.size() < 2 || args[1].rfind("--", 0) == 0) {
        return UsageError("settings", "set-port needs a port number");
    }
    // Only the 32 port buttons can be selected; anything else is no selection.
    char* end = nullptr;
    long n = std::strtol(args[1].c_str(), &end, 10);
    const int port =
        (end != args[1].c_str() && *end == '\0' && n >= 1 && n <= 32) ? static_cast<int>(n) : 0;
    PortSettings settings;  // "9600", "None", "8", "1" unless stored otherwise
    LoadPortSettings(settings);
    for (size_t i = 2; i < args.size(); i += 2) {
        const std::string& option = args[i];
        if (i + 1 >= args.size()) {
            return UsageError("settings", option + " needs a value");
        }
        const std::string& value = args[i + 1];
        if (option == "--baud") {
            settings.baud = value;
        } else if (option == "--parity") {
            settings.parity = value;
        } else if (option == "--data-bits") {
            settings.dataBits = value;
        } else if (option == "--stop-bits") {
            settings.stopBits = value;
        } else {
            return UsageError("settings", "unexpected argument '" + option + "'");
        }
    }
    settings.baud = Choice(kBaudChoices, settings.baud);
    settings.parity = Choice(kParityChoices, settings.parity);
    settings.dataBits = Choice(kDataBitsChoices, settings.dataBits);
    settings.stopBits = Choice(kStopBitsChoices, settings.stopBits);
    std::string problem = ValidatePortForm(port, settings.baud, settings.parity, settings.dataBits,
                                           settings.stopBits);
    if (!problem.empty()) {
        Fail(problem);  // the form's own message
        return kExitUsage;
    }
    settings.port = static_cast<uint16_t>(port);
    if (!SavePortSettings(settings)) {
        return Fail("the port settings could not be stored in " + UserSettingsPath());
    }
    std::printf("Stored in %s:\n", TerminalText(UserSettingsPath()).c_str());
    std::printf(
        "  COM Port   %d\n  Baud Rate  %s\n  Parity     %s\n  Data bits  %s\n"
        "  Stop bits  %s\n",
        port, settings.baud.c_str(), settings.parity.c_str(), settings.dataBits.c_str(),
        settings.stopBits.c_str());
    return 0;
}

int SetPassword() {
    std::string stored;
    ReadStoredPassword(stored);
    CliUser user;
    user.quiet = true;
    if (!stored.empty()) {
        user.existingPassword = ReadPasswordFrom("KVR_OLD_PASSWORD", "Existing password: ");
        if (!user.existingPassword) {
            return Fail(
                "a password is set: give the existing one in KVR_OLD_PASSWORD or on standard "
                "input");
        }
    }
    user.password = ReadPassword("New password: ");
    if (!user.password) {
        return Fail(kPasswordNeeded);
    }
    bool entered = false;
    {
        ScopedSeams seam(Seams{.user = &user});
        entered = PasswordCommand();
    }
    if (!entered) {
        // A wrong existing password has been reported by the seam ("Incorrect Password").
        return user.unanswered ? Fail(*user.unanswered) : 1;
    }
    std::string now;
    if (!ReadStoredPassword(now) || now != *user.password) {
        return Fail("the password could not be stored in " + UserSettingsPath());
    }
    std::printf("password set%s\n",
                user.password->empty() ? " (empty: downloads need no password)" : "");
    return 0;
}

int CheckPasswordCommand() {
    std::string stored;
    // A stored empty password counts as none, as for the password command.
    if (!ReadStoredPassword(stored) || stored.empty()) {
        return Fail("no password is set (set one with 'kvrctl password set')");
    }
    std::optional<std::string> password = ReadPassword("Password: ");
    if (!password) {
        return Fail(kPasswordNeeded);
    }
    SetRunPassword(*password);
    if (!CheckPassword()) {
        return Fail("password does not match");
    }
    std::printf("password matches\n");
    return 0;
}

}  // namespace

int Settings(const Options&, const std::vector<std::string>& args) {
    if (args.empty()) {
        return ShowSettings();
    }
    if (args[0] == "set-port") {
        return SetPort(args);
    }
    return UsageError("settings", "unexpected argument '" + args[0] + "'");
}

int Password(const Options&, const std::vector<std::string>& args) {
    if (args.size() == 1 && args[0] == "set") {
        return SetPassword();
    }
    if (args.size() == 1 && args[0] == "check") {
        return CheckPasswordCommand();
    }
    return UsageError("password", args.empty() ? std::string("expected 'set' or 'check'")
                                               : "unexpected argument '" + args[0] + "'");
}

CommandRows SettingsCommandRows() {
    static const CommandRow kRows[] = {
        {"settings", 100, Settings, "where the settings are kept, every stored value; set the port",
         "usage: kvrctl settings\n"
         "       kvrctl settings set-port N [--baud B] [--parity P] [--data-bits D]\n"
         "                                  [--stop-bits S]\n"
         "\n"
         "Without arguments: where the settings are kept, and every stored value. set-port\n"
         "checks and stores the transmission setup (port number N from 1 to 32) that commands\n"
         "without port options use.\n"},
        {"password", 110, Password, "set the configuration password, or check one",
         "usage: kvrctl password set | check\n"
         "\n"
         "Sets the configuration password that downloads ask for, or checks one. The password\n"
         "comes from KVR_PASSWORD (the existing one, when changing it, from KVR_OLD_PASSWORD)\n"
         "or is typed on standard input without echo.\n"},
    };
    return kRows;
}

}  // namespace kvr::cli
