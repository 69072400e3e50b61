#include "sim/SimUnits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "link/Bytes.h"
#include "link/TalkFrames.h"
#include "sim/SimModel.h"
#include "sim/SimStateFile.h"

namespace kvr::sim {

namespace {

constexpr int kMainboardAddress = 3;
constexpr uint8_t kExtendedFirmware = 189;
// The KVR Talk version the simulated units report after the device code: V1.73.
constexpr uint8_t kTalkMajor = 1;
constexpr uint8_t kTalkMinor = 73;
// Energy integration: steps of at most a second, and at most this many per time update,
// so a large jump in time costs bounded work (the steps then grow).
constexpr int kMaxIntegrationSteps = 2000;

constexpr size_t kNeedMore = 0;
constexpr size_t kUnknown = static_cast<size_t>(-1);

// Length of the frame that starts at p, kNeedMore when more bytes must arrive first, or
// kUnknown when p[0] starts no frame (the byte is then dropped).
size_t FrameLength(const uint8_t* p, size_t avail) {
    const uint8_t c = p[0];
    if (c <= 0x07) {
        return 1;  // QueryDevice
    }
    if (c >= 0x80 && c <= 0x87) {
        return 1;  // ReadParameters
    }
    if (c >= 0x88 && c <= 0x8F) {
        if (avail < 2) {
            return kNeedMore;
        }
        const uint8_t m = p[1];
        if (m <= 3) {
            return 7;  // loopback mode with its four test bytes
        }
        if (m == talk::kModeUser || m == talk::kModeFactory || m == talk::kModeOutputTest ||
            m == (talk::kModeOutputTest | 1)) {
            return 3;
        }
        return kUnknown;
    }
    if ((c >= 0x90 && c <= 0x9F) || (c >= 0xB0 && c <= 0xBF) || (c >= 0xD0 && c <= 0xDF)) {
        return 1;  // relay make, break, pulse
    }
    if (c >= 0xA0 && c <= 0xA7) {
        return talk::kRecordReply;  // WriteParameters: command, record, checksum
    }
    if (c >= 0xA8 && c <= 0xAF) {
        return 3;  // RestoreFactorySettings
    }
    if (c >= 0xC0 && c <= 0xC3) {
        return 1;  // ReadValues
    }
    if (c == talk::kAttention || c == talk::kSample || c == talk::kSampleExtended) {
        return 1;
    }
    if (c >= 0xF0) {
        return 4;  // WriteDac
    }
    return kUnknown;
}

}  // namespace

struct SimUnits::Impl {
    struct Board {
        int address = 0;  // the address the board answers at
        int channel = 0;  // measuring channel 0 to 2 of the model; 3 the main board
        bool mainboard = false;
        BoardState state;
        ParameterRecord factory;
        uint16_t counter = 0;
        // Energies seen by the input since the start, before calibration gains.
        double wh = 0, vah = 0, varh = 0;
    };
    std::vector<Board> boards;
    std::vector<uint8_t> rx;  // bytes of a frame not yet complete
    double now = 0;           // simulated seconds
    std::string stateError;
    bool stateWritable = true;  // false when the file exists but could not be loaded

