// CRegistry: the settings store. Per-user values live in one typed, human-readable file
// per user, written atomically and readable by the user only; the machine-wide and
// file-class values (read only) come from a system file. Every operation opens the store,
// does its work and closes it again; nothing is cached.
//
// Result codes: 0 done; 1 the key cannot be opened or created, the value is missing or
// has another type; 2 a write was refused; 3 a byte block is larger than the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

enum class RegRoot { CurrentUser, LocalMachine, ClassesRoot };

inline constexpr int kRegOk = 0;
inline constexpr int kRegMissing = 1;
inline constexpr int kRegRefused = 2;
inline constexpr int kRegTooLarge = 3;

// Keys and values of the program.
inline constexpr const char* kKeyPreferences = "Software\\Corvane\\KVR View\\Preferences";
inline constexpr const char* kKeyConfiguration = "Software\\Corvane\\KVR View\\Configuration";
inline constexpr const char* kKeyMsInfo = "Software\\Microsoft\\Shared Tools\\MSInfo";
inline constexpr const char* kKeyPrintTo = "wrifile\\shell\\printto\\command";
inline constexpr const char* kValComPort = "COM Port";
inline constexpr const char* kValBaudRate = "Baud Rate";
inline constexpr const char* kValParity = "Parity";
inline constexpr const char* kValDataBits = "Data bits";
inline constexpr const char* kValStopBits = "Stop bits";
inline constexpr const char* kValWindowPosition = "Window Position";
inline constexpr const char* kValMonitorCount = "Monitor Count";
inline constexpr const char* kValMonitorEntities = "Monitor Entities";
inline constexpr const char* kValMonitorChannels = "Monitor Channels";
inline constexpr const char* kValCalibrationPrefs = "Calibration Prefs";
// The address of a single KVR 100 (0 to 2) that kvrctl uses when none is given.
inline constexpr const char* kValKvr100Address = "KVR100 Address";
inline constexpr const char* kValPassword = "Password";
inline constexpr const char* kValPath = "Path";
inline constexpr const char* kValDefault = "";  // a key's default value
inline constexpr size_t kWindowPositionSize = 44;

// Where the stores are: the per-user file ($KVR_SETTINGS_FILE, else
// $XDG_CONFIG_HOME/kvr-view/settings.reg, else ~/.config/kvr-view/settings.reg) and the
// read-only system file ($KVR_SYSTEM_SETTINGS_FILE, else /etc/kvr-view/system.reg).
std::string UserSettingsPath();
std::string SystemSettingsPath();

class CRegistry {
  public:
    static int ReadString(RegRoot root, const std::string& key, const std::string& name,
                          std::string& out);
    static int ReadDword(RegRoot root, const std::string& key, const std::string& name,
                         uint32_t& out);
    // size: in, the buffer's capacity; out, the size read.
    static int ReadBytes(RegRoot root, const std::string& key, const std::string& name,
                         uint8_t* buffer, size_t& size);
    static int WriteString(RegRoot root, const std::string& key, const std::string& name,
                           const std::string& text);
    static int WriteDword(RegRoot root, const std::string& key, const std::string& name,
                          uint32_t value);
    static int WriteBytes(RegRoot root, const std::string& key, const std::string& name,
                          const uint8_t* data, size_t length);
    // Creates the key (and its parents) when missing; false when it cannot.
    static bool CreateKey(RegRoot root, const std::string& key);
};

// The values of one user action, written to the per-user store together: one
// read-modify-write, so a kill or a failure leaves all of them or none. Collect with the
// Write calls, then Commit once.
class CRegistryBatch {
  public:
    void WriteString(const std::string& key, const std::string& name, const std::string& text);
    void WriteDword(const std::string& key, const std::string& name, uint32_t value);
    void WriteBytes(const std::string& key, const std::string& name, const uint8_t* data,
                    size_t length);
    // kRegOk; kRegMissing when a key cannot be created, kRegRefused when the store cannot
    // be written (nothing is written in either case). The batch is empty afterwards.
    int Commit();

  private:
    struct Write {
        std::string key;
        std::string name;
        char type = 's';  // 's' string, 'd' dword, 'b' bytes
        std::string text;
        uint32_t dword = 0;
        std::vector<uint8_t> bytes;
    };
    std::vector<Write> writes_;
};

// The store's parser and writer on a text rather than the file (for the fuzzing target
// and the benchmark): the values of a key as a read sees them, and the text that setting
// one value would write.
struct StoredValue;
std::vector<StoredValue> ListStoredValuesInText(std::string_view text, const std::string& key);
std::string SetDwordInText(std::string_view text, const std::string& key, const std::string& name,
                           uint32_t value);

}  // namespace kvr
