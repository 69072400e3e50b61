#include "base/Settings.h"

#include <algorithm>
#include <climits>

#include "base/Bytes.h"
#include "base/IniFile.h"

namespace kvr {

std::array<uint8_t, kWindowPositionSize> EncodeWindowPlacement(const WindowPlacement& p) {
    std::array<uint8_t, kWindowPositionSize> out{};
    const uint32_t fields[] = {p.length,
                               p.flags,
                               p.showState,
                               static_cast<uint32_t>(p.minX),
                               static_cast<uint32_t>(p.minY),
                               static_cast<uint32_t>(p.maxX),
                               static_cast<uint32_t>(p.maxY),
                               static_cast<uint32_t>(p.left),
                               static_cast<uint32_t>(p.top),
                               static_cast<uint32_t>(p.right),
                               static_cast<uint32_t>(p.bottom)};
    static_assert(sizeof fields == kWindowPositionSize);
    for (size_t i = 0; i < std::size(fields); ++i) {
        PutU32(out.data() + 4 * i, fields[i]);
    }
    return out;
}

bool DecodeWindowPlacement(const uint8_t* data, size_t size, WindowPlacement& p) {
    // A placement of another size or with another length field is not one the window
    // system would take; the window then opens centred.
    if (size != kWindowPositionSize || GetU32(data) != kWindowPositionSize) {
        return false;
    }
    p.length = GetU32(data);
    p.flags = GetU32(data + 4);
    p.showState = GetU32(data + 8);
    p.minX = GetS32(data + 12);
    p.minY = GetS32(data + 16);
    p.maxX = GetS32(data + 20);
    p.maxY = GetS32(data + 24);
    p.left = GetS32(data + 28);
    p.top = GetS32(data + 32);
    p.right = GetS32(data + 36);
    p.bottom = GetS32(data + 40);
    return true;
}

bool ReadWindowPosition(WindowPlacement& p) {
    std::array<uint8_t, kWindowPositionSize> buffer{};
    size_t size = buffer.size();
    if (CRegistry::ReadBytes(RegRoot::CurrentUser, kKeyPreferences, kValWindowPosition,
                             buffer.data(), size) != kRegOk) {
        return false;
    }
    return DecodeWindowPlacement(buffer.data(), size, p);
}

bool WriteWindowPosition(const WindowPlacement& p) {
    auto bytes = EncodeWindowPlacement(p);
    return CRegistry::WriteBytes(RegRoot::CurrentUser, kKeyPreferences, kValWindowPosition,
                                 bytes.data(), bytes.size()) == kRegOk;
}

bool ReadMonitorList(uint16_t& count, MonitorBytes& entities, MonitorBytes& channels) {
    uint32_t stored = 0;
    const bool countRead = CRegistry::ReadDword(RegRoot::CurrentUser, kKeyPreferences,
                                                kValMonitorCount, stored) == kRegOk;
    // A count beyond the 60 entries would make the list read past its arrays.
    count = countRead ? static_cast<uint16_t>(std::min<uint32_t>(stored & 0xFFFFu, kStoredMonitors))
                      : 0;
    for (auto [name, array] :
         {std::pair{kValMonitorEntities, &entities}, std::pair{kValMonitorChannels, &channels}}) {
        size_t size = array->size();
        CRegistry::ReadBytes(RegRoot::CurrentUser, kKeyPreferences, name, array->data(), size);
    }
    return countRead;
}

bool WriteMonitorList(uint16_t count, const MonitorBytes& entities, const MonitorBytes& channels) {
    // One write for the three values: a count never goes with the arrays of another list.
    CRegistryBatch batch;
    batch.WriteDword(kKeyPreferences, kValMonitorCount, count);
    batch.WriteBytes(kKeyPreferences, kValMonitorEntities, entities.data(), entities.size());
    batch.WriteBytes(kKeyPreferences, kValMonitorChannels, channels.data(), channels.size());
    return batch.Commit() == kRegOk;
}

bool ReadCalibrationPrefs(CalibrationPrefs& prefs) {
    std::string text;
    if (CRegistry::ReadString(RegRoot::CurrentUser, kKeyPreferences, kValCalibrationPrefs, text) !=
        kRegOk) {
        return false;
    }
    CalibrationPrefs fields;
    size_t start = 0;
    for (std::string& field : fields) {
        size_t semi = text.find(';', start);
        if (semi == std::string::npos) {
            return false;  // fewer than six fields: nothing to recall
        }
        field = text.substr(start, semi - start);
        start = semi + 1;
    }
    prefs = fields;
    return true;
}

bool WriteCalibrationPrefs(const CalibrationPrefs& prefs) {
    std::string text;
    for (const std::string& field : prefs) {
        if (field.find(';') != std::string::npos) {
            return false;
        }
        text += field + ';';
    }
    return CRegistry::WriteString(RegRoot::CurrentUser, kKeyPreferences, kValCalibrationPrefs,
                                  text) == kRegOk;
}

bool ReadWriteEveryBoard() {
    uint32_t value = 0;
    return CRegistry::ReadDword(RegRoot::CurrentUser, kKeyPreferences, kValWriteEveryBoard,
                                value) == kRegOk &&
           value != 0;
}

bool WriteWriteEveryBoard(bool every) {
    return CRegistry::WriteDword(RegRoot::CurrentUser, kKeyPreferences, kValWriteEveryBoard,
                                 every ? 1 : 0) == kRegOk;
}

std::optional<std::string> ReadMsInfoPath() {
    std::string path;
    if (CRegistry::ReadString(RegRoot::LocalMachine, kKeyMsInfo, kValPath, path) != kRegOk) {
        return std::nullopt;
    }
    return path;
}

std::optional<std::string> ReadPrintToCommand() {
    std::string command;
    if (CRegistry::ReadString(RegRoot::ClassesRoot, kKeyPrintTo, kValDefault, command) != kRegOk) {
        return std::nullopt;
    }
    return command;
}

std::string ReadCountry() {
    std::optional<std::string> country = QrlIniString(kSectionCountry, kKeyCountry);
    if (!country) {
        return kDefaultCountry;
    }
    if (country->size() > kCountryMaxChars) {
        country->resize(kCountryMaxChars);
    }
    return *country;
}

unsigned MonitorReadIntervalMs() {
    long ms = QrlIniInt(kSectionKvrView, kKeyMonitorReadInterval, 0);
    return static_cast<unsigned>(std::clamp<long>(ms, 0, UINT_MAX));
}

const std::vector<SettingInfo>& SettingsTable() {
    static const std::vector<SettingInfo> table = {
        {RegRoot::CurrentUser, kKeyPreferences, kValComPort, StoredType::Dword, 4,
         "no port chosen: the first device command shows the port form"},
        {RegRoot::CurrentUser, kKeyPreferences, kValBaudRate, StoredType::String, 0, "9600"},
        {RegRoot::CurrentUser, kKeyPreferences, kValParity, StoredType::String, 0, "None"},
        {RegRoot::CurrentUser, kKeyPreferences, kValDataBits, StoredType::String, 0, "8"},
        {RegRoot::CurrentUser, kKeyPreferences, kValStopBits, StoredType::String, 0, "1"},
        {RegRoot::CurrentUser, kKeyPreferences, kValWindowPosition, StoredType::Bytes,
         kWindowPositionSize, "the main window opens centred"},
        {RegRoot::CurrentUser, kKeyPreferences, kValMonitorCount, StoredType::Dword, 4,
         "no monitors"},
        {RegRoot::CurrentUser, kKeyPreferences, kValMonitorEntities, StoredType::Bytes,
         kStoredMonitors, "no monitors"},
        {RegRoot::CurrentUser, kKeyPreferences, kValMonitorChannels, StoredType::Bytes,
         kStoredMonitors, "no monitors"},
        {RegRoot::CurrentUser, kKeyPreferences, kValCalibrationPrefs, StoredType::String, 0,
         "no recalled calibration values"},
        {RegRoot::CurrentUser, kKeyPreferences, kValWriteEveryBoard, StoredType::Dword, 4,
         "a download skips boards that already hold the configuration"},
        {RegRoot::CurrentUser, kKeyPreferences, kValKvr100Address, StoredType::Dword, 4,
         "kvrctl asks a single KVR 100 at address 0"},
        {RegRoot::CurrentUser, kKeyConfiguration, kValPassword, StoredType::String, 0,
         "no password set"},
        {RegRoot::LocalMachine, kKeyMsInfo, kValPath, StoredType::String, 0,
         "\"System Info...\" disabled"},
        {RegRoot::ClassesRoot, kKeyPrintTo, kValDefault, StoredType::String, 0, "no printing"},
    };
    return table;
}

const std::vector<IniSettingInfo>& IniSettingsTable() {
    static const std::vector<IniSettingInfo> table = {
        {kSectionKvrView, kKeyDownloadDelay, "100"},
        {kSectionKvrView, kKeyMonitorReadInterval, "0"},
        {kSectionCountry, kKeyCountry, kDefaultCountry},
    };
    return table;
}

const char* StoredTypeName(StoredType type) {
    switch (type) {
        case StoredType::String:
            return "string";
        case StoredType::Dword:
            return "dword";
        case StoredType::Bytes:
            return "bytes";
        case StoredType::Invalid:
            break;
    }
    return "unreadable";
}

}  // namespace kvr
