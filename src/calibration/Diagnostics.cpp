#include "calibration/Diagnostics.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "document/Transfer.h"

namespace kvr {

namespace {

constexpr int kNoCard = 0;
constexpr int kAnalogCard = 1;
constexpr int kRelayCard = 2;
constexpr int kRs485Card = 3;
constexpr uint8_t kMainBoardAddress = 3;

std::string SerialToText(int32_t serial) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", serial);
    return text;
}

// Reads an integer field without a message (typing); false when the text is not one.
bool ParseInteger(const std::string& text, long min, long max, long& value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(begin, &end, 10);
    if (end == begin || errno != 0) {
        return false;
    }
    while (*end == ' ' || *end == '\t') {
        ++end;
    }
    if (*end != '\0' || v < min || v > max) {
        return false;
    }
    value = v;
    return true;
}

int32_t NextSerial(int32_t serial) {
    // Wraps as the 32-bit field does, without overflowing a signed number.
    return static_cast<int32_t>(static_cast<uint32_t>(serial) + 1u);
}

}  // namespace

const std::vector<std::string>& LoopbackModeItems() {
    static const std::vector<std::string> items = {"Normal Mode (POR)", "Static Loopback",
                                                   "Cycle Loopback"};
    return items;
}

bool ReadIntegerField(const std::string& text, long min, long max, long& value) {
    if (ParseInteger(text, min, max, value)) {
        return true;
    }
    long unbounded = 0;
    if (ParseInteger(text, LONG_MIN, LONG_MAX, unbounded)) {
        char message[96];
        std::snprintf(message, sizeof message, "Please enter an integer between %ld and %ld.", min,
                      max);
        AppMessageBox(message, MsgIcon::Warning);
    } else {
        AppMessageBox(kEnterIntegerText, MsgIcon::Warning);
    }
    return false;
}

// --- a page ----------------------------------------------------------------------------------

DiagnosticsPage::DiagnosticsPage(CQRLDoc& doc, int channel)
    : doc_(doc), channel_(std::clamp(channel, 0, kChannelObjects - 1)) {}

ParameterRecord& DiagnosticsPage::Record() {
    return doc_.Channel(channel_).record;
}

const ParameterRecord& DiagnosticsPage::Record() const {
    return doc_.Channel(channel_).record;
}

std::string DiagnosticsPage::Caption() const {
    char text[24];
    std::snprintf(text, sizeof text, "Channel %d", Record().GetUnitAddress() + 1);
    return text;
}

bool DiagnosticsPage::IsMainBoard() const {
    return Record().GetUnitAddress() == kMainBoardAddress;
}

void DiagnosticsPage::Open() {
    opened_ = true;
    if (!IsMainBoard()) {
        (void)ChoosePort(0);
    }
    (void)doc_.Channel(channel_).Attention(true);
    serial_ = static_cast<int32_t>(Record().GetSerialNumber());
    version_ = Record().GetFirmwareVersionText();
}

bool DiagnosticsPage::ChoosePort(int port) {
    if (!PortsEnabled() || port < 0 || port >= kBoardOutputPorts) {
        return false;
    }
    port_ = port;
    relayEnabled_ = false;
    dacEnabled_ = false;
    switch (Record().GetCardType(port)) {
        case kAnalogCard:
            dacEnabled_ = true;
            break;
        case kRelayCard:
            relayEnabled_ = true;
            break;
        case kRs485Card:
            AppMessageBox(kPortNotSupportedText, MsgIcon::Error, MsgButtons::Ok, kPortErrorTitle);
            break;
        case kNoCard:
        default:
            break;
    }
    return true;
}

bool DiagnosticsPage::Relay(RelayAction action) {
    if (!RelayEnabled()) {
        return false;
    }
    CChannelLink& link = doc_.Channel(channel_);
    bool ok = link.SetOutputTest(true);
    if (doc_.GetChannels() > 1) {
        ok = doc_.Channel(kMainBoard).SetOutputTest(true) && ok;
    }
    switch (action) {
        case RelayAction::Make:
            return link.RelayMake(port_) && ok;
        case RelayAction::Break:
            return link.RelayBreak(port_) && ok;
        case RelayAction::Pulse:
            return link.RelayPulse(port_) && ok;
    }
    return false;
}

bool DiagnosticsPage::SetDac(const std::string& text) {
    long value = 0;
    if (!DacEnabled() || !ReadIntegerField(text, INT32_MIN, INT32_MAX, value)) {
        return false;
    }
    CChannelLink& link = doc_.Channel(channel_);
    bool ok = link.SetOutputTest(true);
    if (doc_.GetChannels() > 1) {
        ok = doc_.Channel(kMainBoard).SetOutputTest(true) && ok;
    }
    return link.WriteDac(port_, static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFFu)) &&
           ok;
}

