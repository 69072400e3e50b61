// CTalkLink: the KVR Talk protocol object of one unit address on the document's one
// port. Every exchange is synchronous; callers hold DeviceLock around it. No retries and
// no messages here, except "Failed to open Communications Port".
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "link/ParameterRecord.h"
#include "link/SerialPort.h"
#include "link/TalkFrames.h"

namespace kvr {

inline constexpr const char* kFailedToOpenPort = "Failed to open Communications Port";
inline constexpr unsigned kAttentionPauseMs = 1000;

class CTalkLink {
  public:
    explicit CTalkLink(CSerialPort* port = nullptr, uint8_t address = 0)
        : port_(port), address_(address) {}
    virtual ~CTalkLink() = default;
    CTalkLink(const CTalkLink&) = delete;
    CTalkLink& operator=(const CTalkLink&) = delete;

    void SetPort(CSerialPort* port) { port_ = port; }
    CSerialPort* Port() const { return port_; }
    // The unit address used in every command of this object.
    virtual uint8_t Address() const { return address_; }
    void SetAddress(uint8_t address) { address_ = address; }

    // Only the low byte is used; bit 0 selects the extended sample and values commands.
    uint32_t DeviceCode() const { return deviceCode_; }
    void SetDeviceCode(uint32_t code) { deviceCode_ = code; }
    bool Extended() const { return (deviceCode_ & 1) != 0; }

    // Asks the unit what it is: the first reply byte, stored as the device code; -1 (and
    // the code unchanged) when nothing answered.
    int QueryDevice();
    // Reads the record at this object's address. The destination changes only when echo,
    // length, checksum and signature are all right.
    bool ReadParameters(ParameterRecord& destination);
    // Attention, a 1000 ms pause, the 117-byte frame, the download delay, then the
    // acknowledge byte 0xE8 | address.
    bool WriteParameters(const ParameterRecord& record);
    // Sent to the given address, not this object's.
    bool RestoreFactorySettings(uint8_t address);
    bool SetLoopbackMode(int mode, uint8_t voltage, uint8_t current, uint8_t powerFactor,
                         uint8_t frequency);
    bool SetUserMode();
    bool SetFactoryMode();
    bool SetOutputTest(bool on);
    bool RelayMake(int output);
    bool RelayBreak(int output);
    bool RelayPulse(int output);
    bool WriteDac(int output, uint16_t value);
    // Reads the values latched by the last Sample: 30 data bytes, or 42 when the device
    // code's bit 0 is set; `length` gets the data count.
    bool ReadValues(talk::ValuesData& data, size_t& length);
    // Broadcast: every unit latches its values (0xE2, or 0xE3 with device code bit 0).
    bool Sample();
    // Broadcast 0xE1, optionally followed by the 1000 ms pause.
    bool Attention(bool pause);

    // The exchange helpers the commands above are made of, for the protocols of other
    // kinds of unit built on this link. Callers hold DeviceLock and call Ready() first.

    // Opens the port if needed; tells the user when it will not open.
    bool Ready();
    // Writes the frame in one write.
    bool SendFrame(std::span<const uint8_t> frame);
    // Writes the frame one byte at a time, every byte even after a failed one.
    bool SendBytesSingly(std::span<const uint8_t> frame);
    // Purges the line, sends one command byte and reads a reply of reply.size() bytes,
    // which must start with the command's echo and sum to zero. On a short or broken
    // reply what is left on the line is drained so that it never becomes the next reply.
    bool Exchange(uint8_t command, std::span<uint8_t> reply);
    // Reads one byte within the port's timeout; true when it is `expected`. Otherwise the
    // line is drained.
    bool WaitForByte(uint8_t expected);

  private:
    CSerialPort* port_;
    uint8_t address_;
    uint32_t deviceCode_ = 0;
};

}  // namespace kvr
