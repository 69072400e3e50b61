#include "sim/SimUnits.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "link/TalkFrames.h"
#include "sim/SimModules.h"

namespace kvr::sim {

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

SimUnits::SimUnits(const SimOptions& options) {
    auto boards = std::make_unique<SimBoards>(options);
    boards_ = boards.get();
    options_ = boards->Options();
    units_.push_back(std::move(boards));
    if (options.withCom) {
        AddUnit(std::make_unique<SimCom>(options_));
    }
    if (options.withDisplay) {
        AddUnit(std::make_unique<SimDisplay>(options_));
    }
}

unsigned SimUnits::IdleCue(uint8_t& byte) {
    byte = 0;
    if (faults_.silent.load() || faults_.noCue.load()) {
        return 0;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::unique_ptr<ISimUnit>& u : units_) {
        if (const unsigned ms = u->IdleCueMs(byte); ms > 0) {
            return ms;
        }
    }
    return 0;
}

SimUnits::~SimUnits() = default;

void SimUnits::AddUnit(std::unique_ptr<ISimUnit> unit) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (now_ > 0) {
        unit->AdvanceTime(now_);  // a unit starts at time 0: bring it to the line's time
    }
    units_.push_back(std::move(unit));
}

ISimUnit* SimUnits::UnitAt(int address) {
    for (const std::unique_ptr<ISimUnit>& u : units_) {
        if (u->AnswersAt(address)) {
            return u.get();
        }
    }
    return nullptr;
}

bool SimUnits::SetTrueInput(int channel, bool current, std::optional<double> value) {
    std::lock_guard<std::mutex> lock(mutex_);
    return boards_->SetTrueInput(channel, current, value);
}

bool SimUnits::Meter(int output, std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    return boards_->Meter(output, text);
}

void SimUnits::TrueDac(int output, double& span, double& offset) {
    std::lock_guard<std::mutex> lock(mutex_);
    boards_->TrueDac(output, span, offset);
}

BoardState* SimUnits::Board(int address) {
    return boards_->Board(address);
}

std::vector<int> SimUnits::Addresses() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> out;
    for (const std::unique_ptr<ISimUnit>& u : units_) {
        const std::vector<int> own = u->Addresses();
        out.insert(out.end(), own.begin(), own.end());
    }
    return out;
}

std::string SimUnits::StateError() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out;
    for (const std::unique_ptr<ISimUnit>& u : units_) {
        const std::string error = u->StateError();
        if (!error.empty()) {
            out += (out.empty() ? "" : "; ") + error;
        }
    }
    return out;
}

std::string SimUnits::Summary() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out;
    for (const std::unique_ptr<ISimUnit>& u : units_) {
        out += u->Summary();
    }
    return out;
}

double SimUnits::TimeSeconds() {
    std::lock_guard<std::mutex> lock(mutex_);
    return now_;
}

void SimUnits::SetTimeSeconds(double seconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!std::isfinite(seconds) || seconds <= now_) {
        return;
    }
    for (const std::unique_ptr<ISimUnit>& u : units_) {
        u->AdvanceTime(seconds);
    }
    now_ = seconds;
}

void SimUnits::DiscardPartialFrame() {
    std::lock_guard<std::mutex> lock(mutex_);
    rx_.clear();
}

std::vector<Reply> SimUnits::Receive(const uint8_t* data, size_t n) {
    std::vector<Reply> replies;
    std::lock_guard<std::mutex> lock(mutex_);
    if (faults_.silent.load()) {
        rx_.clear();  // a silent line hears nothing, as if its cable were out
        return replies;
    }
    if (data != nullptr && n > 0) {
        rx_.insert(rx_.end(), data, data + n);
    }
    std::vector<ISimUnit*> changed;
    size_t pos = 0;
    while (pos < rx_.size()) {
        const std::span<const uint8_t> rest(rx_.data() + pos, rx_.size() - pos);
        const int address = CommandAddress(rest[0]);
        ISimUnit* unit = address >= 0 ? UnitAt(address) : nullptr;
        // A frame for an address nobody answers at is still passed over whole.
        const size_t len = address == kNoCommand ? kNoFrame
                           : unit != nullptr     ? unit->FrameLength(rest)
                                                 : TalkFrameLength(rest);
        if (len == kNoFrame) {
            ++pos;  // not a command: skip the byte and look for the next frame
            continue;
        }
        if (len == kNeedMore || len > rest.size()) {
            break;
        }
        const std::span<const uint8_t> frame = rest.first(len);
        if (len == 1 || talk::SumsToZero(frame.data(), len)) {
            ++frames_;
            for (const std::unique_ptr<ISimUnit>& u : units_) {
                if (address != kBroadcast && u.get() != unit) {
                    continue;
                }
                std::vector<uint8_t> reply;
                bool unitChanged = false;
                if (u->HandleFrame(address, frame, reply, unitChanged) && !reply.empty()) {
                    AddReply(faults_, std::move(reply), replies);
                }
                if (unitChanged &&
                    std::find(changed.begin(), changed.end(), u.get()) == changed.end()) {
                    changed.push_back(u.get());
                }
            }
        }
        pos += len;
    }
    rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(pos));
    // Every unit saves when one changed, boards first: a module's line then never
    // lands in a file without the boards' records.
    if (!changed.empty()) {
        for (const std::unique_ptr<ISimUnit>& u : units_) {
            u->SaveState();
        }
    }
    return replies;
}

}  // namespace kvr::sim
