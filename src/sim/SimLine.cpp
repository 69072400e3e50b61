#include "sim/SimLine.h"

#include <algorithm>

#include "base/Clock.h"

namespace kvr::sim {

SimLine::SimLine(SimUnits& units)
    : units_(units),
      startMs_(GetClock().NowMs()),
      startSeconds_(units.TimeSeconds()),
      lastWriteMs_(startMs_),
      lastNowMs_(startMs_),
      lastCueMs_(startMs_) {}

namespace {
// Cue bytes queued at most while nobody reads, as a receive buffer holds only so much.
constexpr uint64_t kMaxQueuedCues = 64;
}  // namespace

uint64_t SimLine::NextCueMs() {
    uint8_t byte = 0;
    const unsigned period = units_.IdleCue(byte);
    if (period == 0) {
        return UINT64_MAX;
    }
    // Quiet since the last byte either way: a write, a reply byte or a cue.
    uint64_t quiet = std::max(lastWriteMs_, lastCueMs_);
    if (!pending_.empty()) {
        quiet = std::max(quiet, pending_.back().readyMs);
    }
    return quiet + period;
}

void SimLine::OfferCues(uint64_t now) {
    uint8_t byte = 0;
    const unsigned period = units_.IdleCue(byte);
    if (period == 0) {
        return;
    }
    if (now > kMaxQueuedCues * period) {
        lastCueMs_ = std::max(lastCueMs_, now - kMaxQueuedCues * period);
    }
    for (uint64_t next = NextCueMs(); next <= now; next = NextCueMs()) {
        pending_.push_back({byte, next});
        lastCueMs_ = next;
    }
}

uint64_t SimLine::Now() {
    const uint64_t now = GetClock().NowMs();
    if (now < lastNowMs_) {
        // Another clock took over: keep the units' time and the pending replies where they
        // stand relative to it.
        startMs_ = now;
        startSeconds_ = units_.TimeSeconds();
        lastWriteMs_ = now;
        lastCueMs_ = now;
        for (PendingByte& p : pending_) {
            p.readyMs = now;
        }
    }
    lastNowMs_ = now;
    return now;
}

bool SimLine::CheckHangUp() {
    // The hang-up is consumed by the line it hits; a line opened afterwards works again,
    // as a cable plugged back in.
    if (!hungUp_ && units_.GetFaults().hangUp.exchange(false)) {
        hungUp_ = true;
        pending_.clear();
    }
    return hungUp_;
}

long SimLine::Read(uint8_t* buffer, size_t n, unsigned intervalMs, unsigned totalMs) {
    if (CheckHangUp()) {
        return -1;
    }
    if (n == 0) {
        return 0;
    }
    IClock& clock = GetClock();
    const uint64_t start = Now();
    const uint64_t totalDeadline = start + totalMs;
    uint64_t lastRx = start;
    size_t got = 0;
    for (;;) {
        const uint64_t now = Now();
        OfferCues(now);
        while (got < n && !pending_.empty() && pending_.front().readyMs <= now) {
            lastRx = std::max(pending_.front().readyMs, start);
            buffer[got++] = pending_.front().byte;
            pending_.pop_front();
        }
        if (got == n) {
            return static_cast<long>(got);
        }
        uint64_t deadline = totalDeadline;
        if (got > 0) {
            deadline = std::min(deadline, lastRx + intervalMs);
        }
        const uint64_t next = pending_.empty() ? NextCueMs() : pending_.front().readyMs;
        if (next <= deadline) {
            if (next > now) {
                clock.SleepMs(next - now);
            }
            continue;
        }
        if (deadline > now) {
            clock.SleepMs(deadline - now);
        }
        return static_cast<long>(got);
    }
}

long SimLine::Write(const uint8_t* data, size_t n, unsigned /*totalMs*/) {
    if (CheckHangUp()) {
        return -1;
    }
    const uint64_t now = Now();
    OfferCues(now);  // what a unit sent before this write stays ahead of the replies to it
    if (now - lastWriteMs_ > kFrameGapMs) {
        units_.DiscardPartialFrame();
    }
    lastWriteMs_ = now;
    units_.SetTimeSeconds(startSeconds_ + static_cast<double>(now - startMs_) / 1000.0);
    const std::vector<Reply> replies = units_.Receive(data, n);
    for (const Reply& r : replies) {
        // Replies leave in order: one never overtakes the bytes of an earlier one.
        uint64_t base = now + r.delayMs;
        if (!pending_.empty()) {
            base = std::max(base, pending_.back().readyMs);
        }
        for (size_t i = 0; i < r.bytes.size(); ++i) {
            const bool stalled = r.gapAfter > 0 && i >= r.gapAfter;
            pending_.push_back({r.bytes[i], base + (stalled ? r.gapMs : 0)});
        }
    }
    return static_cast<long>(n);
}

bool SimLine::Purge() {
    pending_.clear();
    return !hungUp_;
}

bool SimLine::SetDtr(bool on) {
    dtr_ = on;
    return true;
}

bool SimLine::HungUp() const {
    return hungUp_ || units_.GetFaults().hangUp.load();
}

CSerialPort::LineOpener SimLineOpener(SimUnits& units) {
    return [&units](const std::string& /*device*/, const LineSettings& /*settings*/,
                    std::string& /*error*/) -> std::unique_ptr<ISerialLine> {
        return std::make_unique<SimLine>(units);
    };
}

}  // namespace kvr::sim
