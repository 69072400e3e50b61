// The byte line beneath CSerialPort: a termios device in production, a pseudo-terminal to
// kvr-sim in end-to-end tests, or an in-process simulated line in logic tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kvr {

// Line settings already parsed from the port settings' texts.
struct LineSettings {
    unsigned baud = 9600;
    char parity = 'N';  // 'N', 'E' or 'O'
    int dataBits = 8;
    int stopBits = 1;
};

class ISerialLine {
  public:
    virtual ~ISerialLine() = default;
    // Reads up to n bytes. Returns as soon as n bytes have arrived, when more than
    // intervalMs pass after a received byte without another, or when totalMs have passed
    // since the call. Gives the count received, or -1 when the read itself failed (the
    // line is gone); a timeout is a short count, not a failure.
    virtual long Read(uint8_t* buffer, size_t n, unsigned intervalMs, unsigned totalMs) = 0;
    // Writes n bytes, waiting at most totalMs for them to leave. Gives the count accepted
    // or -1 on failure.
    virtual long Write(const uint8_t* data, size_t n, unsigned totalMs) = 0;
    // Discards everything queued in both directions.
    virtual bool Purge() = 0;
    virtual bool SetDtr(bool on) = 0;
    // True once the other end has gone away; the port then closes itself.
    virtual bool HungUp() const = 0;
};

// Opens a serial device (or pseudo-terminal) for exclusive use with the given settings.
// On failure gives null and a one-line reason in `error`.
std::unique_ptr<ISerialLine> OpenTermiosLine(const std::string& path, const LineSettings& settings,
                                             std::string& error);

// The termios speed code (speed_t) of a baud rate; B0 (0) when unsupported.
unsigned TermiosSpeed(unsigned baud);

// Parses the settings texts of the port settings form ("9600", "None", "8", "1").
// Gives false and a reason for a text that names no valid setting.
bool ParseLineSettings(const std::string& baud, const std::string& parity,
                       const std::string& dataBits, const std::string& stopBits, LineSettings& out,
                       std::string& error);

}  // namespace kvr
