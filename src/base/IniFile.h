// Read-only access to "QRL.ini". The file is read afresh on every call: there is no
// cache, so an edit takes effect at the next read. The program never writes it. A file
// that is not a regular file or is larger than 1 MiB reads as empty.
//
// Location: the environment variable KVR_QRL_INI when set (tests), else
// /etc/kvr-view/QRL.ini.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kvr {

inline constexpr const char* kQrlIniSystemPath = "/etc/kvr-view/QRL.ini";
inline constexpr const char* kSectionKvrView = "KVR View";
inline constexpr const char* kKeyDownloadDelay = "KVR Download Delay";

std::string QrlIniPath();

// The text of a key in a section of an INI file; section and key names compare without
// regard to case, surrounding blanks are trimmed. Nothing when the file, section or key
// is missing.
std::optional<std::string> ReadIniString(const std::string& path, const std::string& section,
                                         const std::string& key);
// The same on the text of an INI file.
std::optional<std::string> FindIniValue(std::string_view text, const std::string& section,
                                        const std::string& key);
// An integer key: its leading decimal number (with optional sign); the default when the
// key is missing or does not start with a number.
long ReadIniInt(const std::string& path, const std::string& section, const std::string& key,
                long defaultValue);

// Shorthands on "QRL.ini".
long QrlIniInt(const std::string& section, const std::string& key, long defaultValue);
std::optional<std::string> QrlIniString(const std::string& section, const std::string& key);

// The wait between writing a record and reading its acknowledge, in ms (default 100;
// negative values count as 0).
unsigned DownloadDelayMs();

}  // namespace kvr
