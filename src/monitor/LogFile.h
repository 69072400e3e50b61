// The monitor log file: a semicolon-separated text file with one header line naming the
// monitors and one data line per logging interval; every line ends in CR LF. Also the
// rules of the log-file chooser's "Logging Interval (sec) :" field.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "document/QRLDoc.h"
#include "measure/MeasuredEntity.h"

namespace kvr {

// The logging interval value that means "no log".
inline constexpr uint32_t kNoLogInterval = 0xFFFFFFFFu;
inline constexpr uint32_t kDefaultLogIntervalMs = 5000;
// The longest interval the chooser accepts. Far below the "no log" value, so that an
// accepted interval is never mistaken for it.
inline constexpr uint32_t kMaxLogIntervalMs = 0x7FFFFFFFu;

inline constexpr const char* kLogLineEnd = "\r\n";
inline constexpr const char* kInvalidValueText = "Invalid";
inline constexpr const char* kLogErrorTitle = "Log file error";
inline constexpr const char* kLogErrorPrefix = "The OS returned ";
inline constexpr const char* kLogChooserTitle = "Select Log File";
inline constexpr const char* kLogChooserFilter = "KVR log files (*.log)|*.log||";
inline constexpr const char* kLogChooserDefaultExt = "*.log";
inline constexpr const char* kLogIntervalLabel = "Logging Interval (sec) :";
inline constexpr const char* kInvalidIntervalTitle = "Invalid logging interval";
inline constexpr const char* kIntervalNotPositive =
    "Please enter a number of seconds greater than zero for the logging interval.";
inline constexpr const char* kIntervalTooLong =
    "Please enter a number of seconds not above 2147483.647 for the logging interval.";

// Why a line could not be appended; the numbers index the error texts.
enum class LogFileError {
    none = 0,
    generic = 1,
    fileNotFound = 2,
    badPath = 3,
    tooManyOpenFiles = 4,
    accessDenied = 5,
    invalidFile = 6,
    removeCurrentDir = 7,
    directoryFull = 8,
    badSeek = 9,
    hardIO = 10,
    sharingViolation = 11,
    lockViolation = 12,
    diskFull = 13,
    endOfFile = 14,
};

// The cause's name padded to 17 characters and its description; the generic text for a
// cause outside the table.
const char* LogFileErrorText(LogFileError cause);
// The cause for a system error number of an open or a write.
LogFileError LogFileErrorFromErrno(int error);

// "Date;     Time;     ", then per monitor its label, " (", unit, ");   " (or
// "Invalid!;   " for a monitor the attached unit does not have), then the line end.
std::string LogHeaderLine(const CQRLDoc& doc);

// A moment of local time with its milliseconds.
struct LogTime {
    std::tm local{};
    int millis = 0;
};
LogTime LocalTimeNow();

// The value a display text stands for, in the entity's base unit: false for "Invalid" and
// for a text that does not read back as a value of the entity (none read yet).
bool LoggedValue(const std::string& text, MeasuredEntity e, double& value);

// One data line: the local date (the locale's date format), "; ", the time as
// "HH:MM:SS.mmm " on the 24-hour clock, "; ", then per monitor "Invalid; " or the value in
// the entity's base unit with "%.3f ;", then the line end. texts[i] is the display text
// of monitor i, as the reading thread wrote it; a text LoggedValue refuses is logged as
// "Invalid". No AM/PM designator: with the 24-hour hours it would only contradict them
// ("20:43:36.923 PM").
std::string LogDataLine(const LogTime& time, const std::vector<MeasuredEntity>& entities,
                        const std::vector<std::string>& texts);

// A line of its own for an event between data lines (the line lost, the line back): the
// date and time as a data line has them, then the note and the line end.
std::string LogNoteLine(const LogTime& time, const std::string& note);

// Creates the file (or empties it) and writes the header for the document's monitors;
// `header`, when given, receives the header line. False only when the file cannot be
// created or written.
bool StartLog(const CQRLDoc& doc, const std::string& path, std::string* header = nullptr);
// Appends a line to an existing file; a missing file is an error (fileNotFound). False
// with the cause when the file cannot be opened or the line not written whole.
bool AppendLine(const std::string& path, const std::string& line, LogFileError& cause);

// The chooser's field on opening: "%.3f" of the interval in seconds (4294967.295 for
// the "no log" value).
std::string FormatLogIntervalField(uint32_t intervalMs);
// The field's check when a file name is confirmed: seconds (a decimal number, nothing
// after it but blanks) times 1000, truncated to whole milliseconds. Empty, zero,
// negative, unreadable and over-long intervals are refused with the message to show.
bool ParseLogIntervalField(const std::string& text, uint32_t& intervalMs, std::string& message);
// The same, showing the message (titled "Invalid logging interval", exclamation icon)
// when refused: the chooser then stays open.
bool ConfirmLogIntervalField(const std::string& text, uint32_t& intervalMs);

}  // namespace kvr