    Board* Find(int address) {
        for (Board& b : boards) {
            if (b.address == address) {
                return &b;
            }
        }
        return nullptr;
    }
};

namespace {

ParameterRecord MakeFactoryRecord(const SimOptions& options, int index, int address,
                                  bool mainboard) {
    ParameterRecord r;
    r.ResetToDefaults(static_cast<uint8_t>(address));
    const uint32_t base = options.serialNumber != 0 ? options.serialNumber : 204117u;
    r.SetSerialNumber(base + static_cast<uint32_t>(index));
    r.SetFirmwareVersion(options.firmware);
    r.SetInputHardware(0);
    // An 11 kV feeder measured through 11 kV / 110 V VTs and 400 A / 5 A CTs.
    r.SetPrimary(false, false, 11000.0);
    r.SetPrimary(false, true, 110.0);
    r.SetDirect(false, false);
    r.SetPrimary(true, false, 400.0);
    r.SetPrimary(true, true, 5.0);
    r.SetDirect(true, false);
    r.SetRanges(0, 2);  // "110 V", "5.000 A"
    char name[24];
    if (mainboard) {
        r.SetName("3 Phase");
    } else {
        (void)std::snprintf(name, sizeof name, "Channel %d", address + 1);
        r.SetName(name);
        // Phases A, B, C on the list of the input page (index 2 is V[an] and I[a]).
        const int phase = options.kind == UnitKind::Kvr300 ? 2 + index : 2;
        r.SetPhase(false, phase);
        r.SetPhase(true, phase);
        // Factory calibration slightly off unity, as on a real board, so that a
        // calibration has something to show.
        r.ApplyGainFactor((4101.0 - 3 * index) / 4096.0, false);
        r.ApplyGainFactor((4090.0 + 4 * index) / 4096.0, true);
        r.SetCtPhaseCorrection(0.12f + 0.03f * static_cast<float>(index));
        // One analog output card: active power on a 20 mA current output.
        r.SetCardType(0, 1);
        r.SetOutputEntity(0, 3);
        r.SetOutputRange(0, true, 6);
        r.SetOutputSource(0, address);
        r.SetScaleMin(0, 0);
        r.SetScaleMax(0, static_cast<int32_t>(r.NominalRaw(3, false)));
    }
    return r;
}

}  // namespace

SimUnits::SimUnits(const SimOptions& options) : options_(options), impl_(new Impl) {
    std::vector<std::pair<int, bool>> layout;  // address, main board
    if (options_.kind == UnitKind::Kvr300) {
        layout = {{0, false}, {1, false}, {2, false}, {kMainboardAddress, true}};
    } else {
        options_.kvr100Address = std::clamp(options_.kvr100Address, 0, 2);
        layout = {{options_.kvr100Address, false}};
    }
    for (size_t i = 0; i < layout.size(); ++i) {
        Impl::Board b;
        b.address = layout[i].first;
        b.mainboard = layout[i].second;
        b.channel = b.mainboard ? kMainboardAddress : static_cast<int>(i);
        b.factory = MakeFactoryRecord(options_, static_cast<int>(i), b.address, b.mainboard);
        b.state.record = b.factory;
        b.state.latched.assign(kValuesBlock, 0);
        impl_->boards.push_back(b);
    }
    if (options_.stateFile.empty()) {
        return;
    }
    std::string text;
    bool exists = false;
    std::string error;
    if (!ReadSmallFile(options_.stateFile, text, exists, error)) {
        if (exists) {
            impl_->stateError = "state file " + error;
            impl_->stateWritable = false;
        }
        return;
    }
    std::vector<ParameterRecord> records;
    if (!ParseState(text, options_.kind, impl_->boards.size(), records, error)) {
        impl_->stateError = "state file " + options_.stateFile + ": " + error;
        impl_->stateWritable = false;
        return;
    }
    for (size_t i = 0; i < records.size(); ++i) {
        Impl::Board& b = impl_->boards[i];
        b.state.record = records[i];
        if (options_.kind == UnitKind::Kvr100 && records[i].GetUnitAddress() <= 2) {
            b.address = records[i].GetUnitAddress();
            b.factory = MakeFactoryRecord(options_, 0, b.address, false);
        }
    }
}

SimUnits::~SimUnits() {
    delete impl_;
}

BoardState* SimUnits::Board(int address) {
    Impl::Board* b = impl_->Find(address);
    return b != nullptr ? &b->state : nullptr;
}

std::vector<int> SimUnits::Addresses() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> out;
    for (const Impl::Board& b : impl_->boards) {
        out.push_back(b.address);
    }
    return out;
}

std::string SimUnits::StateError() {
    std::lock_guard<std::mutex> lock(mutex_);
    return impl_->stateError;
}

uint8_t SimUnits::DeviceCode(bool kvr300, bool mainboard, uint8_t firmware) {
    return static_cast<uint8_t>((firmware >= kExtendedFirmware ? 0x01 : 0) | (kvr300 ? 0x02 : 0) |
                                (mainboard ? 0x04 : 0));
}

double SimUnits::TimeSeconds() {
    std::lock_guard<std::mutex> lock(mutex_);
    return impl_->now;
}

void SimUnits::SetTimeSeconds(double seconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!std::isfinite(seconds) || seconds <= impl_->now) {
        return;
    }
    const double span = seconds - impl_->now;
    const int steps = static_cast<int>(std::min<double>(kMaxIntegrationSteps, std::ceil(span)));
    const double dt = span / std::max(1, steps);
    for (Impl::Board& b : impl_->boards) {
        if (b.mainboard) {
            continue;  // the main board sums its channels at sampling time
        }
        const ParameterRecord& r = b.state.record;
        // Trapezoids over the input's smooth drift.
        Measurement prev = InputAt(r, b.channel, impl_->now);
        for (int i = 1; i <= std::max(1, steps); ++i) {
            const Measurement cur = InputAt(r, b.channel, impl_->now + dt * i);
            b.wh += (prev.watts + cur.watts) / 2 * dt / 3600.0;
            b.vah += (prev.va + cur.va) / 2 * dt / 3600.0;
            b.varh += (prev.vars + cur.vars) / 2 * dt / 3600.0;
            prev = cur;
        }
    }
    impl_->now = seconds;
}

void SimUnits::DiscardPartialFrame() {
    std::lock_guard<std::mutex> lock(mutex_);
    impl_->rx.clear();
}

// --- frames -----------------------------------------------------------------------------

