#include "link/SerialPort.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/Clock.h"
#include "base/Trace.h"
#include "base/UserSeam.h"
#include "link/PortMap.h"

namespace kvr {

namespace {

void TraceTransfer(size_t requested, long transferred, char direction, const uint8_t* bytes,
                   size_t listed, bool readFailed) {
    if (!TraceEnabled()) {
        return;
    }
    char head[64];
    std::snprintf(head, sizeof head, "[%d;%d]%c:", static_cast<int>(requested),
                  static_cast<int>(transferred), direction);
    std::string line = head;
    line.reserve(line.size() + listed * 5 + 32);
    for (size_t i = 0; i < listed; ++i) {
        char b[8];
        // Prints as "0x%02.2hx;" would (the 0 flag is redundant next to the precision).
        std::snprintf(b, sizeof b, "0x%02hx;", static_cast<unsigned short>(bytes[i]));
        line += b;
    }
    if (direction == '<') {
        if (readFailed) {
            line += "ReadComm Failed\r\n";
        } else if (transferred < static_cast<long>(requested)) {
            char tail[64];
            std::snprintf(tail, sizeof tail, "Read %d out of %d Bytes\r\n",
                          static_cast<int>(transferred), static_cast<int>(requested));
            line += tail;
        }
    }
    if (line.back() != '\n') {
        line += "\r\n";
    }
    Trace(line);
}

thread_local bool t_quietOpen = false;

}  // namespace

QuietOpenScope::QuietOpenScope() : previous_(t_quietOpen) {
    t_quietOpen = true;
}

QuietOpenScope::~QuietOpenScope() {
    t_quietOpen = previous_;
}

bool OpensQuietly() {
    return t_quietOpen || IsBackgroundThread();
}

CSerialPort::CSerialPort() : opener_(OpenTermiosLine) {}

CSerialPort::~CSerialPort() {
    Close();
}

void CSerialPort::SetLineOpener(LineOpener opener) {
    opener_ = opener ? std::move(opener) : LineOpener(OpenTermiosLine);
}

bool CSerialPort::Open(uint16_t port, const std::string& baud, const std::string& parity,
                       const std::string& dataBits, const std::string& stopBits) {
    if (port == 0) {
        lastError_ = "no serial port chosen (port number 0)";
        return false;
    }
    if (port > kMaxPortNumber) {
        lastError_ = "port number " + std::to_string(port) + " is outside 1 to 32";
        return false;
    }
    std::string device = DeviceForPort(port);
    if (device.empty()) {
        lastError_ =
            "no serial device behind port " + std::to_string(port) + " (see 'kvrctl ports')";
        return false;
    }
    return OpenPath(device, baud, parity, dataBits, stopBits);
}

bool CSerialPort::OpenDevice(const std::string& path, const std::string& baud,
                             const std::string& parity, const std::string& dataBits,
                             const std::string& stopBits) {
    if (path.empty()) {
        lastError_ = "no device path given";
        return false;
    }
    return OpenPath(path, baud, parity, dataBits, stopBits);
}

bool CSerialPort::OpenPath(const std::string& path, const std::string& baud,
                           const std::string& parity, const std::string& dataBits,
                           const std::string& stopBits) {
    CheckUse();
    Close();
    devicePath_ = path;
    LineSettings parsed;
    if (!ParseLineSettings(baud, parity, dataBits, stopBits, parsed, lastError_)) {
        return false;
    }
    line_ = opener_(path, parsed, lastError_);
    if (!line_) {
        return false;
    }
    lineSettings_ = parsed;
    lastError_.clear();
    stablePath_ = StableNameOf(path);
    lost_ = false;
    reconnectWaited_ = false;
    return true;
}

bool CSerialPort::Close() {
    lost_ = false;
    if (!line_) {
        return false;
    }
    CheckUse();
    line_.reset();
    return true;
}

LineState CSerialPort::State() const {
    return line_ ? LineState::Open : lost_ ? LineState::Lost : LineState::Closed;
}

bool CSerialPort::Reopen() {
    // The same device, by its stable name: another adapter that took over its ttyUSB
    // number meanwhile is not the unit that was on the line.
    const PortSettings& s = settings_;
    if (!OpenPath(reopenPath_, s.baud, s.parity, s.dataBits, s.stopBits)) {
        lost_ = true;  // OpenPath closed nothing, but keep the state for the next try
        if (lastError_.rfind("no such device", 0) == 0 || lastError_.rfind("no device", 0) == 0) {
            lastError_ = "the line to " + lostDevice_ + " was lost and has not come back";
        }
        return false;
    }
    return true;
}

bool CSerialPort::OpenWithSettings() {
    if (lost_ && !reopenPath_.empty()) {
        return Reopen();
    }
    const PortSettings& s = settings_;
    if (!s.device.empty()) {
        return OpenDevice(s.device, s.baud, s.parity, s.dataBits, s.stopBits);
    }
    return Open(s.port, s.baud, s.parity, s.dataBits, s.stopBits);
}

bool CSerialPort::EnsureOpen() {
    if (line_) {
        return true;
    }
    if (OpenWithSettings()) {
        return true;
    }
    if (lost_) {
        if (reconnectWaited_) {
            return false;
        }
        reconnectWaited_ = true;
        IClock& clock = GetClock();
        const uint64_t end = clock.NowMs() + kReconnectWaitMs;
        while (clock.NowMs() < end) {
            clock.SleepMs(kReconnectPollMs);
            if (Reopen()) {
                return true;
            }
        }
        return false;
    }
    return fallback_ && !OpensQuietly() ? fallback_(*this) : false;
}

void CSerialPort::CheckUse() const {
#ifndef NDEBUG
    if (useCheck_) {
        useCheck_();
    }
#endif
}

unsigned CSerialPort::WriteTimeoutMs(size_t n) const {
    // 10 ms a byte cannot be met below 1200 baud; allow twice the character time there.
    unsigned charMs2 = 2 * 10'000u / std::max(1u, lineSettings_.baud) + 1;
    return kWriteTotalConstantMs +
           static_cast<unsigned>(n) * std::max(kWriteTotalPerByteMs, charMs2);
}

bool CSerialPort::WriteRaw(const uint8_t* data, size_t n) {
    CheckUse();
    if (!line_) {
        TraceTransfer(n, 0, '>', data, n, false);
        return false;
    }
    long written = line_->Write(data, n, WriteTimeoutMs(n));
    TraceTransfer(n, std::max(0L, written), '>', data, n, false);
    CloseIfHungUp();
    return written == static_cast<long>(n);
}

bool CSerialPort::WriteByte(uint8_t byte) {
    return WriteRaw(&byte, 1);
}

bool CSerialPort::WriteBuffer(const uint8_t* data, size_t n) {
    return WriteRaw(data, n);
}

bool CSerialPort::WriteString(const char* text) {
    return WriteRaw(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
}

uint8_t CSerialPort::ReadByte() {
    uint8_t byte = 0;
    return ReadBuffer(&byte, 1) == 1 ? byte : 0;
}

size_t CSerialPort::ReadBuffer(uint8_t* buffer, size_t n) {
    CheckUse();
    long got = -1;
    if (line_ && n > 0) {
        got = line_->Read(buffer, n, kReadIntervalMs,
                          kReadTotalConstantMs + kReadTotalPerByteMs * static_cast<unsigned>(n));
    } else if (line_) {
        got = 0;
    }
    size_t received = got > 0 ? static_cast<size_t>(got) : 0;
    if (received < n) {
        // What did not arrive reads as zeros, never as stale bytes.
        std::memset(buffer + received, 0, n - received);
    }
    TraceTransfer(n, static_cast<long>(received), '<', buffer, n, got < 0);
    CloseIfHungUp();
    return received;
}

bool CSerialPort::Purge() {
    CheckUse();
    return line_ && line_->Purge();
}

size_t CSerialPort::Drain() {
    CheckUse();
    if (!line_) {
        return 0;
    }
    const unsigned charMs = 10'000u / std::max(1u, lineSettings_.baud) + 1;
    const unsigned quietMs = std::max(kDrainQuietMs, 3 * charMs);
    IClock& clock = GetClock();
    const uint64_t end = clock.NowMs() + quietMs + uint64_t{kDrainLongestReply} * charMs;
    size_t discarded = 0;
    uint8_t scrap[64];
    for (;;) {
        // Returns after quietMs with nothing, or with what arrived meanwhile.
        const long got = line_->Read(scrap, sizeof scrap, quietMs, quietMs);
        if (got <= 0) {
            break;
        }
        discarded += static_cast<size_t>(got);
        if (clock.NowMs() >= end || discarded > size_t{4} * kDrainLongestReply) {
            break;  // a line that never goes quiet is left to the next command's checks
        }
    }
    if (discarded > 0 && TraceEnabled()) {
        Trace("Drained " + std::to_string(discarded) + " Bytes\r\n");
    }
    CloseIfHungUp();
    return discarded;
}

bool CSerialPort::SetDtr(bool on) {
    return line_ && line_->SetDtr(on);
}

void CSerialPort::CloseIfHungUp() {
    // A line whose other end has gone away stays dead; closing lets the next command's
    // EnsureOpen find the device again (or report that it is gone).
    if (line_ && line_->HungUp()) {
        lostDevice_ = devicePath_;
        reopenPath_ = stablePath_.empty() ? devicePath_ : stablePath_;
        Close();
        lost_ = true;
        reconnectWaited_ = false;
    }
}

}  // namespace kvr
