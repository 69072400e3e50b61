// Typed access to every stored setting of the program, with the fallback each caller uses
// when a value is missing, and to the tuning values of "QRL.ini". The port settings have
// their own load and save in link/PortSetup.h; the password in document/Password.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Registry.h"

namespace kvr {

// --- "Window Position": the main window's placement, 44 bytes of 32-bit fields ----------
inline constexpr uint32_t kPlacementRestoreToMaximized = 2;  // flags bit
inline constexpr uint32_t kShowNormal = 1;
inline constexpr uint32_t kShowMinimized = 2;
inline constexpr uint32_t kShowMaximized = 3;

struct WindowPlacement {
    uint32_t length = kWindowPositionSize;
    uint32_t flags = 0;
    uint32_t showState = kShowNormal;
    int32_t minX = 0, minY = 0;                        // minimised position
    int32_t maxX = 0, maxY = 0;                        // maximised position
    int32_t left = 0, top = 0, right = 0, bottom = 0;  // normal rectangle
    bool operator==(const WindowPlacement&) const = default;
};

std::array<uint8_t, kWindowPositionSize> EncodeWindowPlacement(const WindowPlacement& p);
// False unless exactly 44 bytes whose length field says 44.
bool DecodeWindowPlacement(const uint8_t* data, size_t size, WindowPlacement& p);
// False (the window opens centred) when the value is missing, has another type or size.
bool ReadWindowPosition(WindowPlacement& p);
bool WriteWindowPosition(const WindowPlacement& p);

// --- the saved monitor list --------------------------------------------------------------
inline constexpr size_t kStoredMonitors = 60;
using MonitorBytes = std::array<uint8_t, kStoredMonitors>;

// "Monitor Count" (its low 16 bits, clamped to the 60 entries the arrays hold; 0 when it
// cannot be read), then "Monitor Entities" and "Monitor Channels" into the arrays, at
// most 60 bytes each: entries beyond what was read keep their values, and a failed read
// of an array is ignored. True when the count was read.
bool ReadMonitorList(uint16_t& count, MonitorBytes& entities, MonitorBytes& channels);
// Writes the count and both whole arrays (always 60 bytes) in one write of the store;
// true when they were written.
bool WriteMonitorList(uint16_t count, const MonitorBytes& entities, const MonitorBytes& channels);

// --- "Calibration Prefs": the six last references, each followed by ";" ------------------
inline constexpr size_t kCalibrationPrefs = 6;
using CalibrationPrefs = std::array<std::string, kCalibrationPrefs>;
// True when a text with six ";"-terminated fields was read; prefs unchanged otherwise.
bool ReadCalibrationPrefs(CalibrationPrefs& prefs);
// False (nothing written) when a field holds a ";", which would not read back.
bool WriteCalibrationPrefs(const CalibrationPrefs& prefs);

// --- "Write Every Board": a download writes every board, also one already equal -------
inline constexpr const char* kValWriteEveryBoard = "Write Every Board";
// False (boards that already hold the configuration are not written again) when the value
// is missing or has another type.
bool ReadWriteEveryBoard();
bool WriteWriteEveryBoard(bool every);

// --- read-only machine values -------------------------------------------------------------
// The system-information program's path; nothing: "System &Info..." is disabled.
std::optional<std::string> ReadMsInfoPath();
// The word processor's print-to command line; nothing: no printing.
std::optional<std::string> ReadPrintToCommand();

// --- "QRL.ini", read afresh on every call --------------------------------------------------
inline constexpr const char* kSectionCountry = "Country";
inline constexpr const char* kKeyCountry = "Country";
inline constexpr const char* kKeyMonitorReadInterval = "Monitor Read Interval";
inline constexpr const char* kDefaultCountry = "us";
inline constexpr size_t kCountryMaxChars = 1023;

// "Country" in section "Country": "us" when missing, at most 1023 characters, case kept.
std::string ReadCountry();
// "Monitor Read Interval" in section "KVR View": 0 when missing; negative counts as 0.
unsigned MonitorReadIntervalMs();

// --- the table of stored values, for listings ----------------------------------------------
enum class StoredType { String, Dword, Bytes, Invalid };

struct SettingInfo {
    RegRoot root;
    const char* key;
    const char* name;
    StoredType type;
    size_t size;              // byte blocks: the length the program writes
    const char* whenMissing;  // what the program does without it
};
const std::vector<SettingInfo>& SettingsTable();

struct IniSettingInfo {
    const char* section;
    const char* key;
    const char* defaultText;
};
const std::vector<IniSettingInfo>& IniSettingsTable();

// A value as the store holds it now (the store's parser, in Registry.cpp).
struct StoredValue {
    std::string name;
    StoredType type = StoredType::Invalid;  // Invalid: unknown type or bad encoding
    std::string text;
    uint32_t dword = 0;
    std::vector<uint8_t> bytes;
};
// Every value of a key in file order; of a name given more than once, only the last.
// Empty when the key or the file is missing.
std::vector<StoredValue> ListStoredValues(RegRoot root, const std::string& key);
bool StoredKeyExists(RegRoot root, const std::string& key);

const char* StoredTypeName(StoredType type);

}  // namespace kvr
