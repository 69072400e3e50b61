#include "sim/SimBoards.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "base/Bytes.h"
#include "link/TalkFrames.h"
#include "sim/SimModel.h"
#include "sim/SimStateFile.h"

namespace kvr::sim {

namespace {

constexpr int kMainboardAddress = talk::kMainBoardAddress;
constexpr uint8_t kExtendedFirmware = 189;
// Energy integration: steps of at most a second, and at most this many per time update,
// so a large jump in time costs bounded work (the steps then grow).
constexpr int kMaxIntegrationSteps = 2000;

ParameterRecord MakeFactoryRecord(const SimOptions& options, int index, int address,
                                  bool mainboard) {
    ParameterRecord r;
    r.ResetToDefaults(static_cast<uint8_t>(address));
    const uint32_t base = options.serialNumber != 0 ? options.serialNumber : 204117u;
    r.SetSerialNumber(base + static_cast<uint32_t>(index));
    r.SetFirmwareVersion(options.firmware);
    r.SetInputHardware(0);
    // An 11 kV feeder measured through 11 kV / 110 V VTs and 400 A / 5 A CTs.
    r.SetPrimary(InputKind::Voltage, Winding::Primary, 11000.0);
    r.SetPrimary(InputKind::Voltage, Winding::Secondary, 110.0);
    r.SetDirect(InputKind::Voltage, false);
    r.SetPrimary(InputKind::Current, Winding::Primary, 400.0);
    r.SetPrimary(InputKind::Current, Winding::Secondary, 5.0);
    r.SetDirect(InputKind::Current, false);
    r.SetRanges(0, 2);  // "110 V", "5.000 A"
    char name[24];
    if (mainboard) {
        r.SetName("3 Phase");
    } else {
        (void)std::snprintf(name, sizeof name, "Channel %d", address + 1);
        r.SetName(name);
        // Phases A, B, C on the list of the input page (index 2 is V[an] and I[a]).
        const int phase = options.kind == UnitKind::Kvr300 ? 2 + index : 2;
        r.SetPhase(InputKind::Voltage, phase);
        r.SetPhase(InputKind::Current, phase);
        // Factory calibration slightly off unity, as on a real board, so that a
        // calibration has something to show.
        r.ApplyGainFactor((4101.0 - 3 * index) / 4096.0, InputKind::Voltage);
        r.ApplyGainFactor((4090.0 + 4 * index) / 4096.0, InputKind::Current);
        r.SetCtPhaseCorrection(0.12f + 0.03f * static_cast<float>(index));
        // One analog output card: active power on a 20 mA current output.
        r.SetCardType(0, 1);
        r.SetOutputEntity(0, MeasuredEntity::ActivePower);
        r.SetOutputRange(0, true, 6);
        r.SetOutputSource(0, address);
        r.SetScaleMin(0, 0);
        r.SetScaleMax(0, static_cast<int32_t>(r.NominalRaw(MeasuredEntity::ActivePower, false)));
    }
    return r;
}

}  // namespace

SimBoards::SimBoards(const SimOptions& options) : options_(options) {
    std::vector<std::pair<int, bool>> layout;  // address, main board
    if (options_.kind == UnitKind::Kvr300) {
        layout = {{0, false}, {1, false}, {2, false}, {kMainboardAddress, true}};
    } else {
        options_.kvr100Address = std::clamp(options_.kvr100Address, 0, 2);
        layout = {{options_.kvr100Address, false}};
    }
    for (size_t i = 0; i < layout.size(); ++i) {
        Entry b;
        b.address = layout[i].first;
        b.mainboard = layout[i].second;
        b.channel = b.mainboard ? kMainboardAddress : static_cast<int>(i);
        b.factory = MakeFactoryRecord(options_, static_cast<int>(i), b.address, b.mainboard);
        b.state.record = b.factory;
        b.state.latched.assign(kValuesBlock, 0);
        for (size_t o = 0; o < b.dacSpan.size(); ++o) {
            // Spread over the plausible range, different for every output.
            b.dacSpan[o] = 1937.0 + 29.0 * static_cast<double>(i) + 13.0 * static_cast<double>(o);
            b.dacOffset[o] = -17.0 + 11.0 * static_cast<double>(i) - 5.0 * static_cast<double>(o);
        }
        boards_.push_back(b);
    }
    std::string text;
    if (!ReadStateAtStart(options_.stateFile, text, stateError_, stateWritable_)) {
        return;
    }
    std::vector<ParameterRecord> records;
    std::string error;
    if (!ParseState(text, options_.kind, boards_.size(), records, error)) {
        stateError_ = "state file " + options_.stateFile + ": " + error;
        stateWritable_ = false;
        return;
    }
    for (size_t i = 0; i < records.size(); ++i) {
        Entry& b = boards_[i];
        b.state.record = records[i];
        if (options_.kind == UnitKind::Kvr100 && records[i].GetUnitAddress() <= 2) {
            b.address = records[i].GetUnitAddress();
            b.factory = MakeFactoryRecord(options_, 0, b.address, false);
        }
    }
}

SimBoards::Entry* SimBoards::Find(int address) {
    for (Entry& b : boards_) {
        if (b.address == address) {
            return &b;
        }
    }
    return nullptr;
}

BoardState* SimBoards::Board(int address) {
    Entry* b = Find(address);
    return b != nullptr ? &b->state : nullptr;
}

SimBoards::Entry* SimBoards::ChannelBoard(int index) {
    return const_cast<Entry*>(std::as_const(*this).ChannelBoard(index));
}

const SimBoards::Entry* SimBoards::ChannelBoard(int index) const {
    int seen = 0;
    for (const Entry& b : boards_) {
        if (!b.mainboard && seen++ == index) {
            return &b;
        }
    }
    return nullptr;
}

bool SimBoards::SetTrueInput(int channel, bool current, std::optional<double> value) {
    Entry* b = ChannelBoard(channel - 1);
    if (b == nullptr) {
        return false;
    }
    (current ? b->state.trueAmps : b->state.trueVolts) = value;
    return true;
}

void SimBoards::TrueDac(int output, double& span, double& offset) const {
    const Entry* b = ChannelBoard(output / 4);
    span = b != nullptr ? b->dacSpan[static_cast<size_t>(output % 4)] : 0.0;
    offset = b != nullptr ? b->dacOffset[static_cast<size_t>(output % 4)] : 0.0;
}

bool SimBoards::Meter(int output, std::string& text) const {
    // Full scale of the output ranges by range index: volts, then milliamperes.
    static constexpr double kVolts[8] = {0.5, 0, 2.5, 3.75, 5.0, 0, 10.0, 0};
    static constexpr double kMilliamps[8] = {1.0, 0, 5.0, 7.5, 10.0, 0, 20.0, 0};
    const Entry* b = output >= 1 ? ChannelBoard((output - 1) / 4) : nullptr;
    if (b == nullptr) {
        text = "no output " + std::to_string(output);
        return false;
    }
    const int slot = (output - 1) % 4;
    const ParameterRecord& r = b->state.record;
    if (r.GetCardType(slot) != 1) {
        text = "output " + std::to_string(output) + " has no analog card";
        return false;
    }
    bool current = false;
    int range = 0;
    r.GetOutputRange(slot, current, range);
    const double full = (current ? kMilliamps : kVolts)[range & 7];
    const double dac = static_cast<int16_t>(b->state.dac[static_cast<size_t>(slot)]);
    const double reading = (dac - b->dacOffset[static_cast<size_t>(slot)]) /
                           b->dacSpan[static_cast<size_t>(slot)] * full;
    char line[128];
    (void)std::snprintf(line, sizeof line, "output %d: %.4f %s (DAC %d%s)", output, reading,
                        current ? "mA" : "V", static_cast<int>(dac),
                        b->state.outputTest ? "" : ", output test off");
    text = line;
    return true;
}

bool SimBoards::AnswersAt(int address) const {
    return std::any_of(boards_.begin(), boards_.end(),
                       [address](const Entry& b) { return b.address == address; });
}

std::vector<int> SimBoards::Addresses() const {
    std::vector<int> out;
    for (const Entry& b : boards_) {
        out.push_back(b.address);
    }
    return out;
}

std::string SimBoards::StateError() const {
    return stateError_;
}

uint8_t SimBoards::DeviceCode(bool kvr300, bool mainboard, uint8_t firmware) {
    return static_cast<uint8_t>((firmware >= kExtendedFirmware ? 0x01 : 0) | (kvr300 ? 0x02 : 0) |
                                (mainboard ? 0x04 : 0));
}

void SimBoards::AdvanceTime(double seconds) {
    const double span = seconds - now_;
    const int steps = static_cast<int>(std::min<double>(kMaxIntegrationSteps, std::ceil(span)));
    const double dt = span / std::max(1, steps);
    for (Entry& b : boards_) {
        if (b.mainboard) {
            continue;  // the main board sums its channels at sampling time
        }
        const ParameterRecord& r = b.state.record;
        // Trapezoids over the input's smooth drift.
        Measurement prev = InputAt(r, b.channel, now_);
        for (int i = 1; i <= std::max(1, steps); ++i) {
            const Measurement cur = InputAt(r, b.channel, now_ + dt * i);
            b.wh += (prev.watts + cur.watts) / 2 * dt / 3600.0;
            b.vah += (prev.va + cur.va) / 2 * dt / 3600.0;
            b.varh += (prev.vars + cur.vars) / 2 * dt / 3600.0;
            prev = cur;
        }
    }
    now_ = seconds;
}

size_t SimBoards::FrameLength(std::span<const uint8_t> bytes) const {
    return TalkFrameLength(bytes);
}

bool SimBoards::HandleFrame(int address, std::span<const uint8_t> frame,
                            std::vector<uint8_t>& reply, bool& changed) {
    const uint8_t c = frame[0];
    const int output = (c >> 2) & 3;
    Entry* b = address == kBroadcast ? nullptr : Find(address);
    if (c <= 0x07) {
        if (b == nullptr) {
            return false;
        }
        // Device code, the KVR Talk version (major, minor), the firmware version byte and
        // a checksum over the five bytes.
        reply = {DeviceCode(options_.kind == UnitKind::Kvr300, b->mainboard,
                            b->state.record.GetFirmwareVersion()),
                 talk::kTalkMajor, talk::kTalkMinor, b->state.record.GetFirmwareVersion()};
        talk::AppendChecksum(reply);
        return true;
    }
    if (c >= 0x80 && c <= 0x87) {
        if (b == nullptr) {
            return false;
        }
        reply.push_back(c);
        reply.insert(reply.end(), b->state.record.Bytes().begin(), b->state.record.Bytes().end());
        talk::AppendChecksum(reply);
        return true;
    }
    if (c >= 0x88 && c <= 0x8F) {
        if (b == nullptr) {
            return false;
        }
        const uint8_t m = frame[1];
        if (frame.size() == 7) {
            b->state.loopbackMode = m;
            std::copy(frame.begin() + 2, frame.begin() + 6, b->state.loopbackBytes.begin());
        } else if (m == talk::kModeUser || m == talk::kModeFactory) {
            b->state.mode = m;
        } else {
            b->state.outputTest = (m & 1) != 0;
        }
        return false;
    }
    if (c >= 0xA0 && c <= 0xA7) {
        ParameterRecord record;
        std::copy(frame.begin() + 1, frame.begin() + 1 + ParameterRecord::kSize,
                  record.Bytes().begin());
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
        changed = true;
        reply.push_back(static_cast<uint8_t>(talk::kWriteAck | address));
        return true;
    }
    if (c >= 0xA8 && c <= 0xAF) {
        if (b == nullptr || frame[1] != talk::kFactoryKey) {
            return false;
        }
        // Back to its defaults: the factory record, every mode and output released.
        BoardState fresh;
        fresh.record = b->factory;
        fresh.latched.assign(kValuesBlock, 0);
        fresh.trueVolts = b->state.trueVolts;  // the bench's inputs stay connected
        fresh.trueAmps = b->state.trueAmps;
        b->state = fresh;
        changed = true;
        return false;
    }
    if (c >= 0x90 && c <= 0x9F) {
        if (b != nullptr) {
            b->state.relay[output] = 1;
        }
        return false;
    }
    if (c >= 0xB0 && c <= 0xBF) {
        if (b != nullptr) {
            b->state.relay[output] = 0;
        }
        return false;
    }
    if (c >= 0xD0 && c <= 0xDF) {
        if (b != nullptr) {
            ++b->state.relayPulses[output];
        }
        return false;
    }
    if (c >= 0xF0) {
        if (b != nullptr) {
            b->state.dac[output] = GetU16(frame.data() + 1);
        }
        return false;
    }
    if (c >= 0xC0 && c <= 0xC3) {
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
        LatchValues();
    }
    return false;  // Attention: the boards only listen
}

void SimBoards::LatchValues() {
    Measurement channels[3];
    size_t count = 0;
    for (Entry& b : boards_) {
        if (b.mainboard) {
            continue;
        }
        Measurement in = InputAt(b.state.record, b.channel, now_);
        if (b.state.trueVolts || b.state.trueAmps) {
            in.volts = b.state.trueVolts.value_or(in.volts);
            in.amps = b.state.trueAmps.value_or(in.amps);
            in.va = in.volts * in.amps;
            in.watts = in.va * in.pf;
            in.vars = std::sqrt(std::max(0.0, in.va * in.va - in.watts * in.watts));
        }
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
    for (Entry& b : boards_) {
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

void SimBoards::SaveState() {
    if (options_.stateFile.empty() || !stateWritable_) {
        return;
    }
    std::vector<ParameterRecord> records;
    for (const Entry& b : boards_) {
        records.push_back(b.state.record);
    }
    // The modules' lines stay as they are.
    std::string old;
    bool exists = false;
    std::string error;
    (void)ReadSmallFile(options_.stateFile, old, exists, error);
    error.clear();
    if (WriteFileAtomically(options_.stateFile,
                            FormatState(options_.kind, records) + ModuleStateLines(old), error)) {
        stateError_.clear();
    } else {
        stateError_ = "state file not saved: " + error;
    }
}

std::string SimBoards::Summary() const {
    std::string out;
    for (const Entry& b : boards_) {
        const BoardState& s = b.state;
        char line[256];
        (void)std::snprintf(
            line, sizeof line,
            "address %d %-9s \"%s\" serial %u firmware %s mode %s loopback %d "
            "output test %s relays %d%d%d%d pulses %d/%d/%d/%d dac %u/%u/%u/%u\n",
            b.address, b.mainboard ? "mainboard" : "channel", s.record.GetName().c_str(),
            s.record.GetSerialNumber(), s.record.GetFirmwareVersionText().c_str(),
            s.mode == talk::kModeUser      ? "user"
            : s.mode == talk::kModeFactory ? "factory"
                                           : "-",
            s.loopbackMode, s.outputTest ? "on" : "off", s.relay[0], s.relay[1], s.relay[2],
            s.relay[3], s.relayPulses[0], s.relayPulses[1], s.relayPulses[2], s.relayPulses[3],
            s.dac[0], s.dac[1], s.dac[2], s.dac[3]);
        out += line;
        if (s.loopbackMode != 0 || s.trueVolts || s.trueAmps) {
            char volts[32] = "model";
            char amps[32] = "model";
            if (s.trueVolts) {
                (void)std::snprintf(volts, sizeof volts, "%g V", *s.trueVolts);
            }
            if (s.trueAmps) {
                (void)std::snprintf(amps, sizeof amps, "%g A", *s.trueAmps);
            }
            (void)std::snprintf(line, sizeof line,
                                "          loopback bytes %u/%u/%u/%u, true input %s, %s\n",
                                s.loopbackBytes[0], s.loopbackBytes[1], s.loopbackBytes[2],
                                s.loopbackBytes[3], volts, amps);
            out += line;
        }
    }
    return out;
}

}  // namespace kvr::sim
