#include "sim/SimModules.h"

#include <cstdio>

#include "base/Bytes.h"
#include "base/Text.h"
#include "sim/SimStateFile.h"

namespace kvr::sim {

namespace {

constexpr uint8_t kQueryDevice = 0x00;
constexpr uint8_t kRead = 0x80;
constexpr uint8_t kWrite = 0xA0;
constexpr uint8_t kCue = 0xE2;

// A fresh display shows nothing: every line blank (high nibble 0xF, value code 0xFF) with
// blank units, as a module leaves the factory.
std::vector<uint8_t> FactoryDisplay() {
    std::vector<uint8_t> r(kSimDisplayRecord, 0);
    r[0] = 0xA5;
    r[1] = 0x55;
    r[2] = 0xAA;
    for (size_t l = 0; l < 24; ++l) {
        r[3 + l] = 0xF0;
        r[27 + l] = 0xFF;
        for (size_t k = 0; k < 5; ++k) {
            r[123 + 24 * k + l] = ' ';
        }
    }
    r.back() = Checksum(r.data(), r.size() - 1);
    return r;
}

// Slave 1 on Modbus RTU at 9600, 8 data bits, 1 stop bit, no parity or handshake.
std::vector<uint8_t> FactoryCom(const SimOptions& options) {
    std::vector<uint8_t> r(kSimComRecord, 0);
    PutU32(r.data(), (options.serialNumber != 0 ? options.serialNumber : 204117u) + 400);
    r[4] = 1;
    r[5] = options.kind == UnitKind::Kvr300 ? 3 : 1;
    r[6] = 1;
    r[7] = 1;
    r[8] = 0;
    r[9] = 8;
    r[10] = 0;
    r[11] = 1;
    return r;
}

}  // namespace

SimModule::SimModule(const SimOptions& options, int address, uint8_t deviceCode,
                     std::string keyword, std::vector<uint8_t> factory)
    : record_(std::move(factory)),
      options_(options),
      address_(address),
      deviceCode_(deviceCode),
      keyword_(std::move(keyword)) {
    std::string text;
    if (!ReadStateAtStart(options_.stateFile, text, stateError_, stateWritable_)) {
        return;
    }
    const std::string hex = FindStateLine(text, keyword_);
    if (hex.empty()) {
        return;  // not kept yet: the factory record
    }
    std::vector<uint8_t> bytes;
    if (!FromHex(hex, bytes) || bytes.size() != record_.size()) {
        stateError_ = "state file " + options_.stateFile + ": the " + keyword_ + " record needs " +
                      std::to_string(2 * record_.size()) + " hex digits";
        stateWritable_ = false;
        return;
    }
    record_ = bytes;
}

void SimModule::SaveState() {
    if (options_.stateFile.empty() || !stateWritable_) {
        return;
    }
    std::string error;
    if (ReplaceStateLine(options_.stateFile, keyword_, ToHex(record_.data(), record_.size()),
                         error)) {
        stateError_.clear();
    } else {
        stateError_ = "state file not saved: " + error;
    }
}

std::vector<uint8_t> SimModule::QueryReply() const {
    std::vector<uint8_t> reply = {deviceCode_, 1, 73, 0, 0};
    reply.back() = Checksum(reply.data(), reply.size() - 1);
    return reply;
}

SimDisplay::SimDisplay(const SimOptions& options)
    : SimModule(options, kSimDisplayAddress, kSimDisplayDeviceCode, "display", FactoryDisplay()),
      cueMs_(options.displayCueMs) {}

size_t SimDisplay::FrameLength(std::span<const uint8_t> bytes) const {
    const uint8_t c = bytes[0];
    if (c == (kQueryDevice | kSimDisplayAddress) || c == (kRead | kSimDisplayAddress)) {
        return 1;
    }
    return c == (kWrite | kSimDisplayAddress) ? kSimDisplayRecord : kNoFrame;
}

bool SimDisplay::HandleFrame(int address, std::span<const uint8_t> frame,
                             std::vector<uint8_t>& reply, bool& changed) {
    if (address != kSimDisplayAddress) {
        return false;  // the broadcasts are for the measuring units
    }
    const uint8_t c = frame[0];
    if (c == (kQueryDevice | kSimDisplayAddress)) {
        reply = QueryReply();
        return true;
    }
    if (c == (kRead | kSimDisplayAddress)) {
        reply = record_;
        return true;
    }
    // The line passes only frames whose sum is right; the header must be the module's.
    if (frame.size() == kSimDisplayRecord && frame[1] == 0x55 && frame[2] == 0xAA) {
        changed = record_ != std::vector<uint8_t>(frame.begin(), frame.end());
        record_.assign(frame.begin(), frame.end());
    }
    return false;
}

unsigned SimDisplay::IdleCueMs(uint8_t& byte) const {
    byte = kCue;
    return cueMs_;
}

std::string SimDisplay::Summary() const {
    int shown = 0;
    for (size_t l = 0; l < 24; ++l) {
        shown += (record_[3 + l] >> 4) != 0xF ? 1 : 0;
    }
    char line[128];
    (void)std::snprintf(line, sizeof line,
                        "address 5 display   %d of 24 lines shown, cue every %u ms\n", shown,
                        cueMs_);
    return line;
}

SimCom::SimCom(const SimOptions& options)
    : SimModule(options, kSimComAddress, kSimComDeviceCode, "com", FactoryCom(options)) {}

size_t SimCom::FrameLength(std::span<const uint8_t> bytes) const {
    const uint8_t c = bytes[0];
    if (c == (kQueryDevice | kSimComAddress) || c == (kRead | kSimComAddress)) {
        return 1;
    }
    return c == (kWrite | kSimComAddress) ? kSimComRecord + 2 : kNoFrame;
}

bool SimCom::HandleFrame(int address, std::span<const uint8_t> frame, std::vector<uint8_t>& reply,
                         bool& changed) {
    if (address != kSimComAddress) {
        return false;
    }
    const uint8_t c = frame[0];
    if (c == (kQueryDevice | kSimComAddress)) {
        reply = QueryReply();
        return true;
    }
    if (c == (kRead | kSimComAddress)) {
        reply.assign(1, c);
        reply.insert(reply.end(), record_.begin(), record_.end());
        reply.push_back(Checksum(reply.data(), reply.size()));
        return true;
    }
    const std::vector<uint8_t> record(frame.begin() + 1, frame.end() - 1);
    changed = record != record_;
    record_ = record;
    return false;
}

std::string SimCom::Summary() const {
    char line[160];
    (void)std::snprintf(line, sizeof line,
                        "address 4 com       serial %d slave %u unit %u baud %u stop %u parity %u "
                        "data %u handshake %u protocol %u\n",
                        static_cast<int>(GetU32(record_.data())), record_[4], record_[5],
                        record_[6], record_[7], record_[8], record_[9], record_[10], record_[11]);
    return line;
}

}  // namespace kvr::sim
