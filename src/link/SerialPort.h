// CSerialPort: the one blocking gateway between the program and the attached units.
// It takes no lock of its own: callers hold DeviceLock around every exchange.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/SerialLine.h"

namespace kvr {

// Port settings as the transmission setup form edits them.
struct PortSettings {
    uint16_t port = 0;  // 1 to 32; 0 = none chosen
    std::string baud = "9600";
    std::string dataBits = "8";
    std::string parity = "None";
    std::string stopBits = "1";
    // A device path that takes the place of the port number (kvrctl --device, tests).
    std::string device;
    bool changed = false;  // set by the form when the stop-bits choice changes
};

// Timeouts of the line, in milliseconds.
inline constexpr unsigned kReadIntervalMs = 500;
inline constexpr unsigned kReadTotalPerByteMs = 5;
inline constexpr unsigned kReadTotalConstantMs = 1000;
inline constexpr unsigned kWriteTotalPerByteMs = 10;
inline constexpr unsigned kWriteTotalConstantMs = 100;
// After the line was lost, the next command waits this long for the device to come back,
// trying every kReconnectPollMs; later commands try once, until it is back.
inline constexpr unsigned kReconnectWaitMs = 3000;
inline constexpr unsigned kReconnectPollMs = 250;

// Closed (never opened, or closed on purpose), open, or lost: the device went away under
// an open line (an unplugged adapter: a hang-up, EIO, ENODEV). A lost port reopens the
// same device by its stable name when that comes back.
enum class LineState { Closed, Open, Lost };

class CSerialPort {
  public:
    // Opens a line for a device path with parsed settings; the default opens a termios
    // device. Tests put an in-process simulated line here.
    using LineOpener = std::function<std::unique_ptr<ISerialLine>(
        const std::string& device, const LineSettings& settings, std::string& error)>;
    // What EnsureOpen does when the stored settings do not open (the settings form).
    using OpenFallback = std::function<bool(CSerialPort&)>;

    CSerialPort();
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens port number 1 to 32 (mapped to a device file) with the given settings texts.
    bool Open(uint16_t port, const std::string& baud, const std::string& parity,
              const std::string& dataBits, const std::string& stopBits);
    // Opens a device path directly.
    bool OpenDevice(const std::string& path, const std::string& baud, const std::string& parity,
                    const std::string& dataBits, const std::string& stopBits);
    // False and nothing done when already closed. A lost line counts as closed on purpose
    // from here on.
    bool Close();
    bool IsOpen() const { return line_ != nullptr; }
    LineState State() const;
    bool LineLost() const { return State() == LineState::Lost; }
    // The device of the lost line, and the name it is reopened by (its stable name where
    // it has one).
    const std::string& LostDevice() const { return lostDevice_; }
    const std::string& ReopenPath() const { return reopenPath_; }
    // True at once when open; else opens with the stored settings, and when that fails
    // gives the fallback (if any) its chance - never on a thread that opens quietly. After
    // a lost line it waits (bounded, once per loss) for the device to come back instead,
    // and gives no fallback: the settings were not at fault.
    bool EnsureOpen();
    // Opens with the stored settings, without the fallback; after a lost line, the device
    // that was lost.
    bool OpenWithSettings();

    bool WriteByte(uint8_t byte);
    bool WriteBuffer(const uint8_t* data, size_t n);
    bool WriteString(const char* text);
    // The byte read, or 0 when nothing arrived in time (a received 0 looks the same).
    uint8_t ReadByte();
    // The count received; 0 when the read failed. A short count is not an error here.
    size_t ReadBuffer(uint8_t* buffer, size_t n);
    bool Purge();
    bool SetDtr(bool on);
    // After a timeout or a bad reply: reads and discards until nothing has arrived for a
    // quiet interval (100 ms, or three character times at a slow rate), for at most the
    // time of the longest reply, since a purge cannot clear a reply tail still arriving.
    // The count discarded.
    size_t Drain();

    PortSettings& Settings() { return settings_; }
    const PortSettings& Settings() const { return settings_; }
    // The reason the last open failed, one line.
    const std::string& LastError() const { return lastError_; }
    // The device path of the open line, or of the last attempt.
    const std::string& DevicePath() const { return devicePath_; }
    unsigned Baud() const { return lineSettings_.baud; }

    void SetLineOpener(LineOpener opener);
    void SetOpenFallback(OpenFallback fallback) { fallback_ = std::move(fallback); }
    // Called before every use of the line (debug builds): the document checks there that
    // the caller holds its device lock while the monitor reading thread runs.
    void SetUseCheck(std::function<void()> check) { useCheck_ = std::move(check); }

  private:
    bool OpenPath(const std::string& path, const std::string& baud, const std::string& parity,
                  const std::string& dataBits, const std::string& stopBits);
    unsigned WriteTimeoutMs(size_t n) const;
    bool WriteRaw(const uint8_t* data, size_t n);
    void CloseIfHungUp();
    void CheckUse() const;
    bool Reopen();

    std::unique_ptr<ISerialLine> line_;
    PortSettings settings_;
    LineSettings lineSettings_;
    LineOpener opener_;
    OpenFallback fallback_;
    std::function<void()> useCheck_;
    std::string lastError_;
    std::string devicePath_;
    // The stable name of the open line's device (taken at the opening, while it is there).
    std::string stablePath_;
    bool lost_ = false;
    bool reconnectWaited_ = false;
    std::string lostDevice_;
    std::string reopenPath_;
};

// While one exists on a thread, the port opens quietly there: EnsureOpen gives no
// fallback form its chance and the protocol layer shows no message. The monitor reading
// thread reads under one, so that a lost line is no contact, never a form or a message
// raised from behind the user's back.
class QuietOpenScope {
  public:
    QuietOpenScope();
    ~QuietOpenScope();
    QuietOpenScope(const QuietOpenScope&) = delete;
    QuietOpenScope& operator=(const QuietOpenScope&) = delete;

  private:
    bool previous_;
};
// True on a thread that opens quietly (inside a QuietOpenScope, or a background thread).
bool OpensQuietly();

// The bounds of Drain, in milliseconds and characters.
inline constexpr unsigned kDrainQuietMs = 100;
inline constexpr unsigned kDrainLongestReply = 120;

}  // namespace kvr