bool DiagnosticsPage::SetLoopback(int mode, const std::array<std::string, kTestBytes>& testBytes) {
    std::array<uint8_t, kTestBytes> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) {
        long v = 0;
        if (!ReadIntegerField(testBytes[i], 0, 255, v)) {
            return false;
        }
        bytes[i] = static_cast<uint8_t>(v);
    }
    const int last = static_cast<int>(LoopbackModeItems().size()) - 1;
    if (!doc_.Channel(channel_).SetLoopbackMode(std::clamp(mode, 0, last), bytes[0], bytes[1],
                                                bytes[2], bytes[3])) {
        AppMessageBox(kLoopbackErrorText, MsgIcon::Warning);
        return false;
    }
    return true;
}

bool DiagnosticsPage::SetUserMode() {
    if (!doc_.Channel(channel_).SetUserMode()) {
        AppMessageBox(kUserModeErrorText, MsgIcon::Warning);
        return false;
    }
    return true;
}

bool DiagnosticsPage::SetFactoryMode() {
    if (!doc_.Channel(channel_).SetFactoryMode()) {
        AppMessageBox(kFactoryModeErrorText, MsgIcon::Warning);
        return false;
    }
    return true;
}

std::string DiagnosticsPage::SerialText() const {
    return SerialToText(serial_);
}

void DiagnosticsPage::SetSerial(int32_t serial) {
    serial_ = serial;
    doc_.Paths().suggestedFileName = SerialToText(serial);
}

bool DiagnosticsPage::SetSerialText(const std::string& text) {
    long v = 0;
    if (!ParseInteger(text, INT32_MIN, INT32_MAX, v)) {
        return false;
    }
    SetSerial(static_cast<int32_t>(v));
    return true;
}

void DiagnosticsPage::IncrementSerial() {
    SetSerial(NextSerial(serial_));
}

bool DiagnosticsPage::DownloadSerial(const std::string& fieldText) {
    long v = 0;
    if (!ReadIntegerField(fieldText, INT32_MIN, INT32_MAX, v)) {
        return false;
    }
    SetSerial(static_cast<int32_t>(v));
    Record().SetSerialNumber(static_cast<uint32_t>(serial_));
    if (!DownloadChannel(doc_, channel_)) {
        AppMessageBox(kSerialDownloadErrorText, MsgIcon::Error, MsgButtons::Ok,
                      kSerialDownloadTitle);
        return false;
    }
    return true;
}

void DiagnosticsPage::Tick() {
    if (opened_) {
        SendKeepAlive(doc_);
    }
}

void DiagnosticsPage::Cancel() {
    if (opened_) {
        (void)doc_.Channel(channel_).SetOutputTest(false);
        opened_ = false;
    }
}

// --- the sheet -------------------------------------------------------------------------------

DiagnosticsSheet::DiagnosticsSheet(CQRLDoc& doc) : DeviceSession(doc) {}

bool DiagnosticsSheet::Open() {
    if (!Lock()) {
        return false;
    }
    pages_.clear();
    const int count = doc_.GetChannels() > 1 ? kChannelObjects : 1;
    for (int i = 0; i < count; ++i) {
        pages_.push_back(std::make_unique<DiagnosticsPage>(doc_, i));
    }
    return true;
}

void DiagnosticsSheet::Cancel() {
    for (auto& page : pages_) {
        page->Cancel();
    }
}

// --- "Set All Serial numbers" ------------------------------------------------------------

SetAllSerialNumbers::SetAllSerialNumbers(CQRLDoc& doc) : DeviceSession(doc) {}

bool SetAllSerialNumbers::Open() {
    if (!Lock()) {
        return false;
    }
    const int last = std::clamp<int>(doc_.GetChannels() - 1, 0, kChannelObjects - 1);
    serial_ = static_cast<int32_t>(doc_.Channel(last).record.GetSerialNumber());
    return true;
}

std::string SetAllSerialNumbers::SerialText() const {
    return SerialToText(serial_);
}

bool SetAllSerialNumbers::SetSerialText(const std::string& text) {
    long v = 0;
    if (!ParseInteger(text, INT32_MIN, INT32_MAX, v)) {
        return false;
    }
    serial_ = static_cast<int32_t>(v);
    return true;
}

void SetAllSerialNumbers::Increment() {
    serial_ = NextSerial(serial_);
}

bool SetAllSerialNumbers::Download(const std::string& fieldText, std::vector<int>* failed) {
    long v = 0;
    if (!Locked() || !ReadIntegerField(fieldText, INT32_MIN, INT32_MAX, v)) {
        return false;
    }
    serial_ = static_cast<int32_t>(v);
    bool all = true;
    const int count = std::min<int>(doc_.GetChannels(), kChannelObjects);
    for (int i = 0; i < count; ++i) {
        doc_.Channel(i).record.SetSerialNumber(static_cast<uint32_t>(serial_));
        if (!DownloadChannel(doc_, i)) {
            char text[64];
            std::snprintf(text, sizeof text, "Failed to download to channel %i", i);
            AppMessageBox(text, MsgIcon::Warning);
            all = false;
            if (failed != nullptr) {
                failed->push_back(i);
            }
        }
    }
    return all;
}

}  // namespace kvr