namespace {

// Applies the one-shot and standing faults to a reply about to leave.
void AddReply(Faults& faults, std::vector<uint8_t> bytes, std::vector<Reply>& replies) {
    if (faults.dropNextReply.exchange(false)) {
        return;
    }
    if (faults.wrongEcho.exchange(false) && !bytes.empty()) {
        // A different first byte with the frame's sum kept at zero, so that only the echo
        // check can catch it.
        const uint8_t old = bytes[0];
        bytes[0] = static_cast<uint8_t>(old ^ 0x40);
        if (bytes.size() > 1) {
            bytes.back() = static_cast<uint8_t>(bytes.back() + old - bytes[0]);
        }
    }
    if (faults.corruptChecksum.exchange(false) && !bytes.empty()) {
        bytes.back() = static_cast<uint8_t>(bytes.back() ^ 0x5A);
    }
    const int cut = faults.shortReply.exchange(0);
    if (cut > 0 && static_cast<size_t>(cut) < bytes.size()) {
        bytes.resize(static_cast<size_t>(cut));
    }
    Reply r;
    r.bytes = std::move(bytes);
    r.delayMs = faults.slowMs.load();
    r.gapAfter = faults.gapAfterBytes.load();
    r.gapMs = faults.slowGapMs.load();
    if (r.gapAfter >= r.bytes.size()) {
        r.gapAfter = 0;  // a stall after the last byte is no stall
    }
    replies.push_back(std::move(r));
}

}  // namespace

std::vector<Reply> SimUnits::Receive(const uint8_t* data, size_t n) {
    std::vector<Reply> replies;
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<uint8_t>& rx = impl_->rx;
    if (faults_.silent.load()) {
        rx.clear();  // a silent unit hears nothing, as if its cable were out
        return replies;
    }
    if (data != nullptr && n > 0) {
        rx.insert(rx.end(), data, data + n);
    }
    bool save = false;
    size_t pos = 0;
    while (pos < rx.size()) {
        const uint8_t* p = rx.data() + pos;
        const size_t len = FrameLength(p, rx.size() - pos);
        if (len == kUnknown) {
            ++pos;  // not a command: skip the byte and look for the next frame
            continue;
        }
        if (len == kNeedMore || len > rx.size() - pos) {
            break;
        }
        if (len == 1 || talk::SumsToZero(p, len)) {
            ++frames_;
            std::vector<uint8_t> reply;
            if (HandleFrame(p, len, reply, save) && !reply.empty()) {
                AddReply(faults_, std::move(reply), replies);
            }
        }
        pos += len;
    }
    rx.erase(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(pos));
    if (save) {
        SaveStateLocked();
    }
    return replies;
}

