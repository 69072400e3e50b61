#include "monitor/LogFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "base/UserSeam.h"
#include "measure/EntityChannel.h"
#include "measure/MeasuredValue.h"

namespace kvr {

namespace {

const char* const kErrorTexts[] = {
    "none             No error occurred.",
    "generic          An unspecified error occurred.",
    "fileNotFound     The file could not be located.",
    "badPath          All or part of the path is invalid.",
    "tooManyOpenFiles The permitted number of open files was exceeded.",
    "accessDenied     The file could not be accessed, file may be read only.",
    "invalidFile      There was an attempt to use an invalid file handle.",
    "removeCurrentDir The current working directory cannot be removed.",
    "directoryFull    There are no more directory entries.",
    "badSeek          There was an error trying to set the file pointer.",
    "hardIO           There was a hardware error.",
    "sharingViolation SHARE.EXE was not loaded, or a shared region was locked.",
    "lockViolation    There was an attempt to lock a region that was already locked.",
    "diskFull         The disk is full.",
    "endOfFile        The end of file was reached.",
};

std::string Strftime(const char* format, const std::tm& t) {
    char buffer[128];
    const size_t n = std::strftime(buffer, sizeof buffer, format, &t);
    return std::string(buffer, n);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Writes all of it, resuming after a signal or a partial write.
bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

const char* LogFileErrorText(LogFileError cause) {
    const auto index = static_cast<size_t>(cause);
    return index < std::size(kErrorTexts) ? kErrorTexts[index] : kErrorTexts[1];
}

LogFileError LogFileErrorFromErrno(int error) {
    switch (error) {
        case 0:
            return LogFileError::none;
        case ENOENT:
            return LogFileError::fileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return LogFileError::badPath;
        case EMFILE:
        case ENFILE:
            return LogFileError::tooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return LogFileError::accessDenied;
        case EBADF:
            return LogFileError::invalidFile;
        case ESPIPE:
            return LogFileError::badSeek;
        case EIO:
            return LogFileError::hardIO;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return LogFileError::diskFull;
        default:
            return LogFileError::generic;
    }
}

std::string LogHeaderLine(const CQRLDoc& doc) {
    std::string line = "Date;     Time;     ";
    const MonitorList& monitors = doc.Monitors();
    for (size_t i = 0; i < monitors.Size(); ++i) {
        const MeasuredEntity e = monitors.EntityAt(i);
        std::string label;
        if (DescribeEntityChannel(doc, e, monitors.channels[i], label, true, false)) {
            line += label + " (" + EntityUnit(e) + ");   ";
        } else {
            line += "Invalid!;   ";
        }
    }
    return line + kLogLineEnd;
}

LogTime LocalTimeNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    LogTime t;
    localtime_r(&seconds, &t.local);
    t.millis = static_cast<int>(ms % 1000);
    return t;
}

bool LoggedValue(const std::string& text, MeasuredEntity e, double& value) {
    // "Invalid" as delivered; an empty text means nothing was read yet, which must not
    // appear as a measured 0.
    const MeasuredValue parsed(text, e);
    if (text == kInvalidValueText || !parsed.IsValid()) {
        return false;
    }
    value = parsed.GetValue();
    return true;
}

std::string LogDataLine(const LogTime& time, const std::vector<MeasuredEntity>& entities,
                        const std::vector<std::string>& texts) {
    char millis[16];
    std::snprintf(millis, sizeof millis, "%.3d ", time.millis);
    std::string line =
        Strftime("%x", time.local) + "; " + Strftime("%H:%M:%S.", time.local) + millis + "; ";
    for (size_t i = 0; i < entities.size(); ++i) {
        double value = 0;
        if (i < texts.size() && LoggedValue(texts[i], entities[i], value)) {
            line += FormatFixed(value, 0, 3) + " ;";
        } else {
            line += std::string(kInvalidValueText) + "; ";
        }
    }
    return line + kLogLineEnd;
}

std::string LogNoteLine(const LogTime& time, const std::string& note) {
    char millis[16];
    std::snprintf(millis, sizeof millis, "%.3d ", time.millis);
    return Strftime("%x", time.local) + "; " + Strftime("%H:%M:%S.", time.local) + millis + "; " +
           note + kLogLineEnd;
}

bool StartLog(const CQRLDoc& doc, const std::string& path, std::string* header) {
    const std::string line = LogHeaderLine(doc);
    if (header != nullptr) {
        *header = line;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    out << line;
    out.close();
    return !out.fail();
}

bool AppendLine(const std::string& path, const std::string& line, LogFileError& cause) {
    // No O_CREAT: a file deleted while logging is an error, not a new headerless file.
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        cause = LogFileErrorFromErrno(errno);
        return false;
    }
    const bool written = WriteAll(fd, line);
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        cause = LogFileErrorFromErrno(written ? errno : writeError);
        if (cause == LogFileError::none) {
            cause = LogFileError::generic;
        }
        return false;
    }
    cause = LogFileError::none;
    return true;
}

std::string FormatLogIntervalField(uint32_t intervalMs) {
    return FormatFixed(static_cast<double>(intervalMs) / 1000.0, 0, 3);
}

bool ParseLogIntervalField(const std::string& text, uint32_t& intervalMs, std::string& message) {
    double seconds = 0;
    size_t end = 0;
    bool readable = ParseLeadingNumber(text, seconds, end);
    for (size_t i = end; readable && i < text.size(); ++i) {
        readable = IsBlank(text[i]);
    }
    // Whole milliseconds, truncated toward zero: 0.0004 s is 0 ms and refused.
    const double ms = readable ? std::trunc(seconds * 1000.0) : 0.0;
    if (!readable || !(ms > 0)) {
        message = kIntervalNotPositive;
        return false;
    }
    if (ms > static_cast<double>(kMaxLogIntervalMs)) {
        message = kIntervalTooLong;
        return false;
    }
    intervalMs = static_cast<uint32_t>(ms);
    message.clear();
    return true;
}

bool ConfirmLogIntervalField(const std::string& text, uint32_t& intervalMs) {
    std::string message;
    if (ParseLogIntervalField(text, intervalMs, message)) {
        return true;
    }
    AppMessageBox(message, MsgIcon::Warning, MsgButtons::Ok, kInvalidIntervalTitle);
    return false;
}

}  // namespace kvr
