// The rules of the "KVR Diagnostics" sheet (one page per measuring board: relays, DAC,
// loopback test mode, user and factory mode, serial number) and of the "Set All Serial
// numbers" form. The sheet and the form hold the document's device lock while open; each
// page keeps the units awake with a 5000 ms timer that calls Tick.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "calibration/DeviceSession.h"

namespace kvr {

inline constexpr const char* kDiagnosticsTitle = "KVR Diagnostics";
inline constexpr const char* kSetAllSerialsTitle = "Set All Serial numbers";
inline constexpr const char* kPortNotSupportedText = "This output port type is not supported!";
inline constexpr const char* kPortErrorTitle = "Port error";
inline constexpr const char* kLoopbackErrorText = "Error setting loopback mode!";
inline constexpr const char* kUserModeErrorText = "Error setting user mode!";
inline constexpr const char* kFactoryModeErrorText = "Error setting factory mode!";
inline constexpr const char* kSerialDownloadErrorText = "An error occurred during the download!";
inline constexpr const char* kSerialDownloadTitle = "Download";
inline constexpr const char* kEnterIntegerText = "Please enter an integer.";
inline constexpr int kBoardOutputPorts = 4;  // the output ports of one board
inline constexpr int kTestBytes = 4;         // voltage, current, power factor, frequency

// "Normal Mode (POR)", "Static Loopback", "Cycle Loopback".
const std::vector<std::string>& LoopbackModeItems();

// Reads a form's integer field: the whole text one decimal integer within min..max. Else
// the field's message ("Please enter an integer." or "Please enter an integer between
// %ld and %ld.") and false.
bool ReadIntegerField(const std::string& text, long min, long max, long& value);

enum class RelayAction { Make, Break, Pulse };

class DiagnosticsPage {
  public:
    // The page of channel object `channel` (0 to 3). The sheet holds the device lock.
    DiagnosticsPage(CQRLDoc& doc, int channel);

    // Port 1 chosen with its rule, Attention with its pause, serial number and version.
    void Open();
    bool Opened() const { return opened_; }
    int Channel() const { return channel_; }
    // "Channel %d" with the record's unit address + 1.
    std::string Caption() const;
    // The main board's page (unit address 3) has every output control disabled.
    bool IsMainBoard() const;

    // --- output port and its controls -------------------------------------------------
    int Port() const { return port_; }
    // A port radio button: the port rule, by the port's card ("Analog" enables the DAC,
    // "Relay" the relay buttons, "RS485" says "This output port type is not supported!").
    bool ChoosePort(int port);
    bool PortsEnabled() const { return !IsMainBoard(); }
    bool RelayEnabled() const { return relayEnabled_ && !IsMainBoard(); }
    bool DacEnabled() const { return dacEnabled_ && !IsMainBoard(); }
    // Output test on (this board, and the main board on a KVR 300), then the relay command
    // for the chosen port.
    bool Relay(RelayAction action);
    // "&Set": output test on as above, then WriteDac of the text read as a signed integer,
    // its low 16 bits.
    bool SetDac(const std::string& text);

    // --- modes --------------------------------------------------------------------------
    // "Set Mode": the list index and the four test bytes (0 to 255, as typed).
    bool SetLoopback(int mode, const std::array<std::string, kTestBytes>& testBytes);
    bool SetUserMode();
    bool SetFactoryMode();

    // --- serial number ------------------------------------------------------------------
    int32_t Serial() const { return serial_; }
    std::string SerialText() const;
    // Typing: a whole integer becomes the field's value and the document's serial-number
    // text; other text changes nothing yet (false).
    bool SetSerialText(const std::string& text);
    // "+": one more.
    void IncrementSerial();
    // "&Download": takes over the field (a text that is not an integer is refused with the
    // field's message), stores it as the record's serial number, then the channel download.
    bool DownloadSerial(const std::string& fieldText);
    const std::string& FirmwareVersion() const { return version_; }

    // The page's 5000 ms timer.
    void Tick();
    // Cancel: output test off for this board.
    void Cancel();

  private:
    ParameterRecord& Record();
    const ParameterRecord& Record() const;
    void SetSerial(int32_t serial);

    CQRLDoc& doc_;
    int channel_;
    int port_ = 0;
    bool relayEnabled_ = false;
    bool dacEnabled_ = false;
    bool opened_ = false;
    int32_t serial_ = 0;
    std::string version_;
};

// The sheet: channel 0's page and, on a unit with more than one channel, those of 1, 2
// and 3 (the main board).
class DiagnosticsSheet : public DeviceSession {
  public:
    explicit DiagnosticsSheet(CQRLDoc& doc);
    // False (nothing built) when the device lock is not obtained.
    bool Open();
    int PageCount() const { return static_cast<int>(pages_.size()); }
    DiagnosticsPage& Page(int index) { return *pages_.at(static_cast<size_t>(index)); }
    // Cancel of the sheet: every opened page's Cancel.
    void Cancel();

  private:
    std::vector<std::unique_ptr<DiagnosticsPage>> pages_;
};

class SetAllSerialNumbers : public DeviceSession {
  public:
    explicit SetAllSerialNumbers(CQRLDoc& doc);
    // Takes the lock; the field shows the serial number of the document's last channel.
    bool Open();
    int32_t Serial() const { return serial_; }
    std::string SerialText() const;
    bool SetSerialText(const std::string& text);
    void Increment();
    // "Download": takes over the field, then the number into every channel in turn, each
    // downloaded; a failed one says "Failed to download to channel %i" and the next is
    // tried. True when every channel was written; `failed` gets the indexes that were not.
    bool Download(const std::string& fieldText, std::vector<int>* failed = nullptr);

  private:
    int32_t serial_ = 0;
};

}  // namespace kvr