bool SimUnits::HandleFrame(const uint8_t* p, size_t len, std::vector<uint8_t>& reply, bool& save) {
    const uint8_t c = p[0];
    const int a7 = c & 7;
    const int a3 = c & 3;
    const int output = (c >> 2) & 3;
    if (c <= 0x07) {
        Impl::Board* b = impl_->Find(a7);
        if (b == nullptr) {
            return false;
        }
        // Device code, the KVR Talk version (major, minor), the firmware version byte and
        // a checksum over the five bytes.
        reply = {DeviceCode(options_.kind == UnitKind::Kvr300, b->mainboard,
                            b->state.record.GetFirmwareVersion()),
                 kTalkMajor, kTalkMinor, b->state.record.GetFirmwareVersion()};
        talk::AppendChecksum(reply);
        return true;
    }
    if (c >= 0x80 && c <= 0x87) {
        Impl::Board* b = impl_->Find(a7);
        if (b == nullptr) {
            return false;
        }
        reply.push_back(c);
        reply.insert(reply.end(), b->state.record.Bytes().begin(), b->state.record.Bytes().end());
        talk::AppendChecksum(reply);
        return true;
    }
    if (c >= 0x88 && c <= 0x8F) {
        Impl::Board* b = impl_->Find(a7);
        if (b == nullptr) {
            return false;
        }
        const uint8_t m = p[1];
        if (len == 7) {
            b->state.loopbackMode = m;
            std::copy(p + 2, p + 6, b->state.loopbackBytes.begin());
        } else if (m == talk::kModeUser || m == talk::kModeFactory) {
            b->state.mode = m;
        } else {
            b->state.outputTest = (m & 1) != 0;
        }
        return false;
    }
    if (c >= 0xA0 && c <= 0xA7) {
        Impl::Board* b = impl_->Find(a7);
        ParameterRecord record;
        std::copy(p + 1, p + 1 + ParameterRecord::kSize, record.Bytes().begin());
        // A record without its signature would leave the board unreadable: refuse it and
        // withhold the acknowledge.
        if (b == nullptr || !record.IsValid()) {
            return false;
        }
        b->state.record = record;
        if (options_.kind == UnitKind::Kvr100 && record.GetUnitAddress() <= 2 &&
            record.GetUnitAddress() != b->address) {
            b->address = record.GetUnitAddress();
            b->factory = MakeFactoryRecord(options_, 0, b->address, false);
        }
        save = true;
        reply.push_back(static_cast<uint8_t>(talk::kWriteAck | a7));
        return true;
    }
    if (c >= 0xA8 && c <= 0xAF) {
        Impl::Board* b = impl_->Find(a7);
        if (b == nullptr || p[1] != talk::kFactoryKey) {
            return false;
        }
        b->state.record = b->factory;
        save = true;
        return false;
    }
    if (c >= 0x90 && c <= 0x9F) {
        if (Impl::Board* b = impl_->Find(a3)) {
            b->state.relay[output] = 1;
        }
        return false;
    }
    if (c >= 0xB0 && c <= 0xBF) {
        if (Impl::Board* b = impl_->Find(a3)) {
            b->state.relay[output] = 0;
        }
        return false;
    }
    if (c >= 0xD0 && c <= 0xDF) {
        if (Impl::Board* b = impl_->Find(a3)) {
            ++b->state.relayPulses[output];
        }
        return false;
    }
    if (c >= 0xF0) {
        if (Impl::Board* b = impl_->Find(a3)) {
            b->state.dac[output] = GetU16(p + 1);
        }
        return false;
    }
    if (c >= 0xC0 && c <= 0xC3) {
        Impl::Board* b = impl_->Find(a3);
        if (b == nullptr) {
            return false;
        }
        const size_t n = b->state.record.GetFirmwareVersion() >= kExtendedFirmware
                             ? talk::kValuesDataExtended
                             : talk::kValuesData;
        reply.push_back(c);
        reply.insert(reply.end(), b->state.latched.begin(),
                     b->state.latched.begin() + static_cast<std::ptrdiff_t>(n));
        talk::AppendChecksum(reply);
        return true;
    }
    if (c == talk::kSample || c == talk::kSampleExtended) {
        LatchValuesLocked();
    }
    return false;  // Attention: the units only listen
}

void SimUnits::LatchValuesLocked() {
    Measurement channels[3];
    size_t count = 0;
    for (Impl::Board& b : impl_->boards) {
        if (b.mainboard) {
            continue;
        }
        Measurement in = InputAt(b.state.record, b.channel, impl_->now);
        in.wh = b.wh;
        in.vah = b.vah;
        in.varh = b.varh;
        const Measurement m = WithGains(in, b.state.record);
        if (count < 3) {
            channels[count++] = m;
        }
        b.state.latched.assign(kValuesBlock, 0);
        EncodeValues(m, b.state.record, ++b.counter, b.state.latched.data());
        b.state.sampled = true;
    }
    for (Impl::Board& b : impl_->boards) {
        if (!b.mainboard) {
            continue;
        }
        // The main board measures nothing itself: it reports the totals of its channels,
        // encoded with its own record's current range.
        const Measurement m = Totals(channels, count);
        b.state.latched.assign(kValuesBlock, 0);
        EncodeValues(m, b.state.record, ++b.counter, b.state.latched.data());
        b.state.sampled = true;
    }
}

void SimUnits::SaveStateLocked() {
    if (options_.stateFile.empty() || !impl_->stateWritable) {
        return;
    }
    std::vector<ParameterRecord> records;
    for (const Impl::Board& b : impl_->boards) {
        records.push_back(b.state.record);
    }
    std::string error;
    if (WriteFileAtomically(options_.stateFile, FormatState(options_.kind, records), error)) {
        impl_->stateError.clear();
    } else {
        impl_->stateError = "state file not saved: " + error;
    }
}

std::string SimUnits::Summary() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out;
    for (const Impl::Board& b : impl_->boards) {
        const BoardState& s = b.state;
        char line[256];
        (void)std::snprintf(line, sizeof line,
                            "address %d %-9s \"%s\" serial %u firmware %s mode 0x%02x loopback %d "
                            "output test %s relays %d%d%d%d pulses %d/%d/%d/%d dac %u/%u/%u/%u\n",
                            b.address, b.mainboard ? "mainboard" : "channel",
                            s.record.GetName().c_str(), s.record.GetSerialNumber(),
                            s.record.GetFirmwareVersionText().c_str(), s.mode, s.loopbackMode,
                            s.outputTest ? "on" : "off", s.relay[0], s.relay[1], s.relay[2],
                            s.relay[3], s.relayPulses[0], s.relayPulses[1], s.relayPulses[2],
                            s.relayPulses[3], s.dac[0], s.dac[1], s.dac[2], s.dac[3]);
        out += line;
    }
    return out;
}

}  // namespace kvr::sim
