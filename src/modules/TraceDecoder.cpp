#include "modules/TraceDecoder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "base/Bytes.h"
#include "base/Clock.h"
#include "link/TalkFrames.h"
#include "modules/ComSetup.h"
#include "modules/DisplayLink.h"

namespace kvr {

using namespace talk;

namespace {

std::string Printf(const char* format, auto... args) {
    char text[96];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

bool IsSetMode(uint8_t b) {
    return (b & 0xF8) == kSetMode;
}
bool IsRestoreFactory(uint8_t b) {
    return (b & 0xF8) == kRestoreFactorySettings;
}

// The length of a frame sent a byte at a time, from what has come of it; 0 while the
// bytes so far do not tell.
size_t GatheredLength(const std::vector<uint8_t>& f) {
    if (IsRestoreFactory(f[0])) {
        return 3;
    }
    if (f.size() < 2) {
        return 0;
    }
    const uint8_t mode = f[1];
    return mode == kModeUser || mode == kModeFactory || (mode & 0xFE) == kModeOutputTest ? 3 : 7;
}

// Parses "[%d;%d]%c:" and the "0x%02hx;" bytes after it; the rest of the text in `tail`.
bool ParseTransfer(const std::string& text, TraceEntry& entry, std::string& tail) {
    unsigned long requested = 0;
    unsigned long transferred = 0;
    char direction = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "[%lu;%lu]%c:%n", &requested, &transferred, &direction, &used) !=
            3 ||
        used == 0 || (direction != '>' && direction != '<')) {
        return false;
    }
    entry.direction = direction;
    entry.requested = requested;
    entry.transferred = transferred;
    size_t at = static_cast<size_t>(used);
    while (at + 5 <= text.size() && text.compare(at, 2, "0x") == 0 && text[at + 4] == ';') {
        entry.bytes.push_back(
            static_cast<uint8_t>(std::strtoul(text.substr(at + 2, 2).c_str(), nullptr, 16)));
        at += 5;
    }
    tail = text.substr(at);
    if (entry.bytes.size() > transferred) {
        entry.bytes.resize(transferred);  // a short read lists its fill as well
    }
    return true;
}

std::string Trimmed(const std::string& text) {
    size_t end = text.find_last_not_of(" \r\n");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace

std::string TraceTimeText(uint64_t timeMs) {
    const std::time_t seconds = static_cast<std::time_t>(timeMs / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return Printf("%02d:%02d:%02d.%03u", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<unsigned>(timeMs % 1000));
}

std::string TraceHexText(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (uint8_t b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

std::string FormatTraceEntry(const TraceEntry& e) {
    const std::string reply = e.replyMs >= 0 ? std::to_string(e.replyMs) + " ms" : "-";
    char head[160];
    std::snprintf(head, sizeof head, "%s %c %-36s %-16s %8s  ", TraceTimeText(e.timeMs).c_str(),
                  e.direction, e.command.c_str(), e.check.empty() ? "-" : e.check.c_str(),
                  reply.c_str());
    std::string line = head;
    line += e.bytes.empty() ? std::string("-") : TraceHexText(e.bytes);
    return line;
}

void TraceDecoder::Decode(TraceEntry& e) {
    const std::vector<uint8_t>& f = e.bytes;
    const size_t n = f.size();
    const uint8_t b = f[0];
    const unsigned a7 = b & 7;
    const unsigned a3 = b & 3;
    const unsigned out = (b >> 2) & 3;
    const bool sums = SumsToZero(f.data(), n);
    auto set = [&e](const char* name, int address, std::string command) {
        e.name = name;
        e.address = address;
        e.command = std::move(command);
    };
    auto checked = [&e, sums](bool lengthRight) { e.check = sums && lengthRight ? "ok" : "bad"; };
    reply_ = Reply::None;
    if (b <= (kQueryDevice | 7)) {
        set("QueryDevice", static_cast<int>(a7), Printf("QueryDevice addr %u", a7));
        reply_ = Reply::Query;
    } else if (b == kReadComSetup) {
        set("ReadComSetup", 4, "ReadComSetup");
        reply_ = Reply::Length;
    } else if (b == kReadDisplaySetup) {
        set("ReadDisplaySetup", 5, "ReadDisplaySetup");
        reply_ = Reply::Sum;
    } else if ((b & 0xF8) == kReadParameters) {
        set("ReadParameters", static_cast<int>(a7), Printf("ReadParameters addr %u", a7));
        reply_ = Reply::Echo;
    } else if (IsSetMode(b)) {
        const int address = static_cast<int>(a7);
        const int mode = n >= 2 ? f[1] : -1;
        if (mode == kModeUser) {
            set("SetUserMode", address, Printf("SetUserMode addr %u", a7));
        } else if (mode == kModeFactory) {
            set("SetFactoryMode", address, Printf("SetFactoryMode addr %u", a7));
        } else if (mode >= 0 && (mode & 0xFE) == kModeOutputTest) {
            set("SetOutputTest", address,
                Printf("SetOutputTest addr %u %s", a7, (mode & 1) != 0 ? "on" : "off"));
        } else if (mode >= 0 && mode <= 3 && n == 7) {
            set("SetLoopbackMode", address,
                Printf("SetLoopbackMode addr %u mode %d: %u %u %u %u", a7, mode, f[2], f[3], f[4],
                       f[5]));
        } else {
            set("SetMode", address,
                mode < 0 ? Printf("SetMode addr %u", a7)
                         : Printf("SetMode addr %u mode 0x%02X", a7, static_cast<unsigned>(mode)));
        }
        checked(n == (mode >= 0 && mode <= 3 ? 7u : 3u));
    } else if ((b & 0xF0) == kRelayMake) {
        set("RelayMake", static_cast<int>(a3), Printf("RelayMake out %u addr %u", out, a3));
    } else if (b == kWriteComSetup && n == kComRecordSize + 2) {
        set("WriteComSetup", 4, "WriteComSetup");
        checked(true);
    } else if (b == 0xA5 && n == kDisplayRecordSize) {
        set("WriteDisplaySetup", 5, "WriteDisplaySetup");
        checked(f[1] == 0x55 && f[2] == 0xAA);
    } else if ((b & 0xF8) == kWriteParameters) {
        set("WriteParameters", static_cast<int>(a7), Printf("WriteParameters addr %u", a7));
        checked(n == kRecordReply);
        reply_ = Reply::Ack;
    } else if (IsRestoreFactory(b)) {
        set("RestoreFactorySettings", static_cast<int>(a7),
            Printf("RestoreFactorySettings addr %u", a7));
        checked(n == 3 && f[1] == kFactoryKey);
    } else if ((b & 0xF0) == kRelayBreak) {
        set("RelayBreak", static_cast<int>(a3), Printf("RelayBreak out %u addr %u", out, a3));
    } else if ((b & 0xFC) == kReadValues) {
        set("ReadValues", static_cast<int>(a3), Printf("ReadValues addr %u", a3));
        reply_ = Reply::Echo;
    } else if ((b & 0xF0) == kRelayPulse) {
        set("RelayPulse", static_cast<int>(a3), Printf("RelayPulse out %u addr %u", out, a3));
    } else if (b == kAttention) {
        set("Attention", -1, "Attention");
    } else if (b == kSample) {
        set("Sample", -1, "Sample");
    } else if (b == kSampleExtended) {
        set("SampleExtended", -1, "SampleExtended");
    } else if ((b & 0xF8) == kWriteAck) {
        set("Acknowledge", static_cast<int>(a7), Printf("Acknowledge addr %u", a7));
    } else if ((b & 0xF0) == kWriteDac) {
        if (n >= 3) {
            set("WriteDac", static_cast<int>(a3),
                Printf("WriteDac out %u addr %u = %u", out, a3, f[1] | (f[2] << 8)));
        } else {
            set("WriteDac", static_cast<int>(a3), Printf("WriteDac out %u addr %u", out, a3));
        }
        checked(n == 4);
    } else {
        set("Unknown", -1, Printf("Unknown 0x%02X", b));
    }
    if (e.transferred < e.requested) {
        e.check = Printf("sent %zu of %zu", e.transferred, e.requested);
    }
}

void TraceDecoder::Sent(TraceEntry entry, uint64_t steadyMs, std::vector<TraceEntry>& out) {
    if (entry.bytes.empty()) {
        out.push_back(std::move(entry));
        return;
    }
    if (!gathering_.bytes.empty()) {
        if (entry.bytes.size() == 1) {
            gathering_.bytes.push_back(entry.bytes[0]);
            gathering_.requested += entry.requested;
            gathering_.transferred += entry.transferred;
            gathering_.timeMs = entry.timeMs;
            const size_t need = GatheredLength(gathering_.bytes);
            if (need != 0 && gathering_.bytes.size() >= need) {
                TraceEntry whole = std::move(gathering_);
                gathering_ = {};
                Sent(std::move(whole), steadyMs, out);
                return;
            }
            return;
        }
        Flush(out);
    }
    const uint8_t b = entry.bytes[0];
    if (entry.bytes.size() == 1 && gathering_.bytes.empty() &&
        (IsSetMode(b) || IsRestoreFactory(b)) && entry.direction == '>' && entry.requested == 1) {
        gathering_ = std::move(entry);  // the rest of the frame follows byte by byte
        return;
    }
    entry.direction = '>';
    Decode(entry);
    pending_ = entry;
    sentAt_ = steadyMs;
    expected_ = 0;
    received_.clear();
    out.push_back(std::move(entry));
}

void TraceDecoder::Flush(std::vector<TraceEntry>& out) {
    if (gathering_.bytes.empty()) {
        return;
    }
    TraceEntry partial = std::move(gathering_);
    gathering_ = {};
    partial.direction = '>';
    Decode(partial);
    partial.check = "incomplete";
    reply_ = Reply::None;
    out.push_back(std::move(partial));
}

void TraceDecoder::Received(TraceEntry entry, bool failed, uint64_t steadyMs,
                            std::vector<TraceEntry>& out) {
    const std::vector<uint8_t>& bytes = entry.bytes;
    const char* nothing = failed ? "failed" : "no reply";
    if (reply_ == Reply::None) {
        const bool cues = !bytes.empty() && std::all_of(bytes.begin(), bytes.end(),
                                                        [](uint8_t b) { return b == kDisplayCue; });
        entry.name = cues ? "DisplayCue" : "Read";
        entry.command = entry.name;
        entry.address = cues ? 5 : -1;
        if (bytes.empty()) {
            entry.check = nothing;
        }
        out.push_back(std::move(entry));
        return;
    }
    entry.name = pending_.name;
    entry.address = pending_.address;
    entry.command = pending_.command;
    entry.replyMs = static_cast<int64_t>(steadyMs - sentAt_);
    if (expected_ == 0) {
        expected_ = entry.requested;
    }
    received_.insert(received_.end(), bytes.begin(), bytes.end());
    // The program reads past a display's cues before an echo or an acknowledge.
    size_t skip = 0;
    if (reply_ == Reply::Echo || reply_ == Reply::Ack) {
        while (skip < received_.size() && received_[skip] == kDisplayCue) {
            ++skip;
        }
    }
    const uint8_t* reply = received_.data() + skip;
    const size_t got = received_.size() - skip;
    bool done = got >= expected_ || entry.transferred == 0;
    if (got == 0) {
        entry.check = nothing;
    } else if (reply_ == Reply::Query) {
        entry.command += Printf(": device code %u", reply[0]);
        done = true;
    } else if (reply_ == Reply::Ack) {
        entry.check = reply[0] == (kWriteAck | (pending_.bytes[0] & 7)) ? "ok" : "bad";
    } else if (got < expected_) {
        entry.check = Printf("short %zu of %zu", got, expected_);
    } else if (reply_ == Reply::Echo) {
        entry.check = reply[0] == pending_.bytes[0] && SumsToZero(reply, expected_) ? "ok" : "bad";
    } else if (reply_ == Reply::Sum) {
        entry.check = SumsToZero(reply, expected_) ? "ok" : "bad";
    }
    if (done) {
        reply_ = Reply::None;
    }
    out.push_back(std::move(entry));
}

void TraceDecoder::Feed(const std::string& text, uint64_t wallMs, uint64_t steadyMs,
                        std::vector<TraceEntry>& out) {
    TraceEntry entry;
    entry.timeMs = wallMs;
    std::string tail;
    if (!ParseTransfer(text, entry, tail)) {
        Flush(out);
        entry.direction = '-';
        entry.name = "Line";
        entry.command = Trimmed(text);
        reply_ = Reply::None;  // a drain or a hang-up ends the exchange
        out.push_back(std::move(entry));
        return;
    }
    if (entry.direction == '>') {
        Sent(std::move(entry), steadyMs, out);
        return;
    }
    Flush(out);
    Received(std::move(entry), tail.find("ReadComm Failed") != std::string::npos, steadyMs, out);
}

bool TraceFilter::Accepts(const TraceEntry& entry) const {
    return (address < 0 || entry.address == address) && (name.empty() || entry.name == name);
}

std::string TraceFileText(const std::deque<TraceEntry>& entries, const TraceFilter& filter) {
    std::string text;
    for (const TraceEntry& e : entries) {
        if (filter.Accepts(e)) {
            text += FormatTraceEntry(e);
            text += '\n';
        }
    }
    return text;
}

const std::vector<std::string>& TraceCommandNames() {
    static const std::vector<std::string> kNames = {"QueryDevice",
                                                    "ReadParameters",
                                                    "WriteParameters",
                                                    "ReadValues",
                                                    "Sample",
                                                    "SampleExtended",
                                                    "Attention",
                                                    "SetUserMode",
                                                    "SetFactoryMode",
                                                    "SetOutputTest",
                                                    "SetLoopbackMode",
                                                    "SetMode",
                                                    "RelayMake",
                                                    "RelayBreak",
                                                    "RelayPulse",
                                                    "WriteDac",
                                                    "RestoreFactorySettings",
                                                    "ReadComSetup",
                                                    "WriteComSetup",
                                                    "ReadDisplaySetup",
                                                    "WriteDisplaySetup",
                                                    "DisplayCue",
                                                    "Read",
                                                    "Acknowledge",
                                                    "Unknown",
                                                    "Line"};
    return kNames;
}

void TraceRing::Push(TraceEntry entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (capacity_ == 0) {
        ++dropped_;
        return;
    }
    if (entries_.size() >= capacity_) {
        entries_.pop_front();
        ++dropped_;
    }
    entries_.push_back(std::move(entry));
}

std::vector<TraceEntry> TraceRing::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<TraceEntry> taken(std::make_move_iterator(entries_.begin()),
                                  std::make_move_iterator(entries_.end()));
    entries_.clear();
    return taken;
}

size_t TraceRing::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

size_t TraceRing::Dropped() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dropped_;
}

TraceSink DecodingTraceSink(std::function<void(const TraceEntry&)> out) {
    struct State {
        std::mutex mutex;  // one text at a time through the decoder
        TraceDecoder decoder;
        std::vector<TraceEntry> done;
    };
    auto state = std::make_shared<State>();
    return [state, out = std::move(out)](const std::string& text) {
        const uint64_t wall =
            static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::system_clock::now().time_since_epoch())
                                      .count());
        const uint64_t steady = GetClock().NowMs();
        std::lock_guard<std::mutex> lock(state->mutex);
        state->done.clear();
        state->decoder.Feed(text, wall, steady, state->done);
        for (const TraceEntry& e : state->done) {
            out(e);
        }
    };
}

TraceCapture::TraceCapture(size_t capacity) : ring_(std::make_shared<TraceRing>(capacity)) {}

TraceCapture::~TraceCapture() {
    Stop();
}

void TraceCapture::Start() {
    if (scope_) {
        return;
    }
    TraceSink decode = DecodingTraceSink([ring = ring_](const TraceEntry& e) { ring->Push(e); });
    TraceSink before = CurrentSeam(&Seams::trace);
    TraceSink both = [decode, before](const std::string& text) {
        if (before) {
            before(text);
        }
        decode(text);
    };
    scope_ = std::make_unique<ScopedSeams>(Seams{.trace = both});
}

void TraceCapture::Stop() {
    scope_.reset();
}

}  // namespace kvr
