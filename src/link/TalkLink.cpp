#include "link/TalkLink.h"

#include <cstring>
#include <vector>

#include "base/Bytes.h"
#include "base/Clock.h"
#include "base/IniFile.h"
#include "base/UserSeam.h"
#include "link/TalkFrames.h"

namespace kvr {

using namespace talk;

namespace {

// A KVR Display on the line sends 0xE2 whenever the line is quiet, so those bytes pile
// up during the pause after Attention and the download delay, and may come just before a
// late reply. No acknowledge or echo is ever 0xE2: they are passed over there. The bound
// keeps a line that sends nothing else from holding the read for ever.
constexpr uint8_t kDisplayCue = 0xE2;
constexpr size_t kMaxSkippedCues = 4096;

// Reads n bytes whose first is not a display cue; the count read. Without cues the read
// is the plain one, with its timeouts for n bytes.
size_t ReadPastCues(CSerialPort& port, uint8_t* buffer, size_t n) {
    size_t got = port.ReadBuffer(buffer, n);
    size_t skipped = 0;
    while (got > 0 && buffer[0] == kDisplayCue && skipped < kMaxSkippedCues) {
        size_t lead = 0;
        while (lead < got && buffer[lead] == kDisplayCue) {
            ++lead;
        }
        skipped += lead;
        std::memmove(buffer, buffer + lead, got - lead);
        got -= lead;
        got += port.ReadBuffer(buffer + got, n - got);
    }
    return got;
}

}  // namespace

bool CTalkLink::Ready() {
    if (port_ != nullptr && port_->EnsureOpen()) {
        return true;
    }
    if (!OpensQuietly()) {
        AppMessageBox(kFailedToOpenPort, MsgIcon::Error);
    }
    return false;
}

bool CTalkLink::SendFrame(std::span<const uint8_t> frame) {
    return port_->WriteBuffer(frame.data(), frame.size());
}

bool CTalkLink::SendBytesSingly(std::span<const uint8_t> frame) {
    bool ok = true;
    for (uint8_t byte : frame) {
        ok = port_->WriteByte(byte) && ok;
    }
    return ok;
}

bool CTalkLink::Exchange(uint8_t command, std::span<uint8_t> reply) {
    port_->Purge();
    if (!port_->WriteByte(command)) {
        return false;
    }
    size_t got = ReadPastCues(*port_, reply.data(), reply.size());
    if (CheckReply(command, reply.data(), got, reply.size())) {
        return true;
    }
    // What is left of a late or broken reply must not become the next command's reply.
    port_->Drain();
    return false;
}

bool CTalkLink::WaitForByte(uint8_t expected) {
    uint8_t byte = 0;
    // A display's cue is never an acknowledge: read past it unless it is what is awaited.
    const size_t got =
        expected == kDisplayCue ? port_->ReadBuffer(&byte, 1) : ReadPastCues(*port_, &byte, 1);
    if (got == 1 && byte == expected) {
        return true;
    }
    port_->Drain();
    return false;
}

int CTalkLink::QueryDevice() {
    if (!Ready()) {
        return -1;
    }
    uint8_t command = static_cast<uint8_t>(kQueryDevice | Addr7(Address()));
    port_->Purge();
    if (!port_->WriteByte(command)) {
        return -1;
    }
    uint8_t reply[kQueryReplyMax] = {};
    if (port_->ReadBuffer(reply, sizeof reply) == 0) {
        return -1;
    }
    deviceCode_ = reply[0];
    return reply[0];
}

bool CTalkLink::ReadParameters(ParameterRecord& destination) {
    if (!Ready()) {
        return false;
    }
    uint8_t command = static_cast<uint8_t>(kReadParameters | Addr7(Address()));
    uint8_t reply[kRecordReply] = {};
    if (!Exchange(command, reply)) {
        return false;
    }
    // Checked in a scratch record: a failed read never disturbs the record in hand.
    ParameterRecord scratch;
    std::copy(reply + 1, reply + 1 + kRecordSize, scratch.Data());
    if (!scratch.IsValid()) {
        return false;
    }
    destination = scratch;
    return true;
}

bool CTalkLink::WriteParameters(const ParameterRecord& record) {
    if (!Ready()) {
        return false;
    }
    const unsigned delay = DownloadDelayMs();
    port_->Purge();
    if (!Attention(true)) {
        return false;
    }
    uint8_t frame[kRecordReply];
    frame[0] = static_cast<uint8_t>(kWriteParameters | Addr7(Address()));
    std::copy(record.Data(), record.Data() + kRecordSize, frame + 1);
    frame[kRecordReply - 1] = Checksum(frame, kRecordReply - 1);
    if (!SendFrame(frame)) {
        return false;
    }
    GetClock().SleepMs(delay);
    return WaitForByte(static_cast<uint8_t>(kWriteAck | Addr7(Address())));
}

bool CTalkLink::RestoreFactorySettings(uint8_t address) {
    if (!Ready()) {
        return false;
    }
    std::vector<uint8_t> frame =
        Frame(static_cast<uint8_t>(kRestoreFactorySettings | Addr7(address)), {kFactoryKey});
    return SendBytesSingly(frame);
}

bool CTalkLink::SetLoopbackMode(int mode, uint8_t voltage, uint8_t current, uint8_t powerFactor,
                                uint8_t frequency) {
    if (!Ready()) {
        return false;
    }
    std::vector<uint8_t> frame =
        Frame(static_cast<uint8_t>(kSetMode | Addr7(Address())),
              {static_cast<uint8_t>(mode & 3), voltage, current, powerFactor, frequency});
    return SendFrame(frame);
}

bool CTalkLink::SetUserMode() {
    if (!Ready()) {
        return false;
    }
    std::vector<uint8_t> frame =
        Frame(static_cast<uint8_t>(kSetMode | Addr7(Address())), {kModeUser});
    return SendFrame(frame);
}

bool CTalkLink::SetFactoryMode() {
    if (!Ready()) {
        return false;
    }
    std::vector<uint8_t> frame =
        Frame(static_cast<uint8_t>(kSetMode | Addr7(Address())), {kModeFactory});
    return SendFrame(frame);
}

bool CTalkLink::SetOutputTest(bool on) {
    if (!Ready()) {
        return false;
    }
    std::vector<uint8_t> frame = Frame(static_cast<uint8_t>(kSetMode | Addr7(Address())),
                                       {static_cast<uint8_t>(kModeOutputTest | (on ? 1 : 0))});
    return SendBytesSingly(frame);
}

bool CTalkLink::RelayMake(int output) {
    return Ready() &&
           port_->WriteByte(OutputCmd(kRelayMake, static_cast<unsigned>(output), Address()));
}

bool CTalkLink::RelayBreak(int output) {
    return Ready() &&
           port_->WriteByte(OutputCmd(kRelayBreak, static_cast<unsigned>(output), Address()));
}

bool CTalkLink::RelayPulse(int output) {
    return Ready() &&
           port_->WriteByte(OutputCmd(kRelayPulse, static_cast<unsigned>(output), Address()));
}

bool CTalkLink::WriteDac(int output, uint16_t value) {
    if (!Ready()) {
        return false;
    }
    std::vector<uint8_t> frame =
        Frame(OutputCmd(kWriteDac, static_cast<unsigned>(output), Address()),
              {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)});
    return SendFrame(frame);
}

bool CTalkLink::ReadValues(talk::ValuesData& data, size_t& length) {
    if (!Ready()) {
        return false;
    }
    BusyMessage busy;  // the wait cursor for the exchange
    const size_t dataLength = Extended() ? kValuesDataExtended : kValuesData;
    uint8_t command = static_cast<uint8_t>(kReadValues | (Address() & 3));
    uint8_t reply[kValuesDataExtended + 2] = {};
    if (!Exchange(command, std::span(reply, dataLength + 2))) {
        return false;
    }
    std::copy(reply + 1, reply + 1 + dataLength, data.begin());
    length = dataLength;
    return true;
}

bool CTalkLink::Sample() {
    return Ready() && port_->WriteByte(Extended() ? kSampleExtended : kSample);
}

bool CTalkLink::Attention(bool pause) {
    if (!Ready()) {
        return false;
    }
    bool ok = port_->WriteByte(kAttention);
    if (ok && pause) {
        GetClock().SleepMs(kAttentionPauseMs);
    }
    return ok;
}

}  // namespace kvr
